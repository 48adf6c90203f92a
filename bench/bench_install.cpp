// Installs a ZIP bomb through the real install step: a 1 MB archive holding one 1 GiB entry, made here
// in pieces. The entry is unpacked in a stream to its staging file, so the peak memory stays far
// below the entry's size. usage: bench_install [FOLDER] (default: the system's temporary folder)
#include "UnpackArchive.h"
#include "ZipWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>
#include <zlib.h>

namespace {

double PeakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
}

// Raw DEFLATE of `size` zero bytes, produced a mebibyte at a time.
QByteArray DeflatedZeros(std::uint64_t size, std::uint32_t& crc) {
    const QByteArray chunk(1 << 20, '\0');
    z_stream z{};
    deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY);
    QByteArray out;
    char buffer[1 << 16];
    uLong sum = crc32(0L, Z_NULL, 0);
    for (std::uint64_t left = size; left > 0 || z.avail_in > 0;) {
        if (z.avail_in == 0) {
            const uInt n = uInt(std::min<std::uint64_t>(left, std::uint64_t(chunk.size())));
            z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(chunk.constData()));
            z.avail_in = n;
            sum = crc32(sum, z.next_in, n);
            left -= n;
        }
        z.next_out = reinterpret_cast<Bytef*>(buffer);
        z.avail_out = sizeof buffer;
        deflate(&z, left == 0 ? Z_FINISH : Z_NO_FLUSH);
        out.append(buffer, qsizetype(sizeof buffer - z.avail_out));
        if (left == 0 && z.avail_in == 0) {
            int rc = Z_OK;
            while (rc != Z_STREAM_END) {
                z.next_out = reinterpret_cast<Bytef*>(buffer);
                z.avail_out = sizeof buffer;
                rc = deflate(&z, Z_FINISH);
                out.append(buffer, qsizetype(sizeof buffer - z.avail_out));
            }
        }
    }
    deflateEnd(&z);
    crc = std::uint32_t(sum);
    return out;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString where = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath();
    QTemporaryDir dir(where + "/bench-install-XXXXXX");
    if (!dir.isValid()) {
        std::fprintf(stderr, "cannot create a folder in %s\n", qPrintable(where));
        return 1;
    }
    const QString data = dir.path() + "/data/";
    QDir().mkpath(data);

    constexpr std::uint64_t EntrySize = 1ull << 30;
    std::uint32_t crc = 0;
    ZipWriter w;
    const QByteArray packed = DeflatedZeros(EntrySize, crc);
    w.AddPacked("Bomb.gis", packed, crc, std::uint32_t(EntrySize));
    if (const QString e = w.Write(data + "Bomb.zip"); !e.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(e));
        return 1;
    }
    const double archiveMb = double(QFileInfo(data + "Bomb.zip").size()) / (1 << 20);
    const double before = PeakMegabytes();

    QElapsedTimer timer;
    timer.start();
    const UnpackReport r = UnpackArchive(data + "Bomb.zip", data);
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    if (!r.ok || QFileInfo(data + "Bomb.gis").size() != qint64(EntrySize)) {
        std::fprintf(stderr, "the bomb was not installed: %s\n", qPrintable(r.error));
        return 1;
    }
    std::printf("install bomb archive %.2f MB, entry %llu MB, %.2f s (%.0f MB/s)\n", archiveMb,
                static_cast<unsigned long long>(EntrySize >> 20), seconds, double(EntrySize >> 20) / seconds);
    std::printf("install bomb peak memory %.0f MB (before the install %.0f MB) ... goal: under 200 MB\n",
                PeakMegabytes(), before);
    return 0;
}
