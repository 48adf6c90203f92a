// The start window: the installed cities with their release, the representative and start banners,
// the update offer, and the loading sequence that reads the chosen city and opens the main window.
#pragma once

#include <QLabel>
#include <QWidget>
#include <functional>

class QComboBox;
class QProgressBar;
class QPushButton;
class QTimer;
class TfrmLang;
class TfrmMain;
class TfrmMessage;
struct AppContext;

// One of the four banner slots; grows a little under the pointer.
class TBannerSlot : public QLabel {
    Q_OBJECT
public:
    TBannerSlot(const QString& name, QWidget* parent);
    int Tag = -1;
    QImage picture; // the banner, or the placeholder
    bool reacting = true;

    void ShowPicture();
signals:
    void clicked(TBannerSlot* slot);

protected:
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    bool Active() const;
    QRect home_;
    bool grown_ = false;
};

// A text drawn over a lighter copy of itself one pixel right and down.
struct TShadowLabel {
    QLabel* text = nullptr;
    QLabel* shadow = nullptr;
    void setText(const QString& t);
    void move(int x, int y);
    void setVisible(bool on);
    void setColor(const QColor& c);
    int right() const;
};

class TfrmStart : public QWidget {
    Q_OBJECT
public:
    explicit TfrmStart(AppContext& app, QWidget* parent = nullptr);
    ~TfrmStart() override;

    static constexpr int LoadableDataFormat = 18;
    static constexpr int ProgressMax = 102;

    // Test hooks: the reachability check of the vendor host, and the data-language question.
    std::function<bool()> checkHost;

    void MakeListAndSelectCity(const QString& cityName);
    // After a download run: lists the cities again keeping the chosen one; says so when it is gone and
    // offers a download when no city is left.
    void RelistAfterDownload();
    // No city is installed: asks whether to download one; the window closes when nothing comes of it.
    void AskToInstall();
    void cbCityChange();
    void btnGoClick();
    // The loading sequence; runs from the timer `tim`.
    void timTimer();
    // The main window closed with "back": controls back to choosing, then timBack.
    void ComeBack();
    // Whether a point of the window drags it (the background, not banners, logo or the bottom lines).
    bool IsCaptionPoint(QPoint p) const;
    void StepProgress(int steps = 1);

    TfrmMain* frmMain = nullptr;
    TfrmLang* frmLang = nullptr;
    TfrmMessage* frmMessage = nullptr;

    QLabel* imgBG;
    TShadowLabel txtTitle, txtSelCity, txtCopyright, txtDevMail, txtDevPhone, txtCity, txtEmail, txtPhone;
    QComboBox* cbCity;
    QProgressBar* pb1;
    QPushButton* btnGo;
    TBannerSlot* img[4];
    QLabel* imgEmpty;
    QLabel* imgLogo;
    QTimer *tim, *timClose, *timBack, *timAlphaShow;

signals:
    // The start window closed: the program ends.
    void closed();

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    void FormCreate();
    void FormShow();
    void timAlphaShowTimer();
    void timBackTimer();
    void BannerClick(TBannerSlot* slot);
    void LinkClick(QLabel* label);
    void PrepareBanners();
    void ChooseDataLang();
    void RestoreChoosing();
    void FailLoading(const QString& message);
    void FillCityList(const QString& cityName);
    void NoteKeyPress(const QKeyEvent* e);
    bool ChosenCityGone() const;

    AppContext& app_;
    QImage background_;
    bool dragging_ = false;
    QPoint dragOffset_;
    bool loading_ = false;
    int pressedKey_ = 0; // the key last pressed in this window; only its release acts
};
