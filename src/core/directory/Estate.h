// Real-estate offers: the query sent to the vendor service, its "|"-separated reply read into
// offers, the list cells, their ordering and the plain-text table the favourites are printed as.
// The reply comes from the network, so it is read defensively: damaged rows are skipped and counted,
// texts are cut to their widths and the number of offers is bounded.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

struct CityDb;
class QByteArray;

struct TFlat {
    std::int32_t id = -1; // -1 marks a favourite that was removed
    std::int32_t rooms = -1;
    float SAll = -1, SLive = -1, SKitchen = -1;
    std::int32_t cost = -1;
    std::int32_t build_id = -1;
    std::int32_t agent = -1;  // position in EstateAgents
    std::int32_t street = -1; // position in Streets
    QString num;              // at most 15 characters
    std::int32_t Level = -1, MaxLevel = -1;
    QString material, sanuzel, balcon; // at most 10 characters each
    QString comment;
    QString metro;
    // The city file the offer was found in; its street and agency positions refer to that city. A
    // favourite also keeps its city's name and its address and agency texts, shown while another
    // city is loaded.
    QString cityFile;
    QString cityName, addressText, agencyText;
};

// The row of a favourite: its own city's texts when `loadedCityFile` is another city.
QStringList FavoriteCells(const TFlat& f, const CityDb& db, int dataLang, const QString& loadedCityFile);

// The filter of the query form; -1 and empty texts are "not set".
struct EstateFilter {
    int material = -1; // index in the city's material list
    QString rooms, cost;
    int sanuzel = -1, balcon = -1;
    bool notFirstLevel = false, notLastLevel = false;
};

// base (ending in "/") + "sql.php?act=select&city=" + engName + the parameters that are set. Rooms
// and cost count only when they hold a whole number above 0; they are sent as the number.
QString EstateRequestUrl(const QString& base, const QString& engName, const EstateFilter& filter);

// The fixed bathroom and balcony kinds, by the index the service uses.
const QStringList& SanuzelKinds();
const QStringList& BalconKinds();

// The largest reply the program reads, and the most offers it lists from one reply.
inline constexpr qint64 MaxEstateReplyBytes = 10'000'000;
inline constexpr int MaxEstateOffers = 10'000;
// Longest comment or district text kept from a reply.
inline constexpr int MaxEstateText = 1000;

struct EstateReply {
    std::vector<TFlat> offers;
    int skipped = 0;        // rows with a field that is not what it must be, or cut short
    bool truncated = false; // more than MaxEstateOffers offers: the rest was not read
};

// Reads the reply body (Windows-1251): its first field is skipped, then 16 fields per offer.
EstateReply ParseEstateReply(const QByteArray& body, const CityDb& db, int dataLang);

// The ten cells of an offer's row: rooms, address, floor, material, areas, bathroom, balcony,
// cost, comment, agency.
QStringList EstateCells(const TFlat& f, const CityDb& db, int dataLang);

inline constexpr int EstateRoomsColumn = 0;
inline constexpr int EstateCostColumn = 7;
// Sign of the comparison of two cells of `column` (rooms and cost as numbers, the rest as text
// ignoring case), negated when descending.
int CompareEstateCells(const QString& a, const QString& b, int column, bool descending);

// The favourites as fixed-pitch text lines: a header of `captions` (9 entries), a rule of 100 "-",
// then the first nine cells of each row, each padded to the next column stop.
QStringList EstatePrintLines(const QStringList& captions, const std::vector<QStringList>& rows);
