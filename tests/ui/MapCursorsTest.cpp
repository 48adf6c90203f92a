#include "MapCursors.h"

#include <QSet>
#include <gtest/gtest.h>

TEST(MapCursors, FifteenDistinctVisibleCursorsByNumber) {
    CursorTable table;
    LoadCursors(table);
    QSet<QByteArray> seen;
    for (int n = 1; n <= MapCursorCount; ++n) {
        const QImage img = DrawCursorImage(n);
        ASSERT_EQ(img.size(), QSize(32, 32)) << n;
        int opaque = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                opaque += qAlpha(img.pixel(x, y)) > 128;
        EXPECT_GT(opaque, 30) << n;
        const QPoint hot = CursorHotSpot(n);
        EXPECT_TRUE(QRect(0, 0, 32, 32).contains(hot)) << n;
        seen.insert(QByteArray(reinterpret_cast<const char*>(img.constBits()), int(img.sizeInBytes())));
        EXPECT_EQ(table.cursor(n).shape(), Qt::BitmapCursor) << n;
        EXPECT_EQ(table.cursor(n).hotSpot(), hot) << n;
    }
    EXPECT_EQ(seen.size(), MapCursorCount);
    EXPECT_TRUE(DrawCursorImage(0).isNull());
    EXPECT_TRUE(DrawCursorImage(16).isNull());
    EXPECT_EQ(table.cursor(16).shape(), Qt::ArrowCursor);
}
