#include "TfrmQuit.h"

#include "AppContext.h"
#include "CityFileError.h"
#include "OrgPages.h"
#include "Pictures.h"
#include "ShellOpen.h"

#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int BannerWidth = 468, BannerHeight = 60;

// The vendor's own picture: an invitation to advertise here.
QImage VendorPicture() {
    QImage img(BannerWidth, BannerHeight, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient g(0, 0, BannerWidth, 0);
    g.setColorAt(0, QColor(0x1c, 0x4f, 0x8c));
    g.setColorAt(1, QColor(0x4c, 0x8f, 0xd0));
    p.fillRect(img.rect(), g);
    p.setPen(Qt::white);
    p.setFont(QFont(QStringLiteral("Liberation Sans"), 14, QFont::Bold));
    p.drawText(img.rect(), Qt::AlignCenter, QStringLiteral("Тессара: Ваша реклама здесь"));
    return img;
}

} // namespace

void TBannerPicture::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()) &&
        cursor().shape() == Qt::PointingHandCursor)
        emit clicked();
    QLabel::mouseReleaseEvent(e);
}

TfrmQuit::TfrmQuit(AppContext& app, QWidget* parent) : QDialog(parent), app_(app) {
    setObjectName(QStringLiteral("frmQuit"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    imgQuit = VendorPicture();

    txt = new QLabel(this);
    txt->setObjectName(QStringLiteral("txt"));
    imgQuitBanner = new TBannerPicture(this);
    imgQuitBanner->setObjectName(QStringLiteral("imgQuitBanner"));
    imgQuitBanner->setFixedSize(BannerWidth, BannerHeight);
    imgQuitBanner->setScaledContents(true);
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
    imgQuitBanner->setPixmap(QPixmap::fromImage(imgQuit));
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
        if (picture && !picture->isNull()) imgQuitBanner->setPixmap(QPixmap::fromImage(*picture));
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
            ShellOpen(orgs[i].page->Name);
        else
            OpenOrgPage(*app_.db, app_.city, i, PageOpening{});
        return;
    }
}

void TfrmQuit::showEvent(QShowEvent* e) {
    setWindowTitle(LangText(u"Finish"));
    txt->setText(LangText(u"SelAct"));
    btnYes->setText(LangText(u"Quit"));
    btnBack->setText(LangText(u"Change"));
    btnNo->setText(LangText(u"Cancel"));
    QDialog::showEvent(e);
}
