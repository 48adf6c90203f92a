// The tips window: a random tip of the 25, the next one on request, and whether to show tips at start.
#pragma once

#include <QDialog>
#include <QStringList>

class QCheckBox;
class QPlainTextEdit;
class QPushButton;
struct Settings;

// The tips, fixed Russian texts shown in both interface languages.
const QStringList& HelpTips();

class TfrmHelp : public QDialog {
    Q_OBJECT
public:
    TfrmHelp(Settings& settings, QWidget* parent = nullptr);

    // Where the manual button looks for the manual: the program's folder first, then the city's.
    QString exeFolder, cityFolder;
    // Picks the tip for each showing; tests replace it.
    std::function<int(int count)> pickTip;

    void ShowTip();

    QPlainTextEdit* mem;
    QPushButton* btnNext;
    QPushButton* btnClose;
    QCheckBox* cbHelp;
    QPushButton* btnHelp;

protected:
    void showEvent(QShowEvent* e) override;

private:
    Settings& settings_;
};
