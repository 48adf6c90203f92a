// The 8-bit code page of city names in file headers and of old-format strings (Windows-1251).
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

QString FromCp1251(QByteArrayView bytes);
// Characters the code page cannot hold become '?'; `ok` (when given) tells whether all could.
QByteArray ToCp1251(const QString& text, bool* ok = nullptr);
