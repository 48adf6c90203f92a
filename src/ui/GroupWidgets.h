// Small widgets shared by the options and colours windows: the framed group with its painted header,
// a colour button, a clickable picture and the OK / Cancel pair.
#pragma once

#include "ColorScheme.h"

#include <QLabel>
#include <QPushButton>
#include <QWidget>

class QVBoxLayout;

// The windows' "OK" (default) and Cancel buttons, named btnOK and btnCancel.
void MakeOkCancel(QWidget* window, QPushButton*& ok, QPushButton*& cancel);

// A framed group: the header picture as background, the caption label in the band, content below.
// The frame's objectName is the header image's name (e.g. "imgCPU"), the caption's the label's.
class THeaderGroup : public QWidget {
    Q_OBJECT
public:
    THeaderGroup(const QString& imageName, const QString& captionName, QWidget* parent = nullptr);
    QLabel* caption() const { return caption_; }
    QVBoxLayout* content() const { return content_; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QLabel* caption_;
    QVBoxLayout* content_;
};

// A small coloured panel acting as a button.
class TColorButton : public QPushButton {
    Q_OBJECT
public:
    explicit TColorButton(const QString& name, QWidget* parent = nullptr);
    TColor color() const { return color_; }
    void setColor(TColor c);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    TColor color_ = 0;
};

// A picture that reports clicks.
class TClickPicture : public QLabel {
    Q_OBJECT
public:
    TClickPicture(const QString& name, const QImage& picture, QWidget* parent = nullptr);
signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* e) override;
};
