// Timing for the benchmarks: thread CPU time, so that other work on a shared machine does not count
// against what is measured, and the median of several runs after one that warms the caches.
#pragma once

#include <algorithm>
#include <ctime>
#include <functional>
#include <vector>

// `clock` may be the whole process's, where the work runs in threads of a library (software OpenGL).
inline double CpuMs(clockid_t clock = CLOCK_THREAD_CPUTIME_ID) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

inline double MedianMs(const std::function<void()>& fn, int runs = 15, clockid_t clock = CLOCK_THREAD_CPUTIME_ID) {
    std::vector<double> ms;
    fn();
    for (int i = 0; i < runs; ++i) {
        const double t0 = CpuMs(clock);
        fn();
        ms.push_back(CpuMs(clock) - t0);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}
