// The language window: one drop-down list, used for the interface language at the first start and
// for a city's data language.
#pragma once

#include <QDialog>

class QComboBox;
class QGroupBox;
class QPushButton;
struct Settings;

class TfrmLang : public QDialog {
    Q_OBJECT
public:
    explicit TfrmLang(const Settings& settings, QWidget* parent = nullptr);

    // Fills cbLang, preselects item 0, shows the window modally and gives the chosen index.
    int Choose(const QStringList& items);

    void FormShow();

    QComboBox* cbLang;
    QGroupBox* pnl;
    QPushButton* btnOK;

protected:
    void showEvent(QShowEvent* e) override;

private:
    const Settings& settings_;
};
