#include "ColorSchemeStore.h"

#include "Settings.h"

#include <QSettings>
#include <cstdlib>

void ApplyColorScheme(ColorSchemeTable& table, int index) {
    if (index < 0 || index > 9) index = DefaultColorScheme;
    if (index == 0)
        ReadUserColors(table.active());
    else
        table.active() = table.schemes[index];
}

void ReadUserColors(TColorScheme& active) {
    auto store = OpenSettingsForReading();
    if (!store) return;
    for (const ColorField& f : ColorFields) {
        const QString name = QString::fromLatin1(f.registryName);
        if (!store->contains(name)) continue;
        const QVariant v = store->value(name);
        if (v.typeId() == QMetaType::QStringList) return;
        bool ok = false;
        const qint64 n = v.toString().trimmed().toLongLong(&ok);
        if (!ok) return;
        // Only the colour bytes: a TColor keeps its top byte clear.
        active.*f.field = TColor(n) & 0xFFFFFFu;
    }
}

void SaveColors(int colorScheme, const TColorScheme& active) {
    auto store = OpenSettingsForWriting();
    store->setValue(QStringLiteral("ColorScheme"), colorScheme);
    if (colorScheme == 0)
        for (const ColorField& f : ColorFields)
            store->setValue(QString::fromLatin1(f.registryName), qint64(active.*f.field));
    store->sync();
}

namespace {
// Integer multiply-divide rounded half away from zero.
int MulDiv(int a, int b, int c) {
    const long long p = (long long)a * b;
    const long long q = (std::llabs(p) + c / 2) / c;
    return int(p < 0 ? -q : q);
}
} // namespace

TColor Darken(TColor color, int percent) {
    TColor out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const int c = int((color >> shift) & 0xFF);
        int v = c - MulDiv(c, percent, 100);
        v = v < 0 ? 0 : (v > 255 ? 255 : v);
        out |= TColor(v) << shift;
    }
    return out;
}
