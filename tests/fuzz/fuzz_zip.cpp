// Feeds arbitrary bytes to the ZIP reader and to the whole install step. Reading ends in data or an
// EZipFileError, never in a crash, a read outside the buffer or an allocation the input cannot justify;
// an install into a scratch folder either succeeds or leaves that folder exactly as it was, and never
// writes beside it.
#include "UnpackArchive.h"
#include "ZipFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

QStringList Listing(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.read(64) : QByteArray();
}

[[noreturn]] void Broken(const char* what, const UnpackReport& r) {
    std::fprintf(stderr, "install invariant broken: %s (%s)\n", what, qPrintable(r.error));
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TZipFile zip;
    try {
        zip.LoadFromBytes(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    } catch (const EZipFileError&) {
        return 0;
    }
    for (int i = -1; i <= zip.EntryCount(); ++i) {
        try {
            (void)zip.EntryFileName(i);
            (void)zip.EntryData(i);
        } catch (const EZipFileError&) {
        }
    }

    // Memory first, so that the disk stays out of the way of the fuzzer.
    static QTemporaryDir base(QDir("/dev/shm").exists() ? QStringLiteral("/dev/shm/fuzz-zip-XXXXXX")
                                                        : QDir::tempPath() + "/fuzz-zip-XXXXXX");
    const QString folder = base.path() + "/data/";
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    {
        QFile keep(folder + "Keep.gis");
        keep.open(QIODevice::WriteOnly);
        keep.write("kept");
    }
    UnpackOptions options;
    options.MaxTotalSize = 64 << 20;
    const UnpackReport r = InstallArchive(zip, folder, {folder + "Keep.gis"}, options);
    if (Listing(base.path()) != QStringList({"data"})) Broken("something was written beside the folder", r);
    const QStringList now = Listing(folder);
    if (!r.ok) {
        if (now != QStringList({"Keep.gis"}) || ReadFile(folder + "Keep.gis") != "kept")
            Broken("a failed install changed the folder", r);
    } else {
        for (const QString& name : now)
            if (name.startsWith(".tessara-")) Broken("the staging folder stayed", r);
        for (const QString& written : r.written)
            if (!QFileInfo::exists(folder + written)) Broken("a written file is missing", r);
        // Only an archive that brings the city it supersedes installs.
        if (!r.written.contains("Keep.gis")) Broken("an archive without the superseded file installed", r);
    }
    return 0;
}
