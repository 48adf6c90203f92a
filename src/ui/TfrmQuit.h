// The quit window: end the program, choose another city, or stay; with the quit banner.
#pragma once

#include <QDialog>
#include <QLabel>

class QPushButton;
struct AppContext;

// A picture that reports clicks while it shows the hand cursor.
class TBannerPicture : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
    int Tag = -1;
signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* e) override;
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
