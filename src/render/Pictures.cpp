#include "Pictures.h"

const QImage* LoadImg(TImg& img, TImgType kind, const CityFileRef& city) {
    if (img.size == -1) return nullptr;
    if (!img.img && !img.tried) {
        img.tried = true;
        QByteArray bytes = ReadResource(city, img);
        auto picture = std::make_shared<QImage>();
        if (picture->loadFromData(bytes, kind == TImgType::jpg ? "JPG" : "BMP")) img.img = std::move(picture);
    }
    return img.img.get();
}

QImage LoadFoto(const CityDb& db, int index, const CityFileRef& city) {
    if (index < 0 || index >= static_cast<int>(db.Fotos.size())) return {};
    QImage picture;
    picture.loadFromData(ReadFotoBytes(city, db.Fotos[index]), "JPG");
    return picture;
}
