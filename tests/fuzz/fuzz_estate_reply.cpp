// Feeds arbitrary replies of the vendor service's real-estate query to the parser the estate window
// uses, then builds every offer's list cells and sorts two columns, as the window shows them. Input:
// byte 0 picks the data language, the rest is the reply body. Any reply must end in offers whose
// positions lie inside the city, never in a crash.
#include "Estate.h"
#include "EstateCity.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void Broken(const char* what) {
    std::fprintf(stderr, "offer reply invariant broken: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const int dataLang = data[0] & 1;
    const QByteArray body(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    static const EstateCity city;
    const CityDb& db = city.db;
    const EstateReply reply = ParseEstateReply(body, db, dataLang);
    if (int(reply.offers.size()) > MaxEstateOffers) Broken("more offers than the bound");
    std::vector<QStringList> rows;
    for (const TFlat& f : reply.offers) {
        if (f.street >= int(db.Streets.size()) || f.agent >= int(db.EstateAgents.size()))
            Broken("a position outside the city");
        if (f.comment.size() > MaxEstateText || f.metro.size() > MaxEstateText) Broken("a text past its bound");
        rows.push_back(EstateCells(f, db, dataLang));
    }
    for (std::size_t i = 1; i < rows.size() && i < 64; ++i) {
        (void)CompareEstateCells(rows[i - 1][EstateRoomsColumn], rows[i][EstateRoomsColumn], EstateRoomsColumn, false);
        (void)CompareEstateCells(rows[i - 1][EstateCostColumn], rows[i][EstateCostColumn], EstateCostColumn, true);
    }
    (void)EstatePrintLines(QStringList(9, QStringLiteral("c")), rows);
    return 0;
}
