// The update run without windows: list formats, the comparison, and installing from the reference service.
#include "Updater.h"
#include "CityFile.h"
#include "CityLoad.h"
#include "ComponentNames.h"
#include "Cp1251.h"
#include "MapColors.h"
#include "VendorServer.h"

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
    for (const char* unsafe : {"", "..", "a\\b.zip", "C:x.zip", "/x.zip"})
        EXPECT_FALSE(IsSafeFileName(unsafe)) << unsafe;
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
    ctx.AutoUpdate = true;
    Updater u(ctx, mirrors);
    ASSERT_TRUE(u.FetchLists());
    u.Compare();
    u.Install(Hooks());
    u.Finish();
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

// An archive whose names leave the data folder: those entries are not written and the run says so.
TEST_F(UpdateRun, UnsafeArchiveEntriesAreReported) {
    ZipWriter zip;
    zip.Add("Demograd.gis", SmallCity(QStringLiteral("Демоград"), "01.11.2026"));
    zip.Add("../../outside.txt", "x");
    zip.Write(root.file("pub/download/Demograd.zip"));
    Serve();
    InstallOld();
    ctx.AutoUpdate = true;
    Updater u(ctx, mirrors);
    ASSERT_TRUE(u.FetchLists());
    u.Compare();
    u.Install(Hooks());
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_TRUE(warnings[0].contains("../../outside.txt"));
    EXPECT_FALSE(QFile::exists(root.file("outside.txt")));
    EXPECT_FALSE(QFile::exists(root.file("data/../outside.txt")));
    EXPECT_TRUE(ctx.Outcome.DataInstalled);
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
    ctx.AutoUpdate = true;
    Updater u(ctx, mirrors);
    ASSERT_TRUE(u.FetchLists());
    u.Compare();
    u.Install(Hooks());
    u.Finish();
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join("; ").toStdString();
    EXPECT_TRUE(ctx.Outcome.CurrentCityUpdated);
    EXPECT_EQ(ctx.Cities[0].path, ctx.ExeFolder);
    EXPECT_EQ(ctx.Cities[0].ReleaseDate, "01.11.2026");
    EXPECT_TRUE(ctx.Outcome.InstallerLaunched);
    EXPECT_EQ(ctx.AppState, "quit");
    EXPECT_EQ(launched, QStringList({ctx.TempFolder + "Tessara_install.exe"}));
    EXPECT_EQ(ReadAll(launched.value(0)), ReadAll(root.file("pub/download/Tessara_install.exe")));
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
}

TEST_F(UpdateRun, NoListNoRun) {
    mirrors.Sites[0] = "http://127.0.0.1:1/";
    mirrors.Sites[1] = "http://127.0.0.1:1/";
    Updater u(ctx, mirrors);
    EXPECT_FALSE(u.FetchLists());
    EXPECT_TRUE(u.Table.empty());
}

} // namespace
