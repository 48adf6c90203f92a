// Feeds arbitrary bytes to the component list parser ("download.txt") and to what the update run does
// next with the rows: their local names, the checks on them and the size their captions declare. Any
// input must end in a table or a refusal, never in a crash, and an accepted table holds only rows the
// comparison can read.
#include "ComponentNames.h"
#include "Updater.h"

#include <QDate>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void Broken(const char* what) {
    std::fprintf(stderr, "component list invariant broken: %s\n", what);
    std::abort();
}

// Installed cities the local names are checked against.
const std::vector<TCity>& Installed() {
    static const std::vector<TCity> cities = [] {
        TCity c;
        c.path = QStringLiteral("/nonexistent/data/");
        c.FileName = QStringLiteral("Demograd.gis");
        c.EngName = QStringLiteral("Demograd");
        c.CityName = QStringLiteral("Демоград");
        c.ReleaseDate = QStringLiteral("01.05.2026");
        return std::vector<TCity>{c};
    }();
    return cities;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    TInfTable table(1);
    table[0].FileName = QStringLiteral("untouched");
    if (!ParseComponentList(bytes, table)) {
        if (table.size() != 1 || table[0].FileName != QLatin1String("untouched")) Broken("a refused list changed the table");
        return 0;
    }
    if (table.empty()) Broken("an accepted list without rows");
    for (const TFileInf& row : table) {
        if (row.FileName.isEmpty()) Broken("a row without a file");
        if (!QDate::fromString(row.AfterDate.trimmed(), QStringLiteral("dd.MM.yyyy")).isValid())
            Broken("a row whose offered date does not read");
        (void)LocalName(row.FileName);
        (void)IsSafeFileName(LocalName(row.FileName));
        if (DownloadBound(row.needUpdate.Caption) <= 0) Broken("a download bound of nothing");
        (void)PaddedCaption(row.needUpdate.Caption);
    }
    if (CheckLocalNames(table, Installed()).size() != table.size()) Broken("refusals do not match the rows");
    return 0;
}
