// Puts a set of files into a folder all at once or not at all. New files are written into a private
// staging folder inside it, then swapped in one by one while each file they replace is kept aside;
// on any failure every step is undone, so the folder ends as it was, byte for byte. Each step is written
// to a journal in the staging folder before it is taken, so that a program that died half-way can be
// undone at its next start (RecoverInterruptedInstalls).
#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

class TInstallTransaction {
public:
    explicit TInstallTransaction(const QString& folder);
    ~TInstallTransaction(); // undoes what was not committed
    TInstallTransaction(const TInstallTransaction&) = delete;
    TInstallTransaction& operator=(const TInstallTransaction&) = delete;

    // Each returns an empty text on success, else what went wrong.

    // Opens the folder, checks that `bytesNeeded` fit on its disk and creates the staging folder.
    QString Begin(std::uint64_t bytesNeeded);
    // A new empty file in the staging folder, open for writing: the caller writes, syncs and closes `fd`.
    QString Stage(int& id, int& fd);
    // Paths are below the folder, '/'-separated, already checked; no link on the way is followed.
    QString MakeFolder(const QString& path);
    // Puts staged file `id` at `path`, creating the folders above it; what was there is kept aside.
    QString Swap(int id, const QString& path);
    // Takes the file at `path` out of the folder (kept aside until the commit); nothing there is fine.
    QString Remove(const QString& path);
    // Drops the kept files and the staging folder: the new files stay.
    void Commit();
    // Puts everything back and removes the staging folder. When something cannot be put back, the
    // staging folder stays with the kept files in it, and the text says where.
    QString Rollback();

    // Undoes every install into `folder` that was left half-done by a program that ended without
    // committing or rolling back, and removes its staging folder; one that was committed is only
    // cleared away. A transaction still running (in any process) is not touched. An archive downloaded
    // for an install that never ran (DownloadNamePrefix) is removed too. Returns what could not be put
    // back (its staging folder then stays, with the kept files in it).
    static QStringList RecoverInterruptedInstalls(const QString& folder);

    // Folder descriptors held open at most at once: an archive of thousands of folders must not run
    // the process out of descriptors.
    static constexpr int MaxOpenFolders = 64;

private:
    struct Step {
        enum Kind { CreatedFolder, Placed, Removed } kind;
        QString parent; // the folder holding `leaf`, below ours ('/'-separated, empty for ours)
        QByteArray leaf;
        QByteArray aside; // name in the staging folder of what was there; empty: nothing was
        bool done = false;
    };
    static QStringList RecoverStaging(const QString& folder);
    // The folder at `path` below ours, entered without following links, creating missing ones when
    // asked (each recorded for the rollback); `missing` tells a folder that is not there from other
    // failures. The descriptor stays the transaction's: one per folder, at most MaxOpenFolders open.
    QString OpenFolder(const QString& path, bool create, int& fd, bool* missing = nullptr);
    QString OpenParent(const QString& path, bool create, int& fd, QString& parent, QByteArray& leaf,
                       bool* missing = nullptr);
    void ForgetFolder(const QString& path);
    void CloseFolders();
    QString KeepAside(Step& step, int parent, bool byLink, const QString& path);
    QByteArray NewName(char kind);
    void RemoveStaging();
    // Appends one line to the journal before the step it describes is taken.
    QString Journal(const QByteArray& line);

    QString folder_;
    int root_ = -1;
    int staging_ = -1;
    int journal_ = -1; // locked while the transaction runs
    QByteArray stagingName_;
    std::vector<QByteArray> stagedNames_; // by id
    std::vector<QByteArray> ownNames_;    // everything ever created in the staging folder
    std::vector<Step> steps_;
    QHash<QString, int> folders_; // open descriptors by path below ours
    int counter_ = 0;
    bool finished_ = false;
};
