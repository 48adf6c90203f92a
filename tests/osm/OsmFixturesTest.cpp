// The importer's rules, one small extract per rule (tests/osm/fixtures), checked on the city the
// program loads from the written file.
#include "ImportedCity.h"

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
    // coloured line in a dark casing, the tertiary road a plain line in one, the residential street nothing.
    std::map<std::pair<int, int>, std::vector<float>> widths; // (layer, tip) -> widths
    int lastCasing = -1, firstFill = int(db.Roads.size());
    for (int i = 0; i < int(db.Roads.size()); ++i) {
        const TRoad& r = db.Roads[i];
        widths[{r.layer, r.tip}].push_back(r.width);
        if (r.layer == 1 && r.tip == rtBridge) lastCasing = i;
        if (r.layer == 1 && r.tip != rtBridge) firstFill = std::min(firstFill, i);
    }
    auto distinct = [&](int layer, TRoadType tip) {
        const auto& w = widths[{layer, tip}];
        return std::set<float>(w.begin(), w.end());
    };
    EXPECT_EQ(distinct(0, rtAuto), (std::set<float>{16, 9, 7}));
    EXPECT_EQ(distinct(1, rtBridge), (std::set<float>{40, 12}));
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
    // A single quarter at level 10 does not split the extract; the region above is no district either.
    EXPECT_EQ(im.result.report.notes.at(
                  QStringLiteral("administrative areas of other levels than the districts (not drawn)")),
              2);
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
