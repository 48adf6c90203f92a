#include "Descramble.h"

#include <algorithm>
#include <cstring>

const std::array<std::uint8_t, 20> DescrambleKey = {0x5A, 0xC3, 0x17, 0x8E, 0x29, 0xF4, 0x61, 0xB0, 0x3D, 0x96,
                                                    0x0B, 0xE7, 0x72, 0x4C, 0xA5, 0x1F, 0xD8, 0x36, 0x8B, 0x6E};

namespace {

// The first cycles (15..20) cover 105 bytes; after them the lengths 1..20 repeat with period 210.
constexpr std::int64_t HeadLength = 105;
constexpr std::int64_t Period = 210;
// A whole number of periods, large enough that the XOR loop runs over long stretches.
constexpr std::int64_t StreamPeriods = 156;
constexpr std::int64_t StreamLength = Period * StreamPeriods; // 32760 bytes

struct KeyStream {
    std::array<std::uint8_t, HeadLength> head{};
    // Padded by 64 bytes so that wide reads near the end stay inside.
    std::array<std::uint8_t, StreamLength + 64> body{};

    KeyStream() {
        int k = 1, len = 15;
        std::int64_t i = 0;
        auto next = [&]() {
            std::uint8_t b = DescrambleKey[k - 1];
            if (++k > len) {
                k = 1;
                if (++len > 20) len = 1;
            }
            return b;
        };
        for (; i < HeadLength; ++i) head[i] = next();
        for (std::int64_t j = 0; j < StreamLength + 64; ++j) body[j] = next();
    }
};

const KeyStream& Stream() {
    static const KeyStream stream;
    return stream;
}

// XORs n bytes of data with key, 32 bytes a time where it can.
void XorBlock(char* data, const std::uint8_t* key, std::int64_t n) {
    typedef std::uint8_t V32 __attribute__((vector_size(32)));
    std::int64_t i = 0;
    for (; i + 32 <= n; i += 32) {
        V32 a, b;
        std::memcpy(&a, data + i, 32);
        std::memcpy(&b, key + i, 32);
        a ^= b;
        std::memcpy(data + i, &a, 32);
    }
    for (; i < n; ++i) data[i] = static_cast<char>(data[i] ^ key[i]);
}

// XORs data[from, to) with the key stream positions of the same numbers.
void XorRange(char* data, std::int64_t from, std::int64_t to) {
    const KeyStream& ks = Stream();
    std::int64_t i = from;
    if (i < HeadLength) {
        std::int64_t n = std::min(to, HeadLength) - i;
        XorBlock(data + i, ks.head.data() + i, n);
        i += n;
    }
    while (i < to) {
        std::int64_t phase = (i - HeadLength) % StreamLength;
        std::int64_t n = std::min(to - i, StreamLength - phase);
        XorBlock(data + i, ks.body.data() + phase, n);
        i += n;
    }
}

} // namespace

std::uint8_t DescrambleKeyAt(std::int64_t i) {
    const KeyStream& ks = Stream();
    if (i < HeadLength) return ks.head[i];
    return ks.body[(i - HeadLength) % Period];
}

void DescrambleInPlace(char* data, std::int64_t size, const DescrambleProgress* progress) {
    if (size <= 0) return;
    // A damaged file can make a range shorter than the bar's tag: then there are no steps at all.
    std::int64_t step = 0;
    if (progress && progress->tag > 0 && progress->step) step = size / progress->tag;
    if (step <= 0) {
        XorRange(data, 0, size);
        return;
    }
    // One bar step each time the byte counter reaches a multiple of `step`.
    std::int64_t done = 0;
    while (done < size) {
        std::int64_t next = std::min(size, done + step);
        XorRange(data, done, next);
        done = next;
        if (done % step == 0) progress->step();
    }
}

QByteArray Descramble(QByteArrayView source, std::int64_t start, std::int64_t end,
                      const DescrambleProgress* progress) {
    start = std::clamp<std::int64_t>(start, 0, source.size());
    end = std::clamp<std::int64_t>(end, start, source.size());
    QByteArray out(source.data() + start, end - start);
    DescrambleInPlace(out.data(), out.size(), progress);
    return out;
}
