#include "Descramble.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <vector>

namespace {

// The cycle rule written out byte by byte, independent of the wide implementation.
QByteArray ReferenceDescramble(const QByteArray& in) {
    QByteArray out = in;
    int k = 1, len = 15;
    for (qsizetype i = 0; i < out.size(); ++i) {
        out[i] = char(out[i] ^ DescrambleKey[k - 1]);
        if (++k > len) {
            k = 1;
            if (++len > 20) len = 1;
        }
    }
    return out;
}

QByteArray RandomBytes(qsizetype n, quint32 seed) {
    QByteArray b(n, Qt::Uninitialized);
    QRandomGenerator rng(seed);
    for (qsizetype i = 0; i < n; ++i) b[i] = char(rng.bounded(256));
    return b;
}

} // namespace

TEST(Descramble, MatchesTheCycleRuleForManyLengths) {
    for (qsizetype n : {0, 1, 14, 15, 16, 31, 32, 33, 104, 105, 106, 315, 316, 1000, 32760 + 105, 32760 + 106, 200001}) {
        QByteArray data = RandomBytes(n, quint32(n) + 7);
        QByteArray wide = data;
        DescrambleInPlace(wide.data(), wide.size());
        EXPECT_EQ(wide, ReferenceDescramble(data)) << "length " << n;
    }
}

TEST(Descramble, KeyPositionsAtCycleBoundaries) {
    struct Case {
        int pos;
        int key; // 1-based key index
    } cases[] = {{0, 1}, {14, 15}, {15, 1}, {30, 16}, {31, 1}, {104, 20}, {105, 1}, {106, 1}, {107, 2}, {108, 1},
                 {105 + 210, 1}, {105 + 210 + 1, 1}, {105 + 209, 20}};
    for (auto c : cases) EXPECT_EQ(DescrambleKeyAt(c.pos), DescrambleKey[c.key - 1]) << "byte " << c.pos;
}

TEST(Descramble, RangesRestartTheKeyAndUndoThemselves) {
    QByteArray plain = RandomBytes(5000, 3);
    QByteArray source = QByteArray(100, 'x') + plain + plain;
    QByteArray first = Descramble(source, 100, 5100);
    QByteArray second = Descramble(source, 5100, 10100);
    EXPECT_EQ(first, second);
    EXPECT_EQ(Descramble(first, 0, first.size()), plain);
    EXPECT_TRUE(Descramble(source, 50, 50).isEmpty());
}

TEST(Descramble, ProgressStepsOncePerStepBytes) {
    struct Case {
        qsizetype size;
        int tag;
        int steps;
    } cases[] = {{1000, 15, 15}, {1005, 15, 15}, {30, 15, 15}, {10, 15, 0}, {0, 20, 0}, {1000, 0, 0}};
    for (auto c : cases) {
        int steps = 0;
        DescrambleProgress progress{c.tag, [&] { ++steps; }};
        QByteArray data = RandomBytes(c.size, 9);
        QByteArray copy = data;
        DescrambleInPlace(copy.data(), copy.size(), &progress);
        EXPECT_EQ(steps, c.steps) << c.size << " bytes, tag " << c.tag;
        EXPECT_EQ(copy, ReferenceDescramble(data));
    }
}
