// Loading a metropolis (about 1,000,000 buildings, 10,000 streets, 200,000 organisations): the whole
// data part of the loading sequence, its split, the ratio to reading the file, and peak memory.
// The city is generated on first use into the build folder (or give TESSARA_BENCH_CITY=path.gis).
#include "BenchCity.h"
#include "ByteReader.h"
#include "Catalogue.h"
#include "CityDb.h"
#include "CityGenerator.h"
#include "CityLoad.h"
#include "CityWriter.h"
#include "DirectoryRecords.h"
#include "LabelMetrics.h"
#include "OrgSearch.h"
#include "RecordWriter.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <chrono>
#include <cstdio>
#include <memory>

namespace {

CityFileRef City;
qint64 FileSize = 0;

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

long StatusMb(const char* key) {
    QFile f("/proc/self/status");
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(qsizetype(strlen(key))).trimmed().split(' ')[0].toLong() / 1024;
    return -1;
}

MapStyle Style() {
    MapStyle s;
    s.textWidth = LabelWidthMeasure();
    return s;
}


QByteArray ReadWholeFile() {
    QFile f(City.FilePath());
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

void BM_ReadFile(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadWholeFile().size());
}

void BM_LoadCity(benchmark::State& state) {
    const MapStyle style = Style();
    for (auto _ : state) {
        auto db = std::make_unique<CityDb>();
        LoadCityData(*db, City, style);
        benchmark::DoNotOptimize(db->Buildings.data());
        state.PauseTiming(); // releasing the city is the closing of the main window, not loading
        db.reset();
        state.ResumeTiming();
    }
}

BENCHMARK(BM_ReadFile)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LoadCity)->Unit(benchmark::kMillisecond)->Iterations(3);

// Best of a few runs of each step of the load, with the sections read and descrambled apart.
void PrintSplit() {
    const MapStyle style = Style();
    double read = 1e9, sections = 1e9, plainSections = 1e9, directory = 1e9, map = 1e9, rest = 1e9,
           total = 1e9;
    for (int run = 0; run < 3; ++run) {
        double t = Now();
        QByteArray whole = ReadWholeFile();
        read = std::min(read, Now() - t);
        // The same byte ranges read plainly, to tell reading from descrambling.
        t = Now();
        QByteArray d0 = whole.mid(City.offset0, City.offset1 - City.offset0);
        QByteArray m0 = whole.mid(City.offset1, City.offset2 - City.offset1);
        plainSections = std::min(plainSections, Now() - t);
        whole.clear();
        d0.clear();
        m0.clear();

        const double start = Now();
        CityDb db;
        LoadStartSection(db, City);
        t = Now();
        QByteArray dir = ReadSection(City, CitySection::Directory);
        QByteArray mapBytes = ReadSection(City, CitySection::Map);
        sections = std::min(sections, Now() - t);
        t = Now();
        {
            ByteReader r(dir, City.FilePath(), "directory", City.offset0);
            DecodeDirectoryRecords(r, db, {});
        }
        directory = std::min(directory, Now() - t);
        t = Now();
        {
            ByteReader r(mapBytes, City.FilePath(), "map", City.offset1);
            DecodeMapRecords(r, db, style, {},
                             [&mapBytes](std::int64_t n) { ReleaseDecodedBytes(mapBytes, n); });
        }
        map = std::min(map, Now() - t);
        dir.clear();
        mapBytes.clear();
        t = Now();
        LoadRubricSection(db, City);
        LoadPhotoIndex(db, City);
        ResolveOrgAddresses(db);
        BuildEstateAgents(db);
        rest = std::min(rest, Now() - t);
        total = std::min(total, Now() - start);
    }
    std::printf("\nload of %s (%.1f MB)\n", qPrintable(City.FilePath()), FileSize / 1e6);
    std::printf("  read the whole file            %7.3f s\n", read);
    std::printf("  sections read and descrambled  %7.3f s (of which reading %.3f s)\n", sections,
                plainSections);
    std::printf("  directory records              %7.3f s\n", directory);
    std::printf("  map records                    %7.3f s\n", map);
    std::printf("  rubrics, photos, addresses, agencies %7.3f s\n", rest);
    std::printf("  total (steps apart)            %7.3f s ... goal: under 1.5 s\n", total);
    std::printf("  ratio to reading the file      %7.1f\n", total / read);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // labels are measured with the map's font
    const QString path = BenchCityPath();
    auto entry = CityEntryFromFile(QFileInfo(path).absolutePath() + "/", QFileInfo(path).fileName(), true);
    if (!entry) qFatal("%s is not a city file", qPrintable(path));
    City = CityFileRef::From(*entry);
    FileSize = QFileInfo(path).size();

    // Peak memory of one load, measured first so that nothing else has raised the high-water mark.
    MeasureLabelWidth(QStringLiteral("x"), 10);
    const long before = StatusMb("VmHWM:");
    double total;
    {
        const double t = Now();
        CityDb db;
        LoadCityData(db, City, Style());
        total = Now() - t;
        const long peak = StatusMb("VmHWM:"), after = StatusMb("VmRSS:");
        std::printf("first load %.3f s; memory before %ld MB, peak %ld MB, after loading %ld MB\n", total,
                    before, peak, after);
        std::printf("held after loading / file size %.2f\npeak memory / file size %.2f times ... goal: under 3 times\n",
                    double(after) * 1048576 / FileSize, double(peak) * 1048576 / FileSize);
        // The program then prepares the organisation search for the data language, still loading.
        OrgSearchIndex index(db, 0);
        std::printf("with the search index prepared: peak %ld MB (%.2f x the file), held %ld MB\n",
                    StatusMb("VmHWM:"), double(StatusMb("VmHWM:")) * 1048576 / FileSize, StatusMb("VmRSS:"));
    }

    // --memory-only: just the first load, for running under a heap profiler.
    for (int i = 1; i < argc; ++i)
        if (qstrcmp(argv[i], "--memory-only") == 0) return 0;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    PrintSplit();
    return 0;
}
