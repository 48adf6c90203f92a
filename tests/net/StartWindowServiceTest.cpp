// The start window against the reference service: what a new user with automatic updates sees, and
// the statistics it sends.
#include "AppContext.h"
#include "TempSettingsStore.h"
#include "TextTable.h"
#include "TfrmMessage.h"
#include "TfrmStart.h"
#include "TfrmUpdateList.h"
#include "VendorServer.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

namespace {

bool WaitFor(const std::function<bool()>& done, int ms = 20000) {
    QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired())
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

struct StartWithService : ::testing::Test {
    TempSettingsStore store;
    QTemporaryDir data, systemData;
    ScratchDir root;
    std::unique_ptr<VendorServer> server;
    std::unique_ptr<AppContext> app;
    std::unique_ptr<TfrmStart> start;
    bool closed = false;
    QStringList modals; // object names of the modal windows that came up, in order
    QTimer answering;

    void SetUp() override {
        qputenv("XDG_DATA_HOME", data.path().toUtf8());
        qputenv("XDG_DATA_DIRS", systemData.path().toUtf8());
        WritePublishFolder(root.file("pub"), "01.02.2020", {{"Demograd", QStringLiteral("Демоград"), "01.11.2026", ""}});
        server = std::make_unique<VendorServer>(root.file("pub"));
        ASSERT_TRUE(server->started());
        auto user = TempSettingsStore::User();
        user->setValue("ShellLang", 1);
        user->setValue("ShowHelp", false);
        user->setValue("AutoUpdate", true); // the default a new user has
        user->setValue("MirrorSite1", server->base());
        user->setValue("MirrorSite2", server->base());
        user->sync();
        // Yes to the download offer; in the list, the first city ticked and OK; message boxes read.
        QObject::connect(&answering, &QTimer::timeout, [this] {
            QWidget* w = QApplication::activeModalWidget();
            // The download window works by itself; the windows it opens are answered.
            if (!w || !w->isVisible() || w->property("answered").toBool() || w->objectName() == "frmDownload") return;
            w->setProperty("answered", true);
            modals << w->objectName();
            if (auto* m = qobject_cast<TfrmMessage*>(w)) {
                m->btnYes->click();
            } else if (auto* list = qobject_cast<TfrmUpdateList*>(w)) {
                if (auto* box = list->findChild<QCheckBox*>("needUpdate1")) box->setChecked(true);
                list->btnOK->click();
            } else if (auto* box = qobject_cast<QMessageBox*>(w)) {
                modals.last() += ": " + box->text();
                box->accept();
            }
        });
        answering.start(20);
    }
    void TearDown() override {
        answering.stop();
        start.reset();
        app.reset();
        BindShellLang(nullptr);
    }
    void Open() {
        app = std::make_unique<AppContext>();
        start = std::make_unique<TfrmStart>(*app);
        start->checkHost = [] { return true; };
        QObject::connect(start.get(), &TfrmStart::closed, [this] { closed = true; });
        start->show();
    }
};

// No city yet and automatic updates on: the list is shown so that the user can choose a city, and the
// chosen city is installed and selected.
TEST_F(StartWithService, FirstStartWithAutomaticUpdatesShowsTheList) {
    Open();
    ASSERT_TRUE(WaitFor([&] { return closed || start->btnGo->isEnabled(); }));
    EXPECT_FALSE(closed);
    EXPECT_EQ(modals.value(0), "frmMessage");
    EXPECT_EQ(modals.value(1), "frmUpdateList");
    ASSERT_EQ(start->cbCity->count(), 1);
    EXPECT_TRUE(start->cbCity->itemText(0).startsWith(QStringLiteral("Демоград")));
    EXPECT_EQ(app->LastCity, QStringLiteral("Демоград"));
}

} // namespace
