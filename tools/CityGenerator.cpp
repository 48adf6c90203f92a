#include "CityGenerator.h"

#include "WebTabAddress.h"

#include "CityDb.h"
#include "CityWriter.h"
#include "Cp1251.h"
#include "DirectoryRecords.h"
#include "RecordWriter.h"
#include "WebTabAddress.h"

#include <QBuffer>
#include <QFileInfo>
#include <QUrl>
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <algorithm>
#include <cmath>
#include <map>

namespace {

// ---------------------------------------------------------------------------------------------
// Words

const char* const PersonStems[] = {
    "Ленина",     "Пушкина",      "Гагарина",    "Чехова",       "Толстого",      "Гоголя",
    "Лермонтова", "Королёва",     "Жукова",      "Кирова",       "Горького",      "Островского",
    "Некрасова",  "Маяковского",  "Есенина",     "Шолохова",     "Менделеева",    "Ломоносова",
    "Суворова",   "Кутузова",     "Чкалова",     "Титова",       "Фрунзе",        "Тургенева",
    "Крылова",    "Глинки",       "Чайковского", "Репина",       "Шишкина",       "Левитана",
    "Блока",      "Бунина",       "Куприна",     "Достоевского", "Герцена",       "Белинского",
    "Радищева",   "Циолковского", "Павлова",     "Попова",       "Мичурина",      "Тимирязева",
    "Калинина",   "Дзержинского", "Свердлова",   "Урицкого",     "Володарского",  "Щорса",
    "Чапаева",    "Котовского",   "Будённого",   "Ватутина",     "Рокоссовского", "Жуковского",
    "Карбышева",  "Матросова"};
const char* const AdjStems[] = {"Садовая",     "Лесная",     "Школьная",  "Полевая",      "Речная",
                                "Центральная", "Заводская",  "Солнечная", "Молодёжная",   "Новая",
                                "Северная",    "Южная",      "Восточная", "Западная",     "Береговая",
                                "Луговая",     "Вокзальная", "Парковая",  "Озёрная",      "Весенняя",
                                "Зелёная",     "Советская",  "Рабочая",   "Первомайская", "Октябрьская"};
struct StreetType {
    const char* ru;
    const char* en;
    char gender; // 'f', 'm' or 'n' for the ordinal ending
};
const StreetType StreetTypes[] = {{"улица", "street", 'f'},   {"проспект", "avenue", 'm'},
                                  {"переулок", "lane", 'm'},  {"бульвар", "boulevard", 'm'},
                                  {"проезд", "passage", 'm'}, {"набережная", "embankment", 'f'},
                                  {"шоссе", "highway", 'n'}};

const char* const Brands[] = {
    "Ромашка",   "Берёзка",  "Радуга", "Сибирь", "Уют",      "Магистраль", "Восток",  "Гранит",   "Меридиан",
    "Сфера",     "Вектор",   "Альянс", "Лидер",  "Прогресс", "Орион",      "Фортуна", "Гармония", "Триумф",
    "Империя",   "Классика", "Элегия", "Олимп",  "Парус",    "Маяк",       "Северок", "Таёжный",  "Кедр",
    "Рябина",    "Калинка",  "Визит",  "Пульс",  "Старт",    "Горизонт",   "Эталон",  "Стимул",   "Аврора",
    "Эдельвейс", "Снежинка", "Лазурь", "Янтарь", "Жемчуг",   "Алмаз"};

struct Category {
    const char* rubric;   // name in RubricNames
    const char* ruPrefix; // caption before the brand
    const char* enWord;   // English caption word
    int weight;
};
const Category Categories[] = {
    {"Кафе", "Кафе", "cafe", 8},
    {"Рестораны", "Ресторан", "restaurant", 5},
    {"Столовые", "Столовая", "canteen", 3},
    {"Банкоматы Сбербанка", "Банкомат", "cash machine", 4},
    {"Банкоматы других банков", "Банкомат банка", "cash machine", 3},
    {"Заказ легковых такси", "Такси", "taxi", 3},
    {"Службы экстренного вызова", "Служба", "emergency service", 1},
    {"Агентства недвижимости", "", "estate agency", 4},
    {"Продовольственные магазины", "Магазин", "food store", 12},
    {"Аптеки", "Аптека", "pharmacy", 5},
    {"Банки", "Банк", "bank", 3},
    {"Поликлиники", "Поликлиника", "clinic", 2},
    {"Стоматология", "Стоматология", "dental clinic", 3},
    {"Автосервисы", "Автосервис", "car service", 5},
    {"Парикмахерские", "Салон красоты", "beauty salon", 6},
    {"Гостиницы", "Гостиница", "hotel", 2},
    {"Юридические услуги", "Юридическая компания", "law firm", 4},
    {"Строительные материалы", "Стройматериалы", "building materials", 5},
    {"Школы", "Школа", "school", 2},
    {"Детские сады", "Детский сад", "kindergarten", 2},
    {"Фитнес-клубы", "Фитнес-клуб", "fitness club", 3},
    {"Кинотеатры", "Кинотеатр", "cinema", 1},
    {"Туристические агентства", "Турагентство", "travel agency", 4},
    {"Страхование", "Страховая компания", "insurance company", 3},
};
struct Group {
    const char* name;
    std::initializer_list<int> rubrics;
};
const Group Groups[] = {{"Питание", {0, 1, 2}},     {"Финансы", {3, 4, 10, 23}}, {"Транспорт", {5, 13}},
                        {"Экстренные службы", {6}}, {"Недвижимость", {7, 17}},   {"Торговля", {8, 9, 17}},
                        {"Здоровье", {9, 11, 12}},  {"Услуги", {14, 16, 22}},    {"Образование", {18, 19}},
                        {"Отдых", {15, 20, 21, 22}}};
// Depth-2 entries: rubrics that name related rubrics.
const std::pair<int, int> CrossRefs[] = {{0, 1},  {1, 0},   {2, 0},   {3, 10}, {4, 10},  {10, 3},
                                         {5, 13}, {11, 12}, {12, 11}, {8, 9},  {15, 22}, {20, 14}};

const char* const TranslitTable[] = {"a",  "b",  "v",  "g",    "d", "e", "zh", "z", "i",  "y", "k",
                                     "l",  "m",  "n",  "o",    "p", "r", "s",  "t", "u",  "f", "kh",
                                     "ts", "ch", "sh", "shch", "",  "y", "",   "e", "yu", "ya"};

QString Translit(const QString& ru) {
    QString out;
    for (QChar c : ru) {
        const bool upper = c.isUpper();
        QChar lc = c.toLower();
        if (lc == u'ё') lc = u'е';
        if (lc >= u'а' && lc <= u'я') {
            QString t = QString::fromLatin1(TranslitTable[lc.unicode() - u'а']);
            if (upper && !t.isEmpty()) t[0] = t[0].toUpper();
            out += t;
        } else if (c != u'«' && c != u'»') {
            out += c;
        }
    }
    return out;
}

QString U(const char* s) {
    return QString::fromUtf8(s);
}

// ---------------------------------------------------------------------------------------------
// Pictures

QByteArray Jpeg(int w, int h, QColor color, const QString& text, int quality = 80) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(color);
    QPainter p(&img);
    p.setPen(color.lightness() > 140 ? Qt::black : Qt::white);
    p.drawRect(1, 1, w - 3, h - 3);
    QFont f(QStringLiteral("Liberation Sans"));
    f.setPixelSize(std::max(8, std::min(h / 3, 28)));
    f.setBold(true);
    p.setFont(f);
    p.drawText(img.rect(), Qt::AlignCenter | Qt::TextWordWrap, text);
    p.end();
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "JPG", quality);
    return bytes;
}

QByteArray HtmlPage(const QString& title, const QString& text) {
    return QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>%1</title></head>\n"
                          "<body><h1>%1</h1><p>%2</p></body></html>\n")
        .arg(title.toHtmlEscaped(), text.toHtmlEscaped())
        .toUtf8();
}

// ---------------------------------------------------------------------------------------------

class Generator {
public:
    Generator(const CityGenOptions& o, CityDb& db, CityWriter& w) : o_(o), db_(db), w_(w), rng_(o.seed) {}

    void run() {
        db_.DataLangCount = 2;
        db_.DataLangNames = {U("Русский"), QStringLiteral("English")};
        layout();
        streets();
        blocks();
        buildIndex();
        roads();
        transport();
        labels();
        tables();
        directory();
        rubrics();
        startSection();
        photos();
    }

private:
    int rand(int n) { return n <= 1 ? 0 : int(rng_.bounded(quint32(n))); }
    bool chance(double p) { return rng_.generateDouble() < p; }
    Tas set(const QString& ru, const QString& en) { return {ru, en}; }
    Tas same(const QString& s) { return {s, s}; }
    Tas empty() { return {QString(), QString()}; }

    // Grid: B x B blocks of Pitch metres with streets on the grid lines.
    static constexpr float Pitch = 160;
    static constexpr float Road = 10; // half the street width
    static constexpr int PerBlock = 16;

    void layout() {
        const double buildingBlocks = std::max(1.0, double(o_.buildings) / PerBlock);
        B_ = std::max(3, int(std::ceil(std::sqrt(buildingBlocks / 0.86))));
        // Each grid line is cut into streets of `span_` blocks.
        const double lines = 2.0 * (B_ + 1);
        span_ = std::max(1, int(std::lround(lines * B_ / std::max(1, o_.streets))));
        perLine_ = (B_ + span_ - 1) / span_;
        D_ = B_ < 12 ? 2 : B_ < 60 ? 3 : 4;
    }

    float gx(int i) const { return i * Pitch - B_ * Pitch / 2; }
    float gy(int j) const { return j * Pitch - B_ * Pitch / 2; }

    // Street on horizontal line j (0..B) covering column i, or vertical line i covering row j.
    int hStreet(int j, int i) const { return j * perLine_ + i / span_; }
    int vStreet(int i, int j) const { return (B_ + 1) * perLine_ + i * perLine_ + j / span_; }
    bool avenue(int line) const { return line % 5 == 0; }

    void streets() {
        const int count = 2 * (B_ + 1) * perLine_;
        db_.Streets.resize(count);
        std::vector<int> order(count);
        for (int k = 0; k < count; ++k)
            order[k] = k;
        // Names are handed out in a shuffled order so that neighbouring streets differ.
        for (int k = count - 1; k > 0; --k)
            std::swap(order[k], order[rand(k + 1)]);
        for (int line = 0; line <= B_; ++line)
            for (int seg = 0; seg < perLine_; ++seg) {
                const int first = seg * span_, last = std::min(B_, first + span_);
                TStreet& h = db_.Streets[hStreet(line, first)];
                TStreet& v = db_.Streets[vStreet(line, first)];
                for (int c = first; c < last; ++c) {
                    h.shape.push_back({gx(c), gy(line)});
                    h.shape.push_back({gx(c + 1), gy(line)});
                    v.shape.push_back({gx(line), gy(c)});
                    v.shape.push_back({gx(line), gy(c + 1)});
                }
                h.Name = streetName(order[hStreet(line, first)], avenue(line));
                v.Name = streetName(order[vStreet(line, first)], avenue(line));
            }
    }

    Tas streetName(int k, bool wide) {
        const int persons = int(std::size(PersonStems)), types = int(std::size(StreetTypes));
        const int combos = persons * types + int(std::size(AdjStems));
        const int base = k % combos, round = k / combos;
        QString ru, en;
        char gender = 'f';
        if (base < persons * types) {
            const QString stem = U(PersonStems[base % persons]);
            // Avenues get the wide street kinds.
            int t = base / persons;
            if (wide && (t == 2 || t == 4)) t = 1;
            const StreetType& type = StreetTypes[t];
            ru = U(type.ru) + u' ' + stem;
            en = Translit(stem) + u' ' + QLatin1String(type.en);
            gender = type.gender;
        } else {
            const QString stem = U(AdjStems[base - persons * types]);
            ru = stem + U(" улица");
            en = Translit(stem) + QStringLiteral(" street");
        }
        if (round > 0) {
            const int n = round + 1;
            ru = QStringLiteral("%1-%2 ").arg(n).arg(gender == 'f'   ? U("я")
                                                     : gender == 'm' ? U("й")
                                                                     : U("е")) +
                 ru;
            const char* suffix = n % 10 == 1 && n != 11   ? "st"
                                 : n % 10 == 2 && n != 12 ? "nd"
                                 : n % 10 == 3 && n != 13 ? "rd"
                                                          : "th";
            en = QStringLiteral("%1%2 ").arg(n).arg(QLatin1String(suffix)) + en;
        }
        return set(ru, en);
    }

    int district(float x, float y) const {
        const float size = B_ * Pitch / D_;
        const int dx = std::clamp(int((x - gx(0)) / size), 0, D_ - 1);
        const int dy = std::clamp(int((y - gy(0)) / size), 0, D_ - 1);
        return dy * D_ + dx;
    }

    QString nextNumber(int street, bool odd) {
        int& n = numbers_[street * 2 + (odd ? 1 : 0)];
        n = n == 0 ? (odd ? 1 : 2) : n + 2;
        return QString::number(n);
    }

    void blocks() {
        // Districts first: the district list takes the leading run of type 9 areas.
        const char* const names[] = {"Центральный", "Ленинский", "Калининский", "Восточный",
                                     "Заречный",    "Северный",  "Южный",       "Западный",
                                     "Лесной",      "Заводской", "Приозёрный",  "Нагорный",
                                     "Садовый",     "Кировский", "Советский",   "Октябрьский"};
        for (int d = 0; d < D_ * D_; ++d) {
            const float size = B_ * Pitch / D_;
            const float x0 = gx(0) + (d % D_) * size, y0 = gy(0) + (d / D_) * size;
            TField f;
            f.typ = DistrictFieldType;
            f.shape = {{x0, y0}, {x0 + size, y0}, {x0 + size, y0 + size}, {x0, y0 + size}};
            const QString ru = U(names[d % std::size(names)]);
            f.caption = set(ru + U(" район"), Translit(ru) + QStringLiteral(" district"));
            db_.Fields.push_back(f);
        }
        numbers_.assign(db_.Streets.size() * 2, 0);
        for (int j = 0; j < B_; ++j)
            for (int i = 0; i < B_; ++i)
                block(i, j);
    }

    void block(int i, int j) {
        const float x0 = gx(i) + Road, y0 = gy(j) + Road, x1 = gx(i + 1) - Road, y1 = gy(j + 1) - Road;
        const bool full = int(db_.Buildings.size()) >= o_.buildings;
        // One block in seven is green or water, and every block past the building count is.
        const int kind = full ? 1 + rand(4) : rand(7) == 0 ? 1 + rand(5) : 0;
        TField f;
        f.shape = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
        static const std::uint8_t built[] = {0, 0, 0, 0, 0, 6, 6, 3, 4, 12};
        static const std::uint8_t open[] = {0, 1, 11, 2, 7, 5};
        f.typ = kind == 0 ? built[rand(int(std::size(built)))] : open[kind];
        if (kind == 0 && avenue(i) && avenue(j)) f.typ = 10; // squares at avenue crossings
        db_.Fields.push_back(f);
        const int fieldPos = int(db_.Fields.size()) - 1;
        if (kind != 0) {
            openBlock(f.typ, fieldPos, x0, y0, x1, y1);
            return;
        }
        // Buildings along the four sides, facing their streets: five on top and bottom, three on each side.
        const float depth = 14 + rand(5);
        const float w5 = (x1 - x0) / 5, h3 = (y1 - y0 - 2 * depth) / 3;
        // Stored from north to south: the map draws in stored order, so nearer buildings (further south)
        // come later and their walls cover the ones behind them, never the other way round.
        for (int k = 0; k < 5; ++k)
            building(x0 + k * w5 + 2, y0, x0 + (k + 1) * w5 - 2, y0 + depth, hStreet(j, i), true);
        for (int k = 0; k < 3; ++k) {
            building(x0, y0 + depth + k * h3 + 3, x0 + depth, y0 + depth + (k + 1) * h3 - 3, vStreet(i, j),
                     false);
            building(x1 - depth, y0 + depth + k * h3 + 3, x1, y0 + depth + (k + 1) * h3 - 3,
                     vStreet(i + 1, j), true);
        }
        for (int k = 0; k < 5; ++k)
            building(x0 + k * w5 + 2, y1 - depth, x0 + (k + 1) * w5 - 2, y1, hStreet(j + 1, i), false);
    }

    void openBlock(std::uint8_t typ, int fieldPos, float x0, float y0, float x1, float y1) {
        int& parks = parks_;
        const float cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
        if (typ == 1 || typ == 11 || typ == 5) {
            const QString ru = U(Brands[rand(int(std::size(Brands)))]);
            const char* what = typ == 1 ? "Парк" : typ == 11 ? "Роща" : "Сад";
            const char* en = typ == 1 ? "park" : typ == 11 ? "grove" : "garden";
            db_.Fields[fieldPos].caption =
                set(U(what) + U(" «") + ru + U("»"), Translit(ru) + u' ' + QLatin1String(en));
            // Paths crossing the park, and its points of interest.
            for (int d = 0; d < 2; ++d) {
                TRoad r;
                r.tip = rtHuman;
                r.point = {TCoord{x0, d ? y1 : y0}, TCoord{x1, d ? y0 : y1}};
                r.width = 2;
                db_.Roads.push_back(r);
            }
            for (int k = 0; k < 4; ++k) {
                TPOI p;
                p.tip = TPOIType((parks * 4 + k) % 7);
                p.x = cx + 25 * (k % 2 ? 1 : -1) + rand(10);
                p.y = cy + 25 * (k / 2 ? 1 : -1) + rand(10);
                p.caption = POITypeName(p.tip) + QStringLiteral(" %1").arg(parks + 1);
                db_.POIs.push_back(p);
            }
            ++parks;
            text(db_.Fields[fieldPos].caption, x0 + 10, cy, 10, 0, 0x006400, 0);
        } else if (typ == 2) {
            const QString ru = U(Brands[rand(int(std::size(Brands)))]);
            db_.Fields[fieldPos].caption = set(U("Озеро ") + ru, QStringLiteral("Lake ") + Translit(ru));
            // A lake is rounder than its block.
            TShapeFis& s = db_.Fields[fieldPos].shape;
            s.clear();
            for (int k = 0; k < 24; ++k) {
                const double a = k * 2 * M_PI / 24;
                s.push_back(
                    {float(cx + std::cos(a) * (x1 - x0) * 0.45), float(cy + std::sin(a) * (y1 - y0) * 0.4)});
            }
            text(db_.Fields[fieldPos].caption, cx - 30, cy, 11, 0, 0x8B0000, 0);
        } else if (typ == 7) {
            db_.Fields[fieldPos].caption = set(U("Кладбище"), QStringLiteral("Cemetery"));
            const TCoord c[] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
            for (int k = 0; k < 4; ++k) {
                TRoad r;
                r.tip = rtWall;
                r.point = {c[k], c[(k + 1) % 4]};
                r.width = 1;
                db_.Roads.push_back(r);
            }
            TPOI p;
            p.tip = ptMemorial;
            p.x = cx;
            p.y = cy;
            p.caption = U("Мемориал павшим");
            db_.POIs.push_back(p);
        }
    }

    void building(float x0, float y0, float x1, float y1, int street, bool odd) {
        if (int(db_.Buildings.size()) >= o_.buildings) return;
        TBuilding b;
        b.id = int(db_.Buildings.size()) + 1;
        const int dist = district(x0, y0);
        const bool centre = dist == (D_ / 2) * D_ + D_ / 2;
        static const std::uint8_t tips[] = {3, 3, 3, 3, 3, 3, 3,  3,  3,  3,  3,  3,  6,  6,  5,  15, 16, 16,
                                            1, 2, 4, 7, 8, 9, 10, 11, 12, 13, 14, 17, 18, 19, 20, 21, 22};
        b.tip = tips[rand(int(std::size(tips)))];
        b.levels = std::uint8_t(b.tip == 6 || b.tip == 14 || b.tip == 21 ? 1 : 1 + rand(centre ? 24 : 12));
        const std::uint8_t high = b.tip == 20 ? 0 : std::uint8_t(std::min(255, b.levels * 3 + rand(3)));
        b.material = TBuildingMaterial(rand(7));
        b.index = QStringLiteral("6250%1").arg(10 + dist, 2, 10, QChar(u'0'));
        b.street = street;
        QString num = nextNumber(street, odd);
        const int form = rand(20);
        Tas numSet = same(num);
        if (form == 0)
            numSet = set(num + U("а"), num + u'a');
        else if (form == 1)
            numSet = same(num + QStringLiteral("/1"));
        b.num = numSet;
        b.caption = empty();
        const int shapeKind = rand(10);
        auto side = [](std::size_t n) {
            TSideFlags f(n);
            for (std::size_t k = 0; k < n; ++k)
                f.set(k, true);
            return f;
        };
        if (shapeKind < 6) {
            b.shapes.push_back({{{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}, side(4), {}, high});
        } else if (shapeKind < 8) {
            // An L-shaped house.
            const float mx = (x0 + x1) / 2, my = (y0 + y1) / 2;
            b.shapes.push_back(
                {{{x0, y0}, {x1, y0}, {x1, my}, {mx, my}, {mx, y1}, {x0, y1}}, side(6), {}, high});
        } else {
            // Two wings sharing a wall; equal heights hide it, different heights show it.
            const float mx = (x0 + x1) / 2;
            const std::uint8_t other = shapeKind == 8 ? high : std::uint8_t(std::min(255, high + 6));
            b.shapes.push_back({{{x0, y0}, {mx, y0}, {mx, y1}, {x0, y1}}, side(4), {}, high});
            b.shapes.push_back({{{mx, y1}, {mx, y0}, {x1, y0}, {x1, y1}}, side(4), {}, other});
            if (other > high) b.ShapeWithNum = 1;
        }
        b.x = (x0 + x1) / 2;
        b.y = (y0 + y1) / 2;
        const int n = ++serial_[b.tip];
        switch (b.tip) {
        case 2:
            b.caption = set(U("Школа № %1").arg(n), QStringLiteral("School No. %1").arg(n));
            break;
        case 4:
            b.caption = set(U("Детский сад № %1").arg(n), QStringLiteral("Kindergarten No. %1").arg(n));
            break;
        case 11:
            b.caption =
                set(U("Городская больница № %1").arg(n), QStringLiteral("City hospital No. %1").arg(n));
            break;
        case 12:
            b.caption =
                set(U("Университет, корпус %1").arg(n), QStringLiteral("University, building %1").arg(n));
            break;
        case 17:
            b.caption = set(U("Храм Святой Троицы"), QStringLiteral("Holy Trinity church"));
            break;
        default:
            break;
        }
        db_.Buildings.push_back(std::move(b));
    }

    void buildIndex() {
        for (std::size_t i = 0; i < db_.Buildings.size(); ++i) {
            const TBuilding& b = db_.Buildings[i];
            if (b.street < 0) continue;
            db_.BuildIndexes.push_back(
                {b.street, std::int32_t(i), FromCp1251(ToCp1251(b.num[0]).left(BuildIndexNumLength))});
        }
        std::stable_sort(db_.BuildIndexes.begin(), db_.BuildIndexes.end(),
                         [](const TBuildIndex& a, const TBuildIndex& b) { return a.s > b.s; });
    }

    void road(float x0, float y0, float x1, float y1, TRoadType tip, float width, std::uint8_t layer) {
        TRoad r;
        r.point = {TCoord{x0, y0}, TCoord{x1, y1}};
        r.tip = tip;
        r.width = width;
        r.layer = layer;
        db_.Roads.push_back(r);
    }

    void roads() {
        for (int line = 0; line <= B_; ++line)
            for (int c = 0; c < B_; ++c) {
                const bool wide = avenue(line);
                road(gx(c), gy(line), gx(c + 1), gy(line), rtAuto, wide ? 14 : 8, wide ? 2 : 0);
                road(gx(line), gy(c), gx(line), gy(c + 1), rtAuto, wide ? 14 : 8, wide ? 2 : 0);
                // Trams run along every tenth line.
                if (line % 10 == 5) road(gx(c), gy(line) + 3, gx(c + 1), gy(line) + 3, rtTram, 2, 2);
            }
        // A river along one row of streets, bridged at every crossing; a railway along one column.
        const int riverLine = std::max(1, B_ / 3), railLine = std::max(1, B_ * 2 / 3);
        for (int c = 0; c < B_; ++c) {
            road(gx(c), gy(riverLine) + 18, gx(c + 1), gy(riverLine) + 18, rtWater, 24, 2);
            road(gx(c), gy(riverLine) + 18, gx(c), gy(riverLine) + 18 + 1, rtBridge, 12, 2);
            road(gx(railLine) + 14, gy(c), gx(railLine) + 14, gy(c + 1), rtIron, 6, 2);
        }
        text(set(U("р. Тура"), QStringLiteral("Tura river")), gx(1), gy(riverLine) + 24, 14, 0, 0x8B0000, 1);
        riverLine_ = riverLine;
        railLine_ = railLine;
    }

    int stop(float x, float y, TBusStopType tip, const Tas& caption) {
        TBusStop s;
        s.id_ = int(db_.BusStops.size()) + 1;
        s.x = x;
        s.y = y;
        s.tip = tip;
        s.caption = caption;
        db_.BusStops.push_back(s);
        return s.id_;
    }

    // Both directions, one after the other, with the same number; the way back through `back` (the
    // stops across the street) when given.
    void route(const Tas& num, TTranspType tip, const std::vector<int>& stops, TCoord turn,
               TColor metro = 0, const std::vector<int>* back = nullptr) {
        for (int dir = 0; dir < 2; ++dir) {
            TBusWay w;
            w.num = num;
            w.tip = tip;
            w.MetroColor = metro;
            std::vector<int> order = dir && back ? *back : stops;
            if (dir) std::reverse(order.begin(), order.end());
            for (int id : order)
                w.way.push_back({1, 0, 0, std::uint16_t(id)});
            w.way.push_back({0, turn.x, turn.y, 0});
            db_.BusWays.push_back(std::move(w));
        }
    }

    // The lines of a connected network along every avenue: a stop at every second crossing and at every
    // crossing of two avenues (named for the square there, so the lines of both avenues share it), on
    // both sides of the street; a local line per stretch of twelve stops and, on every thirtieth
    // avenue, an express line from one edge of the city to the other.
    void busNetwork() {
        const int maxStops = 60000; // stop identifiers are 16-bit in routes
        int routeNo = 1, express = 1;
        for (int line = 0; line <= B_ && int(db_.BusStops.size()) < maxStops; line += 5)
            for (int horizontal = 0; horizontal < 2; ++horizontal) {
                const bool tram = line % 10 == 5 && horizontal;
                const TBusStopType kind = tram ? bstTram : bstAuto;
                std::vector<int> there, back;
                for (int c = 0; c <= B_ && int(db_.BusStops.size()) + 2 <= maxStops; ++c) {
                    if (c % 2 == 0 && !avenue(c)) continue;
                    const int row = std::min(line, B_ - 1), at = std::min(c, B_ - 1);
                    Tas caption;
                    if (avenue(c)) {
                        const Tas& v = db_.Streets[horizontal ? vStreet(c, row) : vStreet(line, at)].Name;
                        caption = set(U("пл. ") + v.value(0), v.value(1) + QStringLiteral(" square"));
                    } else {
                        caption = db_.Streets[horizontal ? vStreet(c, row) : hStreet(c, row)].Name;
                    }
                    const float x = horizontal ? gx(c) + 20 : gx(line) - 14;
                    const float y = horizontal ? gy(line) - 14 : gy(c) + 20;
                    there.push_back(stop(x, y, kind, caption));
                    back.push_back(stop(horizontal ? x : x + 28, horizontal ? y + 28 : y, kind, caption));
                }
                const TCoord turn = horizontal ? TCoord{gx(B_) + 40, gy(line)} : TCoord{gx(line), gy(B_) + 40};
                for (std::size_t from = 0; from + 1 < there.size(); from += 12) {
                    const std::size_t to = std::min(there.size(), from + 12);
                    const std::vector<int> a(there.begin() + long(from), there.begin() + long(to));
                    const std::vector<int> b(back.begin() + long(from), back.begin() + long(to));
                    static const TTranspType kinds[] = {ttBus, ttBus, ttTrolleybus, ttTaxi};
                    const TTranspType tip = tram ? ttTramway : kinds[routeNo % 4];
                    const QString n = QString::number(routeNo++);
                    route(tip == ttTaxi ? set(n + U("т"), n + u't') : same(n), tip, a, turn, 0, &b);
                }
                if (line % 30 == 0 && there.size() >= 2)
                    route(same(QStringLiteral("Э%1").arg(express++)), ttBus, there, turn, 0, &back);
            }
    }

    void transport() {
        if (o_.busNetwork) busNetwork();
        const int maxStops = 60000;
        int routeNo = 1;
        // Stops at every second crossing of each avenue, both sides; a route per stretch of avenue.
        for (int line = 0; line <= B_ && !o_.busNetwork && int(db_.BusStops.size()) < maxStops; line += 5) {
            for (int horizontal = 0; horizontal < 2; ++horizontal) {
                std::vector<int> stretch;
                const bool tram = line % 10 == 5 && horizontal;
                for (int c = 1; c < B_ && int(db_.BusStops.size()) < maxStops; c += 2) {
                    const int cross =
                        horizontal ? vStreet(c, std::min(line, B_ - 1)) : hStreet(c, std::min(line, B_ - 1));
                    const Tas caption = db_.Streets[cross].Name;
                    const float x = horizontal ? gx(c) + 20 : gx(line) - 14;
                    const float y = horizontal ? gy(line) - 14 : gy(c) + 20;
                    const int id = stop(x, y, tram ? bstTram : bstAuto, caption);
                    stop(horizontal ? x : x + 28, horizontal ? y + 28 : y, tram ? bstTram : bstAuto, caption);
                    stretch.push_back(id);
                    if (stretch.size() == 12 || c + 2 >= B_) {
                        if (stretch.size() >= 2) {
                            static const TTranspType kinds[] = {ttBus, ttBus, ttTrolleybus, ttTaxi};
                            const TTranspType kind = tram ? ttTramway : kinds[routeNo % 4];
                            const QString n =
                                QString::number(routeNo) + (kind == ttTaxi ? QStringLiteral("т") : QString());
                            route(Tas{n, n == QString::number(routeNo) ? n : QString::number(routeNo) + u't'},
                                  kind, stretch, {x + 40, y + 40});
                            ++routeNo;
                        }
                        stretch.clear();
                    }
                }
            }
        }
        // Railway stations.
        for (int c = 2; c < B_; c += 5)
            stop(gx(railLine_) + 24, gy(c), bstRail,
                 set(U("Станция ") + U(Brands[c % std::size(Brands)]),
                     QStringLiteral("Station ") + Translit(U(Brands[c % std::size(Brands)]))));
        // Metro lines: a station every four blocks, each with two entrances of one name.
        static const TColor lineColors[] = {0x0000FF, 0x008000, 0xFF0000, 0x00A5FF};
        for (int m = 0; m < std::min(4, 1 + B_ / 20); ++m) {
            const int line = 2 + m * std::max(1, B_ / 4);
            std::vector<int> stations;
            for (int c = 1; c < B_; c += 4) {
                const QString name = U(Brands[(m * 7 + c) % std::size(Brands)]);
                const Tas caption = set(U("м. ") + name, Translit(name) + QStringLiteral(" metro"));
                stations.push_back(stop(gx(c) + 30, gy(line) - 20, bstMetro, caption));
                stop(gx(c) + 30, gy(line) + 20, bstMetro, caption);
            }
            if (stations.size() >= 2)
                route(set(QStringLiteral("М%1").arg(m + 1), QStringLiteral("M%1").arg(m + 1)), ttMetro,
                      stations, {gx(B_ - 1), gy(line)}, lineColors[m]);
        }
    }

    void text(const Tas& t, float x, float y, int size, int angle, TColor color, std::uint8_t layer) {
        TText l;
        l.Text = t;
        l.x = x;
        l.y = y;
        l.size = std::uint16_t(size);
        l.angle = std::uint16_t(angle);
        l.color = color;
        l.layer = layer;
        db_.Texts.push_back(l);
    }

    void labels() {
        for (int d = 0; d < D_ * D_; ++d) {
            const TField& f = db_.Fields[d];
            text(f.caption, f.shape[0].x + 200, f.shape[0].y + 200, 36, 0, 0x606060, 1);
        }
        // Names of the avenues, vertical ones turned by 90 degrees.
        for (int line = 0; line <= B_; line += 5) {
            text(db_.Streets[hStreet(line, 0)].Name, gx(0) + 20, gy(line) - 6, 9, 0, 0x000000, 0);
            text(db_.Streets[vStreet(line, 0)].Name, gx(line) - 6, gy(0) + 120, 9, 900, 0x000000, 0);
        }
    }

    void tables() {
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

    // ------------------------------------------------------------------------------------------
    // Directory

    TImg picture(int w, int h, const QString& text, int hue) {
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

    QString rawPhone(std::uint8_t& code, int form) {
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

    TPhone phone(int form) {
        TPhone ph;
        const QString stored = rawPhone(ph.code, form);
        FormatPhone(stored, ph.code, db_.PhoneCodes, ph.phone, ph.cell);
        ph.place = rand(5) == 0 ? set(U("приёмная"), QStringLiteral("reception")) : empty();
        return ph;
    }

    static TSchedule week(std::initializer_list<std::array<int, 8>> days) {
        TSchedule s;
        int k = 0;
        for (const auto& d : days) {
            s[k++] = {ScheduleTime(d[0], d[1]), ScheduleTime(d[2], d[3]), ScheduleTime(d[4], d[5]),
                      ScheduleTime(d[6], d[7])};
        }
        return s;
    }

    void directory() {
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

    TOrg org(int i, int cat) {
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

    TAdr address(int i, int a, int cat) {
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

    void rubrics() {
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

    void startSection() {
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

    void photos() {
        const int n = std::min<int>(int(db_.Buildings.size()) / 200 + 1, o_.maxPictures);
        for (int k = 0; k < n; ++k) {
            const TBuilding& b = db_.Buildings[std::size_t(k) * db_.Buildings.size() / n];
            w_.Photos.emplace_back(b.id, Jpeg(320, 240, QColor::fromHsv((k * 37) % 360, 90, 200),
                                              b.num[0] + u' ' + b.caption[0], 75));
        }
    }

    const CityGenOptions& o_;
    CityDb& db_;
    CityWriter& w_;
    QRandomGenerator rng_;
    int B_ = 0, span_ = 1, perLine_ = 1, D_ = 2;
    int riverLine_ = 1, railLine_ = 1;
    std::vector<int> numbers_;
    int pictures_ = 0;
    int parks_ = 0;
    std::array<int, 256> serial_{};
    std::map<QString, TImg> pictureRefs_;
};

} // namespace

bool CityGenPreset(const QString& name, CityGenOptions& o) {
    if (name == QLatin1String("demo")) {
        o.buildings = 3000;
        o.streets = 60;
        o.orgs = 1500;
        o.maxPictures = 200;
    } else if (name == QLatin1String("city")) {
        o.buildings = 100000;
        o.streets = 1500;
        o.orgs = 20000;
        o.maxPictures = 400;
    } else if (name == QLatin1String("metropolis")) {
        o.buildings = 1000000;
        o.streets = 10000;
        o.orgs = 200000;
        o.maxPictures = 600;
        o.busNetwork = true;
    } else {
        return false;
    }
    return true;
}

void GenerateCity(const CityGenOptions& options, CityDb& db, CityWriter& w) {
    db = CityDb{};
    Generator(options, db, w).run();
}

QString WriteGeneratedCity(const CityGenOptions& options, const QString& cityName, const QString& path,
                           const std::function<void(const CityDb&)>& inspect) {
    try {
        CityWriter w;
        w.CityName = cityName;
        w.ReleaseDate = QStringLiteral("01.11.2026");
        {
            CityDb db;
            GenerateCity(options, db, w);
            // The tabs show the pages publish-city writes beside the city's archive.
            db.WebTabUrls.clear();
            const QString engName = QString::fromLatin1(QUrl::toPercentEncoding(QFileInfo(path).completeBaseName()));
            for (int tab = 0; tab < WebTabCount; ++tab)
                db.WebTabUrls.append(PublishedWebTabPath(tab, engName));
            SetCitySections(w, db);
            if (inspect) inspect(db);
        }
        QString err = w.Write(path);
        if (err.isEmpty()) {
            const QFileInfo info(path);
            err = w.WritePhotoFile(info.path() + "/" + info.completeBaseName() + ".img");
        }
        return err;
    } catch (const std::exception& e) {
        return QString::fromStdString(e.what());
    }
}
