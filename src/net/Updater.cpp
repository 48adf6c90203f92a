#include "Updater.h"

#include "CityDb.h"
#include "CityFile.h"
#include "CityFileError.h"
#include "CityHeader.h"
#include "ArchivePlan.h"
#include "ComponentNames.h"
#include "ShellOpen.h"
#include "UnpackArchive.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const char* DateFormat = "dd.MM.yyyy";

QByteArray ReadAndRemove(const QString& path) {
    QFile f(path);
    QByteArray bytes;
    if (f.open(QIODevice::ReadOnly)) bytes = f.readAll();
    f.close();
    QFile::remove(path);
    return bytes;
}

} // namespace

Updater::Updater(UpdateContext& context, MirrorSites mirrors) : ctx_(context), mirrors_(std::move(mirrors)) {}

bool Updater::ReadLists(const QString& base) {
    TInfTable table;
    const QString listPath = ctx_.TempFolder + QStringLiteral("download.txt");
    const QString listUrl = base + QStringLiteral("download.txt");
    const DownloadResult r = Get(listUrl, listPath, MaxListBytes, {});
    auto failed = [&](const QString& why) {
        ListError += (ListError.isEmpty() ? QString() : QStringLiteral("\n")) + listUrl + QStringLiteral(": ") + why;
        return false;
    };
    if (!r.ok()) return failed(r.error);
    if (!ParseComponentList(ReadAndRemove(listPath), table)) return failed(QStringLiteral("not a component list"));

    const QString fotoPath = ctx_.TempFolder + QStringLiteral("fotos.txt");
    // The photo list is optional: a missing or malformed one offers no photos.
    if (Get(base + QStringLiteral("fotos.txt"), fotoPath, MaxListBytes, {}).ok())
        ParsePhotoList(ReadAndRemove(fotoPath), table);
    Table = std::move(table);
    return true;
}

bool Updater::FetchLists() {
    for (const QString& site : mirrors_.Sites) {
        if (cancelled_) return false;
        const QString base = WithTrailingSlash(site);
        if (ReadLists(base)) {
            Base = base;
            return true;
        }
    }
    return false;
}

bool Updater::IsSelectedCity(const TFileInf& row) const {
    return ctx_.CurrentCity >= 0 && ctx_.CurrentCity < int(ctx_.Cities.size()) &&
           ctx_.Cities[std::size_t(ctx_.CurrentCity)].CityName == row.CityName;
}

void Updater::Compare() {
    if (Table.empty()) return;
    Table[0].BeforDate = QString::fromLatin1(ProgramReleaseDate);
    for (std::size_t i = 1; i < Table.size(); ++i)
        for (const TCity& city : ctx_.Cities)
            if (city.CityName == Table[i].CityName) {
                Table[i].BeforDate = city.ReleaseDate;
                const QDate foto = ListDate(city.FotoDate);
                if (foto.isValid()) Table[i].BeforFoto = foto;
            }
    for (std::size_t i = 0; i < Table.size(); ++i) {
        TFileInf& row = Table[i];
        const QDate installed = ListDate(row.BeforDate), offered = ListDate(row.AfterDate);
        row.needUpdate.Visible = !(installed.isValid() && installed >= offered);
        row.needUpdate.Checked = i == 0 ? row.needUpdate.Visible : false;
        row.needFoto.Visible = !row.FileNameFoto.isEmpty() && row.FotoDate > row.BeforFoto;
        row.needFoto.Checked = false;
        if (IsSelectedCity(row)) {
            row.needUpdate.Checked = row.needUpdate.Visible;
            row.needFoto.Checked = row.needFoto.Visible;
        }
    }
}

DownloadResult Updater::Get(const QString& url, const QString& target, qint64 maxBytes,
                            const DownloadProgress& progress) {
    DownloadLimits limits = Limits;
    limits.MaxBytes = std::min(limits.MaxBytes, maxBytes);
    const DownloadResult r = DownloadFile(url, target, progress, limits);
    if (r.status == DownloadStatus::Cancelled) cancelled_ = true;
    return r;
}

DownloadResult Updater::Fetch(const QString& path, const QString& localName, const QString& caption,
                              const UpdateHooks& hooks, QString& folder) {
    const qint64 bound = DownloadBound(caption);
    if (hooks.BeforeDownload) hooks.BeforeDownload();
    folder = ctx_.DataFolder;
    DownloadResult r = Get(Base + path, folder + localName, bound, hooks.Progress);
    // A data folder that cannot take the file sends it to the selected city's folder, unless that is an
    // all-users folder: those belong to the package manager or the administrator, even for root.
    if (r.status == DownloadStatus::FileError && ctx_.CurrentCity >= 0 &&
        ctx_.CurrentCity < int(ctx_.Cities.size()) &&
        !ctx_.SystemFolders.contains(ctx_.Cities[std::size_t(ctx_.CurrentCity)].path)) {
        folder = ctx_.Cities[std::size_t(ctx_.CurrentCity)].path;
        if (hooks.BeforeDownload) hooks.BeforeDownload();
        r = Get(Base + path, folder + localName, bound, hooks.Progress);
    }
    return r;
}

bool Updater::Failed(const DownloadResult& r, const QString& path, const UpdateHooks& hooks) {
    if (r.ok()) return false;
    // The user asked for it: no warning, and nothing else is fetched.
    if (r.status == DownloadStatus::Cancelled) return true;
    ctx_.AppState = QStringLiteral("error");
    if (hooks.Warning) hooks.Warning(QStringLiteral("%1: %2").arg(path, r.error));
    return true;
}

void Updater::InstallCity(TFileInf& row, const UpdateHooks& hooks) {
    QString folder;
    const QString localName = LocalName(row.FileName);
    // Until it is installed the archive keeps a name of the installer's own, so that one left behind by
    // a program that ended before the install is known for what it is at the next start.
    const QString downloaded = QLatin1String(DownloadNamePrefix) + localName;
    const DownloadResult r = Fetch(row.FileName, downloaded, row.needUpdate.Caption, hooks, folder);
    if (Failed(r, row.FileName, hooks)) return;
    auto failed = [&](const QString& why) {
        ctx_.AppState = QStringLiteral("error");
        if (hooks.Warning) hooks.Warning(why);
    };
    const QString cityFile = QFileInfo(localName).completeBaseName() + QStringLiteral(".gis");
    // Inflating a large city takes a while: the download window's bar follows it.
    UnpackOptions options;
    if (hooks.Progress)
        options.Progress = [&](std::uint64_t done, std::uint64_t total) { hooks.Progress(qint64(done), qint64(total)); };
    // The archive must bring its city, and a city file that the catalogue can read.
    options.CheckFile = [&](const QString& target, const QByteArray& head) {
        return target == cityFile && !ParseCityHeader(head) ? QStringLiteral("is not a city file") : QString();
    };
    const UnpackReport unpacked = UnpackArchive(folder + downloaded, folder, {folder + cityFile}, options);
    if (!unpacked.ok) return failed(unpacked.error);
    if (IsSelectedCity(row)) ctx_.Outcome.CurrentCityUpdated = true;
    ctx_.Outcome.DataInstalled = true;
    Installed << row.CityName;
    // The reply is not awaited for anything: a failed report does not stop the run.
    client_.Cancelled = Limits.Cancelled;
    SendInstalledFileReport(client_, Base, localName);
}

void Updater::InstallFotos(TFileInf& row, const UpdateHooks& hooks) {
    QString folder;
    const DownloadResult r = Fetch(row.FileNameFoto, LocalName(row.FileNameFoto), row.needFoto.Caption, hooks, folder);
    if (Failed(r, row.FileNameFoto, hooks)) return;
    Installed << row.CityName + QStringLiteral(" (Фото)");
    for (TCity& city : ctx_.Cities)
        if (city.CityName == row.CityName) city.FotoDate = row.FotoDate.toString(QLatin1String(DateFormat));
}

void Updater::InstallProgram(TFileInf& row, const UpdateHooks& hooks) {
    if (hooks.BeforeDownload) hooks.BeforeDownload();
    const QString target = ctx_.TempFolder + QLatin1String(InstallerFileName);
    QFile::remove(target);
    const DownloadResult r =
        Get(Base + row.FileName, target, DownloadBound(row.needUpdate.Caption), hooks.Progress);
    if (Failed(r, row.FileName, hooks)) return;
    QFile(target).setPermissions(QFile(target).permissions() | QFileDevice::ExeOwner | QFileDevice::ExeUser);
    ctx_.Outcome.InstallerLaunched = true;
    ctx_.AppState = QStringLiteral("quit");
    if (hooks.LaunchInstaller)
        hooks.LaunchInstaller(target);
    else
        ShellOpen(target);
}

void Updater::Install(const UpdateHooks& hooks) {
    QDir().mkpath(ctx_.DataFolder);
    // Names are judged on the whole list before anything is fetched, so that a row cannot take the
    // place of a file another row or the installation owns.
    const std::vector<RowRefusal> refusals = CheckLocalNames(Table, ctx_.Cities);
    auto refuse = [&](const QString& why) {
        ctx_.AppState = QStringLiteral("error");
        if (hooks.Warning) hooks.Warning(why);
    };
    for (std::size_t i = 1; i < Table.size() && !cancelled_; ++i) {
        TFileInf& row = Table[i];
        if (row.needUpdate.Visible && row.needUpdate.Checked) {
            if (refusals[i].Update.isEmpty())
                InstallCity(row, hooks);
            else
                refuse(refusals[i].Update);
        }
        if (cancelled_) break;
        if (row.needFoto.Visible && row.needFoto.Checked) {
            if (refusals[i].Foto.isEmpty())
                InstallFotos(row, hooks);
            else
                refuse(refusals[i].Foto);
        }
    }
    if (!cancelled_ && !Table.empty() && Table[0].needUpdate.Visible && Table[0].needUpdate.Checked)
        InstallProgram(Table[0], hooks);
}

void Updater::Finish() {
    Table.clear();
    const bool selected = ctx_.CurrentCity >= 0 && ctx_.CurrentCity < int(ctx_.Cities.size());
    const QString current = selected ? ctx_.Cities[std::size_t(ctx_.CurrentCity)].CityName : QString();
    const QString currentFile = selected ? ctx_.Cities[std::size_t(ctx_.CurrentCity)].FilePath() : QString();
    ctx_.Cities = BuildCatalogue(ctx_.DataFolder, ctx_.SystemFolders, ctx_.ExeFolder);
    // New cities may sort before the selected one: it is found again by its file, which tells apart two
    // files of one city name, and by name when an update replaced the file.
    ctx_.CurrentCity = -1;
    for (std::size_t i = 0; selected && i < ctx_.Cities.size(); ++i)
        if (ctx_.Cities[i].FilePath() == currentFile) ctx_.CurrentCity = int(i);
    if (selected && ctx_.CurrentCity < 0) ctx_.CurrentCity = FindCity(ctx_.Cities, current);
    if (ctx_.Db && ctx_.CurrentCity >= 0) {
        try {
            LoadPhotoIndex(*ctx_.Db, CityFileRef::From(ctx_.Cities[std::size_t(ctx_.CurrentCity)]));
        } catch (const CityFileError&) {
            ctx_.Db->Fotos.clear();
        }
    }
}
