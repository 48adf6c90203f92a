// The ZIP reader against crafted and damaged archives, and organisation pages. Archives of other
// tools are read through the install step (UnpackArchiveTest.cpp).
#include "ZipFile.h"
#include "Catalogue.h"
#include "CityFile.h"
#include "CityWriter.h"
#include "Cp1251.h"
#include "OrgPages.h"
#include "ShellOpen.h"
#include "TestFiles.h"
#include "ZipWriter.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <functional>

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

QString LoadMessage(const QByteArray& bytes) {
    TZipFile zip;
    try {
        zip.LoadFromBytes(bytes);
    } catch (const EZipFileError& e) {
        return e.message();
    }
    return QString();
}

// Patches a little-endian u32 (or u16) at `at`.
void Put32(QByteArray& b, qsizetype at, quint32 v) {
    for (int k = 0; k < 4; ++k)
        b[at + k] = char((v >> (8 * k)) & 0xFF);
}
void Put16(QByteArray& b, qsizetype at, quint32 v) {
    b[at] = char(v & 0xFF);
    b[at + 1] = char((v >> 8) & 0xFF);
}

// Where the k-th local header and the k-th central record start.
qsizetype LocalAt(const QByteArray& b, int k) {
    qsizetype at = -1;
    for (int i = 0; i <= k; ++i)
        at = b.indexOf("PK\x03\x04", at + 1);
    return at;
}
qsizetype CentralAt(const QByteArray& b, int k) {
    qsizetype at = -1;
    for (int i = 0; i <= k; ++i)
        at = b.indexOf("PK\x01\x02", at + 1);
    return at;
}
qsizetype EndAt(const QByteArray& b) {
    return b.size() - 22;
}

// Offsets inside the part that local and central records share.
enum Common { Flags = 2, Method = 4, Crc = 10, CompressedSize = 14, UncompressedSize = 18 };

// Changes a shared field of entry k in its local header and its central record alike.
void PutBoth(QByteArray& b, int k, Common field, quint32 v) {
    auto put = field == Flags || field == Method ? Put16 : Put32;
    put(b, LocalAt(b, k) + 4 + field, v);
    put(b, CentralAt(b, k) + 6 + field, v);
}

QByteArray TwoEntries() {
    ZipWriter w;
    w.Add("a.txt", Text(50));
    w.Add("b.txt", Text(20));
    return w.Build();
}

TEST(ZipFile, ReadsItsEntries) {
    ZipWriter w;
    w.Add("a.txt", Text(50));
    w.Add("empty.txt", QByteArray());
    w.Add("stored.txt", Text(20), ZipWriter::Stored);
    w.Add(QStringLiteral("Город/улица.txt"), Text(3));
    const QByteArray archive = w.Build();

    TZipFile zip;
    zip.LoadFromBytes(archive);
    ASSERT_EQ(zip.EntryCount(), 4);
    EXPECT_EQ(zip.EntryData(0), Text(50));
    EXPECT_TRUE(zip.EntryData(1).isEmpty());
    EXPECT_EQ(zip.EntryData(2), Text(20));
    EXPECT_EQ(zip.EntryFileName(3), QStringLiteral("Город/улица.txt"));
    EXPECT_EQ(zip.EntryData(3), Text(3));
    EXPECT_EQ(EntryMessage(zip, 4), "Index out of range.");
    EXPECT_EQ(EntryMessage(zip, -1), "Index out of range.");

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

// Damage the directory shows is found when the archive is opened; nothing of it is read as an entry.
TEST(ZipFile, RefusesArchivesWhoseDirectoryCannotBeTrusted) {
    struct Case {
        const char* what;
        std::function<void(QByteArray&)> damage;
        const char* message;
    };
    const std::vector<Case> cases{
        {"cut short", [](QByteArray& b) { b.chop(1); }, "is not a ZIP archive"},
        {"cut in the data", [](QByteArray& b) { b.truncate(60); }, "is not a ZIP archive"},
        {"bytes before it", [](QByteArray& b) { b.prepend("MZ stub."); }, "is damaged"},
        {"bytes after it", [](QByteArray& b) { b.append("junk"); }, "is not a ZIP archive"},
        {"no archive at all", [](QByteArray& b) { b = Text(3); }, "is not a ZIP archive"},
        {"another name in the local header", [](QByteArray& b) { b[LocalAt(b, 1) + 30] = 'c'; },
         "another name in its local header"},
        {"another CRC in the local header", [](QByteArray& b) { Put32(b, LocalAt(b, 0) + 14, 1); },
         "described otherwise in its local header"},
        {"data that runs into the directory",
         [](QByteArray& b) { PutBoth(b, 1, CompressedSize, 0x7FFFFFF0); }, "runs into the central directory"},
        {"two entries on the same bytes",
         [](QByteArray& b) {
             b[CentralAt(b, 1) + 46] = 'a';
             Put32(b, CentralAt(b, 1) + 42, 0);
             Put32(b, CentralAt(b, 1) + 16, quint32(ZipCrc32(Text(50))));
             Put32(b, CentralAt(b, 1) + 20, quint32(DeflateRaw(Text(50)).size()));
             Put32(b, CentralAt(b, 1) + 24, quint32(Text(50).size()));
         },
         "its entries overlap"},
        {"more entries counted than recorded",
         [](QByteArray& b) {
             Put16(b, EndAt(b) + 10, 3);
             Put16(b, EndAt(b) + 8, 3);
         },
         "is damaged"},
        {"directory outside the file", [](QByteArray& b) { Put32(b, EndAt(b) + 16, 0xFFFFFF00); },
         "outside the file"},
        {"a size only zip64 could give, without zip64",
         [](QByteArray& b) { Put32(b, CentralAt(b, 0) + 24, 0xFFFFFFFF); }, "cannot be known"},
        {"several disks", [](QByteArray& b) { Put16(b, EndAt(b) + 4, 1); }, "spans several disks"},
    };
    ASSERT_EQ(LoadMessage(TwoEntries()), QString());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QByteArray b = TwoEntries();
        c.damage(b);
        const QString message = LoadMessage(b);
        EXPECT_TRUE(message.contains(QLatin1String(c.message))) << message.toStdString();
    }
}

// Damage only unpacking shows: the entry is refused with a message naming it, never handed out.
TEST(ZipFile, RefusesEntriesThatDoNotUnpackAsDeclared) {
    const int size = Text(50).size();
    struct Case {
        const char* what;
        std::function<void(QByteArray&)> damage;
        const char* message;
    };
    const std::vector<Case> cases{
        {"a wrong checksum", [](QByteArray& b) { PutBoth(b, 0, Crc, 0x12345678); },
         "CRC Error in \"a.txt\"."},
        {"more bytes declared than come out",
         [&](QByteArray& b) { PutBoth(b, 0, UncompressedSize, size + 1); }, "instead of"},
        {"fewer bytes declared than come out",
         [&](QByteArray& b) { PutBoth(b, 0, UncompressedSize, size - 1); }, "more than its declared"},
        {"damaged compressed data", [](QByteArray& b) { b[LocalAt(b, 0) + 40] = char(0xFF); }, "a.txt"},
        {"Deflate64", [](QByteArray& b) { PutBoth(b, 0, Method, 9); },
         "compression method 9 is not supported"},
        {"encryption", [](QByteArray& b) { PutBoth(b, 0, Flags, 1); }, "encrypted"},
        {"a size no DEFLATE data can reach",
         [](QByteArray& b) { PutBoth(b, 0, UncompressedSize, 0x7FFFFFFF); }, "declares more bytes"},
        {"stored with two sizes",
         [&](QByteArray& b) {
             PutBoth(b, 0, Method, 0);
             PutBoth(b, 0, UncompressedSize, size);
         },
         "two different sizes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QByteArray b = TwoEntries();
        c.damage(b);
        TZipFile zip;
        zip.LoadFromBytes(b);
        const QString message = EntryMessage(zip, 0);
        EXPECT_TRUE(message.contains(QLatin1String(c.message))) << message.toStdString();
        EXPECT_EQ(zip.EntryData(1), Text(20)); // the other entry is still sound
    }
    QByteArray crc = TwoEntries();
    PutBoth(crc, 0, Crc, 1);
    TZipFile zip;
    zip.LoadFromBytes(crc);
    EXPECT_THROW(zip.EntryData(0), EZipFileCRCError);
}

// An entry too large to hold whole is refused in memory but streams in pieces, checked to the end.
TEST(ZipFile, LargeEntriesStream) {
    const QByteArray zeros(int(TZipFile::MaxEntryDataSize) + 1, '\0');
    ZipWriter w;
    w.Add("big.gis", zeros);
    TZipFile zip;
    zip.LoadFromBytes(w.Build());
    EXPECT_TRUE(EntryMessage(zip, 0).contains("in memory"));
    qint64 total = 0, largest = 0;
    bool allZero = true;
    zip.ExtractEntry(0, [&](const char* data, qsizetype size) {
        total += size;
        largest = std::max<qint64>(largest, size);
        allZero = allZero && std::all_of(data, data + size, [](char c) { return c == 0; });
    });
    EXPECT_EQ(total, zeros.size());
    EXPECT_LE(largest, 1 << 20);
    EXPECT_TRUE(allZero);
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
