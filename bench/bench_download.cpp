// Download throughput of DownloadFile against the reference vendor service on 127.0.0.1, the ZIP
// reader's inflate speed on a city-sized entry, and how long a download from a server that trickles
// (ten bytes a second) lasts with the shipped limits.
#include "HttpClient.h"
#include "ZipFile.h"
#include "ZipWriter.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cstdio>

namespace {

QByteArray CityLikeBytes(int size) {
    QByteArray b(size, Qt::Uninitialized);
    quint32 x = 12345;
    for (int i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        b[i] = char(i % 7 == 0 ? (x >> 24) : (i & 0x3F)); // partly compressible, like a city file
    }
    return b;
}

void BM_DownloadFile(benchmark::State& state) {
    const int size = int(state.range(0)) << 20;
    QTemporaryDir dir;
    QDir().mkpath(dir.path() + "/pub");
    QFile f(dir.path() + "/pub/city.zip");
    f.open(QIODevice::WriteOnly);
    f.write(CityLikeBytes(size));
    f.close();
    QProcess vendor;
    vendor.start(TESSARA_VENDOR_EXE, {"--root", dir.path() + "/pub", "--port", "0"});
    QByteArray out;
    while (!out.contains('\n') && vendor.waitForReadyRead(5000))
        out += vendor.readAllStandardOutput();
    const auto m = QRegularExpression("http://\\S+/").match(QString::fromLatin1(out));
    if (!m.hasMatch()) return state.SkipWithError("tessara-vendor did not start");
    for (auto _ : state) {
        const DownloadResult r = DownloadFile(m.captured(0) + "city.zip", dir.path() + "/got.zip");
        if (!r.ok()) return state.SkipWithError(qPrintable(r.error));
    }
    state.SetBytesProcessed(state.iterations() * qint64(size));
    vendor.kill();
    vendor.waitForFinished();
}
BENCHMARK(BM_DownloadFile)->Arg(32)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ZipEntryData(benchmark::State& state) {
    const int size = int(state.range(0)) << 20;
    ZipWriter w;
    w.Add("city.gis", CityLikeBytes(size));
    TZipFile zip;
    zip.LoadFromBytes(w.Build());
    for (auto _ : state)
        benchmark::DoNotOptimize(zip.EntryData(0));
    state.SetBytesProcessed(state.iterations() * qint64(size));
}
BENCHMARK(BM_ZipEntryData)->Arg(32)->Unit(benchmark::kMillisecond);

// The minimum rate is averaged over a window: the trickle must end once the first window is over.
void TrickleEndsWithinTheWindow() {
    QTemporaryDir dir;
    QDir().mkpath(dir.path() + "/pub");
    QFile f(dir.path() + "/pub/city.zip");
    f.open(QIODevice::WriteOnly);
    f.write(CityLikeBytes(1 << 20));
    f.close();
    QProcess vendor;
    vendor.start(TESSARA_VENDOR_EXE, {"--root", dir.path() + "/pub", "--port", "0", "--trickle", "city.zip"});
    QByteArray out;
    while (!out.contains('\n') && vendor.waitForReadyRead(5000))
        out += vendor.readAllStandardOutput();
    const auto m = QRegularExpression("http://\\S+/").match(QString::fromLatin1(out));
    if (!m.hasMatch()) return (void)std::fprintf(stderr, "tessara-vendor did not start\n");
    const DownloadLimits limits;
    QElapsedTimer clock;
    clock.start();
    const DownloadResult r = DownloadFile(m.captured(0) + "city.zip", dir.path() + "/got.zip", {}, limits);
    std::printf("trickle download ended after %.1f s (%s) ... goal: under %.0f s\n", clock.elapsed() / 1000.0,
                qPrintable(r.error), limits.RateWindowMs / 1000.0 + 1);
    vendor.kill();
    vendor.waitForFinished();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    TrickleEndsWithinTheWindow();
    return 0;
}
