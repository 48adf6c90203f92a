#include "ColorScheme.h"

#include <stdexcept>

namespace {

// Built-in colours by field (in declaration order) and scheme 1..9, as 0xBBGGRR.
constexpr TColor BuiltIn[46][9] = {
    {0xDAEAF0, 0xD6EFFE, 0xDAEAF0, 0xAEE0EE, 0xAEE0EE, 0xEBEBEB, 0xDAEAF0, 0xD8F0F8, 0xDAEAF0}, // adminColor
    {0xFFD6AD, 0x9A6477, 0x808040, 0xE8A644, 0xC08000, 0x74B1FD, 0xD5C48E, 0x88C0F0, 0xBBCBA2}, // schoolColor
    {0xCECECE, 0x1A7CDE, 0x7A9AC1, 0xABF127, 0xC0C0C0, 0xC3C3C3, 0xBCD2E0, 0x88C0F0, 0xDCD5B9}, // liveColor
    {0xCECEFF, 0xDE681A, 0x63B1D8, 0xF091D9, 0x4E9B00, 0x73FC55, 0xC49DCC, 0x88C0F0, 0xA09FFE}, // kinderColor
    {0xEEEEEE, 0x9F9F9F, 0xC0C0C0, 0x779183, 0x606060, 0x8E8E8E, 0xAAC0C1, 0xC8C8C8, 0xC5C5C5}, // garageColor
    {0x909090, 0x5F5F8F, 0x000000, 0x5FA2E4, 0x5FA2E4, 0x2DAAD4, 0x000000, 0x88C0F0, 0x839596}, // constructColor
    {0x00CCCC, 0xC0C0C0, 0xC0C0C0, 0xC0C0C0, 0xC0C0C0, 0xC0C0C0, 0xC0C0C0, 0x88C0F0, 0xC0C0C0}, // memorialColor
    {0xCECECE, 0x82633F, 0x7A9AC1, 0x73B02F, 0x81BEBE, 0x7FA3A3, 0xAAC0C1, 0x88C0F0, 0xC5C5C5}, // otherColor
    {0x5F6362, 0x00FF00, 0xF08B26, 0x00FF00, 0x78C7FE, 0x00FFFF, 0x29D259, 0x29D259, 0xF08B26}, // MeasColor
    {0xC68641, 0xFF0000, 0x0000D5, 0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000, 0xE7BE73}, // BusStopColor
    {0x4546DC, 0xFF0080, 0xFF0080, 0xFF0080, 0xFF0080, 0xFF0080, 0xFF0080, 0xFF0080, 0xFF0080}, // BusWayColor
    {0x00FFFF, 0x0000FF, 0x0000FF, 0x0000FF, 0x0000FF, 0x0000FF, 0x0000FF, 0x0000FF, 0x0000FF}, // ActiveColor
    {0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xEBEBEB, 0xFFFFFF, 0xF8F8F8, 0xFFFFFF}, // RoadColor
    {0xE6F0EF, 0x9AC0E6, 0xB5FED6, 0xABF8C0, 0x97CACA, 0xA4F6FD, 0xD0EBF2, 0xC0E8F8, 0xDBE6EA}, // LivingColor
    {0x9CFF9C, 0x9ACAA1, 0x83DA9D, 0x82FB39, 0x7EBEBE, 0x5CDF92, 0xA9DAB2, 0xD0F0E0, 0x9FDBB3}, // NatureColor
    {0x9CFF9C, 0x599F61, 0x83DA9D, 0x82FB39, 0x71B9A9, 0x5CDF92, 0xA9DAB2, 0xA8D8C8, 0x9FDBB3}, // ForestColor
    {0xFFCE9C, 0xE7AA00, 0xFFE09F, 0xEAED74, 0xF0C575, 0xFDDF6D, 0xD2B692, 0xF8B098, 0xCCB399}, // WaterColor
    {0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0x787878, 0x000000, 0x000000, 0x8F9293}, // BridgeColor
    {0x004080, 0x004080, 0x004080, 0x004080, 0x004080, 0x004080, 0x000000, 0x004080, 0x004080}, // WallColor
    {0x7A9AC1, 0x1A4DDE, 0x7A9AC1, 0x73B02F, 0x81BEBE, 0x7A9AC1, 0xD2DFE0, 0x88C0F0, 0xC8B46D}, // AdminBColor
    {0xC0C0C0, 0xC0C0C0, 0xC0C0C0, 0xC0C0C0, 0xC0C0C0, 0xC0C0C0, 0xC0C0C0, 0x88C0F0, 0xC0C0C0}, // decorColor
    {0xCECECE, 0xB4AEA7, 0xC0C0C0, 0x7A9486, 0xB4B4B4, 0xA9C5C6, 0xE0E0DC, 0xD8D8D8, 0xD8DDE0}, // PlantColor
    {0x7CD674, 0xD6EFFE, 0x7CD674, 0x7CD674, 0xAEE0EE, 0x7CD674, 0xDAEAF0, 0xD0E8D8, 0x8FA970}, // DeadColor
    {0xD1FCD1, 0xADDCF2, 0xAAE1E6, 0x7DB5DD, 0x65AFAF, 0xA4FDA5, 0xDCE6ED, 0xDCE6ED, 0xD2F1F0}, // IndividColor
    {0xD0EBF2, 0xACEED4, 0xD0EBF2, 0xACEED4, 0xACEED4, 0xACEED4, 0xD0EBF2, 0xD0EBF2, 0xD0EBF2}, // GardenColor
    {0xFDFDFD, 0xCFF5FD, 0xF2D9BC, 0xE1FFFF, 0xE1FFFF, 0xFFFFFF, 0xFBEEE3, 0xFFFFFF, 0xFFFFFF}, // InfoColor
    {0x804000, 0x00FFFF, 0x804000, 0x00FFFF, 0x00FFFF, 0x00FFFF, 0x00FFFF, 0x00FFFF, 0x804000}, // TramStopColor
    {0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF}, // RailStopColor
    {0x000080, 0x000080, 0x000080, 0x000080, 0x000080, 0x000080, 0x000080, 0x000080, 0x000080}, // MetroStopColor
    {0xE3E8E6, 0xD5DDDD, 0xE3E8E6, 0xD5DDDD, 0xD5DDDD, 0xD5DDDD, 0xE3E8E6, 0xE3E8E6, 0xE3E8E6}, // RoadHumanColor
    {0xA4A4FF, 0x00FFFF, 0x804000, 0x00FFFF, 0x00FFFF, 0x00FFFF, 0x00FFFF, 0x00FFFF, 0x804000}, // RoadTramColor
    {0x9C9C9D, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0x989898, 0xA0A4A9}, // RoadIronColor
    {0x00FFFF, 0x0000FF, 0x00FFFF, 0x00FFFF, 0x00FFFF, 0x00FFFF, 0x00FFFF, 0x00FFFF, 0x00FFFF}, // BuildFoundColor
    {0x4546DC, 0xFF0080, 0xFF0080, 0xFF0080, 0xFF0080, 0xFF0080, 0xFF0080, 0xFF0080, 0xFF0080}, // StopFoundColor
    {0xECC8C7, 0x33A7FF, 0x5A82BE, 0x73B02F, 0x81BEBE, 0x7A9AC1, 0xC6E2FF, 0x88C0F0, 0xC8B46E}, // TradeColor
    {0xCECECE, 0x1A4DDE, 0x7A9AC1, 0x73B02F, 0x81BEBE, 0x7A9AC1, 0xAAC0C1, 0x88C0F0, 0xC8B46E}, // HotelColor
    {0x9AFD9A, 0x1A7CDE, 0x7A9AC1, 0x73B02F, 0x72AD85, 0xA4FDA5, 0xC1E8AE, 0x88C0F0, 0xB4DCDC}, // SportColor
    {0xAACDB1, 0x1A4DDE, 0x7A9AC1, 0x73B02F, 0x0000A6, 0x7A9AC1, 0xCCFFCC, 0x88C0F0, 0xE2D8BA}, // MedicColor
    {0xCECECE, 0x1A4DDE, 0x7A9AC1, 0x73B02F, 0x81BEBE, 0x7A9AC1, 0xCA9F99, 0x88C0F0, 0xBBCBA3}, // UniversityColor
    {0xE2B5E2, 0x1A4DDE, 0x7A9AC1, 0x73B02F, 0x81BEBE, 0x7A9AC1, 0xAAC0C1, 0x88C0F0, 0xC8B46E}, // CultureColor
    {0xCECECE, 0x9FB5C9, 0x7A9AC1, 0x73B02F, 0x18BBD8, 0xFFFFFF, 0xC6E2FF, 0x88C0F0, 0xC8B46E}, // ShopColor
    {0xCECECE, 0x1A4DDE, 0x7A9AC1, 0x73B02F, 0x81BEBE, 0x7A9AC1, 0xAAC0C1, 0x88C0F0, 0xC8B46E}, // CommonColor
    {0xCECECE, 0x1A4DDE, 0x59FAFF, 0x73B02F, 0x81BEBE, 0x7A9AC1, 0xBBFFFF, 0x88C0F0, 0xC8B46E}, // ReligColor
    {0xCECECE, 0x1A4DDE, 0x7A9AC1, 0x73B02F, 0x81BEBE, 0x7A9AC1, 0xAAC0C1, 0x88C0F0, 0xC8B46E}, // HotColor
    {0xCECECE, 0x1A4DDE, 0x7A9AC1, 0x73B02F, 0x81BEBE, 0x7A9AC1, 0xAAC0C1, 0x88C0F0, 0xC8B46E}, // GasColor
    {0xC0C0C0, 0xC0C0C0, 0xC0C0C0, 0xC0C0C0, 0xC0C0C0, 0xC0C0C0, 0xC0C0C0, 0x88C0F0, 0xC0C0C0}, // ReklamaColor
};

const char* const Captions[9] = {"Схема 1", "Схема 2", "Схема 3", "Схема 4", "Схема 5",
                                   "Схема 6", "Тессара", "Схема 8", "Схема 9"};

} // namespace

const std::array<ColorField, 46> ColorFields = {{
    {"adminColor", &TColorScheme::adminColor},
    {"schoolColor", &TColorScheme::schoolColor},
    {"liveColor", &TColorScheme::liveColor},
    {"kinderColor", &TColorScheme::kinderColor},
    {"garageColor", &TColorScheme::garageColor},
    {"constructColor", &TColorScheme::constructColor},
    {"memorialColor", &TColorScheme::memorialColor},
    {"otherColor", &TColorScheme::otherColor},
    {"MeasColor", &TColorScheme::MeasColor},
    {"BusStopColor", &TColorScheme::BusStopColor},
    {"BusWayColor", &TColorScheme::BusWayColor},
    {"ActiveColor", &TColorScheme::ActiveColor},
    {"RoadColor", &TColorScheme::RoadColor},
    {"LivingColor", &TColorScheme::LivingColor},
    {"NatureColor", &TColorScheme::NatureColor},
    {"ForestColor", &TColorScheme::ForestColor},
    {"WaterColor", &TColorScheme::WaterColor},
    {"BridgeColor", &TColorScheme::BridgeColor},
    {"WallColor", &TColorScheme::WallColor},
    {"AdminBColor", &TColorScheme::AdminBColor},
    {"decorColor", &TColorScheme::decorColor},
    {"plantColor", &TColorScheme::PlantColor},
    {"DeadColor", &TColorScheme::DeadColor},
    {"individColor", &TColorScheme::IndividColor},
    {"GardenColor", &TColorScheme::GardenColor},
    {"infoColor", &TColorScheme::InfoColor},
    {"TramStopColor", &TColorScheme::TramStopColor},
    {"RailStopColor", &TColorScheme::RailStopColor},
    {"MetroStopColor", &TColorScheme::MetroStopColor},
    {"RoadHumanColor", &TColorScheme::RoadHumanColor},
    {"RoadTramColor", &TColorScheme::RoadTramColor},
    {"RoadIronColor", &TColorScheme::RoadIronColor},
    {"BuildFoundColor", &TColorScheme::BuildFoundColor},
    {"StopFoundColor", &TColorScheme::StopFoundColor},
    {"TradeColor", &TColorScheme::TradeColor},
    {"HotelColor", &TColorScheme::HotelColor},
    {"SportColor", &TColorScheme::SportColor},
    {"MedicColor", &TColorScheme::MedicColor},
    {"UniversityColor", &TColorScheme::UniversityColor},
    {"CultureColor", &TColorScheme::CultureColor},
    {"ShopColor", &TColorScheme::ShopColor},
    {"CommonColor", &TColorScheme::CommonColor},
    {"ReligColor", &TColorScheme::ReligColor},
    {"HotColor", &TColorScheme::HotColor},
    {"GasColor", &TColorScheme::GasColor},
    {"ReklamaColor", &TColorScheme::ReklamaColor},
}};

TColorScheme BuiltInColorScheme(int index) {
    if (index < 1 || index > 9) throw std::out_of_range("built-in colour schemes are 1 to 9");
    TColorScheme s;
    s.caption = QString::fromUtf8(Captions[index - 1]);
    for (size_t f = 0; f < ColorFields.size(); ++f) s.*(ColorFields[f].field) = BuiltIn[f][index - 1];
    return s;
}

void FillColorSchemes(ColorSchemeTable& table) {
    for (int i = 1; i <= 9; ++i) table.schemes[i] = BuiltInColorScheme(i);
    table.schemes[0] = table.schemes[DefaultColorScheme];
}
