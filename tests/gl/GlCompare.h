// Comparing two pictures of one view region by region.
#pragma once

#include <QImage>
#include <algorithm>
#include <cstdlib>
#include <vector>

// The largest difference of a colour channel's mean between the same `region` x `region` squares of two
// pictures (over the part both cover), one entry per square: outlines a pixel apart and small things drawn
// differently move it little; a misplaced or miscoloured fill moves it a lot.
inline std::vector<int> RegionDifferences(const QImage& a, const QImage& b, int region) {
    const int w = std::min(a.width(), b.width()), h = std::min(a.height(), b.height());
    std::vector<int> out;
    for (int ry = 0; ry + region <= h; ry += region)
        for (int rx = 0; rx + region <= w; rx += region) {
            long sum[2][3] = {};
            for (int y = ry; y < ry + region; ++y)
                for (int x = rx; x < rx + region; ++x)
                    for (int k = 0; k < 2; ++k) {
                        const QRgb p = (k ? b : a).pixel(x, y);
                        sum[k][0] += qRed(p), sum[k][1] += qGreen(p), sum[k][2] += qBlue(p);
                    }
            int worst = 0;
            for (int c = 0; c < 3; ++c)
                worst = std::max(worst, int(std::abs(sum[0][c] - sum[1][c]) / (region * region)));
            out.push_back(worst);
        }
    return out;
}

inline int WorstRegionDifference(const QImage& a, const QImage& b, int region) {
    const std::vector<int> d = RegionDifferences(a, b, region);
    return d.empty() ? 0 : *std::max_element(d.begin(), d.end());
}
