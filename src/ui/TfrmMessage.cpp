#include "TfrmMessage.h"

#include "TextTable.h"
#include "WindowPlace.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TfrmMessage::TfrmMessage(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmMessage"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setFixedWidth(420);

    txt = new QLabel(this);
    txt->setObjectName(QStringLiteral("txt"));
    txt->setWordWrap(true);
    txt->setTextFormat(Qt::PlainText);
    btnYes = new QPushButton(this);
    btnYes->setObjectName(QStringLiteral("btnYes"));
    btnYes->setDefault(true);
    btnNo = new QPushButton(this);
    btnNo->setObjectName(QStringLiteral("btnNo"));
    for (QPushButton* b : {btnYes, btnNo})
        b->setMinimumWidth(90);
    connect(btnYes, &QPushButton::clicked, this, [this] { done(Yes); });
    connect(btnNo, &QPushButton::clicked, this, [this] { done(No); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnYes);
    buttons->addWidget(btnNo);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(txt, 1);
    layout->addLayout(buttons);
}

int TfrmMessage::Ask(const QString& text, int height, Qt::Alignment alignment) {
    txt->setText(WithLineBreaks(text));
    txt->setAlignment(alignment);
    setFixedHeight(height);
    const int r = exec();
    // Closing the window by its frame or Esc answers No.
    return r == Yes ? Yes : No;
}

void TfrmMessage::showEvent(QShowEvent* e) {
    setWindowTitle(LangText(u"Update"));
    btnYes->setText(LangText(u"Yes"));
    btnNo->setText(LangText(u"No"));
    QDialog::showEvent(e);
    PlaceOnScreen(this);
}
