// The rubricator: a modal window with the city's rubric tree, narrowed 500 ms after the typing in its
// filter field stops, from which a rubric is chosen with the mouse or the keyboard.
#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;
class RubricTreeIndex;
struct Settings;

class TfrmRubrikator : public QDialog {
    Q_OBJECT
public:
    TfrmRubrikator(Settings& settings, QWidget* parent = nullptr);

    // The tree of the loaded city (null for none); shows its short tree.
    void SetTree(const RubricTreeIndex* tree);
    // Shows the window modally. `firstLetter` (when not empty) replaces the filter text, and typing goes
    // on after it; otherwise the last filter text and tree stay. Tag 1: a choice also starts the search.
    int Open(const QString& firstLetter, bool search);
    // Narrows the tree by the filter text now (the timer's work).
    void timRubrikaTimer();

    QLineEdit* edRubrika;
    QTreeWidget* tv;
    QCheckBox* chbHide;
    QTimer *timRubrika, *tim;
    int Tag = 0;

signals:
    // A rubric or an entry naming one was chosen; `search` when the window was opened to search.
    void rubricChosen(const QString& name, bool search);
    // The "hide after choosing" box changed the settings.
    void settingsChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* e) override;

private:
    void Reload(const std::vector<int>& nodes, bool expanded);
    void Choose(QTreeWidgetItem* item);
    static int Depth(const QTreeWidgetItem* item);

    Settings& settings_;
    const RubricTreeIndex* tree_ = nullptr;
};
