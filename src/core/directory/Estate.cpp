#include "Estate.h"

#include "CityDb.h"
#include "Cp1251.h"
#include "OrgSearch.h"

#include <QByteArray>
#include <QHash>
#include <QLocale>
#include <QUrl>
#include <array>
#include <utility>
#include <cmath>

namespace {

// A whole number above 0, as the form's rooms and cost fields must hold to be sent.
QString PositiveNumber(const QString& text) {
    bool ok = false;
    const qlonglong n = text.trimmed().toLongLong(&ok);
    return ok && n > 0 && n <= 2147483647 ? QString::number(n) : QString();
}

// Fields of a reply: empty is unknown (-1); anything else must be the number whole.
bool ReadInt(QStringView field, std::int32_t& out) {
    if (field.isEmpty()) {
        out = -1;
        return true;
    }
    bool ok = false;
    const int v = field.toInt(&ok);
    out = v;
    return ok;
}

bool ReadArea(QStringView field, float& out) {
    if (field.isEmpty()) {
        out = -1;
        return true;
    }
    bool ok = false;
    const double v = QLocale::c().toDouble(field, &ok);
    if (!ok || !std::isfinite(v) || std::fabs(v) > 1e9) return false;
    out = float(v);
    return true;
}

// The name at `index` of a fixed list, empty for an index the list does not have.
QString Pick(const QStringList& list, std::int32_t index) {
    return index >= 0 && index < list.size() ? list[index] : QString();
}

constexpr int FieldsPerOffer = 16;

} // namespace

const QStringList& SanuzelKinds() {
    static const QStringList kinds{QStringLiteral("разд."), QStringLiteral("совм.")};
    return kinds;
}

const QStringList& BalconKinds() {
    static const QStringList kinds{QStringLiteral("нет"), QStringLiteral("балкон"), QStringLiteral("лоджия"),
                                   QStringLiteral("п/лоджия")};
    return kinds;
}

QString EstateRequestUrl(const QString& base, const QString& engName, const EstateFilter& f) {
    // The city name is the only text that is not a number: percent-encoded so it cannot add
    // parameters of its own.
    QString url = base + QStringLiteral("sql.php?act=select&city=") +
                  QString::fromLatin1(QUrl::toPercentEncoding(engName));
    if (f.material >= 0) url += QStringLiteral("&material=") + QString::number(f.material);
    if (const QString n = PositiveNumber(f.rooms); !n.isEmpty()) url += QStringLiteral("&rooms=") + n;
    if (const QString n = PositiveNumber(f.cost); !n.isEmpty()) url += QStringLiteral("&cost=") + n;
    if (f.sanuzel >= 0) url += QStringLiteral("&sanuzel=") + QString::number(f.sanuzel);
    if (f.balcon >= 0) url += QStringLiteral("&balcon=") + QString::number(f.balcon);
    if (f.notFirstLevel) url += QStringLiteral("&NotFirstLevel=1");
    if (f.notLastLevel) url += QStringLiteral("&NotLastLevel=1");
    return url;
}

EstateReply ParseEstateReply(const QByteArray& body, const CityDb& db, int dataLang) {
    EstateReply out;
    const QString text = FromCp1251(QByteArrayView(body).first(std::min<qsizetype>(body.size(), MaxEstateReplyBytes)));
    std::vector<QStringView> fields;
    {
        const QStringView all(text);
        qsizetype from = 0;
        for (;;) {
            const qsizetype bar = all.indexOf(u'|', from);
            fields.push_back(all.mid(from, bar < 0 ? -1 : bar - from));
            if (bar < 0) break;
            from = bar + 1;
        }
    }

    const QStringList materials = [&] {
        QStringList m;
        for (std::size_t i = 1; i < db.MaterialNames.size(); ++i)
            m << InLang(db.MaterialNames[i], dataLang);
        return m;
    }();

    // Building ids are looked up once for the whole reply: a walk of Buildings keeps the first
    // building of each id that the reply names.
    QHash<std::int32_t, std::int32_t> buildingOf;
    QHash<QString, int> streetOf;
    std::vector<std::array<QStringView, FieldsPerOffer>> rows;

    std::size_t i = 1; // the first field is not an offer's
    while (i < fields.size()) {
        const std::size_t left = fields.size() - i;
        if (left == 1 && fields[i].trimmed().isEmpty()) break; // the trailing "|"
        if (left < FieldsPerOffer) {
            ++out.skipped;
            break;
        }
        if (int(rows.size()) == MaxEstateOffers) {
            out.truncated = true;
            break;
        }
        std::array<QStringView, FieldsPerOffer> row;
        for (int k = 0; k < FieldsPerOffer; ++k)
            row[k] = fields[i + k];
        i += FieldsPerOffer;
        rows.push_back(row);
    }

    out.offers.reserve(rows.size());
    std::vector<std::int32_t> wantedBuildings;
    for (const auto& row : rows) {
        TFlat f;
        std::int32_t materialIndex = -1, sanuzelIndex = -1, balconIndex = -1, agencyId = -1;
        const bool ok = !row[0].trimmed().isEmpty() && ReadInt(row[0].trimmed(), f.id) && f.id != -1 &&
                        ReadInt(row[1].trimmed(), f.rooms) && ReadInt(row[3].trimmed(), f.build_id) &&
                        ReadInt(row[4].trimmed(), f.Level) && ReadInt(row[5].trimmed(), f.MaxLevel) &&
                        ReadInt(row[6].trimmed(), materialIndex) && ReadInt(row[7].trimmed(), sanuzelIndex) &&
                        ReadInt(row[8].trimmed(), balconIndex) && ReadArea(row[9].trimmed(), f.SAll) &&
                        ReadArea(row[10].trimmed(), f.SLive) && ReadArea(row[11].trimmed(), f.SKitchen) &&
                        ReadInt(row[12].trimmed(), f.cost) && ReadInt(row[14].trimmed(), agencyId);
        if (!ok) {
            ++out.skipped;
            continue;
        }
        f.metro = row[2].left(MaxEstateText).toString();
        f.material = Pick(materials, materialIndex).left(10);
        f.sanuzel = Pick(SanuzelKinds(), sanuzelIndex);
        f.balcon = Pick(BalconKinds(), balconIndex);
        f.comment = row[13].left(MaxEstateText).toString();
        if (agencyId != -1)
            for (std::size_t a = 0; a < db.EstateAgents.size(); ++a)
                if (db.EstateAgents[a].id == agencyId) {
                    f.agent = std::int32_t(a);
                    break;
                }
        if (f.build_id != -1 && !buildingOf.contains(f.build_id)) {
            buildingOf.insert(f.build_id, -1);
            wantedBuildings.push_back(f.build_id);
        }
        // The street name waits in `num` until the buildings are known.
        f.num = row[15].trimmed().left(MaxEstateText).toString();
        out.offers.push_back(std::move(f));
    }

    if (!wantedBuildings.empty()) {
        std::size_t found = 0;
        for (std::size_t b = 0; b < db.Buildings.size() && found < wantedBuildings.size(); ++b) {
            const auto it = buildingOf.find(db.Buildings[b].id);
            if (it != buildingOf.end() && *it == -1) {
                *it = std::int32_t(b);
                ++found;
            }
        }
    }

    for (TFlat& f : out.offers) {
        const QString streetName = std::exchange(f.num, QString());
        if (f.build_id != -1) {
            const std::int32_t b = buildingOf.value(f.build_id, -1);
            if (b >= 0) {
                const TBuilding& building = db.Buildings[b];
                f.street = building.street;
                f.num = building.num.value(dataLang).left(13);
            }
        }
        if (!streetName.isEmpty()) {
            // The first street of each name, compared as FindStreet does, prepared once per reply. The
            // service names streets in any data language: the shown one wins, then the others in order.
            if (streetOf.isEmpty()) {
                qsizetype langs = 0;
                for (const TStreet& street : db.Streets)
                    langs = std::max(langs, street.Name.size());
                const auto addLanguage = [&](qsizetype lang) {
                    for (std::size_t s = db.Streets.size(); s-- > 0;) {
                        const QString name = InLang(db.Streets[s].Name, int(lang));
                        if (!name.isEmpty()) streetOf.insert(SearchLower(name), int(s));
                    }
                };
                for (qsizetype lang = langs; lang-- > 0;)
                    if (lang != dataLang) addLanguage(lang);
                addLanguage(dataLang);
            }
            f.street = streetOf.value(SearchLower(streetName), -1);
        }
    }
    return out;
}

QStringList EstateCells(const TFlat& f, const CityDb& db, int dataLang) {
    QStringList c;
    c.reserve(10);
    if (f.rooms == -1)
        c << QString();
    else if (f.rooms >= 10 && f.rooms <= 99)
        c << QString::number(f.rooms / 10) + '/' + QString::number(f.rooms % 10);
    else
        c << QString::number(f.rooms);
    const QString street = f.street >= 0 && std::size_t(f.street) < db.Streets.size()
                               ? InLang(db.Streets[f.street].Name, dataLang)
                               : QString();
    // A building the city does not have gives no house number: no dangling ", " then.
    c << (f.build_id == -1 || f.num.isEmpty() ? street : street + QStringLiteral(", ") + f.num);
    c << (f.Level == -1 ? QStringLiteral("?") : QString::number(f.Level)) + QStringLiteral(" / ") +
             (f.MaxLevel == -1 ? QStringLiteral("?") : QString::number(f.MaxLevel));
    c << f.material;
    QStringList areas;
    for (const float a : {f.SAll, f.SLive, f.SKitchen})
        areas << (a > 0 ? QString::number(double(a), 'f', 1) : QStringLiteral("?"));
    c << areas.join(QStringLiteral(" / "));
    c << f.sanuzel << f.balcon;
    c << (f.cost == -1 ? QString() : QString::number(f.cost));
    c << f.comment;
    c << (f.agent >= 0 && std::size_t(f.agent) < db.EstateAgents.size() ? db.EstateAgents[f.agent].name
                                                                          : QString());
    return c;
}

namespace {

double CellNumber(const QString& cell, int column) {
    if (cell.isEmpty()) return 0;
    // A room in a flat sorts below whole one-room flats, a room in a larger flat lower still.
    if (column == EstateRoomsColumn && cell.size() == 3 && cell[1] == u'/') return 1 - cell[2].digitValue() / 10.0;
    bool ok = false;
    const double v = cell.toDouble(&ok);
    return ok ? v : 0;
}

} // namespace

QStringList FavoriteCells(const TFlat& f, const CityDb& db, int dataLang, const QString& loadedCityFile) {
    if (f.cityFile.isEmpty() || f.cityFile == loadedCityFile) return EstateCells(f, db, dataLang);
    // Positions into another city's tables mean nothing here: only the texts kept from there count.
    TFlat plain = f;
    plain.street = plain.agent = -1;
    QStringList cells = EstateCells(plain, CityDb{}, dataLang);
    cells[1] = f.addressText + QStringLiteral(" (") + f.cityName + ')';
    cells[9] = f.agencyText;
    return cells;
}

int CompareEstateCells(const QString& a, const QString& b, int column, bool descending) {
    int r;
    if (column == EstateRoomsColumn || column == EstateCostColumn) {
        const double x = CellNumber(a, column), y = CellNumber(b, column);
        r = x < y ? -1 : x > y ? 1 : 0;
    } else {
        const int c = a.compare(b, Qt::CaseInsensitive);
        r = c < 0 ? -1 : c > 0 ? 1 : 0;
    }
    return descending ? -r : r;
}

QStringList EstatePrintLines(const QStringList& captions, const std::vector<QStringList>& rows) {
    static constexpr int Stops[] = {5, 30, 40, 50, 70, 80, 90, 100};
    const auto line = [](const QStringList& cells) {
        QString s;
        for (int i = 0; i < 9; ++i) {
            s += cells.value(i);
            if (i < 8) {
                // A cell past its stop pushes the rest right, still a blank apart.
                if (s.size() >= Stops[i] && !s.endsWith(u' ')) s += u' ';
                while (s.size() < Stops[i])
                    s += u' ';
            }
        }
        return s;
    };
    QStringList out;
    out << line(captions) << QString(100, u'-');
    for (const QStringList& r : rows)
        out << line(r);
    return out;
}
