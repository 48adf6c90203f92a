// The download and update list windows driven by their control names, against the reference service.
#include "CityFile.h"
#include "TextTable.h"
#include "ShownText.h"
#include "TfrmDownload.h"
#include "TfrmUpdateList.h"
#include "VendorServer.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTcpServer>
#include <QTimer>

namespace {

// Answers each modal window that comes up with `handler` (once per window).
class ModalWatcher {
public:
    // `owner` is the window under test itself, which is modal too and is left alone.
    ModalWatcher(QWidget* owner, std::function<void(QWidget*)> handler) : handler_(std::move(handler)) {
        QObject::connect(&timer_, &QTimer::timeout, [this, owner] {
            QWidget* w = QApplication::activeModalWidget();
            if (!w || w == owner || w == last_ || !w->isVisible()) return;
            last_ = w;
            seen << w->objectName();
            handler_(w);
        });
        timer_.start(10);
    }
    QStringList seen;

private:
    std::function<void(QWidget*)> handler_;
    QWidget* last_ = nullptr;
    QTimer timer_;
};

class UpdateWindows : public ::testing::Test {
protected:
    void SetUp() override {
        PrepareInstallation(root, ctx);
        server = std::make_unique<VendorServer>(root.file("pub"));
        ASSERT_TRUE(server->started());
        mirrors.Sites[0] = server->base();
        mirrors.Sites[1] = server->base();
    }
    int Run(const std::function<void(QWidget*)>& handler) {
        TfrmDownload frm(ctx);
        frm.Mirrors = mirrors;
        frm.LaunchInstaller = [](const QString&) { return true; };
        ModalWatcher watcher(&frm, handler);
        const int result = frm.exec();
        seen = watcher.seen;
        return result;
    }
    ScratchDir root;
    UpdateContext ctx;
    MirrorSites mirrors;
    std::unique_ptr<VendorServer> server;
    QStringList seen;
};

// No city installed: the list shows every component, the user ticks the demo city and presses OK.
TEST_F(UpdateWindows, FirstStartTicksTheDemoCity) {
    int rows = -1, height = -1;
    QString before, after, caption;
    Run([&](QWidget* w) {
        auto* list = qobject_cast<TfrmUpdateList*>(w);
        ASSERT_TRUE(list);
        height = list->height();
        rows = int(list->findChildren<QCheckBox*>(QRegularExpression("^needUpdate\\d+$")).size());
        // Components are listed in the order of the list: the program, then the two cities.
        QCheckBox* demo = list->findChild<QCheckBox*>("needUpdate1");
        ASSERT_TRUE(demo);
        EXPECT_TRUE(demo->isVisible());
        EXPECT_FALSE(demo->isChecked());
        EXPECT_FALSE(list->findChild<QCheckBox*>("needUpdate0")->isVisible()); // the program is current
        EXPECT_TRUE(list->findChild<QCheckBox*>("needFoto1")->isVisible());
        caption = demo->text();
        for (QLabel* l : list->findChildren<QLabel*>()) {
            if (l->geometry().top() == 40 + 25 && l->x() == list->txtBefor->x()) before = l->text();
            if (l->geometry().top() == 40 + 25 && l->x() == list->txtAfter->x()) after = l->text();
        }
        demo->click();
        // Under Xvfb, TESSARA_SHOT_DIR keeps pictures of the windows to look at.
        if (const QString shots = qEnvironmentVariable("TESSARA_SHOT_DIR"); !shots.isEmpty()) {
            list->grab().save(shots + "/update-list.png");
            list->parentWidget()->grab().save(shots + "/download.png");
        }
        list->btnOK->click();
    });
    EXPECT_EQ(seen, QStringList({"frmUpdateList"}));
    EXPECT_EQ(rows, 3);
    EXPECT_EQ(height, 130 + 25 * 3);
    EXPECT_EQ(before, "-");
    EXPECT_EQ(after, "01.11.2026");
    EXPECT_EQ(caption, "    1 MB");
    EXPECT_TRUE(ctx.Outcome.DataInstalled);
    ASSERT_EQ(ctx.Cities.size(), 1u);
    EXPECT_EQ(ctx.Cities[0].CityName, QStringLiteral("Демоград"));
    CityDb db;
    LoadStartSection(db, CityFileRef::From(ctx.Cities[0]));
    EXPECT_EQ(db.AgentName, "Agent");
}

// Cancel installs nothing but still rebuilds the catalogue and the photo index.
TEST_F(UpdateWindows, CancelStillRebuildsTheCatalogue) {
    QDir().mkpath(ctx.DataFolder);
    WriteAll(ctx.DataFolder + "Demograd.gis", SmallCity(QStringLiteral("Демоград"), "01.05.2026"));
    WriteAll(ctx.DataFolder + "Demograd.img", SmallPhotoFile(46000));
    ctx.Cities = BuildCatalogue(ctx.DataFolder, ctx.ExeFolder);
    ctx.CurrentCity = 0;
    CityDb db;
    ctx.Db = &db;
    // The data folder gains a city behind the catalogue's back: only a rebuild finds it.
    WriteAll(ctx.DataFolder + "Another.gis", SmallCity("Another", "01.01.2026"));
    const int result = Run([](QWidget* w) { qobject_cast<TfrmUpdateList*>(w)->btnCancel->click(); });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_EQ(ctx.Cities.size(), 2u);
    EXPECT_EQ(ctx.Cities[std::size_t(ctx.CurrentCity)].CityName, QStringLiteral("Демоград"));
    EXPECT_EQ(db.Fotos.size(), 2u);
    EXPECT_FALSE(ctx.Outcome.DataInstalled);
    for (const QString& p : server->Paths())
        EXPECT_TRUE(p.startsWith("GET /download.txt") || p.startsWith("GET /fotos.txt")) << p.toStdString();
}

// Automatic mode never shows the list and shows the window only once something downloads.
TEST_F(UpdateWindows, AutomaticModeShowsNoList) {
    QDir().mkpath(ctx.DataFolder);
    WriteAll(ctx.DataFolder + "Demograd.gis", SmallCity(QStringLiteral("Демоград"), "01.05.2026"));
    ctx.Cities = BuildCatalogue(ctx.DataFolder, ctx.ExeFolder);
    ctx.CurrentCity = 0;
    ctx.AutoUpdate = true;
    TfrmDownload frm(ctx);
    frm.Mirrors = mirrors;
    frm.SetTransparent(true);
    double opacityAtEnd = -1;
    int barMax = 0;
    ModalWatcher watcher(
        &frm, [&](QWidget* w) { ADD_FAILURE() << "a window came up: " << w->objectName().toStdString(); });
    QObject::connect(&frm, &QDialog::finished, [&] {
        opacityAtEnd = frm.windowOpacity();
        barMax = frm.pb1->maximum();
    });
    EXPECT_EQ(frm.exec(), QDialog::Accepted);
    EXPECT_TRUE(ctx.Outcome.CurrentCityUpdated);
    EXPECT_EQ(ctx.Cities[0].ReleaseDate, "01.11.2026");
    EXPECT_DOUBLE_EQ(opacityAtEnd, 1.0);
    EXPECT_GT(barMax, 1);
    // The success is said in one line.
    EXPECT_EQ(frm.LastNotice, LangText(u"UpdateInstalled").arg(QStringLiteral("Демоград, Демоград (Фото)")));
}

// Automatic mode against a service that takes the connection and never answers: the window comes
// into view with its Cancel while the lists are awaited, and Cancel ends the wait at once, quietly.
TEST_F(UpdateWindows, ASilentServiceAtStartCanBeCancelled) {
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    mirrors.Sites[0] = mirrors.Sites[1] = QStringLiteral("http://127.0.0.1:%1/").arg(silent.serverPort());
    QDir().mkpath(ctx.DataFolder);
    WriteAll(ctx.DataFolder + "Demograd.gis", SmallCity(QStringLiteral("Демоград"), "01.05.2026"));
    const auto before = FolderSnapshot(ctx.DataFolder);
    ctx.Cities = BuildCatalogue(ctx.DataFolder, ctx.ExeFolder);
    ctx.CurrentCity = 0;
    ctx.AutoUpdate = true;
    TfrmDownload frm(ctx);
    frm.Mirrors = mirrors;
    frm.VisibleAfterMs = 200;
    frm.SetTransparent(true);
    ModalWatcher watcher(
        &frm, [](QWidget* w) { ADD_FAILURE() << "a window came up: " << w->objectName().toStdString(); });
    QElapsedTimer clock;
    qint64 shownAt = -1;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (shownAt < 0 && frm.windowOpacity() == 1.0) {
            shownAt = clock.elapsed();
            EXPECT_TRUE(frm.btnCancel->isEnabled());
            EXPECT_EQ(frm.txtDownloading->text(), LangText(u"Checking"));
            frm.btnCancel->click();
        }
    });
    poll.start(5);
    clock.start();
    EXPECT_EQ(frm.exec(), QDialog::Rejected);
    ASSERT_GE(shownAt, 0);
    EXPECT_LT(clock.elapsed() - shownAt, 2000);
    EXPECT_FALSE(ctx.Outcome.DataInstalled);
    EXPECT_NE(ctx.AppState, "error");
    EXPECT_TRUE(FolderSnapshot(ctx.DataFolder) == before);
}

// Lists that offer nothing newer than what is installed say so in the list window.
TEST_F(UpdateWindows, NothingNewIsSaid) {
    QDir().mkpath(ctx.DataFolder);
    WriteAll(ctx.DataFolder + "Demograd.gis", SmallCity(QStringLiteral("Демоград"), "01.11.2026"));
    WriteAll(ctx.DataFolder + "Demograd.img", SmallPhotoFile(int(*DateTextToDays("15.10.2026"))));
    WriteAll(ctx.DataFolder + "Other.gis", SmallCity("Other", "01.06.2026"));
    ctx.Cities = BuildCatalogue(ctx.DataFolder, ctx.ExeFolder);
    ctx.CurrentCity = 0;
    bool said = false;
    Run([&](QWidget* w) {
        auto* list = qobject_cast<TfrmUpdateList*>(w);
        ASSERT_TRUE(list);
        said = list->txtNothingNew->isVisible() && list->txtNothingNew->text() == LangText(u"NothingNew");
        list->btnOK->click();
    });
    EXPECT_TRUE(said);
    EXPECT_FALSE(ctx.Outcome.DataInstalled);
}

// Cancel, Escape and Close each end a running download at once: no warning, no file left behind,
// the installed city as it was.
TEST_F(UpdateWindows, CancelEscapeAndCloseEndADownload) {
    // An archive that takes many seconds at the service's pace.
    WriteLargeDemogradArchive(root.file("pub/download/Demograd.zip"), 600000);
    server = std::make_unique<VendorServer>(root.file("pub"), QStringList{"--rate", "40"});
    ASSERT_TRUE(server->started());
    mirrors.Sites[0] = mirrors.Sites[1] = server->base();
    QDir().mkpath(ctx.DataFolder);
    WriteAll(ctx.DataFolder + "Demograd.gis", SmallCity(QStringLiteral("Демоград"), "01.05.2026"));
    const auto before = FolderSnapshot(ctx.DataFolder);

    const std::pair<const char*, std::function<void(TfrmDownload&)>> ways[] = {
        {"Cancel", [](TfrmDownload& frm) { frm.btnCancel->click(); }},
        {"Escape",
         [](TfrmDownload& frm) {
             QKeyEvent key(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
             QApplication::sendEvent(&frm, &key);
         }},
        {"Close", [](TfrmDownload& frm) { frm.close(); }},
    };
    for (const auto& [way, act] : ways) {
        SCOPED_TRACE(way);
        ctx.Cities = BuildCatalogue(ctx.DataFolder, ctx.ExeFolder);
        ctx.CurrentCity = 0;
        ctx.AutoUpdate = true;
        ctx.AppState.clear();
        TfrmDownload frm(ctx);
        frm.Mirrors = mirrors;
        ModalWatcher watcher(
            &frm, [](QWidget* w) { ADD_FAILURE() << "a window came up: " << w->objectName().toStdString(); });
        // Acts once the archive is on its way.
        QElapsedTimer clock;
        qint64 actedAt = -1;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (actedAt < 0 && frm.pb1->value() > 0) {
                actedAt = clock.elapsed();
                act(frm);
            }
        });
        poll.start(5);
        clock.start();
        EXPECT_EQ(frm.exec(), QDialog::Rejected);
        ASSERT_GE(actedAt, 0);
        EXPECT_LT(clock.elapsed() - actedAt, 3000);
        EXPECT_FALSE(frm.isVisible());
        EXPECT_FALSE(ctx.Outcome.DataInstalled);
        EXPECT_NE(ctx.AppState, "error");
        EXPECT_TRUE(FolderSnapshot(ctx.DataFolder) == before);
    }
}

// Neither list answers: a warning, the window closes, the catalogue stays as it was.
TEST_F(UpdateWindows, UnreachableSiteWarns) {
    mirrors.Sites[0] = "http://127.0.0.1:1/";
    mirrors.Sites[1] = "http://127.0.0.1:1/";
    TCity marker;
    marker.CityName = "untouched";
    ctx.Cities = {marker};
    QString text, detail;
    Run([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_TRUE(box);
        text = box->text();
        detail = box->informativeText();
        box->button(QMessageBox::Ok)->click();
    });
    EXPECT_EQ(seen, QStringList({"msgErrDownload"}));
    EXPECT_TRUE(text.startsWith(QStringLiteral("Не удалось скачать обновление."))) << text.toStdString();
    // The configured publisher's site, not the built-in one; what failed, and that nothing changed.
    EXPECT_TRUE(text.contains("127.0.0.1")) << text.toStdString();
    EXPECT_FALSE(text.contains("tessara.example.org")) << text.toStdString();
    EXPECT_TRUE(detail.contains("http://127.0.0.1:1/download.txt: ")) << detail.toStdString();
    EXPECT_TRUE(detail.endsWith(LangText(u"ListsKept"))) << detail.toStdString();
    ASSERT_EQ(ctx.Cities.size(), 1u);
    EXPECT_EQ(ctx.Cities[0].CityName, "untouched");
}

// Names from the vendor's list and from an archive are shown as they stand in the update list and in
// the download warning, never laid out as markup (a picture there would be read from disk).
TEST_F(UpdateWindows, ComponentAndEntryNamesShowLiterally) {
    const QString name = QStringLiteral("<img src=/nonexistent/p.png><b>Evil</b> & Co");
    WritePublishFolder(root.file("pub"), "01.02.2020", {{"Evil", name, "01.11.2026", ""}});
    ZipWriter zip;
    zip.Add("Evil.gis", SmallCity(name, "01.11.2026"));
    const QString entry = QStringLiteral("<img src=\"/nonexistent/tessara-probe.png\">\\x.txt");
    zip.Add(entry, "text");
    zip.Write(root.file("pub") + "/download/Evil.zip");
    QStringList listed;
    QString warning;
    Run([&](QWidget* w) {
        if (auto* list = qobject_cast<TfrmUpdateList*>(w)) {
            for (QLabel* l : list->findChildren<QLabel*>())
                if (l->text().contains("Evil")) listed << ShownText(l);
            QCheckBox* box = list->findChild<QCheckBox*>("needUpdate1");
            ASSERT_TRUE(box);
            box->click();
            list->btnOK->click();
        } else if (auto* box = qobject_cast<QMessageBox*>(w)) {
            if (auto* detail = box->findChild<QLabel*>("qt_msgbox_informativelabel"))
                warning = ShownText(detail);
            box->button(QMessageBox::Ok)->click();
        }
    });
    EXPECT_EQ(seen, QStringList({"frmUpdateList", "msgErrDownload"}));
    EXPECT_EQ(listed, QStringList{name});
    EXPECT_TRUE(warning.contains(entry)) << warning.toStdString();
    EXPECT_FALSE(QFile::exists(ctx.DataFolder + "Evil.gis"));
}

} // namespace
