// The program's folders: where the executable lives, the user's data folder, the all-users city folders and
// the temporary folder.
#pragma once

#include <QString>
#include <QStringList>

struct Folders {
    QString ExeFolder;  // the executable's folder, with a trailing separator
    QString DataFolder; // the user's data folder + "Tessara/"; update downloads go here
    QString TempFolder; // the user's temporary folder, with a trailing separator
    // Cities for every user of the machine, read and never written: the packaged cities beside the program
    // (<prefix>/share/tessara/cities) and "tessara/cities" under each system data folder. Trailing separators.
    QStringList SystemFolders;

    // The folders of this platform (needs a QCoreApplication for the executable's folder).
    static Folders System();
};

// The all-users city folders for a program in `exeFolder` and the system data folders `dataDirs`, in that
// order, without repeats and without `exclude` (the user's data and program folders when they coincide).
QStringList SystemCityFolders(const QString& exeFolder, const QStringList& dataDirs, const QStringList& exclude);

// A folder only this user can open (their own, no access for group or others, not a link), with a
// trailing separator: the session's runtime folder (XDG_RUNTIME_DIR, else /run/user/UID), or when that
// is missing or not private, "Tessara/runtime-UID" in the user's cache folder, made so. Empty when none
// can be had. The program's sockets live here, so that no other user can take their names.
QString UserRuntimeFolder();

// Whether `folder` is a folder of this user that nobody else can open (not through a link).
bool IsPrivateFolder(const QString& folder);
