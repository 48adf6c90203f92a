// Test support: the reference vendor service as a child process on 127.0.0.1 and a free port, and
// small publish folders for it.
#pragma once

#include "Catalogue.h"
#include "CityWriter.h"
#include "Cp1251.h"
#include "TestFiles.h"
#include "Updater.h"
#include "ZipWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QTcpSocket>
#include <QProcess>
#include <QRegularExpression>

#include <map>
#include <ostream>

// Readable failures for Qt strings.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList& l, std::ostream* os) {
    *os << '[' << l.join(" | ").toStdString() << ']';
}

class VendorServer {
public:
    // `store` is the --db option; empty: a SQLite file beside the root.
    explicit VendorServer(const QString& root, const QStringList& extra = {}, const QString& store = {}) {
        logPath_ = root + "/../vendor-" + QString::number(quintptr(this)) + ".log";
        storePath_ = root + "/../vendor-" + QString::number(quintptr(this)) + ".sqlite";
        store_ = store.isEmpty() ? storePath_ : store;
        process_.setProgram(TESSARA_VENDOR_EXE);
        process_.setArguments(QStringList{"--root", root, "--port", "0", "--log", logPath_, "--db", store_} + extra);
        process_.start();
        QElapsedTimer clock;
        clock.start();
        QByteArray out;
        while (clock.elapsed() < 10000 && !out.contains('\n')) {
            process_.waitForReadyRead(100);
            out += process_.readAllStandardOutput();
        }
        const auto m = QRegularExpression("http://127\\.0\\.0\\.1:(\\d+)/").match(QString::fromLatin1(out));
        if (m.hasMatch()) base_ = m.captured(0), port_ = m.captured(1).toUShort();
    }
    ~VendorServer() {
        process_.kill();
        process_.waitForFinished(3000);
        QFile::remove(logPath_);
        for (const char* suffix : {"", "-wal", "-shm"})
            QFile::remove(storePath_ + suffix);
    }
    QString storePath() const { return storePath_; }
    // The --db option: the SQLite file or the PostgreSQL address.
    QString store() const { return store_; }
    QProcess& process() { return process_; }
    // What `tessara-vendor --feedback` or `--stats` prints for this service's store.
    QByteArray List(const char* what) const {
        QProcess p;
        p.start(TESSARA_VENDOR_EXE, {"--db", store_, what});
        p.waitForFinished(10000);
        return p.readAllStandardOutput();
    }
    // Waits up to timeoutMs until the log holds at least n requests.
    bool WaitForRequests(int n, int timeoutMs = 5000) const {
        QElapsedTimer clock;
        clock.start();
        while (Requests().size() < n && clock.elapsed() < timeoutMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return Requests().size() >= n;
    }
    bool started() const { return !base_.isEmpty(); }
    QString base() const { return base_; }
    quint16 port() const { return port_; }
    // Each request: time, method, path with query, user agent.
    QList<QStringList> Requests() const {
        QList<QStringList> result;
        for (const QByteArray& line : ReadAll(logPath_).split('\n'))
            if (!line.isEmpty()) result << QString::fromUtf8(line).split('\t');
        return result;
    }
    // "METHOD path" of each request, for compact checks.
    QStringList Paths() const {
        QStringList result;
        for (const QStringList& r : Requests())
            result << r.value(1) + ' ' + r.value(2);
        return result;
    }

private:
    QProcess process_;
    QString logPath_, storePath_, store_;
    QString base_;
    quint16 port_ = 0;
};

// One exchange on a raw connection to the service.
struct Exchange {
    QByteArray reply;
    bool closed = false; // the service closed the connection
    qint64 ms = 0;       // from the request to the close
};

// Sends `request` on a fresh connection and reads until the service closes it or `waitMs` pass.
inline Exchange Talk(quint16 port, const QByteArray& request, int waitMs = 5000) {
    Exchange e;
    QTcpSocket s;
    s.connectToHost(QHostAddress::LocalHost, port);
    if (!s.waitForConnected(2000)) return e;
    QElapsedTimer clock;
    clock.start();
    s.write(request);
    s.waitForBytesWritten(1000);
    while (clock.elapsed() < waitMs) {
        s.waitForReadyRead(50);
        e.reply += s.readAll();
        if (s.state() == QAbstractSocket::UnconnectedState) {
            e.closed = true;
            break;
        }
    }
    e.ms = clock.elapsed();
    return e;
}

// Every entry under `folder` (hidden ones too, links as links) with its bytes, to show that a failed
// run left the folder byte for byte as it was.
inline std::map<QString, QByteArray> FolderSnapshot(const QString& folder) {
    std::map<QString, QByteArray> entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        const QString name = QDir(folder).relativeFilePath(info.filePath());
        entries[name] = info.isSymLink() ? "link to " + info.symLinkTarget().toUtf8()
                        : info.isDir()   ? QByteArray("folder")
                                         : ReadAll(info.filePath());
    }
    return entries;
}

// A small city file whose release date is given; photos make a photo file beside it when asked.
inline QByteArray SmallCity(const QString& name, const QString& release, const QString& agent = "Agent") {
    CityWriter w;
    w.CityName = name;
    w.ReleaseDate = release;
    w.AgentName = agent;
    w.AgentEmail = "agent@example.org";
    w.AgentPhone = "123";
    return w.Build();
}

inline QByteArray SmallPhotoFile(std::int32_t day) {
    CityWriter w;
    w.FotoDay = day;
    w.Photos = {{1, QByteArray("photo one")}, {2, QByteArray("photo two")}};
    return w.BuildPhotoFile();
}

// A Demograd archive made large by an incompressible filler entry, for downloads that take a while
// or pass a declared size.
inline void WriteLargeDemogradArchive(const QString& path, int fillerBytes) {
    QByteArray filler(fillerBytes, Qt::Uninitialized);
    quint32 x = 1;
    for (char& c : filler)
        c = char((x = x * 1103515245u + 12345u) >> 24);
    ZipWriter zip;
    zip.Add("Demograd.gis", SmallCity(QStringLiteral("Демоград"), "01.11.2026"));
    zip.Add("filler.bin", filler);
    zip.Write(path);
}

// A publish folder: the program row, then one city per (file base, city name, release date).
struct Published {
    QString FileBase, CityName, Release;
    QString FotoDate; // empty: no photo archive offered
};

inline void WritePublishFolder(const QString& root, const QString& programDate,
                               const std::vector<Published>& cities) {
    QDir().mkpath(root + "/download");
    QDir().mkpath(root + "/fotos");
    QByteArray list =
        "download/Tessara_install.exe\r\nTessara\r\n" + programDate.toLatin1() + "\r\n12 MB\r\n";
    QByteArray fotos;
    WriteAll(root + "/download/Tessara_install.exe", "#!/bin/sh\necho installer\n");
    for (const Published& c : cities) {
        ZipWriter zip;
        zip.Add(c.FileBase + ".gis", SmallCity(c.CityName, c.Release));
        zip.Write(root + "/download/" + c.FileBase + ".zip");
        list += ("download/" + c.FileBase + ".zip\r\n").toUtf8() + ToCp1251(c.CityName) + "\r\n" +
                c.Release.toLatin1() + "\r\n1 MB\r\n";
        if (!c.FotoDate.isEmpty()) {
            WriteAll(root + "/fotos/" + c.FileBase + ".img",
                     SmallPhotoFile(int(*DateTextToDays(c.FotoDate))));
            fotos += ToCp1251(c.CityName) + "\r\nfotos/" + c.FileBase.toLatin1() + ".img\r\n" +
                     c.FotoDate.toLatin1() + "\r\n2 MB\r\n";
        }
    }
    WriteAll(root + "/download.txt", list);
    WriteAll(root + "/fotos.txt", fotos);
}

// A fresh installation's folders under `root` (no data folder yet) and, in "pub", a publish folder
// offering Demograd with a photo archive and Other without.
inline void PrepareInstallation(const ScratchDir& root, UpdateContext& ctx) {
    ctx.DataFolder = root.file("data/");
    ctx.ExeFolder = root.file("exe/");
    ctx.TempFolder = root.file("tmp/");
    QDir().mkpath(ctx.ExeFolder);
    QDir().mkpath(ctx.TempFolder);
    WritePublishFolder(root.file("pub"), "01.02.2020",
                       {{"Demograd", QStringLiteral("Демоград"), "01.11.2026", "15.10.2026"},
                        {"Other", "Other", "01.06.2026", ""}});
}
