// The importer's rules, one small extract per rule (tests/osm/fixtures), checked on the city the
// program loads from the written file.
#include "BuildingSearch.h"
#include "ImportedCity.h"
#include "StreetTowns.h"

#include <map>
#include <set>

TEST(OsmFixtures, AbbreviatedAddressesReachTheirStreet) {
    Imported im;
    ImportFixture(im, "addresses.osm");
    const CityDb& db = im.city;
    const int georg = StreetNamed(db, QStringLiteral("Sankt Georg-Strasse"));
    const int lenin = StreetNamed(db, QString::fromUtf8("улица Ленина"));
    const int larvotto = StreetNamed(db, QStringLiteral("Boulevard du Larvotto"));
    ASSERT_EQ(db.Buildings.size(), 5u);
    EXPECT_EQ(db.Buildings[0].street, georg);
    EXPECT_EQ(db.Buildings[1].street, lenin);
    EXPECT_EQ(db.Buildings[2].street, larvotto);
    EXPECT_EQ(db.Buildings[3].street, larvotto);
    EXPECT_EQ(db.Buildings[4].street, -1);
    EXPECT_EQ(db.Buildings[4].num[0], QStringLiteral("9")) << "the number stays without its street";

    // The shop stands away from any building; its abbreviated address finds number 3.
    const TOrg* bakery = OrgNamed(db, QStringLiteral("Boulangerie"));
    ASSERT_TRUE(bakery);
    EXPECT_EQ(bakery->adrs[0].id, db.Buildings[2].id);
    EXPECT_EQ(bakery->adrs[0].street, larvotto);

    const auto& notes = im.result.report.notes;
    EXPECT_EQ(notes.at(QStringLiteral("building addresses matched to their street by a shortened name")), 3);
    EXPECT_EQ(notes.at(QStringLiteral("building addresses on streets not on the map (number kept)")), 1);
}

TEST(OsmFixtures, HutsRecyclingCentresPlainShopsAndReachablePlacesAreInTheDirectory) {
    Imported im;
    ImportFixture(im, "directory-kinds.osm");
    const CityDb& db = im.city;
    const struct {
        const char* name;
        const char* rubric; // nullptr: not an organisation
    } cases[] = {
        {"Refuge du Mont Agel", "Горные приюты"},
        {"Cabane de la Tête de Chien", "Mountain huts"},
        {"SMA Recycling centre", "Пункты приёма вторсырья"},
        {"Conteneurs du port", nullptr},
        {"Chez Marie", "Прочие магазины"},
        {"Palais princier", "Достопримечательности и развлечения"},
        {"Monument aux morts", nullptr}, // nothing to call or visit: a thing of the map
        {"Yacht Club de Monaco", "Общественные организации"},
        {"Office du Tourisme", "Туристическая информация"},
        {"Parc Princesse Antoinette", "Парки и сады"},
        {"Square Gastaud", nullptr},
    };
    for (const auto& c : cases) {
        const TOrg* o = OrgNamed(db, QString::fromUtf8(c.name));
        if (!c.rubric) {
            EXPECT_FALSE(o) << c.name;
            continue;
        }
        ASSERT_TRUE(o) << c.name;
        EXPECT_TRUE(HasRubric(db, *o, c.rubric)) << c.name;
    }
    // The park stays an area of the map as well.
    EXPECT_EQ(std::count_if(db.Fields.begin(), db.Fields.end(), [](const TField& f) { return f.typ == 1; }),
              2);
    // An unnamed plain shop is still not an organisation.
    EXPECT_EQ(db.Orgs.size(), 8u + 1); // and the OpenStreetMap entry
}

TEST(OsmFixtures, AreasAndRoadsTakeKindsThatReadApartAtEveryScale) {
    Imported im;
    ImportFixture(im, "map-kinds.osm");
    const CityDb& db = im.city;
    const std::pair<const char*, int> kinds[] = {{"Bois de la Rousse", 11},
                                                 {"Forêt du Mont", 11},
                                                 {"Parc Saint-Martin", 1},
                                                 {"Prairie", 1},
                                                 {"Éboulis", 4},
                                                 {"Rocher", 4},
                                                 {"Plage du Larvotto", 12},
                                                 {"Glacier", 13},
                                                 {"Zone industrielle", 4}};
    for (const auto& [name, typ] : kinds) {
        const auto f = std::find_if(db.Fields.begin(), db.Fields.end(),
                                    [&](const TField& f) { return f.caption[0] == QString::fromUtf8(name); });
        ASSERT_NE(f, db.Fields.end()) << name;
        EXPECT_EQ(f->typ, typ) << name;
    }

    // Woods, green like parks in the usual colours, show small trees zoomed in; parks and the rest do not.
    int inWood = 0, elsewhere = 0;
    for (const TText& t : db.Texts) {
        if (t.Text[0] != QString(QChar(0x2663))) continue;
        const TCoord at{t.x, t.y};
        bool wood = false;
        for (const TField& f : db.Fields)
            if (f.typ == 11 && at.x >= f.minX_ - 10 && at.x <= f.maxX_ && at.y >= f.minY_ - 20 && at.y <= f.maxY_) wood = true;
        (wood ? inWood : elsewhere) += 1;
    }
    EXPECT_GE(inWood, 8);
    EXPECT_EQ(elsewhere, 0);

    // Zoomed in every road is a plain carriageway (layer 0); zoomed out (layer 1) the motorway is a
    // coloured line in a light (never black) casing, the tertiary road a plain line in one, the residential
    // street nothing.
    std::map<std::pair<int, int>, std::vector<float>> widths; // (layer, tip) -> widths
    int lastCasing = -1, firstFill = int(db.Roads.size());
    for (int i = 0; i < int(db.Roads.size()); ++i) {
        const TRoad& r = db.Roads[i];
        widths[{r.layer, r.tip}].push_back(r.width);
        if (r.layer == 1 && r.tip == rtHuman) lastCasing = i;
        if (r.layer == 1 && r.tip != rtHuman) firstFill = std::min(firstFill, i);
    }
    auto distinct = [&](int layer, TRoadType tip) {
        const auto& w = widths[{layer, tip}];
        return std::set<float>(w.begin(), w.end());
    };
    EXPECT_EQ(distinct(0, rtAuto), (std::set<float>{16, 9, 7}));
    EXPECT_EQ(distinct(1, rtHuman), (std::set<float>{40, 12}));
    EXPECT_TRUE(distinct(1, rtBridge).empty());
    EXPECT_EQ(distinct(1, rtTram), (std::set<float>{24}));
    EXPECT_EQ(distinct(1, rtAuto), (std::set<float>{6}));
    EXPECT_EQ((widths[{1, rtTram}].size()), 2u); // the motorway's two segments
    EXPECT_LT(lastCasing, firstFill) << "a casing drawn over a road where they meet";
}

namespace {

std::map<QString, double> DistrictAreas(const CityDb& db) {
    std::map<QString, double> out;
    for (const TField& f : db.Fields) {
        if (f.typ != DistrictFieldType) break;
        double a = 0;
        for (std::size_t i = 0; i < f.shape.size(); ++i) {
            const TCoord p = f.shape[i], q = f.shape[(i + 1) % f.shape.size()];
            a += double(p.x) * q.y - double(q.x) * p.y;
        }
        out[f.caption[0]] += std::abs(a) / 2;
    }
    return out;
}

} // namespace

TEST(OsmFixtures, TownsAtLevelEightAreTheDistrictsWhenNothingFinerSplitsTheExtract) {
    Imported im;
    ImportFixture(im, "districts-level8.osm");
    const std::map<QString, double> districts = DistrictAreas(im.city);
    EXPECT_EQ(districts.size(), 2u);
    EXPECT_TRUE(districts.count(QStringLiteral("Commune A")));
    EXPECT_TRUE(districts.count(QStringLiteral("Commune B")));
    EXPECT_EQ(im.result.report.districtLevel, 8);
    // A single quarter at level 10 does not split the extract (it holds nothing of it either); the region
    // above is no district.
    const auto& notes = im.result.report.notes;
    EXPECT_EQ(notes.at(QStringLiteral("administrative areas of other levels than the districts (not drawn)")), 1);
    EXPECT_EQ(notes.at(QStringLiteral("administrative areas that hold no building or street (left out)")), 1);
}

TEST(OsmFixtures, WhatIsKeptIsCutToTheExtractsBoundsAndCutTownsAreClosedAlongThem) {
    Imported im;
    ImportFixture(im, "bounds.osm");
    const CityDb& db = im.city;
    // The river runs some 25 km on; the city stays the box of about 2.4 by 2.2 km.
    EXPECT_LT(db.WorldMaxX - db.WorldMinX, 2450);
    EXPECT_LT(db.WorldMaxY - db.WorldMinY, 2250);
    EXPECT_GT(db.WorldMaxX - db.WorldMinX, 2300);

    // Both towns were cut open by the box; closed along it, each is its own side of the shared border:
    // the west one the smaller side, the east one the side its village stands on.
    const std::map<QString, double> districts = DistrictAreas(db);
    ASSERT_EQ(districts.size(), 2u);
    EXPECT_NEAR(districts.at(QStringLiteral("Ouest")), 0.804 * 2.224e6, 0.05 * 1.79e6);
    EXPECT_NEAR(districts.at(QStringLiteral("Est")), 1.607 * 2.224e6, 0.05 * 3.57e6);
    const auto& notes = im.result.report.notes;
    // The third is open inside the data: no telling where it runs.
    EXPECT_EQ(notes.at(QStringLiteral("boundaries cut at the border of the data (left out)")), 1);
    EXPECT_GE(notes.at(QStringLiteral("lines and areas cut at the extract's bounds")), 1);
}

TEST(OsmFixtures, TownsKeepEveryPartTheirOwnNameAndOnlyWhatHoldsData) {
    Imported im;
    OsmImportOptions options;
    options.languages = {QStringLiteral("local"), QStringLiteral("mt"), QStringLiteral("qq")};
    ImportFixture(im, "towns.osm", options);
    const CityDb& db = im.city;
    EXPECT_EQ(im.result.report.districtLevel, 8);

    // A town keeps its exclave; two towns of one name are both kept, named by their regions; the foreign
    // town of which only the border line came with the data is no district.
    const std::map<QString, double> districts = DistrictAreas(db);
    std::set<QString> names;
    for (const auto& [name, area] : districts)
        names.insert(name);
    EXPECT_EQ(names, (std::set<QString>{"Balzers", "Schaan (Oberland)", "Schaan (Unterland)", "Triesen"}));
    int triesenParts = 0;
    for (const TField& f : db.Fields)
        triesenParts += f.typ == DistrictFieldType && f.caption[0] == QStringLiteral("Triesen");
    EXPECT_EQ(triesenParts, 2);
    // Its main part is the size of Balzers, the exclave a sixth of that.
    EXPECT_NEAR(districts.at("Triesen"), districts.at("Balzers") * (1 + 1.0 / 6), 0.02e6);
    EXPECT_EQ(im.result.report.notes.at(
                  QStringLiteral("administrative areas that hold no building or street (left out)")),
              1);
    for (const TBuilding& b : db.Buildings)
        EXPECT_TRUE(std::any_of(db.Fields.begin(), db.Fields.end(), [&](const TField& f) {
            return f.typ == DistrictFieldType && InsideField(f, BuildingCentre(b));
        })) << "a building in no district";

    // Languages are named from the locale data, a code nothing knows by itself.
    EXPECT_EQ(db.DataLangNames, (QStringList{"Deutsch", "Malti", "qq"}));
}

TEST(OsmFixtures, StreetsOfOneNameAreToldApartByTheirTown) {
    Imported im;
    ImportFixture(im, "towns.osm");
    const CityDb& db = im.city;
    const int triesen = StreetNamed(db, QStringLiteral("Landstrasse"));
    const int schaan = StreetNamed(db, QStringLiteral("Landstrasse"), 1);
    ASSERT_GE(triesen, 0);
    ASSERT_GE(schaan, 0);
    const QStringList listed = StreetListNames(db, 0);
    const QString inTriesen = QString::fromUtf8("Landstrasse — Triesen"),
                  inSchaan = QString::fromUtf8("Landstrasse — Schaan (Unterland)");
    EXPECT_EQ((QSet<QString>{listed[triesen], listed[schaan]}), (QSet<QString>{inTriesen, inSchaan}));
    EXPECT_EQ(listed[StreetNamed(db, QStringLiteral("Dorfstrasse"))], QStringLiteral("Dorfstrasse"));

    // Each listed name finds its street and the organisations on it; the bare name finds them all.
    const OrgSearchIndex index(db, 0);
    auto orgs = [&](const QString& street) {
        OrgCriteria c;
        c.Street = street;
        std::set<QString> out;
        for (int i : index.FindOrgs(c, {}, QDateTime()))
            out.insert(db.Orgs[std::size_t(i)].caption[0]);
        return out;
    };
    for (const auto& [name, street] : {std::pair{inTriesen, triesen}, std::pair{inSchaan, schaan}}) {
        EXPECT_EQ(listed[street], name);
        EXPECT_EQ(index.FindStreet(name), street) << name.toStdString();
    }
    EXPECT_EQ(orgs(listed[triesen]), (std::set<QString>{QString::fromUtf8("Bäckerei Frick"), "Metzgerei Beck"}));
    EXPECT_EQ(orgs(listed[schaan]), (std::set<QString>{QString::fromUtf8("Café Schaan")}));
    EXPECT_EQ(orgs(QStringLiteral("landstrasse")).size(), 3u);
}

TEST(OsmFixtures, TheCoastlineMakesLandOverTheSea) {
    Imported im;
    ImportFixture(im, "coast.osm");
    const CityDb& db = im.city;
    // The sea is the extract's box in water, drawn first; the island and the mainland the box cut are
    // land over it, whatever lies west of the coast stays sea.
    int sea = -1;
    std::vector<const TField*> land;
    for (int i = 0; i < int(db.Fields.size()); ++i) {
        if (db.Fields[i].typ == 2 && sea < 0) sea = i;
        if (db.Fields[i].typ == 13) {
            EXPECT_GT(i, sea) << "land drawn under the sea";
            land.push_back(&db.Fields[i]);
        }
    }
    ASSERT_GE(sea, 0);
    ASSERT_EQ(land.size(), 2u);
    auto area = [](const TField& f) {
        double a = 0;
        for (std::size_t i = 0; i < f.shape.size(); ++i) {
            const TCoord p = f.shape[i], q = f.shape[(i + 1) % f.shape.size()];
            a += double(p.x) * q.y - double(q.x) * p.y;
        }
        return std::abs(a) / 2;
    };
    std::vector<double> areas = {area(*land[0]), area(*land[1])};
    std::sort(areas.begin(), areas.end());
    EXPECT_NEAR(areas[0], 911 * 778, 0.03 * 0.71e6);  // the island
    EXPECT_NEAR(areas[1], 911 * 2224, 0.03 * 2.03e6); // the mainland east of the coast, not the sea west of it
    for (const TBuilding& b : db.Buildings)
        EXPECT_TRUE(InsideField(*land[0], BuildingCentre(b)) || InsideField(*land[1], BuildingCentre(b)));
}
