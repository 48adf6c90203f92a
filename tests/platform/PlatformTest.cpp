#include "Folders.h"
#include "SingleInstance.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUuid>

TEST(SingleInstance, SecondClaimAsksTheFirstToShowItself) {
    const QString key = "tessara-test-" + QUuid::createUuid().toString(QUuid::Id128);
    SingleInstance first(key);
    ASSERT_TRUE(first.Claim());
    int activations = 0;
    QObject::connect(&first, &SingleInstance::activationRequested, [&] { ++activations; });

    SingleInstance second(key);
    EXPECT_FALSE(second.Claim());
    QDeadlineTimer deadline(3000);
    while (activations == 0 && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(activations, 1);
}

TEST(SingleInstance, ALeftoverSocketDoesNotBlockTheNextStart) {
    const QString key = "tessara-test-" + QUuid::createUuid().toString(QUuid::Id128);
    {
        SingleInstance gone(key);
        ASSERT_TRUE(gone.Claim());
    }
    SingleInstance next(key);
    EXPECT_TRUE(next.Claim());
}

TEST(Folders, EndInSeparatorsAndFollowTheDataHomeAndDirs) {
    qputenv("XDG_DATA_HOME", "/tmp/tessara-data-home");
    qputenv("XDG_DATA_DIRS", "/tmp/tessara-site:/tmp/tessara-data-home");
    Folders f = Folders::System();
    EXPECT_EQ(f.DataFolder, "/tmp/tessara-data-home/Tessara/");
    EXPECT_TRUE(f.ExeFolder.endsWith('/'));
    EXPECT_TRUE(f.TempFolder.endsWith('/'));
    // The packaged cities beside the program come first; the user's own data home is no all-users folder.
    EXPECT_EQ(f.SystemFolders,
              QStringList({QDir::cleanPath(f.ExeFolder + "../share/tessara/cities") + '/',
                           "/tmp/tessara-site/tessara/cities/"}));
}

TEST(Folders, AllUsersCityFoldersAreAbsoluteAndListedOnce) {
    QTemporaryDir tmp;
    const QString real = tmp.filePath("share");
    QDir().mkpath(real + "/tessara/cities");
    QFile::link(real, tmp.filePath("alias"));
    struct Case {
        const char* what;
        QString exe;
        QStringList dataDirs, exclude, expected;
    };
    const std::vector<Case> cases = {
        {"prefix then data dirs", "/opt/t/bin/", {"/usr/local/share", "/usr/share/"}, {},
         {"/opt/t/share/tessara/cities/", "/usr/local/share/tessara/cities/", "/usr/share/tessara/cities/"}},
        {"the prefix is a data dir", "/usr/bin/", {"/usr/local/share", "/usr/share"}, {},
         {"/usr/share/tessara/cities/", "/usr/local/share/tessara/cities/"}},
        {"relative entries are dropped", "", {"share", "./x", "/srv"}, {}, {"/srv/tessara/cities/"}},
        {"a link to a listed folder", "", {real, tmp.filePath("alias")}, {}, {real + "/tessara/cities/"}},
        {"the program folder is not repeated", "/opt/t/bin/", {}, {"/opt/t/share/tessara/cities/"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(SystemCityFolders(c.exe, c.dataDirs, c.exclude), c.expected);
    }
}
