// Building search: every criterion on a small city (the prepared index beside the plain walk), the
// lists of the object tab, the prepared index against the walk on a generated city, and where the map
// flies for found buildings and for a street.
#include "BuildingSearch.h"
#include "GeneratedCity.h"
#include "PickerIndex.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

namespace {

TField Area(std::uint8_t typ, const QString& caption, float x0, float y0, float x1, float y1) {
    TField f;
    f.typ = typ;
    f.caption = {caption};
    f.shape = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
    for (const TCoord& c : f.shape)
        f.Widen(c.x, c.y);
    f.FlatBox3D();
    return f;
}

// Two districts (the second of two polygons), a park; four streets, two of them named alike in another
// letter case and one without buildings; six buildings.
struct ObjectCity {
    CityDb db;
    ObjectCity() {
        db.Fields = {Area(9, "Центральный район", 0, 0, 100, 100),
                     Area(9, "Заречный район", 100, 0, 200, 100), Area(9, "Заречный район", 0, 100, 100, 200),
                     Area(1, "Парк", 0, 0, 200, 200), Area(9, "Дальний район", 300, 300, 400, 400)};
        db.MaterialNames = {{"неизвестно"}, {"кирпич"}, {"панель"}, {"дерево"}};
        db.BuildingTypeNames = {{"прочее"}, {"жилой дом"}, {"школа"}, {"магазин"}};
        for (const char* name : {"Ленина улица", "Мира проспект", "ленина улица", "Пустая улица"}) {
            TStreet s;
            s.Name = {QString::fromUtf8(name)};
            db.Streets.push_back(s);
        }
        building(10, 10, 0, "5", bmKirpich, 1, "");
        building(30, 10, 0, "7А", bmPanel, 2, "Школа № 5");
        building(150, 50, 1, "5", bmKirpich, 3, "ТЦ «Школьный»");
        building(50, 150, 2, "9", bmDerevo, 1, "");
        building(250, 250, -1, "", bmUnknown, 0, "Водокачка");
        building(150, 150, 1, "12/1а", bmKirpich, 1, "");
    }
    void building(float x, float y, int street, const QString& num, TBuildingMaterial m, int tip,
                  const QString& caption) {
        TBuilding b;
        b.Widen(x, y);
        b.Widen(x + 10, y + 10);
        b.FlatBox3D();
        b.street = street;
        b.num = {num};
        b.material = m;
        b.tip = std::uint8_t(tip);
        b.caption = {caption};
        db.Buildings.push_back(b);
    }
};

TEST(BuildingSearch, EveryCriterionOnASmallCity) {
    ObjectCity c;
    const StreetBuildings byStreet(c.db);
    const BuildingSearchIndex index(c.db, byStreet, 0);
    const Tai central = DistrictsNamed(c.db, "центральный РАЙОН", 0);
    const Tai across = DistrictsNamed(c.db, "Заречный район", 0);
    EXPECT_EQ(central, Tai({0}));
    EXPECT_EQ(across, Tai({1, 2}));
    struct Case {
        const char* what;
        BuildingCriteria k;
        RadiusCircle radius;
        std::vector<int> found;
    } cases[] = {
        {"material alone", {.Material = bmKirpich}, {}, {0, 2, 5}},
        {"name in any letter case", {.Name = "школ"}, {}, {1, 2}},
        {"purpose", {.Purpose = 1}, {}, {0, 3, 5}},
        {"streets of one name", {.Street = "ленина улица"}, {}, {0, 1, 3}},
        {"a street no building refers to", {.Street = "пустая улица"}, {}, {}},
        {"an unknown street", {.Street = "нет такой"}, {}, {}},
        {"a lower-case number finds the upper-case one", {.Number = "7а"}, {}, {1}},
        {"number with slash and letter", {.Number = "12/1а"}, {}, {5}},
        {"street and number", {.Street = "мира проспект", .Number = "5"}, {}, {2}},
        {"district", {.Districts = central}, {}, {0, 1}},
        {"district of two polygons", {.Districts = across}, {}, {2, 3}},
        {"material within a district", {.Material = bmKirpich, .Districts = across}, {}, {2}},
        {"name and material", {.Name = "школ", .Material = bmPanel}, {}, {1}},
        {"material within the radius", {.Material = bmKirpich}, {true, {15, 15}, 30}, {0}},
        {"unknown number", {.Number = "99"}, {}, {}},
        {"no criterion", {}, {}, {0, 1, 2, 3, 4, 5}},
    };
    for (const Case& k : cases) {
        EXPECT_EQ(FindBuildingsByCriteria(c.db, k.k, k.radius, 0), k.found) << k.what;
        EXPECT_EQ(index.Find(k.k, k.radius), k.found) << k.what << " (index)";
    }
}

TEST(BuildingSearch, ListsOfTheObjectTab) {
    ObjectCity c;
    EXPECT_EQ(MaterialItems(c.db, 0), QStringList({"кирпич", "панель", "дерево"}));
    EXPECT_EQ(PurposeItems(c.db, 1), QStringList({"жилой дом", "школа", "магазин"}))
        << "first language as fallback";
    EXPECT_EQ(DistrictItems(c.db, 0), QStringList({"Центральный район", "Заречный район"}))
        << "a district of two polygons once; the list ends at the first other area";
    EXPECT_EQ(PurposeOf(c.db, "школа", 0), 2);
    EXPECT_EQ(PurposeOf(c.db, "Школа", 0), 0) << "typed by hand in another case: no purpose";
    EXPECT_EQ(PurposeOf(c.db, "бассейн", 0), 0);
    EXPECT_EQ(DistrictsNamed(c.db, "дальний район", 0), Tai({4}));
    EXPECT_TRUE(DistrictsNamed(c.db, "Парк", 0).empty()) << "only district areas";
}

TEST(BuildingSearch, PreparedIndexGivesThePlainWalk) {
    const CityDb db = GeneratedCity(1500, 50);
    QRandomGenerator rng(11);
    for (int lang = 0; lang < 2; ++lang) {
        const PickerIndex pickers(db, lang);
        for (int round = 0; round < 300; ++round) {
            BuildingCriteria k;
            const TBuilding& b = db.Buildings[rng.bounded(int(db.Buildings.size()))];
            const QString caption = InLang(b.caption, lang);
            if (!caption.isEmpty() && rng.bounded(3) == 0)
                k.Name =
                    SearchLower(caption.mid(int(rng.bounded(int(caption.size()))), 1 + int(rng.bounded(4))));
            if (rng.bounded(3) == 0) k.Material = int(rng.bounded(7));
            if (rng.bounded(4) == 0) k.Purpose = int(rng.bounded(int(db.BuildingTypeNames.size())));
            if (rng.bounded(3) == 0 && b.street >= 0)
                k.Street = SearchLower(InLang(db.Streets[std::size_t(b.street)].Name, lang));
            if (rng.bounded(3) == 0) k.Number = SearchLower(InLang(b.num, lang));
            if (rng.bounded(4) == 0) k.Districts = {int(rng.bounded(6)), int(rng.bounded(6))};
            RadiusCircle r;
            if (rng.bounded(4) == 0) r = {true, BuildingCentre(b), float(50 + rng.bounded(800))};
            EXPECT_EQ(pickers.buildings.Find(k, r), FindBuildingsByCriteria(db, k, r, lang))
                << "name " << k.Name.toStdString() << " street " << k.Street.toStdString() << " number "
                << k.Number.toStdString() << " material " << k.Material << " purpose " << k.Purpose;
        }
    }
}

TEST(BuildingSearch, WhereTheMapFlies) {
    ObjectCity c;
    const ZoomTarget near = FoundBuildingsTarget(c.db, {0, 1}, 600, 600, 5);
    EXPECT_FLOAT_EQ(near.x, 25);
    EXPECT_FLOAT_EQ(near.y, 15);
    EXPECT_FLOAT_EQ(near.scale, 0.5f) << "never closer than 0.5";
    const ZoomTarget far = FoundBuildingsTarget(c.db, {0, 4}, 600, 600, 5);
    EXPECT_FLOAT_EQ(far.scale, 250.0f / 400.0f);
    // A map lower than wide: the box's height fits two thirds of the map's height too.
    EXPECT_FLOAT_EQ(FoundBuildingsTarget(c.db, {0, 4}, 600, 300, 5).scale, 250.0f / 200.0f);
    EXPECT_FLOAT_EQ(FoundBuildingsTarget(c.db, {0, 4}, 600, 600, 0.6f).scale, 0.6f) << "never past the whole city";

    struct Case {
        float x0, y0, x1, y1;
        float scale;
    } streets[] = {
        {0, 0, 1000, 0, 1000.0f / 800 + 0.01f}, // no height: by the width
        {0, 0, 0, 600, 600.0f / 600 + 0.01f},   // no width: by the height
        {0, 0, 400, 600, 600.0f / 600 + 0.01f}, // taller than the map's shape
        {5, 5, 5, 5, MapView::MinScale},        // a point
        {0, 0, 100000, 10, 50.0f},              // longer than the city
    };
    for (const Case& k : streets) {
        TStreet s;
        s.Widen(k.x0, k.y0);
        s.Widen(k.x1, k.y1);
        const ZoomTarget t = StreetTarget(s, 800, 600, 50);
        EXPECT_FLOAT_EQ(t.scale, k.scale) << k.x1 << " x " << k.y1;
        EXPECT_FLOAT_EQ(t.x, (k.x0 + k.x1) / 2);
    }
}

} // namespace
