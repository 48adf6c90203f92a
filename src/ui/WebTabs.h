// The five web tabs of the main window (news, notices, events, city administration, weather) on the
// panel pnlWeb: a navigation strip and one embedded browser per tab. A tab opens only after the
// vendor's check for it succeeds; the check runs in the background, so the window never waits.
// A browser is made when its tab first opens, so closed tabs cost nothing while the window idles.
// The pages may show only the vendor's own site: any other address a page leads to opens in the
// system's browser when the user clicked it, and is refused otherwise.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <array>
#include <functional>

class QEvent;
class QStackedWidget;
class QToolButton;
class QWebEngineProfile;
class QWebEngineView;
class QWidget;
class TWebGuard;
struct AppContext;

class TWebTabs : public QObject {
public:
    // Builds the navigation strip inside `pnlWeb`; nothing of the browser engine starts yet.
    TWebTabs(AppContext& app, QWidget* pnlWeb);
    ~TWebTabs() override;

    // A city was loaded: the pages of the one before are dropped.
    void CityLoaded();
    // The click on tab button `tab` (0 news ... 4 weather).
    void Open(int tab);
    // The map is shown: a check still running no longer opens its tab.
    void Cancel();

    int Current() const { return current_; } // the tab shown, -1 for none
    int Pending() const { return pending_; } // the tab whose check runs, -1 for none
    QWebEngineView* Page(int tab) const;
    // The address tab `tab` starts at, invalid when the city gives it none that may be loaded.
    QUrl StartUrl(int tab) const;

    // Runs when the tab cannot open: the window shows its map again.
    std::function<void()> showMap;

    QToolButton *btnWebBack, *btnWebForward, *btnWebHome, *btnWebRefresh, *btnWebClose;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void Show(int tab);
    QWebEngineView* MakePage(int tab);
    void Step(int action);

    AppContext& app_;
    QWidget* pnlWeb_;
    QStackedWidget* stack_;
    QWebEngineProfile* profile_ = nullptr;
    TWebGuard* guard_ = nullptr;
    std::array<QPointer<QWebEngineView>, 5> pages_;
    int current_ = -1, pending_ = -1;
    // Each click and each return to the map starts a new generation; a check of an older one is void.
    int generation_ = 0;
};
