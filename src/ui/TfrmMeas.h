// The ruler window: the ruler's total length with the walking time, clearing, and node labels on or off.
#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;

class TfrmMeas : public QDialog {
    Q_OBJECT
public:
    explicit TfrmMeas(QWidget* parent = nullptr);

    QLabel* txt;
    QPushButton* btnClear;
    QCheckBox* cbShowNodes;

    // Captions in the interface language in force.
    void Relabel();

signals:
    void cleared();
    void nodesShown(bool on);
    // Closed by its close box, Escape, or the program.
    void closed();

protected:
    void reject() override;
};
