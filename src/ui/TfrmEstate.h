// The real-estate window: searches the city's flat offers on the vendor service, lists them, keeps
// favourites while the program runs, prints them as a text table and shows an offer on the map.
#pragma once

#include "Estate.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTreeWidget;
class QWidget;
struct AppContext;

class TfrmEstate : public QDialog {
    Q_OBJECT
public:
    // `materials` are the items of the main window's material list.
    TfrmEstate(AppContext& app, const QStringList& materials, QWidget* parent = nullptr);
    ~TfrmEstate() override;

    // Captions, the fixed combo entries and the currency; the search page unless there are favourites.
    void Prepare();
    // The current city's material list, when it changed since the last opening.
    void SetMaterials(const QStringList& materials);
    // Back at the start window: both lists emptied, the favourites kept for the next addition.
    void Reset();

    std::vector<TFlat> EstateOffers;
    std::vector<TFlat> FavoriteOffers;

    QTabWidget* pcEstate;
    QWidget *pgSearch, *pgFavorite, *pnlWait;
    QGroupBox* pnlFilter;
    QLabel *txtMaterial, *txtRooms, *txtCost, *txtValuta, *txtSanuzel, *txtBalcon, *txtSkipped;
    // One line under each list: the count of offers found (or a cancelled search), the saved PDF.
    QLabel *txtCount, *txtFavoriteStatus;
    QComboBox *cbMaterial, *cbSanuzel, *cbBalcon;
    QLineEdit *edRooms, *edCost;
    QCheckBox *chbFirst, *chbLast;
    QPushButton *btnFind, *btnClear, *btnToFavorite, *btnShow, *btnShow2, *btnRemove, *btnClearFav, *btnPrint;
    QPushButton* btnCancelWait; // on pnlWait: ends a running search
    QTreeWidget *tblFound, *tblFavorite;

    // Shows an offer on the map (the main window's part); the window has closed by then.
    std::function<void(const TFlat&)> showOnMap;
    // Where the favourites go as PDF when no printer is installed; empty cancels. Tests set it.
    std::function<QString()> choosePdfFile;
    // The last request sent, for tests.
    QString LastRequest;

    void btnFindClick();
    void btnClearClick();
    void btnToFavoriteClick();
    void btnRemoveClick();
    void btnClearFavClick();
    void btnPrintClick();
    void ShowSelected(QTreeWidget* list, const std::vector<TFlat>& offers);
    // A click on a header: a new column ascending, the same one again reversed.
    void SortList(QTreeWidget* list, int column);

protected:
    void resizeEvent(QResizeEvent* e) override;

public slots:
    // Escape, Cancel and closing the window: during a search they end the search, not the window.
    void reject() override;

private:
    void Fill(QTreeWidget* list, const std::vector<TFlat>& offers);
    void UpdateButtons();
    void FitColumns(QTreeWidget* list);
    void SetFavoriteCaption(bool withCount);
    // Prints `lines` to `printer`-ready device; empty text on success.
    QString PrintLines(const QStringList& lines);
    QString Text(const char* ru, const char* en) const;

    AppContext& app_;
    struct SortState {
        int column = -1;
        bool descending = false;
    } foundSort_, favoriteSort_;
    bool favoritesChanged_ = false;
    bool searching_ = false, cancelSearch_ = false;
};

class SearchHost;
class TCardList;
struct MapDisplay;
// The map side of "show on map": the agency's card, the building (or the street) shown and blinking.
void ShowOfferOnMap(const TFlat& offer, CityDb& db, int dataLang, TCardList& list, SearchHost& host,
                    MapDisplay& display);
