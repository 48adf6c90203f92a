#include "TfrmStart.h"

#include "Advertising.h"
#include "AppContext.h"
#include "CityFileError.h"
#include "CityLoad.h"
#include "DirectoryRecords.h"
#include "LabelMetrics.h"
#include "OrgPages.h"
#include "OutsideText.h"
#include "Pictures.h"
#include "QtTexts.h"
#include "ShellOpen.h"
#include "StartLines.h"
#include "TfrmLang.h"
#include "TfrmMain.h"
#include "TfrmMessage.h"
#include "TfrmQuit.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDate>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QThread>
#include <QTimer>
#include <QWindow>

namespace {

constexpr int ClientWidth = 564, ClientHeight = 461;
constexpr int SlotWidth = 265, SlotHeight = 162;
const QPoint SlotPos[4] = {{8, 80}, {288, 80}, {8, 256}, {288, 256}};
// The representative's line above the banners and the developer's line at the foot: the window's
// size is fixed, so long texts take a smaller font (or a second line) rather than leave the window.
const QRect AgentBand(10, 56, ClientWidth - 18, 24);
const QRect FooterBand(10, 446, ClientWidth - 18, 15);
const QColor DarkBlue(0x00, 0x00, 0x80);
const QColor ShadowColor(0xff, 0xff, 0xff);

QString MonthYear(const QString& date, int shellLang) {
    const QDate d = QDate::fromString(date, QStringLiteral("dd.MM.yyyy"));
    if (!d.isValid()) return QString();
    return MonthName(d.month(), shellLang) + ' ' + QString::number(d.year());
}

QImage BackgroundPicture() {
    QImage img(ClientWidth, ClientHeight, QImage::Format_RGB888);
    QPainter p(&img);
    QLinearGradient g(0, 0, 0, ClientHeight);
    g.setColorAt(0, QColor(0x2a, 0x5d, 0x9c));
    g.setColorAt(0.13, QColor(0x7d, 0xa8, 0xd8));
    g.setColorAt(0.14, QColor(0xdc, 0xe9, 0xf6));
    g.setColorAt(1, QColor(0xf6, 0xf9, 0xfd));
    p.fillRect(img.rect(), g);
    p.setPen(QColor(0x9d, 0xb9, 0xdb));
    p.drawLine(0, 419, ClientWidth, 419);
    p.end();
    // A shadow under and right of each slot, fading over five pixels.
    for (const QPoint& s : SlotPos) {
        for (int k = 1; k <= 5; ++k) {
            const int amount = 100 / k;
            auto darken = [&](int x, int y) {
                if (x < 0 || y < 0 || x >= img.width() || y >= img.height()) return;
                uchar* px = img.scanLine(y) + 3 * x;
                for (int c = 0; c < 3; ++c)
                    if (px[c] >= amount) px[c] = uchar(px[c] - amount);
            };
            const int row = s.y() + SlotHeight + k - 1;
            for (int x = s.x() + 4 + k; x <= s.x() + SlotWidth + k - 1; ++x)
                darken(x, row);
            const int col = s.x() + SlotWidth + k - 1;
            for (int y = s.y() + 4 + k; y <= s.y() + SlotHeight + k - 2; ++y)
                darken(col, y);
        }
    }
    return img;
}

QImage PlaceholderPicture() {
    QImage img(SlotWidth, SlotHeight, QImage::Format_RGB32);
    QPainter p(&img);
    p.fillRect(img.rect(), QColor(0xee, 0xf3, 0xfa));
    p.setPen(QPen(QColor(0x9d, 0xb9, 0xdb), 2, Qt::DashLine));
    p.drawRect(img.rect().adjusted(4, 4, -5, -5));
    p.setPen(QColor(0x3a, 0x5f, 0x8f));
    p.setFont(QFont(QStringLiteral("Liberation Sans"), 12, QFont::Bold));
    p.drawText(img.rect(), Qt::AlignCenter, QStringLiteral("Здесь может быть\nВаша реклама"));
    return img;
}

QImage LogoPicture() {
    QImage img(44, 44, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(0xf0, 0xa0, 0x20));
    p.setPen(QPen(Qt::white, 2));
    p.drawEllipse(QRectF(2, 2, 40, 40));
    p.setPen(QPen(Qt::white, 3));
    p.drawLine(QPointF(12, 14), QPointF(32, 14));
    p.drawLine(QPointF(22, 14), QPointF(22, 34));
    return img;
}

QRegion WindowShape() {
    QRegion top(QRect(-180, -5, 460, 335), QRegion::Ellipse);
    top -= QRegion(QRect(-180, 55, 460, 275));
    top -= QRegion(QRect(0, 0, 10, 10));
    QPainterPath body;
    body.addRoundedRect(QRectF(0, 55, ClientWidth, ClientHeight + 1 - 55), 10, 10);
    QPainterPath corner;
    corner.addRoundedRect(QRectF(0, 0, 100, 100), 10, 10);
    return top + QRegion(body.toFillPolygon().toPolygon()) + QRegion(corner.toFillPolygon().toPolygon());
}

} // namespace

TBannerSlot::TBannerSlot(const QString& name, QWidget* parent) : QLabel(parent) {
    setObjectName(name);
    setScaledContents(false);
}

bool TBannerSlot::Active() const {
    auto* start = qobject_cast<TfrmStart*>(window());
    return reacting && cursor().shape() == Qt::PointingHandCursor && (!start || start->btnGo->isEnabled());
}

void TBannerSlot::ShowPicture() {
    setPixmap(QPixmap::fromImage(picture.scaled(size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
}

void TBannerSlot::enterEvent(QEnterEvent* e) {
    QLabel::enterEvent(e);
    if (!Active() || grown_) return;
    home_ = geometry();
    grown_ = true;
    setGeometry(home_.x() - 2, home_.y() - 2, home_.width() + 4, home_.height() + 3);
    raise();
    ShowPicture();
}

void TBannerSlot::leaveEvent(QEvent* e) {
    QLabel::leaveEvent(e);
    if (!grown_) return;
    grown_ = false;
    setGeometry(home_);
    ShowPicture();
}

void TBannerSlot::mouseReleaseEvent(QMouseEvent* e) {
    QLabel::mouseReleaseEvent(e);
    if (e->button() == Qt::LeftButton && Active() && rect().contains(e->position().toPoint()))
        emit clicked(this);
}

void TShadowLabel::setText(const QString& t) {
    text->setText(t);
    shadow->setText(t);
    text->adjustSize();
    shadow->adjustSize();
}
void TShadowLabel::move(int x, int y) {
    text->move(x, y);
    shadow->move(x + 1, y + 1);
}
void TShadowLabel::setVisible(bool on) {
    text->setVisible(on);
    shadow->setVisible(on);
}
void TShadowLabel::setColor(const QColor& c) {
    QPalette pal = text->palette();
    pal.setColor(QPalette::WindowText, c);
    text->setPalette(pal);
}
int TShadowLabel::right() const {
    return text->x() + text->width();
}

TfrmStart::TfrmStart(AppContext& app, QWidget* parent) : QWidget(parent), app_(app) {
    setObjectName(QStringLiteral("frmStart"));
    setWindowTitle(QStringLiteral("Тессара "));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setFixedSize(ClientWidth, ClientHeight);
    checkHost = [this] { return app_.vendor.CheckHost(); };

    auto timer = [this](const char* name, void (TfrmStart::*slot)()) {
        auto* t = new QTimer(this);
        t->setObjectName(QString::fromLatin1(name));
        t->setInterval(1);
        t->setSingleShot(true);
        connect(t, &QTimer::timeout, this, slot);
        return t;
    };
    tim = timer("tim", &TfrmStart::timTimer);
    timClose = new QTimer(this);
    timClose->setObjectName(QStringLiteral("timClose"));
    timClose->setInterval(1);
    timClose->setSingleShot(true);
    connect(timClose, &QTimer::timeout, this, [this] {
        app_.AppState = QStringLiteral("quit");
        close();
    });
    timBack = timer("timBack", &TfrmStart::timBackTimer);
    timAlphaShow = timer("timAlphaShow", &TfrmStart::timAlphaShowTimer);

    imgBG = new QLabel(this);
    imgBG->setObjectName(QStringLiteral("imgBG"));
    imgBG->setGeometry(0, 0, ClientWidth, ClientHeight);

    auto label = [this](const char* name, int pointSize, bool bold, const QColor& color) {
        TShadowLabel l;
        l.shadow = new QLabel(this);
        l.shadow->setObjectName(QString::fromLatin1(name) + QStringLiteral("_shdw"));
        l.text = new QLabel(this);
        l.text->setObjectName(QString::fromLatin1(name));
        QFont f(QStringLiteral("Liberation Sans"), pointSize, bold ? QFont::Bold : QFont::Normal);
        for (QLabel* q : {l.shadow, l.text}) {
            q->setFont(f);
            q->setTextFormat(Qt::PlainText);
        }
        QPalette pal = l.shadow->palette();
        pal.setColor(QPalette::WindowText, ShadowColor);
        l.shadow->setPalette(pal);
        l.setColor(color);
        return l;
    };
    txtTitle = label("txtTitle", 17, true, QColor(0xff, 0xff, 0xff));
    txtTitle.shadow->setPalette([&] {
        QPalette pal = txtTitle.shadow->palette();
        pal.setColor(QPalette::WindowText, QColor(0x10, 0x30, 0x60));
        return pal;
    }());
    txtTitle.move(56, 14);
    txtCity = label("txtCity", 9, true, Qt::black);
    txtCity.move(10, 59);
    txtEmail = label("txtEmail", 9, true, DarkBlue);
    txtPhone = label("txtPhone", 9, true, Qt::black);
    txtSelCity = label("txtSelCity", 10, true, QColor(0x10, 0x30, 0x60));
    txtSelCity.move(10, 426);
    txtCopyright = label("txtCopyright", 8, false, QColor(0x30, 0x30, 0x30));
    txtCopyright.move(10, 446);
    txtDevMail = label("txtDevMail", 8, false, DarkBlue);
    txtDevPhone = label("txtDevPhone", 8, false, QColor(0x30, 0x30, 0x30));
    for (QLabel* l : {txtEmail.text, txtDevMail.text}) {
        l->setCursor(Qt::PointingHandCursor);
        l->installEventFilter(this);
    }

    imgEmpty = new QLabel(this);
    imgEmpty->setObjectName(QStringLiteral("imgEmpty"));
    imgEmpty->setPixmap(QPixmap::fromImage(PlaceholderPicture()));
    imgEmpty->hide();
    for (int k = 0; k < 4; ++k) {
        img[k] = new TBannerSlot(QStringLiteral("img%1").arg(k + 1), this);
        img[k]->setGeometry(QRect(SlotPos[k], QSize(SlotWidth, SlotHeight)));
        connect(img[k], &TBannerSlot::clicked, this, &TfrmStart::BannerClick);
    }

    imgLogo = new QLabel(this);
    imgLogo->setObjectName(QStringLiteral("imgLogo"));
    imgLogo->setPixmap(QPixmap::fromImage(LogoPicture()));
    imgLogo->setGeometry(8, 6, 44, 44);
    imgLogo->setCursor(Qt::PointingHandCursor);
    imgLogo->installEventFilter(this);

    cbCity = new QComboBox(this);
    cbCity->setObjectName(QStringLiteral("cbCity"));
    cbCity->setGeometry(150, 422, 290, 24);
    connect(cbCity, &QComboBox::activated, this, [this] { cbCityChange(); });
    pb1 = new QProgressBar(this);
    pb1->setObjectName(QStringLiteral("pb1"));
    pb1->setGeometry(10, 424, 430, 18);
    pb1->setRange(0, ProgressMax);
    pb1->setTextVisible(false);
    pb1->hide();
    btnGo = new QPushButton(this);
    btnGo->setObjectName(QStringLiteral("btnGo"));
    btnGo->setGeometry(450, 421, 104, 26);
    btnGo->setEnabled(false);
    connect(btnGo, &QPushButton::clicked, this, &TfrmStart::btnGoClick);
    for (QWidget* w : {static_cast<QWidget*>(cbCity), static_cast<QWidget*>(btnGo)})
        w->installEventFilter(this);

    FormCreate();
}

TfrmStart::~TfrmStart() {
    delete frmMain;
}

void TfrmStart::FormCreate() {
    try {
        app_.folders = Folders::System();
        app_.vendor.InternetAvailable = false;
        setMask(WindowShape());
        app_.LoadSettings();
        const QImage empty = PlaceholderPicture();
        for (TBannerSlot* s : img) {
            s->picture = empty;
            s->ShowPicture();
        }
        background_ = BackgroundPicture();
        imgBG->setPixmap(QPixmap::fromImage(background_));
        timAlphaShow->start();
    } catch (const std::exception&) {
        timClose->start();
    }
}

void TfrmStart::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (!loading_) QTimer::singleShot(0, this, &TfrmStart::FormShow);
}

void TfrmStart::timAlphaShowTimer() {
    // Platforms without window opacity (offscreen) show the window at once.
    if (QGuiApplication::platformName() == QStringLiteral("offscreen")) return;
    setWindowOpacity(0);
    for (int alpha = 0; alpha <= 255; alpha += 5) {
        setWindowOpacity(alpha / 255.0);
        QApplication::processEvents();
        QThread::msleep(1);
    }
    setWindowOpacity(1);
}

void TfrmStart::FormShow() {
    Settings& s = app_.settings;
    if (!frmLang) frmLang = new TfrmLang(s, this);
    if (s.ShellLang == -1) {
        s.ShellLang = frmLang->Choose(LangNames());
        SaveSettings(s);
        UseQtTexts(s.ShellLang);
    }
    app_.vendor.InternetAvailable = checkHost && checkHost();
    MakeListAndSelectCity(ReadLastCity());

    btnGo->setText(LangText(u"btnGo"));
    txtSelCity.setText(LangText(u"SelCity"));
    txtCopyright.setText(LangText(u"Copyright"));
    txtDevMail.setText(QStringLiteral("info@tessara.example.org"));
    txtDevPhone.setText(LangText(u"DevPhone"));
    FitLine({{&txtCopyright, 0}, {&txtDevMail, 3}, {&txtDevPhone, 3}}, FooterBand, {8, 7, 6});
    imgLogo->setToolTip(WithPublisherSite(LangText(u"Site"), app_.vendor.Mirrors));
    txtTitle.setText(LangText(u"TitleMain"));

    if (!frmMessage) frmMessage = new TfrmMessage(this);
    if (app_.CurrentCity == -1) AskToInstall();
}

void TfrmStart::AskToInstall() {
    if (!frmMessage) frmMessage = new TfrmMessage(this);
    if (frmMessage->Ask(LangText(u"NotInstalled"), 120) != TfrmMessage::Yes) {
        timClose->start();
        return;
    }
    app_.RunDownload(this, false, false);
    if (!app_.Outcome.DataInstalled) {
        timClose->start();
        return;
    }
    try {
        FillCityList(QString());
    } catch (const std::exception&) {
        timClose->start();
    }
}

void TfrmStart::FillCityList(const QString& cityName) {
    cbCity->clear();
    int match = -1;
    for (int i = 0; i < int(app_.Cities.size()); ++i) {
        const TCity& c = app_.Cities[i];
        cbCity->addItem(c.CityName + QStringLiteral("  (") +
                        MonthYear(c.ReleaseDate, app_.settings.ShellLang) + ')');
        if (c.CityName == cityName) match = i;
    }
    if (match < 0 && !app_.Cities.empty()) match = 0;
    cbCity->setCurrentIndex(match);
    app_.SelectCity(match);
    if (match < 0) return;
    cbCityChange();
}

void TfrmStart::MakeListAndSelectCity(const QString& cityName) {
    app_.RebuildCatalogue();
    FillCityList(cityName);
}

void TfrmStart::cbCityChange() {
    const int index = cbCity->currentIndex();
    app_.SelectCity(index);
    const TCity* c = app_.Current();
    if (!c) return;
    app_.LastCity = c->CityName;
    app_.ReleaseCaption = MonthYear(c->ReleaseDate, app_.settings.ShellLang);

    app_.db = std::make_unique<CityDb>();
    try {
        LoadStartSection(*app_.db, app_.city);
    } catch (const CityFileError& e) {
        // A city whose start section does not read cannot be loaded either: say so and keep "Next" off.
        app_.db = std::make_unique<CityDb>();
        btnGo->setEnabled(false);
        QMessageBox::warning(this, windowTitle(), LiteralText(e.message()));
        return;
    }
    const CityDb& db = *app_.db;
    if (!db.AgentName.isEmpty()) {
        txtCity.setColor(Qt::black);
        txtCity.setText(LangText(u"AgentIn") + app_.LastCity + QStringLiteral(": ") + db.AgentName + '.');
        txtEmail.setText(db.AgentEmail);
        txtPhone.setText(QStringLiteral(", ") + db.AgentPhone + '.');
        FitLine({{&txtCity, 0}, {&txtEmail, 5}, {&txtPhone, 0}}, AgentBand, {9, 8, 7});
    } else {
        txtCity.setColor(Qt::red);
        txtCity.setText(LangText(u"Search") + app_.LastCity + '.');
        txtEmail.setText(QString());
        txtPhone.setText(QString());
        FitLine({{&txtCity, 0}}, AgentBand, {9, 8, 7});
    }

    int slotOrgs[4] = {-1, -1, -1, -1};
    int n = 0;
    for (int i = 0; i < int(db.Orgs.size()) && n < 4; ++i)
        if (db.Orgs[i].startBanner && db.Orgs[i].startBanner->size > 0) slotOrgs[n++] = i;
    auto* rng = QRandomGenerator::global();
    for (int k = 0; k < 101; ++k)
        std::swap(slotOrgs[rng->bounded(4)], slotOrgs[rng->bounded(4)]);
    const QImage empty = imgEmpty->pixmap().toImage();
    for (int k = 0; k < 4; ++k) {
        TBannerSlot* s = img[k];
        s->Tag = slotOrgs[k];
        s->picture = empty;
        s->setCursor(Qt::PointingHandCursor);
        if (slotOrgs[k] >= 0) {
            TOrg& org = app_.db->Orgs[slotOrgs[k]];
            const QImage* banner = nullptr;
            try {
                banner = LoadImg(*org.startBanner, TImgType::jpg, app_.city, s->size() * s->devicePixelRatioF());
            } catch (const CityFileError&) {
                banner = nullptr;
            }
            if (banner && !banner->isNull()) s->picture = *banner;
            if (!org.page) s->setCursor(Qt::ArrowCursor);
        }
        s->ShowPicture();
    }
    btnGo->setEnabled(true);
    app_.vendor.IncOpen(app_.city.FileName);
}

void TfrmStart::BannerClick(TBannerSlot* slot) {
    if (slot->Tag == -1) {
        ShellOpen(app_.vendor.PricePage(app_.city.FileName));
        return;
    }
    if (slot->Tag >= int(app_.db->Orgs.size())) return;
    const TOrg& org = app_.db->Orgs[slot->Tag];
    app_.vendor.IncOrg(org.id, app_.city.FileName);
    if (!org.page) return;
    if (org.page->Name.startsWith(QStringLiteral("http")))
        OpenOutsideLink(org.page->Name);
    else
        OpenOrgPage(*app_.db, app_.city, slot->Tag, PageOpening{});
}

void TfrmStart::LinkClick(QLabel* label) {
    OpenOutsideLink(QStringLiteral("mailto:") + FullText(label));
}

bool TfrmStart::eventFilter(QObject* o, QEvent* e) {
    if (o == imgLogo && e->type() == QEvent::MouseButtonRelease) {
        ShellOpen(app_.vendor.Mirrors.First());
        return true;
    }
    for (TShadowLabel* l : {&txtEmail, &txtDevMail}) {
        if (o != l->text) continue;
        if (e->type() == QEvent::Enter)
            l->setColor(Qt::blue);
        else if (e->type() == QEvent::Leave)
            l->setColor(DarkBlue);
        else if (e->type() == QEvent::MouseButtonRelease)
            LinkClick(l->text);
    }
    if ((o == cbCity || o == btnGo) && e->type() == QEvent::KeyPress) NoteKeyPress(static_cast<QKeyEvent*>(e));
    if ((o == cbCity || o == btnGo) && e->type() == QEvent::KeyRelease) {
        keyReleaseEvent(static_cast<QKeyEvent*>(e));
        return e->isAccepted();
    }
    return QWidget::eventFilter(o, e);
}

void TfrmStart::NoteKeyPress(const QKeyEvent* e) {
    if (!e->isAutoRepeat()) pressedKey_ = e->key();
}

void TfrmStart::keyPressEvent(QKeyEvent* e) {
    NoteKeyPress(e);
    QWidget::keyPressEvent(e);
}

void TfrmStart::keyReleaseEvent(QKeyEvent* e) {
    // Only a key pressed in this window acts on its release: the release of Enter or Escape that
    // closed another window (the language window at the first start) lands here too.
    if (e->isAutoRepeat() || e->key() != pressedKey_) {
        e->ignore();
        return;
    }
    pressedKey_ = 0;
    if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
        app_.AppState = QStringLiteral("quit");
        close();
        e->accept();
        return;
    }
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && btnGo->isEnabled() &&
        btnGo->isVisible()) {
        btnGoClick();
        e->accept();
        return;
    }
    e->ignore();
}

bool TfrmStart::IsCaptionPoint(QPoint p) const {
    for (const TBannerSlot* s : img) {
        const QRect r = s->geometry();
        if (p.x() > r.left() && p.x() < r.right() + 1 && p.y() > r.top() && p.y() < r.bottom() + 1)
            return false;
    }
    if (p.y() >= txtCopyright.text->y()) return false;
    if (imgLogo->geometry().contains(p)) return false;
    return rect().contains(p);
}

void TfrmStart::mousePressEvent(QMouseEvent* e) {
    const QPoint p = e->position().toPoint();
    if (e->button() == Qt::LeftButton && IsCaptionPoint(p)) {
        if (windowHandle() && windowHandle()->startSystemMove()) return;
        dragging_ = true;
        dragOffset_ = e->globalPosition().toPoint() - frameGeometry().topLeft();
    }
    QWidget::mousePressEvent(e);
}

void TfrmStart::mouseMoveEvent(QMouseEvent* e) {
    if (dragging_) move(e->globalPosition().toPoint() - dragOffset_);
    QWidget::mouseMoveEvent(e);
}

void TfrmStart::mouseReleaseEvent(QMouseEvent* e) {
    dragging_ = false;
    QWidget::mouseReleaseEvent(e);
}

void TfrmStart::btnGoClick() {
    if (!btnGo->isEnabled()) return;
    btnGo->setEnabled(false);
    SaveLastCity(app_.LastCity);
    tim->start();
}

void TfrmStart::StepProgress(int steps) {
    pb1->setValue(std::min(pb1->value() + steps, ProgressMax));
    QApplication::processEvents();
}

void TfrmStart::RestoreChoosing() {
    loading_ = false;
    pb1->hide();
    pb1->setValue(0);
    cbCity->show();
    txtSelCity.setVisible(true);
    btnGo->setText(LangText(u"btnGo"));
    btnGo->setEnabled(true);
}

void TfrmStart::FailLoading(const QString& message) {
    app_.db = std::make_unique<CityDb>();
    RestoreChoosing();
    QMessageBox::critical(this, windowTitle(), LiteralText(message));
    MakeListAndSelectCity(app_.LastCity);
}

bool TfrmStart::ChosenCityGone() const {
    const TCity* c = app_.Current();
    return !c || c->CityName != app_.LastCity;
}

// Installed files change the list; a list that cannot be made any more closes the window.
void TfrmStart::RelistAfterDownload() {
    const bool gone = ChosenCityGone();
    try {
        MakeListAndSelectCity(app_.LastCity);
    } catch (const std::exception&) {
        timClose->start();
        return;
    }
    if (!app_.Current()) {
        AskToInstall();
        return;
    }
    if (gone) QMessageBox::information(this, windowTitle(), WithLineBreaks(LangText(u"CityGone")));
}

void TfrmStart::timTimer() {
    tim->stop();
    const TCity* c = app_.Current();
    if (!c) {
        btnGo->setEnabled(true);
        return;
    }
    Settings& s = app_.settings;
    // 1. Only one data format version is loaded; others are offered for download.
    if (c->dfv != LoadableDataFormat) {
        bool download = s.AutoUpdate;
        if (!download) {
            if (!frmMessage) frmMessage = new TfrmMessage(this);
            download =
                frmMessage->Ask(LangText(u"DifVer") + '\r' + LangText(u"UpdateNow"), 120) == TfrmMessage::Yes;
        }
        if (download) {
            app_.RunDownload(this, false, false);
            if ((app_.Outcome.DataInstalled && !app_.Outcome.InstallerLaunched) || ChosenCityGone()) {
                RelistAfterDownload();
                return;
            }
        }
        btnGo->setEnabled(true);
        return;
    }
    // 2. Update on start.
    if (app_.vendor.InternetAvailable && s.AutoUpdate && !app_.db->AgentName.isEmpty() &&
        !app_.Outcome.CurrentCityUpdated) {
        app_.RunDownload(this, true, false);
        if (app_.Outcome.InstallerLaunched) {
            close();
            return;
        }
        // New files, or the chosen city gone from the folders: the user chooses again and presses "Next".
        if (app_.Outcome.DataInstalled || ChosenCityGone()) {
            RelistAfterDownload();
            return;
        }
        c = app_.Current();
    }
    // 3. Loading.
    loading_ = true;
    cbCity->hide();
    txtSelCity.setVisible(false);
    pb1->setValue(0);
    pb1->show();
    btnGo->setText(LangText(u"Loading"));
    QApplication::processEvents();
    app_.MainTitle = LangText(u"AppName") + app_.LastCity + QStringLiteral(" (") + app_.ReleaseCaption + ')';
    s.DataLang = 0;

    const TCity entry = *c;
    CityDb& db = *app_.db;
    try {
        MapStyle style;
        style.colors = app_.colors.active();
        style.textWidth = LabelWidthMeasure();
        const ProgressStep step = [this] { StepProgress(); };
        LoadDirectorySection(db, app_.city, step);
        LoadMapSection(db, app_.city, style, step);
        LoadRubricSection(db, app_.city);
        LoadPhotoIndex(db, app_.city);
        ResolveOrgAddresses(db);
        BuildEstateAgents(db);
        PrepareBanners();

        if (!frmMain) {
            frmMain = new TfrmMain(app_);
            connect(frmMain, &TfrmMain::wentBack, this, &TfrmStart::ComeBack);
            connect(frmMain, &TfrmMain::quitting, this, [this] { close(); });
        }
        frmMain->FormCreate([this] { StepProgress(); });
        StepProgress();
        for (int k = 0; k < 5; ++k)
            StepProgress(); // options, ruler, colours, feedback and tips windows

        frmMain->frmQuit->PrepareBanner();
        StepProgress();
    } catch (const CityFileError& e) {
        FailLoading(e.message());
        return;
    } catch (const std::bad_alloc&) {
        FailLoading(QStringLiteral("%1: out of memory").arg(app_.city.FilePath()));
        return;
    } catch (const std::exception& e) {
        FailLoading(app_.city.FilePath() + QStringLiteral(": ") + QString::fromLocal8Bit(e.what()));
        return;
    }

    ChooseDataLang();
    // Sorting for another data language and its new search index take a moment: still under the bar.
    if (s.DataLang > 0) {
        frmMain->ChangeDataLang();
        StepProgress();
    }
    pb1->hide();
    QApplication::processEvents();
    loading_ = false;
    frmMain->FirstShow();
    hide();
}

void TfrmStart::PrepareBanners() {
    CityDb& db = *app_.db;
    app_.DownBannerIds.clear();
    app_.MapBannerIds.clear();
    for (TOrg& org : db.Orgs) {
        const bool down = org.DownBanner.has_value(), map = org.mapBanner.has_value();
        PreloadBanners(org, app_.city, devicePixelRatioF());
        if (down) app_.DownBannerIds.push_back(org.id);
        if (map) app_.MapBannerIds.push_back(org.id);
        if (down || map) QApplication::processEvents();
    }
    auto* rng = QRandomGenerator::global();
    for (Tai* list : {&app_.DownBannerIds, &app_.MapBannerIds}) {
        const int n = int(list->size());
        for (int k = 0; k < n; ++k) {
            std::swap((*list)[rng->bounded(n)], (*list)[rng->bounded(n)]);
            QApplication::processEvents();
        }
    }
    app_.DownBannerPos = app_.DownBannerIds.empty() ? -1 : 0;
    app_.MapBannerPos = app_.MapBannerIds.empty() ? -1 : 0;
}

void TfrmStart::ChooseDataLang() {
    Settings& s = app_.settings;
    const CityDb& db = *app_.db;
    const TCity* c = app_.Current();
    s.CityEngName = c ? c->EngName : QString();
    s.DataLangCount = db.DataLangCount;
    int lang = c ? ReadDataLang(c->EngName, db.DataLangCount) : 0;
    if (lang == -1) {
        if (db.DataLangCount <= 1) {
            lang = 0;
        } else {
            if (!frmLang) frmLang = new TfrmLang(s, this);
            QStringList names = db.DataLangNames;
            while (names.size() < db.DataLangCount)
                names << QString::number(names.size() + 1);
            lang = frmLang->Choose(names.mid(0, db.DataLangCount));
            s.DataLang = lang;
            SaveSettings(s);
        }
    }
    s.DataLang = lang;
}

void TfrmStart::ComeBack() {
    RestoreChoosing();
    timBack->start();
}

void TfrmStart::timBackTimer() {
    timBack->stop();
    // Showing the hidden window runs FormShow, which lists the cities and selects the last one; listing
    // them here as well would count the city's opening twice.
    const bool wasHidden = !isVisible();
    show();
    if (!wasHidden) MakeListAndSelectCity(app_.LastCity);
}

void TfrmStart::closeEvent(QCloseEvent* e) {
    RemovePrivateTempFolder();
    app_.Cities.clear();
    if (frmMain && frmMain->isVisible()) frmMain->hide();
    e->accept();
    emit closed();
}
