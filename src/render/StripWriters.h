// Picture files written row by row, so that a picture larger than memory can be written in strips:
// 24-bit BMP (bottom-up, as readers expect: the rows come from the bottom) and PNG through zlib.
#pragma once

#include <QtGlobal>
#include <memory>
#include <vector>

class QIODevice;
class QImage;

class StripWriter {
public:
    virtual ~StripWriter() = default;
    // Whether rows must come from the picture's bottom up.
    virtual bool BottomUp() const = 0;
    // Whether the format can hold a picture of this size at all.
    virtual bool Fits(qint64 width, qint64 height) const = 0;
    // Exact file size, or 0 when it is only known afterwards.
    virtual qint64 FileSize(qint64 width, qint64 height) const = 0;
    virtual bool Begin(QIODevice& out, qint64 width, qint64 height) = 0;
    // Rows [first, first + rows) of `strip` (32-bit pixels), in the order the format wants: from the
    // last row upwards when BottomUp.
    virtual bool Rows(const QImage& strip, int first, int rows) = 0;
    virtual bool Finish() = 0;
};

std::unique_ptr<StripWriter> MakeBmpWriter();
// `level` is zlib's compression level.
std::unique_ptr<StripWriter> MakePngWriter(int level = 3);
