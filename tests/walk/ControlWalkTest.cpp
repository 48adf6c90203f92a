// Every visible control of the main window and of the windows it opens, walked with the real pointer
// on an X server with a window manager: hovered past the hint delay and clicked where that is safe.
// The program must stay alive, and every hint that shows must belong to the control under the pointer.
#include "AppContext.h"
#include "CityGenerator.h"
#include "ShellOpen.h"
#include "TempSettingsStore.h"
#include "TextTable.h"
#include "TGlMapImage.h"
#include "TfrmMain.h"
#include "TfrmMessage.h"
#include "TfrmStart.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QStandardPaths>
#include <QTabBar>
#include <QTabWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <QUrl>
#include <QWindow>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

constexpr int HintDelay = 700; // timHint
// Long enough for a hint or a tooltip to show; a control that has neither is left sooner.
constexpr int Dwell = HintDelay + 120;
constexpr int ShortDwell = 250;

// What the walk does with a control once the hint delay has passed.
enum Act {
    Hover, // the pointer only: a click would end the program or store what the walk changed
    Click, // one click
    Twice, // two clicks, so that a switch ends as it was
    Popup, // a click opens its drop-down list, which is hovered and closed by a second click
    Choose, // a click on its text opens its drop-down list; hovering an entry highlights it, a click takes it
};

struct Row {
    const char* control; // object name; "pc#1" is the second tab of the tab widget pc
    Act act;
    const char* hint = nullptr;  // the hint panel pnlHint<hint> the control shows (main window)
    const char* opens = nullptr; // windows the click opens, in order, by ","; a "?" marks one that may open
};

// A window the walk meets. Each is walked once, the first time it opens, and then closed.
struct Window {
    const char* name; // object name, or class name for the toolkit's own dialogs
    // The button that closes it without effect; none: the toolkit dialog's own; "": it closes itself.
    const char* closeWith;
    // CLOSES WITH ESCAPE: the walk closes the window with the Escape key and checks that it closes.
    bool escape;
    std::vector<Row> rows;
};

// The main window with the panel on the right; the map tools first, while the map is at full scale.
const Window MainWindowTable{
    "frmMain",
    nullptr,
    false,
    {
        {"btnFullMap", Click, "FullMap"},
        {"btnIncScale", Click, "IncScale"},
        {"btnDecScale", Click, "DecScale"},
        {"btn3D", Twice, "3D"},
        {"btnScale", Twice, "Scale"},
        {"btnMeas", Twice, "Meas"},
        {"btnRadius", Twice, "Radius"},
        {"btnPrint", Click, "Print", "QPrintDialog"},
        {"btnSwitchMapTools", Twice},
        // The minimap: unfolded by its button, clicked, folded again by its title.
        {"btnMinimap", Click},
        {"imgMinimap", Click},
        {"pnlMinimapTitle", Click},
        {"img", Click},
        {"btnPhones", Click, "Phonebook", "QMessageBox,frmOptions"},
        {"btnEstate", Click, "Estate", "frmEstate"},
        {"btnShowMap", Click, "ShowMap"},
        {"btnTaxi", Click, "Taxi"},
        {"btn911", Click, "911"},
        {"btnCafe", Click, "Cafe"},
        {"btnBankomat", Click, "Bankomat"},
        // The vendor addresses point at a closed port: each tab's check fails and says so.
        {"btnNews", Click, "News", "QMessageBox"},
        {"btnNotes", Click, "Notes", "QMessageBox"},
        {"btnAfisha", Click, "Afisha", "QMessageBox"},
        {"btnAdmin", Click, "Admin", "QMessageBox"},
        {"btnWeather", Click, "Weather", "QMessageBox"},
        {"btnOptions", Click, "Options", "frmOptions"},
        {"btnHelp", Click, "Help", "QMessageBox?"},
        {"btnCallback", Click, "Callback", "frmReport"},
        {"pc#0", Click, "Criteria"},
        {"cbStreet", Click},
        {"cbBuildNum", Click},
        {"edCaption", Click},
        {"edRub", Click},
        {"btnRubrika", Click, "Rubrika", "frmRubrikator"},
        {"btnMore", Click},
        {"edTelecom", Click},
        {"edInet", Click},
        {"chbWeb", Click},
        {"chbAlltime", Click},
        {"chbNow", Click},
        {"btnMore", Click},
        {"btnFindOrg", Click, nullptr, "QMessageBox?"},
        {"btnClearOrg", Click},
        {"imgCards", Click},
        {"sbCards", Click},
        {"btnExpand", Click},
        {"btnCollapse", Click},
        {"btnMapMark", Twice},
        {"btnBack", Click},
        {"btnForward", Click},
        {"pc#1", Click, "Object"},
        {"edObjName", Click},
        {"cbMaterial", Choose},
        {"cbType", Choose},
        {"cbRegion", Choose},
        {"cbObjStreet", Click},
        {"edObjBuildNum", Click},
        {"btnFindObj", Click},
        {"btnClearObj", Click},
        {"pc#2", Click, "Transport"},
        {"cbBusWay", Click},
        {"cbBusStop1", Click},
        {"btnSelBusStop1", Twice},
        {"cbBusStop2", Click},
        {"btnSelBusStop2", Twice},
        {"btnFindWay", Click},
        {"pc#0", Click, "Criteria"},
        // The vendor addresses point at a closed port of this machine: the download fails at once.
        {"btnUpdate", Click, "Update", "frmDownload?,msgErrDownload"},
    }};

// The web panel over the map, while a tab shows a page (the page itself is pointed at and clicked
// apart: the browser draws into a child of its own); closing it is the last step.
const Window WebPanelTable{
    "pnlWeb",
    nullptr,
    false,
    {
        {"btnWebBack", Click},
        {"btnWebForward", Click},
        {"btnWebHome", Click},
        {"btnWebRefresh", Click},
        {"btnWebClose", Click},
    }};

// The windows the main window opens. Nothing is stored: every one is left without effect.
// The options, colours, tips and quit windows close with Escape (as Cancel); the others with their buttons.
const std::vector<Window> DialogTables{
    {"frmReport",
     "btnCancel",
     /* closes with Escape */ true,
     {
         {"txtNewInfo", Click},
         {"mem2", Click},
         {"pcLetter#0", Click},
         {"txtErr", Click},
         {"mem1", Click},
         {"pcLetter#2", Click},
         {"edCaption", Click},
         {"edSite", Click},
         {"edMail", Click},
         {"edICQ", Click},
         {"edSkype", Click},
         {"memNets", Click},
         {"memAdr", Click},
         {"memRub", Click},
         {"memFIO", Click},
         {"btnOK", Hover},
     }},
    {"frmOptions",
     "btnCancel",
     /* closes with Escape */ true,
     {
         {"cbSmooth", Click},
         {"cbFlat", Click},
         {"cbPath", Click},
         {"cbContourText", Click},
         {"imgCenter", Click},
         {"cbCenter", Click},
         {"imgCorner", Click},
         {"cbCorner", Click},
         {"imgLeft", Click},
         {"cbLeft", Click},
         {"imgRight", Click},
         {"cbRight", Click},
         {"cbOpenGL", Click},
         {"cbGDI", Click},
         {"cbInvert", Click},
         {"cbHelp", Click},
         {"cbBlink", Click},
         {"cbMetro", Click},
         {"cbUpdate", Click},
         {"cbEconomPrint", Click},
         {"cbAutoScrollMap", Click},
         {"cbShowFotoFirst", Click},
         {"edApp", Click},
         {"btnBrowse", Click, nullptr, "QFileDialog"},
         {"cbInterface", Popup},
         {"cbData", Popup},
         {"btnChangeColors", Click, nullptr, "frmColors"},
         {"btnOK", Hover},
     }},
    {"frmColors",
     "btnCancel",
     /* closes with Escape */ true,
     {
         {"cbColorScheme", Popup},
         {"btnLiving", Click, nullptr, "QColorDialog"},
         {"btnAdminB", Click, nullptr, "QColorDialog"},
         {"btnSchool", Click, nullptr, "QColorDialog"},
         {"btnKinder", Click, nullptr, "QColorDialog"},
         {"btnGarage", Click, nullptr, "QColorDialog"},
         {"btnLiveB", Click, nullptr, "QColorDialog"},
         {"btnAdmin", Click, nullptr, "QColorDialog"},
         {"btnNature", Click, nullptr, "QColorDialog"},
         {"btnGarden", Click, nullptr, "QColorDialog"},
         {"btnDead", Click, nullptr, "QColorDialog"},
         {"btnWater", Click, nullptr, "QColorDialog"},
         {"btnOther", Click, nullptr, "QColorDialog"},
         {"btnRoad", Click, nullptr, "QColorDialog"},
         {"btnBusWay", Click, nullptr, "QColorDialog"},
         {"btnBusStop", Click, nullptr, "QColorDialog"},
         {"btnActive", Click, nullptr, "QColorDialog"},
         {"btnFound", Click, nullptr, "QColorDialog"},
         {"btnMeas", Click, nullptr, "QColorDialog"},
         {"btnOK", Hover},
     }},
    {"frmHelp",
     "btnClose",
     /* closes with Escape */ true,
     {
         {"mem", Click},
         {"btnNext", Click},
         {"cbHelp", Twice},
         {"btnHelp", Click, nullptr, "QMessageBox?"},
     }},
    // A click in the tree chooses a rubric and starts a search: hovered only.
    // The real-estate window: the service is away, so a search says so.
    {"frmEstate",
     nullptr,
     true,
     {{"cbMaterial", Popup},
      {"cbSanuzel", Popup},
      {"cbBalcon", Popup},
      {"edRooms", Click},
      {"edCost", Click},
      {"chbFirst", Twice},
      {"chbLast", Twice},
      {"btnFind", Click, nullptr, "QMessageBox?"},
      {"btnClear", Click},
      {"tblFound", Click},
      {"btnToFavorite", Hover},
      {"btnShow", Hover},
      {"pcEstate#1", Click},
      {"tblFavorite", Click},
      {"btnShow2", Hover},
      {"btnRemove", Hover},
      {"btnClearFav", Hover},
      {"btnPrint", Hover},
      {"pcEstate#0", Click}}},
    {"frmRubrikator", nullptr, true, {{"edRubrika", Click}, {"chbHide", Twice}, {"tv", Hover}}},
    // Quitting and changing the city are the two ways out: hovered only.
    {"frmQuit",
     "btnNo",
     /* closes with Escape */ true,
     {{"imgQuitBanner", Click}, {"btnYes", Hover}, {"btnBack", Hover}}},
    {"frmMessage", "btnNo", false, {{"btnYes", Hover}}},
    {"QMessageBox", nullptr, false, {}},
    {"frmDownload", "", false, {}},
    {"msgErrDownload", nullptr, false, {}},
    {"QFileDialog", nullptr, false, {}},
    {"QColorDialog", nullptr, false, {}},
    {"QPrintDialog", nullptr, false, {}},
};

// The ruler's window stays beside the map, not modal: walked while its button holds it open.
const Window RulerWindowTable{"frmMeas", "", false, {{"cbShowNodes", Twice}, {"btnClear", Click}}};

// The control being walked, for the crash report: a fault ends the process before gtest can say.
char g_step[256] = "starting";

void OnFault(int sig) {
    static const char prefix[] = "\nThe program died while walking: ";
    [[maybe_unused]] ssize_t n = write(STDERR_FILENO, prefix, sizeof prefix - 1);
    n = write(STDERR_FILENO, g_step, strnlen(g_step, sizeof g_step));
    n = write(STDERR_FILENO, "\n", 1);
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

// Painter warnings mean a picture went away while it was drawn on: a memory fault in waiting.
QStringList g_painterWarnings;

void CollectPainterWarnings(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtWarningMsg && message.startsWith(QStringLiteral("QPaint"))) g_painterWarnings << message;
    fprintf(stderr, "%s\n", qPrintable(message));
}

bool Pump(const std::function<bool()>& done, int ms) {
    QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired())
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

void Settle(int ms) {
    Pump([] { return false; }, ms);
}

// Input goes through the X server as a user's does, so the window manager and Qt see real events.
bool Xdo(const QStringList& args) {
    return QProcess::execute(QStringLiteral("xdotool"), args) == 0;
}

void XMove(QPoint global) {
    const qreal ratio = QGuiApplication::primaryScreen()->devicePixelRatio();
    Xdo({QStringLiteral("mousemove"), QString::number(qRound(global.x() * ratio)),
         QString::number(qRound(global.y() * ratio))});
}

void XClick() {
    Xdo({QStringLiteral("click"), QStringLiteral("1")});
}

QString Identity(const QWidget* w) {
    return w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className()) : w->objectName();
}

bool Shown(const QWidget* w) {
    return w->isVisible() && !w->visibleRegion().isEmpty();
}

// A control of the walk: the widget and the part of it the row means (a tab is part of its tab bar).
struct Target {
    QWidget* widget = nullptr;
    QRect rect;
    QString tabTip;
};

Target Resolve(QWidget* window, const QString& name) {
    const int hash = name.indexOf('#');
    const QString widgetName = hash < 0 ? name : name.left(hash);
    for (QWidget* w : window->findChildren<QWidget*>(widgetName)) {
        if (w->window() != window || !Shown(w)) continue;
        if (hash < 0) return {w, w->rect(), {}};
        auto* tabs = qobject_cast<QTabWidget*>(w);
        const int index = name.mid(hash + 1).toInt();
        if (!tabs || index >= tabs->count()) return {};
        return {tabs->tabBar(), tabs->tabBar()->tabRect(index), tabs->tabToolTip(index)};
    }
    return {};
}

// A point of the control's part that no other widget covers, in global coordinates.
std::optional<QPoint> FreePoint(const Target& t) {
    const QRect r = t.rect.adjusted(2, 2, -2, -2);
    std::vector<QPoint> candidates{r.center()};
    for (int i = 1; i <= 5; ++i)
        for (int j = 1; j <= 5; ++j)
            candidates.emplace_back(r.left() + r.width() * i / 6, r.top() + r.height() * j / 6);
    for (QPoint p : candidates) {
        const QPoint global = t.widget->mapToGlobal(p);
        QWidget* at = QApplication::widgetAt(global);
        if (at && (at == t.widget || t.widget->isAncestorOf(at))) return global;
    }
    return std::nullopt;
}

// Controls a user can point at: what the tables must cover.
bool Interactive(const QWidget* w) {
    for (const QWidget* p = w->parentWidget(); p && !p->isWindow(); p = p->parentWidget())
        if (qobject_cast<const QComboBox*>(p) || qobject_cast<const QAbstractScrollArea*>(p) ||
            qobject_cast<const QTabBar*>(p) || qobject_cast<const QAbstractSpinBox*>(p))
            return false; // parts of a compound control
    static const QStringList own{"TMapImage", "TCardsImage", "TClickPicture", "TBannerPicture"};
    return qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QComboBox*>(w) ||
           qobject_cast<const QLineEdit*>(w) || qobject_cast<const QAbstractSlider*>(w) ||
           qobject_cast<const QTabBar*>(w) || qobject_cast<const QAbstractScrollArea*>(w) ||
           own.contains(QString::fromLatin1(w->metaObject()->className()));
}

QString CoverageName(const QWidget* w) {
    if (qobject_cast<const QTabBar*>(w) && w->parentWidget()) return w->parentWidget()->objectName();
    return w->objectName();
}

// The main window once the loading sequence has made it.
TfrmMain* MainWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* frm = qobject_cast<TfrmMain*>(w)) return frm;
    return nullptr;
}

// Hint panels of the main window that show now.
QStringList ShownHints() {
    QStringList shown;
    if (TfrmMain* frm = MainWindow())
        for (QWidget* panel : frm->findChildren<QWidget*>(QRegularExpression("^pnlHint")))
            if (panel->isVisible()) shown << panel->objectName();
    return shown;
}

class Walker {
public:
    // Watching starts at once: the loading sequence opens the tips window before it returns.
    explicit Walker(std::vector<Window> dialogs) : dialogs_(std::move(dialogs)) {
        QTimer::singleShot(20, &context_, [this] { Poll(); });
    }

    void WalkMain() { Walk(MainWindow(), MainWindowTable); }
    // A window that is not modal, walked while it shows.
    void WalkModeless(QWidget* window, const Window& table) { Walk(window, table); }

    // A panel the main window shows for a while: its rows, and every control in it has one.
    void WalkPanel(QWidget* panel, const Window& table) {
        QSet<QString> names;
        for (const Row& row : table.rows)
            names.insert(QString::fromLatin1(row.control));
        for (QWidget* w : panel->findChildren<QWidget*>())
            if (Shown(w) && Interactive(w) && !names.contains(CoverageName(w)))
                ADD_FAILURE() << table.name << ": the control " << qPrintable(CoverageName(w)) << " ("
                              << w->metaObject()->className() << ") is not in the table";
        if (auto* page = panel->findChild<QWidget*>(QStringLiteral("pageNews"))) {
            snprintf(g_step, sizeof g_step, "pageNews in %s", table.name);
            XMove(page->mapToGlobal(page->rect().center()));
            Settle(ShortDwell);
            XClick();
            Settle(100);
        } else {
            ADD_FAILURE() << "the news page is not shown";
        }
        for (const Row& row : table.rows)
            Step(MainWindow(), row);
        walked_.append(QString::fromLatin1(table.name));
    }

    // Runs `open` and waits until the windows it opens have been walked and closed.
    void Expect(const char* opens, const std::function<void()>& open) {
        const Opened level(opened_);
        open();
        AwaitWindows(opens, nullptr);
        CheckOpened(opens, QString::fromLatin1(opens));
    }

    QStringList walked() const { return walked_; }

private:
    // The windows each step opens, innermost step last: the windows it opens walk steps of their own.
    using OpenedStack = std::vector<QStringList>;
    struct Opened {
        OpenedStack& stack;
        explicit Opened(OpenedStack& s) : stack(s) { stack.emplace_back(); }
        ~Opened() { stack.pop_back(); }
    };

    // Watches for modal windows; each poll is rescheduled before a window is handled, so that the
    // windows it opens in turn are seen from inside its event loop.
    void Poll() {
        QWidget* modal = QApplication::activeModalWidget();
        QTimer::singleShot(20, &context_, [this] { Poll(); });
        if (!modal || handling_.contains(modal) || passing_.contains(modal) || !modal->isVisible()) return;
        Handle(modal);
    }

    const Window* Find(const QString& id) const {
        for (const Window& w : dialogs_)
            if (id == QLatin1String(w.name)) return &w;
        return nullptr;
    }

    void Handle(QWidget* modal) {
        const QString id = Identity(modal);
        if (!opened_.empty()) opened_.back().append(id);
        const Window* table = Find(id);
        if (table && table->closeWith && !*table->closeWith) {
            // Its own work, further down this call stack, ends it: waiting here would stop that work.
            passing_.append(modal);
            return;
        }
        handling_.append(modal);
        QPointer<QWidget> guard(modal);
        Pump([&] { return !guard || (modal->windowHandle() && modal->windowHandle()->isExposed()); }, 5000);
        Pump([&] { return !guard || modal->isActiveWindow(); }, 2000);
        Settle(50);
        if (table) {
            if (!walked_.contains(id)) {
                walked_.append(id);
                Walk(modal, *table);
            }
            if (guard) Close(modal, *table);
        } else {
            ADD_FAILURE() << "an unexpected window opened: " << id.toStdString();
            if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
        }
        handling_.removeAll(modal);
    }

    // The button that leaves a toolkit dialog without effect.
    static QAbstractButton* CancelOf(QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            if (box->escapeButton()) return box->escapeButton();
            if (box->defaultButton()) return box->defaultButton();
            return box->buttons().isEmpty() ? nullptr : box->buttons().first();
        }
        for (auto* buttons : modal->findChildren<QDialogButtonBox*>())
            if (QAbstractButton* cancel = buttons->button(QDialogButtonBox::Cancel); cancel && Shown(cancel))
                return cancel;
        return nullptr;
    }

    void Close(QWidget* modal, const Window& table) {
        const QString id = Identity(modal);
        snprintf(g_step, sizeof g_step, "closing %s", qPrintable(id));
        QPointer<QWidget> guard(modal);
        if (table.escape) {
            Xdo({QStringLiteral("key"), QStringLiteral("Escape")});
        } else if (table.closeWith && !*table.closeWith) {
            // Its work ends it; the windows it opens meanwhile are handled by the next polls.
        } else {
            QAbstractButton* button =
                table.closeWith ? modal->findChild<QAbstractButton*>(table.closeWith) : CancelOf(modal);
            const auto at = button ? FreePoint({button, button->rect(), {}}) : std::nullopt;
            if (!at) {
                ADD_FAILURE() << id.toStdString() << ": no button to close it with";
            } else {
                XMove(*at);
                XClick();
            }
        }
        if (!Pump([&] { return !guard || !guard->isVisible(); }, 15000)) {
            ADD_FAILURE() << id.toStdString() << " did not close" << (table.escape ? " with Escape" : "");
            if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
        }
    }

    void Walk(QWidget* window, const Window& table) {
        QSet<QString> names{QString::fromLatin1(table.closeWith)};
        for (const Row& row : table.rows)
            names.insert(QString::fromLatin1(row.control).section('#', 0, 0));
        for (const Row& row : table.rows) {
            CheckCoverage(window, table, names);
            Step(window, row);
            if (!window->isVisible()) {
                ADD_FAILURE() << table.name << " closed at " << row.control;
                return;
            }
        }
        CheckCoverage(window, table, names);
    }

    // Every control a user can reach in one of our windows has a row, so that new ones are walked too.
    void CheckCoverage(QWidget* window, const Window& table, const QSet<QString>& names) {
        if (table.rows.empty()) return; // the toolkit's own dialogs
        for (QWidget* w : window->findChildren<QWidget*>()) {
            if (w->window() != window || !Shown(w) || !Interactive(w)) continue;
            const QString name = CoverageName(w);
            if (names.contains(name) || reported_.contains(w)) continue;
            reported_.insert(w);
            ADD_FAILURE() << table.name << ": the control "
                          << (name.isEmpty() ? "(unnamed)" : qPrintable(name)) << " ("
                          << w->metaObject()->className() << ") is not in the table";
        }
    }

    void Step(QWidget* window, const Row& row) {
        snprintf(g_step, sizeof g_step, "%s in %s", row.control, qPrintable(Identity(window)));
        SCOPED_TRACE(g_step);
        const Target t = Resolve(window, QString::fromLatin1(row.control));
        if (!t.widget) {
            ADD_FAILURE() << row.control << " is not shown";
            return;
        }
        const auto at = FreePoint(t);
        if (!at) {
            ADD_FAILURE() << row.control << " is covered by other widgets";
            return;
        }
        XMove(*at);
        if (!Pump([&] { return t.widget->underMouse(); }, 3000)) {
            ADD_FAILURE() << "the pointer did not reach " << row.control;
            return;
        }
        Settle(row.hint || HasTip(t, *at) ? Dwell : ShortDwell);
        CheckHints(window, row, t, *at);

        const bool enabled = t.widget->isEnabled();
        const Opened level(opened_);
        switch (row.act) {
        case Hover:
            break;
        case Click:
        case Twice:
            XClick();
            if (row.act == Twice) {
                AwaitWindows(row.opens, window);
                Settle(100);
                XClick();
            }
            break;
        case Choose:
            XClick();
            if (enabled) ChooseByMouse(row, t);
            break;
        case Popup:
            XClick();
            if (!enabled) break;
            if (!Pump([] { return QApplication::activePopupWidget() != nullptr; }, 3000)) {
                ADD_FAILURE() << row.control << " opened no list";
                break;
            }
            // Over the open list (the colour schemes preview there), then closed by a click on the box.
            XMove(QApplication::activePopupWidget()->geometry().center());
            Settle(300);
            XMove(*at);
            XClick();
            if (!Pump([] { return QApplication::activePopupWidget() == nullptr; }, 3000))
                ADD_FAILURE() << "the list of " << row.control << " stayed open";
            break;
        }
        if (row.act == Hover) return;
        AwaitWindows(row.opens, window);
        Settle(100);
        CheckOpened(row.opens, QString::fromLatin1(row.control));
        // A tool button that was used hides its hint (a tab's hint stays until the pointer leaves).
        if (row.hint && enabled && qobject_cast<QAbstractButton*>(t.widget)) {
            EXPECT_EQ(ShownHints().join(','), QString()) << "a hint stayed after a click on " << row.control;
        }
    }

    // The list a click on the box's text opened: the pointer on the second entry highlights it, a click
    // there takes it and closes the list.
    static void ChooseByMouse(const Row& row, const Target& t) {
        auto* combo = qobject_cast<QComboBox*>(t.widget);
        if (!combo || combo->count() == 0) {
            ADD_FAILURE() << row.control << " is no drop-down with entries";
            return;
        }
        QAbstractItemView* view = combo->view();
        if (!Pump([&] { return view->isVisible(); }, 3000)) {
            ADD_FAILURE() << "a click on the text of " << row.control << " opened no list";
            return;
        }
        Settle(150);
        const int entry = std::min(1, combo->count() - 1);
        const QModelIndex index = view->model()->index(entry, combo->modelColumn(), view->rootIndex());
        view->scrollTo(index);
        XMove(view->viewport()->mapToGlobal(view->visualRect(index).center()));
        const QPoint over = view->viewport()->mapToGlobal(view->visualRect(index).center());
        EXPECT_TRUE(Pump([&] { return view->currentIndex() == index; }, 2000))
            << "the pointer over an entry of " << row.control << " does not highlight it (under the pointer: "
            << qPrintable(QApplication::widgetAt(over) ? Identity(QApplication::widgetAt(over)) : QString())
            << ", flags " << int(index.flags()) << ", popup "
            << qPrintable(QApplication::activePopupWidget() ? Identity(QApplication::activePopupWidget()) : QString())
            << ")";
        Settle(100);
        XClick();
        EXPECT_TRUE(Pump([&] { return !view->isVisible(); }, 3000)) << "the list of " << row.control << " stayed open";
        EXPECT_EQ(combo->currentIndex(), entry) << row.control << " did not take the entry clicked";
        EXPECT_EQ(combo->currentText(), combo->itemText(entry));
    }

    // The hints showing now: at most the control's own panel, inside the window and off the control,
    // and a tooltip only when the control (or what holds it) has that tip.
    void CheckHints(QWidget* window, const Row& row, const Target& t, QPoint at) {
        const QStringList panels = ShownHints();
        const QString expected = row.hint ? QStringLiteral("pnlHint") + row.hint : QString();
        EXPECT_EQ(panels.join(','), expected) << row.control << " shows the wrong hints";
        if (!expected.isEmpty() && panels == QStringList{expected}) {
            auto* panel = window->findChild<QWidget*>(expected);
            const QRect control(t.widget->mapTo(window, t.rect.topLeft()), t.rect.size());
            EXPECT_FALSE(panel->geometry().intersects(control))
                << expected.toStdString() << " covers its control";
            EXPECT_GE(panel->x(), 0);
            EXPECT_LE(panel->geometry().right(), window->width() - 1)
                << expected.toStdString() << " leaves the window";
        }
        if (QToolTip::isVisible()) {
            const QString tip = QToolTip::text();
            bool belongs = tip == t.tabTip;
            for (QWidget* w = QApplication::widgetAt(at); w && !belongs; w = w->parentWidget())
                belongs = w->toolTip() == tip;
            EXPECT_TRUE(belongs) << row.control << " shows the tooltip \"" << tip.toStdString() << "\"";
        }
    }

    static bool HasTip(const Target& t, QPoint at) {
        bool tip = !t.tabTip.isEmpty();
        for (QWidget* w = QApplication::widgetAt(at); w && !tip; w = w->parentWidget())
            tip = !w->toolTip().isEmpty();
        return tip;
    }

    static QStringList Required(const char* opens) {
        QStringList required;
        for (const QString& id : QString::fromLatin1(opens ? opens : "").split(',', Qt::SkipEmptyParts))
            if (!id.endsWith('?')) required << id;
        return required;
    }

    // Until the windows a step must open have been handled and only `level` is modal again.
    void AwaitWindows(const char* opens, QWidget* level) {
        const int required = int(Required(opens).size());
        const QWidget* modalLevel = level && level->isModal() ? level : nullptr;
        if (!Pump(
                [&] {
                    return opened_.back().size() >= required &&
                           QApplication::activeModalWidget() == modalLevel;
                },
                15000))
            ADD_FAILURE() << "waited in vain for " << (opens ? opens : "the step to end");
    }

    void CheckOpened(const char* opens, const QString& by) {
        QStringList expected = QString::fromLatin1(opens ? opens : "").split(',', Qt::SkipEmptyParts);
        for (const QString& id : opened_.back()) {
            while (!expected.isEmpty() && expected.front().endsWith('?') && expected.front().chopped(1) != id)
                expected.pop_front();
            if (!expected.isEmpty() && (expected.front() == id || expected.front() == id + '?'))
                expected.pop_front();
            else
                ADD_FAILURE() << by.toStdString() << " opened " << id.toStdString() << " unexpectedly";
        }
        for (const QString& id : expected)
            EXPECT_TRUE(id.endsWith('?')) << by.toStdString() << " did not open " << id.toStdString();
    }

    std::vector<Window> dialogs_;
    QObject context_;
    QList<QWidget*> handling_;
    QList<QPointer<QWidget>> passing_;
    OpenedStack opened_;
    QStringList walked_;
    QSet<const QWidget*> reported_;
};

struct ControlWalk : ::testing::Test {
    TempSettingsStore store;
    QTemporaryDir data;
    std::unique_ptr<AppContext> app;
    std::unique_ptr<TfrmStart> start;
    QStringList shellOpened;

    void SetUp() override {
        if (QGuiApplication::platformName() != QStringLiteral("xcb") ||
            QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
            GTEST_SKIP() << "needs an X server and xdotool: run it through tests/walk/under-x.sh";
        for (int sig : {SIGSEGV, SIGABRT, SIGBUS, SIGFPE})
            std::signal(sig, OnFault);
        qputenv("XDG_DATA_HOME", data.path().toUtf8());
        auto user = TempSettingsStore::User();
        user->setValue("ShellLang", 1);
        user->setValue("ShowHelp", true);
        user->setValue("AutoUpdate", false);
        user->setValue("DemogradLang", 0);
        user->setValue("MirrorSite1", "http://127.0.0.1:9/");
        user->setValue("MirrorSite2", "http://127.0.0.1:9/");
        user->sync();
        SetShellOpenHook([this](const QString& target) {
            shellOpened << target;
            return true;
        });
        CityGenOptions options;
        options.buildings = 120;
        options.streets = 8;
        options.orgs = 60;
        options.maxPictures = 20;
        const QString folder = data.path() + QStringLiteral("/Tessara/");
        QDir().mkpath(folder);
        ASSERT_EQ(
            WriteGeneratedCity(options, QStringLiteral("Demograd"), folder + QStringLiteral("Demograd.gis")),
            QString());
    }
    bool ended = false;
    // The start window, shown and ready for "Next".
    void OpenStart() {
        app = std::make_unique<AppContext>();
        start = std::make_unique<TfrmStart>(*app);
        start->checkHost = [] { return false; };
        QObject::connect(start.get(), &TfrmStart::closed, [this] { ended = true; });
        start->show();
        ASSERT_TRUE(Pump([&] { return start->btnGo->isEnabled(); }, 20000));
    }
    // Closes the main window, answering "Yes" in the quit window: the program ends.
    void QuitProgram(TfrmMain* frm) {
        auto* poll = new QTimer(frm);
        QObject::connect(poll, &QTimer::timeout, [poll] {
            if (auto* quit = QApplication::activeModalWidget(); quit && quit->objectName() == "frmQuit") {
                poll->stop();
                quit->findChild<QAbstractButton*>("btnYes")->click();
            }
        });
        poll->start(20);
        frm->close();
        EXPECT_TRUE(Pump([&] { return ended; }, 10000));
    }
    void TearDown() override {
        SetShellOpenHook({});
        start.reset();
        app.reset();
        BindShellLang(nullptr);
    }
};

TEST_F(ControlWalk, EveryControlSurvivesHoverAndClickAndShowsOnlyItsOwnHint) {
    OpenStart();
    if (HasFatalFailure()) return;
    // Escape that closes the city list closes only the list: its release reaches the start window.
    ASSERT_TRUE(Pump([&] { return start->isActiveWindow(); }, 5000));
    XMove(start->cbCity->mapToGlobal(start->cbCity->rect().center()));
    XClick();
    ASSERT_TRUE(Pump([&] { return start->cbCity->view()->isVisible(); }, 5000));
    // Released as a hand does, after the list has closed.
    Xdo({QStringLiteral("keydown"), QStringLiteral("Escape")});
    EXPECT_TRUE(Pump([&] { return !start->cbCity->view()->isVisible(); }, 5000));
    Settle(150);
    Xdo({QStringLiteral("keyup"), QStringLiteral("Escape")});
    Settle(300);
    EXPECT_FALSE(ended);
    ASSERT_TRUE(start->isVisible());

    // The tips window opens at the deferred start and is walked there.
    auto walker = std::make_unique<Walker>(DialogTables);
    start->btnGo->click();
    ASSERT_TRUE(Pump([&] { return start->frmMain && start->frmMain->isVisible() && app->AppState.isEmpty(); },
                     30000));
    TfrmMain* frm = start->frmMain;
    ASSERT_TRUE(Pump([&] { return walker->walked().contains("frmHelp"); }, 30000));
    ASSERT_TRUE(Pump([&] { return frm->windowHandle()->isExposed() && frm->isActiveWindow(); }, 5000));
    Settle(200);

    g_painterWarnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(CollectPainterWarnings);
    walker->WalkMain();

    // A service that answers every request with a small page: the news tab opens and its panel is walked.
    QTcpServer site;
    ASSERT_TRUE(site.listen(QHostAddress::LocalHost));
    QObject::connect(&site, &QTcpServer::newConnection, [&site] {
        while (QTcpSocket* s = site.nextPendingConnection()) {
            QObject::connect(s, &QTcpSocket::readyRead, s, [s] {
                if (!s->readAll().contains("\r\n\r\n")) return;
                const QByteArray page = "<html><head><title>walk</title></head><body><p>News</p></body></html>";
                s->write("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                         QByteArray::number(page.size()) + "\r\n\r\n" + page);
                s->disconnectFromHost();
            });
            QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
        }
    });
    app->vendor.Mirrors.Sites[0] = QStringLiteral("http://127.0.0.1:%1/").arg(site.serverPort());
    frm->btnNews->click();
    ASSERT_TRUE(Pump([&] { return frm->pnlWeb->isVisible(); }, 15000));
    Settle(500);
    walker->WalkPanel(frm->pnlWeb, WebPanelTable);
    EXPECT_FALSE(frm->pnlWeb->isVisible());
    EXPECT_TRUE(frm->btnShowMap->isChecked());
    app->vendor.Mirrors.Sites[0] = QStringLiteral("http://127.0.0.1:9/");

    frm->btnMeas->click();
    QWidget* ruler = frm->findChild<QWidget*>("frmMeas");
    ASSERT_NE(ruler, nullptr);
    ASSERT_TRUE(Pump([&] { return ruler->windowHandle() && ruler->windowHandle()->isExposed(); }, 5000));
    Settle(200);
    walker->WalkModeless(ruler, RulerWindowTable);
    frm->btnMeas->click();
    EXPECT_FALSE(ruler->isVisible());
    frm->activateWindow();
    Pump([&] { return frm->isActiveWindow(); }, 3000);

    // The program's own yes/no window, as the start window asks with it.
    TfrmMessage message(frm);
    walker->Expect("frmMessage", [&] {
        QTimer::singleShot(0, &message, [&] { message.Ask(LangText(u"NotInstalled"), 120); });
    });
    // The window manager's close asks through the quit window; cancelling it keeps the program.
    walker->Expect("frmQuit", [&] {
        frm->activateWindow();
        Pump([&] { return frm->isActiveWindow(); }, 3000);
        Xdo({QStringLiteral("key"), QStringLiteral("alt+F4")});
    });
    EXPECT_TRUE(frm->isVisible());
    for (const Window& w : DialogTables)
        if (!w.rows.empty()) {
            EXPECT_TRUE(walker->walked().contains(w.name)) << w.name << " was never opened";
        }
    qInstallMessageHandler(previous);
    EXPECT_EQ(g_painterWarnings.join('\n').toStdString(), "");
    // What the walk opened through the shell stayed on this machine.
    for (const QString& target : shellOpened) {
        const QUrl url = QUrl::fromUserInput(target);
        EXPECT_TRUE(url.isLocalFile() || url.host() == QStringLiteral("127.0.0.1")) << target.toStdString();
    }
    snprintf(g_step, sizeof g_step, "quitting");
    walker.reset();
    QuitProgram(frm);
}

// The first OpenGL surface in the shown main window makes Qt create the window anew; the window manager must
// still show it maximised, as it shows the two-dimensional map's window.
TEST_F(ControlWalk, TheMainWindowStaysMaximisedWhenTheOpenGLMapComes) {
    auto user = TempSettingsStore::User();
    user->setValue("GrafMode", 1);
    user->setValue("ShowHelp", false);
    user->sync();
    OpenStart();
    if (HasFatalFailure()) return;
    start->btnGo->click();
    ASSERT_TRUE(Pump([&] { return start->frmMain && start->frmMain->isVisible() && app->AppState.isEmpty(); },
                     30000));
    TfrmMain* frm = start->frmMain;
    ASSERT_EQ(app->settings.GrafMode, 1) << "OpenGL is there under this X server";
    ASSERT_NE(frm->findChild<TGlMapImage*>(), nullptr);
    const QRect free = frm->screen()->availableGeometry();
    EXPECT_TRUE(Pump([&] { return frm->width() == free.width() && frm->isMaximized(); }, 5000))
        << frm->width() << " x " << frm->height() << " on " << free.width() << " x " << free.height();
    QuitProgram(frm);
}

} // namespace
