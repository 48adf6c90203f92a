#include "Pictures.h"

#include <QBuffer>
#include <QHash>
#include <QImageReader>
#include <mutex>

namespace {

// A picture is known by the file it lies in, where that file's resource area starts, its own place
// and size, how it is decoded and the size it is decoded at; an absent picture records a load that
// was tried and failed.
struct PictureKey {
    QString file;
    std::int32_t area = 0, offset = 0, size = 0;
    TImgType kind = TImgType::jpg;
    QSize shown;
    bool operator==(const PictureKey&) const = default;
};

size_t qHash(const PictureKey& k, size_t seed = 0) {
    return qHashMulti(seed, k.file, k.area, k.offset, k.size, int(k.kind), k.shown.width(), k.shown.height());
}

struct CachedPicture {
    std::shared_ptr<QImage> picture;
    qint64 bytes = 0;
    quint64 used = 0; // the use counter at the last hand-out
};

struct PictureCache {
    std::mutex mutex;
    QHash<PictureKey, CachedPicture> pictures;
    qint64 bytes = 0;
    quint64 uses = 0;

    // Called with the mutex held: drops the least recently used until the budget holds.
    void Trim() {
        while (bytes > PictureCacheBudget && !pictures.isEmpty()) {
            auto oldest = pictures.begin();
            for (auto it = pictures.begin(); it != pictures.end(); ++it)
                if (it->used < oldest->used) oldest = it;
            bytes -= oldest->bytes;
            pictures.erase(oldest);
        }
    }
};

PictureCache& Cache() {
    static PictureCache cache;
    return cache;
}

// Reads the header first: a picture past the limits is refused before a pixel is decoded.
std::shared_ptr<QImage> Decode(const QByteArray& bytes, TImgType kind, QSize shown) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, kind == TImgType::jpg ? "jpg" : "bmp");
    reader.setDecideFormatFromContent(false);
    const QSize stored = reader.size();
    if (!stored.isValid() || stored.isEmpty()) return nullptr;
    const QSize limit = shown.isEmpty() ? QSize(MaxPictureSide, MaxPictureSide) : shown * MaxOversize;
    if (stored.width() > limit.width() || stored.height() > limit.height()) return nullptr;
    if (!shown.isEmpty()) reader.setScaledSize(shown);
    auto picture = std::make_shared<QImage>();
    if (!reader.read(picture.get()) || picture->isNull()) return nullptr;
    return picture;
}

} // namespace

std::shared_ptr<QImage> LoadImgShared(const TImg& img, TImgType kind, const CityFileRef& city, QSize shown) {
    if (img.size == -1) return nullptr;
    if (shown.isEmpty()) shown = {};
    const PictureKey key{city.FilePath(), city.offset3, img.offset, img.size, kind, shown};
    PictureCache& cache = Cache();
    {
        std::lock_guard lock(cache.mutex);
        auto it = cache.pictures.find(key);
        if (it != cache.pictures.end()) {
            it->used = ++cache.uses;
            return it->picture;
        }
    }
    // Read and decode outside the lock; a damaged offset throws before anything is remembered.
    std::shared_ptr<QImage> picture;
    if (img.size <= MaxPictureBytes) picture = Decode(ReadResource(city, img), kind, shown);
    std::lock_guard lock(cache.mutex);
    // Another thread may have been first: keep its picture so that every caller sees the same one.
    auto it = cache.pictures.find(key);
    if (it != cache.pictures.end()) return it->picture;
    const qint64 bytes = picture ? picture->sizeInBytes() : 0;
    cache.pictures.insert(key, {picture, bytes, ++cache.uses});
    cache.bytes += bytes;
    cache.Trim();
    return picture;
}

const QImage* LoadImg(TImg& img, TImgType kind, const CityFileRef& city, QSize shown) {
    thread_local std::shared_ptr<QImage> last;
    last = LoadImgShared(img, kind, city, shown);
    return last.get();
}

void ReleasePictures() {
    PictureCache& cache = Cache();
    std::lock_guard lock(cache.mutex);
    cache.pictures.clear();
    cache.bytes = 0;
}

qint64 PictureCacheBytes() {
    PictureCache& cache = Cache();
    std::lock_guard lock(cache.mutex);
    return cache.bytes;
}

QImage LoadFoto(const CityDb& db, int index, const CityFileRef& city) {
    if (index < 0 || index >= static_cast<int>(db.Fotos.size()) || db.Fotos[index].size > MaxPictureBytes) return {};
    const auto picture = Decode(ReadFotoBytes(city, db.Fotos[index]), TImgType::jpg, {});
    return picture ? *picture : QImage();
}
