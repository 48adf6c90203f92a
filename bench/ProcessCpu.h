// CPU time of this process and of its descendants still running (the browser engine's processes).
#pragma once

#include <QDir>
#include <QFile>
#include <map>
#include <sys/resource.h>
#include <unistd.h>

inline double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// CPU seconds of each descendant still running (the browser engine's processes), by process id.
inline std::map<long, double> ChildrenCpu() {
    std::map<long, std::pair<long, double>> procs; // pid -> parent, CPU seconds
    const double tick = double(sysconf(_SC_CLK_TCK));
    for (const QString& name : QDir("/proc").entryList(QDir::Dirs)) {
        bool number = false;
        const long pid = name.toLong(&number);
        if (!number) continue;
        QFile f("/proc/" + name + "/stat");
        if (!f.open(QIODevice::ReadOnly)) continue;
        const QByteArray stat = f.read(4096);
        // The fields after the command's closing bracket: state, parent, ... utime is the 12th, stime the 13th.
        const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        if (fields.size() < 13) continue;
        procs[pid] = {fields[1].toLong(), (fields[11].toDouble() + fields[12].toDouble()) / tick};
    }
    std::map<long, double> out;
    for (const auto& [pid, entry] : procs) {
        long parent = entry.first;
        while (parent > 1 && parent != getpid())
            parent = procs.count(parent) ? procs[parent].first : 0;
        if (parent == getpid()) out[pid] = entry.second;
    }
    return out;
}

// CPU seconds the descendants spent between two readings: processes that ended meanwhile count
// for nothing (their time is not known), new ones from zero.
inline double ChildrenCpuSince(const std::map<long, double>& before) {
    double total = 0;
    for (const auto& [pid, seconds] : ChildrenCpu()) {
        auto it = before.find(pid);
        total += seconds - (it == before.end() ? 0 : it->second);
    }
    return total;
}
