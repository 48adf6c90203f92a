// The user manual: HTML pages shipped beside the program (or in its installed documentation folder),
// opened in the system browser; a missing manual is said in a message box.
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// Folders that may hold the manual, in the order they are tried: beside the program, the installed
// documentation of a program in bin/, and the city's own folder.
QStringList UserManualFolders(const QString& exeFolder, const QString& cityFolder = {});

// The page to open for the interface language (its own landing page, else the bilingual one);
// empty when no folder holds the manual.
QString UserManualPage(const QString& exeFolder, int shellLang, const QString& cityFolder = {});

// Opens the manual through the shell; when it is missing, a warning over `parent` names the folder
// it belongs in. True when the manual was handed to the shell.
bool OpenUserManual(QWidget* parent, const QString& exeFolder, int shellLang, const QString& cityFolder = {});
