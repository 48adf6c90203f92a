// The loaded city: every collection the section loaders fill, addressed by position.
#pragma once

#include "CityLoadWarnings.h"
#include "MapObjects.h"
#include "Resources.h"

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

struct TPhone {
    QString phone; // formatted
    TSharedTas place;
    std::uint8_t code = 0; // index into PhoneCodes; 0 = no area code
    bool cell = false;
    bool operator==(const TPhone&) const = default;
};

struct TAdr {
    std::int32_t street = -1;
    std::int32_t id = -1; // building position as stored; the building's id after ResolveOrgAddresses
    TSharedTas num;
    TSharedTas nomap_adr;
    TSharedTas place;
    QString fax;
    std::vector<TPhone> phones;
    std::int32_t schedule = -1;
    TSharedBytes money; // positions in MoneyKinds
    bool operator==(const TAdr&) const = default;
};

struct TSoc {
    std::uint8_t id = 0;
    QString url;
    bool operator==(const TSoc&) const = default;
};

// Fields ordered to keep padding small: a metropolis has 200,000 organisations.
struct TOrg {
    std::int32_t id = 0;
    std::int32_t BuildBannerAdr = 0;
    Tas caption;
    TSharedTas Description; // most organisations have none, and equal ones are shared
    QString website, email;
    TSharedText icq, skype; // rarely given: eight bytes when empty
    std::optional<TImg> startBanner;
    std::optional<TImg> listBanner;
    std::optional<TImg> DownBanner;
    std::optional<TImg> QuitBanner;
    std::optional<TImg> mapBanner;
    std::optional<TImg> buildBanner;
    bool firstBanner = false;
    bool mark = false;
    bool place = false;
    std::uint8_t seconds = 0;
    std::optional<TPg> page;
    std::vector<TAdr> adrs;
    TSharedInts zone; // building positions
    Tai area;
    std::vector<TSoc> socnet;
    bool operator==(const TOrg&) const = default;
};

struct TMoney {
    QString caption;
    TImg logo;
    bool operator==(const TMoney&) const = default;
};

struct TSocNet {
    QString caption;
    QString prefix; // put in front of a TSoc url to form the address
    TImg logo;
    bool operator==(const TSocNet&) const = default;
};

// Times of day as fractions of a day; the "Diner" pair is the lunch break.
struct TDaySchedule {
    double BeginWork = 0, EndWork = 0, BeginDiner = 0, EndDiner = 0;
    bool operator==(const TDaySchedule&) const = default;
};
// Monday first, Sunday last.
using TSchedule = std::array<TDaySchedule, 7>;

struct TAgent {
    std::int32_t id = 0;  // the organisation's id
    std::int32_t ind = 0; // its position in Orgs
    QString name;
    bool operator==(const TAgent&) const = default;
};

struct TFoto {
    std::int32_t build_id = 0;
    std::int32_t offset = 0; // absolute position in the photo file
    std::int32_t size = 0;
    bool operator==(const TFoto&) const = default;
};

struct CityDb {
    // Start section: the city's representative.
    QString AgentName, AgentEmail, AgentPhone;

    std::vector<TOrg> Orgs;

    // Directory tables.
    QStringList PhoneCodes; // entry 0 empty: no area code
    QStringList DataLangNames;
    std::vector<TMoney> MoneyKinds;
    std::vector<TSocNet> SocNets;
    std::vector<TSchedule> Schedules;
    QStringList WebTabUrls; // news, notes, events, city administration, weather
    QStringList RunningTexts;
    Tai RunningOrgIds; // beside RunningTexts: the organisation id of each text
    std::vector<TAgent> EstateAgents;

    // Map objects and the tables that complete them.
    std::vector<TStreet> Streets;
    std::vector<TBuilding> Buildings;
    std::vector<TBuildIndex> BuildIndexes;
    std::vector<TField> Fields;
    std::vector<TRoad> Roads;
    std::vector<TBusStop> BusStops;
    std::vector<TBusWay> BusWays;
    std::vector<TText> Texts;
    std::vector<TPOI> POIs;
    std::vector<Tas> TransportTypeNames; // by TTranspType
    std::vector<Tas> MaterialNames;      // by TBuildingMaterial; entry 0 the unknown material
    std::vector<Tas> BuildingTypeNames;  // by building tip; entry 0 not offered in lists

    QStringList RubricNames;
    QString RubricTree;

    std::vector<TFoto> Fotos;

    int DataLangCount = 1;
    bool Has3D = false;
    float WorldMinX = 1.0e9f, WorldMinY = 1.0e9f, WorldMaxX = -1.0e9f, WorldMaxY = -1.0e9f;

    // References the loaders dropped; the directory section starts the list afresh.
    CityLoadWarnings LoadWarnings;

    bool operator==(const CityDb&) const = default;
};
