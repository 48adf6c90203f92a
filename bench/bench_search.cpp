// Organisation search on a metropolis (200,000 organisations): a three-letter name, a four-digit phone
// and a street with a house number through the prepared index, beside the plain walk; the same name
// search as SQL LIKE and as an FTS5 trigram query in an in-memory SQLite database; and ShowOrgCards of
// 1,000 results in the card list widget.
// usage: bench_search [CITY.gis] [benchmark flags]; without a city, TESSARA_BENCH_CITY or the metropolis
// in bench-data/ (generated on first use) is taken.
#include "BenchCity.h"
#include "Catalogue.h"
#include "CityGenerator.h"
#include "CityLoad.h"
#include "CityWriter.h"
#include "LabelMetrics.h"
#include "MapColors.h"
#include "OrgSearch.h"
#include "RecordWriter.h"
#include "Settings.h"
#include "TCardList.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>

namespace {

CityDb Db;
CityFileRef City;
std::unique_ptr<OrgSearchIndex> Index;
sqlite3* Sql = nullptr;
const QDateTime Now(QDate(2026, 12, 7), QTime(12, 0));

OrgCriteria NameCriteria, PhoneCriteria, StreetCriteria;
const QString Name = QStringLiteral("апт");

QString CityPath(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (!QString::fromLocal8Bit(argv[i]).startsWith(u'-')) return QString::fromLocal8Bit(argv[i]);
    return BenchCityPath();
}

// The walk as written down: every organisation, every text upper-cased again (name test only).
std::vector<int> PlainNameWalk(const QString& name) {
    std::vector<int> out;
    const QString key = name.toUpper();
    for (std::size_t i = 0; i < Db.Orgs.size(); ++i)
        if (InLang(Db.Orgs[i].caption, 0).toUpper().contains(key)) out.push_back(int(i));
    return out;
}

void Exec(const char* sql) {
    char* err = nullptr;
    if (sqlite3_exec(Sql, sql, nullptr, nullptr, &err) != SQLITE_OK) qFatal("sqlite: %s", err);
}

// Rowids are positions + 1; both tables hold the upper-cased captions, so the matching is the search's own.
void FillSqlite() {
    sqlite3_open(":memory:", &Sql);
    Exec("CREATE TABLE orgs(id INTEGER PRIMARY KEY, caption TEXT)");
    Exec("CREATE VIRTUAL TABLE orgs_fts USING fts5(caption, tokenize='trigram')");
    Exec("BEGIN");
    sqlite3_stmt *a = nullptr, *b = nullptr;
    sqlite3_prepare_v2(Sql, "INSERT INTO orgs(id, caption) VALUES(?, ?)", -1, &a, nullptr);
    sqlite3_prepare_v2(Sql, "INSERT INTO orgs_fts(rowid, caption) VALUES(?, ?)", -1, &b, nullptr);
    for (std::size_t i = 0; i < Db.Orgs.size(); ++i) {
        const QByteArray caption = InLang(Db.Orgs[i].caption, 0).toUpper().toUtf8();
        for (sqlite3_stmt* s : {a, b}) {
            sqlite3_bind_int64(s, 1, sqlite3_int64(i + 1));
            sqlite3_bind_text(s, 2, caption.constData(), int(caption.size()), SQLITE_TRANSIENT);
            sqlite3_step(s);
            sqlite3_reset(s);
        }
    }
    sqlite3_finalize(a);
    sqlite3_finalize(b);
    Exec("COMMIT");
}

std::vector<int> SqlQuery(const char* sql, const QString& param) {
    std::vector<int> out;
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(Sql, sql, -1, &s, nullptr);
    const QByteArray p = param.toUtf8();
    sqlite3_bind_text(s, 1, p.constData(), int(p.size()), SQLITE_TRANSIENT);
    while (sqlite3_step(s) == SQLITE_ROW)
        out.push_back(int(sqlite3_column_int64(s, 0) - 1));
    sqlite3_finalize(s);
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<int> SqlLike(const QString& name) {
    return SqlQuery("SELECT id FROM orgs WHERE caption LIKE ?", u'%' + name.toUpper() + u'%');
}
std::vector<int> SqlTrigram(const QString& name) {
    return SqlQuery("SELECT rowid FROM orgs_fts WHERE orgs_fts MATCH ?", u'"' + name.toUpper() + u'"');
}

struct NullHost : SearchHost {};

double MedianMs(const std::function<void()>& run, int times = 15) {
    std::vector<double> t;
    for (int k = 0; k < times; ++k) {
        const auto start = std::chrono::steady_clock::now();
        run();
        t.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

void BM_NameSearch(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(Index->FindOrgs(NameCriteria, {}, Now).size());
}
void BM_PhoneSearch(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(Index->FindOrgs(PhoneCriteria, {}, Now).size());
}
void BM_StreetNumberSearch(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(Index->FindOrgs(StreetCriteria, {}, Now).size());
}
void BM_PlainNameWalk(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(PlainNameWalk(Name).size());
}
void BM_SqlLike(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(SqlLike(Name).size());
}
void BM_SqlTrigram(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(SqlTrigram(Name).size());
}
BENCHMARK(BM_NameSearch)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PhoneSearch)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StreetNumberSearch)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlainNameWalk)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SqlLike)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SqlTrigram)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString path = CityPath(argc, argv);
    auto entry = CityEntryFromFile(QFileInfo(path).absolutePath() + "/", QFileInfo(path).fileName(), false);
    if (!entry) qFatal("%s is not a city file", qPrintable(path));
    City = CityFileRef::From(*entry);
    MapStyle style;
    style.textWidth = LabelWidthMeasure();
    LoadCityData(Db, City, style);

    QElapsedTimer t;
    t.start();
    Index = std::make_unique<OrgSearchIndex>(Db, 0);
    const double indexMs = double(t.nsecsElapsed()) / 1e6;

    // The criteria: a three-letter name, four digits of a phone, a street and number of an address.
    NameCriteria.Name = Name;
    PhoneCriteria.Telecom = QStringLiteral("4567");
    for (const TOrg& o : Db.Orgs)
        if (!o.adrs.empty() && o.adrs[0].street >= 0 && !InLang(o.adrs[0].num, 0).isEmpty()) {
            StreetCriteria.Street = InLang(Db.Streets[std::size_t(o.adrs[0].street)].Name, 0).toLower();
            StreetCriteria.Number = InLang(o.adrs[0].num, 0);
            break;
        }
    t.restart();
    FillSqlite();
    const double sqlFillMs = double(t.nsecsElapsed()) / 1e6;

    const auto byName = Index->FindOrgs(NameCriteria, {}, Now);
    const auto phone = Index->FindOrgs(PhoneCriteria, {}, Now);
    const auto street = Index->FindOrgs(StreetCriteria, {}, Now);
    const bool sameAsWalk = byName == PlainNameWalk(Name);
    const bool sameAsLike = byName == SqlLike(Name), sameAsTrigram = byName == SqlTrigram(Name);

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    const double name =
        MedianMs([] { benchmark::DoNotOptimize(Index->FindOrgs(NameCriteria, {}, Now).size()); });
    const double phoneMs =
        MedianMs([] { benchmark::DoNotOptimize(Index->FindOrgs(PhoneCriteria, {}, Now).size()); });
    const double streetMs =
        MedianMs([] { benchmark::DoNotOptimize(Index->FindOrgs(StreetCriteria, {}, Now).size()); });
    OrgCriteria shortName;
    shortName.Name = Name.left(2);
    const std::size_t shortFound = Index->FindOrgs(shortName, {}, Now).size();
    const double shortMs =
        MedianMs([&] { benchmark::DoNotOptimize(Index->FindOrgs(shortName, {}, Now).size()); });
    const double walk = MedianMs([] { benchmark::DoNotOptimize(PlainNameWalk(Name).size()); }, 5);
    const double like = MedianMs([] { benchmark::DoNotOptimize(SqlLike(Name).size()); }, 7);
    const double trigram = MedianMs([] { benchmark::DoNotOptimize(SqlTrigram(Name).size()); });

    // ShowOrgCards of 1,000 results in the widget, painted once.
    Settings settings;
    SetDefaults(settings);
    MapDisplay display;
    NullHost host;
    TCardList list(settings, display, host);
    list.resize(340, 760);
    list.show();
    list.SetCity(&Db, &City);
    OrgCriteria any;
    any.Telecom = QStringLiteral("1");
    Tai thousand = Index->FindOrgs(any, {}, Now);
    thousand.resize(std::min<std::size_t>(thousand.size(), 1000));
    const double cards = MedianMs(
        [&] {
            list.ClearResults();
            list.ShowOrgCards(QStringLiteral(" Найденные организации"), thousand, -1);
            list.imgCards->repaint();
        },
        9);

    std::printf("\nsearch on %s: %zu organisations, %zu streets\n", qPrintable(path), Db.Orgs.size(),
                Db.Streets.size());
    std::printf("  index prepared once per data language  %8.1f ms\n", indexMs);
    std::printf("  name \"%s\" (%zu found)                %8.3f ms median ... goal: under 10 ms\n",
                qPrintable(Name), byName.size(), name);
    std::printf("  phone \"%s\" (%zu found)              %8.3f ms median ... goal: under 10 ms\n",
                qPrintable(PhoneCriteria.Telecom), phone.size(), phoneMs);
    std::printf("  street \"%s\" number \"%s\" (%zu found) %8.4f ms median ... goal: under 10 ms\n",
                qPrintable(StreetCriteria.Street), qPrintable(StreetCriteria.Number), street.size(),
                streetMs);
    std::printf("  two letters \"%s\" (%zu found, by pairs)    %8.3f ms median\n", qPrintable(shortName.Name),
                shortFound, shortMs);
    std::printf(
        "  plain walk, same name                  %8.3f ms median   (%.1f x the index; same result: %s)\n",
        walk, walk / name, sameAsWalk ? "yes" : "NO");
    std::printf(
        "  SQLite LIKE '%%..%%', same name         %8.3f ms median   (%.1f x the index; same result: %s)\n",
        like, like / name, sameAsLike ? "yes" : "NO");
    std::printf(
        "  SQLite FTS5 trigram, same name         %8.3f ms median   (%.1f x the index; same result: %s)\n",
        trigram, trigram / name, sameAsTrigram ? "yes" : "NO");
    std::printf("  (SQLite tables filled in %.0f ms, not counted)\n", sqlFillMs);
    std::printf("  ShowOrgCards of %zu results, painted    %8.3f ms median ... goal: under 100 ms\n",
                thousand.size(), cards);
    sqlite3_close(Sql);
    return 0;
}
