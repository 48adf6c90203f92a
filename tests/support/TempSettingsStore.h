// Points both scopes of the settings store at a fresh scratch folder for one test.
#pragma once

#include <QSettings>
#include <QTemporaryDir>
#include <memory>

struct TempSettingsStore {
    QTemporaryDir dir;

    TempSettingsStore() {
        for (auto format : {QSettings::NativeFormat, QSettings::IniFormat}) {
            QSettings::setPath(format, QSettings::UserScope, userPath());
            QSettings::setPath(format, QSettings::SystemScope, systemPath());
        }
    }
    QString userPath() const { return dir.path() + "/user"; }
    QString systemPath() const { return dir.path() + "/system"; }

    // Direct access to one scope, bypassing the program's scope choice.
    static std::unique_ptr<QSettings> Scope(QSettings::Scope scope) {
        auto s = std::make_unique<QSettings>(QSettings::NativeFormat, scope, "Norvik", "Tessara");
        s->setFallbacksEnabled(false);
        return s;
    }
    static std::unique_ptr<QSettings> User() { return Scope(QSettings::UserScope); }
    static std::unique_ptr<QSettings> System() { return Scope(QSettings::SystemScope); }
};
