// The program driven by control name in widget tests: waiting, answering modal windows, mouse and
// keys, a generated city, and fixtures that open the start window and the main window.
#pragma once

#include "AppContext.h"
#include "Cards.h"
#include "CityGenerator.h"
#include "CityWriter.h"
#include "MainWindowLabels.h"
#include "MapHitTest.h"
#include "MapRenderer.h"
#include "ObjectState.h"
#include "RecordWriter.h"
#include "ShellOpen.h"
#include "SingleInstance.h"
#include "TCardList.h"
#include "TMapImage.h"
#include "TOrgCriteria.h"
#include "TempSettingsStore.h"
#include "TfrmHelp.h"
#include "TfrmMain.h"
#include "TfrmMessage.h"
#include "TfrmOptions.h"
#include "TfrmQuit.h"
#include "TfrmStart.h"
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QUuid>
#include <QWheelEvent>
#include <cmath>
#include <functional>
#include <memory>
#include <gtest/gtest.h>

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

// Answers the next message box with OK and keeps its text in `said`.
inline void ReadNextMessage(QString& said) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [&said, poll] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            said = box->text();
            poll->deleteLater();
            box->accept();
        }
    });
    poll->start(20);
}

// Saves a picture of a window when TESSARA_SCREENSHOT_DIR names a folder (run under Xvfb to see them).
inline void Screenshot(QWidget* w, const QString& name) {
    const QString dir = qEnvironmentVariable("TESSARA_SCREENSHOT_DIR");
    if (dir.isEmpty()) return;
    QApplication::processEvents();
    QPixmap shot = QGuiApplication::platformName() == QStringLiteral("xcb")
                       ? w->screen()->grabWindow(0, w->x(), w->y(), w->frameGeometry().width(),
                                                 w->frameGeometry().height())
                       : w->grab();
    shot.save(dir + '/' + name + QStringLiteral(".png"));
}

inline void Mouse(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton button = Qt::LeftButton) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton
                                  : type == QEvent::MouseMove        ? Qt::MouseButtons(button)
                                                                     : Qt::MouseButtons(button);
    QMouseEvent e(type, QPointF(pos), QPointF(w->mapToGlobal(pos)),
                  type == QEvent::MouseMove ? Qt::NoButton : button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

inline void Drag(QWidget* w, QPoint from, QPoint to, int steps = 5) {
    Mouse(w, QEvent::MouseButtonPress, from);
    for (int i = 1; i <= steps; ++i)
        Mouse(w, QEvent::MouseMove, from + (to - from) * i / steps);
    Mouse(w, QEvent::MouseButtonRelease, to);
}

inline void Wheel(QWidget* w, QPoint pos, int delta) {
    QWheelEvent e(QPointF(pos), QPointF(w->mapToGlobal(pos)), QPoint(), QPoint(0, delta), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
}

inline void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QWidget* target = QApplication::focusWidget();
    ASSERT_NE(target, nullptr);
    QKeyEvent press(QEvent::KeyPress, key, mods);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, mods);
    QApplication::sendEvent(target, &release);
}

// A building whose centre, and the point 4 pixels below right of it, lie inside its outline well
// within the map image and away from metro stations (which a click hits first); -1 when none is.
inline int ClickableBuilding(TfrmMain* frm, const CityDb& db, QPoint& at,
                             const std::function<bool(int)>& wanted = {}) {
    const TMapImage* img = frm->img;
    for (size_t i = 0; i < db.Buildings.size(); ++i) {
        const TBuilding& b = db.Buildings[i];
        float cx = 0, cy = 0;
        for (const TCoord& c : b.shapes[0].shape)
            cx += c.x, cy += c.y;
        cx /= b.shapes[0].shape.size();
        cy /= b.shapes[0].shape.size();
        int px, py;
        frm->view.WorldToScreen(cx, cy, px, py);
        if (px < 100 || py < 100 || px > img->width() - 100 || py > img->height() - 100) continue;
        std::vector<QPoint> poly;
        for (const TCoord& c : b.shapes[0].shape) {
            int x, y;
            frm->view.WorldToScreen(c.x, c.y, x, y);
            poly.emplace_back(x, y);
        }
        if (!InsidePolygon(poly, px, py) || !InsidePolygon(poly, px + 4, py + 4)) continue;
        bool nearMetro = false;
        for (const TBusStop& s : db.BusStops)
            nearMetro |= s.tip == bstMetro && std::hypot(s.x - cx, s.y - cy) < 60;
        if (nearMetro || (wanted && !wanted(int(i)))) continue;
        at = QPoint(px, py);
        return int(i);
    }
    return -1;
}

inline void Click(QWidget* w, QPoint at) {
    Mouse(w, QEvent::MouseButtonPress, at);
    Mouse(w, QEvent::MouseMove, at + QPoint(4, 4));
    Mouse(w, QEvent::MouseButtonRelease, at + QPoint(4, 4));
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

    // `hostAnswers`: the start-up check finds the vendor's site (the settings point it at a closed loopback
    // port).
    void Open(bool hostAnswers = false) {
        app = std::make_unique<AppContext>();
        start = std::make_unique<TfrmStart>(*app);
        start->checkHost = [hostAnswers] { return hostAnswers; };
        QObject::connect(start.get(), &TfrmStart::closed, [this] { closed = true; });
        start->show();
        ASSERT_TRUE(WaitUntil([&] { return start->btnGo->isEnabled(); }));
    }
    // Ends the program through the quit window when the main window still shows.
    void CloseMain(TfrmMain* frm) {
        if (!frm || !frm->isVisible()) return;
        AnswerModal("btnYes");
        frm->close();
        WaitUntil([&] { return closed; }, 5000);
    }
    TfrmMain* Next() {
        start->btnGo->click();
        EXPECT_TRUE(WaitUntil(
            [&] { return start->frmMain && start->frmMain->isVisible() && app->AppState.isEmpty(); }));
        return start->frmMain;
    }
};

struct MainWindow : Program {
    TfrmMain* frm = nullptr;
    // A fixture may change the generated city's records before it is written.
    virtual void EditCity(CityDb&) {}
    void SetUp() override {
        Program::SetUp();
        WriteCity(CityFolder(), QStringLiteral("Demograd"), QStringLiteral("Demograd"),
                  [this](CityDb& db) { EditCity(db); });
        Open();
        frm = Next();
        ASSERT_NE(frm, nullptr);
    }
    void TearDown() override {
        CloseMain(frm);
        Program::TearDown();
    }
};
