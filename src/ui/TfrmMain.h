// The main window: directory panel, tool strip and map; creation, first show, deferred start,
// resizing, hover hints, prompts of the search fields, map interaction and closing.
#pragma once

#include "MapDisplay.h"
#include "MapHitTest.h"
#include "MapMotion.h"
#include "MapView.h"

#include <QPoint>
#include <QWidget>
#include <functional>
#include <memory>

class CardExport;
class MapPrintActions;
class MinimapPanel;
class CommandServer;
class QButtonGroup;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QAction;
class QScrollBar;
class QTabWidget;
class QTimer;
class QToolButton;
class SearchHost;
class TBannerStrip;
class TCardList;
class TMapBanner;
class TRunningString;
class TMap;
class TObjectPage;
class TOrgCriteria;
class TransportPanel;
class TMapImage;
class GlMapSwitch;
class TfrmHelp;
class TfrmOptions;
class TfrmQuit;
class TMapTools;
struct AppContext;

class TfrmMain : public QWidget, public MotionHost {
    Q_OBJECT
public:
    explicit TfrmMain(AppContext& app, QWidget* parent = nullptr);
    ~TfrmMain() override;

    // Creation handler; runs again for every city loaded. `step` advances the loading bar.
    void FormCreate(const std::function<void()>& step = {});
    // Shows the window and starts the deferred start step.
    void FirstShow();
    void timStartTimer();
    void ChangeShellLang();
    void ChangeDataLang();
    // Panel side by the `position` setting.
    void LayoutPanels();
    void Redraw(bool full) override;

    // Map input (image coordinates), as the map surface reports it.
    void imgMouseDown(Qt::MouseButton button, QPoint pos, QPoint global);
    void imgMouseMove(QPoint pos, QPoint global);
    void imgMouseUp(Qt::MouseButton button, QPoint pos, QPoint global);
    void imgMouseLeave();

    // Tool buttons.
    void btnFullMapClick();
    void btnIncScaleClick();
    void btnDecScaleClick();
    void btnScaleClick();
    void btn3DClick();
    void btnSwitchMapToolsClick();
    void btnPhonesClick();
    void btnEstateClick();
    void btnHelpClick();
    void btnOptionsClick();
    void btnUpdateClick();

    // Hover hints of the tool buttons and tabs.
    void ShowHint(QWidget* button);
    void HideHints();
    void TabHint(QPoint pos);

    // The focus moved: search fields get their prompts back or lose them.
    void ActiveControlChanged(QWidget* now);
    // A change of tab: map motion stops, hints go, the extra criteria show only on the organisation tab.
    void pcChange();

    // Test hooks: the options window run, and whether the pointer is over a menu.
    std::function<int(TfrmOptions& frm)> runOptions;
    // Called after an object click with the hit, for the card list to list what is there.
    std::function<void(TObjType kind, int index)> objectClicked;

    AppContext& app() { return app_; }
    int ScreenCursor() const { return screenCursor_; }
    bool ChangingPrompt = false; // set while the prompt rule changes a field's text

    MapView view;
    MapDisplay display;
    std::unique_ptr<TMap> map;
    std::unique_ptr<MapMotion> motion;
    GlMapSwitch* glMap = nullptr; // the OpenGL surface while GrafMode is 1
    MapHitTest hit;
    // Balloons, ruler and radius over the map.
    std::unique_ptr<TMapTools> tools;
    QPoint PressPoint, LastPoint;
    int ZoomHalfSize = 0;

    QWidget *pnlResult, *pnlSys, *pnlTools, *pnlMap, *pnlMapTools, *pnlMore, *pnlRunString;
    QWidget *pnlCaption, *pnlCards, *pnlMiniTools, *pnl, *pnlBanner, *pnlMinimap, *pnlWeb, *pnlImages, *imgGL;
    QTabWidget* pc;
    QWidget *pgCriteria, *pgObject, *pgTransport;
    // The organisation search: criteria on pgCriteria, the result list's panels in pnlResult.
    TOrgCriteria* criteria;
    TCardList* list;
    QWidget* imgCards;
    QLabel* txtCount;
    TBannerStrip* imgBanner;
    TMapBanner* imgMapBanner;
    TRunningString* imgRunningString;
    QWidget* pnlList;
    QScrollBar* sbCards;
    QLineEdit* edDefocus;
    TMapImage* img;
    QToolButton *btnPhones, *btnEstate, *btnShowMap, *btnTaxi, *btn911, *btnCafe, *btnBankomat, *btnNews,
        *btnNotes, *btnAfisha, *btnAdmin, *btnWeather;
    QToolButton *btnOptions, *btnHelp, *btnUpdate, *btnCallback;
    QToolButton *btnFullMap, *btn3D, *btnIncScale, *btnDecScale, *btnScale, *btnMeas, *btnPrint, *btnRadius,
        *btnSwitchMapTools;
    // The building search on pgObject; its fields are reachable by name here too.
    TObjectPage* objectPage;
    QComboBox *cbObjStreet, *cbMaterial, *cbType, *cbRegion, *cbBusWay, *cbBusStop1, *cbBusStop2;
    QLineEdit *edObjBuildNum, *edObjName;
    QToolButton *btnSelBusStop1, *btnSelBusStop2;
    // The transport tab's logic over the fields above.
    TransportPanel* transport = nullptr;
    QWidget *btnFindObj, *btnClearObj, *btnFindWay;
    QMenu* pmMap;
    QAction *mnuHideBanners, *mnuShowBanners;
    QTimer *timMove, *timSmooth, *timStop, *timFlow, *timBlink, *timHint, *timHideHint, *timStart, *timClose;
    TfrmQuit* frmQuit;
    // The command server (srv) runs while a city is shown; its requests wait in app.pendingAddress.
    std::unique_ptr<CommandServer> srv;
    // The cards' right-click menu pmCards.
    CardExport* cardExport;
    // The minimap pnlMinimap, and the map's printing and whole-city export.
    MinimapPanel* minimap = nullptr;
    MapPrintActions* mapPrint = nullptr;
    TfrmHelp* frmHelp;
    // The web tabs on pnlWeb.
    class TWebTabs* webTabs = nullptr;
    QWidget* shownHint = nullptr; // the hint panel waiting for or showing
    int lastTabSlot = -1;

signals:
    // The window closed with "change city": the city is released and the start window comes back.
    void wentBack();
    // The window closed to end the program.
    void quitting();

protected:
    void resizeEvent(QResizeEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    friend class TMapTools;
    void BuildLayout();
    void BuildObjectPage();
    void BuildTransportPage();
    void BuildHintPanels();
    QToolButton* ToolButton(QWidget* parent, const char* name, const char* hint, bool enabled);
    void WireMapImage();
    void FormClose();
    bool HandleMessages(QObject* o, QEvent* e);
    bool HandleWheel(QWheelEvent* e);
    bool HandleKey(QKeyEvent* e);
    bool KeysReachMap() const;
    bool SearchFieldFocused() const;
    void SetScreenCursor(int number);
    void ConfineCursor(const QRect& screenRect);
    void ReleaseCursor();
    int EdgeCursorAt(QPoint pos) const;
    void ZoomStep(bool in);
    void ApplySettingsToMap();
    void ObjectClick(int cx, int cy);
    // A negative right margin leaves the panel where it is put.
    void PlaceHintPanel(QWidget* panel, int left, int top, int rightMargin);
    void WaitForDrawing();

    // MotionHost
    void ProcessEvents() override;
    void Wait(int ms) override;
    void StartTimer(MotionTimer t) override;
    void StopTimer(MotionTimer t) override;
    void ShowMapPage() override;
    void ClearShownObjects() override;

    AppContext& app_;
    // What the search widgets ask of the map; built before them, deleted after them.
    std::unique_ptr<SearchHost> searchHost_;
    class TfrmEstate* frmEstate_ = nullptr; // made on first use, kept so the favourites last the run
    int screenCursor_ = 0;
    QRect confine_;
    bool confined_ = false;
    bool closing_ = false;
    bool filterInstalled_ = false;
    QPoint lastMovePos_{-1, -1};
    QButtonGroup* pageButtons_;
};
