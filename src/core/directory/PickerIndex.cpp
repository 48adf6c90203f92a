#include "PickerIndex.h"

namespace {

QStringList StreetNames(const CityDb& db, int dataLang) {
    QStringList names;
    names.reserve(qsizetype(db.Streets.size()));
    for (const TStreet& s : db.Streets)
        names << InLang(s.Name, dataLang);
    return names;
}

} // namespace

PickerIndex::PickerIndex(const CityDb& db, int dataLang)
    : db(db), dataLang(dataLang), streets(std::make_shared<TextListSource>(StreetNames(db, dataLang), true)),
      streetBuildings(db), buildings(db, streetBuildings, dataLang), rubrics(db.RubricTree) {}

int PickerIndex::FindStreet(const QString& name) const {
    const std::vector<int>& found = buildings.StreetsNamed(SearchLower(name));
    return found.empty() ? -1 : found.front();
}

QStringList PickerIndex::HouseNumbers(const QString& name) const {
    if (name.isEmpty()) return {};
    return BuildNumbersOfStreet(db, streetBuildings, FindStreet(name), dataLang);
}
