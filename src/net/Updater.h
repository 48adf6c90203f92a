// The update run without its windows: the component and photo lists of the vendor site, the
// comparison with the installed cities, and downloading and installing what is ticked.
#pragma once

#include "Catalogue.h"
#include "HttpClient.h"
#include "VendorService.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

struct CityDb;

// The installed program's own release date.
inline constexpr const char* ProgramReleaseDate = "01.02.2020";
// Where the installer is stored in the temporary folder.
inline constexpr const char* InstallerFileName = "Tessara_install.exe";

// A check box of a component row as the list window shows it.
struct TCheck {
    QString Caption;
    bool Visible = false;
    bool Checked = false;
};

struct TFileInf {
    QString FileName;     // relative to the base address; the part after the last "/" is the local name
    QString FileNameFoto; // empty when no photo archive is offered
    QDate FotoDate{2000, 1, 1};
    QDate BeforFoto{2000, 1, 1};
    QString CityName;
    QString BeforDate = QStringLiteral("-");
    QString AfterDate;
    TCheck needUpdate;
    TCheck needFoto;
};

// Row 0 is the program itself, rows 1 onwards are cities.
using TInfTable = std::vector<TFileInf>;

// Reset at the start of every run; the callers read them afterwards.
struct DownloadOutcome {
    bool InstallerLaunched = false;
    bool DataInstalled = false;
    bool CurrentCityUpdated = false;
};

// The program state an update run reads and changes.
struct UpdateContext {
    QString DataFolder; // with a trailing separator; created when something is downloaded
    QString ExeFolder;
    QStringList SystemFolders; // all-users city folders: read into the catalogue, never written
    QString TempFolder;
    std::vector<TCity> Cities;
    int CurrentCity = -1;
    bool AutoUpdate = false;
    QString AppState; // "error" after a failed component, "quit" after the installer was started
    DownloadOutcome Outcome;
    CityDb* Db = nullptr; // the loaded city, whose photo index is read again at the end
};

// The list formats of the vendor site (Windows-1251 text, one field per line), in UpdateLists.cpp.
bool ParseComponentList(const QByteArray& bytes, TInfTable& table);
bool ParsePhotoList(const QByteArray& bytes, TInfTable& table);

// A check box caption with max(0, 12 - 2 x length) blanks in front.
QString PaddedCaption(const QString& caption);
// A date of the lists ("dd.MM.yyyy", blanks around it ignored); invalid when it is none.
QDate ListDate(const QString& text);

// What the download window does while components arrive.
struct UpdateHooks {
    std::function<void()> BeforeDownload;                     // the window becomes visible, the bar resets
    DownloadProgress Progress;                                // bar position and maximum
    std::function<void(const QString& detail)> Warning;       // ErrDownload, with what went wrong
    std::function<bool(const QString& path)> LaunchInstaller; // the shell's "open"
};

// The most a list may hold (a few lines per city).
inline constexpr qint64 MaxListBytes = 1 << 20;

class Updater {
public:
    Updater(UpdateContext& context, MirrorSites mirrors);

    TInfTable Table;
    QString Base; // the base address whose lists arrived; every later request uses it

    // Fetches and parses both lists from one base address; false when the component list fails.
    bool ReadLists(const QString& base);
    // Tries the first base address, then the second.
    bool FetchLists();
    // Installed dates, which boxes show, and the ticks of the selected city and a newer program.
    void Compare();
    // Downloads and installs every shown and ticked component, cities in list order, the program last.
    void Install(const UpdateHooks& hooks);
    // Empties the table, rebuilds the catalogue and reads the current city's photo index again.
    void Finish();

    HttpClient& Client() { return client_; }
    // Time-outs, the minimum rate and the Cancel hook of every download of the run; the size bound
    // of each comes from its list (MaxListBytes for the lists themselves).
    DownloadLimits Limits;
    // The user cancelled: the run stopped where it was, without a warning.
    bool Cancelled() const { return cancelled_; }
    // Why the lists did not come, from each base address tried.
    QString ListError;
    // Display names of the components installed by the run, " (Фото)" marking photo archives.
    QStringList Installed;

private:
    bool IsSelectedCity(const TFileInf& row) const;
    DownloadResult Get(const QString& url, const QString& target, qint64 maxBytes,
                       const DownloadProgress& progress);
    // Fetches base + `path` as `localName` into the data folder (or the fallback); `folder` tells which.
    DownloadResult Fetch(const QString& path, const QString& localName, const QString& caption,
                         const UpdateHooks& hooks, QString& folder);
    // True when `r` failed: a cancel stops the run quietly, any other failure warns and the run goes on.
    bool Failed(const DownloadResult& r, const QString& path, const UpdateHooks& hooks);
    void InstallCity(TFileInf& row, const UpdateHooks& hooks);
    void InstallFotos(TFileInf& row, const UpdateHooks& hooks);
    void InstallProgram(TFileInf& row, const UpdateHooks& hooks);

    UpdateContext& ctx_;
    MirrorSites mirrors_;
    HttpClient client_;
    bool cancelled_ = false;
};
