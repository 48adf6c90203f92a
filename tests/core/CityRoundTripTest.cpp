// A generated city written and read back: every stored and derived field must come back the same.
#include "CityGenerator.h"
#include "CityJson.h"
#include "CityRecordsSupport.h"
#include "DirectoryRecords.h"

#include <QGuiApplication>
#include <QJsonArray>

namespace {

// The generator draws its pictures with text, which needs a GUI application.
QGuiApplication& App() {
    static int argc = 1;
    static char name[] = "tests";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* app = new QGuiApplication(argc, argv);
    return *app;
}

CityDb Generated(CityWriter& w, std::uint32_t seed = 7) {
    App();
    CityGenOptions o;
    o.seed = seed;
    o.buildings = 400;
    o.streets = 24;
    o.orgs = 300;
    o.maxPictures = 4;
    CityDb db;
    GenerateCity(o, db, w);
    CompleteMapObjects(db, MapStyle{});
    return db;
}

} // namespace

TEST(CityRoundTrip, GeneratedCityComesBackFieldForField) {
    CityWriter w;
    const CityDb src = Generated(w);
    const CityDb back = WriteAndLoad(src, MapStyle{}, w);

    EXPECT_EQ(FirstDifference(src.Streets, back.Streets), -1);
    EXPECT_EQ(FirstDifference(src.Buildings, back.Buildings), -1);
    EXPECT_EQ(FirstDifference(src.BuildIndexes, back.BuildIndexes), -1);
    EXPECT_EQ(FirstDifference(src.Fields, back.Fields), -1);
    EXPECT_EQ(FirstDifference(src.Roads, back.Roads), -1);
    EXPECT_EQ(FirstDifference(src.BusStops, back.BusStops), -1);
    EXPECT_EQ(FirstDifference(src.BusWays, back.BusWays), -1);
    EXPECT_EQ(FirstDifference(src.Texts, back.Texts), -1);
    EXPECT_EQ(FirstDifference(src.POIs, back.POIs), -1);
    EXPECT_EQ(FirstDifference(src.Orgs, back.Orgs), -1);
    EXPECT_EQ(FirstDifference(src.Schedules, back.Schedules), -1);
    EXPECT_EQ(FirstDifference(src.MoneyKinds, back.MoneyKinds), -1);
    EXPECT_EQ(FirstDifference(src.SocNets, back.SocNets), -1);
    // And everything else: tables, world box, representative, rubrics.
    EXPECT_TRUE(src == back);

    // The generated city holds what the program looks for.
    EXPECT_TRUE(back.Has3D);
    EXPECT_EQ(back.Fields.front().typ, DistrictFieldType);
    for (const char* rubric :
         {"Агентства недвижимости", "Заказ легковых такси", "Службы экстренного вызова", "Кафе", "Столовые"})
        EXPECT_TRUE(back.RubricNames.contains(QString::fromUtf8(rubric))) << rubric;
    bool shared = false, cell = false, offMap = false, metro = false;
    for (const TBuilding& b : back.Buildings)
        for (const TShapeView& s : b.shapes)
            shared |= s.comSide.any();
    for (const TOrg& o : back.Orgs)
        for (const TAdr& a : o.adrs) {
            offMap |= a.id == -1 && !a.nomap_adr[0].isEmpty();
            for (const TPhone& p : a.phones)
                cell |= p.cell;
        }
    for (const TBusWay& r : back.BusWays)
        metro |= r.tip == ttMetro && r.MetroColor != 0;
    EXPECT_TRUE(shared && cell && offMap && metro);
}

TEST(CityRoundTrip, GeneratorIsDeterministic) {
    CityWriter w1, w2;
    const CityDb a = Generated(w1, 11), b = Generated(w2, 11);
    EXPECT_TRUE(a == b);
    CityWriter w3;
    EXPECT_FALSE(a == Generated(w3, 12));
}

TEST(CityRoundTrip, LoadedCityResolvesAddressesAndDumpsWithTheModelNames) {
    CityWriter w;
    CityDb db = WriteAndLoad(Generated(w), MapStyle{}, w);
    ResolveOrgAddresses(db);
    BuildEstateAgents(db);
    ASSERT_FALSE(db.EstateAgents.empty());

    const QJsonObject json = CityToJson(db);
    for (const char* key : {"Streets",
                            "Buildings",
                            "BuildIndexes",
                            "Fields",
                            "Roads",
                            "BusStops",
                            "BusWays",
                            "Texts",
                            "POIs",
                            "Orgs",
                            "Schedules",
                            "EstateAgents",
                            "TransportTypeNames",
                            "MaterialNames",
                            "BuildingTypeNames",
                            "WorldMinX",
                            "WorldMaxY",
                            "Has3D",
                            "PhoneCodes",
                            "DataLangNames"})
        EXPECT_TRUE(json.contains(QLatin1String(key))) << key;
    const QJsonObject b = json["Buildings"].toArray()[0].toObject();
    for (const char* key :
         {"shapes", "levels", "index",   "street",   "num",          "id",          "x",
          "y",      "tip",    "caption", "material", "ShapeWithNum", "minX_",       "maxX_",
          "minY_",  "maxY_",  "maxX_3d", "minY_3d",  "color",        "NormalColor", "FoundColor"})
        EXPECT_TRUE(b.contains(QLatin1String(key))) << key;
    const QJsonObject shape = b["shapes"].toArray()[0].toObject();
    for (const char* key : {"shape", "visSide", "comSide", "high"})
        EXPECT_TRUE(shape.contains(QLatin1String(key))) << key;
    EXPECT_DOUBLE_EQ(b["x"].toDouble(), double(db.Buildings[0].x));
    const QJsonObject org = json["Orgs"].toArray()[0].toObject();
    for (const char* key : {"adrs", "caption", "area", "zone", "socnet"})
        EXPECT_TRUE(org.contains(QLatin1String(key))) << key;
    const QJsonObject adr = org["adrs"].toArray()[0].toObject();
    for (const char* key : {"phones", "schedule", "street", "num", "money"})
        EXPECT_TRUE(adr.contains(QLatin1String(key))) << key;
    // Working hours read as clock times.
    EXPECT_EQ(json["Schedules"].toArray()[0].toArray()[0].toObject()["BeginWork"].toString(), "9:00");
    EXPECT_EQ(json["Schedules"].toArray()[3].toArray()[6].toObject()["EndWork"].toString(), "23:59");
}
