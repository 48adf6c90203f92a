#include "CityFile.h"
#include "ByteReader.h"
#include "ByteWriter.h"
#include "Catalogue.h"
#include "CityFileError.h"
#include "CityWriter.h"
#include "Pictures.h"
#include "RecordWriter.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <sys/resource.h>

namespace {

QByteArray SmallJpeg(QColor color) {
    QImage img(8, 6, QImage::Format_RGB32);
    img.fill(color);
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "JPG");
    return bytes;
}

TOrg StartOrg(CityWriter& w, qint32 id, const QString& page) {
    TOrg o;
    o.id = id;
    o.startBanner = w.AddImage(SmallJpeg(Qt::red));
    if (!page.isEmpty()) o.page = w.AddPage(page, "page bytes " + page.toUtf8());
    return o;
}

CityWriter SampleCity() {
    CityWriter w;
    w.CityName = QStringLiteral("Тестоград");
    w.ReleaseDate = "15.06.2025";
    w.AgentName = QStringLiteral("Агент; с точкой с запятой");
    w.AgentEmail = "agent@example.org";
    w.AgentPhone = "(812) 555-01-02";
    w.StartOrgs.push_back(StartOrg(w, 12, "a.zip"));
    w.StartOrgs.push_back(StartOrg(w, 7, ""));
    w.StartOrgs.push_back(StartOrg(w, 99, "http://example.org/"));
    w.RubricNames = {QStringLiteral("Кафе"), QStringLiteral("Агентства недвижимости")};
    w.RubricTree = QStringLiteral("Питание\n\tКафе\n  Другое\n");
    w.Photos = {{5, SmallJpeg(Qt::green)}, {9, SmallJpeg(Qt::blue)}, {5, SmallJpeg(Qt::black)}};
    w.FotoDay = 45000;
    // An empty directory and map, as their writers store them.
    w.DirectorySection = WriteDirectoryRecords(CityDb{});
    w.MapSection = WriteMapRecords(CityDb{});
    return w;
}

struct WrittenCity {
    ScratchDir dir;
    TCity entry;
    CityFileRef ref;
};

void WriteAndOpen(const CityWriter& w, WrittenCity& out, bool photos = true) {
    ASSERT_EQ(w.Write(out.dir.file("test.gis")), QString());
    if (photos) {
        ASSERT_EQ(w.WritePhotoFile(out.dir.file("test.img")), QString());
    }
    auto entry = CityEntryFromFile(out.dir.path(), "test.gis", true);
    ASSERT_TRUE(entry);
    out.entry = *entry;
    out.ref = CityFileRef::From(*entry);
}

void LoadAll(CityDb& db, const CityFileRef& ref) {
    LoadStartSection(db, ref);
    LoadDirectorySection(db, ref);
    LoadMapSection(db, ref);
    LoadRubricSection(db, ref);
    LoadPhotoIndex(db, ref);
}

} // namespace

TEST(CityFile, StartRubricAndPhotosRoundTrip) {
    CityWriter w = SampleCity();
    WrittenCity c;
    WriteAndOpen(w, c);
    CityDb db;
    LoadStartSection(db, c.ref);
    EXPECT_EQ(db.AgentName, w.AgentName);
    EXPECT_EQ(db.AgentEmail, w.AgentEmail);
    EXPECT_EQ(db.AgentPhone, w.AgentPhone);
    ASSERT_EQ(db.Orgs.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(db.Orgs[i].id, w.StartOrgs[i].id);
        EXPECT_EQ(db.Orgs[i].startBanner->offset, w.StartOrgs[i].startBanner->offset);
        EXPECT_EQ(db.Orgs[i].startBanner->size, w.StartOrgs[i].startBanner->size);
        EXPECT_EQ(db.Orgs[i].page.has_value(), w.StartOrgs[i].page.has_value());
    }
    EXPECT_EQ(db.Orgs[2].page->Name, "http://example.org/");
    EXPECT_EQ(ReadResource(c.ref, *db.Orgs[0].page), "page bytes a.zip");

    LoadDirectorySection(db, c.ref);
    LoadMapSection(db, c.ref);
    LoadRubricSection(db, c.ref);
    EXPECT_EQ(db.RubricNames, w.RubricNames);
    EXPECT_EQ(db.RubricTree, w.RubricTree);

    LoadPhotoIndex(db, c.ref);
    ASSERT_EQ(db.Fotos.size(), 3u);
    EXPECT_EQ(FindFoto(db, 5), 0);
    EXPECT_EQ(FindFoto(db, 9), 1);
    EXPECT_EQ(FindFoto(db, 4), -1);
    // The first record's stored offset is 0: it addresses the byte right after the record table.
    EXPECT_EQ(db.Fotos[0].offset, 8 + 12 * 3);
    EXPECT_EQ(ReadFotoBytes(c.ref, db.Fotos[1]), w.Photos[1].second);
    QImage photo = LoadFoto(db, 1, c.ref);
    ASSERT_FALSE(photo.isNull());
    EXPECT_GT(qBlue(photo.pixel(3, 3)), 200);
    EXPECT_TRUE(LoadFoto(db, -1, c.ref).isNull());
    EXPECT_EQ(c.entry.FotoDate, DaysToDateText(45000));
}

TEST(CityFile, PicturesLoadOnceAndUnsetOnesStayAbsent) {
    CityWriter w = SampleCity();
    WrittenCity c;
    WriteAndOpen(w, c);
    CityDb db;
    LoadStartSection(db, c.ref);
    TImg& banner = *db.Orgs[0].startBanner;
    const QImage* first = LoadImg(banner, TImgType::jpg, c.ref);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->size(), QSize(8, 6));
    EXPECT_GT(qRed(first->pixel(4, 3)), 200);
    EXPECT_EQ(LoadImg(banner, TImgType::jpg, c.ref), first);

    TImg unset;
    EXPECT_EQ(LoadImg(unset, TImgType::jpg, c.ref), nullptr);

    // A released cache decodes the picture again on demand; a holder of the shared one keeps it.
    std::shared_ptr<QImage> held = LoadImgShared(banner, TImgType::jpg, c.ref);
    EXPECT_EQ(held.get(), first);
    ReleasePictures();
    const QImage* again = LoadImg(banner, TImgType::jpg, c.ref);
    ASSERT_TRUE(again);
    EXPECT_EQ(*again, *held);
}

QByteArray Jpeg(QSize size, int grey) {
    QImage img(size, QImage::Format_RGB32);
    img.fill(QColor(grey, grey, grey));
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "JPG");
    return bytes;
}

// A small JPEG whose header claims `size`: the decoder would allocate the whole picture.
QByteArray JpegBomb(QSize size) {
    QByteArray bytes = Jpeg({16, 16}, 90);
    const qsizetype frame = bytes.indexOf("\xFF\xC0");
    EXPECT_GT(frame, 0);
    bytes[frame + 5] = char(size.height() >> 8);
    bytes[frame + 6] = char(size.height() & 0xFF);
    bytes[frame + 7] = char(size.width() >> 8);
    bytes[frame + 8] = char(size.width() & 0xFF);
    return bytes;
}

long PeakMemoryKiB() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

TEST(CityFile, PicturesAreDecodedAtTheirShownSizeWithinBounds) {
    CityWriter w = SampleCity();
    // A banner bomb: a 5,600-pixel square in a few hundred bytes, 120 MB once decoded.
    const TImg bomb = w.AddImage(JpegBomb({5600, 5600}));
    const TImg wide = w.AddImage(Jpeg({1000, 200}, 160));
    std::vector<TImg> large;
    for (int i = 0; i < 16; ++i)
        large.push_back(w.AddImage(Jpeg({1200, 1200}, 10 + i)));
    WrittenCity c;
    WriteAndOpen(w, c);
    ReleasePictures();

    const long peak = PeakMemoryKiB();
    EXPECT_EQ(LoadImgShared(bomb, TImgType::jpg, c.ref, {300, 60}), nullptr);
    EXPECT_EQ(LoadImgShared(bomb, TImgType::jpg, c.ref), nullptr);
    EXPECT_LT(PeakMemoryKiB() - peak, 32 * 1024) << "the bomb was decoded";

    // Within a few times the banner's size: decoded at that size.
    const auto banner = LoadImgShared(wide, TImgType::jpg, c.ref, {300, 60});
    ASSERT_TRUE(banner);
    EXPECT_EQ(banner->size(), QSize(300, 60));
    EXPECT_NEAR(qGray(banner->pixel(150, 30)), 160, 4);
    // At its own size where no size is given; the two are kept apart.
    const auto whole = LoadImgShared(wide, TImgType::jpg, c.ref);
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->size(), QSize(1000, 200));

    // Pictures past the cache's budget push the least recently used out; holders keep theirs.
    const auto first = LoadImgShared(large[0], TImgType::jpg, c.ref);
    ASSERT_TRUE(first);
    for (const TImg& img : large) {
        ASSERT_TRUE(LoadImgShared(img, TImgType::jpg, c.ref));
        EXPECT_LE(PictureCacheBytes(), PictureCacheBudget);
    }
    EXPECT_GT(PictureCacheBytes(), PictureCacheBudget / 2);
    EXPECT_EQ(first->size(), QSize(1200, 1200));
    EXPECT_NE(LoadImgShared(large[0], TImgType::jpg, c.ref), first); // decoded again
    ReleasePictures();
    EXPECT_EQ(PictureCacheBytes(), 0);
}

TEST(CityFile, IdListGivesIdsToTheFirstOrganisationsOnly) {
    CityWriter w = SampleCity();
    w.IdList = "12;7";
    WrittenCity c;
    WriteAndOpen(w, c);
    CityDb db;
    LoadStartSection(db, c.ref);
    ASSERT_EQ(db.Orgs.size(), 3u);
    EXPECT_EQ(db.Orgs[0].id, 12);
    EXPECT_EQ(db.Orgs[1].id, 7);
    EXPECT_EQ(db.Orgs[2].id, 0);
    EXPECT_FALSE(db.Orgs[1].page) << "an empty page name means no page";
}

TEST(CityFile, OlderFormatsReadOldStringsAndIgnoreIds) {
    struct Case {
        int dfv;
        bool idsUsed;
    } cases[] = {{9, false}, {15, false}, {16, true}};
    for (auto cs : cases) {
        CityWriter w = SampleCity();
        w.dfv = cs.dfv;
        w.IdList = "12;7;99";
        WrittenCity c;
        WriteAndOpen(w, c, false);
        CityDb db;
        LoadStartSection(db, c.ref);
        EXPECT_EQ(db.AgentName, w.AgentName) << "dfv " << cs.dfv;
        ASSERT_EQ(db.Orgs.size(), 3u);
        EXPECT_EQ(db.Orgs[0].id, cs.idsUsed ? 12 : 0) << "dfv " << cs.dfv;
        EXPECT_EQ(db.Orgs[0].page->Name, "a.zip");
    }
}

TEST(CityFile, EmptyPhotoFileAndMissingPhotoFile) {
    CityWriter w = SampleCity();
    w.Photos.clear();
    WrittenCity c;
    WriteAndOpen(w, c);
    CityDb db;
    db.Fotos.push_back({});
    LoadPhotoIndex(db, c.ref);
    EXPECT_TRUE(db.Fotos.empty());
    QFile::remove(c.dir.file("test.img"));
    db.Fotos.push_back({});
    LoadPhotoIndex(db, c.ref);
    EXPECT_TRUE(db.Fotos.empty());
}

// Every damage must end in a CityFileError that names the file, never in a crash or a quiet success.
TEST(CityFile, DamagedFilesGiveCityFileErrors) {
    CityWriter w = SampleCity();
    WrittenCity c;
    WriteAndOpen(w, c);
    const QByteArray good = ReadAll(c.dir.file("test.gis"));
    const CityFileRef ref = c.ref;

    auto expectError = [&](const char* what, const CityFileRef& r, const QByteArray& bytes,
                           const char* needle) {
        WriteAll(c.dir.file("test.gis"), bytes);
        CityDb db;
        try {
            LoadAll(db, r);
            ADD_FAILURE() << what << ": loaded without error";
        } catch (const CityFileError& e) {
            EXPECT_TRUE(e.message().contains("test.gis")) << what << ": " << e.what();
            EXPECT_TRUE(e.message().contains(needle)) << what << ": " << e.what();
        }
    };

    expectError("truncated file", ref, good.left(ref.offset2 + 3), "rubric");
    expectError("truncated into the start section", ref, good.left(100), "start");

    CityFileRef pastEnd = ref;
    pastEnd.offset3 = good.size() + 1000;
    expectError("offset past the end", pastEnd, good, "past the end");

    CityFileRef backwards = ref;
    backwards.offset1 = ref.offset0 - 1;
    expectError("offsets backwards", backwards, good, "backwards");

    CityFileRef insideHeader = ref;
    insideHeader.offset0 = 40;
    expectError("start section ending inside the header", insideHeader, good, "backwards");
    CityFileRef directoryInHeader = ref;
    directoryInHeader.offset0 = 40;
    directoryInHeader.dfv = 18;
    WriteAll(c.dir.file("test.gis"), good);
    CityDb partial;
    EXPECT_THROW(LoadDirectorySection(partial, directoryInHeader), CityFileError);

    // A string cut by its section's end: the rubric section ends two bytes into its last name.
    CityFileRef cut = ref;
    cut.offset3 = ref.offset2 + 2 + 2 + QStringLiteral("Кафе").toUtf8().size() + 4;
    expectError("cut string", cut, good, "offset");

    expectError("missing file", ref, QByteArray(), "");
    QFile::remove(c.dir.file("test.gis"));
    CityDb db;
    EXPECT_THROW(LoadStartSection(db, ref), CityFileError);
}

TEST(CityFile, DamagedRecordsInsideSections) {
    struct Case {
        const char* name;
        QByteArray section;
        int dfv;
    };
    auto start = [](const QString& ids, int orgs, bool cut) {
        ByteWriter w;
        for (int i = 0; i < 3; ++i)
            w.str("x");
        w.str(ids);
        w.str("");
        w.u8(orgs);
        for (int i = 0; i < orgs; ++i) {
            w.i32(-1);
            w.i32(-1);
            w.str("");
            w.i32(-1);
            if (!cut) w.i32(-1);
        }
        return w.take();
    };
    Case cases[] = {{"organisation record cut short", start("", 2, true), 18},
                    {"id that is not a number", start("12;x7", 2, false), 18},
                    {"old text without CR", QByteArray("agent"), 9},
                    {"empty section", QByteArray(), 18}};
    for (const Case& cs : cases) {
        CityDb db;
        ByteReader r(cs.section, "city.gis", "start", 80);
        EXPECT_THROW(DecodeStartSection(r, db, cs.dfv), CityFileError) << cs.name;
    }
    CityDb db;
    const QByteArray valid = start("1;2", 2, false);
    ByteReader ok(valid, "city.gis", "start", 80);
    DecodeStartSection(ok, db, 18);
    EXPECT_EQ(db.Orgs.size(), 2u);
}

TEST(CityFile, DamagedPhotoIndexAndResourceReferences) {
    CityWriter w = SampleCity();
    WrittenCity c;
    WriteAndOpen(w, c);
    CityDb db;

    ByteWriter bad;
    bad.i32(45000);
    bad.i32(1000000); // far more records than the file holds
    WriteAll(c.dir.file("test.img"), bad.take());
    EXPECT_THROW(LoadPhotoIndex(db, c.ref), CityFileError);

    TResource beyond;
    beyond.offset = 0;
    beyond.size = 1 << 30;
    EXPECT_THROW(ReadResource(c.ref, beyond), CityFileError);
    TResource negative;
    negative.offset = -5;
    negative.size = 3;
    EXPECT_THROW(ReadResource(c.ref, negative), CityFileError);
    TFoto foto{1, 1 << 30, 10};
    EXPECT_THROW(ReadFotoBytes(c.ref, foto), CityFileError);
}

TEST(CityFile, WriterRefusesWhatTheFormatCannotHold) {
    CityWriter tooMany = SampleCity();
    tooMany.StartOrgs.resize(256);
    EXPECT_FALSE(tooMany.Write(QDir::tempPath() + "/never-written.gis").isEmpty());
    EXPECT_FALSE(QFile::exists(QDir::tempPath() + "/never-written.gis"));

    ByteWriter w;
    EXPECT_THROW(w.str(QString(70000, 'x')), std::length_error);
    EXPECT_THROW(w.oldStr("a\rb"), std::invalid_argument);
}

TEST(ByteReader, ReadsWhatTheWriterWrote) {
    ByteWriter w;
    w.u8(200);
    w.u16(65000);
    w.i32(-123456789);
    w.coord(-1234.56f);
    w.str(QStringLiteral("Проспект Мира"));
    w.langSet({"one", ""}, 3);
    ByteReader r(w.data(), "f", "s");
    EXPECT_EQ(r.u8(), 200);
    EXPECT_EQ(r.u16(), 65000);
    EXPECT_EQ(r.i32(), -123456789);
    EXPECT_FLOAT_EQ(r.coord(), -1234.56f);
    EXPECT_EQ(r.str(), QStringLiteral("Проспект Мира"));
    EXPECT_EQ(r.langSet(3, true), (QStringList{"one", "one", "one"}));
    EXPECT_TRUE(r.atEnd());
    EXPECT_THROW(r.u8(), CityFileError);
}
