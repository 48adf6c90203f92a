#include "CityFile.h"

#include "ByteReader.h"
#include "Catalogue.h"
#include "CityFileError.h"
#include "CityHeader.h"
#include "MapColors.h"

#include <QFile>
#include <algorithm>
#if defined(__linux__)
#include <sys/mman.h>
#endif
#include <QFileInfo>

namespace {

const char* SectionName(CitySection s) {
    switch (s) {
    case CitySection::Start: return "start";
    case CitySection::Directory: return "directory";
    case CitySection::Map: return "map";
    case CitySection::Rubric: return "rubric";
    }
    return "";
}

std::pair<std::int64_t, std::int64_t> SectionRange(const CityFileRef& c, CitySection s) {
    switch (s) {
    case CitySection::Start: return {CityHeaderSize, c.offset0};
    case CitySection::Directory: return {c.offset0, c.offset1};
    case CitySection::Map: return {c.offset1, c.offset2};
    case CitySection::Rubric: return {c.offset2, c.offset3};
    }
    return {0, 0};
}

[[noreturn]] void Fail(const QString& file, const QString& what) {
    throw CityFileError(QStringLiteral("%1: %2").arg(file, what));
}

// Reads [start, end) of a file, checking that the range lies inside it.
QByteArray ReadRange(const QString& path, const QString& what, std::int64_t start, std::int64_t end) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) Fail(path, QStringLiteral("cannot open the file (%1)").arg(f.errorString()));
    if (start < 0 || end < start)
        Fail(path, QStringLiteral("%1 runs backwards (offsets %2 to %3)").arg(what).arg(start).arg(end));
    if (end > f.size())
        Fail(path, QStringLiteral("%1 runs past the end of the file (offset %2, file size %3)")
                       .arg(what)
                       .arg(end)
                       .arg(f.size()));
    if (!f.seek(start)) Fail(path, QStringLiteral("cannot seek to offset %1").arg(start));
    QByteArray data = f.read(end - start);
    if (data.size() != end - start)
        Fail(path, QStringLiteral("%1 could not be read whole at offset %2").arg(what).arg(start));
    return data;
}

ByteReader SectionReader(const QByteArray& data, const CityFileRef& city, CitySection s) {
    return ByteReader(data, city.FilePath(), QLatin1String(SectionName(s)), SectionRange(city, s).first);
}

// The next ";"-separated token of an id list; the list loses it.
QString TakeToken(QString& list) {
    qsizetype i = list.indexOf(u';');
    QString token = i < 0 ? list : list.left(i);
    list = i < 0 ? QString() : list.mid(i + 1);
    return token;
}

} // namespace

CityFileRef CityFileRef::From(const TCity& c) {
    return CityFileRef{c.path, c.FileName, c.EngName, c.dfv, c.offset0, c.offset1, c.offset2, c.offset3, c.FotoFile};
}

QByteArray ReadSection(const CityFileRef& city, CitySection section, const DescrambleProgress* progress) {
    auto [start, end] = SectionRange(city, section);
    QString what = QStringLiteral("the %1 section").arg(QLatin1String(SectionName(section)));
    if (start < CityHeaderSize)
        Fail(city.FilePath(), QStringLiteral("%1 starts inside the header (offset %2)").arg(what).arg(start));
    QByteArray data = ReadRange(city.FilePath(), what, start, end);
    DescrambleInPlace(data.data(), data.size(), progress);
    return data;
}

void ReleaseOrgResources(CityDb& db) { db.Orgs.clear(); }

// The whole pages among the first `n` bytes of a large section buffer are given back to the system:
// the decoded objects take their place, so the section and its objects are not held at once.
void ReleaseDecodedBytes(QByteArray& data, std::int64_t n) {
#if defined(__linux__)
    const std::uintptr_t page = 4096;
    const auto begin = reinterpret_cast<std::uintptr_t>(data.constData());
    const std::uintptr_t from = (begin + page - 1) & ~(page - 1);
    const std::uintptr_t to = (begin + std::uintptr_t(std::min<std::int64_t>(n, data.size()))) & ~(page - 1);
    // Only large buffers have pages of their own; the bytes read as zeros afterwards and are never read again.
    if (data.size() >= (std::int64_t(1) << 25) && to > from)
        madvise(reinterpret_cast<void*>(from), to - from, MADV_DONTNEED);
#else
    (void)data;
    (void)n;
#endif
}

void LoadStartSection(CityDb& db, const CityFileRef& city) {
    ReleaseOrgResources(db);
    QByteArray data = ReadSection(city, CitySection::Start);
    ByteReader r = SectionReader(data, city, CitySection::Start);
    DecodeStartSection(r, db, city.dfv);
}

void DecodeStartSection(ByteReader& r, CityDb& db, std::int32_t dfv) {
    ReleaseOrgResources(db);
    const bool modern = dfv > 9;
    auto text = [&]() { return modern ? r.str() : r.oldStr(); };

    db.AgentName = text();
    db.AgentEmail = text();
    db.AgentPhone = text();
    QString idList = text();
    text(); // kept by the format, unused
    if (!modern) idList.clear();

    const int n = r.u8();
    db.Orgs.resize(n);
    for (int i = 0; i < n; ++i) {
        TOrg& org = db.Orgs[i];
        if (dfv > 15 && !idList.isEmpty()) {
            QString token = TakeToken(idList);
            bool ok = false;
            org.id = token.toInt(&ok);
            if (!ok) r.fail(QStringLiteral("organisation id \"%1\" is not a number").arg(token));
        }
        TImg banner;
        banner.size = r.i32();
        banner.offset = r.i32();
        org.startBanner = banner;
        TPg page;
        page.Name = text();
        page.size = r.i32();
        page.offset = r.i32();
        if (!page.Name.isEmpty()) org.page = page;
    }
}

// Addresses name buildings by position, but the map section comes after the directory: its counts
// head it, so the second one is read ahead to check each address where it is stored.
std::int64_t PeekBuildingCount(const CityFileRef& city) {
    constexpr std::int64_t head = 8; // streets, buildings
    if (city.offset1 < CityHeaderSize || std::int64_t(city.offset2) - city.offset1 < head) return -1;
    try {
        QByteArray counts = ReadRange(city.FilePath(), QStringLiteral("the map section"), city.offset1,
                                      std::int64_t(city.offset1) + head);
        DescrambleInPlace(counts.data(), counts.size(), nullptr);
        ByteReader r(counts, city.FilePath(), QLatin1String(SectionName(CitySection::Map)), city.offset1);
        r.i32();
        const std::int32_t buildings = r.i32();
        return buildings >= 0 ? buildings : -1;
    } catch (const CityFileError&) {
        return -1; // the map section's own load reports it
    }
}

void LoadDirectorySection(CityDb& db, const CityFileRef& city, const ProgressStep& step) {
    ReleaseOrgResources(db);
    DescrambleProgress progress{DirectoryDescrambleSteps, step};
    QByteArray data = ReadSection(city, CitySection::Directory, step ? &progress : nullptr);
    ByteReader r = SectionReader(data, city, CitySection::Directory);
    DecodeDirectoryRecords(r, db, step, PeekBuildingCount(city));
}

void LoadMapSection(CityDb& db, const CityFileRef& city, const MapStyle& style, const ProgressStep& step) {
    db.Has3D = false;
    DescrambleProgress progress{MapDescrambleSteps, step};
    QByteArray data = ReadSection(city, CitySection::Map, step ? &progress : nullptr);
    db.WorldMinX = db.WorldMinY = 1.0e9f;
    db.WorldMaxX = db.WorldMaxY = -1.0e9f;
    ByteReader r = SectionReader(data, city, CitySection::Map);
    DecodeMapRecords(r, db, style, step, [&data](std::int64_t n) { ReleaseDecodedBytes(data, n); });
}

void LoadMapSection(CityDb& db, const CityFileRef& city, const ProgressStep& step) {
    LoadMapSection(db, city, MapStyle{}, step);
}

void LoadRubricSection(CityDb& db, const CityFileRef& city) {
    QByteArray data = ReadSection(city, CitySection::Rubric);
    ByteReader r = SectionReader(data, city, CitySection::Rubric);
    DecodeRubricSection(r, db);
}

void DecodeRubricSection(ByteReader& r, CityDb& db) {
    const int n = r.u16();
    db.RubricNames.clear();
    db.RubricNames.reserve(n);
    for (int i = 0; i < n; ++i) db.RubricNames.append(r.str());
    QByteArrayView rest = r.rest();
    db.RubricTree = QString::fromUtf8(rest.data(), rest.size());
}

void LoadPhotoIndex(CityDb& db, const CityFileRef& city) {
    db.Fotos.clear();
    const QString path = city.FotoPath();
    QFile f(path);
    if (!f.exists() || !f.open(QIODevice::ReadOnly)) return;
    const std::int64_t fileSize = f.size();
    QByteArray head = f.read(8);
    ByteReader h(head, path, QStringLiteral("photo index"));
    h.i32(); // photo date: the catalogue reads it
    const std::int32_t n = h.i32();
    const std::int64_t tableEnd = 8 + 12 * std::int64_t(n);
    if (n < 0 || tableEnd > fileSize)
        Fail(path, QStringLiteral("photo index of %1 records does not fit in the file (size %2)").arg(n).arg(fileSize));
    QByteArray table = f.read(12 * std::int64_t(n));
    ByteReader r(table, path, QStringLiteral("photo index"), 8);
    db.Fotos.resize(n);
    for (TFoto& foto : db.Fotos) {
        foto.build_id = r.i32();
        foto.offset = static_cast<std::int32_t>(r.i32() + tableEnd);
        foto.size = r.i32();
    }
}

int FindFoto(const CityDb& db, std::int32_t buildId) {
    for (size_t i = 0; i < db.Fotos.size(); ++i)
        if (db.Fotos[i].build_id == buildId) return static_cast<int>(i);
    return -1;
}

QByteArray ReadFotoBytes(const CityFileRef& city, const TFoto& foto) {
    return ReadRange(city.FotoPath(), QStringLiteral("photo of building %1").arg(foto.build_id), foto.offset,
                     std::int64_t(foto.offset) + foto.size);
}

QByteArray ReadResource(const CityFileRef& city, const TResource& resource) {
    if (resource.size == -1) return {};
    const std::int64_t start = std::int64_t(city.offset3) + resource.offset;
    if (resource.offset < 0 || resource.size < 0)
        Fail(city.FilePath(), QStringLiteral("resource reference %1/%2 is invalid").arg(resource.offset).arg(resource.size));
    return ReadRange(city.FilePath(), QStringLiteral("resource at offset %1").arg(start), start,
                     start + resource.size);
}
