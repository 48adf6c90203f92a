// Address requests from the command server waiting for the window: only the last one is kept, and the
// 100 ms timer timAdrClick shows it as the user's own address search would, with the whole street
// when the house is not found.
#pragma once

#include <QMutex>
#include <QObject>
#include <QString>

class QTimer;
class SearchHost;
class TfrmMain;

class AddressRequests : public QObject {
public:
    AddressRequests(TfrmMain& frm, SearchHost& host);

    // Any thread: replaces a request not yet shown.
    void Set(const QString& address);
    // The timer's handler, on the window's thread.
    void ProcessAddressRequest();

    QTimer* timAdrClick;

private:
    void ShowStreetOnMap(int street);

    TfrmMain& frm_;
    SearchHost& host_;
    QMutex mutex_;
    QString pending_;
};
