#include "Folders.h"
#include "LocalSockets.h"
#include "SingleInstance.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <functional>
#include <unistd.h>

namespace {

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

namespace {

// A running instance on a thread of its own, answering from its event loop as another process would.
struct Running {
    Running(const QString& folder, const QString& display) {
        thread.start();
        instance = new SingleInstance(folder, display);
        instance->moveToThread(&thread);
        QObject::connect(instance, &SingleInstance::activationRequested, instance, [this] { ++activations; });
        QMetaObject::invokeMethod(
            instance, [this] { claimed = instance->Claim(); }, Qt::BlockingQueuedConnection);
    }
    ~Running() {
        QMetaObject::invokeMethod(
            instance, [this] { delete instance; }, Qt::BlockingQueuedConnection);
        thread.quit();
        thread.wait();
    }
    QThread thread;
    SingleInstance* instance = nullptr;
    std::atomic<int> activations{0};
    bool claimed = false;
};

QString PrivateFolder(const QTemporaryDir& dir) {
    return dir.path() + '/';
}

} // namespace

TEST(SingleInstance, ASecondStartRaisesTheFirstAndHearsOnWhichDisplay) {
    QTemporaryDir dir;
    Running first(PrivateFolder(dir), "xcb::0");
    ASSERT_TRUE(first.claimed);
    EXPECT_TRUE(QFileInfo(first.instance->SocketPath()).fileName().startsWith(
        QStringLiteral("tessara-%1-").arg(::geteuid())));

    SingleInstance same(PrivateFolder(dir), "xcb::0");
    EXPECT_FALSE(same.Claim());
    EXPECT_EQ(same.answer(), SingleInstance::Answer::Raised);

    SingleInstance other(PrivateFolder(dir), "xcb::1");
    EXPECT_FALSE(other.Claim());
    EXPECT_EQ(other.answer(), SingleInstance::Answer::RaisedOnOtherDisplay);
    EXPECT_EQ(other.OtherDisplay(), "xcb::0");
    EXPECT_EQ(first.activations.load(), 2);
}

// Whatever lies at the socket's name (a server that never answers, a file, a socket left by a run that
// ended), the first start runs and later starts reach it.
TEST(SingleInstance, NothingAtTheSocketsNameKeepsTheProgramOut) {
    const struct {
        const char* what;
        std::function<void(const QString& path, QLocalServer& squatter)> place;
    } cases[] = {
        {"a server that never answers",
         [](const QString& path, QLocalServer& squatter) { ASSERT_TRUE(squatter.listen(path)); }},
        {"a plain file", [](const QString& path, QLocalServer&) { WriteFile(path, "squatted"); }},
        {"a socket left behind", [](const QString& path, QLocalServer&) { ASSERT_TRUE(LeaveSocketBehind(path)); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        QLocalServer squatter;
        c.place(SingleInstance(PrivateFolder(dir)).SocketPath(), squatter);
        Running first(PrivateFolder(dir), "xcb::0");
        EXPECT_TRUE(first.claimed);
        SingleInstance second(PrivateFolder(dir), "xcb::0");
        EXPECT_FALSE(second.Claim());
        EXPECT_EQ(second.answer(), SingleInstance::Answer::Raised);
        EXPECT_EQ(first.activations.load(), 1);
    }

    // A name the first cannot take (a folder) leaves it unreachable, yet the only one running.
    QTemporaryDir dir;
    SingleInstance first(PrivateFolder(dir));
    ASSERT_TRUE(QDir().mkpath(first.SocketPath()));
    EXPECT_TRUE(first.Claim());
    SingleInstance second(PrivateFolder(dir));
    EXPECT_FALSE(second.Claim());
    EXPECT_EQ(second.answer(), SingleInstance::Answer::NoAnswer);
}

// The runtime folder is used only when nobody else can open it; otherwise the user's cache holds one.
TEST(Folders, TheRuntimeFolderIsTheUsersAlone) {
    QTemporaryDir dir;
    const QString root = dir.path() + '/';
    const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR"), savedCache = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", (root + "cache").toUtf8());
    const QString fallback = root + QStringLiteral("cache/Tessara/runtime-%1/").arg(::geteuid());
    auto folder = [&](const QString& name, QFile::Permissions mode) {
        QDir().mkpath(root + name);
        QFile::setPermissions(root + name, mode);
        return root + name;
    };
    const QFile::Permissions owner = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    QFile::link(folder("private", owner), root + "link");
    const struct {
        QString runtime;
        QString expected;
    } cases[] = {
        {root + "private", root + "private/"},
        {folder("readable", owner | QFile::ReadOther | QFile::ExeOther), fallback},
        {folder("everyone", owner | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther), fallback},
        {root + "link", fallback},
        {root + "missing", fallback},
        {"relative", fallback},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.runtime.toStdString());
        qputenv("XDG_RUNTIME_DIR", c.runtime.toUtf8());
        EXPECT_EQ(UserRuntimeFolder(), c.expected);
    }
    EXPECT_TRUE(IsPrivateFolder(fallback));
    // A fallback of ours made with wider rights is narrowed.
    QFile::setPermissions(fallback, owner | QFile::ReadOther | QFile::ExeOther);
    EXPECT_EQ(UserRuntimeFolder(), fallback);
    EXPECT_TRUE(IsPrivateFolder(fallback));
    if (::geteuid() == 0) {
        // Another user's folder, private to them, is not ours.
        const QString theirs = folder("theirs", owner);
        ASSERT_EQ(::chown(QFile::encodeName(theirs).constData(), 65534, 65534), 0);
        qputenv("XDG_RUNTIME_DIR", theirs.toUtf8());
        EXPECT_EQ(UserRuntimeFolder(), fallback);
    }
    qputenv("XDG_RUNTIME_DIR", savedRuntime);
    qputenv("XDG_CACHE_HOME", savedCache);
    if (savedRuntime.isNull()) qunsetenv("XDG_RUNTIME_DIR");
    if (savedCache.isNull()) qunsetenv("XDG_CACHE_HOME");
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
