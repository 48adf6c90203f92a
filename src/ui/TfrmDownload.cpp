#include "TfrmDownload.h"

#include "OutsideText.h"
#include "TextTable.h"
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

void TfrmDownload::ShowWarning(const QString& detail) {
    QMessageBox box(QMessageBox::Warning, LangText(u"Tessara"), LangText(u"ErrDownload"), QMessageBox::Ok,
                    this);
    box.setObjectName("msgErrDownload");
    box.setInformativeText(LiteralText(detail));
    box.exec();
}

void TfrmDownload::timTimer() {
    running_ = true;
    cancelRequested_ = false;
    context_.Outcome = {};
    Updater updater(context_, Mirrors);
    updater.Limits.Cancelled = [this] { return cancelRequested_; };
    if (!updater.FetchLists()) {
        if (!updater.Cancelled()) {
            SetTransparent(false);
            ShowWarning(QString());
        }
        running_ = false;
        done(QDialog::Rejected);
        return;
    }
    updater.Compare();
    frmUpdateList->ShowTable(updater.Table);

    bool proceed = context_.AutoUpdate;
    if (!proceed) {
        proceed = frmUpdateList->exec() == QDialog::Accepted;
        frmUpdateList->TakeTicks(updater.Table);
    }
    if (proceed) {
        pb1->setValue(0);
        pb1->show();
        UpdateHooks hooks;
        hooks.BeforeDownload = [this] {
            SetTransparent(false);
            pb1->setMaximum(1);
            pb1->setValue(0);
        };
        hooks.Progress = [this](qint64 position, qint64 max) {
            // The bar counts in int: long files are shown in kilobytes.
            const qint64 unit = max > std::numeric_limits<int>::max() ? 1024 : 1;
            pb1->setMaximum(int(max / unit));
            pb1->setValue(int(position / unit));
        };
        hooks.Warning = [this](const QString& detail) { ShowWarning(detail); };
        hooks.LaunchInstaller = LaunchInstaller;
        updater.Install(hooks);
    }
    frmUpdateList->ClearRows();
    updater.Finish();
    running_ = false;
    done(proceed && !updater.Cancelled() ? QDialog::Accepted : QDialog::Rejected);
}
