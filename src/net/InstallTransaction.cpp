#include "InstallTransaction.h"

#include "ArchivePlan.h"

#include <QFile>
#include <QRandomGenerator>
#include <QStringList>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

QString Failed(const QString& what) {
    return QStringLiteral("%1: %2").arg(what, qt_error_string(errno));
}

constexpr int FolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

} // namespace

TInstallTransaction::TInstallTransaction(const QString& folder) : folder_(folder) {}

TInstallTransaction::~TInstallTransaction() {
    if (!finished_ && root_ >= 0) Rollback();
    for (Step& s : steps_)
        if (s.parent >= 0) ::close(s.parent);
    if (staging_ >= 0) ::close(staging_);
    if (root_ >= 0) ::close(root_);
}

QString TInstallTransaction::Begin(std::uint64_t bytesNeeded) {
    // The folder itself may be a link the user made; below it nothing is followed.
    root_ = ::open(QFile::encodeName(folder_).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (root_ < 0) return Failed(QStringLiteral("Cannot open the folder \"%1\"").arg(folder_));
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

QString TInstallTransaction::OpenFolder(const QStringList& parts, bool create, int& fd, bool* missing) {
    fd = -1;
    int at = ::dup(root_);
    if (at < 0) return Failed(QStringLiteral("Cannot open \"%1\"").arg(folder_));
    for (int k = 0; k < parts.size(); ++k) {
        const QByteArray part = QFile::encodeName(parts[k]);
        const QString shown = parts.mid(0, k + 1).join('/');
        int next = ::openat(at, part.constData(), FolderFlags);
        if (next < 0 && errno == ENOENT && create) {
            if (::mkdirat(at, part.constData(), 0755) != 0) {
                const QString why = Failed(QStringLiteral("Cannot create the folder \"%1\"").arg(shown));
                ::close(at);
                return why;
            }
            steps_.push_back({Step::CreatedFolder, ::dup(at), part, {}, true});
            next = ::openat(at, part.constData(), FolderFlags);
        }
        if (next < 0) {
            const bool absent = errno == ENOENT;
            const QString why =
                Failed(QStringLiteral("\"%1\" is not a folder that may be entered").arg(shown));
            ::close(at);
            if (absent && missing) *missing = true;
            return why;
        }
        ::close(at);
        at = next;
    }
    fd = at;
    return QString();
}

QString TInstallTransaction::OpenParent(const QString& path, bool create, int& fd, QByteArray& leaf,
                                        bool* missing) {
    QStringList parts = path.split('/');
    leaf = QFile::encodeName(parts.takeLast());
    return OpenFolder(parts, create, fd, missing);
}

QString TInstallTransaction::KeepAside(Step& step, bool byLink) {
    struct stat st {};
    if (::fstatat(step.parent, step.leaf.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT) return QString();
        return Failed(QStringLiteral("Cannot look at \"%1\"").arg(QFile::decodeName(step.leaf)));
    }
    if (S_ISDIR(st.st_mode))
        return QStringLiteral("\"%1\" is a folder and cannot be replaced").arg(QFile::decodeName(step.leaf));
    const QByteArray aside = NewName('k');
    // A second link keeps the old file while the new one replaces it in one rename, so the folder never
    // lacks the file; where links are not possible, the old file is moved aside instead.
    if (byLink && ::linkat(step.parent, step.leaf.constData(), staging_, aside.constData(), 0) == 0) {
        step.aside = aside;
        return QString();
    }
    if (::renameat(step.parent, step.leaf.constData(), staging_, aside.constData()) != 0)
        return Failed(QStringLiteral("Cannot keep \"%1\" aside").arg(QFile::decodeName(step.leaf)));
    step.aside = aside;
    return QString();
}

QString TInstallTransaction::MakeFolder(const QString& path) {
    int fd = -1;
    if (QString why = OpenFolder(path.split('/'), true, fd); !why.isEmpty()) return why;
    ::close(fd);
    return QString();
}

QString TInstallTransaction::Swap(int id, const QString& path) {
    Step step{Step::Placed, -1, {}, {}, false};
    if (QString why = OpenParent(path, true, step.parent, step.leaf); !why.isEmpty()) return why;
    if (QString why = KeepAside(step, true); !why.isEmpty()) {
        ::close(step.parent);
        return why;
    }
    steps_.push_back(step);
    Step& placed = steps_.back();
    if (::renameat(staging_, stagedNames_[std::size_t(id)].constData(), placed.parent,
                   placed.leaf.constData()) != 0)
        return Failed(QStringLiteral("Cannot put \"%1\" in place").arg(path));
    placed.done = true;
    return QString();
}

QString TInstallTransaction::Remove(const QString& path) {
    Step step{Step::Removed, -1, {}, {}, false};
    bool missing = false;
    if (QString why = OpenParent(path, false, step.parent, step.leaf, &missing); !why.isEmpty())
        return missing ? QString() : why; // its folder is not there, so neither is it
    struct stat st {};
    // Folders are not ours to take away.
    if (::fstatat(step.parent, step.leaf.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode)) {
        ::close(step.parent);
        return QString();
    }
    if (QString aside = KeepAside(step, false); !aside.isEmpty()) {
        ::close(step.parent);
        return aside;
    }
    step.done = !step.aside.isEmpty();
    steps_.push_back(step);
    return QString();
}

void TInstallTransaction::RemoveStaging() {
    for (const QByteArray& name : ownNames_)
        ::unlinkat(staging_, name.constData(), 0);
    ::unlinkat(root_, stagingName_.constData(), AT_REMOVEDIR);
}

void TInstallTransaction::Commit() {
    // The renames reach the disk before the old files go.
    for (const Step& s : steps_)
        if (s.parent >= 0) ::fsync(s.parent);
    if (staging_ >= 0) RemoveStaging();
    finished_ = true;
}

QString TInstallTransaction::Rollback() {
    finished_ = true;
    QStringList lost;
    for (auto s = steps_.rbegin(); s != steps_.rend(); ++s) {
        const char* leaf = s->leaf.constData();
        bool ok = true;
        switch (s->kind) {
        case Step::CreatedFolder:
            ok = ::unlinkat(s->parent, leaf, AT_REMOVEDIR) == 0;
            break;
        case Step::Placed:
        case Step::Removed:
            if (!s->aside.isEmpty())
                ok = ::renameat(staging_, s->aside.constData(), s->parent, leaf) == 0;
            else if (s->done)
                ok = ::unlinkat(s->parent, leaf, 0) == 0;
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
