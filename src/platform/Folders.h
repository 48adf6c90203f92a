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
