// gis-gen: writes a deterministic synthetic city file (and its photo file) through CityWriter; for
// the demo and metropolis presets also NAME.offers.csv, real-estate offers for publish-city.
#include "CityDb.h"
#include "CityGenerator.h"
#include "OfferGenerator.h"

#include <QFileInfo>
#include <QSaveFile>

#include <QGuiApplication>
#include <cstdio>
#include <exception>

namespace {

int Usage() {
    std::fprintf(stderr, "usage: gis-gen [--seed N] [--preset demo|city|metropolis]\n"
                         "               [--buildings N] [--streets N] [--orgs N] OUTPUT.gis\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    // Pictures are drawn with text, which needs a GUI application but no screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    CityGenOptions options;
    CityGenPreset(QStringLiteral("demo"), options);
    QString out, preset = QStringLiteral("demo");
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool hasValue = i + 1 < args.size();
        bool ok = true;
        if (a == "--seed" && hasValue)
            options.seed = args[++i].toUInt(&ok);
        else if (a == "--preset" && hasValue)
            ok = CityGenPreset(preset = args[++i], options);
        else if (a == "--buildings" && hasValue)
            options.buildings = args[++i].toInt(&ok);
        else if (a == "--streets" && hasValue)
            options.streets = args[++i].toInt(&ok);
        else if (a == "--orgs" && hasValue)
            options.orgs = args[++i].toInt(&ok);
        else if (!a.startsWith("-") && out.isEmpty())
            out = a;
        else
            return Usage();
        if (!ok || options.buildings < 0 || options.streets < 1 || options.orgs < 0) return Usage();
    }
    if (out.isEmpty()) return Usage();

    const bool withOffers = preset == QLatin1String("demo") || preset == QLatin1String("metropolis");
    const QFileInfo info(out);
    const QString offersPath = info.path() + '/' + info.completeBaseName() + ".offers.csv";
    QString offersError;
    const QString err = WriteGeneratedCity(options, QStringLiteral("Демоград"), out, [&](const CityDb& db) {
        std::fprintf(stderr, "gis-gen: %zu streets, %zu buildings, %zu organisations\n", db.Streets.size(),
                     db.Buildings.size(), db.Orgs.size());
        if (!withOffers) return;
        // One offer for every ten buildings: 100,000 in a metropolis.
        const int count = std::max(50, int(db.Buildings.size() / 10));
        QSaveFile f(offersPath);
        if (!f.open(QIODevice::WriteOnly)) {
            offersError = f.errorString();
            return;
        }
        f.write(OffersCsvHeader());
        // The city's EngName is its file name without the extension.
        for (const StoredOffer& o : GenerateOffers(db, info.fileName().chopped(4), count, options.seed))
            f.write(OffersCsvLine(o));
        if (!f.commit()) offersError = f.errorString();
    });
    if (err.isEmpty() && !offersError.isEmpty()) {
        std::fprintf(stderr, "gis-gen: %s: %s\n", qPrintable(offersPath), qPrintable(offersError));
        return 1;
    }
    if (!err.isEmpty()) {
        std::fprintf(stderr, "gis-gen: %s: %s\n", qPrintable(out), qPrintable(err));
        return 1;
    }
    return 0;
}
