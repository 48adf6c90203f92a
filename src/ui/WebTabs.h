// The five web tabs of the main window (news, notices, events, city administration, weather) on the
// panel pnlWeb: a navigation strip and one embedded browser per tab. A tab opens only after the
// vendor's check for it succeeds; the check runs in the background, so the window never waits.
// Only the open tab has a browser: it is made when the tab opens and deleted when it closes, so a page
// cannot keep memory or a core once the user left it. The engine itself starts in the background
// once the window idles, so that the first tab opens quickly.
// The pages may show only the vendor's own site: any other address a page leads to opens in the
// system's browser when the user clicked it, and is refused otherwise. Pages show no dialogs, and
// a page whose renderer process grows past RendererMemoryLimit is stopped.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <array>
#include <functional>

class QEvent;
class QLabel;
class QWebEnginePage;
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
    // The state of the page shown: loading, or stopped for its memory; empty otherwise.
    QLabel* txtWebState;

    // Resident memory a page's renderer process may take, in bytes.
    qint64 RendererMemoryLimit = qint64(1) << 30;
    // Milliseconds after the city is set before the engine starts in the background; -1: never.
    int WarmUpDelayMs = 1500;
    bool EngineStarted() const { return profile_ != nullptr; }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void Show(int tab);
    QWebEngineView* MakePage(int tab);
    void Step(int action);
    void MakeProfile();
    void StartEngine();
    void ClosePages();
    void WatchMemory();
    void Loading(bool on);

    AppContext& app_;
    QWidget* pnlWeb_;
    QStackedWidget* stack_;
    QWebEngineProfile* profile_ = nullptr;
    TWebGuard* guard_ = nullptr;
    std::array<QPointer<QWebEngineView>, 5> pages_;
    int current_ = -1, pending_ = -1;
    // Each click and each return to the map starts a new generation; a check of an older one is void.
    int generation_ = 0;
    QTimer warmUp_, memoryWatch_;
    QPointer<QWebEnginePage> warmPage_;
};
