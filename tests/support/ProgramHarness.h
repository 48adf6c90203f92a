// The program driven as a user would, for widget tests: a small generated city in a scratch data
// folder, settings in a scratch store, the start window opened and "Next" pressed.
#pragma once

#include "AppContext.h"
#include "CityGenerator.h"
#include "CityWriter.h"
#include "RecordWriter.h"
#include "TempSettingsStore.h"
#include "TfrmMain.h"
#include "TfrmStart.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

inline bool WaitUntil(const std::function<bool()>& done, int ms = 20000) {
    QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired())
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

// Answers the next modal window by clicking its control `name` once it shows.
inline void AnswerModal(const QString& name) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, name] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) return;
        poll->stop();
        poll->deleteLater();
        if (auto* button = modal->findChild<QAbstractButton*>(name))
            button->click();
        else if (auto* box = qobject_cast<QMessageBox*>(modal))
            box->accept();
        else if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
    });
    poll->start(20);
}

// A generated city of a few hundred buildings; `edit` changes its records before they are written.
inline QString WriteCity(const QString& folder, const QString& name, const QString& engName,
                         const std::function<void(CityDb&)>& edit = {}) {
    QDir().mkpath(folder);
    CityGenOptions options;
    CityGenPreset(QStringLiteral("demo"), options);
    options.buildings = 400;
    options.orgs = 200;
    options.streets = 20;
    CityWriter w;
    w.CityName = name;
    w.ReleaseDate = QStringLiteral("31.12.2025");
    CityDb db;
    GenerateCity(options, db, w);
    if (edit) edit(db);
    SetCitySections(w, db);
    const QString path = folder + engName + QStringLiteral(".gis");
    EXPECT_TRUE(w.Write(path).isEmpty());
    return path;
}

struct Program : ::testing::Test {
    TempSettingsStore store;
    QTemporaryDir data;
    std::unique_ptr<AppContext> app;
    std::unique_ptr<TfrmStart> start;
    bool closed = false;

    void SetUp() override {
        qputenv("XDG_DATA_HOME", data.path().toUtf8());
        auto user = TempSettingsStore::User();
        user->setValue("ShellLang", 1);
        user->setValue("ShowHelp", false);
        user->setValue("AutoUpdate", false);
        user->setValue("DemogradLang", 0);
        user->setValue("BrokenLang", 0);
        user->setValue("MirrorSite1", "http://127.0.0.1:9/");
        user->setValue("MirrorSite2", "http://127.0.0.1:9/");
        user->sync();
    }
    void TearDown() override {
        start.reset();
        app.reset();
        BindShellLang(nullptr);
    }
    QString CityFolder() const { return data.path() + QStringLiteral("/Tessara/"); }

    void Open() {
        app = std::make_unique<AppContext>();
        start = std::make_unique<TfrmStart>(*app);
        start->checkHost = [] { return false; };
        QObject::connect(start.get(), &TfrmStart::closed, [this] { closed = true; });
        start->show();
        ASSERT_TRUE(WaitUntil([&] { return start->btnGo->isEnabled(); }));
    }
    TfrmMain* Next() {
        start->btnGo->click();
        EXPECT_TRUE(WaitUntil(
            [&] { return start->frmMain && start->frmMain->isVisible() && app->AppState.isEmpty(); }));
        return start->frmMain;
    }
};

// The main window over a generated city, closed through the quit window afterwards.
struct MainWindow : Program {
    TfrmMain* frm = nullptr;
    void SetUp() override {
        Program::SetUp();
        WriteCity(CityFolder(), QStringLiteral("Demograd"), QStringLiteral("Demograd"));
        Open();
        frm = Next();
        ASSERT_NE(frm, nullptr);
    }
    void TearDown() override {
        if (frm && frm->isVisible()) {
            AnswerModal("btnYes");
            frm->close();
            WaitUntil([&] { return closed; }, 5000);
        }
        Program::TearDown();
    }
};
