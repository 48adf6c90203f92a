// Descrambling throughput beside a memcpy of the same buffer; prints both and their ratio.
#include "Descramble.h"

#include <benchmark/benchmark.h>

#include <QByteArray>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace {

constexpr qsizetype Size = 64 << 20; // a section of a large city

void BM_Memcpy(benchmark::State& state) {
    QByteArray src(Size, 'a'), dst(Size, 'b');
    for (auto _ : state) {
        std::memcpy(dst.data(), src.constData(), Size);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * Size);
}

// A loaded section is copied and then descrambled in place, so this pays for both.
void BM_DescrambleCopy(benchmark::State& state) {
    QByteArray src(Size, 'a');
    for (auto _ : state) {
        QByteArray out = Descramble(src, 0, Size);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * Size);
}

void BM_DescrambleInPlace(benchmark::State& state) {
    QByteArray buf(Size, 'a');
    for (auto _ : state) {
        DescrambleInPlace(buf.data(), Size);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * Size);
}

BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DescrambleCopy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DescrambleInPlace)->Unit(benchmark::kMillisecond);

double SecondsPerPass(void (*pass)(QByteArray&, QByteArray&)) {
    QByteArray a(Size, 'a'), b(Size, 'b');
    pass(a, b);
    double best = 1e9;
    for (int i = 0; i < 10; ++i) {
        auto t0 = std::chrono::steady_clock::now();
        pass(a, b);
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    double copy = SecondsPerPass([](QByteArray& a, QByteArray& b) { std::memcpy(b.data(), a.constData(), Size); });
    double xorIn = SecondsPerPass([](QByteArray& a, QByteArray&) { DescrambleInPlace(a.data(), Size); });
    double gb = double(Size) / 1e9;
    std::printf("\nmemcpy               %6.2f GB/s\n", gb / copy);
    std::printf("descramble in place  %6.2f GB/s\n", gb / xorIn);
    std::printf("descramble time / memcpy time %.2f times ... goal: under 2 times\n", xorIn / copy);
    return 0;
}
