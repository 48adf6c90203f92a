// The importer on a small extract that holds one case of each rule, and on Monaco from the shared
// data: the written city is loaded with the program's own loaders and checked.
#include "ImportedCity.h"

#include <set>

namespace {

// Nodes, ways and relations in id order, as the importer (like any OpenStreetMap tool) expects.
const char* const Extract = R"(<?xml version="1.0" encoding="UTF-8"?>
<osm version="0.6" generator="test">
 <node id="1" version="1" timestamp="2026-02-01T10:00:00Z" lat="43.7300" lon="7.4200"/>
 <node id="2" version="1" lat="43.7300" lon="7.4202"/>
 <node id="3" version="1" lat="43.7302" lon="7.4202"/>
 <node id="4" version="1" lat="43.7302" lon="7.4200"/>
 <node id="11" version="1" lat="43.7300" lon="7.4210"/>
 <node id="12" version="1" lat="43.7300" lon="7.4214"/>
 <node id="13" version="1" lat="43.7302" lon="7.4214"/>
 <node id="14" version="1" lat="43.7302" lon="7.4210"/>
 <node id="15" version="1" lat="43.7300" lon="7.4212"/>
 <node id="16" version="1" lat="43.7302" lon="7.4212"/>
 <node id="21" version="1" lat="43.7299" lon="7.4195"/>
 <node id="22" version="1" lat="43.7299" lon="7.4205"/>
 <node id="23" version="1" lat="43.7299" lon="7.4220"/>
 <node id="24" version="1" lat="43.8000" lon="7.4195"/>
 <node id="25" version="1" lat="43.8000" lon="7.4200"/>
 <node id="26" version="1" lat="43.7290" lon="7.4190"/>
 <node id="27" version="1" lat="43.7290" lon="7.4200"/>
 <node id="28" version="1" lat="43.7285" lon="7.4190"/>
 <node id="29" version="1" lat="43.7285" lon="7.4200"/>
 <node id="30" version="1" lat="43.7280" lon="7.4190"/>
 <node id="31" version="1" lat="43.7280" lon="7.4200"/>
 <node id="41" version="1" lat="43.7305" lon="7.4200"/>
 <node id="42" version="1" lat="43.7305" lon="7.4202"/>
 <node id="43" version="1" lat="43.7307" lon="7.4202"/>
 <node id="44" version="1" lat="43.7307" lon="7.4200"/>
 <node id="45" version="1" lat="43.7306" lon="7.4201">
  <tag k="addr:housenumber" v="7"/><tag k="addr:street" v="Rue Grimaldi"/>
 </node>
 <node id="50" version="1" lat="43.7301" lon="7.4201">
  <tag k="amenity" v="restaurant"/><tag k="name" v="Le Pirate"/><tag k="name:en" v="The Pirate"/>
  <tag k="phone" v="+377 93 15 26 00"/><tag k="opening_hours" v="Mo-Sa 12:00-14:00,19:00-23:00; Su off"/>
  <tag k="website" v="https://lepirate.mc"/><tag k="payment:visa" v="yes"/>
  <tag k="contact:instagram" v="https://www.instagram.com/lepirate"/>
 </node>
 <node id="51" version="1" lat="43.7306" lon="7.42015">
  <tag k="shop" v="bakery"/><tag k="name" v="Boulangerie"/>
  <tag k="addr:street" v="Rue Grimaldi"/><tag k="addr:housenumber" v="5"/>
 </node>
 <node id="52" version="1" lat="43.7295" lon="7.4230">
  <tag k="amenity" v="atm"/><tag k="operator" v="CFM"/>
 </node>
 <node id="53" version="1" lat="43.7295" lon="7.4231">
  <tag k="office" v="estate_agent"/><tag k="name" v="Agence Azur, SARL"/>
  <tag k="opening_hours" v="Jan-Mar Mo 10:00-12:00"/><tag k="phone" v="call us"/>
 </node>
 <node id="54" version="1" lat="43.7295" lon="7.4232">
  <tag k="amenity" v="taxi"/><tag k="name" v="Taxis Monaco"/>
 </node>
 <node id="60" version="1" lat="43.7296" lon="7.4240"><tag k="leisure" v="playground"/></node>
 <node id="61" version="1" lat="43.7296" lon="7.4241"><tag k="natural" v="tree"/></node>
 <node id="62" version="1" lat="43.7296" lon="7.4242"><tag k="place" v="suburb"/><tag k="name" v="Condamine"/></node>
 <node id="70" version="1" lat="43.7310" lon="7.4200">
  <tag k="highway" v="bus_stop"/><tag k="public_transport" v="platform"/><tag k="name" v="Casino"/>
 </node>
 <node id="71" version="1" lat="43.7310" lon="7.4230">
  <tag k="highway" v="bus_stop"/><tag k="public_transport" v="platform"/><tag k="name" v="Port"/>
 </node>
 <node id="72" version="1" lat="43.7311" lon="7.4200">
  <tag k="public_transport" v="stop_position"/><tag k="name" v="Casino"/>
 </node>
 <node id="73" version="1" lat="43.7311" lon="7.4195"/>
 <node id="74" version="1" lat="43.7311" lon="7.4215"/>
 <node id="75" version="1" lat="43.7311" lon="7.4225"/>
 <node id="76" version="1" lat="43.7311" lon="7.4235"/>
 <node id="77" version="1" lat="43.7320" lon="7.4200">
  <tag k="railway" v="station"/><tag k="station" v="subway"/><tag k="name" v="Station A"/>
 </node>
 <node id="78" version="1" lat="43.7320" lon="7.4230">
  <tag k="railway" v="station"/><tag k="station" v="subway"/><tag k="name" v="Station B"/>
 </node>
 <node id="80" version="1" lat="43.7270" lon="7.4180"/>
 <node id="81" version="1" lat="43.7270" lon="7.4260"/>
 <node id="82" version="1" lat="43.7330" lon="7.4260"/>
 <node id="83" version="1" lat="43.7330" lon="7.4180"/>
 <node id="84" version="1" lat="43.7290" lon="7.4240"/>
 <node id="85" version="1" lat="43.7290" lon="7.4250"/>
 <node id="86" version="1" lat="43.7295" lon="7.4250"/>
 <node id="87" version="1" lat="43.7295" lon="7.4240"/>
 <way id="100" version="1"><nd ref="1"/><nd ref="2"/><nd ref="3"/><nd ref="4"/><nd ref="1"/>
  <tag k="building" v="apartments"/><tag k="height" v="18"/><tag k="building:levels" v="6"/>
  <tag k="addr:street" v="Rue Grimaldi"/><tag k="addr:housenumber" v="5"/><tag k="addr:postcode" v="98000"/>
  <tag k="building:material" v="stone"/>
 </way>
 <way id="101" version="1"><nd ref="11"/><nd ref="12"/><nd ref="13"/><nd ref="14"/><nd ref="11"/>
  <tag k="building" v="yes"/><tag k="name" v="Tour B"/><tag k="name:en" v="Tower B"/>
 </way>
 <way id="102" version="1"><nd ref="11"/><nd ref="15"/><nd ref="16"/><nd ref="14"/><nd ref="11"/>
  <tag k="building:part" v="yes"/><tag k="height" v="12"/>
 </way>
 <way id="103" version="1"><nd ref="15"/><nd ref="12"/><nd ref="13"/><nd ref="16"/><nd ref="15"/>
  <tag k="building:part" v="yes"/><tag k="height" v="12"/>
 </way>
 <way id="104" version="1"><nd ref="41"/><nd ref="42"/><nd ref="43"/><nd ref="44"/><nd ref="41"/>
  <tag k="building" v="yes"/>
 </way>
 <way id="110" version="1"><nd ref="21"/><nd ref="22"/><nd ref="23"/>
  <tag k="highway" v="residential"/><tag k="name" v="Rue Grimaldi"/>
 </way>
 <way id="111" version="1"><nd ref="24"/><nd ref="25"/>
  <tag k="highway" v="residential"/><tag k="name" v="Rue Grimaldi"/>
 </way>
 <way id="112" version="1"><nd ref="26"/><nd ref="27"/>
  <tag k="highway" v="primary"/><tag k="bridge" v="yes"/><tag k="layer" v="1"/><tag k="name" v="Pont X"/>
 </way>
 <way id="113" version="1"><nd ref="28"/><nd ref="29"/><tag k="highway" v="secondary"/><tag k="tunnel" v="yes"/></way>
 <way id="114" version="1"><nd ref="30"/><nd ref="31"/><tag k="railway" v="rail"/></way>
 <way id="210" version="1"><nd ref="73"/><nd ref="74"/><nd ref="75"/><tag k="highway" v="service"/></way>
 <way id="211" version="1"><nd ref="76"/><nd ref="75"/><tag k="highway" v="service"/></way>
 <way id="212" version="1"><nd ref="77"/><nd ref="78"/><tag k="railway" v="subway"/></way>
 <way id="220" version="1"><nd ref="80"/><nd ref="81"/><nd ref="82"/><nd ref="83"/><nd ref="80"/>
  <tag k="place" v="quarter"/><tag k="name" v="Fontvieille"/>
 </way>
 <way id="221" version="1"><nd ref="84"/><nd ref="85"/><nd ref="86"/><nd ref="87"/><nd ref="84"/>
  <tag k="leisure" v="park"/><tag k="name" v="Jardin"/>
 </way>
 <relation id="300" version="1">
  <member type="node" ref="70" role="platform"/><member type="node" ref="72" role="stop"/>
  <member type="node" ref="71" role="platform"/>
  <member type="way" ref="210" role=""/><member type="way" ref="211" role=""/><member type="way" ref="9999" role=""/>
  <tag k="type" v="route"/><tag k="route" v="bus"/><tag k="ref" v="1"/>
 </relation>
 <relation id="301" version="1">
  <member type="node" ref="77" role="stop"/><member type="node" ref="78" role="stop"/><member type="way" ref="212" role=""/>
  <tag k="type" v="route"/><tag k="route" v="subway"/><tag k="ref" v="M1"/><tag k="colour" v="#FF0000"/>
 </relation>
</osm>
)";

void ImportExtract(Imported& out, const OsmImportOptions& options = {}) {
    WriteAll(out.dir.file("extract.osm"), Extract);
    Import(out, out.dir.file("extract.osm"), options);
}

} // namespace

TEST(OsmImport, BuildingsTakeOutlinesHeightsAddressesAndParts) {
    Imported im;
    ImportExtract(im);
    const CityDb& db = im.city;
    ASSERT_EQ(db.Buildings.size(), 3u);
    const int grimaldi = StreetNamed(db, QStringLiteral("Rue Grimaldi"));
    ASSERT_GE(grimaldi, 0);

    const TBuilding& a = db.Buildings[0];
    ASSERT_EQ(a.shapes.size(), 1u);
    EXPECT_EQ(a.shapes[0].shape.size(), 4u); // the closing node is not repeated
    EXPECT_EQ(a.shapes[0].high, 18);
    EXPECT_EQ(a.levels, 6);
    EXPECT_EQ(a.num[0], QStringLiteral("5"));
    EXPECT_EQ(a.street, grimaldi);
    EXPECT_EQ(a.index, QStringLiteral("98000"));
    EXPECT_EQ(a.material, bmKamen);
    EXPECT_EQ(a.tip, 3); // residential
    // Some 16 by 22 metres, with y growing southwards: the node further north has the smaller y.
    EXPECT_NEAR(a.maxX_ - a.minX_, 16.1, 0.5);
    EXPECT_NEAR(a.maxY_ - a.minY_, 22.2, 0.5);

    // Two parts of one height share a wall, which the loader's rule hides; the outline stays flat below.
    const TBuilding& b = db.Buildings[1];
    EXPECT_EQ(b.caption, (Tas{QStringLiteral("Tour B"), QStringLiteral("Tower B")}));
    ASSERT_EQ(b.shapes.size(), 3u);
    EXPECT_EQ(b.shapes[0].high, 0);
    EXPECT_FALSE(b.shapes[0].comSide.any());
    for (int p : {1, 2}) {
        EXPECT_EQ(b.shapes[p].high, 12);
        int shared = 0;
        for (std::size_t k = 0; k < b.shapes[p].shape.size(); ++k)
            shared += b.shapes[p].comSide[k];
        EXPECT_EQ(shared, 1) << "part " << p;
    }

    // A number from an address point inside a building that has none.
    EXPECT_EQ(db.Buildings[2].num[0], QStringLiteral("7"));
    EXPECT_EQ(db.Buildings[2].street, grimaldi);
    EXPECT_EQ(db.BuildIndexes.size(), 2u);
    EXPECT_TRUE(db.Has3D);
}

TEST(OsmImport, StreetsRoadsAreasAndLabels) {
    Imported im;
    ImportExtract(im);
    const CityDb& db = im.city;
    // One name far apart is two streets; each way is drawn as pairs of points.
    const int near = StreetNamed(db, QStringLiteral("Rue Grimaldi"));
    const int far = StreetNamed(db, QStringLiteral("Rue Grimaldi"), 1);
    ASSERT_GE(far, 0);
    EXPECT_EQ(db.Streets[near].shape.size(), 4u);
    EXPECT_EQ(db.Streets[far].shape.size(), 2u);
    EXPECT_GE(StreetNamed(db, QStringLiteral("Pont X")), 0);

    // The bridge is over everything else: its deck and casing first, wider, then the road and, for the
    // overview, its coloured line. The tunnel is not drawn; the railway is.
    int rail = 0;
    for (const TRoad& r : db.Roads) {
        if (r.tip == rtIron) ++rail;
        EXPECT_NE(r.width, 10.f) << "a secondary road in a tunnel is drawn";
    }
    EXPECT_EQ(rail, 2); // the railway and the metro line
    ASSERT_GE(db.Roads.size(), 4u);
    const TRoad* bridge = &db.Roads[db.Roads.size() - 4];
    const struct {
        TRoadType tip;
        float width;
        int layer;
    } expected[] = {{rtBridge, 14, 0}, {rtHuman, 28, 1}, {rtAuto, 12, 0}, {rtTram, 16, 1}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(bridge[i].tip, expected[i].tip) << i;
        EXPECT_EQ(bridge[i].width, expected[i].width) << i;
        EXPECT_EQ(bridge[i].layer, expected[i].layer) << i;
    }

    // Districts lead the areas.
    ASSERT_GE(db.Fields.size(), 2u);
    EXPECT_EQ(db.Fields[0].typ, DistrictFieldType);
    EXPECT_EQ(db.Fields[0].caption[0], QStringLiteral("Fontvieille"));
    EXPECT_EQ(db.Fields[1].typ, 1);
    EXPECT_EQ(db.Fields[1].caption[0], QStringLiteral("Jardin"));

    ASSERT_EQ(db.POIs.size(), 1u);
    EXPECT_EQ(db.POIs[0].tip, ptChildren);
    std::set<QString> labels;
    for (const TText& t : db.Texts)
        labels.insert(t.Text[0]);
    // Places and districts, the park, and the streets along them.
    EXPECT_EQ(labels, (std::set<QString>{QStringLiteral("Condamine"), QStringLiteral("Fontvieille"),
                                         QStringLiteral("Jardin"), QStringLiteral("Pont X"),
                                         QStringLiteral("Rue Grimaldi")}));

    EXPECT_EQ(db.DataLangCount, 2);
    EXPECT_EQ(db.DataLangNames[1], QStringLiteral("English"));
    EXPECT_EQ(im.result.ReleaseDate, QStringLiteral("01.02.2026"));
}

TEST(OsmImport, RoutesRunThroughTheirStopsInBothDirectionsDespiteMissingMembers) {
    Imported im;
    ImportExtract(im);
    const CityDb& db = im.city;
    // Platforms serve the bus route, so its stop position is not a stop of its own.
    ASSERT_EQ(db.BusStops.size(), 4u);
    auto stopName = [&](const TWayPoint& p) {
        for (const TBusStop& s : db.BusStops)
            if (s.id_ == p.ids) return s.caption[0];
        return QString();
    };
    ASSERT_EQ(db.BusWays.size(), 4u);
    QStringList there, back;
    int free = 0;
    for (const TWayPoint& p : db.BusWays[0].way)
        p.typ ? void(there << stopName(p)) : void(++free);
    for (const TWayPoint& p : db.BusWays[1].way)
        if (p.typ) back << stopName(p);
    EXPECT_EQ(db.BusWays[0].num[0], QStringLiteral("1"));
    EXPECT_EQ(db.BusWays[1].num[0], QStringLiteral("1"));
    EXPECT_EQ(there, (QStringList{QStringLiteral("Casino"), QStringLiteral("Port")}));
    EXPECT_EQ(back, (QStringList{QStringLiteral("Port"), QStringLiteral("Casino")}));
    EXPECT_GE(free, 2);
    // The line's shape runs west to east although its second way was drawn the other way.
    float lastX = -1e9f;
    for (const TWayPoint& p : db.BusWays[0].way)
        if (!p.typ) {
            EXPECT_GT(p.x, lastX);
            lastX = p.x;
        }

    const TBusWay& metro = db.BusWays[2];
    EXPECT_EQ(metro.tip, ttMetro);
    EXPECT_EQ(metro.MetroColor, 0x0000FFu); // red, as 0x00BBGGRR
    EXPECT_EQ(db.BusStops[2].tip, bstMetro);
    EXPECT_EQ(im.result.report.notes.at(QStringLiteral("route members outside the data")), 1);
    EXPECT_EQ(im.result.report.routesWithStops, 2);
}

TEST(OsmImport, OrganisationsFindTheirBuildingsPhonesSchedulesAndRubrics) {
    Imported im;
    ImportExtract(im);
    const CityDb& db = im.city;
    const int a = db.Buildings[0].id;

    // Inside building A by containment.
    const TOrg* pirate = OrgNamed(db, QStringLiteral("Le Pirate"));
    ASSERT_TRUE(pirate);
    EXPECT_EQ(pirate->caption[1], QStringLiteral("The Pirate"));
    ASSERT_EQ(pirate->adrs.size(), 1u);
    const TAdr& adr = pirate->adrs[0];
    EXPECT_EQ(adr.id, a);
    EXPECT_EQ(adr.street, StreetNamed(db, QStringLiteral("Rue Grimaldi")));
    EXPECT_EQ(adr.num[0], QStringLiteral("5"));
    ASSERT_EQ(adr.phones.size(), 1u);
    EXPECT_EQ(adr.phones[0].phone, QStringLiteral("(+377) 93152600"));
    EXPECT_FALSE(adr.phones[0].cell);
    ASSERT_GE(adr.schedule, 0);
    const TDaySchedule& monday = db.Schedules[adr.schedule][0];
    EXPECT_EQ(monday.BeginWork, ScheduleTime(12, 0));
    EXPECT_EQ(monday.BeginDiner, ScheduleTime(14, 0));
    EXPECT_EQ(monday.EndDiner, ScheduleTime(19, 0));
    EXPECT_EQ(monday.EndWork, ScheduleTime(23, 0));
    EXPECT_EQ(db.Schedules[adr.schedule][6].EndWork, 0); // closed on Sunday
    ASSERT_EQ(adr.money.size(), 1u);
    EXPECT_EQ(db.MoneyKinds[adr.money[0]].caption, QStringLiteral("Visa"));
    ASSERT_EQ(pirate->socnet.size(), 1u);
    EXPECT_EQ(db.SocNets[pirate->socnet[0].id].prefix + pirate->socnet[0].url,
              QStringLiteral("https://www.instagram.com/lepirate"));
    EXPECT_EQ(pirate->website, QStringLiteral("https://lepirate.mc"));
    EXPECT_TRUE(HasRubric(db, *pirate, "Рестораны"));
    EXPECT_TRUE(HasRubric(db, *pirate, "Restaurants"));

    // The address wins over the building the point happens to stand in.
    const TOrg* bakery = OrgNamed(db, QStringLiteral("Boulangerie"));
    ASSERT_TRUE(bakery);
    EXPECT_EQ(bakery->adrs[0].id, a);

    // An unnamed cash machine is named by its operator and kept off the map's buildings.
    const TOrg* atm = OrgNamed(db, QStringLiteral("CFM ATM"));
    ASSERT_TRUE(atm);
    EXPECT_EQ(atm->adrs[0].id, -1);
    EXPECT_TRUE(HasRubric(db, *atm, "Банкоматы"));
    EXPECT_TRUE(HasRubric(db, *OrgNamed(db, QStringLiteral("Taxis Monaco")), "Заказ легковых такси"));

    // Hours a week cannot hold stay readable in the description; a text that is no number is left out.
    const TOrg* agency = OrgNamed(db, QStringLiteral("Agence Azur, SARL"));
    ASSERT_TRUE(agency);
    EXPECT_EQ(agency->adrs[0].schedule, -1);
    EXPECT_TRUE(agency->adrs[0].phones.empty());
    EXPECT_TRUE(agency->Description.join(u'\n').contains(QStringLiteral("Jan-Mar Mo 10:00-12:00")));
    ASSERT_EQ(db.EstateAgents.size(), 1u);
    EXPECT_EQ(db.EstateAgents[0].name, QStringLiteral("Agence Azur"));

    // The names the program's quick lists look for are all there.
    for (const char* name : {"Заказ легковых такси", "Службы экстренного вызова", "Банкоматы", "Кафе",
                             "Рестораны", "Столовые", "Агентства недвижимости"})
        EXPECT_TRUE(db.RubricNames.contains(QString::fromUtf8(name))) << name;

    // The credit runs at the foot of the window and opens the licence's entry.
    ASSERT_EQ(db.RunningTexts, QStringList{QString::fromUtf8(OsmAttribution)});
    const TOrg* osm = OrgNamed(db, QStringLiteral("OpenStreetMap"));
    ASSERT_TRUE(osm);
    EXPECT_EQ(db.RunningOrgIds, Tai{osm->id});

    const OsmImportReport& r = im.result.report;
    EXPECT_EQ(r.unmapped.at(QStringLiteral("natural=tree")), 1);
    EXPECT_EQ(r.notes.at(QStringLiteral("ways in tunnels (not drawn)")), 1);
    EXPECT_EQ(r.notes.at(QStringLiteral("opening hours that do not fit a week (kept as description)")), 1);
    EXPECT_EQ(r.orgs, 5);
    EXPECT_EQ(r.orgsWithBuilding, 2);
}

TEST(OsmImport, ALanguageWithoutNamesIsLeftOut) {
    Imported im;
    OsmImportOptions o;
    o.languages = {QStringLiteral("local"), QStringLiteral("de")};
    ImportExtract(im, o);
    EXPECT_EQ(im.city.DataLangCount, 1);
    EXPECT_EQ(im.city.Streets[0].Name.size(), 1);
}

TEST(OsmImport, UnreadableInputIsAnErrorNotACrash) {
    ScratchDir dir;
    EXPECT_THROW(ImportOsm(dir.file("missing.osm.pbf")), std::runtime_error);
    WriteAll(dir.file("broken.osm"), "<osm><node id=\"1\" lat=\"x\"");
    EXPECT_THROW(ImportOsm(dir.file("broken.osm")), std::runtime_error);
    WriteAll(dir.file("broken.osm.pbf"), QByteArray(1000, '\x17'));
    EXPECT_THROW(ImportOsm(dir.file("broken.osm.pbf")), std::runtime_error);
}

TEST(OsmImport, MonacoBecomesARealCity) {
    const QString input = SharedData("monaco-latest.osm.pbf");
    if (!QFileInfo::exists(input)) GTEST_SKIP() << "no OpenStreetMap data at " << input.toStdString();
    Imported im;
    Import(im, input);
    const CityDb& db = im.city;

    // Named streets, buildings with heights, districts (the nine quarters lead the areas).
    EXPECT_GE(db.Streets.size(), 250u);
    EXPECT_GE(db.Buildings.size(), 1500u);
    int high = 0;
    for (const TBuilding& b : db.Buildings)
        high += std::any_of(b.shapes.begin(), b.shapes.end(), [](const TShapeView& s) { return s.high > 0; });
    EXPECT_GE(high, 450);
    std::set<QString> districts;
    for (const TField& f : db.Fields) {
        if (f.typ != DistrictFieldType) break;
        districts.insert(f.caption[0]);
    }
    for (const char* q : {"Fontvieille", "Jardin Exotique", "La Condamine", "La Rousse", "Larvotto",
                          "Les Monegetti", "Monaco-Ville", "Monte-Carlo", "Ravin de Sainte-Dévote"})
        EXPECT_TRUE(districts.count(QString::fromUtf8(q))) << q;

    // Organisations in their buildings, with phones and schedules.
    int withBuilding = 0, withPhone = 0, withSchedule = 0;
    for (const TOrg& o : db.Orgs)
        for (const TAdr& a : o.adrs) {
            withBuilding += a.id >= 0 && a.street >= -1;
            withPhone += !a.phones.empty();
            withSchedule += a.schedule >= 0;
        }
    EXPECT_GE(db.Orgs.size(), 600u);
    EXPECT_GE(withBuilding, 450);
    EXPECT_GE(withPhone, 180);
    EXPECT_GE(withSchedule, 140);
    EXPECT_FALSE(db.EstateAgents.empty());

    // Bus routes through their stops, both directions one after the other.
    std::set<QString> lines;
    for (std::size_t i = 0; i < db.BusWays.size(); ++i) {
        const TBusWay& w = db.BusWays[i];
        if (std::any_of(w.way.begin(), w.way.end(), [](const TWayPoint& p) { return p.typ != 0; }))
            lines.insert(w.num[0]);
    }
    EXPECT_GE(lines.size(), 20u);
    for (const char* ref : {"1", "2", "4", "5", "6"})
        EXPECT_TRUE(lines.count(QString::fromLatin1(ref))) << "bus line " << ref;

    // The city is about three kilometres across, around the projection's centre.
    EXPECT_GT(db.WorldMaxX - db.WorldMinX, 2500);
    EXPECT_LT(db.WorldMaxX - db.WorldMinX, 6000);
    EXPECT_LT(std::abs(db.WorldMaxY + db.WorldMinY) / 2, 2000);
    EXPECT_EQ(im.result.CityName, QStringLiteral("Monaco"));
    EXPECT_EQ(db.DataLangNames, (QStringList{QStringLiteral("Français"), QStringLiteral("English")}));

    // What the importer holds is what the program loads.
    CityDb built = im.result.db;
    CompleteMapObjects(built, MapStyle{});
    CityDb loaded = LoadCity(im.dir.path(), "city.gis");
    EXPECT_TRUE(built.Streets == loaded.Streets);
    EXPECT_TRUE(built.Buildings == loaded.Buildings);
    EXPECT_TRUE(built.Fields == loaded.Fields);
    EXPECT_TRUE(built.BusWays == loaded.BusWays);
    EXPECT_TRUE(built.Orgs.size() == loaded.Orgs.size());
    EXPECT_TRUE(built.Schedules == loaded.Schedules);
}
