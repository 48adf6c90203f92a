// The user's options with their defaults, and their persistence in the settings store
// (organisation "Norvik", application "Tessara": the user's scope, the machine-wide scope as fallback).
#pragma once

#include <QString>
#include <cstdint>
#include <memory>

class QSettings;
struct ColorSchemeTable;

struct Settings {
    bool smooth = true;
    bool SmoothNow = true; // working twin of smooth, switched off by the map while it moves
    bool flat = false;
    bool jump = true;
    bool AutoScrollMap = false;
    std::uint8_t position = 1;  // directory panel: 0 left, 1 right
    std::uint8_t ScaleMode = 0; // zoom frame: 0 from its centre, 1 from a corner
    std::uint8_t GrafMode = 0;  // map renderer: 0 2D canvas, 1 OpenGL
    QString PhoneBook;
    bool ShowHelp = true;
    bool invert = false;
    bool EconomPrint = false;
    bool ShowFotoFirst = true;
    bool ContourText = true;
    bool blink = true;
    bool HideRubrikator = true;
    bool metro = true;
    bool marks = true;
    bool AutoUpdate = true;
    int ColorScheme = 7; // 0 the user scheme, 1 to 9 built in
    int ShellLang = -1;  // 0 Russian, 1 English, -1 not chosen yet
    std::uint16_t Port = 12345;

    // The loaded city's data language, stored as "<EngName>Lang" when the city has several.
    QString CityEngName;
    int DataLangCount = 0;
    int DataLang = 0;

    // Sets SmoothNow along with smooth, as every change of smooth does.
    void SetSmooth(bool on) { smooth = SmoothNow = on; }
};

// Every value to its default.
void SetDefaults(Settings& s);

// Reads the store and ends with ApplyColorScheme(ColorScheme). A missing or unreadable store keeps the
// defaults; a value of the wrong kind ends the reading there, keeping what was read before it.
// ShellLang, ColorScheme and position out of range are replaced by -1, 7 and 1.
void ReadSettings(Settings& s, ColorSchemeTable& colors);

// Writes every option to the user's scope; failures are ignored (nothing is lost in memory).
void SaveSettings(const Settings& s);

// The stored data language of a city: -1 when none is stored, 0 when the stored one is not below
// `dataLangCount` (or negative).
int ReadDataLang(const QString& engName, int dataLangCount);

QString ReadLastCity();
void SaveLastCity(const QString& cityName);

// The store for reading: the user's scope when it holds any value, else the machine-wide scope;
// nullptr when neither holds anything or the chosen one cannot be read.
std::unique_ptr<QSettings> OpenSettingsForReading();
// The user's scope, for writing.
std::unique_ptr<QSettings> OpenSettingsForWriting();
