// The installation: `cmake --install` into a scratch prefix, the files a desktop installation needs, the
// menu entry and the metadata as the freedesktop tools read them, and the installed program listing the
// cities for all users at its first start.
#include "CityHeader.h"
#include "CityWriter.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QSize>
#include <QStandardPaths>
#include <QtEndian>
#include <unistd.h>

namespace {

const QString AppId = QStringLiteral(TESSARA_APP_ID);
const QStringList Programs = {"tessara", "gis-osm", "gis-gen", "gis-dump", "tessara-render", "tessara-vendor",
                              "publish-city", "tessara-show"};
const QList<int> IconSizes = {16, 24, 32, 48, 64, 128, 256};
const QString DocFolder = QStringLiteral("share/doc/tessara/");

struct Finished {
    bool finished = false;
    int exitCode = -1;
    QString out;
};

Finished Start(const QString& program, const QStringList& args, const QProcessEnvironment& env = {}, int ms = 120000) {
    QProcess p;
    if (!env.isEmpty()) p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    Finished r;
    r.finished = p.waitForFinished(ms);
    if (!r.finished) p.kill(), p.waitForFinished();
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAll());
    return r;
}

// Width and height from a PNG file's header chunk; 0 when it is not a PNG.
QSize PngSize(const QString& path) {
    const QByteArray b = ReadAll(path);
    if (b.size() < 24 || !b.startsWith("\x89PNG\r\n\x1a\n") || b.mid(12, 4) != "IHDR") return {};
    return {int(qFromBigEndian<quint32>(b.constData() + 16)), int(qFromBigEndian<quint32>(b.constData() + 20))};
}

// The values of a desktop entry's main group, by key ("Name", "Name[ru]", ...).
QMap<QString, QString> DesktopEntry(const QString& path) {
    QMap<QString, QString> values;
    bool inMain = false;
    for (const QString& line : QString::fromUtf8(ReadAll(path)).split('\n')) {
        if (line.startsWith('[')) inMain = line == QStringLiteral("[Desktop Entry]");
        const int eq = line.indexOf('=');
        if (inMain && eq > 0) values[line.left(eq).trimmed()] = line.mid(eq + 1).trimmed();
    }
    return values;
}

class Installation : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        root_ = new ScratchDir;
        const Finished r = Start(CMAKE_EXE, {"--install", BUILD_DIR, "--prefix", prefix()});
        installed_ = r.finished && r.exitCode == 0;
        log_ = r.out;
    }
    static void TearDownTestSuite() {
        delete root_;
        root_ = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(installed_) << log_.toStdString(); }

    static QString prefix() { return root_->file("prefix"); }
    static QString installed(const QString& relative) { return prefix() + '/' + relative; }

    static ScratchDir* root_;
    static bool installed_;
    static QString log_;
};

ScratchDir* Installation::root_ = nullptr;
bool Installation::installed_ = false;
QString Installation::log_;

TEST_F(Installation, HoldsTheProgramsCitiesMenuEntryIconsAndNothingElse) {
    QStringList expected;
    for (const QString& p : Programs) expected << "bin/" + p;
    expected << "share/applications/" + AppId + ".desktop" << "share/metainfo/" + AppId + ".metainfo.xml"
             << "share/icons/hicolor/scalable/apps/" + AppId + ".svg" << "share/tessara/cities/Demograd.gis"
             << "share/tessara/cities/Demograd.img" << DocFolder + "folders.md";
    for (int size : IconSizes) expected << QStringLiteral("share/icons/hicolor/%1x%1/apps/").arg(size) + AppId + ".png";

    for (const QString& file : expected) EXPECT_TRUE(QFileInfo(installed(file)).isFile()) << file.toStdString();
    for (const QString& p : Programs)
        EXPECT_TRUE(QFileInfo(installed("bin/" + p)).isExecutable()) << p.toStdString();
    // No test program, library or build file comes along; the manual may hold any pages it likes.
    QDirIterator it(prefix(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString relative = QDir(prefix()).relativeFilePath(it.next());
        EXPECT_TRUE(expected.contains(relative) || relative.startsWith(DocFolder)) << relative.toStdString();
    }

    for (int size : IconSizes)
        EXPECT_EQ(PngSize(installed(QStringLiteral("share/icons/hicolor/%1x%1/apps/").arg(size) + AppId + ".png")),
                  QSize(size, size));
    const auto demo = ReadCityHeader(installed("share/tessara/cities/Demograd.gis"));
    ASSERT_TRUE(demo);
    EXPECT_EQ(demo->CityName, QStringLiteral("Демоград"));
    EXPECT_EQ(demo->dfv, CurrentDataFormat);

    const auto entry = DesktopEntry(installed("share/applications/" + AppId + ".desktop"));
    EXPECT_EQ(entry.value("Exec"), "tessara");
    EXPECT_EQ(entry.value("Icon"), AppId);
    EXPECT_EQ(entry.value("Name[ru]"), QStringLiteral("Тессара"));
    for (const char* key : {"Name", "Comment", "Comment[ru]", "Categories"})
        EXPECT_FALSE(entry.value(key).isEmpty()) << key;
}

TEST_F(Installation, MenuEntryPassesDesktopFileValidate) {
    const QString tool = QStandardPaths::findExecutable("desktop-file-validate");
    if (tool.isEmpty()) GTEST_SKIP() << "desktop-file-validate is not installed (package desktop-file-utils)";
    const Finished r = Start(tool, {installed("share/applications/" + AppId + ".desktop")});
    EXPECT_TRUE(r.finished && r.exitCode == 0) << r.out.toStdString();
    // It reports warnings and hints without failing; a clean entry has none.
    EXPECT_EQ(r.out.trimmed().toStdString(), "");
}

TEST_F(Installation, MetadataPassesAppstreamValidate) {
    const QString tool = QStandardPaths::findExecutable("appstreamcli");
    if (tool.isEmpty()) GTEST_SKIP() << "appstreamcli is not installed (package appstream)";
    const Finished r = Start(tool, {"validate", "--no-net", installed("share/metainfo/" + AppId + ".metainfo.xml")});
    EXPECT_TRUE(r.finished && r.exitCode == 0) << r.out.toStdString();
}

// The Debian package holds the same tree under /usr and names the libraries and fonts it needs.
TEST_F(Installation, DebianPackageBuildsWithItsDependencies) {
    const QString dpkgDeb = QStandardPaths::findExecutable("dpkg-deb");
    if (dpkgDeb.isEmpty() || QStandardPaths::findExecutable("dpkg-shlibdeps").isEmpty())
        GTEST_SKIP() << "dpkg-deb and dpkg-shlibdeps are not installed (package dpkg-dev)";
    const QString out = root_->file("package");
    const Finished made = Start(CPACK_EXE, {"-G", "DEB", "-B", out, "--config", BUILD_DIR "/CPackConfig.cmake"});
    ASSERT_TRUE(made.finished && made.exitCode == 0) << made.out.toStdString();
    const QStringList debs = QDir(out).entryList({"tessara_*_amd64.deb"}, QDir::Files);
    ASSERT_EQ(debs.size(), 1) << made.out.toStdString();
    const QString deb = out + '/' + debs[0];

    const Finished depends = Start(dpkgDeb, {"--field", deb, "Depends"});
    for (const char* package : {"libqt6widgets6", "libqt6gui6", "fonts-liberation2"})
        EXPECT_TRUE(depends.out.contains(QLatin1String(package))) << package << ": " << depends.out.toStdString();
    const Finished contents = Start(dpkgDeb, {"--contents", deb});
    for (const QString& file : {QStringLiteral("./usr/bin/tessara"), QStringLiteral("./usr/bin/gis-osm"),
                                QStringLiteral("./usr/share/tessara/cities/Demograd.gis"),
                                "./usr/share/applications/" + AppId + ".desktop"})
        EXPECT_TRUE(contents.out.contains(file + '\n')) << file.toStdString();
}

// The installed program, started with a fresh user account: it lists the packaged demo city and a city an
// administrator put under a system data folder, and writes nothing into the user's data folder.
TEST_F(Installation, InstalledProgramListsTheCitiesForAllUsers) {
    const QString config = root_->file("config"), home = root_->file("home-data"), site = root_->file("site"),
                  tmp = root_->file("tmp");
    for (const QString& dir : {config + "/Norvik", home, site + "/tessara/cities", tmp}) QDir().mkpath(dir);
    // English texts, no update check, the vendor site on a closed port of the loopback.
    WriteAll(config + "/Norvik/Tessara.conf", "[General]\nShellLang=1\nAutoUpdate=0\n"
                                              "MirrorSite1=http://127.0.0.1:9/\nMirrorSite2=http://127.0.0.1:9/\n");
    CityWriter w;
    w.CityName = QStringLiteral("Яблоновск");
    w.ReleaseDate = QStringLiteral("01.03.2025");
    ASSERT_EQ(w.Write(site + "/tessara/cities/Yablonovsk.gis"), QString());

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("QT_PLUGIN_PATH", PROBE_PLUGIN_DIR);
    env.insert("QT_QPA_GENERIC_PLUGINS", "tessaraprobe");
    env.insert("XDG_CONFIG_HOME", config);
    env.insert("XDG_DATA_HOME", home);
    env.insert("XDG_DATA_DIRS", site);
    // A temporary folder of its own keeps the single-instance socket apart from other programs.
    env.insert("TMPDIR", tmp);
    if (geteuid() == 0) env.insert("QTWEBENGINE_DISABLE_SANDBOX", "1");

    const Finished r = Start(installed("bin/tessara"), {}, env, 60000);
    ASSERT_TRUE(r.finished) << r.out.toStdString();
    EXPECT_EQ(r.exitCode, 0) << r.out.toStdString();
    QStringList lines;
    for (const QString& line : r.out.split('\n'))
        if (line.startsWith("city: ") || line.startsWith("selected: ")) lines << line.section(" (", 0, 0);
    EXPECT_EQ(lines.join('\n').toStdString(), "city: Демоград \ncity: Яблоновск \nselected: Демоград ")
        << r.out.toStdString();
    EXPECT_TRUE(QDir(home).isEmpty()) << "the user's data folder is left alone";
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
