// The loaded city: every collection the section loaders fill, addressed by position.
#pragma once

#include "Resources.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

using Tas = QStringList; // one string per data language
using Tai = std::vector<std::int32_t>;

struct TPhone {
    std::uint8_t code = 0; // index into PhoneCodes; 0 = no area code
    QString phone;         // formatted
    Tas place;
    bool cell = false;
};

struct TAdr {
    std::int32_t street = -1;
    Tas num;
    std::int32_t id = -1; // building position as stored; the building's id after ResolveOrgAddresses
    Tas nomap_adr;
    Tas place;
    QString fax;
    std::vector<TPhone> phones;
    std::int32_t schedule = -1;
    std::vector<std::uint8_t> money;
};

struct TSoc {
    std::uint8_t id = 0;
    QString url;
};

struct TOrg {
    std::int32_t id = 0;
    Tas caption;
    Tas Description;
    QString website, email, icq, skype;
    std::int32_t BuildBannerAdr = 0;
    std::optional<TImg> startBanner;
    std::optional<TImg> listBanner;
    std::optional<TImg> DownBanner;
    std::optional<TImg> QuitBanner;
    bool firstBanner = false;
    std::optional<TImg> mapBanner;
    std::optional<TImg> buildBanner;
    bool mark = false;
    bool place = false;
    std::uint8_t seconds = 0;
    std::optional<TPg> page;
    std::vector<TAdr> adrs;
    Tai zone;
    Tai area;
    std::vector<TSoc> socnet;
};

struct TFoto {
    std::int32_t build_id = 0;
    std::int32_t offset = 0; // absolute position in the photo file
    std::int32_t size = 0;
};

struct CityDb {
    // Start section: the city's representative.
    QString AgentName, AgentEmail, AgentPhone;

    std::vector<TOrg> Orgs;

    QStringList RubricNames;
    QString RubricTree;

    std::vector<TFoto> Fotos;

    int DataLangCount = 1;
    bool Has3D = false;
    float WorldMinX = 1.0e9f, WorldMinY = 1.0e9f, WorldMaxX = -1.0e9f, WorldMaxY = -1.0e9f;
};
