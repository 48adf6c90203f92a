// Test support: a private PostgreSQL server for one test program (or benchmark), in a temporary data
// folder, on 127.0.0.1 and a free port, stopped and removed at the end. PostgreSQL refuses to run
// as root, so under root (as in CI) it runs as the unprivileged user "nobody", which owns the data
// folder. Skipped (Available() false, with the reason) only when the server's programs are missing.
#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <memory>
#include <unistd.h>

class PostgresServer {
public:
    PostgresServer() {
        bin_ = FindPrograms();
        if (bin_.isEmpty()) {
            reason_ = "the PostgreSQL server programs (initdb, pg_ctl; Debian package postgresql) are not installed";
            return;
        }
        // The folder must be reachable by the server's user; the data folder is that user's alone.
        dir_ = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/tessara-pg-XXXXXX");
        QFile::setPermissions(dir_->path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther);
        data_ = dir_->path() + "/data";
        QDir().mkpath(data_);
        if (::geteuid() == 0) {
            runAs_ = "nobody";
            QProcess::execute("chown", {runAs_, data_});
        }
        // A program killed before it could stop its server (a crash, a test time-out) leaves neither
        // the server nor its folder behind: a watcher stops one and removes the other once this
        // process is gone.
        const QString runAs = runAs_.isEmpty() ? QString() : "runuser -u " + runAs_ + " -- ";
        QProcess::startDetached("/bin/sh", {"-c", QString("while kill -0 %1 2>/dev/null; do sleep 1; done; "
                                                          "%2'%3/pg_ctl' -D '%4' -m immediate stop >/dev/null 2>&1; "
                                                          "rm -rf '%5'")
                                                      .arg(QCoreApplication::applicationPid())
                                                      .arg(runAs, bin_, data_, dir_->path())});
        QString out;
        if (!Run("initdb", {"-D", data_, "-U", User, "-A", "trust", "-E", "UTF8", "--locale=C.UTF-8", "--no-sync"},
                 &out)) {
            reason_ = "initdb failed: " + out;
            return;
        }
        // The port is free when asked; another program may take it before the server does, so try again.
        for (int attempt = 0; attempt < 5 && port_ == 0; ++attempt) {
            QTcpServer probe;
            if (!probe.listen(QHostAddress::LocalHost, 0)) continue;
            const quint16 port = probe.serverPort();
            probe.close();
            const QString options = QString("-h 127.0.0.1 -p %1 -k %2 -F -c max_connections=300 "
                                            "-c shared_buffers=64MB -c synchronous_commit=off")
                                        .arg(port)
                                        .arg(data_);
            if (Run("pg_ctl", {"-D", data_, "-o", options, "-w", "-t", "30", "-l", data_ + "/server.log", "start"}, &out))
                port_ = port;
        }
        if (port_ == 0) reason_ = "the PostgreSQL server did not start: " + out;
    }
    ~PostgresServer() {
        if (port_ != 0) Run("pg_ctl", {"-D", data_, "-m", "immediate", "-w", "stop"}, nullptr);
    }
    PostgresServer(const PostgresServer&) = delete;
    PostgresServer& operator=(const PostgresServer&) = delete;

    // The one server of this program, started on first use; StopInstance() at the program's end.
    static PostgresServer& Instance() {
        if (!Slot()) Slot().reset(new PostgresServer);
        return *Slot();
    }
    static void StopInstance() { Slot().reset(); }

    bool Available() const { return port_ != 0; }
    QString Reason() const { return reason_; }
    quint16 Port() const { return port_; }

    // A fresh, empty database; its address for --db.
    QString NewDatabase() {
        static std::atomic<int> serial{0};
        const QString name = QString("t%1_%2").arg(QCoreApplication::applicationPid()).arg(++serial);
        bool ok = false;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QPSQL", "pg-admin");
            db.setHostName("127.0.0.1");
            db.setPort(port_);
            db.setUserName(User);
            db.setDatabaseName("postgres");
            ok = db.open() && QSqlQuery(db).exec("CREATE DATABASE " + name);
        }
        QSqlDatabase::removeDatabase("pg-admin");
        return ok ? QString("postgresql://%1@127.0.0.1:%2/%3").arg(User).arg(port_).arg(name) : QString();
    }

    static constexpr const char* User = "tessara";

private:
    static std::unique_ptr<PostgresServer>& Slot() {
        static std::unique_ptr<PostgresServer> server;
        return server;
    }
    static QString FindPrograms() {
        if (const QString initdb = QStandardPaths::findExecutable("initdb"); !initdb.isEmpty())
            return QFileInfo(initdb).canonicalPath();
        // Debian keeps them out of PATH, under the server's major version.
        QStringList versions = QDir("/usr/lib/postgresql").entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        std::sort(versions.begin(), versions.end(), [](const QString& a, const QString& b) { return a.toInt() > b.toInt(); });
        for (const QString& v : versions)
            if (QFileInfo::exists("/usr/lib/postgresql/" + v + "/bin/initdb")) return "/usr/lib/postgresql/" + v + "/bin";
        return {};
    }

    bool Run(const QString& program, const QStringList& args, QString* output) {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.setWorkingDirectory(dir_->path());
        if (runAs_.isEmpty())
            p.start(bin_ + '/' + program, args);
        else
            p.start("runuser", QStringList{"-u", runAs_, "--", bin_ + '/' + program} + args);
        const bool done = p.waitForFinished(60000);
        if (output) *output = QString::fromLocal8Bit(p.readAll()).trimmed();
        return done && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }

    QString bin_, reason_, runAs_, data_;
    std::unique_ptr<QTemporaryDir> dir_;
    quint16 port_ = 0;
};
