// Installing archives: what ordinary tools make installs exactly, and a hostile or damaged archive
// leaves the data folder (and everything around it) as it was, byte for byte.
#include "UnpackArchive.h"
#include "InstallTransaction.h"
#include "TestFiles.h"
#include "ZipWriter.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <functional>
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
    ASSERT_GE(archives.size(), 12);
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

TEST(UnpackArchive, SupersededCityGoesOnlyWithItsReplacement) {
    Installed folder;
    // A name like the staging files of old is an ordinary name; a file that is a link is replaced as a
    // file, and what it pointed to is left alone.
    QFile::link(folder.scratch.file("outside/keep.txt"), folder.data + "Linked.gis");
    const UnpackReport r = folder.Install(Zip({{"Demograd2.gis", NewCity},
                                               {"Demograd2.gis.tessara-part", "text"},
                                               {"Linked.gis", "linked city"},
                                               {"./maps/v1.2/inside.txt", "inside"}}));
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    EXPECT_EQ(r.written, QStringList({"Demograd2.gis", "Demograd2.gis.tessara-part", "Linked.gis",
                                      "maps/v1.2/inside.txt"}));
    EXPECT_EQ(ReadAll(folder.data + "Demograd2.gis"), NewCity);
    EXPECT_EQ(ReadAll(folder.data + "Demograd2.gis.tessara-part"), "text");
    EXPECT_EQ(ReadAll(folder.data + "maps/v1.2/inside.txt"), "inside");
    EXPECT_FALSE(QFileInfo(folder.data + "Linked.gis").isSymLink());
    EXPECT_EQ(ReadAll(folder.data + "Linked.gis"), "linked city");
    EXPECT_EQ(ReadAll(folder.scratch.file("outside/keep.txt")), "not ours");
    EXPECT_FALSE(QFile::exists(folder.data + "Demograd.gis")); // superseded
    EXPECT_FALSE(QFile::exists(folder.data + "Demograd.zip"));
    EXPECT_EQ(ReadAll(folder.data + "Demograd.img"), "its photos");
    EXPECT_EQ(QDir(folder.data).entryList({".tessara-*"}, QDir::AllEntries | QDir::Hidden), QStringList());

    // The same archive with one bad entry: the superseded city stays.
    Installed again;
    const auto before = Snapshot(again.scratch.path());
    ZipWriter w;
    w.Add("Demograd2.gis", NewCity);
    w.Add("bad.txt", "x", ZipWriter::Stored);
    QByteArray bytes = w.Build();
    bytes[bytes.indexOf("PK\x03\x04", 4) + 30 + 7] = 'y';
    EXPECT_FALSE(again.Install(bytes).ok);
    EXPECT_EQ(Snapshot(again.scratch.path()), before);
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

    Installed running;
    TInstallTransaction t(running.data);
    ASSERT_EQ(t.Begin(10), QString());
    const QString own = StagingFolder(running.data);
    EXPECT_EQ(TInstallTransaction::RecoverInterruptedInstalls(running.data), QStringList());
    EXPECT_EQ(StagingFolder(running.data), own);
}

} // namespace
