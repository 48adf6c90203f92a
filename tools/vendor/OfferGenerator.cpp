#include "OfferGenerator.h"

#include "CityDb.h"
#include "DirectoryRecords.h"

#include <QRandomGenerator>
#include <algorithm>

std::vector<StoredOffer> GenerateOffers(const CityDb& db, const QString& engName, int count, quint32 seed) {
    QRandomGenerator rng(seed);
    // The estate agencies, as the program finds them: organisations in the agencies' rubric.
    std::vector<qint32> agencies;
    if (const qsizetype r = db.RubricNames.indexOf(QString::fromUtf8(EstateAgentsRubric)); r >= 0)
        for (const TOrg& o : db.Orgs)
            if (std::find(o.area.begin(), o.area.end(), std::int32_t(r)) != o.area.end()) agencies.push_back(o.id);
    const int materials = std::max<int>(0, int(db.MaterialNames.size()) - 1);
    static const char* const comments[] = {"", "", "тихий двор", "после ремонта", "вид на парк", "срочно",
                                           "рядом школа", "без посредников", "новый дом"};
    static const char* const districts[] = {"", "Центр", "Северный", "Заречье", "Южный", "Парковый"};
    std::vector<StoredOffer> out;
    out.reserve(count);
    for (int i = 0; i < count; ++i) {
        StoredOffer o;
        o.city = engName;
        o.id = 1000 + i;
        const int kind = rng.bounded(100);
        o.rooms = kind < 8 ? 10 + 2 + rng.bounded(3) // a room in a flat of 2 to 4 rooms
                           : 1 + rng.bounded(kind < 60 ? 2 : 5);
        o.metro = QString::fromUtf8(districts[rng.bounded(int(std::size(districts)))]);
        const int whole = *o.rooms >= 10 ? *o.rooms % 10 : *o.rooms;
        if (!db.Buildings.empty() && rng.bounded(10) != 0) {
            const TBuilding& b = db.Buildings[rng.bounded(quint32(db.Buildings.size()))];
            o.build_id = b.id;
            if (b.material > 0) o.material = int(b.material) - 1;
        } else if (!db.Streets.empty()) {
            // Some offers name only their street.
            o.street = db.Streets[rng.bounded(quint32(db.Streets.size()))].Name.value(0);
        }
        if (!o.material && materials > 0 && rng.bounded(2)) o.material = rng.bounded(materials);
        o.max_level = 2 + rng.bounded(15);
        o.level = 1 + rng.bounded(*o.max_level);
        if (rng.bounded(4) != 0) o.sanuzel = rng.bounded(2);
        if (rng.bounded(4) != 0) o.balcon = rng.bounded(4);
        const double all = 18 + whole * (14 + rng.bounded(10)) + rng.bounded(10) / 10.0;
        o.s_all = all;
        if (rng.bounded(3) != 0) o.s_live = std::round(all * 6) / 10;
        if (rng.bounded(3) != 0) o.s_kitchen = 6 + rng.bounded(60) / 10.0;
        o.cost = int(all * (40 + rng.bounded(40)));
        o.comment = QString::fromUtf8(comments[rng.bounded(int(std::size(comments)))]);
        if (!agencies.empty() && rng.bounded(10) != 0) o.agency = agencies[rng.bounded(quint32(agencies.size()))];
        out.push_back(std::move(o));
    }
    return out;
}
