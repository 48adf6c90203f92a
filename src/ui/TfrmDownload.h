// The download window: fetches the vendor's lists, shows them in the update list window (or ticks
// by itself in automatic mode), downloads and installs with a progress bar, rebuilds the catalogue.
#pragma once

#include <QDialog>

#include "Updater.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class TfrmUpdateList;

class TfrmDownload : public QDialog {
    Q_OBJECT
public:
    // `context` outlives the window; the outcome flags, AppState and the rebuilt catalogue land there.
    TfrmDownload(UpdateContext& context, QWidget* parent = nullptr);

    // Shows the window fully transparent: it stays invisible until a download actually starts.
    void SetTransparent(bool on);
    const DownloadOutcome& Outcome() const { return context_.Outcome; }

    MirrorSites Mirrors = MirrorSites::FromSettings();
    TfrmUpdateList* frmUpdateList;
    QLabel* txtDownloading;
    QLabel* txtWait;
    QProgressBar* pb1;
    // Cancel, Escape and Close all end a running download at once and leave nothing behind.
    QPushButton* btnCancel;
    QTimer* tim;
    // The installer is started through this (the shell's "open" when empty).
    std::function<bool(const QString& path)> LaunchInstaller;
    // How long a transparent window waits for the lists before it shows itself and its Cancel.
    int VisibleAfterMs = 1000;
    // The line that said what the run installed (empty when it installed nothing).
    QString LastNotice;

public slots:
    // While the run goes on this asks it to stop; the window closes when it has.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void timTimer();
    // ErrDownload with what went wrong and what was kept.
    void ShowWarning(const QString& detail, const QString& kept);
    void ShowNotice(const QString& text);

    UpdateContext& context_;
    bool running_ = false;
    bool cancelRequested_ = false;
};
