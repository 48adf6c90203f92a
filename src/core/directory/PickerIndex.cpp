#include "PickerIndex.h"

PickerIndex::PickerIndex(const CityDb& db, int dataLang)
    : db(db), dataLang(dataLang), streetBuildings(db), buildings(db, streetBuildings, dataLang),
      rubrics(db.RubricTree) {
    streets = std::make_shared<TextListSource>(buildings.StreetListNames(), true);
}

int PickerIndex::FindStreet(const QString& name) const {
    const std::vector<int>& found = buildings.StreetsNamed(SearchLower(name));
    return found.empty() ? -1 : found.front();
}

QStringList PickerIndex::HouseNumbers(const QString& name) const {
    if (name.isEmpty()) return {};
    return BuildNumbersOfStreet(db, streetBuildings, FindStreet(name), dataLang);
}
