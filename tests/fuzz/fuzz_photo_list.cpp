// Feeds arbitrary bytes to the photo list parser ("fotos.txt") over a fixed component table, then to the
// checks of the photo files' local names. Any input must end in a filled table or a refusal that leaves
// the table as it was, never in a crash.
#include "ComponentNames.h"
#include "Updater.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void Broken(const char* what) {
    std::fprintf(stderr, "photo list invariant broken: %s\n", what);
    std::abort();
}

TInfTable Components() {
    TInfTable table(3);
    table[0].FileName = QStringLiteral("download/Tessara_install.exe");
    table[0].CityName = QStringLiteral("Tessara");
    table[1].FileName = QStringLiteral("download/Demograd.zip");
    table[1].CityName = QStringLiteral("Демоград");
    table[2].FileName = QStringLiteral("download/Other.zip");
    table[2].CityName = QStringLiteral("Other");
    for (TFileInf& row : table)
        row.AfterDate = QStringLiteral("01.11.2026");
    return table;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    TInfTable table = Components();
    if (!ParsePhotoList(bytes, table)) {
        for (const TFileInf& row : table)
            if (!row.FileNameFoto.isEmpty()) Broken("a refused list changed the table");
        return 0;
    }
    if (table.size() != 3) Broken("the photo list changed the rows");
    for (const TFileInf& row : table) {
        if (!row.FileNameFoto.isEmpty() && !row.FotoDate.isValid()) Broken("a photo file without a date");
        (void)LocalName(row.FileNameFoto);
        (void)DownloadBound(row.needFoto.Caption);
    }
    if (CheckLocalNames(table, {}).size() != table.size()) Broken("refusals do not match the rows");
    return 0;
}
