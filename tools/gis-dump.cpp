// gis-dump: prints a city file as JSON, with the names the program uses for its fields.
#include "Catalogue.h"
#include "CityFile.h"
#include "CityFileError.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>

namespace {

QJsonObject Resource(const TResource& r) { return {{"size", r.size}, {"offset", r.offset}}; }

QJsonValue OptImg(const std::optional<TImg>& img) { return img ? QJsonValue(Resource(*img)) : QJsonValue(); }

QJsonValue OptPage(const std::optional<TPg>& pg) {
    if (!pg) return QJsonValue();
    QJsonObject o = Resource(*pg);
    o["Name"] = pg->Name;
    return o;
}

QJsonObject CatalogueEntry(const TCity& c) {
    return {{"path", c.path},           {"FileName", c.FileName}, {"EngName", c.EngName},
            {"CityName", c.CityName},   {"ReleaseDate", c.ReleaseDate}, {"FotoDate", c.FotoDate},
            {"dt", c.dt},               {"dfv", c.dfv},           {"offset0", c.offset0},
            {"offset1", c.offset1},     {"offset2", c.offset2},   {"offset3", c.offset3}};
}

int Usage() {
    std::fprintf(stderr, "usage: gis-dump FILE.gis [--json] [--summary]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    bool summary = args.removeAll("--summary") > 0;
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

    CityFileRef ref = CityFileRef::From(*entry);
    CityDb db;
    QJsonObject out = CatalogueEntry(*entry);
    try {
        LoadStartSection(db, ref);
        QJsonArray startOrgs;
        for (const TOrg& o : db.Orgs)
            startOrgs.append(QJsonObject{{"id", o.id}, {"startBanner", OptImg(o.startBanner)}, {"page", OptPage(o.page)}});
        out["AgentName"] = db.AgentName;
        out["AgentEmail"] = db.AgentEmail;
        out["AgentPhone"] = db.AgentPhone;
        if (!summary) out["StartOrgs"] = startOrgs;
        else out["StartOrgs"] = int(startOrgs.size());

        LoadDirectorySection(db, ref);
        LoadMapSection(db, ref);
        LoadRubricSection(db, ref);
        LoadPhotoIndex(db, ref);
    } catch (const CityFileError& e) {
        std::fprintf(stderr, "gis-dump: %s\n", qPrintable(e.message()));
        return 1;
    }

    if (summary) {
        out["RubricNames"] = int(db.RubricNames.size());
        out["Fotos"] = int(db.Fotos.size());
    } else {
        out["RubricNames"] = QJsonArray::fromStringList(db.RubricNames);
        out["RubricTree"] = db.RubricTree;
        QJsonArray fotos;
        for (const TFoto& f : db.Fotos)
            fotos.append(QJsonObject{{"build_id", f.build_id}, {"offset", f.offset}, {"size", f.size}});
        out["Fotos"] = fotos;
    }
    const QByteArray json = QJsonDocument(out).toJson(QJsonDocument::Indented);
    std::fwrite(json.constData(), 1, json.size(), stdout);
    return 0;
}
