#include "Catalogue.h"
#include "CityHeader.h"
#include "CityWriter.h"
#include "CityFile.h"
#include "Descramble.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QDir>

namespace {

void WriteCity(const QString& path, const QString& name, const QString& date) {
    CityWriter w;
    w.CityName = name;
    w.ReleaseDate = date;
    ASSERT_EQ(w.Write(path), QString());
}

void WriteFotoDay(const QString& path, qint32 day) {
    CityWriter w;
    w.FotoDay = day;
    ASSERT_EQ(w.WritePhotoFile(path), QString());
}

} // namespace

TEST(CityHeader, RoundTripsWindows1251NamesAndOffsets) {
    CityHeader h{QStringLiteral("Нижний Новгород"), "15.03.2024", 18, 100, 200, 300, 400};
    QByteArray bytes = EncodeCityHeader(h);
    ASSERT_EQ(bytes.size(), CityHeaderSize);
    auto back = ParseCityHeader(bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->CityName, h.CityName);
    EXPECT_EQ(back->ReleaseDate, h.ReleaseDate);
    EXPECT_EQ(back->offset3, 400);
    // The name is one byte per character on disk: "Н" is 0xCD in Windows-1251.
    EXPECT_EQ(quint8(Descramble(bytes, 0, 80)[2]), 0xCD);
}

TEST(CityHeader, RejectsWhatIsNotAHeader) {
    QByteArray good = EncodeCityHeader({"Town", "01.01.2020", 18, 80, 80, 80, 80});
    QByteArray plain = Descramble(good, 0, 80);

    QByteArray wrongMagic = plain;
    wrongMagic[0] = 0x6F;
    QByteArray nameTooLong = plain;
    nameTooLong[1] = char(200); // name would run past the 80 bytes

    EXPECT_FALSE(ParseCityHeader(Descramble(wrongMagic, 0, 80)));
    EXPECT_FALSE(ParseCityHeader(Descramble(nameTooLong, 0, 80)));
    EXPECT_FALSE(ParseCityHeader(good.left(79)));
    EXPECT_THROW(EncodeCityHeader({QString(60, 'x'), "01.01.2020"}), std::invalid_argument);
    EXPECT_THROW(EncodeCityHeader({QStringLiteral("東京"), "01.01.2020"}), std::invalid_argument);
}

TEST(Catalogue, SameCityInBothFolders) {
    ScratchDir data, exe;
    WriteCity(data.file("town.gis"), "Town", "01.02.2024");
    WriteFotoDay(data.file("town.img"), 45000);
    WriteCity(exe.file("town.gis"), "Town", "01.02.2024");
    WriteCity(data.file("city.gis"), "City", "01.02.2024");
    WriteCity(exe.file("city2.gis"), "City", "02.02.2024");
    WriteFotoDay(exe.file("city2.img"), 45000);

    auto cities = BuildCatalogue(data.path(), exe.path());
    ASSERT_EQ(cities.size(), 2u);
    // Newer copy in the program folder wins, and its photo file is not looked at.
    EXPECT_EQ(cities[0].CityName, "City");
    EXPECT_EQ(cities[0].path, exe.path());
    EXPECT_EQ(cities[0].FileName, "city2.gis");
    EXPECT_EQ(cities[0].EngName, "city2");
    EXPECT_EQ(cities[0].ReleaseDate, "02.02.2024");
    EXPECT_EQ(cities[0].FotoDate, "01.01.2000");
    // Equal dates keep the data folder copy with its photo date.
    EXPECT_EQ(cities[1].path, data.path());
    EXPECT_EQ(cities[1].FotoDate, DaysToDateText(45000));
    EXPECT_EQ(cities[1].dt, *DateTextToDays("01.02.2024"));
}

TEST(Catalogue, DataFolderDuplicatesStayAndOlderProgramCopiesAreIgnored) {
    ScratchDir data, exe;
    WriteCity(data.file("a.gis"), "Town", "01.02.2024");
    WriteCity(data.file("b.gis"), "Town", "01.03.2024");
    WriteCity(exe.file("c.gis"), "Town", "01.01.2024");
    auto cities = BuildCatalogue(data.path(), exe.path());
    ASSERT_EQ(cities.size(), 2u);
    EXPECT_EQ(cities[0].FileName, "a.gis");
    EXPECT_EQ(cities[1].FileName, "b.gis");
}

TEST(Catalogue, PhotoDatesOfTheYear2000LookUnknown) {
    ScratchDir data;
    WriteCity(data.file("town.gis"), "Town", "01.02.2024");
    WriteFotoDay(data.file("town.img"), 36526);
    auto cities = BuildCatalogue(data.path(), QString());
    ASSERT_EQ(cities.size(), 1u);
    EXPECT_EQ(cities[0].FotoDate, "01.01.2000");
    EXPECT_EQ(DaysToDateText(36526), "01.01.2000");
}

TEST(Catalogue, SortsByCodeUnitsAndSkipsBadFiles) {
    ScratchDir data;
    WriteCity(data.file("1.gis"), "b", "01.01.2024");
    WriteCity(data.file("2.gis"), "B", "01.01.2024");
    WriteCity(data.file("3.gis"), "a", "01.01.2024");
    WriteCity(data.file("4.gis"), QStringLiteral("Абакан"), "01.01.2024");
    WriteCity(data.file("5.gis"), "Z", "01.01.2024");
    WriteAll(data.file("short.gis"), QByteArray(40, 'x'));
    WriteAll(data.file("magic.gis"), QByteArray(200, '\0'));
    WriteCity(data.file("baddate.gis"), "Nowhere", "31.02.2024");
    WriteCity(data.file("other.txt"), "Text", "01.01.2024");

    auto cities = BuildCatalogue(data.path(), data.path() + "missing/");
    QStringList names;
    for (const auto& c : cities) names << c.CityName;
    EXPECT_EQ(names, (QStringList{"B", "Z", "a", "b", QStringLiteral("Абакан")}));
    EXPECT_EQ(FindCity(cities, "b"), 3);
    EXPECT_EQ(FindCity(cities, "A"), -1);
}

TEST(Catalogue, MissingFoldersGiveAnEmptyCatalogue) {
    EXPECT_TRUE(BuildCatalogue(QString(), "/nonexistent/folder/").empty());
}

// One city in several folders: which copy the catalogue keeps, and with which photo date.
TEST(Catalogue, SeveralFoldersKeepTheNewerCopy) {
    enum Folder { Data, System1, System2, Exe };
    struct Copy {
        Folder folder;
        const char* release;
        qint32 fotoDay; // 0: no photo file
    };
    struct Case {
        const char* what;
        std::vector<Copy> copies;
        Folder kept;
        qint32 fotoDay; // of the kept entry; 0: unknown
    };
    const std::vector<Case> cases = {
        {"only in an all-users folder", {{System1, "01.02.2024", 45000}}, System1, 45000},
        {"all-users copy not newer", {{Data, "01.02.2024", 45001}, {System1, "01.02.2024", 45002}}, Data, 45001},
        {"all-users copy newer", {{Data, "01.02.2024", 45001}, {System1, "02.02.2024", 45002}}, System1, 45002},
        {"older all-users copy", {{Data, "01.02.2024", 0}, {System1, "01.01.2024", 45002}}, Data, 0},
        {"second all-users folder newer", {{System1, "01.02.2024", 45001}, {System2, "03.02.2024", 0}}, System2, 0},
        {"equal all-users copies", {{System1, "01.02.2024", 45001}, {System2, "01.02.2024", 45002}}, System1, 45001},
        {"program copy newer", {{System1, "01.02.2024", 45001}, {Exe, "02.02.2024", 45003}}, Exe, 0},
        {"program copy older", {{System1, "01.02.2024", 45001}, {Exe, "01.01.2024", 45003}}, System1, 45001},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchDir root;
        const QStringList folders = {root.file("data/"), root.file("sys1/"), root.file("sys2/"), root.file("exe/")};
        for (const QString& f : folders) QDir().mkpath(f);
        for (const Copy& copy : c.copies) {
            WriteCity(folders[copy.folder] + "town.gis", "Town", copy.release);
            if (copy.fotoDay) WriteFotoDay(folders[copy.folder] + "town.img", copy.fotoDay);
        }
        // A second city only in the data folder shows the others do not push it out.
        WriteCity(folders[Data] + "city.gis", "City", "01.01.2024");

        auto cities = BuildCatalogue(folders[Data], {folders[System1], folders[System2]}, folders[Exe]);
        ASSERT_EQ(cities.size(), 2u);
        EXPECT_EQ(cities[0].CityName, "City");
        EXPECT_EQ(cities[1].path, folders[c.kept]);
        EXPECT_EQ(cities[1].FileName, "town.gis");
        EXPECT_EQ(cities[1].FotoDate, c.fotoDay ? DaysToDateText(c.fotoDay) : QString("01.01.2000"));
    }
}

// A photo update fetched into the user's data folder for a city installed elsewhere: the newer photo
// file is the one used and dated, so the update is not offered again.
TEST(Catalogue, UsersNewerPhotoFileOfACityInstalledElsewhere) {
    enum Folder { System, Exe };
    struct Case {
        const char* what;
        Folder folder;
        qint32 besideDay, userDay; // 0: no such photo file
        bool userFileUsed;
    };
    const std::vector<Case> cases = {
        {"user's photo newer than the all-users one", System, 45001, 45005, true},
        {"user's photo older than the all-users one", System, 45005, 45001, false},
        {"user's photo as old as the all-users one", System, 45001, 45001, false},
        {"all-users city without a photo file", System, 0, 45005, true},
        {"program folder city", Exe, 45009, 45005, true},
        {"no photo in the user's folder", System, 45001, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchDir root;
        const QString data = root.file("data/"), sys = root.file("sys/"), exe = root.file("exe/");
        for (const QString& f : {data, sys, exe}) QDir().mkpath(f);
        const QString home = c.folder == System ? sys : exe;
        WriteCity(home + "town.gis", "Town", "01.02.2024");
        if (c.besideDay) WriteFotoDay(home + "town.img", c.besideDay);
        if (c.userDay) WriteFotoDay(data + "town.img", c.userDay);

        const auto cities = BuildCatalogue(data, {sys}, exe);
        ASSERT_EQ(cities.size(), 1u);
        EXPECT_EQ(cities[0].path, home);
        const QString besideDate = c.folder == System && c.besideDay ? DaysToDateText(c.besideDay) : "01.01.2000";
        EXPECT_EQ(cities[0].FotoDate, c.userFileUsed ? DaysToDateText(c.userDay) : besideDate);
        EXPECT_EQ(cities[0].FotoPath(), c.userFileUsed ? data + "town.img" : home + "town.img");
        EXPECT_EQ(CityFileRef::From(cities[0]).FotoPath(), cities[0].FotoPath()) << "the loaders read the same file";
    }
}
