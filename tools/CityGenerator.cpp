#include "CityGenerator.h"

#include "CityGenGenerator.h"
#include "RecordWriter.h"
#include "WebTabAddress.h"

#include <QFileInfo>
#include <QUrl>

namespace citygen {

void Generator::run() {
    db_.DataLangCount = 2;
    db_.DataLangNames = {U("Русский"), QStringLiteral("English")};
    layout();
    streets();
    blocks();
    buildIndex();
    roads();
    transport();
    labels();
    tables();
    directory();
    rubrics();
    startSection();
    photos();
}

} // namespace citygen

using citygen::Generator;

bool CityGenPreset(const QString& name, CityGenOptions& o) {
    if (name == QLatin1String("demo")) {
        o.buildings = 3000;
        o.streets = 60;
        o.orgs = 1500;
        o.maxPictures = 200;
    } else if (name == QLatin1String("city")) {
        o.buildings = 100000;
        o.streets = 1500;
        o.orgs = 20000;
        o.maxPictures = 400;
    } else if (name == QLatin1String("metropolis")) {
        o.buildings = 1000000;
        o.streets = 10000;
        o.orgs = 200000;
        o.maxPictures = 600;
        o.busNetwork = true;
    } else {
        return false;
    }
    return true;
}

void GenerateCity(const CityGenOptions& options, CityDb& db, CityWriter& w) {
    db = CityDb{};
    Generator(options, db, w).run();
}

QString WriteGeneratedCity(const CityGenOptions& options, const QString& cityName, const QString& path,
                           const std::function<void(const CityDb&)>& inspect) {
    try {
        CityWriter w;
        w.CityName = cityName;
        w.ReleaseDate = QStringLiteral("01.11.2026");
        {
            CityDb db;
            GenerateCity(options, db, w);
            // The tabs show the pages publish-city writes beside the city's archive.
            db.WebTabUrls.clear();
            const QString engName = QString::fromLatin1(QUrl::toPercentEncoding(QFileInfo(path).completeBaseName()));
            for (int tab = 0; tab < WebTabCount; ++tab)
                db.WebTabUrls.append(PublishedWebTabPath(tab, engName));
            SetCitySections(w, db);
            if (inspect) inspect(db);
        }
        QString err = w.Write(path);
        if (err.isEmpty()) {
            const QFileInfo info(path);
            err = w.WritePhotoFile(info.path() + "/" + info.completeBaseName() + ".img");
        }
        return err;
    } catch (const std::exception& e) {
        return QString::fromStdString(e.what());
    }
}
