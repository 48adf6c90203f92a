// The program's own yes/no window: a text whose alignment and window height the caller sets.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

class TfrmMessage : public QDialog {
    Q_OBJECT
public:
    explicit TfrmMessage(QWidget* parent = nullptr);

    // Result codes of the window.
    static constexpr int Yes = 6;
    static constexpr int No = 7;

    // Text with "\r" breaks, its alignment and the window's height; shows the window modally.
    int Ask(const QString& text, int height, Qt::Alignment alignment = Qt::AlignCenter);

    QLabel* txt;
    QPushButton* btnYes;
    QPushButton* btnNo;

protected:
    void showEvent(QShowEvent* e) override;
};
