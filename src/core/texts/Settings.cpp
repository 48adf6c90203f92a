#include "Settings.h"

#include "ColorSchemeStore.h"

#include <QSettings>
#include <optional>

namespace {

const QString Organisation = QStringLiteral("Norvik");
const QString Application = QStringLiteral("Tessara");

std::unique_ptr<QSettings> Open(QSettings::Scope scope) {
    auto store = std::make_unique<QSettings>(QSettings::NativeFormat, scope, Organisation, Application);
    // Scopes are chosen here explicitly, never merged value by value.
    store->setFallbacksEnabled(false);
    return store;
}

// A stored value that is not what it should be ends the reading, like a registry type error.
struct WrongKind {};

std::optional<qint64> ReadInteger(const QSettings& store, const QString& name) {
    if (!store.contains(name)) return std::nullopt;
    const QVariant v = store.value(name);
    bool ok = false;
    qint64 n = 0;
    if (v.typeId() == QMetaType::QString || v.typeId() == QMetaType::QByteArray)
        n = v.toString().trimmed().toLongLong(&ok);
    else if (v.canConvert<qint64>() && v.typeId() != QMetaType::QStringList)
        n = v.toLongLong(&ok);
    if (!ok) throw WrongKind{};
    return n;
}

void ReadFlag(const QSettings& store, const char* name, bool& flag) {
    // True exactly when the stored integer is 1.
    if (auto n = ReadInteger(store, QString::fromLatin1(name))) flag = *n == 1;
}

template <typename T> void ReadNumber(const QSettings& store, const char* name, T& value) {
    if (auto n = ReadInteger(store, QString::fromLatin1(name))) value = T(*n);
}

void ReadString(const QSettings& store, const char* name, QString& value) {
    const QString key = QString::fromLatin1(name);
    if (!store.contains(key)) return;
    const QVariant v = store.value(key);
    if (v.typeId() == QMetaType::QStringList || v.typeId() == QMetaType::QVariantList ||
        v.typeId() == QMetaType::QVariantMap || !v.canConvert<QString>())
        throw WrongKind{};
    value = v.toString();
}

void ReadValues(const QSettings& store, Settings& s) {
    const QString smooth = QStringLiteral("smooth"), flat = QStringLiteral("flat"),
                  jump = QStringLiteral("jump");
    if (store.contains(smooth) && store.contains(flat) && store.contains(jump)) {
        bool on = s.smooth;
        ReadFlag(store, "smooth", on);
        s.SetSmooth(on);
        ReadFlag(store, "flat", s.flat);
        ReadFlag(store, "jump", s.jump);
    }
    ReadFlag(store, "AutoScrollMap", s.AutoScrollMap);
    ReadNumber(store, "position", s.position); // low byte
    ReadNumber(store, "ScaleMode", s.ScaleMode);
    ReadNumber(store, "GrafMode", s.GrafMode);
    ReadString(store, "PhoneBook", s.PhoneBook);
    ReadFlag(store, "ShowHelp", s.ShowHelp);
    ReadFlag(store, "invert", s.invert);
    ReadFlag(store, "EconomPrint", s.EconomPrint);
    ReadFlag(store, "ShowFotoFirst", s.ShowFotoFirst);
    ReadFlag(store, "ContourText", s.ContourText);
    ReadFlag(store, "blink", s.blink);
    ReadFlag(store, "HideRubrikator", s.HideRubrikator);
    ReadFlag(store, "metro", s.metro);
    ReadFlag(store, "marks", s.marks);
    ReadFlag(store, "AutoUpdate", s.AutoUpdate);
    ReadNumber(store, "ColorScheme", s.ColorScheme);
    ReadNumber(store, "ShellLang", s.ShellLang);
    ReadNumber(store, "Port", s.Port); // low 16 bits
}

} // namespace

std::unique_ptr<QSettings> OpenSettingsForReading() {
    for (auto scope : {QSettings::UserScope, QSettings::SystemScope}) {
        auto store = Open(scope);
        if (store->allKeys().isEmpty()) continue;
        if (store->status() != QSettings::NoError) return nullptr;
        return store;
    }
    return nullptr;
}

std::unique_ptr<QSettings> OpenSettingsForWriting() {
    return Open(QSettings::UserScope);
}

void SetDefaults(Settings& s) {
    s = Settings{};
}

void ReadSettings(Settings& s, ColorSchemeTable& colors) {
    // Effective defaults of these two, whatever was set before.
    s.position = 1;
    s.invert = false;
    if (auto store = OpenSettingsForReading()) {
        try {
            ReadValues(*store, s);
        } catch (const WrongKind&) {
        }
    }
    // The design reads these unchecked; out of range they would index past the tables.
    if (s.ShellLang < -1 || s.ShellLang > 1) s.ShellLang = -1;
    if (s.ColorScheme < 0 || s.ColorScheme > 9) s.ColorScheme = DefaultColorScheme;
    if (s.position > 1) s.position = 1;
    ApplyColorScheme(colors, s.ColorScheme);
}

void SaveSettings(const Settings& s) {
    auto store = OpenSettingsForWriting();
    auto flag = [&](const char* name, bool on) { store->setValue(QString::fromLatin1(name), on ? 1 : 0); };
    auto number = [&](const char* name, int n) { store->setValue(QString::fromLatin1(name), n); };
    flag("smooth", s.smooth);
    flag("flat", s.flat);
    flag("AutoScrollMap", s.AutoScrollMap);
    flag("ShowHelp", s.ShowHelp);
    flag("jump", s.jump);
    flag("blink", s.blink);
    flag("ShowFotoFirst", s.ShowFotoFirst);
    flag("invert", s.invert);
    flag("EconomPrint", s.EconomPrint);
    number("position", s.position);
    number("ScaleMode", s.ScaleMode);
    number("GrafMode", s.GrafMode);
    store->setValue(QStringLiteral("PhoneBook"), s.PhoneBook);
    flag("ContourText", s.ContourText);
    flag("metro", s.metro);
    flag("marks", s.marks);
    flag("HideRubrikator", s.HideRubrikator);
    flag("AutoUpdate", s.AutoUpdate);
    number("ShellLang", s.ShellLang);
    number("Port", s.Port);
    if (s.DataLangCount > 1 && !s.CityEngName.isEmpty())
        store->setValue(s.CityEngName + QStringLiteral("Lang"), s.DataLang);
    store->sync();
}

int ReadDataLang(const QString& engName, int dataLangCount) {
    auto store = OpenSettingsForReading();
    if (!store) return -1;
    std::optional<qint64> n;
    try {
        n = ReadInteger(*store, engName + QStringLiteral("Lang"));
    } catch (const WrongKind&) {
        return -1;
    }
    if (!n) return -1;
    if (*n < 0 || *n >= dataLangCount) return 0;
    return int(*n);
}

QString ReadLastCity() {
    auto store = OpenSettingsForReading();
    QString city;
    if (store) {
        try {
            ReadString(*store, "LastCity", city);
        } catch (const WrongKind&) {
        }
    }
    return city;
}

void SaveLastCity(const QString& cityName) {
    auto store = OpenSettingsForWriting();
    store->setValue(QStringLiteral("LastCity"), cityName);
    store->sync();
}
