// The ZIP reader against archives of other tools and crafted ones, installing archives, and pages.
#include "ZipFile.h"
#include "Catalogue.h"
#include "CityFile.h"
#include "CityWriter.h"
#include "Cp1251.h"
#include "OrgPages.h"
#include "ShellOpen.h"
#include "TestFiles.h"
#include "UnpackArchive.h"
#include "ZipWriter.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

namespace {

QByteArray Text(int n) {
    QByteArray b;
    for (int i = 0; i < n; ++i)
        b += "line " + QByteArray::number(i % 97) + " of a city file\n";
    return b;
}

QString EntryMessage(const TZipFile& zip, int i) {
    try {
        zip.EntryData(i);
    } catch (const EZipFileError& e) {
        return e.message();
    }
    return QString();
}

// Patches a little-endian u32 at `at`.
void Put32(QByteArray& b, int at, quint32 v) {
    for (int k = 0; k < 4; ++k)
        b[at + k] = char((v >> (8 * k)) & 0xFF);
}

// Archives made by other tools: a big text, an entry in a dotted subfolder, a non-Latin name.
TEST(ZipFile, ReadsArchivesOfTheZipToolAndOfPython) {
    ScratchDir dir;
    QDir().mkpath(dir.file("src/v1.2"));
    WriteAll(dir.file("src/Demo.gis"), Text(5000));
    WriteAll(dir.file("src/v1.2/notes.txt"), Text(40));
    WriteAll(dir.file(QStringLiteral("src/Город.txt")), Text(30));

    struct Maker {
        const char* name;
        QString program;
        QStringList args;
    };
    const QString python = QStandardPaths::findExecutable("python3");
    const QString zipTool = QStandardPaths::findExecutable("zip");
    const std::vector<Maker> makers{
        {"zip", zipTool, {"-q", "-r", "-9", "-D", dir.file("zip.zip"), "."}},
        {"python",
         python,
         {"-c",
          "import zipfile,os\n"
          "z=zipfile.ZipFile(os.sys.argv[1],'w',zipfile.ZIP_DEFLATED)\n"
          "[z.write(os.path.join(r,f),os.path.relpath(os.path.join(r,f))) for r,_,fs in os.walk('.') for f "
          "in fs]\n"
          "z.close()",
          dir.file("python.zip")}},
    };
    for (const Maker& m : makers) {
        SCOPED_TRACE(m.name);
        if (m.program.isEmpty()) {
            ADD_FAILURE() << m.name << " is not installed";
            continue;
        }
        QProcess p;
        p.setWorkingDirectory(dir.file("src"));
        p.start(m.program, m.args);
        ASSERT_TRUE(p.waitForFinished(20000));
        ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();

        TZipFile zip;
        zip.LoadFromFile(dir.file(QString(m.name) + ".zip"));
        ASSERT_EQ(zip.EntryCount(), 3);
        EXPECT_EQ(zip.CentralDirectory.size(), 3u);
        EXPECT_EQ(zip.EndOfCentralDirectory.TotalNumberOfEntries, 3);
        QMap<QString, QByteArray> entries;
        for (int i = 0; i < zip.EntryCount(); ++i)
            entries[zip.EntryFileName(i)] = zip.EntryData(i);
        EXPECT_EQ(entries.value("Demo.gis"), Text(5000));
        EXPECT_EQ(entries.value("v1.2/notes.txt"), Text(40));
        EXPECT_EQ(entries.value(QStringLiteral("Город.txt")), Text(30));
    }
}

TEST(ZipFile, EdgeCasesOfTheReader) {
    ZipWriter w;
    w.Add("a.txt", Text(50));
    w.Add("empty.txt", QByteArray());
    w.Add("stored.txt", Text(20), ZipWriter::Stored);
    const QByteArray archive = w.Build();

    TZipFile zip;
    zip.LoadFromBytes(archive);
    ASSERT_EQ(zip.EntryCount(), 3);
    EXPECT_EQ(zip.EntryData(0), Text(50));
    EXPECT_TRUE(zip.EntryData(1).isEmpty());
    // Entries are always inflated: one stored without compression fails.
    EXPECT_THROW(zip.EntryData(2), EZipFileError);
    EXPECT_EQ(EntryMessage(zip, 3), "Index out of range.");
    EXPECT_EQ(EntryMessage(zip, -1), "Index out of range.");

    // The first local header is searched for in whole words from the start.
    for (int prefix : {2, 4, 6, 8}) {
        TZipFile shifted;
        shifted.LoadFromBytes(QByteArray(prefix, 'x') + archive);
        EXPECT_EQ(shifted.EntryCount(), prefix % 4 == 0 ? 3 : 0) << prefix;
    }

    // A wrong checksum names the entry.
    QByteArray bad = archive;
    Put32(bad, 14, 0x12345678);
    TZipFile crc;
    crc.LoadFromBytes(bad);
    EXPECT_EQ(EntryMessage(crc, 0), QStringLiteral("CRC Error in \"a.txt\"."));
    EXPECT_THROW(crc.EntryData(0), EZipFileCRCError);

    // An unflagged name that is not UTF-8 is read in Windows-1251, as the vendor's old archives are.
    ZipWriter named;
    named.Add("ABCDE.txt", Text(3));
    QByteArray cp = named.Build();
    cp.replace("ABCDE", ToCp1251(QStringLiteral("Город")));
    TZipFile cyr;
    cyr.LoadFromBytes(cp);
    EXPECT_EQ(cyr.EntryFileName(0), QStringLiteral("Город.txt"));
    EXPECT_EQ(cyr.EntryData(0), Text(3));
}

// Sizes that run past the file, or promise more than the data can give, are errors and allocate nothing.
TEST(ZipFile, DeclaredSizesPastTheFileAreErrors) {
    ZipWriter w;
    w.Add("a.txt", Text(50));
    const QByteArray archive = w.Build();

    QByteArray past = archive;
    Put32(past, 18, 0x7FFFFFF0); // CompressedSize
    TZipFile cut;
    cut.LoadFromBytes(past);
    ASSERT_EQ(cut.EntryCount(), 1);
    EXPECT_TRUE(EntryMessage(cut, 0).contains("a.txt"));

    QByteArray huge = archive;
    Put32(huge, 22, 0xFFFFFFF0); // UncompressedSize
    TZipFile bomb;
    bomb.LoadFromBytes(huge);
    EXPECT_THROW(bomb.EntryData(0), EZipFileCRCError);

    // Cut in the middle of the data: the reader stops there.
    TZipFile half;
    half.LoadFromBytes(archive.left(60));
    ASSERT_EQ(half.EntryCount(), 1);
    EXPECT_THROW(half.EntryData(0), EZipFileError);
}

TEST(UnpackArchive, RefusesNamesThatLeaveTheFolder) {
    ScratchDir dir;
    QDir().mkpath(dir.file("data"));
    ZipWriter w;
    w.Add("Demo.gis", Text(10));
    w.Add("../escaped.txt", Text(1));
    w.Add("/tmp/absolute.txt", Text(1));
    w.Add("C:\\Windows\\drive.txt", Text(1));
    w.Add("sub\\..\\..\\back.txt", Text(1));
    w.Add("maps/v1.2/inside.txt", Text(2));
    ASSERT_EQ(w.Write(dir.file("data/Demo.zip")), QString());

    const UnpackReport r = UnpackArchive(dir.file("data/Demo.zip"), dir.file("data"));
    EXPECT_TRUE(r.ok) << r.error.toStdString();
    EXPECT_EQ(r.written, QStringList({"Demo.gis", "maps/v1.2/inside.txt"}));
    EXPECT_EQ(r.refused.size(), 4);
    EXPECT_EQ(ReadAll(dir.file("data/Demo.gis")), Text(10));
    EXPECT_EQ(ReadAll(dir.file("data/maps/v1.2/inside.txt")), Text(2));
    EXPECT_FALSE(QFile::exists(dir.file("escaped.txt")));
    EXPECT_FALSE(QFile::exists(dir.file("back.txt")));
    EXPECT_FALSE(QFile::exists("/tmp/absolute.txt"));
    EXPECT_FALSE(QFile::exists(dir.file("data/Demo.zip")));
    EXPECT_EQ(QDir(dir.file("data")).entryList(QDir::Files), QStringList({"Demo.gis"}));
}

// A damaged archive installs nothing: the city it would replace stays as it was.
TEST(UnpackArchive, DamagedArchiveLeavesTheFolderAlone) {
    ScratchDir dir;
    WriteAll(dir.file("Demo.gis"), "old city");
    ZipWriter w;
    w.Add("Demo.gis", Text(100));
    w.Add("Demo.txt", Text(5));
    QByteArray bytes = w.Build();
    const int second = bytes.indexOf("PK\x03\x04", 4);
    Put32(bytes, second + 14, 1); // the second entry's checksum
    WriteAll(dir.file("Demo.zip"), bytes);

    const UnpackReport r = UnpackArchive(dir.file("Demo.zip"), dir.path(), {dir.file("Demo.gis")});
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.error.contains("CRC Error")) << r.error.toStdString();
    EXPECT_EQ(ReadAll(dir.file("Demo.gis")), "old city");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"Demo.gis"}));

    // The same for an archive with no file it may write.
    ZipWriter evil;
    evil.Add("../Demo.gis", "evil");
    ASSERT_EQ(evil.Write(dir.file("Evil.zip")), QString());
    const UnpackReport e = UnpackArchive(dir.file("Evil.zip"), dir.path(), {dir.file("Demo.gis")});
    EXPECT_FALSE(e.ok);
    EXPECT_EQ(e.refused, QStringList({"../Demo.gis"}));
    EXPECT_EQ(ReadAll(dir.file("Demo.gis")), "old city");
}

TEST(Pages, DeleteFolderTreeKeepsDottedFolders) {
    ScratchDir dir;
    ScratchDir outside;
    WriteAll(outside.file("keep.txt"), "x");
    const QString pages = dir.file("pages");
    QDir().mkpath(pages + "/plain/deeper");
    QDir().mkpath(pages + "/site.files");
    WriteAll(pages + "/a.html", "a");
    WriteAll(pages + "/.hidden", "h");
    WriteAll(pages + "/plain/deeper/b.html", "b");
    WriteAll(pages + "/site.files/c.css", "c");
    QFile::link(outside.path(), pages + "/link");

    DeleteFolderTree(pages);
    EXPECT_TRUE(QFile::exists(pages + "/site.files/c.css"));
    EXPECT_FALSE(QFile::exists(pages + "/plain"));
    EXPECT_FALSE(QFile::exists(pages + "/a.html"));
    EXPECT_FALSE(QFile::exists(pages + "/.hidden"));
    EXPECT_TRUE(QFile::exists(outside.file("keep.txt")));

    QDir(pages + "/site.files").removeRecursively();
    DeleteFolderTree(pages);
    EXPECT_FALSE(QFile::exists(pages));
}

TEST(Pages, UnpackAndOpen) {
    ScratchDir dir;
    CityWriter w;
    w.CityName = "Pages";
    w.ReleaseDate = "01.01.2025";
    const auto addOrg = [&](int id, const QString& name, const QByteArray& bytes) {
        TOrg o;
        o.id = id;
        o.page = w.AddPage(name, bytes);
        w.StartOrgs.push_back(o);
    };
    addOrg(1, "org1.html", "<html>one</html>");
    addOrg(2, "../../escape.html", "bad");
    addOrg(3, "http://example.org/", "");
    addOrg(4, "big.html", QByteArray(MaxPageSize + 1, 'x'));
    ASSERT_EQ(w.Write(dir.file("Pages.gis")), QString());
    const auto city = CityEntryFromFile(dir.path(), "Pages.gis", false);
    ASSERT_TRUE(city);
    const CityFileRef ref = CityFileRef::From(*city);
    CityDb db;
    LoadStartSection(db, ref);
    ASSERT_EQ(db.Orgs.size(), 4u);

    QStringList opened;
    SetShellOpenHook([&](const QString& target) {
        opened << target;
        return true;
    });
    const QString temp = dir.file("tmp/");
    PageOpening opening{temp, false};
    for (int i = -1; i < 4; ++i)
        OpenOrgPage(db, ref, i, opening);
    opening.Suppressed = true;
    OpenOrgPage(db, ref, 0, opening);
    SetShellOpenHook({});

    EXPECT_EQ(opened, QStringList({temp + "pages/org1.html"}));
    EXPECT_EQ(ReadAll(temp + "pages/org1.html"), "<html>one</html>");
    EXPECT_FALSE(QFile::exists(dir.file("escape.html")));
    EXPECT_FALSE(QFile::exists(temp + "escape.html"));
    EXPECT_FALSE(QFile::exists(temp + "pages/big.html"));
    QString why;
    EXPECT_FALSE(Unpack(*db.Orgs[1].page, ref, temp, &why));
    EXPECT_TRUE(why.contains("leaves")) << why.toStdString();
}

} // namespace
