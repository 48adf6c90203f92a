// The object tab (pgObject): buildings found by name, material, purpose, district, street and house
// number and shown on the map, the street picker of the tab, and the address requests from outside
// (PendingAddress), served every 100 ms.
#pragma once

#include "BuildingSearch.h"

#include <QPointer>
#include <QWidget>

class PendingAddress;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class SearchHost;
class TCardList;
class TComboEdit;
class TFilterListBox;

class TObjectPage : public QWidget {
    Q_OBJECT
public:
    // Found buildings blink when there are at most this many; a larger set is marked only.
    static constexpr std::size_t MaxBlinking = 1000;

    TObjectPage(SearchHost& host, PendingAddress& pending, QWidget* parent = nullptr);
    // The card list (the city, its indexes and the map display) and the shared drop-down.
    void Connect(TCardList& list, TFilterListBox* filterList);

    // Materials, purposes (sorted) and districts of the loaded city in its data language.
    void FillLists();
    BuildingCriteria ReadCriteria() const;
    void UpdateFindObjButton();
    void btnFindObjClick();
    void btnClearObjClick();
    void cbObjStreetButtonClick();
    // Shows the waiting address request, if any (timAdrClick).
    void ProcessAddressRequest();

    QLabel *txtObjName, *txtMaterial, *txtType, *txtRegion, *txtObjStreet, *txtObjBuildNum;
    QLineEdit *edObjName, *edObjBuildNum;
    QComboBox *cbMaterial, *cbType, *cbRegion;
    TComboEdit* cbObjStreet;
    QPushButton *btnFindObj, *btnClearObj;
    QTimer *timAdrClick, *timNotFound;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QList<QWidget*> Fields() const;
    void Recolour(QWidget* field);
    bool StreetKey(QKeyEvent* k);
    void StreetEnter();
    // The red caption for a second: nothing found, or nothing inside the search radius.
    void ShowNotFound(const QString& notFound);

    SearchHost& host_;
    PendingAddress& pending_;
    TCardList* list_ = nullptr;
    QPointer<TFilterListBox> filterList_;
    QString savedCaption_; // the result caption while "not found" shows
    QString notFoundShown_;
};
