#include "WebTabs.h"

#include "AppContext.h"
#include "QtTexts.h"
#include "ShellOpen.h"
#include "TextTable.h"
#include "WebTabAddress.h"

#include <QAction>
#include <QAuthenticator>
#include <QContextMenuEvent>
#include <QFile>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWebEngineFullScreenRequest>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>

#include <csignal>
#include <unistd.h>

namespace {

const char* PageNames[WebTabCount] = {"pageNews", "pageNotes", "pageAfisha", "pageAdmin", "pageWeather"};

bool IsWebAddress(const QUrl& url) {
    return url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
}

// A link the user followed off the vendor's site goes to the system's browser; anything else that
// leads away (scripts, redirects, forms) is dropped.
void LeaveSite(const QUrl& url, bool userClicked) {
    if (userClicked && IsWebAddress(url)) ShellOpen(url.toString(QUrl::FullyEncoded));
}

QByteArray ReadProcFile(qint64 pid, const char* name) {
    QFile f(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(name)));
    return f.open(QIODevice::ReadOnly) ? f.read(64 * 1024) : QByteArray();
}

// Resident bytes of a process; 0 when it is gone or cannot be read.
qint64 ResidentBytes(qint64 pid) {
    const QList<QByteArray> fields = ReadProcFile(pid, "statm").split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * sysconf(_SC_PAGESIZE) : 0;
}

// Whether `pid` is a process of the browser engine this program started (renderers are forked from
// its zygote and carry its command line): only such a process is ever stopped, never one that took a
// freed number.
bool IsOwnRenderer(qint64 pid) {
    if (pid <= 0 || pid == getpid() || !ReadProcFile(pid, "cmdline").contains("QtWebEngineProcess")) return false;
    qint64 at = pid;
    for (int depth = 0; depth < 16 && at > 1; ++depth) {
        const QByteArray stat = ReadProcFile(at, "stat");
        // The fields after the command's closing bracket: state, then the parent.
        const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        if (fields.size() < 2) return false;
        at = fields[1].toLongLong();
        if (at == getpid()) return true;
    }
    return false;
}

void StopRenderer(qint64 pid) {
    if (IsOwnRenderer(pid)) ::kill(pid_t(pid), SIGKILL);
}

} // namespace

// Every request a page makes, its own and those of its pictures, styles and scripts: only the
// vendor's site is reached.
class TWebGuard : public QWebEngineUrlRequestInterceptor {
public:
    explicit TWebGuard(QObject* parent) : QWebEngineUrlRequestInterceptor(parent) {}
    QUrl site;
    void interceptRequest(QWebEngineUrlRequestInfo& info) override {
        if (!SameOrigin(info.requestUrl(), site)) info.block(true);
    }
};

namespace {

// A window a page asks for (a link with a target): its address opens in the tab itself when it is on
// the site, in the system's browser otherwise; the window never exists.
class TPopupCatcher : public QWebEnginePage {
public:
    TPopupCatcher(QWebEngineProfile* profile, QWebEnginePage* opener, QUrl site)
        : QWebEnginePage(profile, opener), opener_(opener), site_(std::move(site)) {}

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool) override {
        if (SameOrigin(url, site_))
            opener_->load(url);
        else
            LeaveSite(url, type == NavigationTypeLinkClicked);
        deleteLater();
        return false;
    }

private:
    QWebEnginePage* opener_;
    QUrl site_;
};

class TWebPage : public QWebEnginePage {
public:
    TWebPage(QWebEngineProfile* profile, QObject* parent, QUrl site)
        : QWebEnginePage(profile, parent), site_(std::move(site)) {
        // Camera, microphone, position, notifications and the like are never granted.
        connect(this, &QWebEnginePage::featurePermissionRequested, this,
                [this](const QUrl& origin, Feature feature) {
                    setFeaturePermission(origin, feature, PermissionDeniedByUser);
                });
        connect(this, &QWebEnginePage::fullScreenRequested, this,
                [](QWebEngineFullScreenRequest request) { request.reject(); });
        // No password dialogs either: a page asking for one is refused.
        connect(this, &QWebEnginePage::authenticationRequired, this,
                [](const QUrl&, QAuthenticator* auth) { *auth = QAuthenticator(); });
        connect(this, &QWebEnginePage::proxyAuthenticationRequired, this,
                [](const QUrl&, QAuthenticator* auth, const QString&) { *auth = QAuthenticator(); });
    }

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
        if (SameOrigin(url, site_)) return true;
        if (isMainFrame) LeaveSite(url, type == NavigationTypeLinkClicked);
        return false;
    }
    QWebEnginePage* createWindow(WebWindowType) override { return new TPopupCatcher(profile(), this, site_); }
    // A page never opens a dialog: one that opens alerts in a loop would hold the whole program.
    void javaScriptAlert(const QUrl&, const QString&) override {}
    bool javaScriptConfirm(const QUrl&, const QString&) override { return false; }
    bool javaScriptPrompt(const QUrl&, const QString&, const QString&, QString*) override { return false; }
    QStringList chooseFiles(FileSelectionMode, const QStringList&, const QStringList&) override { return {}; }

private:
    QUrl site_;
};

// The browser's own menu, without what would save files, open windows or show the page's insides.
class TWebView : public QWebEngineView {
public:
    using QWebEngineView::QWebEngineView;

protected:
    void contextMenuEvent(QContextMenuEvent* e) override {
        QMenu* menu = createStandardContextMenu();
        const QList<QAction*> kept{pageAction(QWebEnginePage::Back),
                                   pageAction(QWebEnginePage::Forward),
                                   pageAction(QWebEnginePage::Reload),
                                   pageAction(QWebEnginePage::Copy),
                                   pageAction(QWebEnginePage::SelectAll),
                                   pageAction(QWebEnginePage::CopyLinkToClipboard)};
        for (QAction* a : menu->actions())
            if (!a->isSeparator() && !kept.contains(a)) menu->removeAction(a);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(e->globalPos());
    }
};

QToolButton* NavButton(QWidget* parent, const char* name, const QString& glyph, const QString& hint,
                       const QKeySequence& key) {
    auto* b = new QToolButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setText(glyph);
    b->setToolTip(hint);
    b->setShortcut(key);
    b->setAutoRaise(true);
    b->setFixedSize(30, 26);
    return b;
}

} // namespace

TWebTabs::TWebTabs(AppContext& app, QWidget* pnlWeb) : QObject(pnlWeb), app_(app), pnlWeb_(pnlWeb) {
    // The panel covers the map and its tools.
    pnlWeb->setAutoFillBackground(true);
    auto* column = new QVBoxLayout(pnlWeb);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    auto* strip = new QWidget(pnlWeb);
    strip->setObjectName(QStringLiteral("pnlWebTools"));
    auto* row = new QHBoxLayout(strip);
    row->setContentsMargins(2, 2, 2, 0);
    row->setSpacing(2);
    // The hints are the same in both interface languages.
    btnWebBack = NavButton(strip, "btnWebBack", QStringLiteral("◀"), QStringLiteral("Назад"),
                           QKeySequence(Qt::ALT | Qt::Key_Left));
    btnWebForward = NavButton(strip, "btnWebForward", QStringLiteral("▶"), QStringLiteral("Вперед"),
                              QKeySequence(Qt::ALT | Qt::Key_Right));
    btnWebHome = NavButton(strip, "btnWebHome", QStringLiteral("⌂"), QStringLiteral("В начало"),
                           QKeySequence(Qt::ALT | Qt::Key_Home));
    btnWebRefresh = NavButton(strip, "btnWebRefresh", QStringLiteral("⟳"), QStringLiteral("Обновить"),
                              QKeySequence(Qt::Key_F5));
    btnWebClose = NavButton(strip, "btnWebClose", QStringLiteral("✕"), QStringLiteral("Закрыть"),
                            QKeySequence(Qt::CTRL | Qt::Key_W));
    for (QToolButton* b : {btnWebBack, btnWebForward, btnWebHome, btnWebRefresh})
        row->addWidget(b);
    txtWebState = new QLabel(strip);
    txtWebState->setObjectName(QStringLiteral("txtWebState"));
    txtWebState->setTextFormat(Qt::PlainText);
    txtWebState->hide();
    row->addSpacing(8);
    row->addWidget(txtWebState);
    row->addStretch(1);
    row->addWidget(btnWebClose);
    column->addWidget(strip);
    stack_ = new QStackedWidget(pnlWeb);
    stack_->setObjectName(QStringLiteral("pnlWebPages"));
    column->addWidget(stack_, 1);

    connect(btnWebBack, &QToolButton::clicked, this, [this] { Step(QWebEnginePage::Back); });
    connect(btnWebForward, &QToolButton::clicked, this, [this] { Step(QWebEnginePage::Forward); });
    connect(btnWebRefresh, &QToolButton::clicked, this, [this] { Step(QWebEnginePage::Reload); });
    connect(btnWebHome, &QToolButton::clicked, this, [this] {
        const QUrl start = StartUrl(current_);
        if (QWebEngineView* page = Page(current_); page && start.isValid()) page->load(start);
    });
    connect(btnWebClose, &QToolButton::clicked, this, [this] {
        if (showMap) showMap();
    });
    warmUp_.setSingleShot(true);
    connect(&warmUp_, &QTimer::timeout, this, &TWebTabs::StartEngine);
    memoryWatch_.setInterval(1000);
    connect(&memoryWatch_, &QTimer::timeout, this, &TWebTabs::WatchMemory);
}

TWebTabs::~TWebTabs() {
    // A profile must outlive its pages.
    for (auto& page : pages_)
        delete page.data();
    delete warmPage_.data();
}

QWebEngineView* TWebTabs::Page(int tab) const {
    return tab >= 0 && tab < WebTabCount ? pages_[tab].data() : nullptr;
}

QUrl TWebTabs::StartUrl(int tab) const {
    const QStringList& urls = app_.db->WebTabUrls;
    if (tab < 0 || tab >= urls.size() || urls[tab].trimmed().isEmpty()) return {};
    return ResolveWebTabUrl(WebTabStartAddress(urls[tab].trimmed()), app_.vendor.Mirrors.First());
}

void TWebTabs::CityLoaded() {
    Cancel();
    // Without a display there is nothing to show pages on (and nothing to warm).
    const bool anyTab = std::any_of(app_.db->WebTabUrls.cbegin(), app_.db->WebTabUrls.cend(),
                                    [](const QString& url) { return !url.trimmed().isEmpty(); });
    if (anyTab && !profile_ && WarmUpDelayMs >= 0 && QGuiApplication::platformName() != QLatin1String("offscreen"))
        warmUp_.start(WarmUpDelayMs);
}

void TWebTabs::Cancel() {
    ++generation_;
    ClosePages();
    current_ = pending_ = -1;
    pnlWeb_->hide();
}

void TWebTabs::ClosePages() {
    Loading(false);
    txtWebState->hide();
    memoryWatch_.stop();
    for (auto& view : pages_) {
        if (!view) continue;
        const qint64 pid = view->page()->renderProcessPid();
        delete view.data();
        // The engine ends a page's process with its page; one still running a moment later (a busy
        // script, an unload handler) is stopped unless another page of ours lives in it.
        if (pid > 0)
            QTimer::singleShot(3000, this, [this, pid] {
                for (const auto& other : pages_)
                    if (other && other->page()->renderProcessPid() == pid) return;
                if (warmPage_ && warmPage_->renderProcessPid() == pid) return;
                StopRenderer(pid);
            });
    }
}

void TWebTabs::WatchMemory() {
    for (const auto& view : pages_) {
        if (!view) continue;
        const qint64 pid = view->page()->renderProcessPid();
        if (pid <= 0 || ResidentBytes(pid) <= RendererMemoryLimit) continue;
        StopRenderer(pid);
        Loading(false);
        txtWebState->setText(LangText(u"PageStopped"));
        txtWebState->show();
    }
}

void TWebTabs::Loading(bool on) {
    if (on) {
        txtWebState->setText(LangText(u"Loading"));
        txtWebState->show();
        pnlWeb_->setCursor(Qt::BusyCursor);
    } else {
        if (txtWebState->text() == LangText(u"Loading")) txtWebState->hide();
        pnlWeb_->unsetCursor();
    }
}

// The browser engine takes seconds to start on a machine without a graphics card: it starts with a
// blank page nobody sees while the user looks at the map, and the page goes once loaded.
void TWebTabs::StartEngine() {
    if (profile_) return;
    MakeProfile();
    warmPage_ = new QWebEnginePage(profile_, this);
    connect(warmPage_, &QWebEnginePage::loadFinished, warmPage_, &QObject::deleteLater);
    warmPage_->load(QUrl(QStringLiteral("about:blank")));
}

void TWebTabs::Open(int tab) {
    Cancel();
    if (tab < 0 || tab >= WebTabCount) return;
    const QStringList& urls = app_.db->WebTabUrls;
    const bool missing = tab >= urls.size();
    if (missing || !StartUrl(tab).isValid()) {
        if (showMap) showMap();
        // An address that cannot be shown is no better than none.
        QMessageBox::information(pnlWeb_->window(), pnlWeb_->window()->windowTitle(),
                                 WithLineBreaks(missing ? LangText(u"NotWork") + u'\r' + LangText(u"MayBeUpdate")
                                                        : LangText(u"NotWork")));
        return;
    }
    pending_ = tab;
    const int generation = generation_;
    app_.vendor.WebTabCheck(tab, app_.city.FileName, this, [this, tab, generation](bool ok) {
        if (generation != generation_) return;
        pending_ = -1;
        if (ok) return Show(tab);
        if (showMap) showMap();
        QMessageBox::warning(pnlWeb_->window(), pnlWeb_->window()->windowTitle(),
                             QStringLiteral("Ошибка подключения к сайту!"));
    });
}

void TWebTabs::Show(int tab) {
    const QUrl start = StartUrl(tab);
    const QUrl site(app_.vendor.Mirrors.First());
    if (!SameOrigin(start, site)) {
        // A page elsewhere is the city publisher's: the user asked for it, the system's browser shows it.
        LeaveSite(start, true);
        if (showMap) showMap();
        return;
    }
    QWebEngineView* page = Page(tab);
    if (!page) page = MakePage(tab);
    stack_->setCurrentWidget(page);
    current_ = tab;
    pnlWeb_->show();
    pnlWeb_->raise();
    // The window raises the map's tools and banner when it lays itself out: the page stays over them.
    for (QObject* sibling : pnlWeb_->parentWidget()->children())
        if (sibling != pnlWeb_ && sibling->isWidgetType()) sibling->installEventFilter(this);
}

bool TWebTabs::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::ZOrderChange && pnlWeb_->isVisible())
        QTimer::singleShot(0, pnlWeb_, [panel = pnlWeb_] {
            if (panel->isVisible()) panel->raise();
        });
    return QObject::eventFilter(watched, e);
}

void TWebTabs::MakeProfile() {
    if (!profile_) {
        // Nothing of the pages stays on disk: no cookies, no cache files, no history.
        profile_ = new QWebEngineProfile(this);
        profile_->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
        profile_->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
        guard_ = new TWebGuard(profile_);
        profile_->setUrlRequestInterceptor(guard_);
        QWebEngineSettings* s = profile_->settings();
        s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
        s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
        s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
        s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
        s->setAttribute(QWebEngineSettings::PdfViewerEnabled, false);
        s->setAttribute(QWebEngineSettings::WebGLEnabled, false);
        s->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, false);
        s->setAttribute(QWebEngineSettings::AllowRunningInsecureContent, false);
        s->setAttribute(QWebEngineSettings::ScreenCaptureEnabled, false);
        // Downloads are never accepted: a request left alone is cancelled.
    }
}

QWebEngineView* TWebTabs::MakePage(int tab) {
    const QUrl site(app_.vendor.Mirrors.First());
    warmUp_.stop();
    MakeProfile();
    guard_->site = site;
    auto* view = new TWebView(stack_);
    view->setObjectName(QLatin1String(PageNames[tab]));
    view->setPage(new TWebPage(profile_, view, site));
    connect(view, &QWebEngineView::loadStarted, this, [this] { Loading(true); });
    connect(view, &QWebEngineView::loadFinished, this, [this] { Loading(false); });
    stack_->addWidget(view);
    pages_[tab] = view;
    view->load(StartUrl(tab));
    Loading(true);
    memoryWatch_.start();
    return view;
}

void TWebTabs::Step(int action) {
    // The browser's own errors are its business: a step that fails leaves the page as it is.
    if (QWebEngineView* page = Page(current_)) page->triggerPageAction(QWebEnginePage::WebAction(action));
}
