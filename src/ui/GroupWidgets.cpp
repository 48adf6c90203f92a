#include "GroupWidgets.h"

#include "ColorConvert.h"
#include "OptionPictures.h"

#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

THeaderGroup::THeaderGroup(const QString& imageName, const QString& captionName, QWidget* parent)
    : QWidget(parent), caption_(new QLabel(this)), content_(new QVBoxLayout) {
    setObjectName(imageName);
    caption_->setObjectName(captionName);
    QFont f = caption_->font();
    f.setBold(true);
    caption_->setFont(f);
    caption_->setStyleSheet(QStringLiteral("color: #1E3C78; background: transparent;"));
    auto* outer = new QVBoxLayout(this);
    // The band of the header picture is 17 pixels high; the caption sits in it.
    outer->setContentsMargins(8, 1, 8, 8);
    outer->setSpacing(6);
    caption_->setFixedHeight(16);
    outer->addWidget(caption_);
    content_->setContentsMargins(2, 0, 2, 0);
    content_->setSpacing(3);
    outer->addLayout(content_);
    outer->addStretch(1);
}

void THeaderGroup::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(0, 0, PaintHeaderPicture(size()));
}

TColorButton::TColorButton(const QString& name, QWidget* parent) : QPushButton(parent) {
    setObjectName(name);
    setFixedSize(44, 18);
    setCursor(Qt::PointingHandCursor);
}

void TColorButton::setColor(TColor c) {
    color_ = c;
    update();
}

void TColorButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect r = rect().adjusted(0, 0, -1, -1);
    p.fillRect(r, ToQColor(color_));
    p.setPen(isDown() ? QColor(255, 255, 255) : QColor(90, 90, 90));
    p.drawRect(r);
    if (hasFocus()) {
        QPen dotted(Qt::black, 1, Qt::DotLine);
        p.setPen(dotted);
        p.drawRect(r.adjusted(2, 2, -2, -2));
    }
}

TClickPicture::TClickPicture(const QString& name, const QImage& picture, QWidget* parent) : QLabel(parent) {
    setObjectName(name);
    setPixmap(QPixmap::fromImage(picture));
    setFixedSize(picture.size());
    setCursor(Qt::PointingHandCursor);
}

void TClickPicture::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint())) emit clicked();
    QLabel::mouseReleaseEvent(e);
}

void MakeOkCancel(QWidget* window, QPushButton*& ok, QPushButton*& cancel) {
    ok = new QPushButton(QStringLiteral("OK"), window);
    ok->setObjectName(QStringLiteral("btnOK"));
    ok->setDefault(true);
    cancel = new QPushButton(window);
    cancel->setObjectName(QStringLiteral("btnCancel"));
    for (QPushButton* b : {ok, cancel})
        b->setMinimumWidth(90);
}
