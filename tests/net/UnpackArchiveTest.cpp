// Installing archives: what ordinary tools make installs exactly, and a hostile or damaged archive
// leaves the data folder (and everything around it) as it was, byte for byte.
#include "UnpackArchive.h"
#include "InstallTransaction.h"
#include "TestFiles.h"
#include "ZipFile.h"
#include "ZipWriter.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <fcntl.h>
#include <functional>
#include <future>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QString Fixtures = QStringLiteral(TESSARA_ZIP_FIXTURES);

// Everything below `root` without following links: a file's bytes and time, a link's target, a folder.
QMap<QString, QByteArray> Snapshot(const QString& root) {
    QMap<QString, QByteArray> all;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        QByteArray& what = all[QDir(root).relativeFilePath(path)];
        if (info.isSymLink())
            what = "link " + info.symLinkTarget().toUtf8();
        else if (info.isDir())
            what = "folder";
        else
            what = "file " + QCryptographicHash::hash(ReadAll(path), QCryptographicHash::Sha256).toHex() +
                   " " + QByteArray::number(info.lastModified().toMSecsSinceEpoch());
    }
    return all;
}

// A data folder with an installed city, its photos, another city, a subfolder and a link leading out;
// beside it a folder of someone else's that nothing may touch.
struct Installed {
    ScratchDir scratch;
    QString data = scratch.file("data/");
    Installed() {
        QDir().mkpath(data + "sub");
        QDir().mkpath(scratch.file("outside"));
        WriteAll(data + "Demograd.gis", "the installed city");
        WriteAll(data + "Demograd.img", "its photos");
        WriteAll(data + "Other.gis", "another city");
        WriteAll(data + "sub/notes.txt", "notes");
        WriteAll(scratch.file("outside/keep.txt"), "not ours");
        QFile::link(scratch.file("outside"), data + "out");
    }
    UnpackReport Install(const QByteArray& archive, const UnpackOptions& options = {}) {
        WriteAll(data + "Demograd.zip", archive);
        return UnpackArchive(data + "Demograd.zip", data, {data + "Demograd.gis"}, options);
    }
};

QByteArray Zip(const std::vector<std::pair<QString, QByteArray>>& entries) {
    ZipWriter w;
    for (const auto& [name, bytes] : entries)
        w.Add(name, bytes);
    return w.Build();
}

const QByteArray NewCity = "the new city, a little longer than the old one";

TEST(UnpackArchive, ArchivesOfEveryToolInstallTheExactBytes) {
    const QByteArray city = ReadAll(Fixtures + "/Demograd.gis"), photos = ReadAll(Fixtures + "/Demograd.img");
    ASSERT_GT(city.size(), 1000) << "fixtures missing in " << Fixtures.toStdString();
    const QStringList archives = QDir(Fixtures).entryList({"*.zip"}, QDir::Files, QDir::Name);
    ASSERT_GE(archives.size(), 13);
    for (const QString& name : archives) {
        if (name.contains("deflate64")) continue;
        SCOPED_TRACE(name.toStdString());
        Installed folder;
        std::uint64_t done = 0, total = 0;
        UnpackOptions options;
        options.Progress = [&](std::uint64_t d, std::uint64_t t) {
            EXPECT_GE(d, done);
            done = d;
            total = t;
        };
        const UnpackReport r = folder.Install(ReadAll(Fixtures + '/' + name), options);
        ASSERT_TRUE(r.ok) << r.error.toStdString();
        // A file whose entry carries a pipe's type (zip-stdin) is a plain file all the same.
        EXPECT_TRUE(QFileInfo(folder.data + "Demograd.gis").isFile());
        EXPECT_EQ(ReadAll(folder.data + "Demograd.gis"), city);
        EXPECT_EQ(ReadAll(folder.data + "Demograd.img"), photos);
        EXPECT_EQ(
            QDir(folder.data)
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name),
            QStringList({"Demograd.gis", "Demograd.img", "Other.gis", "out", "sub"}));
        EXPECT_EQ(done, std::uint64_t(city.size() + photos.size()));
        EXPECT_EQ(total, done);
    }
}

TEST(UnpackArchive, HostileArchivesLeaveEverythingAsItWas) {
    struct Case {
        const char* what;
        std::function<QByteArray()> archive;
        const char* message;
        std::uint64_t maxTotal = UnpackOptions::DefaultMaxTotalSize;
    };
    const QByteArray sound = Zip({{"Demograd.gis", NewCity}, {"Demograd.img", "new photos"}});
    const std::vector<Case> cases{
        {"an entry \".\"",
         [] {
             return Zip({{".", "x"}});
         },
         "has \".\" in its name"},
        {"an entry \"./.\"",
         [] {
             return Zip({{"./.", "x"}});
         },
         "has \".\" in its name"},
        {"a sound city, then \".\"",
         [] {
             return Zip({{"Demograd.gis", NewCity}, {".", "x"}});
         },
         "\".\""},
        {"a file that is also a folder",
         [] {
             return Zip({{"link", "x"}, {"link/sentinel", "y"}});
         },
         "both a file and a folder"},
        {"a folder that is also a file",
         [] {
             return Zip({{"maps/a.txt", "x"}, {"maps", "y"}});
         },
         "both a file and a folder"},
        {"one name twice",
         [] {
             return Zip({{"Demograd.gis", NewCity}, {"Demograd.gis", "second"}});
         },
         "appears twice"},
        {"one name twice, but for letter case",
         [] {
             return Zip({{"Demograd.gis", NewCity}, {"demograd.GIS", "second"}});
         },
         "appears twice"},
        {"\"..\"",
         [] {
             return Zip({{"..", "x"}});
         },
         "\"..\""},
        {"a name climbing out",
         [] {
             return Zip({{"Demograd.gis", NewCity}, {"../escaped.txt", "x"}});
         },
         "\"..\""},
        {"a name climbing out further in",
         [] {
             return Zip({{"sub/../../escaped.txt", "x"}});
         },
         "\"..\""},
        {"an absolute name",
         [] {
             return Zip({{"/tmp/tessara-absolute.txt", "x"}});
         },
         "absolute"},
        {"a backslash",
         [] {
             return Zip({{"sub\\notes.txt", "x"}});
         },
         "backslash"},
        {"a drive",
         [] {
             return Zip({{"C:escaped.txt", "x"}});
         },
         "drive"},
        {"an empty folder name",
         [] {
             return Zip({{"sub//notes.txt", "x"}});
         },
         "empty folder name"},
        {"a symbolic link entry",
         [] {
             ZipWriter w;
             w.Add("Demograd.img", "new photos");
             w.AddSymlink("Demograd.gis", "/etc/passwd");
             return w.Build();
         },
         "symbolic link"},
        {"a path through a link of the folder",
         [] {
             return Zip({{"out/keep.txt", "overwritten"}});
         },
         "leads through the link"},
        {"a file over a folder",
         [] {
             return Zip({{"sub", "x"}});
         },
         "would replace the folder"},
        {"a folder where a file is",
         [] {
             return Zip({{"Other.gis/x.txt", "x"}});
         },
         "needs a folder where"},
        {"the staging folder's name",
         [] {
             return Zip({{".tessara-staging-0/Demograd.gis", "x"}});
         },
         "keeps for itself"},
        {"the archive's own name",
         [] {
             return Zip({{"Demograd.gis", NewCity}, {"Demograd.zip", "x"}});
         },
         "name of the archive"},
        {"a damaged checksum after a sound city",
         [&] {
             QByteArray b = sound;
             const qsizetype second = b.indexOf("PK\x03\x04", 4);
             b[second + 14] = char(b[second + 14] ^ 1);
             b[b.indexOf("PK\x01\x02", b.indexOf("PK\x01\x02") + 4) + 16] = b[second + 14];
             return b;
         },
         "CRC Error in \"Demograd.img\"."},
        {"cut in half", [&] { return sound.left(sound.size() / 2); }, "is not a ZIP archive"},
        {"cut in its directory", [&] { return sound.left(sound.size() - 30); }, "is not a ZIP archive"},
        {"Deflate64", [] { return ReadAll(Fixtures + "/7z-deflate64.zip"); },
         "compression method 9 is not supported"},
        {"more than an archive may hold", [&] { return sound; }, "unpacks to more than", 16},
        {"only a folder",
         [] {
             return Zip({{"maps/", ""}});
         },
         "holds no file"},
        // Found only while swapping in: the files before it are already in place and must go back.
        {"a name too long for the disk",
         [] {
             return Zip({{"Demograd.gis", NewCity},
                         {"Demograd.img", "new photos"},
                         {"newdir/deeper/a.txt", "x"},
                         {QString(300, 'x'), "x"}});
         },
         "too long"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Installed folder;
        const auto before = Snapshot(folder.scratch.path());
        UnpackOptions options;
        options.MaxTotalSize = c.maxTotal;
        const UnpackReport r = folder.Install(c.archive(), options);
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(r.error.contains(QLatin1String(c.message))) << r.error.toStdString();
        EXPECT_TRUE(r.error.startsWith("Nothing was installed")) << r.error.toStdString();
        EXPECT_TRUE(r.written.isEmpty());
        // The archive is gone as well: the folder is as it was before the download.
        EXPECT_EQ(Snapshot(folder.scratch.path()), before);
    }
    EXPECT_FALSE(QFile::exists("/tmp/tessara-absolute.txt"));
}

TEST(UnpackArchive, TheCityIsReplacedOnlyByAnArchiveThatBringsIt) {
    // Without its city an archive would take the installed one away and bring nothing.
    const struct {
        const char* what;
        QByteArray archive;
    } refused[] = {
        {"only a readme", Zip({{"readme.txt", "x"}})},
        {"the city under another name", Zip({{"Demograd2.gis", NewCity}, {"Demograd.img", "new photos"}})},
        {"the city in a folder", Zip({{"maps/Demograd.gis", NewCity}})},
        {"the city's name in another letter case", Zip({{"demograd.gis", NewCity}})},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.what);
        Installed folder;
        const auto before = Snapshot(folder.scratch.path());
        const UnpackReport r = folder.Install(c.archive);
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(r.error.contains("does not hold \"Demograd.gis\"")) << r.error.toStdString();
        EXPECT_EQ(Snapshot(folder.scratch.path()), before);
    }

    Installed folder;
    // A name like the staging files of old is an ordinary name; a file that is a link is replaced as a
    // file, and what it pointed to is left alone.
    QFile::link(folder.scratch.file("outside/keep.txt"), folder.data + "Linked.gis");
    const UnpackReport r = folder.Install(Zip({{"Demograd.gis", NewCity},
                                               {"Demograd.gis.tessara-part", "text"},
                                               {"Linked.gis", "linked city"},
                                               {"./maps/v1.2/inside.txt", "inside"}}));
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    EXPECT_EQ(r.written,
              QStringList({"Demograd.gis", "Demograd.gis.tessara-part", "Linked.gis", "maps/v1.2/inside.txt"}));
    EXPECT_EQ(ReadAll(folder.data + "Demograd.gis"), NewCity);
    EXPECT_EQ(ReadAll(folder.data + "Demograd.gis.tessara-part"), "text");
    EXPECT_EQ(ReadAll(folder.data + "maps/v1.2/inside.txt"), "inside");
    EXPECT_FALSE(QFileInfo(folder.data + "Linked.gis").isSymLink());
    EXPECT_EQ(ReadAll(folder.data + "Linked.gis"), "linked city");
    EXPECT_EQ(ReadAll(folder.scratch.file("outside/keep.txt")), "not ours");
    EXPECT_FALSE(QFile::exists(folder.data + "Demograd.zip"));
    EXPECT_EQ(ReadAll(folder.data + "Demograd.img"), "its photos");
    EXPECT_EQ(QDir(folder.data).entryList({".tessara-*"}, QDir::AllEntries | QDir::Hidden), QStringList());
}

// A file judged by its first bytes is refused before the rest of it reaches the disk: a bomb that takes
// the city's name costs a few kilobytes, not its unpacked size.
TEST(UnpackArchive, AFileRefusedByItsHeadStopsTheInstallEarly) {
    constexpr std::uint32_t BombSize = 64u << 20;
    const QByteArray zeros(BombSize, '\0');
    ZipWriter w;
    w.Add("Demograd.img", "new photos");
    w.AddPacked("Demograd.gis", DeflateRaw(zeros), ZipCrc32(zeros), BombSize);
    Installed folder;
    const auto before = Snapshot(folder.scratch.path());
    std::uint64_t unpacked = 0;
    QStringList judged;
    UnpackOptions options;
    options.Progress = [&](std::uint64_t done, std::uint64_t) { unpacked = done; };
    options.CheckFile = [&](const QString& target, const QByteArray& head) {
        judged << QStringLiteral("%1 %2").arg(target).arg(head.size());
        return target == "Demograd.gis" && head.startsWith(QByteArray(16, '\0')) ? QStringLiteral("is empty space")
                                                                                : QString();
    };
    const UnpackReport r = folder.Install(w.Build(), options);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.error.contains("\"Demograd.gis\" is empty space")) << r.error.toStdString();
    // A short file is judged whole.
    EXPECT_EQ(judged, QStringList({"Demograd.img 10", "Demograd.gis 4096"}));
    EXPECT_LT(unpacked, 4u << 20);
    EXPECT_EQ(Snapshot(folder.scratch.path()), before);
}

// An archive of many files in many folders installs, and undoes, within a small descriptor limit.
TEST(UnpackArchive, ThousandsOfFilesNeedFewDescriptors) {
    ZipWriter w;
    w.Add("Demograd.gis", NewCity);
    for (int i = 0; i < 1500; ++i)
        w.Add(QStringLiteral("pages/p%1/page%2.html").arg(i / 5).arg(i), QByteArray::number(i), ZipWriter::Stored);
    const QByteArray sound = w.Build();
    // A name too long for the disk is found only once every other file is in: all of them go back.
    w.Add(QString(300, 'x'), "x");
    const QByteArray failing = w.Build();

    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit low = saved;
    low.rlim_cur = 256;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
    Installed undone;
    const auto before = Snapshot(undone.scratch.path());
    const UnpackReport bad = undone.Install(failing);
    const auto afterBad = Snapshot(undone.scratch.path());
    Installed folder;
    const UnpackReport r = folder.Install(sound);
    ::setrlimit(RLIMIT_NOFILE, &saved);

    EXPECT_FALSE(bad.ok);
    EXPECT_TRUE(bad.error.contains("too long")) << bad.error.toStdString();
    EXPECT_EQ(afterBad, before);
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    EXPECT_EQ(r.written.size(), 1501);
    EXPECT_EQ(ReadAll(folder.data + "pages/p299/page1499.html"), "1499");
    EXPECT_EQ(ReadAll(folder.data + "Demograd.gis"), NewCity);
}

// An install whose program died after `steps` of its steps, without committing or rolling back.
void DieHalfWay(const QString& data, int steps) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        TInstallTransaction t(data);
        int gis = -1, readme = -1, fd = -1;
        const std::vector<std::function<bool()>> plan{
            [&] { return t.Begin(1000).isEmpty(); },
            [&] {
                const bool ok = t.Stage(gis, fd).isEmpty() && ::write(fd, NewCity.data(), NewCity.size()) > 0;
                return ::close(fd) == 0 && ok;
            },
            [&] { return t.Stage(readme, fd).isEmpty() && ::write(fd, "readme", 6) == 6 && ::close(fd) == 0; },
            [&] { return t.MakeFolder("docs/deeper").isEmpty(); },
            [&] { return t.Swap(gis, "Demograd.gis").isEmpty(); },
            [&] { return t.Swap(readme, "docs/deeper/readme.txt").isEmpty(); },
            [&] { return t.Remove("Other.gis").isEmpty(); },
        };
        for (int k = 0; k < steps && k < int(plan.size()); ++k)
            if (!plan[std::size_t(k)]()) ::_exit(1);
        ::_exit(0); // no destructor runs: the transaction is left as a crash leaves it
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the install failed before step " << steps;
}

QString StagingFolder(const QString& data) {
    const QStringList found = QDir(data).entryList({".tessara-staging-*"}, QDir::Dirs | QDir::Hidden);
    return found.size() == 1 ? data + found[0] + '/' : QString();
}

TEST(InstallTransaction, AnInstallCutShortIsUndoneAtTheNextStart) {
    for (int steps = 1; steps <= 7; ++steps) {
        SCOPED_TRACE(steps);
        Installed folder;
        const auto before = Snapshot(folder.scratch.path());
        DieHalfWay(folder.data, steps);
        ASSERT_FALSE(StagingFolder(folder.data).isEmpty());
        if (steps == 7) {
            // Steps announced in the journal but never taken undo nothing: no kept file, another file.
            WriteAll(folder.scratch.file("noise"), "x");
            QFile journal(StagingFolder(folder.data) + "journal");
            ASSERT_TRUE(journal.open(QIODevice::Append));
            journal.write("A k99 Demograd.img\nN 1 sub/notes.txt\nD sub\nN 5");
            journal.close();
            QFile::remove(folder.scratch.file("noise"));
        }
        EXPECT_EQ(TInstallTransaction::RecoverInterruptedInstalls(folder.data), QStringList());
        EXPECT_EQ(Snapshot(folder.scratch.path()), before);
    }
}

TEST(InstallTransaction, RecoveryKeepsACommittedInstallAndLeavesWhatItCannotRead) {
    // Committed, then the program died before the kept files were gone: the new files stay.
    Installed folder;
    DieHalfWay(folder.data, 7);
    const QString staging = StagingFolder(folder.data);
    WriteAll(staging + "journal", ReadAll(staging + "journal") + "C\n");
    EXPECT_EQ(TInstallTransaction::RecoverInterruptedInstalls(folder.data), QStringList());
    EXPECT_EQ(ReadAll(folder.data + "Demograd.gis"), NewCity);
    EXPECT_EQ(ReadAll(folder.data + "docs/deeper/readme.txt"), "readme");
    EXPECT_FALSE(QFile::exists(folder.data + "Other.gis"));
    EXPECT_TRUE(StagingFolder(folder.data).isEmpty());

    // A damaged journal changes nothing and says so; a running install is not touched.
    Installed damaged;
    DieHalfWay(damaged.data, 7);
    const QString kept = StagingFolder(damaged.data);
    WriteAll(kept + "journal", ReadAll(kept + "journal") + "A k1 ../../outside/keep.txt\n");
    const auto after = Snapshot(damaged.scratch.path());
    const QStringList problems = TInstallTransaction::RecoverInterruptedInstalls(damaged.data);
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems[0].contains("damaged")) << problems[0].toStdString();
    EXPECT_EQ(Snapshot(damaged.scratch.path()), after);

    // A FIFO named like the journal is refused at once, not waited on, and stays as it is.
    Installed fifo;
    QDir().mkpath(fifo.data + ".tessara-staging-1");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo.data + ".tessara-staging-1/journal").constData(), 0600), 0);
    const QString fifoPath = fifo.data + ".tessara-staging-1/journal";
    auto recovery = std::async(std::launch::async,
                               [&] { return TInstallTransaction::RecoverInterruptedInstalls(fifo.data); });
    if (recovery.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        // Let the stuck reader go before failing.
        const int writer = ::open(QFile::encodeName(fifo.data + ".tessara-staging-1/journal").constData(), O_WRONLY);
        ::close(writer);
        FAIL() << "the recovery waits on the FIFO";
    }
    const QStringList fromFifo = recovery.get();
    ASSERT_EQ(fromFifo.size(), 1);
    EXPECT_TRUE(fromFifo[0].contains("not an install journal")) << fromFifo[0].toStdString();
    // Left as it was (a snapshot would read the FIFO and wait itself).
    struct stat st {};
    EXPECT_TRUE(::lstat(QFile::encodeName(fifoPath).constData(), &st) == 0 && S_ISFIFO(st.st_mode));
    EXPECT_EQ(ReadAll(fifo.data + "Demograd.gis"), "the installed city");

    Installed running;
    TInstallTransaction t(running.data);
    ASSERT_EQ(t.Begin(10), QString());
    const QString own = StagingFolder(running.data);
    EXPECT_EQ(TInstallTransaction::RecoverInterruptedInstalls(running.data), QStringList());
    EXPECT_EQ(StagingFolder(running.data), own);
}

// A download that a program ending before its install left behind goes at the next start; nothing else
// of the folder does, and no link is followed.
TEST(InstallTransaction, RecoveryRemovesALeftoverDownload) {
    Installed folder;
    const auto before = Snapshot(folder.scratch.path());
    WriteAll(folder.data + ".tessara-download-Demograd.zip", "downloaded, never installed");
    QFile::link(folder.scratch.file("outside/keep.txt"), folder.data + ".tessara-download-link.zip");
    EXPECT_EQ(TInstallTransaction::RecoverInterruptedInstalls(folder.data), QStringList());
    QFile::remove(folder.data + ".tessara-download-link.zip");
    EXPECT_EQ(Snapshot(folder.scratch.path()), before);
}

} // namespace
