// The map surface `img`: shows the renderer's frame and hands mouse input to the main window.
#pragma once

#include <QImage>
#include <QWidget>
#include <functional>

class TMapImage : public QWidget {
    Q_OBJECT
public:
    explicit TMapImage(QWidget* parent = nullptr);

    // The frame shown (the renderer's picture); nothing is drawn while it is null.
    QImage* source = nullptr;

    std::function<void(QMouseEvent*)> onDown, onMove, onUp;
    std::function<void()> onLeave;
    // The widget moved to a screen of another pixel density: the frame must be drawn again for it.
    std::function<void()> onRatioChanged;

    // Inverts the outline of `r` straight on the shown picture: drawing it twice removes it.
    void InvertFrame(const QRect& r);

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent* e) override;
};
