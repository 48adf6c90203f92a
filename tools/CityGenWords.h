// Words and pictures of the synthetic city: the name stems, street kinds, brands, categories of
// organisations and rubric groups, with the helpers that turn them into texts and JPEG pictures.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QString>
#include <initializer_list>
#include <utility>

namespace citygen {

inline const char* const PersonStems[] = {
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
inline const char* const AdjStems[] = {"Садовая",     "Лесная",     "Школьная",  "Полевая",      "Речная",
                                "Центральная", "Заводская",  "Солнечная", "Молодёжная",   "Новая",
                                "Северная",    "Южная",      "Восточная", "Западная",     "Береговая",
                                "Луговая",     "Вокзальная", "Парковая",  "Озёрная",      "Весенняя",
                                "Зелёная",     "Советская",  "Рабочая",   "Первомайская", "Октябрьская"};
struct StreetType {
    const char* ru;
    const char* en;
    char gender; // 'f', 'm' or 'n' for the ordinal ending
};
inline const StreetType StreetTypes[] = {{"улица", "street", 'f'},   {"проспект", "avenue", 'm'},
                                  {"переулок", "lane", 'm'},  {"бульвар", "boulevard", 'm'},
                                  {"проезд", "passage", 'm'}, {"набережная", "embankment", 'f'},
                                  {"шоссе", "highway", 'n'}};

inline const char* const Brands[] = {
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
inline const Category Categories[] = {
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
inline const Group Groups[] = {{"Питание", {0, 1, 2}},     {"Финансы", {3, 4, 10, 23}}, {"Транспорт", {5, 13}},
                        {"Экстренные службы", {6}}, {"Недвижимость", {7, 17}},   {"Торговля", {8, 9, 17}},
                        {"Здоровье", {9, 11, 12}},  {"Услуги", {14, 16, 22}},    {"Образование", {18, 19}},
                        {"Отдых", {15, 20, 21, 22}}};
// Depth-2 entries: rubrics that name related rubrics.
inline const std::pair<int, int> CrossRefs[] = {{0, 1},  {1, 0},   {2, 0},   {3, 10}, {4, 10},  {10, 3},
                                         {5, 13}, {11, 12}, {12, 11}, {8, 9},  {15, 22}, {20, 14}};

inline const char* const TranslitTable[] = {"a",  "b",  "v",  "g",    "d", "e", "zh", "z", "i",  "y", "k",
                                     "l",  "m",  "n",  "o",    "p", "r", "s",  "t", "u",  "f", "kh",
                                     "ts", "ch", "sh", "shch", "",  "y", "",   "e", "yu", "ya"};



// ---------------------------------------------------------------------------------------------
// Pictures



// ---------------------------------------------------------------------------------------------

// Latin letters for a Russian text, for English names.
QString Translit(const QString& ru);
QString U(const char* s);
// A picture of one colour with a frame and the text in the middle.
QByteArray Jpeg(int w, int h, QColor color, const QString& text, int quality = 80);
QByteArray HtmlPage(const QString& title, const QString& text);

} // namespace citygen
