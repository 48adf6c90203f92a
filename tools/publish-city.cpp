// publish-city: builds a publish folder for the vendor web service from city files: one ZIP
// archive per city, the photo files beside them, the two lists "download.txt" and "fotos.txt", and a
// page for each of the city's five web tabs; with --offers, the real-estate offers of the cities into
// the service's database.
#include "Catalogue.h"
#include "CityWriter.h"
#include "Cp1251.h"
#include "OfferStore.h"
#include "Updater.h"
#include "WebTabAddress.h"
#include "ZipWriter.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <memory>

namespace {

QString SizeCaption(qint64 bytes) {
    if (bytes < 1024 * 1024) return QStringLiteral("%1 KB").arg(std::max<qint64>(1, bytes / 1024));
    return QStringLiteral("%1 MB").arg(double(bytes) / (1024 * 1024), 0, 'f', 1);
}

QByteArray Line(const QString& text) {
    return ToCp1251(text) + "\r\n";
}

// A plain page of one web tab: a heading, a few paragraphs and links to the city's other tabs, all
// within the folder, so that it shows without anything from elsewhere.
QByteArray WebTabPage(int tab, const QString& cityName, const QString& releaseDate) {
    static const char* titles[WebTabCount][2] = {{"Новости", "News"},
                                                 {"Объявления", "Notices"},
                                                 {"Афиша", "Events"},
                                                 {"Администрация", "City administration"},
                                                 {"Погода", "Weather"}};
    static const char* bodies[WebTabCount] = {
        "Справочник города обновлён %1. The city guide was updated on %1.",
        "Частные объявления жителей города. Private notices of the city's residents.",
        "Концерты, выставки и спектакли недели. Concerts, exhibitions and plays of the week.",
        "Приёмные часы органов власти города. Office hours of the city authorities.",
        "Прогноз погоды на три дня. The weather forecast for three days."};
    const QString city = cityName.toHtmlEscaped();
    const QString title = QString::fromUtf8(titles[tab][0]) + QStringLiteral(" / ") + QLatin1String(titles[tab][1]);
    QString html = QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>") + title +
                   QStringLiteral(" — ") + city + QStringLiteral("</title></head>\n<body>\n<h1 id=\"title\">") +
                   title + QStringLiteral("</h1>\n<h2>") + city + QStringLiteral("</h2>\n<p>") +
                   (tab == 0 ? QString::fromUtf8(bodies[tab]).arg(releaseDate.toHtmlEscaped()) : QString::fromUtf8(bodies[tab])) + QStringLiteral("</p>\n<p>");
    for (int other = 0; other < WebTabCount; ++other) {
        // Pages lie side by side: a link names the other page's file alone.
        const QString file = PublishedWebTabPath(other, QString()).section(u'/', -1);
        html += other == tab ? QString::fromUtf8(titles[other][0])
                             : QStringLiteral("<a href=\"") + file + QStringLiteral("\">") +
                                   QString::fromUtf8(titles[other][0]) + QStringLiteral("</a>");
        html += other + 1 < WebTabCount ? QStringLiteral(" | ") : QString();
    }
    html += QStringLiteral("</p>\n</body></html>\n");
    return html.toUtf8();
}

int Fail(const QString& message) {
    std::fprintf(stderr, "publish-city: %s\n", qPrintable(message));
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("Builds a Tessara publish folder from city files.");
    parser.addHelpOption();
    parser.addOption({"out", "Publish folder to write.", "DIR"});
    parser.addOption({"installer", "Program installer to offer as the first component.", "FILE"});
    parser.addOption({"installer-date", "Release date of the installer.", "dd.MM.yyyy",
                      QString::fromLatin1(ProgramReleaseDate)});
    parser.addOption({"program-name", "Display name of the program row.", "TEXT", "Программа Тессара"});
    parser.addOption({"offers",
                      "Real-estate offers to publish (CSV, see docs/vendor-service.md); each city named in "
                      "the file has its offers replaced.",
                      "FILE.csv"});
    parser.addOption({"db",
                      "Where --offers go: sqlite:PATH or postgresql://USER@HOST:PORT/DB, as the service's --db "
                      "(default: the SQLite file tessara-vendor.sqlite in the publish folder).",
                      "STORE"});
    parser.addOption({"db-password-file", "File whose first line is the database password.", "FILE"});
    parser.addPositionalArgument("cities",
                                 "City files (*.gis); a photo file (*.img) beside one is published too.");
    parser.process(app);
    const QString out = parser.value("out");
    const QStringList cities = parser.positionalArguments();
    const QStringList offerFiles = parser.values("offers");
    if (out.isEmpty() || (cities.isEmpty() && offerFiles.isEmpty())) parser.showHelp(2);
    if (!QDate::fromString(parser.value("installer-date"), "dd.MM.yyyy").isValid())
        return Fail("--installer-date must be dd.MM.yyyy");
    QDir().mkpath(out + "/download");

    // Offers first: a bad file stops the run before anything else changes. The files are read in a
    // stream inside one transaction, so memory stays small whatever their size.
    if (!offerFiles.isEmpty()) {
        QString error;
        const auto config = ParseStoreOption(
            parser.isSet("db") ? parser.value("db") : out + '/' + QLatin1String(VendorDatabaseName),
            parser.value("db-password-file"), error);
        if (!config) return Fail(error);
        std::vector<std::unique_ptr<QFile>> files;
        std::vector<std::unique_ptr<OffersCsvReader>> readers;
        std::vector<OfferSource*> sources;
        for (const QString& path : offerFiles) {
            files.push_back(std::make_unique<QFile>(path));
            if (!files.back()->open(QIODevice::ReadOnly)) return Fail("cannot read " + path);
            readers.push_back(std::make_unique<OffersCsvReader>(*files.back()));
            sources.push_back(readers.back().get());
        }
        OfferStore store(*config, QStringLiteral("publish"));
        qint64 count = 0;
        if (!store.IsOpen() || !store.Migrate() || !store.ReplaceOffers(sources, count)) {
            for (std::size_t i = 0; i < readers.size(); ++i)
                if (!readers[i]->Error().isEmpty()) return Fail(offerFiles[int(i)] + ": " + readers[i]->Error());
            return Fail("offers database " + config->Describe() + ": " + store.Error());
        }
        std::printf("%lld offers published\n", count);
        if (cities.isEmpty()) return 0;
    }

    QByteArray downloadList, fotoList;
    // The program always comes first; without an installer it offers the installed release, so
    // nothing is fetched for it.
    QString installerCaption = "-";
    if (parser.isSet("installer")) {
        const QString installer = parser.value("installer");
        const QString target = out + "/download/" + QLatin1String(InstallerFileName);
        QFile::remove(target);
        if (!QFile::copy(installer, target)) return Fail("cannot copy the installer " + installer);
        installerCaption = SizeCaption(QFileInfo(target).size());
    }
    downloadList += Line(QStringLiteral("download/") + QLatin1String(InstallerFileName));
    downloadList += Line(parser.value("program-name"));
    downloadList += Line(parser.value("installer-date"));
    downloadList += Line(installerCaption);

    for (const QString& cityPath : cities) {
        const QFileInfo info(cityPath);
        const auto city = CityEntryFromFile(info.absolutePath() + '/', info.fileName(), true);
        if (!city) return Fail("not a city file: " + cityPath);
        QFile in(cityPath);
        if (!in.open(QIODevice::ReadOnly)) return Fail("cannot read " + cityPath);
        ZipWriter zip;
        zip.Add(city->FileName, in.readAll());
        const QString archive = QStringLiteral("download/%1.zip").arg(city->EngName);
        if (const QString e = zip.Write(out + '/' + archive); !e.isEmpty()) return Fail(e);
        downloadList += Line(archive);
        downloadList += Line(city->CityName);
        downloadList += Line(city->ReleaseDate);
        downloadList += Line(SizeCaption(QFileInfo(out + '/' + archive).size()));

        const QString pages = QFileInfo(out + '/' + PublishedWebTabPath(0, city->EngName)).path();
        if (!QDir().mkpath(pages)) return Fail("cannot create " + pages);
        for (int tab = 0; tab < WebTabCount; ++tab)
            if (const QString e = WriteFileAtomically(out + '/' + PublishedWebTabPath(tab, city->EngName),
                                                      WebTabPage(tab, city->CityName, city->ReleaseDate));
                !e.isEmpty())
                return Fail(e);

        const QString foto = city->FotoPath();
        if (QFileInfo::exists(foto)) {
            QDir().mkpath(out + "/fotos");
            const QString published = QStringLiteral("fotos/%1.img").arg(city->EngName);
            QFile::remove(out + '/' + published);
            if (!QFile::copy(foto, out + '/' + published)) return Fail("cannot copy " + foto);
            fotoList += Line(city->CityName);
            fotoList += Line(published);
            fotoList += Line(city->FotoDate);
            fotoList += Line(SizeCaption(QFileInfo(foto).size()));
        }
        std::printf("%s: %s (%s)\n", qPrintable(city->CityName), qPrintable(archive),
                    qPrintable(city->ReleaseDate));
    }
    if (const QString e = WriteFileAtomically(out + "/download.txt", downloadList); !e.isEmpty())
        return Fail(e);
    if (const QString e = WriteFileAtomically(out + "/fotos.txt", fotoList); !e.isEmpty()) return Fail(e);
    return 0;
}
