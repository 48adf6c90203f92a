#include "StripWriters.h"

#include <QIODevice>
#include <QImage>
#include <cstring>
#include <limits>
#include <zlib.h>

namespace {

void Put16(std::vector<uchar>& b, quint32 v) {
    b.push_back(uchar(v));
    b.push_back(uchar(v >> 8));
}
void Put32(std::vector<uchar>& b, quint32 v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
void PutBE32(uchar* p, quint32 v) {
    p[0] = uchar(v >> 24);
    p[1] = uchar(v >> 16);
    p[2] = uchar(v >> 8);
    p[3] = uchar(v);
}

bool WriteAll(QIODevice& out, const void* data, qint64 size) {
    return out.write(static_cast<const char*>(data), size) == size;
}

class BmpWriter : public StripWriter {
public:
    bool BottomUp() const override { return true; }
    static qint64 Stride(qint64 width) { return (width * 3 + 3) & ~qint64(3); }
    qint64 FileSize(qint64 width, qint64 height) const override { return 54 + Stride(width) * height; }
    bool Fits(qint64 width, qint64 height) const override {
        // The header holds the file size in 32 bits.
        return width > 0 && height > 0 && width <= std::numeric_limits<qint32>::max() &&
               height <= std::numeric_limits<qint32>::max() &&
               FileSize(width, height) <= std::numeric_limits<quint32>::max();
    }
    bool Begin(QIODevice& out, qint64 width, qint64 height) override {
        if (!Fits(width, height)) return false;
        out_ = &out;
        width_ = width;
        std::vector<uchar> h;
        h.push_back('B');
        h.push_back('M');
        Put32(h, quint32(FileSize(width, height)));
        Put32(h, 0);
        Put32(h, 54);
        Put32(h, 40);
        Put32(h, quint32(width));
        Put32(h, quint32(height)); // positive: bottom-up
        Put16(h, 1);
        Put16(h, 24);
        Put32(h, 0); // no compression
        Put32(h, quint32(Stride(width) * height));
        Put32(h, 3780); // 96 dpi
        Put32(h, 3780);
        Put32(h, 0);
        Put32(h, 0);
        row_.assign(size_t(Stride(width)), 0);
        return WriteAll(out, h.data(), qint64(h.size()));
    }
    bool Rows(const QImage& strip, int first, int rows) override {
        for (int y = first + rows - 1; y >= first; --y) {
            const QRgb* src = reinterpret_cast<const QRgb*>(strip.constScanLine(y));
            uchar* d = row_.data();
            for (qint64 x = 0; x < width_; ++x, d += 3) {
                d[0] = uchar(qBlue(src[x]));
                d[1] = uchar(qGreen(src[x]));
                d[2] = uchar(qRed(src[x]));
            }
            if (!WriteAll(*out_, row_.data(), qint64(row_.size()))) return false;
        }
        return true;
    }
    bool Finish() override { return true; }

private:
    QIODevice* out_ = nullptr;
    qint64 width_ = 0;
    std::vector<uchar> row_;
};

class PngWriter : public StripWriter {
public:
    explicit PngWriter(int level) : level_(level) {}
    ~PngWriter() override {
        if (open_) deflateEnd(&z_);
    }
    bool BottomUp() const override { return false; }
    qint64 FileSize(qint64, qint64) const override { return 0; }
    bool Fits(qint64 width, qint64 height) const override {
        // Dimensions are 31-bit; a row with its filter byte must fit zlib's 32-bit counts.
        return width > 0 && height > 0 && width <= std::numeric_limits<qint32>::max() &&
               height <= std::numeric_limits<qint32>::max() &&
               width * 3 + 1 < std::numeric_limits<uInt>::max();
    }
    bool Begin(QIODevice& out, qint64 width, qint64 height) override {
        if (!Fits(width, height)) return false;
        out_ = &out;
        width_ = width;
        static const uchar signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
        if (!WriteAll(out, signature, 8)) return false;
        uchar ihdr[13];
        PutBE32(ihdr, quint32(width));
        PutBE32(ihdr + 4, quint32(height));
        ihdr[8] = 8;  // bits per channel
        ihdr[9] = 2;  // RGB
        ihdr[10] = 0; // deflate
        ihdr[11] = 0; // adaptive filtering
        ihdr[12] = 0; // not interlaced
        if (!Chunk("IHDR", ihdr, 13)) return false;
        std::memset(&z_, 0, sizeof z_);
        if (deflateInit(&z_, level_) != Z_OK) return false;
        open_ = true;
        row_.assign(size_t(width * 3 + 1), 0);
        previous_.assign(size_t(width * 3), 0);
        buffer_.resize(64 * 1024);
        return true;
    }
    bool Rows(const QImage& strip, int first, int rows) override {
        for (int y = first; y < first + rows; ++y) {
            const QRgb* src = reinterpret_cast<const QRgb*>(strip.constScanLine(y));
            // Filter "Up": a map's rows repeat their neighbours, which deflate then finds cheaply.
            row_[0] = 2;
            uchar* d = row_.data() + 1;
            uchar* prev = previous_.data();
            for (qint64 x = 0; x < width_; ++x, d += 3, prev += 3) {
                const uchar r = uchar(qRed(src[x])), g = uchar(qGreen(src[x])), b = uchar(qBlue(src[x]));
                d[0] = uchar(r - prev[0]);
                d[1] = uchar(g - prev[1]);
                d[2] = uchar(b - prev[2]);
                prev[0] = r;
                prev[1] = g;
                prev[2] = b;
            }
            if (!Deflate(row_.data(), row_.size(), Z_NO_FLUSH)) return false;
        }
        return true;
    }
    bool Finish() override {
        if (!open_ || !Deflate(nullptr, 0, Z_FINISH)) return false;
        deflateEnd(&z_);
        open_ = false;
        return Chunk("IEND", nullptr, 0);
    }

private:
    bool Deflate(const uchar* data, size_t size, int flush) {
        z_.next_in = const_cast<Bytef*>(data);
        z_.avail_in = uInt(size);
        for (;;) {
            z_.next_out = buffer_.data();
            z_.avail_out = uInt(buffer_.size());
            const int rc = deflate(&z_, flush);
            if (rc == Z_STREAM_ERROR) return false;
            const size_t produced = buffer_.size() - z_.avail_out;
            if (produced > 0 && !Chunk("IDAT", buffer_.data(), produced)) return false;
            if (flush == Z_FINISH ? rc == Z_STREAM_END : (z_.avail_in == 0 && z_.avail_out != 0)) return true;
        }
    }
    bool Chunk(const char* type, const uchar* data, size_t size) {
        uchar head[8];
        PutBE32(head, quint32(size));
        std::memcpy(head + 4, type, 4);
        uLong crc = crc32(0, head + 4, 4);
        if (size) crc = crc32(crc, data, uInt(size));
        uchar tail[4];
        PutBE32(tail, quint32(crc));
        return WriteAll(*out_, head, 8) && (size == 0 || WriteAll(*out_, data, qint64(size))) &&
               WriteAll(*out_, tail, 4);
    }

    int level_;
    QIODevice* out_ = nullptr;
    qint64 width_ = 0;
    z_stream z_;
    bool open_ = false;
    std::vector<uchar> row_, previous_, buffer_;
};

} // namespace

std::unique_ptr<StripWriter> MakeBmpWriter() {
    return std::make_unique<BmpWriter>();
}
std::unique_ptr<StripWriter> MakePngWriter(int level) {
    return std::make_unique<PngWriter>(level);
}
