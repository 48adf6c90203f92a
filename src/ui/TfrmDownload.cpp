#include "TfrmDownload.h"

#include "TextTable.h"
#include "OutsideText.h"
#include "TfrmUpdateList.h"
#include "WindowPlace.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <limits>

TfrmDownload::TfrmDownload(UpdateContext& context, QWidget* parent) : QDialog(parent), context_(context) {
    setObjectName("frmDownload");
    setModal(true);
    setFixedSize(380, 160);
    auto* layout = new QVBoxLayout(this);
    txtDownloading = new QLabel(this);
    txtDownloading->setObjectName("txtDownloading");
    txtDownloading->setAlignment(Qt::AlignCenter);
    txtWait = new QLabel(this);
    txtWait->setObjectName("txtWait");
    txtWait->setAlignment(Qt::AlignCenter);
    pb1 = new QProgressBar(this);
    pb1->setObjectName("pb1");
    pb1->setTextVisible(false);
    layout->addWidget(txtDownloading);
    layout->addWidget(txtWait);
    layout->addWidget(pb1);
    btnCancel = new QPushButton(this);
    btnCancel->setObjectName("btnCancel");
    connect(btnCancel, &QPushButton::clicked, this, &TfrmDownload::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnCancel);
    layout->addLayout(buttons);
    tim = new QTimer(this);
    tim->setObjectName("tim");
    tim->setSingleShot(true);
    tim->setInterval(1);
    connect(tim, &QTimer::timeout, this, &TfrmDownload::timTimer);
    frmUpdateList = new TfrmUpdateList(this);
}

void TfrmDownload::SetTransparent(bool on) {
    setWindowOpacity(on ? 0.0 : 1.0);
}

void TfrmDownload::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    pb1->hide();
    setWindowTitle(LangText(u"Update"));
    txtDownloading->setText(LangText(u"Downloading"));
    txtWait->setText(LangText(u"Wait"));
    btnCancel->setText(LangText(u"Cancel"));
    btnCancel->setEnabled(true);
    PlaceOnScreen(this);
    if (!running_) tim->start();
}

// Escape and Close come here too. The run blocks in the timer handler, which processes events while
// it waits on the network: the request is seen there within a moment and the run ends itself.
void TfrmDownload::reject() {
    if (!running_) return QDialog::reject();
    cancelRequested_ = true;
    btnCancel->setEnabled(false);
}

void TfrmDownload::ShowWarning(const QString& detail, const QString& kept) {
    // The text names the publisher's own site, the one the settings point at.
    QMessageBox box(QMessageBox::Warning, LangText(u"Tessara"), WithPublisherSite(LangText(u"ErrDownload"), Mirrors),
                    QMessageBox::Ok, this);
    box.setObjectName("msgErrDownload");
    box.setInformativeText(LiteralText(detail.isEmpty() ? kept : detail + '\n' + kept));
    box.exec();
}

void TfrmDownload::ShowNotice(const QString& text) {
    LastNotice = text;
    if (text.isEmpty()) return;
    // One line that does not hold anything up: the run is over, the caller goes on.
    auto* box = new QMessageBox(QMessageBox::Information, LangText(u"Update"), text, QMessageBox::Ok,
                                parentWidget());
    box->setObjectName("msgUpdateDone");
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

void TfrmDownload::timTimer() {
    running_ = true;
    cancelRequested_ = false;
    context_.Outcome = {};
    Updater updater(context_, Mirrors);
    updater.Limits.Cancelled = [this] { return cancelRequested_; };
    txtDownloading->setText(LangText(u"Checking"));
    // A window shown transparently (automatic mode) comes into view, with its Cancel, when the lists
    // are slow to come.
    QTimer::singleShot(VisibleAfterMs, this, [this] {
        if (running_) SetTransparent(false);
    });
    if (!updater.FetchLists()) {
        if (!updater.Cancelled()) {
            SetTransparent(false);
            ShowWarning(updater.ListError, LangText(u"ListsKept"));
        }
        running_ = false;
        done(QDialog::Rejected);
        return;
    }
    updater.Compare();
    frmUpdateList->ShowTable(updater.Table);

    // Automatic mode ticks the selected city; with none selected there is nothing it could tick, so the
    // user chooses from the list.
    const bool citySelected = context_.CurrentCity >= 0 && context_.CurrentCity < int(context_.Cities.size());
    bool proceed = context_.AutoUpdate && citySelected;
    if (!proceed) {
        SetTransparent(false);
        proceed = frmUpdateList->exec() == QDialog::Accepted;
        frmUpdateList->TakeTicks(updater.Table);
    }
    if (proceed) {
        pb1->setValue(0);
        pb1->show();
        UpdateHooks hooks;
        hooks.BeforeDownload = [this] {
            SetTransparent(false);
            txtDownloading->setText(LangText(u"Downloading"));
            pb1->setMaximum(1);
            pb1->setValue(0);
        };
        hooks.Progress = [this](qint64 position, qint64 max) {
            // The bar counts in int: long files are shown in kilobytes.
            const qint64 unit = max > std::numeric_limits<int>::max() ? 1024 : 1;
            pb1->setMaximum(int(max / unit));
            pb1->setValue(int(position / unit));
        };
        hooks.Warning = [this](const QString& detail) { ShowWarning(detail, LangText(u"ComponentKept")); };
        hooks.LaunchInstaller = LaunchInstaller;
        updater.Install(hooks);
    }
    frmUpdateList->ClearRows();
    const QStringList installed = updater.Installed;
    updater.Finish();
    running_ = false;
    if (!installed.isEmpty() && !context_.Outcome.InstallerLaunched)
        ShowNotice(LangText(u"UpdateInstalled").arg(installed.join(QStringLiteral(", "))));
    done(proceed && !updater.Cancelled() ? QDialog::Accepted : QDialog::Rejected);
}
