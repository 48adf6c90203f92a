#include "ComponentNames.h"

#include "HttpClient.h"

#include <QHash>
#include <QRegularExpression>

namespace {

// The longest local name taken from a list; real ones are a city's name and an extension.
constexpr int MaxLocalNameLength = 120;

bool HasExtension(const QString& name, QLatin1String extension) {
    return name.size() > extension.size() && name.endsWith(extension, Qt::CaseInsensitive);
}

QString BaseOf(const QString& name) {
    return name.left(name.lastIndexOf('.'));
}

// Names are compared as a case-blind file system would, so that no two rows share a file anywhere.
QString Key(const QString& name) {
    return name.toCaseFolded();
}

} // namespace

QString LocalName(const QString& path) {
    return path.section('/', -1);
}

bool IsSafeFileName(const QString& name) {
    if (name.isEmpty() || name.size() > MaxLocalNameLength || name.startsWith('.')) return false;
    // Windows drops trailing dots and blanks, which would make two names one.
    if (name.endsWith('.') || name.endsWith(' ')) return false;
    for (const QChar c : name)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || c == '/' || c == '\\' || c == ':') return false;
    return true;
}

std::optional<qint64> DeclaredSize(const QString& caption) {
    static const QRegularExpression size(QStringLiteral("^\\s*(\\d{1,9})(?:[.,](\\d{1,3}))?\\s*(\\S*)\\s*$"));
    const auto m = size.match(caption);
    if (!m.hasMatch()) return std::nullopt;
    const QString unit = m.captured(3).toLower();
    qint64 scale;
    if (unit.isEmpty() || unit == u"b" || unit == u"б" || unit == u"байт")
        scale = 1;
    else if (unit == u"kb" || unit == u"kib" || unit == u"k" || unit == u"кб" || unit == u"к")
        scale = qint64(1) << 10;
    else if (unit == u"mb" || unit == u"mib" || unit == u"m" || unit == u"мб" || unit == u"м")
        scale = qint64(1) << 20;
    else if (unit == u"gb" || unit == u"gib" || unit == u"g" || unit == u"гб" || unit == u"г")
        scale = qint64(1) << 30;
    else
        return std::nullopt;
    const QString fraction = m.captured(2);
    qint64 divisor = 1;
    for (int i = 0; i < fraction.size(); ++i)
        divisor *= 10;
    // Whole units plus the fraction, rounded up: a declared size is never understated by the parse.
    return m.captured(1).toLongLong() * scale + (fraction.toLongLong() * scale + divisor - 1) / divisor;
}

qint64 DownloadBound(const QString& caption) {
    const auto declared = DeclaredSize(caption);
    if (!declared || *declared <= 0) return MaxDownloadBytes;
    // Captions round ("4.2 MB" may be 4.25 MB) and are written by hand: a quarter and a megabyte of
    // room is plenty for that and still stops a server that sends gigabytes.
    return std::min(MaxDownloadBytes, *declared + *declared / 4 + (qint64(1) << 20));
}

std::vector<RowRefusal> CheckLocalNames(const TInfTable& table, const std::vector<TCity>& installed) {
    std::vector<RowRefusal> refusals(table.size());
    // Every name a city row would write, with the rows that name it.
    QHash<QString, QStringList> claims;
    for (std::size_t i = 1; i < table.size(); ++i) {
        claims[Key(LocalName(table[i].FileName))] << table[i].CityName;
        if (!table[i].FileNameFoto.isEmpty())
            claims[Key(LocalName(table[i].FileNameFoto))] << table[i].CityName + QStringLiteral(" (photos)");
    }
    QHash<QString, QString> cityFiles; // installed city files by their key, and their own names
    for (const TCity& city : installed)
        cityFiles.insert(Key(city.FileName), city.FileName);

    auto shared = [&](const QString& path, const QString& who) -> QString {
        const QString name = LocalName(path);
        if (cityFiles.contains(Key(name)))
            return QStringLiteral("The list names \"%1\" for %2: that is the installed city file \"%3\"")
                .arg(path, who, cityFiles.value(Key(name)));
        const QStringList& users = claims[Key(name)];
        if (users.size() > 1)
            return QStringLiteral("The list names \"%1\" for more than one file: %2")
                .arg(path, users.join(QStringLiteral(", ")));
        return {};
    };
    for (std::size_t i = 1; i < table.size(); ++i) {
        const TFileInf& row = table[i];
        const QString archive = LocalName(row.FileName);
        RowRefusal& r = refusals[i];
        if (!IsSafeFileName(archive) || !HasExtension(archive, QLatin1String(".zip")))
            r.Update = QStringLiteral("The list names \"%1\" for %2: a city archive is a plain file name "
                                      "ending in .zip")
                           .arg(row.FileName, row.CityName);
        else
            r.Update = shared(row.FileName, row.CityName);

        if (row.FileNameFoto.isEmpty()) continue;
        const QString foto = LocalName(row.FileNameFoto);
        // The photo file is found beside the city file under the city's name: any other name would
        // write a file no city reads, or another city's photos.
        QStringList owners{BaseOf(archive)};
        for (const TCity& city : installed)
            if (city.CityName == row.CityName) owners << city.EngName;
        if (!IsSafeFileName(foto) || !HasExtension(foto, QLatin1String(".img")) ||
            !owners.contains(BaseOf(foto)))
            r.Foto = QStringLiteral("The list names \"%1\" for the photos of %2: a photo file is named "
                                    "like its city, \"%3.img\"")
                         .arg(row.FileNameFoto, row.CityName, owners.first());
        else
            r.Foto = shared(row.FileNameFoto, row.CityName + QStringLiteral(" (photos)"));
    }
    return refusals;
}
