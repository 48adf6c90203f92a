// The result list beside the map: caption, the card image with its scroll bar, the tool bar with the
// counter, expand and collapse all, map marks and history buttons; and the producers that fill it.
#pragma once

#include "Cards.h"
#include "SearchHost.h"

#include <QFrame>
#include <QWidget>
#include <memory>

class CardPictures;
class FontMeasure;
class QLabel;
class QScrollBar;
class QToolButton;
struct CityFileRef;
struct PickerIndex;
struct Settings;
class TCardList;

// A panel that paints its caption (set through the "text" property, as relabelling does).
class TCaptionPanel : public QFrame {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText)
public:
    using QFrame::QFrame;
    QString text() const { return text_; }
    void setText(const QString& t) {
        text_ = t;
        update();
    }

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QString text_;
};

// imgCards: paints the visible part of the list and hands the mouse to the list.
class TCardsImage : public QWidget {
    Q_OBJECT
public:
    explicit TCardsImage(TCardList& list, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;

private:
    TCardList& list_;
};

class TCardList : public QWidget {
    Q_OBJECT
public:
    TCardList(Settings& settings, MapDisplay& display, SearchHost& host, QWidget* parent = nullptr);
    ~TCardList() override;

    // The loaded city (null for none); prepares the search index for the settings' data language.
    void SetCity(CityDb* db, const CityFileRef* city);
    // After Orgs were re-sorted for a new data language: new index, empty list and history.
    void DataLangChanged();
    // Captions and hints in the interface language.
    void Relabel(int shellLang);
    // Moves pnlCaption, pnlCards and pnlMiniTools into a window's own result panel, which then places
    // them; this container stays hidden and keeps the list's state.
    void PlacePanelsIn(QWidget* resultPanel);

    CityDb* Db() const { return db_; }
    const OrgSearchIndex* Index() const { return index_.get(); }
    // What the pickers, the rubricator and the building search compare (null without a city).
    const PickerIndex* Pickers() const { return pickers_.get(); }
    Settings& AppSettings() { return settings_; }
    MapDisplay& Display() { return display_; }
    // What cards are laid out and clicked with now (the list's width, languages, marks).
    CardEnv Env();

    // Producers of the list.
    void ClearResults();
    void ShowOrgCards(const QString& caption, const Tai& list, int BuildID);
    void ShowRubric(int rubric);
    void ShowStartList();
    // A list that found nothing: its caption, the count 0 and one line that says why it is empty.
    void ShowEmptyList(const QString& caption, const QString& why);
    void OrgsInBuilding(int building);
    // A click on a building of the map: building mark mode, the list cleared, its organisations.
    void BuildingClicked(int building);
    void AppendHistory(THistoryObjType kind, const Tai& list);

    void btnBackClick();
    void btnForwardClick();
    void btnExpandClick();
    void btnCollapseClick();
    void btnMapMarkClick();
    // The building of identifier `id` (>= 1), else those numbered `number` on the street (a name, or a
    // position in Streets); street and number stay apart, as a number may hold a comma.
    void ShowAddressOnMap(const QString& street, const QString& number, int id);
    void ShowAddressOnMap(int street, const QString& number, int id);
    void ShowWorkZone(int org);

    // The mouse over imgCards (widget coordinates).
    void imgCardsMouseMove(int x, int y);
    void imgCardsMouseUp(Qt::MouseButton button, int x, int y, const QPoint& globalPos);
    void imgCardsMouseLeave();
    void PaintCards(QPainter& p);
    // Sets sbCards's range for the list height and draws.
    void UpdateScroll();

    TCardMarkMode CardMarkMode = TCardMarkMode::search;
    TCards cards;
    SearchHistory history;

    TCaptionPanel* pnlCaption;
    QWidget* pnlCards;
    TCardsImage* imgCards;
    QScrollBar* sbCards;
    TCaptionPanel* pnlMiniTools;
    QLabel* txtCount;
    QToolButton *btnExpand, *btnCollapse, *btnMapMark, *btnBack, *btnForward;

    // Called with every organisation whose local page a card asks to open; tests capture it.
    std::function<void(int org)> openOrgPage;
    // Set while a card click is handled; the minimap shares it, so that neither click runs during the
    // other's flight.
    bool& ClickBusy() { return busy_; }

signals:
    // The city or its data language changed: the search indexes were rebuilt.
    void searchDataChanged();

private:
    void Dispatch(const CardClick& click);
    void SetCount(int n);

    Settings& settings_;
    MapDisplay& display_;
    SearchHost& host_;
    CityDb* db_ = nullptr;
    const CityFileRef* city_ = nullptr;
    std::unique_ptr<OrgSearchIndex> index_;
    std::unique_ptr<PickerIndex> pickers_;
    std::unique_ptr<FontMeasure> measure_;
    std::unique_ptr<CardPictures> pictures_;
    bool expandAllRunning_ = false;
    bool busy_ = false;
};
