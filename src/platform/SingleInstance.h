// One running program per user: a second start asks the first to come to the front and ends.
#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // `key` names the instance; the default is per user.
    explicit SingleInstance(const QString& key = DefaultKey(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this is the only instance: it now listens for later starts. When another instance runs,
    // it is asked to come to the front and false is returned.
    bool Claim();

    static QString DefaultKey();

signals:
    // A later start asked this instance to show itself.
    void activationRequested();

private:
    QString key_;
    QLocalServer* server_ = nullptr;
};
