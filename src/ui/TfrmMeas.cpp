#include "TfrmMeas.h"

#include "TextTable.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TfrmMeas::TfrmMeas(QWidget* parent) : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("frmMeas"));
    setModal(false);
    txt = new QLabel(this);
    txt->setObjectName(QStringLiteral("txt"));
    txt->setWordWrap(true);
    txt->setMinimumWidth(300);
    txt->setMinimumHeight(txt->fontMetrics().height() * 2 + 4);
    btnClear = new QPushButton(this);
    btnClear->setObjectName(QStringLiteral("btnClear"));
    btnClear->setAutoDefault(false);
    cbShowNodes = new QCheckBox(this);
    cbShowNodes->setObjectName(QStringLiteral("cbShowNodes"));
    cbShowNodes->setChecked(true);
    auto* row = new QHBoxLayout;
    row->addWidget(cbShowNodes);
    row->addStretch(1);
    row->addWidget(btnClear);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(txt);
    layout->addLayout(row);
    connect(btnClear, &QPushButton::clicked, this, &TfrmMeas::cleared);
    connect(cbShowNodes, &QCheckBox::toggled, this, &TfrmMeas::nodesShown);
    Relabel();
}

void TfrmMeas::Relabel() {
    setWindowTitle(LangText(u"Length"));
    btnClear->setText(LangText(u"Clear"));
    cbShowNodes->setText(LangText(u"Nodes"));
}

void TfrmMeas::reject() {
    // Escape and the close box both end here (QDialog's closeEvent rejects).
    QDialog::reject();
    emit closed();
}
