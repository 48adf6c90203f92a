#include "OsmRules.h"

#include <osmium/osm/tag.hpp>

#include <QColor>
#include <QRegularExpression>
#include <cmath>
#include <cstring>

namespace {

bool Is(const char* a, const char* b) {
    return a && std::strcmp(a, b) == 0;
}

bool OneOf(const char* v, std::initializer_list<const char*> list) {
    if (!v) return false;
    for (const char* l : list)
        if (std::strcmp(v, l) == 0) return true;
    return false;
}

bool Yes(const char* v) {
    return v && std::strcmp(v, "no") != 0 && std::strcmp(v, "0") != 0 && std::strcmp(v, "false") != 0;
}

// Something a visitor can call, write to, look up or check the hours of.
bool HasContact(const osmium::TagList& tags) {
    for (const char* k : {"phone", "contact:phone", "website", "contact:website", "url", "email",
                          "contact:email", "opening_hours"})
        if (tags[k]) return true;
    return false;
}

} // namespace

bool IsStreetHighway(const char* h) {
    return OneOf(h, {"motorway",       "trunk",         "primary",       "secondary",  "tertiary",
                     "unclassified",   "residential",   "motorway_link", "trunk_link", "primary_link",
                     "secondary_link", "tertiary_link", "living_street", "service",    "pedestrian",
                     "footway",        "path",          "steps",         "cycleway",   "track",
                     "road",           "bridleway",     "busway"});
}

int StreetLabelSize(const char* highway) {
    struct Size {
        int size;
        std::initializer_list<const char*> classes;
    };
    static const Size sizes[] = {
        {16, {"motorway", "trunk"}},
        {14, {"primary"}},
        {12, {"secondary"}},
        {11, {"tertiary"}},
        {9,
         {"unclassified", "residential", "road", "busway", "motorway_link", "trunk_link", "primary_link",
          "secondary_link", "tertiary_link"}},
        {8, {"living_street", "pedestrian"}},
        {7, {"service"}},
    };
    for (const Size& s : sizes)
        if (OneOf(highway, s.classes)) return s.size;
    return 6; // tracks, footways, paths, steps
}

std::optional<RoadRule> RoadRuleOf(const osmium::TagList& tags) {
    RoadRule r;
    const char* highway = tags["highway"];
    const char* railway = tags["railway"];
    const char* waterway = tags["waterway"];
    const char* barrier = tags["barrier"];
    if (highway && IsStreetHighway(highway)) {
        struct Class {
            const char* name;
            float width;
            bool human;
            float casing, fill; // zoomed out
        };
        // Zoomed in, blocks of buildings edge every road. Zoomed out (5 m a pixel and more) the main
        // roads get widths that thin out as the scale grows: a secondary road's line goes at 20 m a
        // pixel, a motorway's casing only at 80.
        static const Class classes[] = {
            {"motorway", 16, false, 40, 24},    {"trunk", 14, false, 40, 24},
            {"primary", 12, false, 28, 16},     {"secondary", 10, false, 20, 10},
            {"tertiary", 9, false, 12, 6},      {"motorway_link", 8, false, 18, 10},
            {"trunk_link", 8, false, 18, 10},   {"primary_link", 7, false, 16, 8},
            {"secondary_link", 7, false, 0, 0}, {"tertiary_link", 6, false, 0, 0},
            {"unclassified", 7, false, 0, 0},   {"residential", 7, false, 0, 0},
            {"road", 7, false, 0, 0},           {"living_street", 6, false, 0, 0},
            {"busway", 7, false, 0, 0},         {"service", 4, false, 0, 0},
            {"track", 3, false, 0, 0},          {"pedestrian", 5, true, 0, 0},
            {"footway", 2, true, 0, 0},         {"path", 1.5f, true, 0, 0},
            {"steps", 2, true, 0, 0},           {"cycleway", 2, true, 0, 0},
            {"bridleway", 2, true, 0, 0}};
        for (const Class& c : classes)
            if (std::strcmp(highway, c.name) == 0) {
                r.tip = c.human ? rtHuman : rtAuto;
                r.width = c.width;
                r.layer = 0;
                r.overviewCasing = c.casing;
                r.overviewFill = c.fill;
                // Tertiary roads are plain lines in a casing, below the coloured main roads.
                r.overviewFillTip = std::strcmp(highway, "tertiary") == 0 ? rtAuto : rtTram;
            }
        // Mapped widths and lane counts win over the class's usual width.
        if (auto w = ParseLength(tags["width"]); w && *w > 0.5 && *w < 100)
            r.width = float(*w);
        else if (const char* lanes = tags["lanes"]; lanes && !r.tip) {
            const int n = std::atoi(lanes);
            if (n > 0 && n < 12) r.width = std::max(r.width, 3.5f * n);
        }
        return r;
    }
    if (railway) {
        if (Is(railway, "tram")) return RoadRule{rtTram, 2, 2};
        if (OneOf(railway,
                  {"rail", "light_rail", "narrow_gauge", "subway", "monorail", "funicular", "preserved"}))
            return RoadRule{rtIron, Is(railway, "rail") ? 4.f : 3.f, 2};
        return std::nullopt;
    }
    if (waterway) {
        if (Is(waterway, "river")) return RoadRule{rtWater, 12, 2};
        if (Is(waterway, "canal")) return RoadRule{rtWater, 8, 2};
        if (OneOf(waterway, {"stream", "drain", "ditch", "brook"})) return RoadRule{rtWater, 2, 0};
        return std::nullopt;
    }
    if (barrier && OneOf(barrier, {"wall", "city_wall", "retaining_wall", "fence", "hedge", "guard_rail"}))
        return RoadRule{rtWall, 1, 0};
    if (Is(tags["man_made"], "pier") || Is(tags["man_made"], "breakwater") || Is(tags["man_made"], "groyne"))
        return RoadRule{rtHuman, 4, 0};
    return std::nullopt;
}

std::optional<std::uint8_t> FieldTypeOf(const osmium::TagList& tags) {
    const char* landuse = tags["landuse"];
    const char* natural = tags["natural"];
    const char* leisure = tags["leisure"];
    const char* amenity = tags["amenity"];
    const char* highway = tags["highway"];
    if (OneOf(natural, {"water", "bay"}) || OneOf(landuse, {"basin", "reservoir", "salt_pond"}) ||
        Is(tags["waterway"], "riverbank") || Is(tags["waterway"], "dock") ||
        OneOf(leisure, {"swimming_pool", "marina"}))
        return 2;
    if (Is(landuse, "forest") || Is(natural, "wood")) return 11;
    if (Is(landuse, "cemetery") || Is(amenity, "grave_yard")) return 7;
    if (OneOf(leisure, {"park", "garden", "pitch", "golf_course", "dog_park", "nature_reserve", "playground",
                        "common", "recreation_ground"}) ||
        OneOf(landuse, {"grass", "recreation_ground", "village_green", "greenfield", "meadow"}) ||
        OneOf(natural, {"scrub", "grassland", "heath", "wetland", "fell"}))
        return 1;
    if (OneOf(landuse, {"allotments", "orchard", "vineyard", "plant_nursery", "greenhouse_horticulture"}))
        return 5;
    if (OneOf(landuse, {"farmland", "farmyard"})) return 6;
    if (Is(landuse, "residential")) {
        const char* kind = tags["residential"];
        return OneOf(kind, {"rural", "single_family", "detached"}) ? 6 : 0;
    }
    if (OneOf(landuse, {"industrial", "railway", "port", "quarry", "landfill", "depot", "garages"}) ||
        Is(tags["man_made"], "works") || Is(tags["man_made"], "wastewater_plant") ||
        Is(tags["power"], "plant") || Is(tags["power"], "substation"))
        return 4;
    if (OneOf(landuse, {"commercial", "retail"})) return 12;
    if (OneOf(amenity, {"school", "university", "college", "kindergarten", "hospital", "townhall",
                        "courthouse", "prison", "police", "fire_station"}) ||
        OneOf(landuse, {"military", "education", "religious", "institutional"}))
        return 3;
    if (highway && OneOf(highway, {"pedestrian", "footway", "platform"}) && Yes(tags["area"])) return 10;
    if (Is(tags["place"], "square") || Is(amenity, "marketplace")) return 10;
    // Rock reads as grey and sand as pale yellow; glaciers and building land stay white.
    if (OneOf(natural, {"bare_rock", "scree", "shingle", "stone", "rock"})) return 4;
    if (OneOf(natural, {"beach", "sand", "dune"})) return 12;
    if (OneOf(landuse, {"construction", "brownfield"}) || Is(natural, "glacier")) return 13;
    return std::nullopt;
}

std::uint8_t BuildingTipOf(const osmium::TagList& tags) {
    struct Kind {
        std::uint8_t tip;
        std::initializer_list<const char*> values;
    };
    static const Kind byBuilding[] = {
        {1, {"government", "civic", "office", "townhall", "courthouse", "police", "fire_station", "embassy"}},
        {2, {"school"}},
        {3,
         {"residential", "apartments", "house", "detached", "semidetached_house", "terrace", "dormitory",
          "bungalow", "villa", "farm", "cabin", "houseboat"}},
        {4, {"kindergarten"}},
        {5, {"commercial", "retail", "supermarket", "mall"}},
        {6, {"garage", "garages", "carport", "parking"}},
        {7, {"hotel"}},
        {8, {"sports_hall", "stadium", "sports_centre", "grandstand", "riding_hall"}},
        {9, {"roof", "pavilion", "gazebo", "pergola", "bridge"}},
        {10, {"monument", "memorial"}},
        {11, {"hospital", "clinic"}},
        {12, {"university", "college"}},
        {13, {"museum", "theatre", "cinema", "library", "arts_centre", "concert_hall", "castle", "palace"}},
        {14, {"warehouse", "industrial", "manufacture", "storage_tank", "hangar", "silo"}},
        {15, {"shop", "kiosk"}},
        {16, {"public", "train_station", "transportation", "community_centre", "stable"}},
        {17,
         {"church", "cathedral", "chapel", "mosque", "synagogue", "temple", "religious", "shrine",
          "monastery"}},
        {18, {"boiler_house"}},
        {19, {"fuel"}},
        {20, {"construction"}},
        {21,
         {"shed", "hut", "service", "barn", "greenhouse", "toilets", "bunker", "cowshed", "transformer_tower",
          "outbuilding", "allotment_house", "container"}},
    };
    const char* building = tags["building"];
    if (!building || Is(building, "yes") || Is(building, "no")) building = tags["building:part"];
    if (building)
        for (const Kind& k : byBuilding)
            for (const char* v : k.values)
                if (std::strcmp(building, v) == 0) return k.tip;
    // A plain building takes its type from what is inside.
    const char* amenity = tags["amenity"];
    static const Kind byAmenity[] = {
        {1, {"townhall", "courthouse", "police", "fire_station", "embassy", "post_office"}},
        {2, {"school"}},
        {4, {"kindergarten", "childcare"}},
        {11, {"hospital", "clinic", "doctors"}},
        {12, {"university", "college"}},
        {13, {"theatre", "cinema", "library", "arts_centre", "casino"}},
        {17, {"place_of_worship", "monastery"}},
        {19, {"fuel"}},
        {6, {"parking"}},
        {21, {"toilets"}},
    };
    if (amenity)
        for (const Kind& k : byAmenity)
            for (const char* v : k.values)
                if (std::strcmp(amenity, v) == 0) return k.tip;
    const char* tourism = tags["tourism"];
    if (OneOf(tourism, {"hotel", "hostel", "guest_house", "motel", "alpine_hut", "wilderness_hut"})) return 7;
    if (OneOf(tourism, {"museum", "gallery"})) return 13;
    if (Is(tags["shop"], "mall") || Is(tags["shop"], "department_store")) return 5;
    if (tags["shop"]) return 15;
    if (OneOf(tags["leisure"], {"sports_centre", "stadium", "fitness_centre", "sports_hall"})) return 8;
    if (OneOf(tags["historic"], {"monument", "memorial"})) return 10;
    if (tags["office"]) return 1;
    return 0;
}

TBuildingMaterial MaterialOf(const osmium::TagList& tags) {
    const char* m = tags["building:material"];
    if (!m) m = tags["building:facade:material"];
    if (!m) return bmUnknown;
    if (OneOf(m, {"brick", "clay"})) return bmKirpich;
    if (OneOf(m, {"panel", "concrete_panel", "prefabricated"})) return bmPanel;
    if (OneOf(m, {"wood", "timber_framing", "timber", "log"})) return bmDerevo;
    if (OneOf(m, {"stone", "sandstone", "limestone", "granite", "marble", "masonry"})) return bmKamen;
    if (OneOf(m, {"cinder_block", "cement_block", "block", "aerated_concrete"})) return bmShlak;
    if (OneOf(m, {"concrete", "reinforced_concrete", "steel", "metal", "glass"})) return bmMonolit;
    return bmUnknown;
}

std::optional<double> ParseLength(const char* value) {
    if (!value) return std::nullopt;
    const QString s = QString::fromUtf8(value).trimmed().replace(u',', u'.');
    static const QRegularExpression metres(QStringLiteral("^(\\d+(?:\\.\\d+)?)\\s*(m|metres|meters)?$"));
    static const QRegularExpression feet(
        QStringLiteral("^(\\d+(?:\\.\\d+)?)\\s*(?:ft|')\\s*(?:(\\d+)\\s*\")?$"));
    if (auto m = metres.match(s); m.hasMatch()) return m.captured(1).toDouble();
    if (auto m = feet.match(s); m.hasMatch())
        return m.captured(1).toDouble() * 0.3048 + m.captured(2).toDouble() * 0.0254;
    return std::nullopt;
}

int LevelsOf(const osmium::TagList& tags) {
    const char* v = tags["building:levels"];
    if (!v) return 0;
    bool ok = false;
    const double n = QString::fromUtf8(v).trimmed().replace(u',', u'.').toDouble(&ok);
    return ok && n > 0 && n < 1000 ? int(std::lround(n)) : 0;
}

std::optional<double> HeightOf(const osmium::TagList& tags) {
    if (auto h = ParseLength(tags["height"]); h && *h > 0) return h;
    if (auto h = ParseLength(tags["building:height"]); h && *h > 0) return h;
    if (const int levels = LevelsOf(tags); levels > 0) {
        // Roof levels count as half a storey.
        const int roof = tags["roof:levels"] ? std::max(0, std::atoi(tags["roof:levels"])) : 0;
        return levels * 3.0 + roof * 1.5;
    }
    return std::nullopt;
}

std::optional<TPOIType> PoiKindOf(const osmium::TagList& tags) {
    const char* leisure = tags["leisure"];
    const char* amenity = tags["amenity"];
    if (Is(leisure, "playground")) return ptChildren;
    if (OneOf(leisure, {"pitch", "fitness_station"})) return ptSport;
    if (OneOf(amenity, {"waste_basket", "waste_disposal", "recycling"})) return ptTrash;
    if (Is(amenity, "toilets")) return ptToilet;
    if (OneOf(tags["historic"], {"memorial", "monument"}) ||
        (Is(tags["tourism"], "artwork") &&
         OneOf(tags["artwork_type"], {"statue", "sculpture", "bust", "stone"})))
        return ptMemorial;
    if (Is(amenity, "fountain")) return ptFontan;
    if (Is(tags["tourism"], "attraction") ||
        OneOf(tags["attraction"], {"carousel", "roller_coaster", "big_wheel"}))
        return ptAttr;
    return std::nullopt;
}

std::optional<PlaceRule> PlaceRuleOf(const char* place) {
    // Sizes of 30 m and more show at every scale the buildings are drawn at; smaller ones only from
    // 1.8 m a pixel inwards. Zoomed out a city's name reads from 5 to 34 m a pixel, a village's to 15.
    struct Rule {
        std::initializer_list<const char*> places;
        PlaceRule rule;
    };
    static const Rule rules[] = {
        {{"city"}, {0, 44, 120, 0x101010}},
        {{"town"}, {1, 38, 80, 0x101010}},
        {{"village"}, {2, 30, 55, 0x202020}},
        {{"suburb", "borough", "quarter"}, {3, 30, 50, 0x281850}},
        {{"neighbourhood"}, {4, 22, 0, 0x281850}},
        {{"hamlet"}, {5, 18, 0, 0x303030}},
        {{"locality", "square", "island", "islet", "isolated_dwelling", "city_block"}, {6, 12, 0, 0x404040}},
    };
    for (const Rule& r : rules)
        if (OneOf(place, r.places)) return r.rule;
    return std::nullopt;
}

std::optional<TBusStopType> StopTypeOf(const osmium::TagList& tags) {
    const char* railway = tags["railway"];
    const char* pt = tags["public_transport"];
    if (Is(railway, "subway_entrance") || Is(tags["station"], "subway") || (Yes(tags["subway"]) && pt))
        return bstMetro;
    if (OneOf(railway, {"station", "halt"})) return Is(tags["station"], "subway") ? bstMetro : bstRail;
    if (Is(railway, "tram_stop") || (pt && Yes(tags["tram"]) && !Yes(tags["bus"]))) return bstTram;
    if (Is(tags["highway"], "bus_stop") || Is(pt, "platform") || Is(pt, "station") ||
        Is(pt, "stop_position") || Is(tags["amenity"], "bus_station"))
        return (pt && Yes(tags["train"])) ? bstRail : bstAuto;
    return std::nullopt;
}

std::optional<std::uint8_t> RouteTypeOf(const char* route) {
    if (OneOf(route, {"bus", "coach"})) return ttBus;
    if (Is(route, "trolleybus")) return ttTrolleybus;
    if (OneOf(route, {"tram", "light_rail"})) return ttTramway;
    if (OneOf(route, {"subway", "monorail"})) return ttMetro;
    if (OneOf(route, {"share_taxi", "minibus"})) return ttTaxi;
    if (Is(route, "train")) return TrainTransport;
    return std::nullopt;
}

std::optional<TColor> ParseColour(const char* value) {
    if (!value) return std::nullopt;
    QString s = QString::fromUtf8(value).trimmed();
    if (!s.startsWith(u'#') && (s.size() == 6 || s.size() == 3) &&
        QRegularExpression(QStringLiteral("^[0-9A-Fa-f]+$")).match(s).hasMatch())
        s.prepend(u'#');
    const QColor c = QColor::fromString(s);
    if (!c.isValid()) return std::nullopt;
    return TColor(c.red()) | TColor(c.green()) << 8 | TColor(c.blue()) << 16;
}

// ---------------------------------------------------------------------------------------------
// Rubrics

namespace {

enum Group {
    Food,
    Shops,
    Finance,
    Transport,
    Emergency,
    Health,
    Tourism,
    Culture,
    Sport,
    Education,
    Government,
    Religion,
    RealEstate,
    Offices,
    Crafts,
    Services
};

const std::vector<RubricGroup> Groups = {
    {"Питание", "Food and drink"},
    {"Магазины", "Shops"},
    {"Финансы", "Finance"},
    {"Транспорт", "Transport"},
    {"Экстренные службы", "Emergency services"},
    {"Здоровье", "Health"},
    {"Туризм и гостиницы", "Tourism and hotels"},
    {"Культура и досуг", "Culture and leisure"},
    {"Спорт", "Sport"},
    {"Образование", "Education"},
    {"Государственные учреждения", "Public administration"},
    {"Религия", "Religion"},
    {"Недвижимость", "Real estate"},
    {"Офисы и услуги для бизнеса", "Offices and business services"},
    {"Мастерские", "Crafts"},
    {"Услуги", "Services"},
};

enum R {
    rCafe,
    rRestaurant,
    rFastFood,
    rCanteen,
    rBar,
    rIceCream,
    rBakery,
    rFood,
    rWine,
    rClothes,
    rJewelry,
    rCosmetics,
    rBeauty,
    rCars,
    rElectronics,
    rHome,
    rFlorist,
    rBooks,
    rOptician,
    rSportsGoods,
    rToys,
    rGifts,
    rTobacco,
    rMall,
    rLaundry,
    rOtherShops,
    rBank,
    rAtm,
    rExchange,
    rInsurance,
    rFinancial,
    rTaxi,
    rRental,
    rParking,
    rFuel,
    rCharging,
    rStations,
    rCarWash,
    rEmergency,
    rHospital,
    rClinic,
    rDentist,
    rPharmacy,
    rVeterinary,
    rMedical,
    rHotel,
    rHuts,
    rMuseum,
    rTouristInfo,
    rTravel,
    rAttractions,
    rTheatre,
    rCinema,
    rNightclub,
    rCasino,
    rLibrary,
    rCommunity,
    rLeisure,
    rParks,
    rSportsCentre,
    rFitness,
    rMarina,
    rSchool,
    rKindergarten,
    rUniversity,
    rCourses,
    rGovernment,
    rPost,
    rEmbassy,
    rWorship,
    rEstate,
    rLawyer,
    rCompany,
    rAssociation,
    rCraft,
    rRecycling,
    rOtherServices,
    rCount
};

const std::vector<RubricDef> Defs = [] {
    std::vector<RubricDef> d(rCount);
    auto set = [&](R r, const char* ru, const char* en, Group g, bool always = false) {
        d[r] = {ru, en, g, always};
    };
    set(rCafe, "Кафе", "Cafés", Food, true);
    set(rRestaurant, "Рестораны", "Restaurants", Food, true);
    set(rFastFood, "Кафе быстрого питания", "Fast food", Food);
    set(rCanteen, "Столовые", "Canteens and food courts", Food, true);
    set(rBar, "Бары и пабы", "Bars and pubs", Food);
    set(rIceCream, "Кафе-мороженое", "Ice cream", Food);
    set(rBakery, "Пекарни и кондитерские", "Bakeries and confectioners", Food);
    set(rFood, "Продовольственные магазины", "Food shops", Shops);
    set(rWine, "Вино и напитки", "Wine and drinks", Shops);
    set(rClothes, "Одежда и обувь", "Clothes and shoes", Shops);
    set(rJewelry, "Ювелирные изделия и часы", "Jewellery and watches", Shops);
    set(rCosmetics, "Парфюмерия и косметика", "Perfume and cosmetics", Shops);
    set(rBeauty, "Парикмахерские и салоны красоты", "Hairdressers and beauty salons", Services);
    set(rCars, "Автомобили и автосервис", "Cars and car service", Transport);
    set(rElectronics, "Электроника и связь", "Electronics and phones", Shops);
    set(rHome, "Товары для дома", "Home and garden", Shops);
    set(rFlorist, "Цветы", "Florists", Shops);
    set(rBooks, "Книги и пресса", "Books and newspapers", Shops);
    set(rOptician, "Оптика", "Opticians", Shops);
    set(rSportsGoods, "Спортивные товары", "Sports goods", Shops);
    set(rToys, "Игрушки", "Toys", Shops);
    set(rGifts, "Подарки, искусство и антиквариат", "Gifts, art and antiques", Shops);
    set(rTobacco, "Табак", "Tobacco", Shops);
    set(rMall, "Торговые центры", "Shopping centres", Shops);
    set(rLaundry, "Химчистки и прачечные", "Dry cleaners and laundries", Services);
    set(rOtherShops, "Прочие магазины", "Other shops", Shops);
    set(rBank, "Банки", "Banks", Finance);
    set(rAtm, "Банкоматы", "Cash machines", Finance, true);
    set(rExchange, "Обмен валюты", "Currency exchange", Finance);
    set(rInsurance, "Страхование", "Insurance", Finance);
    set(rFinancial, "Финансовые и бухгалтерские услуги", "Financial and accounting services", Finance);
    set(rTaxi, "Заказ легковых такси", "Taxis", Transport, true);
    set(rRental, "Прокат транспорта", "Vehicle rental", Transport);
    set(rParking, "Автостоянки", "Car parks", Transport);
    set(rFuel, "Автозаправочные станции", "Filling stations", Transport);
    set(rCharging, "Зарядные станции", "Charging stations", Transport);
    set(rStations, "Вокзалы и терминалы", "Stations and terminals", Transport);
    set(rCarWash, "Автомойки", "Car washes", Transport);
    set(rEmergency, "Службы экстренного вызова", "Emergency services", Emergency, true);
    set(rHospital, "Больницы", "Hospitals", Health);
    set(rClinic, "Поликлиники и врачи", "Clinics and doctors", Health);
    set(rDentist, "Стоматология", "Dentists", Health);
    set(rPharmacy, "Аптеки", "Pharmacies", Health);
    set(rVeterinary, "Ветеринарные клиники", "Veterinary clinics", Health);
    set(rMedical, "Медицинские услуги", "Medical services", Health);
    set(rHotel, "Гостиницы", "Hotels", Tourism);
    set(rHuts, "Горные приюты", "Mountain huts", Tourism);
    set(rMuseum, "Музеи и галереи", "Museums and galleries", Culture);
    set(rTouristInfo, "Туристическая информация", "Tourist information", Tourism);
    set(rTravel, "Туристические агентства", "Travel agencies", Tourism);
    set(rAttractions, "Достопримечательности и развлечения", "Sights and amusements", Tourism);
    set(rTheatre, "Театры и концертные залы", "Theatres and concert halls", Culture);
    set(rCinema, "Кинотеатры", "Cinemas", Culture);
    set(rNightclub, "Ночные клубы", "Nightclubs", Culture);
    set(rCasino, "Казино", "Casinos", Culture);
    set(rLibrary, "Библиотеки", "Libraries", Culture);
    set(rCommunity, "Культурные и общественные центры", "Arts and community centres", Culture);
    set(rLeisure, "Досуг и отдых", "Leisure", Culture);
    set(rParks, "Парки и сады", "Parks and gardens", Culture);
    set(rSportsCentre, "Спортивные центры", "Sports centres", Sport);
    set(rFitness, "Фитнес-клубы", "Fitness clubs", Sport);
    set(rMarina, "Яхтенные гавани", "Marinas", Sport);
    set(rSchool, "Школы", "Schools", Education);
    set(rKindergarten, "Детские сады", "Kindergartens", Education);
    set(rUniversity, "Высшие учебные заведения", "Universities and colleges", Education);
    set(rCourses, "Курсы и школы обучения", "Courses and training", Education);
    set(rGovernment, "Органы власти и учреждения", "Government offices", Government);
    set(rPost, "Почта", "Post offices", Government);
    set(rEmbassy, "Посольства и консульства", "Embassies and consulates", Government);
    set(rWorship, "Храмы", "Places of worship", Religion);
    set(rEstate, "Агентства недвижимости", "Estate agencies", RealEstate, true);
    set(rLawyer, "Юридические услуги", "Lawyers and notaries", Offices);
    set(rCompany, "Офисы компаний", "Company offices", Offices);
    set(rAssociation, "Общественные организации", "Associations", Offices);
    set(rCraft, "Мастерские и ремесленники", "Craftsmen and workshops", Crafts);
    set(rRecycling, "Пункты приёма вторсырья", "Recycling centres", Services);
    set(rOtherServices, "Прочие услуги", "Other services", Services);
    return d;
}();

struct TagRubric {
    const char* key;
    std::initializer_list<const char*> values; // empty: any value of the key
    R rubric;
};

// First match per key wins; the keys are tried in the order amenity, shop, office, craft, tourism,
// leisure, healthcare, so that "amenity=pharmacy" and "healthcare=pharmacy" give one rubric.
const TagRubric TagRubrics[] = {
    {"amenity", {"cafe"}, rCafe},
    {"amenity", {"restaurant"}, rRestaurant},
    {"amenity", {"fast_food"}, rFastFood},
    {"amenity", {"canteen", "food_court"}, rCanteen},
    {"amenity", {"bar", "pub", "biergarten"}, rBar},
    {"amenity", {"ice_cream"}, rIceCream},
    {"amenity", {"bank"}, rBank},
    {"amenity", {"atm"}, rAtm},
    {"amenity", {"bureau_de_change", "money_transfer"}, rExchange},
    {"amenity", {"taxi"}, rTaxi},
    {"amenity",
     {"car_rental", "bicycle_rental", "boat_rental", "kick-scooter_rental", "motorcycle_rental",
      "car_sharing", "boat_sharing"},
     rRental},
    {"amenity", {"parking", "motorcycle_parking"}, rParking},
    {"amenity", {"fuel"}, rFuel},
    {"amenity", {"charging_station"}, rCharging},
    {"amenity", {"ferry_terminal", "bus_station"}, rStations},
    {"amenity", {"car_wash"}, rCarWash},
    {"amenity", {"police", "fire_station", "ambulance_station", "rescue_station", "coast_guard"}, rEmergency},
    {"amenity", {"hospital"}, rHospital},
    {"amenity", {"clinic", "doctors"}, rClinic},
    {"amenity", {"dentist"}, rDentist},
    {"amenity", {"pharmacy"}, rPharmacy},
    {"amenity", {"veterinary"}, rVeterinary},
    {"amenity", {"theatre", "concert_hall", "music_venue"}, rTheatre},
    {"amenity", {"cinema"}, rCinema},
    {"amenity", {"nightclub", "stripclub"}, rNightclub},
    {"amenity", {"casino", "gambling"}, rCasino},
    {"amenity", {"library"}, rLibrary},
    {"amenity",
     {"arts_centre", "community_centre", "events_venue", "conference_centre", "exhibition_centre",
      "social_centre"},
     rCommunity},
    {"amenity", {"school"}, rSchool},
    {"amenity", {"kindergarten", "childcare"}, rKindergarten},
    {"amenity", {"university", "college"}, rUniversity},
    {"amenity",
     {"language_school", "music_school", "driving_school", "training", "dancing_school", "prep_school"},
     rCourses},
    {"amenity", {"townhall", "courthouse", "public_building", "prison"}, rGovernment},
    {"amenity", {"post_office"}, rPost},
    {"amenity", {"embassy"}, rEmbassy},
    {"amenity", {"place_of_worship", "monastery"}, rWorship},
    {"amenity", {"social_facility"}, rAssociation},
    {"amenity", {}, rOtherServices},
    {"shop",
     {"supermarket", "convenience", "greengrocer", "butcher", "deli", "seafood", "cheese", "coffee", "tea",
      "chocolate", "farm", "health_food", "general", "frozen_food", "spices", "pasta", "food", "organic"},
     rFood},
    {"shop", {"bakery", "pastry", "confectionery"}, rBakery},
    {"shop", {"ice_cream"}, rIceCream},
    {"shop", {"wine", "alcohol", "beverages"}, rWine},
    {"shop",
     {"clothes", "boutique", "fashion", "shoes", "bag", "leather", "fashion_accessories", "tailor", "fabric",
      "underwear"},
     rClothes},
    {"shop", {"jewelry", "watches"}, rJewelry},
    {"shop", {"cosmetics", "perfumery", "chemist"}, rCosmetics},
    {"shop", {"hairdresser", "beauty", "massage", "tattoo", "nails", "hairdresser_supply"}, rBeauty},
    {"shop", {"car", "car_repair", "car_parts", "tyres", "motorcycle", "boat"}, rCars},
    {"shop",
     {"electronics", "mobile_phone", "computer", "hifi", "camera", "telecommunication", "appliance"},
     rElectronics},
    {"shop",
     {"furniture", "interior_decoration", "houseware", "kitchen", "bed", "lighting", "doityourself",
      "hardware", "garden_centre", "bathroom_furnishing", "curtain", "carpet", "paint", "tiles"},
     rHome},
    {"shop", {"florist"}, rFlorist},
    {"shop", {"books", "stationery", "newsagent", "kiosk"}, rBooks},
    {"shop", {"optician"}, rOptician},
    {"shop", {"sports", "outdoor", "bicycle", "scuba_diving", "fishing"}, rSportsGoods},
    {"shop", {"toys", "baby_goods", "model"}, rToys},
    {"shop",
     {"gift", "art", "antiques", "souvenir", "collector", "frame", "craft", "photo", "music",
      "musical_instrument"},
     rGifts},
    {"shop", {"tobacco", "e-cigarette"}, rTobacco},
    {"shop", {"mall", "department_store"}, rMall},
    {"shop", {"dry_cleaning", "laundry"}, rLaundry},
    {"shop", {"travel_agency"}, rTravel},
    {"shop", {"estate_agent"}, rEstate},
    {"shop", {"pharmacy"}, rPharmacy},
    {"shop",
     {"copyshop", "funeral_directors", "pawnbroker", "rental", "repair", "locksmith"},
     rOtherServices},
    {"shop", {}, rOtherShops},
    {"office", {"estate_agent", "property_management"}, rEstate},
    {"office", {"taxi"}, rTaxi},
    {"office", {"insurance"}, rInsurance},
    {"office",
     {"financial", "financial_advisor", "accountant", "tax_advisor", "investment", "bank"},
     rFinancial},
    {"office", {"lawyer", "notary"}, rLawyer},
    {"office", {"government", "administrative", "public_administration"}, rGovernment},
    {"office", {"diplomatic"}, rEmbassy},
    {"office", {"travel_agent", "tourism"}, rTravel},
    {"office",
     {"association", "ngo", "foundation", "charity", "political_party", "union", "religion"},
     rAssociation},
    {"office", {"educational_institution"}, rCourses},
    {"office", {}, rCompany},
    {"craft", {}, rCraft},
    {"tourism",
     {"hotel", "motel", "hostel", "guest_house", "apartment", "chalet", "camp_site", "caravan_site"},
     rHotel},
    {"tourism", {"alpine_hut", "wilderness_hut"}, rHuts},
    {"tourism", {"museum", "gallery"}, rMuseum},
    {"tourism", {"information"}, rTouristInfo},
    {"tourism", {"zoo", "aquarium", "theme_park"}, rAttractions},
    {"leisure",
     {"sports_centre", "stadium", "sports_hall", "swimming_pool", "ice_rink", "golf_course", "tennis",
      "horse_riding", "water_park", "track", "pitch"},
     rSportsCentre},
    {"leisure", {"fitness_centre"}, rFitness},
    {"leisure", {"marina"}, rMarina},
    {"leisure",
     {"dance", "bowling_alley", "amusement_arcade", "escape_game", "sauna", "adult_gaming_centre",
      "miniature_golf", "hackerspace", "beach_resort", "resort", "club", "social_club"},
     rLeisure},
    {"healthcare", {"pharmacy"}, rPharmacy},
    {"healthcare", {"hospital"}, rHospital},
    {"healthcare", {"dentist"}, rDentist},
    {"healthcare", {"clinic", "doctor", "centre"}, rClinic},
    {"healthcare", {}, rMedical},
};

// Values that are objects of the map (furniture of the street), never organisations, even when named.
bool NotOrganisation(const char* key, const char* value) {
    struct Skip {
        const char* key;
        std::initializer_list<const char*> values;
    };
    static const Skip skip[] = {
        {"amenity",
         {"bench",
          "waste_basket",
          "waste_disposal",
          "recycling",
          "fountain",
          "toilets",
          "drinking_water",
          "bicycle_parking",
          "shelter",
          "clock",
          "telephone",
          "post_box",
          "vending_machine",
          "grit_bin",
          "parking_space",
          "parking_entrance",
          "loading_dock",
          "bbq",
          "hunting_stand",
          "watering_place",
          "waste_transfer_station",
          "dog_toilet",
          "water_point",
          "compressed_air",
          "letter_box",
          "lounger",
          "table",
          "device_charging_station",
          "give_box",
          "public_bookcase",
          "photo_booth",
          "ticket_validator",
          "bicycle_repair_station",
          "motorcycle_parking",
          "smoking_area",
          "shower",
          "grave_yard",
          "taxi_rank",
          "kneipp_water_cure",
          "trolley_bay",
          "hydrant",
          "luggage_locker",
          "payment_terminal",
          "lavoir"}},
        {"shop", {"vacant", "no"}},
        {"tourism", {"attraction", "viewpoint", "artwork", "picnic_site", "yes"}},
        {"leisure",
         {"park",
          "garden",
          "playground",
          "pitch",
          "track",
          "nature_reserve",
          "common",
          "dog_park",
          "picnic_table",
          "slipway",
          "fitness_station",
          "outdoor_seating",
          "firepit",
          "bandstand",
          "bleachers",
          "schoolyard",
          "recreation_ground",
          "swimming_area",
          "fishing",
          "yes"}},
        {"office", {"yes", "vacant"}},
    };
    for (const auto& [k, values] : skip)
        if (std::strcmp(k, key) == 0)
            for (const char* v : values)
                if (std::strcmp(v, value) == 0) return true;
    return false;
}

} // namespace

const std::vector<RubricDef>& Rubrics() {
    return Defs;
}

const std::vector<RubricGroup>& RubricGroups() {
    return Groups;
}

std::vector<int> RubricsOf(const osmium::TagList& tags) {
    std::vector<int> out;
    auto add = [&](int r) {
        if (std::find(out.begin(), out.end(), r) == out.end()) out.push_back(r);
    };
    for (const char* key : {"amenity", "shop", "office", "craft", "tourism", "leisure", "healthcare"}) {
        const char* value = tags[key];
        if (!value || NotOrganisation(key, value)) continue;
        // Only tourist information offices are organisations, not boards and guideposts.
        if (std::strcmp(key, "tourism") == 0 && std::strcmp(value, "information") == 0 &&
            !Is(tags["information"], "office"))
            continue;
        if (std::strcmp(key, "healthcare") == 0 && !out.empty()) continue;
        for (const TagRubric& t : TagRubrics) {
            if (std::strcmp(t.key, key) != 0) continue;
            bool match = t.values.size() == 0;
            for (const char* v : t.values)
                match = match || std::strcmp(v, value) == 0;
            if (match) {
                add(t.rubric);
                break;
            }
        }
    }
    // Places that are parts of the map more than organisations, unless people can call, visit a site or
    // look up hours: then a directory user expects to find them.
    if (out.empty()) {
        const char* leisure = tags["leisure"];
        const char* historic = tags["historic"];
        if (Is(tags["amenity"], "recycling") && Is(tags["recycling_type"], "centre"))
            add(rRecycling);
        else if (Is(tags["information"], "office") && !tags["tourism"])
            add(rTouristInfo);
        else if (tags["club"])
            add(rAssociation);
        else if (OneOf(leisure, {"park", "garden", "nature_reserve"}) && HasContact(tags))
            add(rParks);
        else if ((Is(tags["tourism"], "attraction") ||
                  OneOf(historic, {"castle", "palace", "fort", "manor", "monument", "memorial", "ruins",
                                   "archaeological_site", "monastery", "church", "tower", "city_gate"})) &&
                 HasContact(tags))
            add(rAttractions);
        else if (!leisure && tags["sport"] && HasContact(tags))
            add(rSportsCentre);
    }
    // A bank with a cash machine is also found among the cash machines.
    if (Is(tags["amenity"], "bank") && Yes(tags["atm"])) add(rAtm);
    // Unknown values of a key whose better rubric came from another key add nothing.
    if (out.size() > 1) {
        std::vector<int> specific;
        for (int r : out)
            if (r != rOtherServices && r != rOtherShops && r != rCompany) specific.push_back(r);
        if (!specific.empty()) out = specific;
    }
    return out;
}

bool MayBeUnnamedOrganisation(const osmium::TagList& tags) {
    return OneOf(tags["amenity"], {"atm", "taxi"}) ||
           (Is(tags["amenity"], "recycling") && Is(tags["recycling_type"], "centre"));
}
