#include "WebTabs.h"

#include "AppContext.h"
#include "QtTexts.h"
#include "ShellOpen.h"
#include "TextTable.h"
#include "WebTabAddress.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QHBoxLayout>
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
    }

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
        if (SameOrigin(url, site_)) return true;
        if (isMainFrame) LeaveSite(url, type == NavigationTypeLinkClicked);
        return false;
    }
    QWebEnginePage* createWindow(WebWindowType) override { return new TPopupCatcher(profile(), this, site_); }

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
}

TWebTabs::~TWebTabs() {
    // A profile must outlive its pages.
    for (auto& page : pages_)
        delete page.data();
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
    for (auto& page : pages_)
        delete page.data();
}

void TWebTabs::Cancel() {
    ++generation_;
    current_ = pending_ = -1;
    pnlWeb_->hide();
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

QWebEngineView* TWebTabs::MakePage(int tab) {
    const QUrl site(app_.vendor.Mirrors.First());
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
    guard_->site = site;
    auto* view = new TWebView(stack_);
    view->setObjectName(QLatin1String(PageNames[tab]));
    view->setPage(new TWebPage(profile_, view, site));
    stack_->addWidget(view);
    pages_[tab] = view;
    view->load(StartUrl(tab));
    return view;
}

void TWebTabs::Step(int action) {
    // The browser's own errors are its business: a step that fails leaves the page as it is.
    if (QWebEngineView* page = Page(current_)) page->triggerPageAction(QWebEnginePage::WebAction(action));
}
