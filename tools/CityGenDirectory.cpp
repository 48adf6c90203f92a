// The synthetic city's directory: tables, pictures, phones, organisations with their addresses and
// schedules, rubrics, the start section and the building photos.
#include "CityGenGenerator.h"

#include <algorithm>
#include <cmath>

namespace citygen {

void Generator::tables() {
    db_.TransportTypeNames = {
        set(U("Автобус"), QStringLiteral("Bus")), set(U("Трамвай"), QStringLiteral("Tram")),
        set(U("Троллейбус"), QStringLiteral("Trolleybus")), set(U("Метро"), QStringLiteral("Metro")),
        set(U("Маршрутное такси"), QStringLiteral("Route taxi"))};
    db_.MaterialNames = {set(U("Неизвестно"), QStringLiteral("Unknown")),
                         set(U("Кирпич"), QStringLiteral("Brick")),
                         set(U("Панель"), QStringLiteral("Panel")),
                         set(U("Дерево"), QStringLiteral("Wood")),
                         set(U("Камень"), QStringLiteral("Stone")),
                         set(U("Шлакоблок"), QStringLiteral("Cinder block")),
                         set(U("Монолит"), QStringLiteral("Monolith"))};
    const char* const types[][2] = {{"Прочее", "Other"},
                                    {"Административное", "Administrative"},
                                    {"Школа", "School"},
                                    {"Жилой дом", "Residential"},
                                    {"Детский сад", "Kindergarten"},
                                    {"Торговый центр", "Shopping centre"},
                                    {"Гараж", "Garage"},
                                    {"Гостиница", "Hotel"},
                                    {"Спортивное сооружение", "Sports facility"},
                                    {"Декоративное сооружение", "Decoration"},
                                    {"Памятник", "Monument"},
                                    {"Больница", "Hospital"},
                                    {"Университет", "University"},
                                    {"Учреждение культуры", "Culture"},
                                    {"Склад", "Storehouse"},
                                    {"Магазин", "Shop"},
                                    {"Общественное здание", "Public building"},
                                    {"Храм", "Church"},
                                    {"Котельная", "Boiler house"},
                                    {"Автозаправка", "Filling station"},
                                    {"Стройка", "Construction site"},
                                    {"Хозяйственная постройка", "Shed"},
                                    {"Рекламная конструкция", "Billboard"}};
    for (const auto& t : types)
        db_.BuildingTypeNames.push_back(set(U(t[0]), QString::fromLatin1(t[1])));
}

TImg Generator::picture(int w, int h, const QString& text, int hue) {
    // Large cities share a bounded set of drawn pictures.
    const QString key = QStringLiteral("%1x%2:%3")
                            .arg(w)
                            .arg(h)
                            .arg(pictures_ < o_.maxPictures ? text : QString::number(hue % 16));
    auto it = pictureRefs_.find(key);
    if (it != pictureRefs_.end()) return it->second;
    ++pictures_;
    TImg img = w_.AddImage(Jpeg(w, h, QColor::fromHsv(hue % 360, 150, 190), text));
    pictureRefs_.emplace(key, img);
    return img;
}

QString Generator::rawPhone(std::uint8_t& code, int form) {
    auto digits = [&](int n) {
        QString s = QString::number(2 + rand(7));
        while (s.size() < n)
            s += QChar(u'0' + rand(10));
        return s;
    };
    code = 0;
    switch (form) {
    case 0:
        code = 1;
        return digits(7); // city number with area code
    case 1:
        return digits(6); // old six-digit number
    case 2:
        return QStringLiteral("8") + digits(10); // eleven digits
    case 3:
        return QStringLiteral("+79") + digits(9); // mobile
    case 4:
        code = 2;
        return digits(7); // free call line
    case 5:
        code = 1;
        return QStringLiteral("+89") + digits(9); // mobile with area code
    default:
        return digits(2) + u'-' + digits(3); // a form that stays as stored
    }
}

TPhone Generator::phone(int form) {
    TPhone ph;
    const QString stored = rawPhone(ph.code, form);
    FormatPhone(stored, ph.code, db_.PhoneCodes, ph.phone, ph.cell);
    ph.place = rand(5) == 0 ? set(U("приёмная"), QStringLiteral("reception")) : empty();
    return ph;
}

TSchedule Generator::week(std::initializer_list<std::array<int, 8>> days) {
    TSchedule s;
    int k = 0;
    for (const auto& d : days) {
        s[k++] = {ScheduleTime(d[0], d[1]), ScheduleTime(d[2], d[3]), ScheduleTime(d[4], d[5]),
                  ScheduleTime(d[6], d[7])};
    }
    return s;
}

void Generator::directory() {
    db_.PhoneCodes = {QString(), QStringLiteral("3452"), QStringLiteral("8-800"), QStringLiteral("495")};
    const char* money[][2] = {
        {"Наличные", "cash"}, {"Visa", "visa"}, {"MasterCard", "mc"}, {"Мир", "mir"}};
    int hue = 0;
    for (const auto& m : money)
        db_.MoneyKinds.push_back(
            {U(m[0]), w_.AddImage(Jpeg(32, 20, QColor::fromHsv((hue += 70) % 360, 200, 200),
                                       QString::fromLatin1(m[1])))});
    const char* nets[][2] = {{"ВКонтакте", "https://vk.com/"},
                             {"Одноклассники", "https://ok.ru/"},
                             {"Telegram", "https://t.me/"}};
    for (const auto& n : nets)
        db_.SocNets.push_back(
            {U(n[0]), QString::fromLatin1(n[1]),
             w_.AddImage(Jpeg(20, 20, QColor::fromHsv((hue += 50) % 360, 200, 200), U(n[0]).left(1)))});

    db_.Schedules = {
        week({{9, 0, 18, 0, 0, 0, 0, 0},
              {9, 0, 18, 0, 0, 0, 0, 0},
              {9, 0, 18, 0, 0, 0, 0, 0},
              {9, 0, 18, 0, 0, 0, 0, 0},
              {9, 0, 18, 0, 0, 0, 0, 0},
              {0, 0, 0, 0, 0, 0, 0, 0},
              {0, 0, 0, 0, 0, 0, 0, 0}}),
        week({{9, 0, 18, 0, 13, 0, 14, 0},
              {9, 0, 18, 0, 13, 0, 14, 0},
              {9, 0, 18, 0, 13, 0, 14, 0},
              {9, 0, 18, 0, 13, 0, 14, 0},
              {9, 0, 17, 0, 13, 0, 13, 45},
              {10, 0, 15, 0, 0, 0, 0, 0},
              {0, 0, 0, 0, 0, 0, 0, 0}}),
        week({{10, 0, 22, 0, 0, 0, 0, 0},
              {10, 0, 22, 0, 0, 0, 0, 0},
              {10, 0, 22, 0, 0, 0, 0, 0},
              {10, 0, 22, 0, 0, 0, 0, 0},
              {10, 0, 23, 30, 0, 0, 0, 0},
              {11, 0, 23, 30, 0, 0, 0, 0},
              {11, 0, 22, 0, 0, 0, 0, 0}}),
        week({{0, 0, 23, 59, 0, 0, 0, 0},
              {0, 0, 23, 59, 0, 0, 0, 0},
              {0, 0, 23, 59, 0, 0, 0, 0},
              {0, 0, 23, 59, 0, 0, 0, 0},
              {0, 0, 23, 59, 0, 0, 0, 0},
              {0, 0, 23, 59, 0, 0, 0, 0},
              {0, 0, 23, 59, 0, 0, 0, 0}}),
        week({{18, 0, 2, 0, 0, 0, 0, 0},
              {18, 0, 2, 0, 0, 0, 0, 0},
              {18, 0, 2, 0, 0, 0, 0, 0},
              {18, 0, 2, 0, 0, 0, 0, 0},
              {18, 0, 5, 0, 0, 0, 0, 0},
              {18, 0, 5, 0, 0, 0, 0, 0},
              {18, 0, 2, 0, 0, 0, 0, 0}}),
        week({{8, 0, 20, 0, 12, 0, 12, 45},
              {8, 0, 20, 0, 12, 0, 12, 45},
              {8, 0, 20, 0, 12, 0, 12, 45},
              {8, 0, 20, 0, 12, 0, 12, 45},
              {8, 0, 20, 0, 12, 0, 12, 45},
              {9, 0, 16, 0, 0, 0, 0, 0},
              {0, 0, 0, 0, 0, 0, 0, 0}}),
        week({{0, 0, 0, 0, 0, 0, 0, 0},
              {11, 0, 23, 0, 0, 0, 0, 0},
              {11, 0, 23, 0, 0, 0, 0, 0},
              {11, 0, 23, 0, 0, 0, 0, 0},
              {11, 0, 23, 0, 0, 0, 0, 0},
              {11, 0, 23, 0, 0, 0, 0, 0},
              {11, 0, 23, 0, 0, 0, 0, 0}}),
        week({{9, 0, 21, 0, 0, 0, 0, 0},
              {9, 0, 21, 0, 0, 0, 0, 0},
              {9, 0, 21, 0, 0, 0, 0, 0},
              {9, 0, 21, 0, 0, 0, 0, 0},
              {9, 0, 21, 0, 0, 0, 0, 0},
              {9, 0, 21, 0, 0, 0, 0, 0},
              {9, 0, 21, 0, 0, 0, 0, 0}}),
    };
    for (const Category& c : Categories)
        db_.RubricNames.append(U(c.rubric));

    int totalWeight = 0;
    for (const Category& c : Categories)
        totalWeight += c.weight;
    db_.Orgs.reserve(o_.orgs);
    for (int i = 0; i < o_.orgs; ++i) {
        int pick = rand(totalWeight), cat = 0;
        while (pick >= Categories[cat].weight)
            pick -= Categories[cat++].weight;
        db_.Orgs.push_back(org(i, cat));
    }
    // Block entries: banners of every kind, flags, display times, pages, running texts.
    const int n = int(db_.Orgs.size());
    for (int i = 0; i < n; ++i) {
        TOrg& o = db_.Orgs[i];
        const QString name = o.caption[0];
        if (i % 50 == 3) o.DownBanner = picture(300, 60, name, i * 13);
        // The list shown before any search is made of list banners: its members carry one.
        if (i % 40 == 5 || i % 60 == 13) o.listBanner = picture(300, 90, name, i * 17);
        if (i % 120 == 7) o.mapBanner = picture(150, 40, name, i * 19);
        if (i % 100 == 9) o.buildBanner = picture(200, 100, name, i * 23);
        if (i % 300 == 11) o.QuitBanner = picture(400, 250, name, i * 29);
        if (i % 60 == 13) o.firstBanner = true;
        if (i % 30 == 2) o.mark = true;
        if (i % 45 == 4) o.place = true;
        if (i % 50 == 3) o.seconds = std::uint8_t(1 + i % 5);
        if (i % 70 == 6) {
            if (i % 140 == 6)
                o.page = w_.AddPage(QStringLiteral("org%1.html").arg(o.id),
                                    HtmlPage(name, o.Description.join(u' ')));
            else
                o.page = TPg{{-1, -1}, QStringLiteral("http://%1/").arg(o.website)};
        }
        if (i % 500 == 8 && db_.RunningTexts.size() < 40) {
            db_.RunningTexts.append(name + U(" — скидки до 30 % всю неделю!"));
            db_.RunningOrgIds.push_back(o.id);
        }
    }
    db_.WebTabUrls = {QStringLiteral("http://tessara.example/download/incNews.php?city=demo"),
                      QStringLiteral("http://tessara.example/download/incNotes.php?city=demo"),
                      QStringLiteral("http://tessara.example/download/incEvents.php?city=demo"),
                      QStringLiteral("http://tessara.example/download/incAdm.php?city=demo"),
                      QStringLiteral("http://tessara.example/download/incWeather.php?city=demo")};
}

TOrg Generator::org(int i, int cat) {
    const Category& c = Categories[cat];
    TOrg o;
    o.id = 100000 + i;
    const QString brand = U(Brands[rand(int(std::size(Brands)))]);
    if (cat == 7) {
        // Estate agencies carry their legal form after a comma.
        static const char* forms[] = {"ООО", "ИП Смирнов", "АН"};
        o.caption = set(U("Агентство «") + brand + U("», ") + U(forms[i % 3]),
                        Translit(brand) + QStringLiteral(" estate agency"));
    } else if (cat == 6) {
        static const char* services[][2] = {{"Пожарная охрана", "Fire service"},
                                            {"Полиция", "Police"},
                                            {"Скорая помощь", "Ambulance"},
                                            {"Аварийная газовая служба", "Gas emergency"}};
        o.caption = set(U(services[i % 4][0]), QString::fromLatin1(services[i % 4][1]));
    } else {
        QString ru = QString::fromUtf8(c.ruPrefix) + U(" «") + brand + U("»");
        // Some organisations have no English name: the set is filled from the Russian one.
        o.caption = i % 7 == 0 ? same(ru) : set(ru, Translit(brand) + u' ' + QLatin1String(c.enWord));
    }
    const QString slug = Translit(brand).toLower() + QString::number(i);
    if (rand(3) > 0) o.website = QStringLiteral("www.%1.ru").arg(slug);
    if (rand(2) == 0) o.email = QStringLiteral("info@%1.ru").arg(slug);
    if (rand(10) == 0) o.icq = QString::number(100000000 + rand(800000000));
    if (rand(8) == 0) o.skype = slug + QStringLiteral(".office");
    for (int s = 0; s < int(db_.SocNets.size()); ++s)
        if (rand(6) == 0) o.socnet.push_back({std::uint8_t(s), slug});
    o.BuildBannerAdr = rand(20) == 0 ? rand(1000) : 0;
    const int adrs = 1 + (rand(6) == 0) + (rand(20) == 0);
    for (int a = 0; a < adrs; ++a)
        o.adrs.push_back(address(i, a, cat));
    o.area.push_back(cat);
    for (const auto& [from, to] : CrossRefs)
        if (from == cat && rand(4) == 0) o.area.push_back(to);
    if (rand(4) == 0) {
        Tas description = {U("Работаем с 1998 года."), U("Бесплатная парковка для клиентов.")};
        if (rand(2)) description.append(U("Доставка по городу."));
        o.Description = description;
    }
    if (cat == 5 || cat == 6)
        for (int d = 0; d < D_ * D_; ++d)
            if (rand(2) == 0) o.zone.push_back(d);
    return o;
}

TAdr Generator::address(int i, int a, int cat) {
    TAdr adr;
    adr.num = empty();
    if (rand(25) == 0 || db_.Buildings.empty()) {
        adr.id = -1;
        const int n = 1 + rand(40);
        adr.nomap_adr = set(U("пос. Лесной, ул. Центральная, %1").arg(n),
                            QStringLiteral("Lesnoy, Tsentralnaya st. %1").arg(n));
    } else {
        adr.id = rand(int(db_.Buildings.size()));
        adr.nomap_adr = empty();
    }
    const int placeKind = rand(6), office = 100 + rand(400), floor = 1 + rand(9);
    if (placeKind == 0)
        adr.place = set(U("офис %1").arg(office), QStringLiteral("office %1").arg(office));
    else if (placeKind == 1)
        adr.place = set(U("%1 этаж").arg(floor), QStringLiteral("floor %1").arg(floor));
    else
        adr.place = empty();
    const int phones = 1 + rand(3);
    for (int p = 0; p < phones; ++p)
        adr.phones.push_back(phone((i + a + p) % 7));
    if (rand(5) == 0) {
        std::uint8_t code;
        const QString stored = rawPhone(code, 0);
        QString fax;
        bool cell;
        FormatPhone(stored, code, db_.PhoneCodes, fax, cell);
        adr.fax = fax;
    }
    static const int byCategory[] = {2, 2, 2, 3, 3, 3, 3, 0, 5, 7, 1, 1,
                                     5, 5, 6, 3, 0, 5, 0, 5, 7, 2, 1, 0};
    adr.schedule = rand(8) == 0 ? -1 : (i % 9 == 0 ? 4 : byCategory[cat]);
    for (int m = 0; m < int(db_.MoneyKinds.size()); ++m)
        if (m == 0 || rand(2)) adr.money.push_back(std::uint8_t(m));
    return adr;
}

void Generator::rubrics() {
    QString tree;
    for (const Group& g : Groups) {
        tree += U(g.name) + u'\n';
        for (int r : g.rubrics) {
            tree += u'\t' + U(Categories[r].rubric) + u'\n';
            for (const auto& [from, to] : CrossRefs)
                if (from == r) tree += QStringLiteral("\t\t") + U(Categories[to].rubric) + u'\n';
        }
    }
    db_.RubricTree = tree;
}

void Generator::startSection() {
    db_.AgentName = U("ООО «Тессара-Сервис»");
    db_.AgentEmail = QStringLiteral("agent@tessara.example");
    db_.AgentPhone = QStringLiteral("(3452) 123-45-67");
    for (int i = 0; i < 3 && i < int(db_.Orgs.size()); ++i) {
        TOrg o;
        o.id = db_.Orgs[i * 7 % db_.Orgs.size()].id;
        o.startBanner = w_.AddImage(Jpeg(265, 162, QColor::fromHsv(i * 100, 160, 180),
                                         db_.Orgs[i * 7 % db_.Orgs.size()].caption[0]));
        if (i != 1)
            o.page = w_.AddPage(QStringLiteral("start%1.html").arg(i),
                                HtmlPage(db_.Orgs[i].caption[0], U("Добро пожаловать!")));
        w_.StartOrgs.push_back(o);
    }
}

void Generator::photos() {
    const int n = std::min<int>(int(db_.Buildings.size()) / 200 + 1, o_.maxPictures);
    for (int k = 0; k < n; ++k) {
        const TBuilding& b = db_.Buildings[std::size_t(k) * db_.Buildings.size() / n];
        w_.Photos.emplace_back(b.id, Jpeg(320, 240, QColor::fromHsv((k * 37) % 360, 90, 200),
                                          b.num[0] + u' ' + b.caption[0], 75));
    }
}

} // namespace citygen
