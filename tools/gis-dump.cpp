// gis-dump: prints a city file as JSON, with the names the program uses for its fields.
#include "Catalogue.h"
#include "CityFileError.h"
#include "CityJson.h"
#include "CityLoad.h"
#include "LabelMetrics.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <cstdio>

namespace {

QJsonObject Resource(const TResource& r) {
    return {{"size", r.size}, {"offset", r.offset}};
}

QJsonObject CatalogueEntry(const TCity& c) {
    return {{"path", c.path},
            {"FileName", c.FileName},
            {"EngName", c.EngName},
            {"CityName", c.CityName},
            {"ReleaseDate", c.ReleaseDate},
            {"FotoDate", c.FotoDate},
            {"dt", c.dt},
            {"dfv", c.dfv},
            {"offset0", c.offset0},
            {"offset1", c.offset1},
            {"offset2", c.offset2},
            {"offset3", c.offset3}};
}

int Usage() {
    std::fprintf(stderr, "usage: gis-dump FILE.gis [--json] [--summary] [--strict]\n"
                         "  --strict  exit with status 1 when the loader dropped a reference\n");
    return 2;
}

// References outside their tables that the loader dropped, one line each.
void PrintWarnings(const CityLoadWarnings& warnings) {
    for (const CityFileWarning& w : warnings.listed)
        std::fprintf(stderr, "gis-dump: warning: %s\n", qPrintable(w.message()));
    if (warnings.count > std::int64_t(warnings.listed.size()))
        std::fprintf(stderr, "gis-dump: warning: %lld more dropped references not listed\n",
                     static_cast<long long>(warnings.count - std::int64_t(warnings.listed.size())));
}

} // namespace

int main(int argc, char** argv) {
    // Labels are measured with the map's font, which needs a GUI application but no screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool summary = args.removeAll("--summary") > 0;
    const bool strict = args.removeAll("--strict") > 0;
    args.removeAll("--json");
    if (args.size() != 1 || args[0].startsWith("-")) return Usage();

    QFileInfo info(args[0]);
    if (!info.exists()) {
        std::fprintf(stderr, "gis-dump: %s: no such file\n", qPrintable(args[0]));
        return 1;
    }
    QString folder = info.absolutePath() + "/";
    auto entry = CityEntryFromFile(folder, info.fileName(), true);
    if (!entry) {
        std::fprintf(stderr, "gis-dump: %s: not a city file (no valid header)\n", qPrintable(args[0]));
        return 1;
    }

    const CityFileRef ref = CityFileRef::From(*entry);
    CityDb db;
    QJsonObject out = CatalogueEntry(*entry);
    try {
        // The start window's organisations are replaced by the directory's, so show them first.
        LoadStartSection(db, ref);
        QJsonArray startOrgs;
        for (const TOrg& o : db.Orgs) {
            QJsonObject so{
                {"id", o.id},
                {"startBanner", o.startBanner ? QJsonValue(Resource(*o.startBanner)) : QJsonValue()}};
            if (o.page) {
                QJsonObject pg = Resource(*o.page);
                pg["Name"] = o.page->Name;
                so["page"] = pg;
            } else {
                so["page"] = QJsonValue();
            }
            startOrgs.append(so);
        }
        MapStyle style;
        style.textWidth = LabelWidthMeasure();
        LoadCityData(db, ref, style);
        const QJsonObject city = summary ? CitySummaryJson(db) : CityToJson(db);
        for (auto it = city.begin(); it != city.end(); ++it)
            out[it.key()] = it.value();
        out["StartOrgs"] = summary ? QJsonValue(int(startOrgs.size())) : QJsonValue(startOrgs);
    } catch (const CityFileError& e) {
        std::fprintf(stderr, "gis-dump: %s\n", qPrintable(e.message()));
        return 1;
    }

    const QByteArray json = QJsonDocument(out).toJson(QJsonDocument::Indented);
    std::fwrite(json.constData(), 1, json.size(), stdout);
    PrintWarnings(db.LoadWarnings);
    return strict && !db.LoadWarnings.empty() ? 1 : 0;
}
