// One running program per user: a second start asks the first to come to the front and ends. The first
// holds a lock and listens on a local socket, both named by the user's id in a folder only the user can
// open (UserRuntimeFolder), so no other user can take the names or reach the program.
#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // What the running instance said to a start that found it.
    enum class Answer {
        None,                 // Claim() found no other instance (or was not called)
        Raised,               // its window came to the front on this display
        RaisedOnOtherDisplay, // its window came to the front on another display (OtherDisplay())
        NoAnswer,             // it runs, but did not answer
    };

    // `folder` holds the lock and the socket (with a trailing separator; empty: every start runs on its
    // own); `display` names the display this program shows its windows on.
    explicit SingleInstance(const QString& folder, const QString& display = CurrentDisplay(),
                            QObject* parent = nullptr);
    SingleInstance();
    ~SingleInstance() override;

    // True when this is the only instance: it now listens for later starts. When another instance runs,
    // it is asked to come to the front, its answer kept, and false is returned.
    bool Claim();
    Answer answer() const { return answer_; }
    QString OtherDisplay() const { return otherDisplay_; }

    QString SocketPath() const;
    QString LockPath() const;
    // The platform and the display of this process ("xcb::0", "wayland:wayland-0").
    static QString CurrentDisplay();

signals:
    // A later start asked this instance to show itself.
    void activationRequested();

private:
    void Listen();
    void Ask();

    QString folder_;
    QString display_;
    int lock_ = -1;
    QLocalServer* server_ = nullptr;
    Answer answer_ = Answer::None;
    QString otherDisplay_;
};
