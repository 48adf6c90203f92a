// The program's state for its whole run: folders, settings, colours, cursors, the city catalogue and
// the selected city, the loaded city and the mode word shared by the start and main windows.
#pragma once

#include "Catalogue.h"
#include "CityDb.h"
#include "CityFile.h"
#include "ColorScheme.h"
#include "Folders.h"
#include "MapCursors.h"
#include "PendingAddress.h"
#include "Settings.h"
#include "TextTable.h"
#include "Updater.h"
#include "VendorService.h"

#include <QString>
#include <memory>
#include <vector>

class QWidget;

// The application's names and style, set once after the QApplication exists. No display name is set:
// the platform would append it to every window title.
void ConfigureApplication();

struct AppContext {
    Folders folders;
    Settings settings;
    ColorSchemeTable colors;
    CursorTable cursors;
    LanguageHooks languageHooks;
    VendorService vendor;

    std::vector<TCity> Cities;
    int CurrentCity = -1;
    QString LastCity;
    CityFileRef city; // the selected city's file
    QString ReleaseDate;
    QString ReleaseCaption; // month name and year of the release
    QString MainTitle;

    // The start section of the selected city, then the whole city from loading until the main window closes.
    std::unique_ptr<CityDb> db = std::make_unique<CityDb>();

    // "start", "back", "quit", "error", empty, or a map gesture ("move", "scale", "scale_move", ...).
    QString AppState;
    DownloadOutcome Outcome;

    // An address another program asked the map to show (the command server); the main window serves it.
    PendingAddress pendingAddress;

    // Banners the main window rotates: organisation ids and the current position (-1 when none).
    Tai DownBannerIds, MapBannerIds;
    int DownBannerPos = -1, MapBannerPos = -1;

    // Start-up order of the settings: cursors, colour schemes, defaults, the stored values, the active
    // scheme; then LangText follows the interface language. Needs a running GUI application.
    void LoadSettings();
    const TCity* Current() const {
        return CurrentCity >= 0 && CurrentCity < int(Cities.size()) ? &Cities[CurrentCity] : nullptr;
    }
    void RebuildCatalogue();
    // Copies the catalogue entry into the selected city's state; -1 clears it.
    void SelectCity(int index);

    // Runs the download window modally on the program state and takes back the catalogue, the
    // selected city, AppState and the outcome. `transparent` hides it until a download starts.
    void RunDownload(QWidget* parent, bool transparent, bool asking);

    // The test hook of the download window: when set, it runs instead of the window.
    std::function<void(UpdateContext&)> runDownload;
};
