#include "OrgPages.h"

#include "CityDb.h"
#include "CityFile.h"
#include "CityFileError.h"
#include "ShellOpen.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <memory>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// A page still open in another program may keep its file locked for a moment; give up after a second.
constexpr int UnpackAttempts = 100;
constexpr int UnpackRetryMs = 10;

std::unique_ptr<QTemporaryDir>& PrivateDir() {
    static std::unique_ptr<QTemporaryDir> dir;
    return dir;
}

// Where the private folder is made: the runtime folder is the user's own and emptied at log-out;
// without one, the user's cache folder. Never the shared temporary folder.
QString PrivateBase() {
#ifdef Q_OS_UNIX
    // Qt would invent a runtime folder under /tmp when the session has none; that is no better.
    if (!qEnvironmentVariableIsSet("XDG_RUNTIME_DIR"))
        return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
               QStringLiteral("/Tessara");
#endif
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty()) return runtime;
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/Tessara");
}

// The folders and file name of a page, or nothing when the name is absolute, carries a drive or a
// control character, or has an empty, "." or ".." part.
QStringList PageNameParts(const QString& name) {
    QString n = name;
    n.replace('\\', '/');
    for (const QChar c : n)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || c == ':') return {};
    const QStringList parts = n.split('/');
    for (const QString& part : parts)
        if (part.isEmpty() || part == u"." || part == u"..") return {};
    return parts;
}

#ifdef Q_OS_UNIX
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(Descriptor&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    int get() const { return fd_; }

private:
    int fd_;
};

QString SystemError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Every step is taken relative to the folder opened before it and without following links, so that
// nothing planted on the way (a link, a folder of someone else's) can redirect the write.
bool WritePage(const QString& pagesFolder, const QStringList& parts, const QByteArray& bytes, QString& why) {
    const QByteArray folder = QFile::encodeName(pagesFolder);
    if (::mkdir(folder.constData(), 0700) != 0 && errno != EEXIST) {
        why = QStringLiteral("Cannot create \"%1\": %2").arg(pagesFolder, SystemError());
        return false;
    }
    Descriptor dir(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (dir.get() < 0 || ::fstat(dir.get(), &st) != 0 || st.st_uid != ::geteuid() ||
        (st.st_mode & 022) != 0) {
        why = QStringLiteral("The pages folder \"%1\" is not a private folder of this user").arg(pagesFolder);
        return false;
    }
    QString path = pagesFolder;
    for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
        const QByteArray name = QFile::encodeName(parts[i]);
        path += '/' + parts[i];
        if (::mkdirat(dir.get(), name.constData(), 0700) != 0 && errno != EEXIST) {
            why = QStringLiteral("Cannot create \"%1\": %2").arg(path, SystemError());
            return false;
        }
        Descriptor next(
            ::openat(dir.get(), name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (next.get() < 0) {
            why = QStringLiteral("\"%1\" is not a folder of ours").arg(path);
            return false;
        }
        dir = std::move(next);
    }
    path += '/' + parts.last();
    const QByteArray leaf = QFile::encodeName(parts.last());
    for (int attempt = 0;; ++attempt) {
        Descriptor file(::openat(dir.get(), leaf.constData(),
                                 O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
        if (file.get() < 0) {
            const bool busy = errno == EINTR || errno == EBUSY || errno == ETXTBSY || errno == EAGAIN;
            if (busy && attempt + 1 < UnpackAttempts) {
                QThread::msleep(UnpackRetryMs);
                continue;
            }
            // A link (ELOOP), a folder or a device in the page's place.
            if (errno == ELOOP || errno == EISDIR || errno == ENXIO)
                why = QStringLiteral("\"%1\" is not a plain file of ours").arg(path);
            else
                why = QStringLiteral("Cannot create \"%1\": %2").arg(path, SystemError());
            return false;
        }
        // A hard link would let the write land in a file that is not the page's own.
        if (::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() ||
            st.st_nlink != 1) {
            why = QStringLiteral("\"%1\" is not a plain file of ours").arg(path);
            return false;
        }
        if (::ftruncate(file.get(), 0) != 0) {
            why = QStringLiteral("Cannot write \"%1\": %2").arg(path, SystemError());
            return false;
        }
        for (qsizetype done = 0; done < bytes.size();) {
            const ssize_t n = ::write(file.get(), bytes.constData() + done, size_t(bytes.size() - done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                why = QStringLiteral("Cannot write \"%1\": %2").arg(path, SystemError());
                return false;
            }
            done += n;
        }
        return true;
    }
}
#else
bool WritePage(const QString& pagesFolder, const QStringList& parts, const QByteArray& bytes, QString& why) {
    const QString target = pagesFolder + '/' + parts.join('/');
    QDir().mkpath(QFileInfo(target).absolutePath());
    QFile file(target);
    for (int attempt = 0; attempt < UnpackAttempts; ++attempt) {
        if (QFileInfo(target).isSymLink() || (QFileInfo::exists(target) && !QFileInfo(target).isFile())) {
            why = QStringLiteral("\"%1\" is not a plain file of ours").arg(target);
            return false;
        }
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            const bool written = file.write(bytes) == bytes.size();
            file.close();
            if (written) return true;
            why = QStringLiteral("Cannot write \"%1\": %2").arg(target, file.errorString());
            return false;
        }
        QThread::msleep(UnpackRetryMs);
    }
    why = QStringLiteral("Cannot create \"%1\": %2").arg(target, file.errorString());
    return false;
}
#endif

} // namespace

QString PrivateTempFolder() {
    std::unique_ptr<QTemporaryDir>& dir = PrivateDir();
    if (!dir) {
        const QString base = PrivateBase();
        QDir().mkpath(base);
        auto made = std::make_unique<QTemporaryDir>(base + QStringLiteral("/tessara-XXXXXX"));
        if (!made->isValid()) return {};
        // QTemporaryDir makes it 0700 already; say so in case that ever changes.
        QFile::setPermissions(made->path(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        dir = std::move(made);
    }
    return dir->path() + '/';
}

void RemovePrivateTempFolder() {
    PrivateDir().reset();
}

bool IsPageFileName(const QString& name) {
    static const QStringList extensions = {
        QStringLiteral("html"), QStringLiteral("htm"), QStringLiteral("mht"), QStringLiteral("mhtml"),
        QStringLiteral("pdf"),  QStringLiteral("txt"), QStringLiteral("jpg"), QStringLiteral("jpeg"),
        QStringLiteral("png"),  QStringLiteral("gif")};
    const qsizetype dot = name.lastIndexOf(u'.');
    const qsizetype slash = std::max(name.lastIndexOf(u'/'), name.lastIndexOf(u'\\'));
    if (dot <= slash + 1) return false; // no extension, or a hidden file's name only
    return extensions.contains(name.mid(dot + 1), Qt::CaseInsensitive);
}

QString PagesFolder(const QString& tempFolder) {
    return (tempFolder.isEmpty() ? PrivateTempFolder() : tempFolder) + QStringLiteral("pages/");
}

bool Unpack(const TPg& page, const CityFileRef& city, const QString& tempFolder, QString* error) {
    auto refuse = [&](const QString& why) {
        if (error) *error = why;
        return false;
    };
    if (page.Name.startsWith(QLatin1String("http")))
        return refuse(QStringLiteral("The page is a web address"));
    const QStringList parts = PageNameParts(page.Name);
    if (parts.isEmpty())
        return refuse(QStringLiteral("The page name \"%1\" leaves the pages folder").arg(page.Name));
    if (!IsPageFileName(parts.last()))
        return refuse(QStringLiteral("The page \"%1\" is not a document or picture").arg(page.Name));
    if (page.size < 0 || page.size > MaxPageSize)
        return refuse(QStringLiteral("The page \"%1\" is %2 bytes long").arg(page.Name).arg(page.size));
    QByteArray bytes;
    try {
        bytes = ReadResource(city, page);
    } catch (const CityFileError& e) {
        return refuse(e.message());
    }
    const QString base = tempFolder.isEmpty() ? PrivateTempFolder() : tempFolder;
    if (base.isEmpty()) return refuse(QStringLiteral("There is no private folder for pages"));
    QDir().mkpath(base);
    QString why;
    if (!WritePage(base + QStringLiteral("pages"), parts, bytes, why)) return refuse(why);
    return true;
}

void OpenOrgPage(const CityDb& db, const CityFileRef& city, int orgPos, const PageOpening& opening) {
    if (orgPos < 0 || orgPos >= int(db.Orgs.size()) || opening.Suppressed) return;
    const TOrg& org = db.Orgs[std::size_t(orgPos)];
    if (!org.page || org.page->Name.isEmpty() || org.page->Name.startsWith(QLatin1String("http"))) return;
    if (!Unpack(*org.page, city, opening.TempFolder)) return;
    ShellOpen(PagesFolder(opening.TempFolder) + QString(org.page->Name).replace('\\', '/'));
}

void DeleteFolderTree(const QString& folder) {
    QDir dir(folder);
    if (!dir.exists()) return;
    const auto entries = dir.entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::NoSort);
    for (const QFileInfo& entry : entries) {
        // A link is removed as a link, never followed into what it points to.
        if (entry.isSymLink() || !entry.isDir())
            QFile::remove(entry.filePath());
        else if (!entry.fileName().contains('.'))
            DeleteFolderTree(entry.filePath());
    }
    QDir().rmdir(dir.absolutePath());
}
