// The criteria panel and the card list side by side in one window on a generated city (the object tab
// below the criteria on request), with a host that records what they ask of the map. Tests drive it;
// under Xvfb it can be looked at.
#pragma once

#include "Catalogue.h"
#include "CityGenerator.h"
#include "CityLoad.h"
#include "MapColors.h"
#include "PendingAddress.h"
#include "SearchHost.h"
#include "Settings.h"
#include "TCardList.h"
#include "TFilterListBox.h"
#include "TObjectPage.h"
#include "TOrgCriteria.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QVBoxLayout>
#include <QStringList>
#include <QTemporaryDir>
#include <QWidget>
#include <functional>
#include <memory>

struct SearchHarness : SearchHost {
    QTemporaryDir dir;
    CityDb db;
    CityFileRef city;
    Settings settings;
    MapDisplay display;
    QDateTime now = QDateTime(QDate(2026, 12, 7), QTime(12, 0)); // a Monday noon
    RadiusCircle radius;
    QStringList calls;
    std::unique_ptr<QWidget> window;
    TCardList* list = nullptr;
    TOrgCriteria* criteria = nullptr;
    TObjectPage* objects = nullptr;
    PendingAddress pending;
    bool background = false;

    explicit SearchHarness(int orgs = 400) {
        CityGenOptions o;
        o.buildings = 1500;
        o.streets = 40;
        o.orgs = orgs;
        o.maxPictures = 12;
        const QString file = QStringLiteral("Testograd.gis");
        if (!WriteGeneratedCity(o, QStringLiteral("Тестоград"), dir.filePath(file)).isEmpty()) return;
        Open(dir.path() + "/", file);
    }

    // A city file made elsewhere (an imported one) in `folder` (ending in "/").
    SearchHarness(const QString& folder, const QString& file) { Open(folder, file); }

    void Open(const QString& folder, const QString& file) {
        auto entry = CityEntryFromFile(folder, file, false);
        if (!entry) return;
        city = CityFileRef::From(*entry);
        LoadCityData(db, city, MapStyle{});
        SetDefaults(settings);

        window = std::make_unique<QWidget>();
        auto* layout = new QHBoxLayout(window.get());
        auto* left = new QVBoxLayout;
        list = new TCardList(settings, display, *this, window.get());
        criteria = new TOrgCriteria(*list, *this, window.get());
        criteria->setFixedWidth(330);
        list->setFixedWidth(340);
        left->addWidget(criteria);
        layout->addLayout(left);
        layout->addWidget(list);
        window->resize(700, 760);
        window->show();
        list->SetCity(&db, &city);
    }

    void RedrawMap(bool with3D) override { calls << (with3D ? "redraw3D" : "redraw"); }
    void StopMapMotion() override { calls << "stop"; }
    void FlyTo(float x, float y, float scale) override {
        calls << QStringLiteral("fly %1 %2 %3").arg(x).arg(y).arg(scale);
    }
    void SelectBuilding(int b) override { calls << QStringLiteral("select %1").arg(b); }
    void SelectStreet(int s) override { calls << QStringLiteral("street %1").arg(s); }
    bool InBackground() const override { return background; }
    void StopBlink() override { calls << "stop blink"; }
    RadiusCircle Radius() const override { return radius; }
    void StartBlink() override { calls << "blink"; }
    void OrgViewed(int id) override { calls << QStringLiteral("viewed %1").arg(id); }
    void FocusDefocus() override { calls << "defocus"; }
    QDateTime Now() const override { return now; }

    // The object tab, under the criteria, sharing their drop-down.
    TObjectPage* ObjectPage() {
        if (!objects) {
            objects = new TObjectPage(*this, pending, window.get());
            objects->setFixedWidth(330);
            static_cast<QBoxLayout*>(window->layout()->itemAt(0)->layout())->addWidget(objects);
            objects->Connect(*list, criteria->filterList);
        }
        return objects;
    }
};

// Input as the widgets receive it: focus events sent straight to a widget, key presses one by one.
inline void Focus(QWidget* w) {
    QFocusEvent in(QEvent::FocusIn);
    QApplication::sendEvent(w, &in);
}
inline void Unfocus(QWidget* w) {
    QFocusEvent out(QEvent::FocusOut);
    QApplication::sendEvent(w, &out);
}

// Key presses as the keyboard gives them: each character, then the field's own handling.
inline void Type(QWidget* w, const QString& text) {
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &press);
    }
}
inline void Key(QWidget* w, int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, mods);
    QApplication::sendEvent(w, &press);
}

inline bool WaitUntil(const std::function<bool()>& done, int ms = 5000) {
    QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired())
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

// Saves a picture of a window when TESSARA_SCREENSHOT_DIR names a folder.
inline void Shot(QWidget* w, const char* name) {
    const QString dir = qEnvironmentVariable("TESSARA_SCREENSHOT_DIR");
    if (dir.isEmpty()) return;
    QApplication::processEvents();
    w->grab().save(dir + "/" + name + ".png");
}
