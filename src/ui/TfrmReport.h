// The feedback window: a letter to the developer, to the city's representative, or a questionnaire
// about an organisation, handed to the vendor service in one request.
#pragma once

#include <QDialog>
#include <functional>

struct AppContext;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

// The developer's address; the representative's comes from the city file.
inline constexpr const char* DeveloperEmail = "developer@tessara.example.org";

class TfrmReport : public QDialog {
public:
    explicit TfrmReport(AppContext& app, QWidget* parent = nullptr);

    // What the send button would hand over; `warning` names the text key that stops it instead.
    struct Letter {
        QString recipient, subject, message, warning;
    };
    // Also fills the hidden `mem` on the questionnaire page.
    Letter Compose();
    // Fills the page's editor with the topic's template: "Better", "Err", "Price", "Work", "NewInfo",
    // "ErrInfo" or "Other".
    void ApplyTopic(const QString& topic);

    // Shown instead of a message box when set (tests): warnings, and the line that says it was sent.
    std::function<void(const QString& text)> warn;
    std::function<void(const QString& text)> inform;

    QTabWidget* pcLetter;
    QWidget *pgDeveloper, *pgCity, *pgAnketa;
    QLabel *txtDeveloper, *txtAgent;
    QLabel *txtBetter, *txtErr, *txtPrice, *txtWork, *txtNewInfo, *txtErrInfo, *txtOther;
    QPlainTextEdit *mem1, *mem2, *mem, *memNets, *memAdr, *memRub, *memFIO;
    QLineEdit *edCaption, *edSite, *edMail, *edICQ, *edSkype;
    QPushButton *btnOK, *btnCancel;
    QLabel* txtStatus; // what the send is doing, or how it ended when the window stays open

    // Escape, Cancel and closing the window: while a letter is being sent they end the wait, not the window.
    void reject() override;

protected:
    void showEvent(QShowEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;

private:
    void Reset();
    void Send();
    void Warn(const QString& text);
    void Inform(const QString& text);

    AppContext& app_;
    bool sending_ = false, cancelSend_ = false;
};
