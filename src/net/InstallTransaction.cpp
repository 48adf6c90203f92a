#include "InstallTransaction.h"

#include "ArchivePlan.h"

#include <QFile>
#include <QRandomGenerator>
#include <QSet>
#include <QStringList>
#include <QRegularExpression>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

QString Failed(const QString& what) {
    return QStringLiteral("%1: %2").arg(what, qt_error_string(errno));
}

constexpr int FolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
constexpr char JournalName[] = "journal";
// A journal names a few steps per file of one archive: anything far larger is not one of ours.
constexpr off_t MaxJournalSize = 16 << 20;

QByteArray Encoded(const QString& path) {
    return QFile::encodeName(path).toPercentEncoding();
}

// The folder at `parts` below `root`, entered without following links; -1 with errno set otherwise.
int OpenBelow(int root, const QList<QByteArray>& parts) {
    int at = ::dup(root);
    for (const QByteArray& part : parts) {
        if (at < 0) return -1;
        const int next = ::openat(at, part.constData(), FolderFlags);
        const int saved = errno;
        ::close(at);
        errno = saved;
        at = next;
    }
    return at;
}

// A path as the journal holds it: '/'-separated components below the folder, none empty, "." or "..".
bool SplitJournalPath(const QByteArray& encoded, QList<QByteArray>& parts, QByteArray& leaf) {
    const QByteArray path = QByteArray::fromPercentEncoding(encoded);
    if (path.isEmpty() || path.contains('\0')) return false;
    parts = path.split('/');
    for (const QByteArray& p : parts)
        if (p.isEmpty() || p == "." || p == "..") return false;
    leaf = parts.takeLast();
    return true;
}

bool IsOwnName(const QByteArray& name) {
    static const QRegularExpression own(QStringLiteral("^[sk][0-9]{1,9}$"));
    return own.match(QString::fromLatin1(name)).hasMatch();
}

// Undoes the steps of one journal, last first. Steps that were written but never taken find nothing
// to undo and are passed over.
QStringList Replay(int root, int staging, const QList<QByteArray>& lines) {
    QStringList lost;
    for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
        const QList<QByteArray> f = it->split(' ');
        QList<QByteArray> parts;
        QByteArray leaf;
        const QByteArray& path = f.back();
        if (!SplitJournalPath(path, parts, leaf)) continue; // checked before
        const int parent = OpenBelow(root, parts);
        if (parent < 0) {
            // Nothing was put into a folder that is not there (or is not a folder).
            if (f[0] == "A" && ::faccessat(staging, QByteArray::fromPercentEncoding(f[1]).constData(), F_OK,
                                           AT_SYMLINK_NOFOLLOW) == 0)
                lost << QFile::decodeName(QByteArray::fromPercentEncoding(path));
            continue;
        }
        bool ok = true;
        if (f[0] == "A") {
            const QByteArray aside = QByteArray::fromPercentEncoding(f[1]);
            struct stat st {};
            if (::fstatat(staging, aside.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0)
                ok = ::renameat(staging, aside.constData(), parent, leaf.constData()) == 0;
        } else if (f[0] == "N") {
            struct stat st {};
            if (::fstatat(parent, leaf.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
                QByteArray::number(quint64(st.st_ino)) == f[1])
                ok = ::unlinkat(parent, leaf.constData(), 0) == 0;
        } else if (f[0] == "D") {
            // A folder that is not empty keeps what is in it: nothing is lost by leaving it.
            ok = ::unlinkat(parent, leaf.constData(), AT_REMOVEDIR) == 0 || errno == ENOENT ||
                 errno == ENOTEMPTY || errno == EEXIST;
        }
        ::close(parent);
        if (!ok) lost << QFile::decodeName(QByteArray::fromPercentEncoding(path));
    }
    return lost;
}

// One staging folder left behind: its journal replayed (unless it was committed), then cleared away.
void RecoverOne(int root, const QByteArray& name, const QString& folder, QStringList& problems) {
    const int staging = ::openat(root, name.constData(), FolderFlags);
    if (staging < 0) return; // a link or a file with such a name is not ours
    struct stat st {};
    // Never waits: a FIFO named like the journal opens at once and is then refused for its kind.
    const int journal = ::openat(staging, JournalName, O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    auto done = [&] {
        if (journal >= 0) ::close(journal);
        ::close(staging);
    };
    const QString where = folder + '/' + QFile::decodeName(name);
    // Without a journal nothing was taken from the folder yet, unless kept files say otherwise.
    if (journal < 0) {
        if (errno != ENOENT || ::fstat(staging, &st) != 0 || st.st_uid != ::geteuid()) return done();
    } else {
        // Looked at before it is locked or read: a FIFO or device of that name would block for ever.
        if (::fstat(journal, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() ||
            st.st_size > MaxJournalSize) {
            problems << QStringLiteral("\"%1\" is not an install journal of this program").arg(where);
            return done();
        }
        if (::flock(journal, LOCK_EX | LOCK_NB) != 0) return done(); // an install still running
        QByteArray text(qsizetype(st.st_size), Qt::Uninitialized);
        if (::pread(journal, text.data(), size_t(text.size()), 0) != text.size()) {
            problems << Failed(QStringLiteral("Cannot read \"%1\"").arg(where));
            return done();
        }
        // A line cut short by the end of the program was never acted on.
        if (!text.isEmpty() && !text.endsWith('\n')) text.truncate(text.lastIndexOf('\n') + 1);
        QList<QByteArray> lines = text.split('\n');
        lines.removeLast();
        bool committed = false;
        for (const QByteArray& line : lines) {
            const QList<QByteArray> f = line.split(' ');
            QList<QByteArray> parts;
            QByteArray leaf;
            const bool sound = (f.size() == 1 && f[0] == "C") ||
                               (f.size() == 2 && f[0] == "D" && SplitJournalPath(f[1], parts, leaf)) ||
                               (f.size() == 3 && f[0] == "N" && SplitJournalPath(f[2], parts, leaf)) ||
                               (f.size() == 3 && f[0] == "A" && IsOwnName(QByteArray::fromPercentEncoding(f[1])) &&
                                SplitJournalPath(f[2], parts, leaf));
            if (!sound) {
                problems << QStringLiteral("The install journal \"%1\" is damaged; nothing was changed").arg(where);
                return done();
            }
            committed = committed || f[0] == "C";
        }
        if (!committed)
            if (const QStringList lost = Replay(root, staging, lines); !lost.isEmpty()) {
                problems << QStringLiteral("Could not put back %1; the replaced files are kept in \"%2\"")
                                .arg(lost.join(QStringLiteral(", ")), where);
                return done();
            }
    }
    // Only our own files go: anything else keeps the folder.
    if (DIR* d = ::fdopendir(::dup(staging))) {
        while (const dirent* e = ::readdir(d))
            if (IsOwnName(e->d_name)) ::unlinkat(staging, e->d_name, 0);
        ::closedir(d);
    }
    if (journal >= 0) ::unlinkat(staging, JournalName, 0);
    ::unlinkat(root, name.constData(), AT_REMOVEDIR);
    done();
}

// Archives downloaded for an install that never ran: plain files of ours under the download prefix.
void RemoveLeftoverDownloads(int root) {
    const QByteArray prefix(DownloadNamePrefix);
    QList<QByteArray> names;
    if (DIR* d = ::fdopendir(::dup(root))) {
        while (const dirent* e = ::readdir(d))
            if (QByteArray(e->d_name).startsWith(prefix)) names << QByteArray(e->d_name);
        ::closedir(d);
    }
    for (const QByteArray& name : names) {
        struct stat st {};
        if (::fstatat(root, name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
            st.st_uid == ::geteuid())
            ::unlinkat(root, name.constData(), 0);
    }
}

} // namespace

QStringList TInstallTransaction::RecoverInterruptedInstalls(const QString& folder) {
    QStringList problems = RecoverStaging(folder);
    const int root = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (root < 0) return problems;
    RemoveLeftoverDownloads(root);
    ::close(root);
    return problems;
}

QStringList TInstallTransaction::RecoverStaging(const QString& folder) {
    QStringList problems;
    const int root = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (root < 0) return problems;
    const QByteArray prefix = QByteArray(ReservedNamePrefix) + "staging-";
    QList<QByteArray> names;
    if (DIR* d = ::fdopendir(::dup(root))) {
        while (const dirent* e = ::readdir(d))
            if (QByteArray(e->d_name).startsWith(prefix)) names << QByteArray(e->d_name);
        ::closedir(d);
    }
    for (const QByteArray& name : names)
        RecoverOne(root, name, folder, problems);
    ::close(root);
    return problems;
}

QString TInstallTransaction::Journal(const QByteArray& line) {
    const QByteArray bytes = line + '\n';
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(journal_, bytes.constData() + written, size_t(bytes.size() - written));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return Failed(QStringLiteral("Cannot write the install journal"));
        written += n;
    }
    // On the disk before the step it announces, so that a power cut cannot lose it either.
    if (::fdatasync(journal_) != 0) return Failed(QStringLiteral("Cannot write the install journal"));
    return QString();
}

TInstallTransaction::TInstallTransaction(const QString& folder) : folder_(folder) {}

TInstallTransaction::~TInstallTransaction() {
    if (!finished_ && root_ >= 0) Rollback();
    CloseFolders();
    if (journal_ >= 0) ::close(journal_);
    if (staging_ >= 0) ::close(staging_);
    if (root_ >= 0) ::close(root_);
}

QString TInstallTransaction::Begin(std::uint64_t bytesNeeded) {
    // The folder itself may be a link the user made; below it nothing is followed.
    root_ = ::open(QFile::encodeName(folder_).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (root_ < 0) return Failed(QStringLiteral("Cannot open the folder \"%1\"").arg(folder_));
    // What an earlier program left half-done is undone before anything new begins.
    RecoverStaging(folder_);
    struct statvfs vfs {};
    if (::fstatvfs(root_, &vfs) == 0) {
        const std::uint64_t free = std::uint64_t(vfs.f_bavail) * vfs.f_frsize;
        if (free < bytesNeeded)
            return QStringLiteral("Not enough free space in \"%1\": %2 MB needed, %3 MB free")
                .arg(folder_)
                .arg((bytesNeeded >> 20) + 1)
                .arg(free >> 20);
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray name = QByteArray(ReservedNamePrefix) + "staging-" +
                                QByteArray::number(QRandomGenerator::system()->generate64(), 16);
        // mkdir never follows a link nor reuses a folder: the staging folder is ours alone.
        if (::mkdirat(root_, name.constData(), 0700) != 0) {
            if (errno == EEXIST) continue;
            return Failed(QStringLiteral("Cannot create a staging folder in \"%1\"").arg(folder_));
        }
        stagingName_ = name;
        staging_ = ::openat(root_, name.constData(), FolderFlags);
        if (staging_ < 0)
            return Failed(QStringLiteral("Cannot open the staging folder in \"%1\"").arg(folder_));
        journal_ = ::openat(staging_, JournalName, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (journal_ < 0 || ::flock(journal_, LOCK_EX) != 0)
            return Failed(QStringLiteral("Cannot create the install journal in \"%1\"").arg(folder_));
        return QString();
    }
    return QStringLiteral("Cannot create a staging folder in \"%1\"").arg(folder_);
}

QByteArray TInstallTransaction::NewName(char kind) {
    QByteArray name = kind + QByteArray::number(counter_++);
    ownNames_.push_back(name);
    return name;
}

QString TInstallTransaction::Stage(int& id, int& fd) {
    const QByteArray name = NewName('s');
    fd = ::openat(staging_, name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) return Failed(QStringLiteral("Cannot create a file in the staging folder"));
    id = int(stagedNames_.size());
    stagedNames_.push_back(name);
    return QString();
}

void TInstallTransaction::CloseFolders() {
    for (const int fd : std::as_const(folders_))
        ::close(fd);
    folders_.clear();
}

void TInstallTransaction::ForgetFolder(const QString& path) {
    for (auto it = folders_.begin(); it != folders_.end();)
        if (it.key() == path || it.key().startsWith(path + '/')) {
            ::close(it.value());
            it = folders_.erase(it);
        } else {
            ++it;
        }
}

QString TInstallTransaction::OpenFolder(const QString& path, bool create, int& fd, bool* missing) {
    fd = -1;
    if (path.isEmpty()) {
        fd = root_;
        return QString();
    }
    if (const auto open = folders_.constFind(path); open != folders_.cend()) {
        fd = *open;
        return QString();
    }
    const QStringList parts = path.split('/');
    int at = root_;
    auto leave = [&] {
        if (at != root_) ::close(at);
    };
    for (int k = 0; k < parts.size(); ++k) {
        const QByteArray part = QFile::encodeName(parts[k]);
        const QString shown = parts.mid(0, k + 1).join('/');
        int next = ::openat(at, part.constData(), FolderFlags);
        if (next < 0 && errno == ENOENT && create) {
            if (QString why = Journal("D " + Encoded(shown)); !why.isEmpty()) {
                leave();
                return why;
            }
            if (::mkdirat(at, part.constData(), 0755) != 0) {
                const QString why = Failed(QStringLiteral("Cannot create the folder \"%1\"").arg(shown));
                leave();
                return why;
            }
            steps_.push_back({Step::CreatedFolder, parts.mid(0, k).join('/'), part, {}, true});
            next = ::openat(at, part.constData(), FolderFlags);
        }
        if (next < 0) {
            const bool absent = errno == ENOENT;
            const QString why =
                Failed(QStringLiteral("\"%1\" is not a folder that may be entered").arg(shown));
            leave();
            if (absent && missing) *missing = true;
            return why;
        }
        leave();
        at = next;
    }
    if (folders_.size() >= MaxOpenFolders) CloseFolders();
    folders_.insert(path, at);
    fd = at;
    return QString();
}

QString TInstallTransaction::OpenParent(const QString& path, bool create, int& fd, QString& parent,
                                        QByteArray& leaf, bool* missing) {
    QStringList parts = path.split('/');
    leaf = QFile::encodeName(parts.takeLast());
    parent = parts.join('/');
    return OpenFolder(parent, create, fd, missing);
}

QString TInstallTransaction::KeepAside(Step& step, int parent, bool byLink, const QString& path) {
    struct stat st {};
    if (::fstatat(parent, step.leaf.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT) return QString();
        return Failed(QStringLiteral("Cannot look at \"%1\"").arg(QFile::decodeName(step.leaf)));
    }
    if (S_ISDIR(st.st_mode))
        return QStringLiteral("\"%1\" is a folder and cannot be replaced").arg(QFile::decodeName(step.leaf));
    const QByteArray aside = NewName('k');
    if (QString why = Journal("A " + aside.toPercentEncoding() + ' ' + Encoded(path)); !why.isEmpty()) return why;
    // A second link keeps the old file while the new one replaces it in one rename, so the folder never
    // lacks the file; where links are not possible, the old file is moved aside instead.
    if (byLink && ::linkat(parent, step.leaf.constData(), staging_, aside.constData(), 0) == 0) {
        step.aside = aside;
        return QString();
    }
    if (::renameat(parent, step.leaf.constData(), staging_, aside.constData()) != 0)
        return Failed(QStringLiteral("Cannot keep \"%1\" aside").arg(QFile::decodeName(step.leaf)));
    step.aside = aside;
    return QString();
}

QString TInstallTransaction::MakeFolder(const QString& path) {
    int fd = -1;
    return OpenFolder(path, true, fd);
}

QString TInstallTransaction::Swap(int id, const QString& path) {
    Step step{Step::Placed, {}, {}, {}, false};
    int parent = -1;
    if (QString why = OpenParent(path, true, parent, step.parent, step.leaf); !why.isEmpty()) return why;
    if (QString why = KeepAside(step, parent, true, path); !why.isEmpty()) return why;
    if (step.aside.isEmpty()) {
        // The file's number lets a recovery take away only the file this step put there.
        struct stat st {};
        QString why = ::fstatat(staging_, stagedNames_[std::size_t(id)].constData(), &st, AT_SYMLINK_NOFOLLOW) == 0
                          ? Journal("N " + QByteArray::number(quint64(st.st_ino)) + ' ' + Encoded(path))
                          : Failed(QStringLiteral("Cannot look at a staged file"));
        if (!why.isEmpty()) return why;
    }
    steps_.push_back(step);
    Step& placed = steps_.back();
    if (::renameat(staging_, stagedNames_[std::size_t(id)].constData(), parent, placed.leaf.constData()) != 0)
        return Failed(QStringLiteral("Cannot put \"%1\" in place").arg(path));
    placed.done = true;
    return QString();
}

QString TInstallTransaction::Remove(const QString& path) {
    Step step{Step::Removed, {}, {}, {}, false};
    bool missing = false;
    int parent = -1;
    if (QString why = OpenParent(path, false, parent, step.parent, step.leaf, &missing); !why.isEmpty())
        return missing ? QString() : why; // its folder is not there, so neither is it
    struct stat st {};
    // Folders are not ours to take away.
    if (::fstatat(parent, step.leaf.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode))
        return QString();
    if (QString aside = KeepAside(step, parent, false, path); !aside.isEmpty()) return aside;
    step.done = !step.aside.isEmpty();
    steps_.push_back(step);
    return QString();
}

void TInstallTransaction::RemoveStaging() {
    for (const QByteArray& name : ownNames_)
        ::unlinkat(staging_, name.constData(), 0);
    // The journal goes last: a folder with kept files and no journal could not be undone.
    ::unlinkat(staging_, JournalName, 0);
    ::unlinkat(root_, stagingName_.constData(), AT_REMOVEDIR);
}

void TInstallTransaction::Commit() {
    // The renames reach the disk before the old files go.
    QSet<QString> synced;
    for (const Step& s : steps_) {
        int fd = -1;
        if (root_ >= 0 && !synced.contains(s.parent) && OpenFolder(s.parent, false, fd).isEmpty()) ::fsync(fd);
        synced.insert(s.parent);
    }
    // From here on the new files stay, even if the program ends before the kept ones are gone.
    if (journal_ >= 0) Journal("C");
    if (staging_ >= 0) RemoveStaging();
    finished_ = true;
}

QString TInstallTransaction::Rollback() {
    finished_ = true;
    QStringList lost;
    for (auto s = steps_.rbegin(); s != steps_.rend(); ++s) {
        const char* leaf = s->leaf.constData();
        int parent = -1;
        bool ok = OpenFolder(s->parent, false, parent).isEmpty();
        if (ok) switch (s->kind) {
            case Step::CreatedFolder:
                ForgetFolder(s->parent.isEmpty() ? QFile::decodeName(s->leaf)
                                                 : s->parent + '/' + QFile::decodeName(s->leaf));
                ok = ::unlinkat(parent, leaf, AT_REMOVEDIR) == 0;
                break;
            case Step::Placed:
            case Step::Removed:
                if (!s->aside.isEmpty())
                    ok = ::renameat(staging_, s->aside.constData(), parent, leaf) == 0;
                else if (s->done)
                    ok = ::unlinkat(parent, leaf, 0) == 0;
                break;
            }
        if (!ok) lost << QFile::decodeName(s->leaf);
    }
    if (staging_ < 0) return QString();
    if (lost.isEmpty()) {
        RemoveStaging();
        return QString();
    }
    return QStringLiteral("Could not put back %1; the replaced files are kept in \"%2\"")
        .arg(lost.join(QStringLiteral(", ")), folder_ + '/' + QFile::decodeName(stagingName_));
}
