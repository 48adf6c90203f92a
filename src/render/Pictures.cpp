#include "Pictures.h"

#include <QHash>
#include <mutex>

namespace {

// A picture is known by the file it lies in, where that file's resource area starts, its own place
// and size, and how it is decoded; an absent picture records a load that was tried and failed.
struct PictureKey {
    QString file;
    std::int32_t area = 0, offset = 0, size = 0;
    TImgType kind = TImgType::jpg;
    bool operator==(const PictureKey&) const = default;
};

size_t qHash(const PictureKey& k, size_t seed = 0) {
    return qHashMulti(seed, k.file, k.area, k.offset, k.size, int(k.kind));
}

std::mutex cacheMutex;
QHash<PictureKey, std::shared_ptr<QImage>>& Cache() {
    static QHash<PictureKey, std::shared_ptr<QImage>> cache;
    return cache;
}

} // namespace

std::shared_ptr<QImage> LoadImgShared(const TImg& img, TImgType kind, const CityFileRef& city) {
    if (img.size == -1) return nullptr;
    const PictureKey key{city.FilePath(), city.offset3, img.offset, img.size, kind};
    {
        std::lock_guard lock(cacheMutex);
        auto it = Cache().constFind(key);
        if (it != Cache().cend()) return *it;
    }
    // Read outside the lock; a damaged offset throws before anything is remembered.
    QByteArray bytes = ReadResource(city, img);
    auto picture = std::make_shared<QImage>();
    if (!picture->loadFromData(bytes, kind == TImgType::jpg ? "JPG" : "BMP")) picture.reset();
    std::lock_guard lock(cacheMutex);
    // Another thread may have been first: keep its picture so that every caller sees the same one.
    auto it = Cache().constFind(key);
    if (it != Cache().cend()) return *it;
    Cache().insert(key, picture);
    return picture;
}

const QImage* LoadImg(TImg& img, TImgType kind, const CityFileRef& city) {
    return LoadImgShared(img, kind, city).get();
}

void ReleasePictures() {
    std::lock_guard lock(cacheMutex);
    Cache().clear();
}

QImage LoadFoto(const CityDb& db, int index, const CityFileRef& city) {
    if (index < 0 || index >= static_cast<int>(db.Fotos.size())) return {};
    QImage picture;
    picture.loadFromData(ReadFotoBytes(city, db.Fotos[index]), "JPG");
    return picture;
}
