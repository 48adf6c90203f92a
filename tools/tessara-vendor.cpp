// tessara-vendor: a reference vendor web service. Serves a publish folder (the two lists, the city
// and photo archives, the installer) under a base address, answers the statistics and report
// requests with an empty page, and logs every request with its time, so that a publisher can run it
// and tests can check what the program sent.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>
#include <cstdio>
#include <memory>

namespace {

struct Options {
    QString root;
    QString base = "/";
    QFile* log = nullptr;
    QStringList noLength;       // paths served without Content-Length
    QHash<QString, qint64> cut; // paths whose connection breaks after so many body bytes
    qint64 rateBytesPerSecond = 0;
};

constexpr qint64 Chunk = 64 * 1024;

// One connection: reads one request, answers it, closes.
class Connection : public QObject {
public:
    Connection(QTcpSocket* socket, const Options& options) : socket_(socket), options_(options) {
        socket_->setParent(this);
        connect(socket_, &QTcpSocket::readyRead, this, &Connection::onRead);
        connect(socket_, &QTcpSocket::bytesWritten, this, &Connection::pump);
        connect(socket_, &QTcpSocket::disconnected, this, &QObject::deleteLater);
        connect(&pace_, &QTimer::timeout, this, &Connection::pump);
    }

private:
    void onRead() {
        if (answered_) return;
        request_ += socket_->readAll();
        const qsizetype end = request_.indexOf("\r\n\r\n");
        if (end < 0) {
            if (request_.size() > 64 * 1024) finish();
            return;
        }
        const QList<QByteArray> lines = request_.left(end).split('\n');
        qint64 bodyLength = 0;
        for (const QByteArray& line : lines.mid(1)) {
            const QByteArray l = line.trimmed();
            if (l.toLower().startsWith("content-length:")) bodyLength = l.mid(15).trimmed().toLongLong();
            if (l.toLower().startsWith("user-agent:")) agent_ = QString::fromLatin1(l.mid(11).trimmed());
        }
        if (request_.size() < end + 4 + bodyLength) return; // the form is still arriving
        answered_ = true;
        const QList<QByteArray> words = lines.value(0).trimmed().split(' ');
        answer(QString::fromLatin1(words.value(0)), QString::fromLatin1(words.value(1)));
    }

    void logRequest(const QString& method, const QString& target) {
        if (!options_.log) return;
        options_.log->write(
            QStringLiteral("%1\t%2\t%3\t%4\n")
                .arg(QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs), method, target, agent_)
                .toUtf8());
        options_.log->flush();
    }

    void head(int status, const char* reason, qint64 length, const char* type) {
        QByteArray h = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason + "\r\n";
        h += "Server: tessara-vendor\r\nConnection: close\r\nCache-Control: no-cache\r\n";
        h += QByteArray("Content-Type: ") + type + "\r\n";
        if (length >= 0) h += "Content-Length: " + QByteArray::number(length) + "\r\n";
        h += "\r\n";
        socket_->write(h);
    }

    void page(int status, const char* reason, const QByteArray& body) {
        head(status, reason, body.size(), "text/html; charset=utf-8");
        socket_->write(body);
        finish();
    }

    void answer(const QString& method, const QString& target) {
        logRequest(method, target);
        const QUrl url(target);
        QString path = url.path(QUrl::FullyDecoded);
        if (!path.startsWith(options_.base))
            return page(404, "Not Found", "<html><body>Not found</body></html>");
        path = path.mid(options_.base.size());
        // Statistics, reports and the other scripts of the site: an empty page is the whole answer.
        if (path.endsWith(QLatin1String(".php"))) return page(200, "OK", QByteArray());
        if (method != QLatin1String("GET") && method != QLatin1String("HEAD"))
            return page(405, "Method Not Allowed", QByteArray());

        const QString root = QDir(options_.root).canonicalPath();
        const QString file = QFileInfo(root + '/' + path).canonicalFilePath();
        if (file.isEmpty() || !file.startsWith(root + '/') || !QFileInfo(file).isFile())
            return page(404, "Not Found", "<html><body>Not found</body></html>");
        file_ = std::make_unique<QFile>(file);
        if (!file_->open(QIODevice::ReadOnly)) return page(403, "Forbidden", QByteArray());

        const bool withLength = !options_.noLength.contains(path);
        limit_ = options_.cut.value(path, -1);
        head(200, "OK", withLength ? file_->size() : -1, "application/octet-stream");
        if (method == QLatin1String("HEAD")) return finish();
        if (options_.rateBytesPerSecond > 0) pace_.start(50);
        pump();
    }

    // Sends the next part of the file, keeping little in the socket's buffer.
    void pump() {
        if (!file_ || closing_) return;
        if (options_.rateBytesPerSecond > 0 && sender() != &pace_ && sent_ > 0) return;
        qint64 budget =
            options_.rateBytesPerSecond > 0 ? std::max<qint64>(1, options_.rateBytesPerSecond / 20) : Chunk;
        while (budget > 0 && socket_->bytesToWrite() < 4 * Chunk) {
            qint64 n = std::min(budget, Chunk);
            if (limit_ >= 0) n = std::min(n, limit_ - sent_);
            const QByteArray part = n > 0 ? file_->read(n) : QByteArray();
            if (part.isEmpty()) {
                // At the end of the file, or where this path's connection is to break: either way the
                // socket closes once what was sent has gone out.
                finish();
                return;
            }
            socket_->write(part);
            sent_ += part.size();
            budget -= part.size();
        }
    }

    void finish() {
        closing_ = true;
        pace_.stop();
        socket_->disconnectFromHost();
    }

    QTcpSocket* socket_;
    const Options& options_;
    QByteArray request_;
    QString agent_;
    bool answered_ = false, closing_ = false;
    std::unique_ptr<QFile> file_;
    qint64 sent_ = 0, limit_ = -1;
    QTimer pace_;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("tessara-vendor");
    QCommandLineParser parser;
    parser.setApplicationDescription("Reference vendor web service for Tessara updates and statistics.");
    parser.addHelpOption();
    parser.addOption({"root", "Publish folder served under the base address.", "DIR"});
    parser.addOption({"port", "Port to listen on; 0 picks a free one.", "N", "8080"});
    parser.addOption({"host", "Address to listen on.", "ADDR", "127.0.0.1"});
    parser.addOption({"base", "Base path of the site (begins and ends with /).", "PATH", "/"});
    parser.addOption(
        {"log", "Appends one line per request: time, method, path with query, user agent (tab-separated).",
         "FILE"});
    parser.addOption({"no-length", "Serves PATH (relative to the base) without Content-Length.", "PATH"});
    parser.addOption({"cut", "Breaks the connection after BYTES of PATH's body.", "PATH:BYTES"});
    parser.addOption({"rate", "Sends files at most this many kilobytes per second.", "KBPS"});
    parser.process(app);

    Options options;
    options.root = parser.value("root");
    if (options.root.isEmpty() || !QFileInfo(options.root).isDir()) {
        std::fprintf(stderr, "tessara-vendor: --root must name the publish folder\n");
        return 2;
    }
    options.base = parser.value("base");
    if (!options.base.startsWith('/')) options.base.prepend('/');
    if (!options.base.endsWith('/')) options.base.append('/');
    QFile log(parser.value("log"));
    if (parser.isSet("log")) {
        if (!log.open(QIODevice::Append | QIODevice::Text)) {
            std::fprintf(stderr, "tessara-vendor: cannot open the log file\n");
            return 2;
        }
        options.log = &log;
    }
    options.noLength = parser.values("no-length");
    for (const QString& c : parser.values("cut")) {
        const qsizetype colon = c.lastIndexOf(':');
        if (colon > 0) options.cut.insert(c.left(colon), c.mid(colon + 1).toLongLong());
    }
    options.rateBytesPerSecond = parser.value("rate").toLongLong() * 1024;

    QTcpServer server;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        while (QTcpSocket* socket = server.nextPendingConnection())
            new Connection(socket, options);
    });
    if (!server.listen(QHostAddress(parser.value("host")), quint16(parser.value("port").toUInt()))) {
        std::fprintf(stderr, "tessara-vendor: %s\n", qPrintable(server.errorString()));
        return 1;
    }
    std::printf("Listening on http://%s:%u%s\n", qPrintable(server.serverAddress().toString()),
                unsigned(server.serverPort()), qPrintable(options.base));
    std::fflush(stdout);
    return app.exec();
}
