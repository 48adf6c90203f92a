// Organisation pages land in a folder of this run that no other user can enter, and a write never
// follows a link or lands in a file that is not the page's own.
#include "OrgPages.h"
#include "CityDb.h"
#include "CityFile.h"
#include "CityLoad.h"
#include "ShellOpen.h"
#include "VendorServer.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A city with one page, "site/org.html"; `ref` and `page` point into it.
struct PageCity {
    explicit PageCity(const ScratchDir& dir) {
        CityWriter w;
        w.CityName = "Pages";
        w.ReleaseDate = "01.01.2025";
        TOrg o;
        o.id = 1;
        o.page = w.AddPage("site\\org.html", "<html>page</html>");
        w.StartOrgs.push_back(o);
        w.Write(dir.file("Pages.gis"));
        ref = CityFileRef::From(*CityEntryFromFile(dir.path(), "Pages.gis", false));
        LoadStartSection(db, ref);
    }
    const TPg& page() const { return *db.Orgs.at(0).page; }
    CityDb db;
    CityFileRef ref;
};

int Mode(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

TEST(OrgPages, OpenedFromAPrivateFolderOfTheRun) {
    ScratchDir dir, runtime;
    ::chmod(QFile::encodeName(runtime.path()).constData(), 0700);
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.dir.path()));
    PageCity city(dir);
    QStringList opened;
    SetShellOpenHook([&](const QString& target) {
        opened << target;
        return true;
    });
    OpenOrgPage(city.db, city.ref, 0, PageOpening{});
    SetShellOpenHook({});

    const QString folder = PrivateTempFolder();
    EXPECT_TRUE(folder.startsWith(runtime.path())) << folder.toStdString();
    EXPECT_EQ(Mode(folder), 0700);
    EXPECT_EQ(Mode(folder + "pages"), 0700);
    EXPECT_EQ(opened, QStringList({folder + "pages/site/org.html"}));
    EXPECT_EQ(ReadAll(folder + "pages/site/org.html"), "<html>page</html>");
    // Nothing in the shared temporary folder.
    EXPECT_FALSE(QFileInfo::exists(QDir::tempPath() + "/pages/site/org.html"));

    RemovePrivateTempFolder();
    EXPECT_FALSE(QFileInfo::exists(folder));
    if (saved.isNull())
        qunsetenv("XDG_RUNTIME_DIR");
    else
        qputenv("XDG_RUNTIME_DIR", saved);
}

// What another user (or anything else) could have planted: each is refused and the file it points
// to keeps its bytes.
TEST(OrgPages, PlantedLinksAndForeignFilesAreRefused) {
    ScratchDir dir;
    PageCity city(dir);
    const QString victim = dir.file("victim.txt");
    struct Case {
        const char* name;
        std::function<void(const QString& temp)> plant;
        const char* why;
    };
    const Case cases[] = {
        {"page is a link",
         [&](const QString& t) {
             QDir().mkpath(t + "pages/site");
             QFile::link(victim, t + "pages/site/org.html");
         },
         "not a plain file"},
        {"folder on the way is a link",
         [&](const QString& t) {
             QDir().mkpath(t + "pages");
             QDir().mkpath(dir.file("elsewhere"));
             QFile::link(dir.file("elsewhere"), t + "pages/site");
         },
         "not a folder of ours"},
        {"pages folder is a link",
         [&](const QString& t) {
             QDir().mkpath(dir.file("elsewhere2"));
             QDir().mkpath(t);
             QFile::link(dir.file("elsewhere2"), t + "pages");
         },
         "not a private folder"},
        {"pages folder open to all",
         [&](const QString& t) {
             QDir().mkpath(t + "pages");
             ::chmod(QFile::encodeName(t + "pages").constData(), 0777);
         },
         "not a private folder"},
        {"page has a second name",
         [&](const QString& t) {
             QDir().mkpath(t + "pages/site");
             ::link(QFile::encodeName(victim).constData(),
                    QFile::encodeName(t + "pages/site/org.html").constData());
         },
         "not a plain file"},
        {"page is a folder", [&](const QString& t) { QDir().mkpath(t + "pages/site/org.html"); },
         "not a plain file"},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteAll(victim, "keep me");
        const QString temp = dir.file(QString("t%1/").arg(n++));
        c.plant(temp);
        QString why;
        EXPECT_FALSE(Unpack(city.page(), city.ref, temp, &why));
        EXPECT_TRUE(why.contains(c.why)) << why.toStdString();
        EXPECT_EQ(ReadAll(victim), "keep me");
        EXPECT_TRUE(QDir(dir.file("elsewhere")).isEmpty());
        EXPECT_TRUE(QDir(dir.file("elsewhere2")).isEmpty());
    }
    // A page written before is written again in place.
    const QString temp = dir.file("fresh/");
    ASSERT_TRUE(Unpack(city.page(), city.ref, temp));
    WriteAll(temp + "pages/site/org.html", "an old, longer version of the page");
    ASSERT_TRUE(Unpack(city.page(), city.ref, temp));
    EXPECT_EQ(ReadAll(temp + "pages/site/org.html"), "<html>page</html>");
}

// The system opens a page by its extension: only documents and pictures are written and opened, so a
// city file cannot hand the desktop a launcher or a script under a page's name.
TEST(OrgPages, OnlyDocumentsAndPicturesAreWrittenAndOpened) {
    struct Case {
        const char* name;
        bool opened;
    };
    const Case cases[] = {
        {"org.html", true},        {"org.HTM", true},
        {"folder\\doc.pdf", true}, {"photo.jpeg", true},
        {"note.txt", true},        {"x.desktop", false},
        {"run.sh", false},         {"page.html.desktop", false},
        {"tool.exe", false},       {"page.html.", false},
        {"page.html ", false},     {"noextension", false},
        {".html", false},          {"folder.html\\run", false},
        {"page.svg", false},
    };
    ScratchDir dir;
    CityWriter w;
    w.CityName = "Pages";
    w.ReleaseDate = "01.01.2025";
    for (const Case& c : cases) {
        TOrg o;
        o.id = int(w.StartOrgs.size()) + 1;
        o.page = w.AddPage(QString::fromUtf8(c.name), "#!/bin/sh\n");
        w.StartOrgs.push_back(o);
    }
    ASSERT_EQ(w.Write(dir.file("Pages.gis")), QString());
    const CityFileRef ref = CityFileRef::From(*CityEntryFromFile(dir.path(), "Pages.gis", false));
    CityDb db;
    LoadStartSection(db, ref);
    ASSERT_EQ(db.Orgs.size(), std::size(cases));
    QStringList opened;
    SetShellOpenHook([&](const QString& target) {
        opened << target;
        return true;
    });
    const QString temp = dir.file("tmp/");
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].name);
        opened.clear();
        OpenOrgPage(db, ref, int(i), PageOpening{temp, false});
        const QString path = temp + "pages/" + QString::fromUtf8(cases[i].name).replace('\\', '/');
        EXPECT_EQ(opened, cases[i].opened ? QStringList{path} : QStringList{});
        EXPECT_EQ(QFileInfo(path).isFile(), cases[i].opened);
        EXPECT_EQ(IsPageFileName(QString::fromUtf8(cases[i].name)), cases[i].opened);
    }
    SetShellOpenHook({});
}

} // namespace
