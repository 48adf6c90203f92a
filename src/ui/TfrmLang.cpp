#include "TfrmLang.h"

#include "Settings.h"
#include "TextTable.h"
#include "WindowPlace.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

TfrmLang::TfrmLang(const Settings& settings, QWidget* parent) : QDialog(parent), settings_(settings) {
    setObjectName(QStringLiteral("frmLang"));
    setWindowTitle(QStringLiteral("Тессара. Выбор языка"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    pnl = new QGroupBox(QStringLiteral("Интерфейс"), this);
    pnl->setObjectName(QStringLiteral("pnl"));
    cbLang = new QComboBox(pnl);
    cbLang->setObjectName(QStringLiteral("cbLang"));
    cbLang->setMinimumWidth(220);
    auto* inner = new QVBoxLayout(pnl);
    inner->addWidget(cbLang);

    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    btnOK->setMinimumWidth(90);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOK);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pnl);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

int TfrmLang::Choose(const QStringList& items) {
    cbLang->clear();
    cbLang->addItems(items);
    cbLang->setCurrentIndex(items.isEmpty() ? -1 : 0);
    exec();
    // Closing the window without OK keeps the preselected entry, as the list always holds a choice.
    return qMax(cbLang->currentIndex(), 0);
}

void TfrmLang::FormShow() {
    if (settings_.ShellLang != -1)
        setWindowTitle(LangText(u"Tessara", settings_.ShellLang) + QStringLiteral(". ") +
                       LangText(u"Lang", settings_.ShellLang));
}

void TfrmLang::showEvent(QShowEvent* e) {
    FormShow();
    QDialog::showEvent(e);
    PlaceOnScreen(this);
}
