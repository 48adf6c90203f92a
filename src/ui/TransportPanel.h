// The transport tab (pgTransport): the route number and stop fields with the shared drop-down, picking
// stops on the map, the journey search with its route cards (direct routes, else journeys with one
// change), the routes through a clicked stop, and routes and stops shown on the map.
#pragma once

#include <QObject>
#include <QPointer>
#include <memory>

class QPushButton;
class QToolButton;
class SearchHost;
class TCardList;
class TComboEdit;
class TFilterListBox;
class TextListSource;
class TransportIndex;
struct TransportShow;

class TransportPanel : public QObject {
    Q_OBJECT
public:
    // Takes the tab's fields and buttons from `page` by their names.
    TransportPanel(TCardList& list, SearchHost& host, QWidget* page, TFilterListBox* filterList);
    ~TransportPanel() override;

    void cbBusWayButtonClick();
    void cbBusStopButtonClick(TComboEdit* field);
    void btnFindWayClick();
    // The route of the number field: its card expanded, the route shown on the map.
    void RouteByNumber();
    // A stop clicked on the map (a position in BusStops): the routes through it, and the stop taken
    // into a stop field while a pick button is down.
    void StopClicked(int stop);
    void UpdateFindWayButton();

    void ShowRouteOnMap(const QString& number);
    void ShowStopOnMap(int stopId);
    void ShowStopsOnMap(const QString& name);

    TComboEdit *cbBusWay, *cbBusStop1, *cbBusStop2;
    QToolButton *btnSelBusStop1, *btnSelBusStop2;
    QPushButton* btnFindWay;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SearchDataChanged();
    std::shared_ptr<const TextListSource> SourceOf(const TComboEdit* field) const;
    void Filter(TComboEdit* field);
    void Enter(TComboEdit* field);
    bool FieldKey(TComboEdit* field, int key);
    void PickToggled(QToolButton* button, bool down);
    // Draws the list from its top after cards were added.
    void ShowCards(const QString& caption, int count);
    void ListChangeJourneys(const QString& from, const QString& to);
    // Flies to what was marked (or redraws) and blinks its stops, unless the program is going back to
    // the start window.
    void Show(const TransportShow& show);

    TCardList& list_;
    SearchHost& host_;
    QPointer<TFilterListBox> filterList_;
    std::unique_ptr<TransportIndex> index_;
    std::shared_ptr<const TextListSource> numbers_, stops_;
};
