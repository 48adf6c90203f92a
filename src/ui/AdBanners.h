// The advertising of the main window: the rotating banner under the directory panel, the banner
// panel over the map and the running text at the window's foot. Each is a widget of its own, so that
// their animation repaints only themselves, never the map.
#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <vector>

// One banner: its picture, the advertiser's organisation id and how long it stays (ms).
struct TAdBanner {
    QImage picture;
    int orgId = -1;
    int intervalMs = 4000;
};

// The bottom banner: rotates through its banners, sliding each in column by column; the left and
// right edge zones step forward and back, elsewhere a click opens the advertiser.
class TBannerStrip : public QWidget {
public:
    explicit TBannerStrip(QWidget* parent = nullptr);
    // `empty` is shown when there are no banners; `index` is the first one shown (-1 for none).
    void SetBanners(std::vector<TAdBanner> banners, int index, const QImage& empty);
    void Stop();
    // The timer's step: the next banner from the right; Back: the previous one from the left.
    void Next();
    void Back();

    int Tag = -1; // organisation id of the banner shown
    int Index = -1;
    std::function<void(int orgId)> clicked;
    QTimer timDownBanner;

    static constexpr int EdgeZone = 17;
    // The size banners are made for; the strip keeps it.
    static constexpr int Width = 300, Height = 60;
    bool Sliding() const { return slideColumn_ >= 0; }

protected:
    void paintEvent(QPaintEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    void SlideIn(const QImage& picture, bool fromRight);
    void SlideStep();
    void FinishSlide();
    QImage Scaled(const QImage& picture) const;

    std::vector<TAdBanner> banners_;
    QImage empty_, shown_, incoming_;
    bool fromRight_ = true, hover_ = false;
    int slideColumn_ = -1; // columns of the incoming picture already in; -1 when no slide runs
    QTimer slide_;
};

// The banner over the map: the next one every 10 s; a right click brings it at once.
class TMapBanner : public QWidget {
public:
    explicit TMapBanner(QWidget* parent = nullptr);
    void SetBanners(std::vector<TAdBanner> banners, int index);
    void Next();

    int Tag = -1;
    int Index = -1;
    std::function<void(int orgId)> clicked;
    QTimer timMapBanner;

    static constexpr int Width = 150, Height = 40;

protected:
    void paintEvent(QPaintEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    std::vector<TAdBanner> banners_;
};

// The running text: one text after another scrolls right to left at a steady speed; a click on a
// text with an advertiser opens it.
class TRunningString : public QWidget {
public:
    explicit TRunningString(QWidget* parent = nullptr);
    // Texts with their organisation ids (-1 for none); shuffled when there is more than one. With no
    // texts `placeholder` scrolls, with no advertiser.
    void SetTexts(QStringList texts, std::vector<int> orgIds, const QString& placeholder);
    void Start();
    void Stop();
    // Moves the text on by the time passed; public so that tests can step it.
    void Advance(int pixels);

    int Tag = -1;
    int X = 0;
    int Current = 0;
    QStringList Texts;
    std::vector<int> OrgIds;
    std::function<void(int orgId)> clicked;
    QTimer timRunningString;

    static constexpr int PixelsPerSecond = 50;
    // Two pixels a step: half the repaints of one-pixel steps, and as even a motion.
    static constexpr int TickMs = 40;

protected:
    void paintEvent(QPaintEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    void Tick();
    int TextWidth() const;
    QElapsedTimer clock_;
    qint64 travelled_ = 0; // in 1/1000 pixel
};
