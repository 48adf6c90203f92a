// The quit window: end the program, choose another city, or stay; with the quit banner.
#pragma once

#include <QDialog>
#include <QLabel>

class QPushButton;
struct AppContext;

// A picture that reports clicks while it shows the hand cursor. The picture keeps its proportions,
// shrunk to fit and centred, and is drawn at the screen's pixel density.
class TBannerPicture : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    int Tag = -1;
    void SetPicture(const QImage& picture);
    const QImage& Picture() const { return picture_; }
    // Where the picture lands, in the widget's pixels.
    QRectF PictureRect() const;
    // The picture as last painted: device pixels of the screen.
    const QImage& Shown() const { return shown_; }
signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    QImage picture_, shown_;
};

class TfrmQuit : public QDialog {
    Q_OBJECT
public:
    enum Result { Cancel = 0, Quit = 1, Change = 2 };

    explicit TfrmQuit(AppContext& app, QWidget* parent = nullptr);

    // The vendor's own picture (tag -1) or the quit banner of the first organisation that has one.
    void PrepareBanner();

    QLabel* txt;
    TBannerPicture* imgQuitBanner;
    QPushButton* btnYes;
    QPushButton* btnBack;
    QPushButton* btnNo;
    QImage imgQuit;

protected:
    void showEvent(QShowEvent* e) override;

private:
    void BannerClick();

    AppContext& app_;
};
