// The program's folders: where the executable lives, the all-users data folder and the temporary folder.
#pragma once

#include <QString>

struct Folders {
    QString ExeFolder;  // the executable's folder, with a trailing separator
    QString DataFolder; // all-users application data + "Tessara/"; update downloads go here
    QString TempFolder; // the user's temporary folder, with a trailing separator

    // The folders of this platform (needs a QCoreApplication for the executable's folder).
    static Folders System();
};
