// The pickers and the building search on a metropolis: the drop-down refreshed after each keystroke of a
// street name and of an organisation name (candidates filtered plus the first page of entries laid out,
// and the same through the widget), the rubric tree narrowed, house numbers of a street, and a building
// search by each criterion beside the plain walk over every building.
// usage: bench_pickers [CITY.gis]; without a city, TESSARA_BENCH_CITY or the metropolis in bench-data/.
#include "BenchCity.h"
#include "BenchTime.h"
#include "Catalogue.h"
#include "CityLoad.h"
#include "LabelMetrics.h"
#include "MapColors.h"
#include "OrgSearch.h"
#include "PickerIndex.h"
#include "Settings.h"
#include "TFilterListBox.h"
#include "TfrmRubrikator.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>
#include <QLineEdit>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

double Ms(const std::function<void()>& run) {
    QElapsedTimer t;
    t.start();
    run();
    return double(t.nsecsElapsed()) / 1e6;
}

// Candidates for the typed text and the runs of the entries of the first page, as the list draws them.
std::size_t Refresh(const FilterSource& source, const QString& typed, bool streets) {
    const QString upper = SearchUpper(typed);
    const std::vector<int> rows = source.Filter(upper);
    std::size_t runs = 0;
    for (std::size_t i = 0;
         i < rows.size() && i < std::size_t(TFilterListBox::MaxHeight / TFilterListBox::ItemHeight); ++i)
        runs += EntryRuns(source.Text(rows[i]), upper, streets).size();
    return rows.size() + runs;
}

// The slowest keystroke's median while `word` is typed letter by letter (from `from` letters on).
double WorstKeystroke(const std::function<void(const QString&)>& refresh, const QString& word, int from) {
    double worst = 0;
    for (int n = from; n <= word.size(); ++n)
        worst = std::max(worst, MedianMs([&] { refresh(word.left(n)); }, 21));
    return worst;
}

void Line(const char* what, double ms, double goal) {
    if (goal > 0)
        std::printf("  %-58s %8.3f ms ... goal: under %.0f ms\n", what, ms, goal);
    else
        std::printf("  %-58s %8.3f ms\n", what, ms);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QString path;
    for (int i = 1; i < argc; ++i)
        if (!QString::fromLocal8Bit(argv[i]).startsWith(u'-')) path = QString::fromLocal8Bit(argv[i]);
    if (path.isEmpty()) path = BenchCityPath();
    auto entry = CityEntryFromFile(QFileInfo(path).absolutePath() + "/", QFileInfo(path).fileName(), false);
    if (!entry) qFatal("%s is not a city file", qPrintable(path));
    const CityFileRef city = CityFileRef::From(*entry);
    CityDb db;
    MapStyle style;
    style.textWidth = LabelWidthMeasure();
    LoadCityData(db, city, style);

    std::unique_ptr<OrgSearchIndex> orgs;
    std::unique_ptr<PickerIndex> pickers;
    const double orgIndexMs = Ms([&] { orgs = std::make_unique<OrgSearchIndex>(db, 0); });
    const double pickersMs = Ms([&] { pickers = std::make_unique<PickerIndex>(db, 0); });
    const OrgNameSource names(*orgs);

    // What is typed: the name of a street with many buildings, a common word of organisation names.
    const TBuilding& sample = db.Buildings[db.Buildings.size() / 2];
    const QString street = InLang(db.Streets[std::size_t(sample.street)].Name, 0);
    const QString streetWord = street.section(u' ', -1).left(8);
    const QString orgWord = QStringLiteral("аптека");

    std::printf("\npickers on %s: %zu streets, %zu organisations, %zu buildings\n", qPrintable(path),
                db.Streets.size(), db.Orgs.size(), db.Buildings.size());
    Line("organisation index, once per data language (for reference)", orgIndexMs, 0);
    Line("picker index (streets sorted, columns), once per data language", pickersMs, 0);

    const double streetKey =
        WorstKeystroke([&](const QString& t) { Refresh(*pickers->streets, t, true); }, streetWord, 1);
    const double orgKey =
        WorstKeystroke([&](const QString& t) { Refresh(names, t, false); }, orgWord, OrgNameSource::MinChars);
    std::printf("  drop-down after a keystroke, slowest of \"%s\" typed letter by letter:\n",
                qPrintable(streetWord));
    Line("  street names: filter and first page", streetKey, 5);
    std::printf("  drop-down after a keystroke, slowest of \"%s\" from the third letter:\n",
                qPrintable(orgWord));
    Line("  organisation names: filter and first page", orgKey, 5);

    // The same through the widget: filling the model and painting the shown list once.
    QWidget window;
    window.resize(400, 300);
    auto* field = new QLineEdit(&window);
    field->setGeometry(10, 10, 300, 22);
    TFilterListBox drop(&window);
    window.show();
    auto widget = [&](std::shared_ptr<const FilterSource> source, bool streets) {
        return [&, source, streets](const QString& t) {
            drop.SetOwner(field);
            drop.Fill(source, t, streets);
            drop.viewport()->repaint();
        };
    };
    const auto orgSource = std::make_shared<OrgNameSource>(*orgs);
    Line("street names through the widget, painted",
         WorstKeystroke(widget(pickers->streets, true), streetWord, 1), 5);
    Line("organisation names through the widget, painted",
         WorstKeystroke(widget(orgSource, false), orgWord, OrgNameSource::MinChars), 5);
    // The most common three letters of organisation names: the largest list a keystroke can bring.
    QHash<QString, int> trigrams;
    for (std::size_t i = 0; i < db.Orgs.size(); i += 50) {
        const QString caption = SearchUpper(InLang(db.Orgs[i].caption, 0));
        for (qsizetype k = 0; k + 3 <= caption.size(); ++k)
            ++trigrams[caption.mid(k, 3)];
    }
    QString common;
    for (auto it = trigrams.constBegin(); it != trigrams.constEnd(); ++it)
        if (common.isEmpty() || it.value() > trigrams.value(common)) common = it.key();
    char commonWhat[100];
    std::snprintf(commonWhat, sizeof commonWhat,
                  "organisation names, the commonest three letters \"%s\" (%zu)", qPrintable(common),
                  names.Filter(common).size());
    Line(commonWhat, MedianMs([&] { widget(orgSource, false)(common); }), 5);
    std::printf("  (\"%s\": %zu organisation names, \"%s\": %zu streets)\n", qPrintable(orgWord.left(3)),
                names.Filter(SearchUpper(orgWord.left(3))).size(), qPrintable(streetWord.left(1)),
                pickers->streets->Filter(SearchUpper(streetWord.left(1))).size());

    Line("house numbers of a street (number list)", MedianMs([&] { pickers->HouseNumbers(street); }), 5);
    Line("house numbers of a street, plain walk (floor of the list)",
         MedianMs([&] { BuildNumbersOfStreet(db, sample.street, 0); }, 5), 0);

    // The city's own tree, and a tree of 8,400 lines as a large directory has (the generator's is small).
    QString bigTree;
    for (int g = 0; g < 120; ++g) {
        bigTree += QStringLiteral("Группа %1\n").arg(g);
        for (int r = 0; r < 20; ++r) {
            bigTree += QStringLiteral("\tРубрика %1 %2 %3\n").arg(g).arg(r).arg(r % 3 ? "услуги" : "аптеки");
            for (int e = 0; e < 2; ++e)
                bigTree += QStringLiteral("\t\tСм. рубрику %1 %2\n").arg(r).arg(e ? "ремонт" : "торговля");
        }
    }
    const RubricTreeIndex big(bigTree);
    Settings settings;
    SetDefaults(settings);
    TfrmRubrikator rubricator(settings);
    rubricator.show();
    for (const RubricTreeIndex* tree : {static_cast<const RubricTreeIndex*>(&pickers->rubrics), &big}) {
        char what[100];
        std::snprintf(what, sizeof what, "rubric tree of %zu lines narrowed (\"апт\")", tree->Nodes().size());
        Line(what, MedianMs([&] { tree->Narrow(QStringLiteral("апт")); }), 5);
        rubricator.SetTree(tree);
        rubricator.edRubrika->setText(QStringLiteral("апт"));
        std::snprintf(what, sizeof what, "  and shown in the window (%zu lines)",
                      tree->Narrow(QStringLiteral("апт")).size());
        Line(what, MedianMs([&] {
                 rubricator.timRubrikaTimer();
                 rubricator.tv->viewport()->repaint();
             }),
             5);
    }

    // A building search by each criterion alone.
    struct Case {
        const char* what;
        BuildingCriteria c;
    };
    QString captioned;
    for (const TBuilding& b : db.Buildings)
        if (!InLang(b.caption, 0).isEmpty()) {
            captioned = SearchLower(InLang(b.caption, 0)).left(5);
            break;
        }
    const Tai districts = DistrictsNamed(db, DistrictItems(db, 0).value(0), 0);
    const Case cases[] = {
        {"name", {.Name = captioned}},
        {"material", {.Material = bmKirpich}},
        {"purpose", {.Purpose = sample.tip ? sample.tip : 1}},
        {"street", {.Street = SearchLower(street)}},
        {"number", {.Number = SearchLower(InLang(sample.num, 0))}},
        {"district", {.Districts = districts}},
        {"street and number", {.Street = SearchLower(street), .Number = SearchLower(InLang(sample.num, 0))}},
    };
    std::printf("  building search, median of 21 runs (thread CPU time, as every median here):\n");
    const RadiusCircle none;
    std::size_t found = 0;
    const double firstDistrict = Ms([&] { found = pickers->buildings.Find(cases[5].c, none).size(); });
    for (const Case& k : cases) {
        const std::vector<int> result = pickers->buildings.Find(k.c, none);
        const bool same = result == FindBuildingsByCriteria(db, k.c, none, 0);
        char what[80];
        std::snprintf(what, sizeof what, "  by %s (%zu found, as the walk: %s)", k.what, result.size(),
                      same ? "yes" : "NO");
        Line(what, MedianMs([&] { pickers->buildings.Find(k.c, none); }, 21), 10);
    }
    Line("  district, its first search (buildings of the district kept)", firstDistrict, 0);
    Line("  plain walk by material (floor: every building visited)",
         MedianMs([&] { FindBuildingsByCriteria(db, cases[1].c, none, 0); }, 5), 0);
    Line("  plain walk by street", MedianMs([&] { FindBuildingsByCriteria(db, cases[3].c, none, 0); }, 5), 0);
    (void)found;
    return 0;
}
