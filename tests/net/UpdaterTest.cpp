// The update run without windows: list formats, the comparison, and installing from the reference service.
#include "Updater.h"
#include "CityFile.h"
#include "CityLoad.h"
#include "ComponentNames.h"
#include "Cp1251.h"
#include "MapColors.h"
#include "VendorServer.h"
#include "WebTabAddress.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>

namespace {

TEST(UpdateLists, ComponentAndPhotoLists) {
    TInfTable table;
    const QByteArray list = "download/Tessara_install.exe\r\nTessara\r\n01.03.2020\r\n12 MB\r\n"
                            "download/Demo.zip\r\n" +
                            ToCp1251(QStringLiteral("Демоград")) + "\r\n01.11.2026\r\n1 MB\r\n\r\n\r\n";
    ASSERT_TRUE(ParseComponentList(list, table));
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table[1].FileName, "download/Demo.zip");
    EXPECT_EQ(table[1].CityName, QStringLiteral("Демоград"));
    EXPECT_EQ(table[1].AfterDate, "01.11.2026");
    EXPECT_EQ(table[1].needUpdate.Caption, "1 MB");
    EXPECT_EQ(table[1].BeforDate, "-");
    EXPECT_EQ(table[1].FotoDate, QDate(2000, 1, 1));

    for (const QByteArray& bad : {QByteArray(), QByteArray("a\nb\nc\n"), QByteArray("a\nb\n31.02.2020\nc\n"),
                                  QByteArray("\nname\n01.01.2020\nc\n")}) {
        TInfTable untouched = table;
        EXPECT_FALSE(ParseComponentList(bad, untouched)) << bad.toStdString();
        EXPECT_EQ(untouched.size(), 2u);
    }

    // Lines that match no component are skipped one by one; a bad date drops the whole photo list.
    const QByteArray fotos =
        "stray line\n" + ToCp1251(QStringLiteral("Демоград")) + "\nfotos/Demo.img\n05.11.2026\n3 MB\n";
    ASSERT_TRUE(ParsePhotoList(fotos, table));
    EXPECT_EQ(table[1].FileNameFoto, "fotos/Demo.img");
    EXPECT_EQ(table[1].FotoDate, QDate(2026, 11, 5));
    EXPECT_EQ(table[1].needFoto.Caption, "3 MB");
    TInfTable before = table;
    EXPECT_FALSE(ParsePhotoList("Tessara\nfotos/x.img\n99.99.2020\nx\n", table));
    EXPECT_EQ(table[0].FileNameFoto, before[0].FileNameFoto);

    EXPECT_EQ(PaddedCaption("1 MB"), QString(4, ' ') + "1 MB");
    EXPECT_EQ(PaddedCaption("12.5 MB"), "12.5 MB");
    EXPECT_TRUE(IsSafeFileName("Demo.v2.zip"));
    for (const char* unsafe : {"", "..", "a\\b.zip", "C:x.zip", "/x.zip", ".zip", "x.zip.", "x\tb.zip"})
        EXPECT_FALSE(IsSafeFileName(unsafe)) << unsafe;
}

TEST(UpdateLists, DeclaredSizesBoundTheDownloads) {
    const std::pair<const char*, qint64> sizes[] = {
        {"850 KB", 850 << 10}, {"4.2 MB", (4 << 20) + (2 * (1 << 20) + 9) / 10}, {"1,5 Мб", 3 << 19},
        {"12 mb", 12 << 20}, {"2 GB", qint64(2) << 30}, {"300", 300}};
    for (const auto& [caption, bytes] : sizes) {
        SCOPED_TRACE(caption);
        ASSERT_TRUE(DeclaredSize(caption));
        EXPECT_EQ(*DeclaredSize(caption), bytes);
    }
    for (const char* none : {"-", "", "big", "12 parsecs", "1.2.3 MB", "MB"})
        EXPECT_FALSE(DeclaredSize(none)) << none;
    // Room for rounding, never past the maximum; no size at all gives the maximum.
    EXPECT_EQ(DownloadBound("4 MB"), (5 << 20) + (1 << 20));
    EXPECT_EQ(DownloadBound("-"), MaxDownloadBytes);
    EXPECT_EQ(DownloadBound("9000 GB"), MaxDownloadBytes);
}

TEST(UpdateLists, LocalNamesKeepToTheirOwnFiles) {
    auto row = [](const QString& city, const QString& archive, const QString& foto = {}) {
        TFileInf r;
        r.CityName = city;
        r.FileName = archive;
        r.FileNameFoto = foto;
        return r;
    };
    TCity installed;
    installed.CityName = "Old";
    installed.FileName = "OldName.gis";
    installed.EngName = "OldName";
    const TInfTable table = {
        row("Tessara", "download/Tessara_install.exe"),
        row("Demo", "download/Demo.zip", "fotos/Demo.img"),         // 1: sound
        row("Gis", "download/Gis.gis"),                              // 2: a city file, not an archive
        row("Climb", "download/..\\..\\x.zip"),                     // 3: leaves the folder
        row("Bare", "download/.zip"),                                // 4: no name before the extension
        row("Twin1", "a/Twin.zip"),                                  // 5 and 6: one file for two rows
        row("Twin2", "b/TWIN.zip"),
        row("Alien", "download/Alien.zip", "fotos/Somebody.img"),    // 7: photos no city reads
        row("Kind", "download/Kind.zip", "fotos/Kind.gis"),          // 8: a photo that is a city file
        row("Old", "download/New.zip", "fotos/OldName.img"),         // 9: named like the installed city
        row("Evil", "download/OldName.gis.zip", "fotos/OldName.gis"), // 10: the installed city file
    };
    const std::vector<RowRefusal> r = CheckLocalNames(table, {installed});
    ASSERT_EQ(r.size(), table.size());
    const std::pair<int, const char*> refusedUpdates[] = {
        {2, "ending in .zip"}, {3, "ending in .zip"}, {4, "ending in .zip"},
        {5, "Twin1, Twin2"},   {6, "Twin1, Twin2"},
    };
    for (const auto& [i, why] : refusedUpdates) {
        const QString& refusal = r[std::size_t(i)].Update;
        EXPECT_TRUE(refusal.contains(why)) << i << ": " << refusal.toStdString();
    }
    for (int i : {0, 1, 7, 8, 9, 10})
        EXPECT_EQ(r[std::size_t(i)].Update, QString()) << i;
    EXPECT_EQ(r[1].Foto, QString());
    EXPECT_EQ(r[9].Foto, QString());
    EXPECT_TRUE(r[7].Foto.contains("\"Alien.img\"")) << r[7].Foto.toStdString();
    EXPECT_TRUE(r[8].Foto.contains("\"Kind.img\"")) << r[8].Foto.toStdString();
    EXPECT_TRUE(r[10].Foto.contains("fotos/OldName.gis")) << r[10].Foto.toStdString();
    // A message names the row's file.
    EXPECT_TRUE(r[2].Update.contains("\"download/Gis.gis\"")) << r[2].Update.toStdString();
}

TCity Installed(const QString& name, const QString& release, const QString& foto = "01.01.2000") {
    TCity c;
    c.CityName = name;
    c.ReleaseDate = release;
    c.FotoDate = foto;
    c.path = "/nowhere/";
    return c;
}

TFileInf Offered(const QString& name, const QString& date, const QString& fotoDate = {}) {
    TFileInf r;
    r.FileName = "download/" + name + ".zip";
    r.CityName = name;
    r.AfterDate = date;
    if (!fotoDate.isEmpty())
        r.FileNameFoto = "fotos/" + name + ".img", r.FotoDate = QDate::fromString(fotoDate, "dd.MM.yyyy");
    return r;
}

TEST(UpdateCompare, WhichBoxesShowAndWhichAreTicked) {
    UpdateContext ctx;
    ctx.Cities = {Installed("Current", "01.05.2026"), Installed("Equal", "01.05.2026", "01.02.2026"),
                  Installed("Older", "01.01.2026"), Installed("Newer", "01.09.2026")};
    ctx.CurrentCity = 0;
    Updater u(ctx, MirrorSites::Defaults());
    u.Table = {Offered("Tessara", "01.03.2020"),
               Offered("Current", "01.06.2026", "01.06.2026"),
               Offered("Equal", "01.05.2026", "01.03.2026"),
               Offered("Older", "01.02.2026"),
               Offered("Newer", "01.05.2026"),
               Offered("Fresh", "01.05.2026")};
    u.Compare();
    struct Expect {
        const char* before;
        bool update, updateTicked, foto, fotoTicked;
    };
    const Expect expected[] = {
        {"01.02.2020", true, true, false, false},   // a newer program is always ticked
        {"01.05.2026", true, true, true, true},     // the selected city: both ticked
        {"01.05.2026", false, false, true, false},  // same release, newer photos: only the photo box
        {"01.01.2026", true, false, false, false},  // older installed
        {"01.09.2026", false, false, false, false}, // installed is newer than offered
        {"-", true, false, false, false},           // not installed
    };
    for (std::size_t i = 0; i < u.Table.size(); ++i) {
        SCOPED_TRACE(u.Table[i].CityName.toStdString());
        EXPECT_EQ(u.Table[i].BeforDate, expected[i].before);
        EXPECT_EQ(u.Table[i].needUpdate.Visible, expected[i].update);
        EXPECT_EQ(u.Table[i].needUpdate.Checked, expected[i].updateTicked);
        EXPECT_EQ(u.Table[i].needFoto.Visible, expected[i].foto);
        EXPECT_EQ(u.Table[i].needFoto.Checked, expected[i].fotoTicked);
    }
    // The program offered at the installed release shows no box.
    u.Table = {Offered("Tessara", ProgramReleaseDate)};
    u.Compare();
    EXPECT_FALSE(u.Table[0].needUpdate.Visible);
}

// An update run against the reference service: folders of a fresh installation, the service's log.
class UpdateRun : public ::testing::Test {
protected:
    void SetUp() override {
        PrepareInstallation(root, ctx);
    }
    void Serve(const QStringList& extra = {}) {
        server = std::make_unique<VendorServer>(root.file("pub"), extra);
        ASSERT_TRUE(server->started());
        // The first mirror is down: the lists come from the second.
        mirrors.Sites[0] = "http://127.0.0.1:1/";
        mirrors.Sites[1] = server->base();
    }
    void InstallOld() {
        QDir().mkpath(ctx.DataFolder);
        WriteAll(ctx.DataFolder + "Demograd.gis", SmallCity(QStringLiteral("Демоград"), "01.05.2026"));
        ctx.Cities = BuildCatalogue(ctx.DataFolder, ctx.ExeFolder);
        ctx.CurrentCity = FindCity(ctx.Cities, QStringLiteral("Демоград"));
    }
    // A whole automatic run for the selected city.
    void UpdateSelectedCityAutomatically() {
        ctx.AutoUpdate = true;
        Updater u(ctx, mirrors);
        ASSERT_TRUE(u.FetchLists());
        u.Compare();
        u.Install(Hooks());
        u.Finish();
    }
    UpdateHooks Hooks() {
        UpdateHooks h;
        h.Warning = [this](const QString& detail) { warnings << detail; };
        h.LaunchInstaller = [this](const QString& path) {
            launched << path;
            return true;
        };
        return h;
    }
    int Row(const Updater& u, const QString& name) {
        for (std::size_t i = 0; i < u.Table.size(); ++i)
            if (u.Table[i].CityName == name) return int(i);
        return -1;
    }

    ScratchDir root;
    UpdateContext ctx;
    MirrorSites mirrors;
    std::unique_ptr<VendorServer> server;
    QStringList warnings, launched;
};

// First start with no city: the user ticks the demo city, it is installed, found and opened.
TEST_F(UpdateRun, FirstStartInstallsTheDemoCity) {
    Serve();
    Updater u(ctx, mirrors);
    ASSERT_TRUE(u.FetchLists());
    EXPECT_EQ(u.Base, server->base());
    u.Compare();
    const int demo = Row(u, QStringLiteral("Демоград"));
    ASSERT_GT(demo, 0);
    EXPECT_EQ(u.Table[std::size_t(demo)].BeforDate, "-");
    EXPECT_FALSE(u.Table[std::size_t(demo)].needUpdate.Checked);
    u.Table[std::size_t(demo)].needUpdate.Checked = true;
    u.Table[std::size_t(demo)].needFoto.Checked = true;
    u.Install(Hooks());
    u.Finish();

    EXPECT_TRUE(warnings.isEmpty()) << warnings.join("; ").toStdString();
    EXPECT_TRUE(ctx.Outcome.DataInstalled);
    EXPECT_FALSE(ctx.Outcome.CurrentCityUpdated);
    EXPECT_FALSE(ctx.Outcome.InstallerLaunched);
    EXPECT_TRUE(u.Table.empty());
    ASSERT_EQ(ctx.Cities.size(), 1u);
    EXPECT_EQ(ctx.Cities[0].CityName, QStringLiteral("Демоград"));
    EXPECT_EQ(ctx.Cities[0].FotoDate, "15.10.2026");
    EXPECT_EQ(QDir(ctx.DataFolder).entryList(QDir::Files), QStringList({"Demograd.gis", "Demograd.img"}));
    CityDb db;
    LoadStartSection(db, CityFileRef::From(ctx.Cities[0]));
    EXPECT_EQ(db.AgentName, "Agent");
    LoadPhotoIndex(db, CityFileRef::From(ctx.Cities[0]));
    EXPECT_EQ(db.Fotos.size(), 2u);
    EXPECT_TRUE(server->Paths().contains("POST /download/inc.php?dfile=Demograd"));
}

// An outdated selected city in automatic mode: only its files are fetched, and the site hears of it.
TEST_F(UpdateRun, AutomaticModeUpdatesTheSelectedCity) {
    Serve();
    InstallOld();
    CityDb db;
    ctx.Db = &db;
    UpdateSelectedCityAutomatically();
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join("; ").toStdString();
    EXPECT_TRUE(ctx.Outcome.CurrentCityUpdated);
    EXPECT_TRUE(ctx.Outcome.DataInstalled);
    ASSERT_EQ(ctx.CurrentCity, 0);
    EXPECT_EQ(ctx.Cities[0].ReleaseDate, "01.11.2026");
    EXPECT_EQ(db.Fotos.size(), 2u); // the photo index of the current city was read again
    EXPECT_EQ(server->Paths(),
              QStringList({"GET /download.txt", "GET /fotos.txt", "GET /download/Demograd.zip",
                           "POST /download/inc.php?dfile=Demograd", "GET /fotos/Demograd.img"}));
}

// A reply without Content-Length and a connection broken mid-download both keep the installed city.
TEST_F(UpdateRun, FailedDownloadsKeepTheOldCity) {
    for (const QStringList& fault : {QStringList{"--no-length", "download/Demograd.zip"},
                                     QStringList{"--cut", "download/Demograd.zip:200"}}) {
        SCOPED_TRACE(fault.join(' ').toStdString());
        Serve(fault);
        InstallOld();
        const QByteArray old = ReadAll(ctx.DataFolder + "Demograd.gis");
        ctx.AppState.clear();
        warnings.clear();
        Updater u(ctx, mirrors);
        ASSERT_TRUE(u.FetchLists());
        u.Compare();
        u.Table[std::size_t(Row(u, QStringLiteral("Демоград")))].needFoto.Checked = false;
        u.Install(Hooks());
        u.Finish();
        EXPECT_EQ(ctx.AppState, "error");
        EXPECT_EQ(warnings.size(), 1);
        EXPECT_FALSE(ctx.Outcome.DataInstalled);
        EXPECT_EQ(ReadAll(ctx.DataFolder + "Demograd.gis"), old);
        EXPECT_EQ(QDir(ctx.DataFolder).entryList(QDir::Files), QStringList({"Demograd.gis"}));
        EXPECT_FALSE(server->Paths().contains("POST /download/inc.php?dfile=Demograd"));
    }
}

// A hostile list or server: the row is refused or its download ends, the warning says why, and the
// data folder is byte for byte as it was, with nothing left in the temporary folder.
TEST_F(UpdateRun, HostileListsAndServersLeaveTheDataFolderAsItWas) {
    struct Case {
        const char* name;
        QByteArray listFrom, listTo; // an edit of download.txt
        QByteArray fotoFrom, fotoTo; // an edit of fotos.txt
        QStringList serve;           // how the service misbehaves
        bool update, foto;           // which of Demograd's boxes are ticked
        const char* warning;
    };
    const Case cases[] = {
        {"archive named like the city file", "download/Demograd.zip", "download/Demograd.gis", {}, {}, {},
         true, false, "\"download/Demograd.gis\" for \u0414"},
        {"photos named like the city file", {}, {}, "fotos/Demograd.img", "fotos/Demograd.gis", {}, false,
         true, "\"fotos/Demograd.gis\" for the photos"},
        {"photos of another city", {}, {}, "fotos/Demograd.img", "fotos/Other.img", {}, false, true,
         "\"Demograd.img\""},
        {"two rows, one archive", "download/Other.zip", "download/Demograd.zip", {}, {}, {}, true, false,
         "more than one file"},
        {"endless length", {}, {}, {}, {}, {"--endless", "download/Demograd.zip"}, true, false,
         "download/Demograd.zip: The server announces 1000000000000 bytes"},
        {"longer than its caption", "1 MB", "10 KB", {}, {}, {}, true, false, "more than the 1061376 bytes"},
        {"trickle", {}, {}, {}, {}, {"--trickle", "download/Demograd.zip"}, true, false, "too slowly"},
    };
    // The archive grows past what "10 KB" allows.
    WriteLargeDemogradArchive(root.file("pub/download/Demograd.zip"), 1200000);
    WriteAll(root.file("pub/download/Demograd.gis"), "served in place of the city");
    WriteAll(root.file("pub/fotos/Demograd.gis"), "served in place of the city");
    WriteAll(root.file("pub/fotos/Other.img"), SmallPhotoFile(47000));
    const QByteArray list = ReadAll(root.file("pub/download.txt"));
    const QByteArray fotos = ReadAll(root.file("pub/fotos.txt"));
    InstallOld();
    WriteAll(ctx.DataFolder + "Demograd.img", SmallPhotoFile(46000));
    const auto before = FolderSnapshot(ctx.DataFolder);

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteAll(root.file("pub/download.txt"), QByteArray(list).replace(c.listFrom, c.listTo));
        WriteAll(root.file("pub/fotos.txt"), QByteArray(fotos).replace(c.fotoFrom, c.fotoTo));
        Serve(c.serve);
        ctx.Cities = BuildCatalogue(ctx.DataFolder, ctx.ExeFolder);
        ctx.CurrentCity = FindCity(ctx.Cities, QStringLiteral("Демоград"));
        ctx.AppState.clear();
        warnings.clear();
        Updater u(ctx, mirrors);
        u.Limits.RateWindowMs = 1000;
        u.Limits.MinBytesPerSecond = 200;
        ASSERT_TRUE(u.FetchLists());
        u.Compare();
        TFileInf& demo = u.Table[std::size_t(Row(u, QStringLiteral("Демоград")))];
        ASSERT_TRUE(demo.needUpdate.Visible && demo.needFoto.Visible);
        demo.needUpdate.Checked = c.update;
        demo.needFoto.Checked = c.foto;
        u.Install(Hooks());
        u.Finish();
        ASSERT_EQ(warnings.size(), 1);
        EXPECT_TRUE(warnings[0].contains(QString::fromUtf8(c.warning))) << warnings[0].toStdString();
        EXPECT_EQ(ctx.AppState, "error");
        EXPECT_FALSE(ctx.Outcome.DataInstalled);
        EXPECT_TRUE(FolderSnapshot(ctx.DataFolder) == before);
        EXPECT_TRUE(FolderSnapshot(ctx.TempFolder).empty());
    }
}

// An archive that does not bring its city, or brings something else under the city's name, is refused
// whole: the installed city stays, and the run says why instead of reporting an update.
TEST_F(UpdateRun, AnArchiveWithoutItsCityKeepsTheInstalledOne) {
    const struct {
        const char* what;
        std::vector<std::pair<QString, QByteArray>> entries;
        const char* warning;
    } cases[] = {
        {"a readme only", {{"readme.txt", "read me"}}, "does not hold \"Demograd.gis\""},
        {"the city in a folder", {{"maps/Demograd.gis", SmallCity(QStringLiteral("Демоград"), "01.11.2026")}},
         "does not hold \"Demograd.gis\""},
        {"no city under its name", {{"Demograd.gis", QByteArray(200000, '\0')}}, "\"Demograd.gis\" is not a city file"},
    };
    WriteAll(root.file("pub/fotos.txt"), "");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ZipWriter zip;
        for (const auto& [name, bytes] : c.entries)
            zip.Add(name, bytes);
        zip.Write(root.file("pub/download/Demograd.zip"));
        Serve();
        InstallOld();
        const auto before = FolderSnapshot(ctx.DataFolder);
        ctx.AppState.clear();
        warnings.clear();
        UpdateSelectedCityAutomatically();
        ASSERT_EQ(warnings.size(), 1);
        EXPECT_TRUE(warnings[0].contains(QLatin1String(c.warning))) << warnings[0].toStdString();
        EXPECT_EQ(ctx.AppState, "error");
        EXPECT_FALSE(ctx.Outcome.DataInstalled);
        EXPECT_FALSE(ctx.Outcome.CurrentCityUpdated);
        EXPECT_TRUE(FolderSnapshot(ctx.DataFolder) == before);
        ASSERT_EQ(ctx.Cities.size(), 1u);
        EXPECT_EQ(ctx.Cities[0].ReleaseDate, "01.05.2026");
    }
}

// A refused row stops only itself.
TEST_F(UpdateRun, ARefusedRowLetsTheOthersGoOn) {
    const QByteArray list = ReadAll(root.file("pub/download.txt"));
    WriteAll(root.file("pub/download.txt"),
             QByteArray(list).replace("download/Demograd.zip", "download/Demograd.gis"));
    Serve();
    InstallOld();
    const QByteArray old = ReadAll(ctx.DataFolder + "Demograd.gis");
    Updater u(ctx, mirrors);
    ASSERT_TRUE(u.FetchLists());
    u.Compare();
    for (TFileInf& row : u.Table)
        row.needUpdate.Checked = row.needFoto.Checked = true;
    u.Install(Hooks());
    u.Finish();
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_TRUE(warnings[0].contains("download/Demograd.gis")) << warnings[0].toStdString();
    EXPECT_EQ(ReadAll(ctx.DataFolder + "Demograd.gis"), old);
    EXPECT_EQ(QDir(ctx.DataFolder).entryList(QDir::Files),
              QStringList({"Demograd.gis", "Demograd.img", "Other.gis"}));
    EXPECT_TRUE(ctx.Outcome.DataInstalled);
}

// An archive with a name that leaves the data folder installs nothing, and the run says why.
TEST_F(UpdateRun, UnsafeArchiveEntriesAreReported) {
    ZipWriter zip;
    zip.Add("Demograd.gis", SmallCity(QStringLiteral("Демоград"), "01.11.2026"));
    zip.Add("../../outside.txt", "x");
    zip.Write(root.file("pub/download/Demograd.zip"));
    Serve();
    InstallOld();
    const QByteArray old = ReadAll(ctx.DataFolder + "Demograd.gis");
    ctx.AutoUpdate = true;
    Updater u(ctx, mirrors);
    ASSERT_TRUE(u.FetchLists());
    u.Compare();
    u.Install(Hooks());
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_TRUE(warnings[0].contains("../../outside.txt"));
    EXPECT_FALSE(QFile::exists(root.file("outside.txt")));
    EXPECT_FALSE(QFile::exists(root.file("data/../outside.txt")));
    EXPECT_EQ(ReadAll(ctx.DataFolder + "Demograd.gis"), old);
    EXPECT_FALSE(ctx.Outcome.DataInstalled);
}

TEST_F(UpdateRun, ProgramInstallerAndFallbackFolder) {
    WritePublishFolder(root.file("pub"), "01.03.2021",
                       {{"Demograd", QStringLiteral("Демоград"), "01.11.2026", ""}});
    Serve();
    // The city lives beside the program; the data folder cannot be created (a file is in the way).
    WriteAll(ctx.ExeFolder + "Demograd.gis", SmallCity(QStringLiteral("Демоград"), "01.05.2026"));
    WriteAll(root.file("data"), "not a folder");
    ctx.Cities = BuildCatalogue(ctx.DataFolder, ctx.ExeFolder);
    ctx.CurrentCity = 0;
    UpdateSelectedCityAutomatically();
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join("; ").toStdString();
    EXPECT_TRUE(ctx.Outcome.CurrentCityUpdated);
    EXPECT_EQ(ctx.Cities[0].path, ctx.ExeFolder);
    EXPECT_EQ(ctx.Cities[0].ReleaseDate, "01.11.2026");
    EXPECT_TRUE(ctx.Outcome.InstallerLaunched);
    EXPECT_EQ(ctx.AppState, "quit");
    EXPECT_EQ(launched, QStringList({ctx.TempFolder + "Tessara_install.exe"}));
    EXPECT_EQ(ReadAll(launched.value(0)), ReadAll(root.file("pub/download/Tessara_install.exe")));
}

// A packaged city in an all-users folder: when the data folder cannot take the download, the update is
// refused rather than written into the package's folder, and the catalogue still lists the packaged copy.
TEST_F(UpdateRun, AllUsersFoldersAreNeverWritten) {
    WritePublishFolder(root.file("pub"), "01.02.2020",
                       {{"Demograd", QStringLiteral("Демоград"), "01.11.2026", ""}});
    Serve();
    ctx.SystemFolders = {root.file("share/tessara/cities/")};
    QDir().mkpath(ctx.SystemFolders[0]);
    const QByteArray packaged = SmallCity(QStringLiteral("Демоград"), "01.05.2026");
    WriteAll(ctx.SystemFolders[0] + "Demograd.gis", packaged);
    WriteAll(root.file("data"), "not a folder");
    ctx.Cities = BuildCatalogue(ctx.DataFolder, ctx.SystemFolders, ctx.ExeFolder);
    ctx.CurrentCity = 0;
    UpdateSelectedCityAutomatically();
    EXPECT_EQ(warnings.size(), 1);
    EXPECT_EQ(ctx.AppState, "error");
    EXPECT_FALSE(ctx.Outcome.DataInstalled);
    EXPECT_EQ(ReadAll(ctx.SystemFolders[0] + "Demograd.gis"), packaged);
    EXPECT_EQ(QDir(ctx.SystemFolders[0]).entryList(QDir::Files), QStringList({"Demograd.gis"}));
    ASSERT_EQ(ctx.Cities.size(), 1u);
    EXPECT_EQ(ctx.Cities[0].path, ctx.SystemFolders[0]);
    EXPECT_EQ(ctx.CurrentCity, 0);
}

// A photo update for a city installed for all users lands in the user's data folder: from then on it is
// the photo file read and the date compared, so the next start offers nothing.
TEST_F(UpdateRun, APhotoUpdateOfAnAllUsersCityIsUsedAndNotOfferedAgain) {
    Serve();
    ctx.SystemFolders = {root.file("share/tessara/cities/")};
    const QString sys = ctx.SystemFolders[0];
    QDir().mkpath(sys);
    WriteAll(sys + "Demograd.gis", SmallCity(QStringLiteral("Демоград"), "01.11.2026"));
    const QByteArray packagedFoto = SmallPhotoFile(int(*DateTextToDays("01.01.2026")));
    WriteAll(sys + "Demograd.img", packagedFoto);
    ctx.Cities = BuildCatalogue(ctx.DataFolder, ctx.SystemFolders, ctx.ExeFolder);
    ASSERT_EQ(ctx.Cities.size(), 1u);
    ASSERT_EQ(ctx.Cities[0].FotoDate, "01.01.2026");
    ctx.CurrentCity = 0;
    CityDb db;
    ctx.Db = &db;
    UpdateSelectedCityAutomatically();
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join("; ").toStdString();
    ASSERT_EQ(ctx.Cities.size(), 1u);
    EXPECT_EQ(ctx.Cities[0].path, sys);
    EXPECT_EQ(ctx.Cities[0].FotoDate, "15.10.2026");
    EXPECT_EQ(ctx.Cities[0].FotoPath(), ctx.DataFolder + "Demograd.img");
    EXPECT_EQ(ReadAll(sys + "Demograd.img"), packagedFoto);
    EXPECT_EQ(db.Fotos.size(), 2u);

    // The next start: the catalogue built afresh, the lists compared again.
    ctx.Cities = BuildCatalogue(ctx.DataFolder, ctx.SystemFolders, ctx.ExeFolder);
    Updater again(ctx, mirrors);
    ASSERT_TRUE(again.FetchLists());
    again.Compare();
    const int demo = Row(again, QStringLiteral("Демоград"));
    ASSERT_GT(demo, 0);
    EXPECT_FALSE(again.Table[std::size_t(demo)].needFoto.Visible) << "the photo update is offered again";
}

// Two installed files of one city name: the run keeps the file that is loaded, not the first of the name.
TEST_F(UpdateRun, TheSelectedFileStaysSelectedAmongFilesOfOneName) {
    Serve();
    QDir().mkpath(ctx.DataFolder);
    WriteAll(ctx.DataFolder + "Altgrad.gis", SmallCity("Twin", "01.05.2026"));
    WriteAll(ctx.DataFolder + "Twin.gis", SmallCity("Twin", "01.05.2026"));
    ctx.Cities = BuildCatalogue(ctx.DataFolder, ctx.ExeFolder);
    ASSERT_EQ(ctx.Cities.size(), 2u);
    ctx.CurrentCity = ctx.Cities[0].FileName == "Twin.gis" ? 0 : 1;
    UpdateSelectedCityAutomatically();
    ASSERT_GE(ctx.CurrentCity, 0);
    EXPECT_EQ(ctx.Cities[std::size_t(ctx.CurrentCity)].FileName, "Twin.gis");
}

// The whole road of a publisher's city: generated, published, offered, installed, and loaded whole.
TEST_F(UpdateRun, PublishedDemoCityInstallsAndLoads) {
    QDir().mkpath(root.file("src"));
    QDir(root.file("pub")).removeRecursively();
    auto run = [](const QString& program, const QStringList& args) {
        QProcess p;
        p.start(program, args);
        return p.waitForFinished(60000) && p.exitCode() == 0;
    };
    ASSERT_TRUE(run(GIS_GEN_EXE, {"--preset", "demo", root.file("src/Demograd.gis")}));
    ASSERT_TRUE(run(PUBLISH_CITY_EXE, {"--out", root.file("pub"), root.file("src/Demograd.gis")}));
    Serve();
    Updater u(ctx, mirrors);
    ASSERT_TRUE(u.FetchLists());
    u.Compare();
    ASSERT_EQ(u.Table.size(), 2u);
    u.Table[1].needUpdate.Checked = true;
    u.Table[1].needFoto.Checked = u.Table[1].needFoto.Visible;
    u.Install(Hooks());
    u.Finish();
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join("; ").toStdString();
    ASSERT_EQ(ctx.Cities.size(), 1u);
    EXPECT_EQ(ReadAll(ctx.DataFolder + "Demograd.gis"), ReadAll(root.file("src/Demograd.gis")));
    CityDb db;
    LoadCityData(db, CityFileRef::From(ctx.Cities[0]), MapStyle{});
    EXPECT_EQ(db.Orgs.size(), 1500u);
    EXPECT_TRUE(server->Paths().contains("POST /download/inc.php?dfile=Demograd"));
    // Its web tabs lead to the pages published beside it: plain pages that link nowhere else.
    ASSERT_EQ(db.WebTabUrls.size(), 5);
    HttpClient client;
    for (const QString& entry : db.WebTabUrls) {
        SCOPED_TRACE(entry.toStdString());
        const HttpReply page = client.Get(ResolveWebTabUrl(WebTabStartAddress(entry), server->base()).toString());
        EXPECT_TRUE(page.ok) << page.error.toStdString();
        EXPECT_TRUE(page.body.contains("<h2>Демоград</h2>"));
        EXPECT_FALSE(page.body.contains("http")) << page.body.data();
    }
}

TEST_F(UpdateRun, NoListNoRun) {
    mirrors.Sites[0] = "http://127.0.0.1:1/";
    mirrors.Sites[1] = "http://127.0.0.1:1/";
    Updater u(ctx, mirrors);
    EXPECT_FALSE(u.FetchLists());
    EXPECT_TRUE(u.Table.empty());
}

} // namespace
