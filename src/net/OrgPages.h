// Organisation pages: files kept in the city file's resource area, written into a folder private to
// this run of the program and opened with the system's default handler.
#pragma once

#include <QString>

struct CityDb;
struct CityFileRef;
struct TPg;

// A page file holds at most this many bytes; a larger one is invalid data.
constexpr int MaxPageSize = 1000000;

// A folder of this run that only this user can enter (mode 0700, a fresh name under the user's
// runtime folder, else under the user's cache folder), made on first use, with a trailing separator;
// empty when none can be made. Pages never go to a folder other users share.
QString PrivateTempFolder();
// Removes that folder and everything in it (links are removed, never followed); the next use makes
// a new one.
void RemovePrivateTempFolder();

// `tempFolder` + "pages/"; an empty `tempFolder` means PrivateTempFolder().
QString PagesFolder(const QString& tempFolder = {});

// Whether a page file name ends with an extension of a document or picture that a browser or viewer
// shows (".html", ".htm", ".mht", ".mhtml", ".pdf", ".txt", ".jpg", ".jpeg", ".png", ".gif", in any
// case). The system opens a page by its extension: anything else (a launcher, a script, a program)
// is neither written nor opened.
bool IsPageFileName(const QString& name);

struct PageOpening {
    QString TempFolder;      // with a trailing separator; empty: PrivateTempFolder()
    bool Suppressed = false; // the result cards set this while expanding every card
};

// Writes the page into the pages folder; false (with the reason) for a web address, a name that is
// absolute or climbs out of the folder, a name that IsPageFileName refuses, a size past the limit or the
// file, a pages folder that is not this user's own, a target that is not a plain file of ours (a link, a
// device, a folder), or a target that stays locked through every retry.
bool Unpack(const TPg& page, const CityFileRef& city, const QString& tempFolder, QString* error = nullptr);

// Unpacks and opens the page of the organisation at `orgPos`; nothing for -1, an organisation without
// a page, a web address (its callers open those) or while opening is suppressed. Never reports an error.
void OpenOrgPage(const CityDb& db, const CityFileRef& city, int orgPos, const PageOpening& opening);

// Deletes the files of a folder and, recursively, its subfolders whose names hold no "."; then removes
// the folder itself, which quietly fails when something is left in it.
void DeleteFolderTree(const QString& folder);
