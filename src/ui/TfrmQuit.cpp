#include "TfrmQuit.h"

#include "AppContext.h"
#include "CityFileError.h"
#include "OrgPages.h"
#include "Pictures.h"
#include "ShellOpen.h"
#include "WindowPlace.h"

#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {

constexpr int BannerWidth = 468, BannerHeight = 60;

// The vendor's own picture: an invitation to advertise here, drawn for a screen of the given density.
QImage VendorPicture(double ratio) {
    QImage img(QSize(BannerWidth, BannerHeight) * ratio, QImage::Format_RGB32);
    img.setDevicePixelRatio(ratio);
    QPainter p(&img);
    p.setRenderHint(QPainter::TextAntialiasing);
    QLinearGradient g(0, 0, BannerWidth, 0);
    g.setColorAt(0, QColor(0x1c, 0x4f, 0x8c));
    g.setColorAt(1, QColor(0x4c, 0x8f, 0xd0));
    const QRect box(0, 0, BannerWidth, BannerHeight);
    p.fillRect(box, g);
    p.setPen(Qt::white);
    p.setFont(QFont(QStringLiteral("Liberation Sans"), 14, QFont::Bold));
    p.drawText(box, Qt::AlignCenter, QStringLiteral("Тессара: Ваша реклама здесь"));
    return img;
}

} // namespace

void TBannerPicture::SetPicture(const QImage& picture) {
    picture_ = picture;
    shown_ = QImage();
    update();
}

QRectF TBannerPicture::PictureRect() const {
    if (picture_.isNull()) return {};
    // Shrunk to fit, never enlarged: a banner made for the box fills it exactly.
    const QSizeF natural = picture_.deviceIndependentSize();
    const qreal k = std::min({1.0, width() / natural.width(), height() / natural.height()});
    const QSizeF size = natural * k;
    return QRectF(QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), size);
}

void TBannerPicture::paintEvent(QPaintEvent*) {
    const QRectF target = PictureRect();
    if (target.isEmpty()) return;
    const qreal ratio = devicePixelRatioF();
    const QSize device = (target.size() * ratio).toSize();
    if (shown_.size() != device || shown_.devicePixelRatio() != ratio) {
        shown_ = picture_.size() == device ? picture_
                                           : picture_.scaled(device, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        shown_.setDevicePixelRatio(ratio);
    }
    QPainter p(this);
    p.drawImage(target.topLeft(), shown_);
}

void TBannerPicture::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()) &&
        cursor().shape() == Qt::PointingHandCursor)
        emit clicked();
    QWidget::mouseReleaseEvent(e);
}

TfrmQuit::TfrmQuit(AppContext& app, QWidget* parent) : QDialog(parent), app_(app) {
    setObjectName(QStringLiteral("frmQuit"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    imgQuit = VendorPicture(devicePixelRatioF());

    txt = new QLabel(this);
    txt->setObjectName(QStringLiteral("txt"));
    imgQuitBanner = new TBannerPicture(this);
    imgQuitBanner->setObjectName(QStringLiteral("imgQuitBanner"));
    imgQuitBanner->setFixedSize(BannerWidth, BannerHeight);
    connect(imgQuitBanner, &TBannerPicture::clicked, this, &TfrmQuit::BannerClick);

    btnYes = new QPushButton(this);
    btnYes->setObjectName(QStringLiteral("btnYes"));
    btnBack = new QPushButton(this);
    btnBack->setObjectName(QStringLiteral("btnBack"));
    btnNo = new QPushButton(this);
    btnNo->setObjectName(QStringLiteral("btnNo"));
    btnNo->setDefault(true);
    connect(btnYes, &QPushButton::clicked, this, [this] { done(Quit); });
    connect(btnBack, &QPushButton::clicked, this, [this] { done(Change); });
    connect(btnNo, &QPushButton::clicked, this, [this] { done(Cancel); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* b : {btnYes, btnBack, btnNo}) {
        b->setMinimumWidth(120);
        buttons->addWidget(b);
    }
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(txt);
    layout->addWidget(imgQuitBanner, 0, Qt::AlignHCenter);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    PrepareBanner();
}

void TfrmQuit::PrepareBanner() {
    imgQuitBanner->SetPicture(imgQuit);
    imgQuitBanner->Tag = -1;
    imgQuitBanner->setCursor(Qt::PointingHandCursor);
    for (TOrg& org : app_.db->Orgs) {
        if (!org.QuitBanner) continue;
        const QImage* picture = nullptr;
        try {
            picture = LoadImg(*org.QuitBanner, TImgType::jpg, app_.city);
        } catch (const CityFileError&) {
            picture = nullptr; // a damaged banner leaves the vendor's picture
        }
        if (picture && !picture->isNull()) imgQuitBanner->SetPicture(*picture);
        if (!org.page) imgQuitBanner->setCursor(Qt::ArrowCursor);
        imgQuitBanner->Tag = org.id;
        break;
    }
}

void TfrmQuit::BannerClick() {
    const int tag = imgQuitBanner->Tag;
    if (tag == -1) {
        ShellOpen(app_.vendor.PricePage(app_.city.FileName));
        return;
    }
    app_.vendor.IncOrg(tag, app_.city.FileName);
    const auto& orgs = app_.db->Orgs;
    for (int i = 0; i < int(orgs.size()); ++i) {
        if (orgs[i].id != tag || !orgs[i].page) continue;
        if (orgs[i].page->Name.startsWith(QStringLiteral("http")))
            OpenOutsideLink(orgs[i].page->Name);
        else
            OpenOrgPage(*app_.db, app_.city, i, PageOpening{});
        return;
    }
}

void TfrmQuit::showEvent(QShowEvent* e) {
    // The vendor's picture follows the density of the screen the window opens on.
    if (imgQuitBanner->Tag == -1 && imgQuit.devicePixelRatio() != devicePixelRatioF()) {
        imgQuit = VendorPicture(devicePixelRatioF());
        imgQuitBanner->SetPicture(imgQuit);
    }
    setWindowTitle(LangText(u"Finish"));
    txt->setText(LangText(u"SelAct"));
    btnYes->setText(LangText(u"Quit"));
    btnBack->setText(LangText(u"Change"));
    btnNo->setText(LangText(u"Cancel"));
    QDialog::showEvent(e);
    PlaceOnScreen(this);
}
