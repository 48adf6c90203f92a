#include "AddressRequests.h"

#include "AppContext.h"
#include "ObjectState.h"
#include "SearchHost.h"
#include "TCardList.h"
#include "TfrmMain.h"

#include <QMutexLocker>
#include <QTimer>
#include <utility>

AddressRequests::AddressRequests(TfrmMain& frm, SearchHost& host) : QObject(&frm), frm_(frm), host_(host) {
    timAdrClick = new QTimer(this);
    timAdrClick->setObjectName(QStringLiteral("timAdrClick"));
    timAdrClick->setInterval(100);
    connect(timAdrClick, &QTimer::timeout, this, &AddressRequests::ProcessAddressRequest);
    timAdrClick->start();
}

void AddressRequests::Set(const QString& address) {
    QMutexLocker lock(&mutex_);
    pending_ = address;
}

void AddressRequests::ProcessAddressRequest() {
    QString address;
    {
        // Taken at once, so a request arriving while this one is shown waits for the next tick.
        QMutexLocker lock(&mutex_);
        address = std::exchange(pending_, QString());
    }
    if (address.isEmpty() || !frm_.list->Db() || !frm_.list->Index()) return;
    timAdrClick->stop();
    const qsizetype comma = address.indexOf(u',');
    const QString street = (comma < 0 ? address : address.left(comma)).trimmed();
    const QString number = comma < 0 ? QString() : address.mid(comma + 1).trimmed();
    frm_.display.ShownObjects = Tbo{};
    if (!number.isEmpty()) frm_.list->ShowAddressOnMap(street + QStringLiteral(", ") + number, -1);
    if (frm_.display.ShownObjects.ids.empty()) ShowStreetOnMap(frm_.list->Index()->FindStreet(street));
    if (!frm_.display.ShownObjects.ids.empty()) host_.StartBlink();
    timAdrClick->start();
}

void AddressRequests::ShowStreetOnMap(int street) {
    CityDb& db = *frm_.list->Db();
    if (street < 0 || std::size_t(street) >= db.Streets.size()) return;
    TStreet& s = db.Streets[std::size_t(street)];
    if (s.shape.size() < 2) return;
    ClearFound(db);
    Found(s);
    if (host_.ResultPanelVisible()) host_.FocusDefocus();
    host_.StopBlink();
    const QSize map = host_.MapSize();
    const float scale = std::max((s.maxX_ - s.minX_) / float(std::max(1, map.width())),
                                 (s.maxY_ - s.minY_) / float(std::max(1, map.height())));
    host_.FlyTo((s.minX_ + s.maxX_) / 2, (s.minY_ + s.maxY_) / 2, scale + 0.01f);
    if (frm_.app().AppState == QStringLiteral("back")) return;
    frm_.display.ShownObjects = Tbo{otStreet, {street}};
    if (frm_.motion) frm_.motion->StopMotion = false;
}
