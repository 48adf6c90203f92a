// XOR descrambling of city file sections; the same call scrambles, since XOR is its own inverse.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <array>
#include <cstdint>
#include <functional>

// The 20-byte key shared by city files and the program.
extern const std::array<std::uint8_t, 20> DescrambleKey;

// Key byte applied to byte i (from 0) of a range: cycles of length 15..20, then 1..20 repeating.
std::uint8_t DescrambleKeyAt(std::int64_t i);

// Progress of a long descramble: `tag` is the bar's Tag; `step` runs once per (size div tag) bytes.
struct DescrambleProgress {
    int tag = 0;
    std::function<void()> step;
};

// Descrambles `size` bytes in place; the key sequence starts afresh at data[0].
void DescrambleInPlace(char* data, std::int64_t size, const DescrambleProgress* progress = nullptr);

// Descrambles bytes [start, end) of `source` into a new buffer.
QByteArray Descramble(QByteArrayView source, std::int64_t start, std::int64_t end,
                      const DescrambleProgress* progress = nullptr);
