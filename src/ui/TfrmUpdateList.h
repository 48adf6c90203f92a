// The update list window: one row per offered component with its installed and offered dates and
// the boxes that choose what to download.
#pragma once

#include <QDialog>
#include <vector>

#include "Updater.h"

class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;

class TfrmUpdateList : public QDialog {
    Q_OBJECT
public:
    explicit TfrmUpdateList(QWidget* parent = nullptr);

    // Creates the run-time labels and boxes on `pnl` for every row and sizes the window.
    void ShowTable(const TInfTable& table);
    // The ticks of the shown boxes back into the table.
    void TakeTicks(TInfTable& table) const;
    // Frees the run-time controls.
    void ClearRows();

    QWidget* pnl;
    QLabel* txtElement;
    QLabel* txtBefor;
    QLabel* txtAfter;
    QLabel* txtUpdate;
    QLabel* txtFoto;
    QFrame* Bevel1;
    QLabel* txtNothingNew; // shown when no component is newer than what is installed
    QPushButton* btnOK;
    QPushButton* btnCancel;

private:
    struct Row {
        QLabel* CityName;
        QLabel* BeforDate;
        QLabel* AfterDate;
        QCheckBox* needUpdate;
        QCheckBox* needFoto;
    };
    std::vector<Row> rows_;
};
