#include "CityWriter.h"

#include "ByteWriter.h"
#include "Descramble.h"

#include <QSaveFile>
#include <stdexcept>

TResource CityWriter::AddResource(const QByteArray& bytes) {
    TResource r;
    r.offset = static_cast<std::int32_t>(resources_.size());
    r.size = static_cast<std::int32_t>(bytes.size());
    resources_.append(bytes);
    return r;
}

TImg CityWriter::AddImage(const QByteArray& bytes) {
    TImg img;
    static_cast<TResource&>(img) = AddResource(bytes);
    return img;
}

TPg CityWriter::AddPage(const QString& name, const QByteArray& bytes) {
    TPg pg;
    static_cast<TResource&>(pg) = AddResource(bytes);
    pg.Name = name;
    return pg;
}

namespace {

QByteArray StartSection(const CityWriter& c) {
    if (c.StartOrgs.size() > 255) throw std::invalid_argument("more than 255 start organisations");
    const bool modern = c.dfv > 9;
    ByteWriter w;
    auto text = [&](const QString& s) { modern ? w.str(s) : w.oldStr(s); };
    QString ids;
    if (c.IdList) {
        ids = *c.IdList;
    } else if (c.dfv > 15) {
        QStringList parts;
        for (const TOrg& o : c.StartOrgs) parts << QString::number(o.id);
        ids = parts.join(u';');
    }
    text(c.AgentName);
    text(c.AgentEmail);
    text(c.AgentPhone);
    text(ids);
    text(QString());
    w.u8(static_cast<std::uint8_t>(c.StartOrgs.size()));
    for (const TOrg& o : c.StartOrgs) {
        const TImg banner = o.startBanner.value_or(TImg{});
        w.i32(banner.size);
        w.i32(banner.offset);
        const TPg page = o.page.value_or(TPg{});
        text(page.Name);
        w.i32(page.size);
        w.i32(page.offset);
    }
    return w.take();
}

QByteArray RubricSection(const CityWriter& c) {
    if (c.RubricNames.size() > 0xFFFF) throw std::invalid_argument("more than 65535 rubric names");
    ByteWriter w;
    w.u16(static_cast<std::uint16_t>(c.RubricNames.size()));
    for (const QString& s : c.RubricNames) w.str(s);
    w.bytes(c.RubricTree.toUtf8());
    return w.take();
}

void AppendScrambled(QByteArray& out, QByteArray section) {
    DescrambleInPlace(section.data(), section.size());
    out.append(section);
}

} // namespace

QByteArray CityWriter::Build() const {
    const QByteArray start = StartSection(*this);
    const QByteArray rubric = RubricSection(*this);
    CityHeader h;
    h.CityName = CityName;
    h.ReleaseDate = ReleaseDate;
    h.dfv = dfv;
    const std::int64_t o0 = CityHeaderSize + start.size();
    const std::int64_t o1 = o0 + DirectorySection.size();
    const std::int64_t o2 = o1 + MapSection.size();
    const std::int64_t o3 = o2 + rubric.size();
    if (o3 + resources_.size() > INT32_MAX) throw std::length_error("city file larger than 2 GiB");
    h.offset0 = std::int32_t(o0);
    h.offset1 = std::int32_t(o1);
    h.offset2 = std::int32_t(o2);
    h.offset3 = std::int32_t(o3);

    QByteArray out = EncodeCityHeader(h);
    out.reserve(o3 + resources_.size());
    AppendScrambled(out, start);
    AppendScrambled(out, DirectorySection);
    AppendScrambled(out, MapSection);
    AppendScrambled(out, rubric);
    out.append(resources_);
    return out;
}

QByteArray CityWriter::BuildPhotoFile() const {
    ByteWriter w;
    w.i32(FotoDay);
    w.i32(static_cast<std::int32_t>(Photos.size()));
    std::int64_t offset = 0;
    for (const auto& [buildId, jpeg] : Photos) {
        w.i32(buildId);
        w.i32(static_cast<std::int32_t>(offset));
        w.i32(static_cast<std::int32_t>(jpeg.size()));
        offset += jpeg.size();
    }
    if (offset + w.size() > INT32_MAX) throw std::length_error("photo file larger than 2 GiB");
    for (const auto& p : Photos) w.bytes(p.second);
    return w.take();
}

QString WriteFileAtomically(const QString& path, const QByteArray& bytes) {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return f.errorString();
    if (f.write(bytes) != bytes.size()) {
        f.cancelWriting();
        return f.errorString();
    }
    if (!f.commit()) return f.errorString();
    return {};
}

QString CityWriter::Write(const QString& path) const {
    try {
        return WriteFileAtomically(path, Build());
    } catch (const std::exception& e) {
        return QString::fromStdString(e.what());
    }
}

QString CityWriter::WritePhotoFile(const QString& path) const {
    try {
        return WriteFileAtomically(path, BuildPhotoFile());
    } catch (const std::exception& e) {
        return QString::fromStdString(e.what());
    }
}
