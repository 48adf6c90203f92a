// Timing for the benchmarks: thread CPU time, so that other work on a shared machine does not count
// against what is measured, and the median of several runs after one that warms the caches.
#pragma once

#include <algorithm>
#include <ctime>
#include <functional>
#include <vector>

inline double CpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

inline double MedianMs(const std::function<void()>& fn, int runs = 15) {
    std::vector<double> ms;
    fn();
    for (int i = 0; i < runs; ++i) {
        const double t0 = CpuMs();
        fn();
        ms.push_back(CpuMs() - t0);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}
