#include "StreetNames.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>
#include <algorithm>
#include <initializer_list>

namespace {

// A street word and the ways addresses write it; `kind` words say what sort of street it is and may
// stand on either side of the name ("улица Ленина", "Ленина ул.").
struct Word {
    const char* key;
    bool kind;
    std::initializer_list<const char*> forms;
};

// Forms are written without accents and dots, as the key sees them.
const Word Words[] = {
    // "St." is Sankt, Saint or Street: one key for all three, which only ever meet within a town.
    {"st", false, {"st", "sankt", "saint", "san", "street"}},
    {"ste", false, {"ste", "sainte"}},
    {"str", true, {"str", "strasse", "straat"}},
    {"pl", true, {"pl", "place", "platz", "plaza", "plac", "placa", "pza", "piazza", "площадь", "площа"}},
    {"av", true, {"av", "ave", "avenue", "avda", "avenida", "aven"}},
    {"bd", true, {"bd", "bld", "blvd", "bvd", "boul", "boulevard", "bul", "бул", "бульв", "бульвар"}},
    {"rue", true, {"r", "rue"}},
    {"ch", true, {"ch", "chemin"}},
    {"rte", true, {"rte", "route"}},
    {"imp", true, {"imp", "impasse"}},
    {"all", true, {"all", "allee"}},
    {"esc", true, {"esc", "escalier", "escaliers"}},
    {"qu", true, {"qu", "quai"}},
    {"prom", true, {"prom", "promenade"}},
    {"fg", true, {"fg", "fbg", "faubourg"}},
    {"crs", true, {"crs", "cours"}},
    {"via", true, {"v", "via"}},
    {"vle", true, {"vle", "viale"}},
    {"cso", true, {"cso", "corso"}},
    {"lgo", true, {"lgo", "largo"}},
    {"calle", true, {"c", "cl", "calle"}},
    {"rd", true, {"rd", "road"}},
    {"ln", true, {"ln", "lane"}},
    // "Dr." is Drive or Doktor (Doctor, Docteur): like "St.", the two only ever meet within a town.
    {"dr", true, {"dr", "drive", "doktor", "doctor", "docteur"}},
    {"sq", true, {"sq", "square"}},
    {"ct", true, {"ct", "court"}},
    {"hwy", true, {"hwy", "highway"}},
    {"pkwy", true, {"pkwy", "parkway"}},
    {"ul", true, {"ul", "ulica", "ул", "улица", "вул", "вулиця"}},
    {"al", true, {"al", "aleja", "aleje"}},
    {"os", true, {"os", "osiedle"}},
    {"nam", true, {"nam", "namesti"}},
    {"tr", true, {"tr", "trida"}},
    {"пр", true, {"пр", "просп", "проспект", "проезд", "прозд"}},
    {"пер", true, {"пер", "переулок", "пров", "провулок"}},
    {"наб", true, {"наб", "набережная", "набережна"}},
    {"ш", true, {"ш", "шоссе"}},
    {"туп", true, {"туп", "тупик"}},
    {"мкр", true, {"мкр", "микрорайон", "мкрн"}},
};

// Abbreviations with a dot or hyphen inside, spelled out before the punctuation goes.
const std::pair<const char*, const char*> Contractions[] = {
    {"p.zza", "piazza"},   {"p.za", "piazza"},      {"c.so", "corso"},  {"v.le", "viale"},
    {"l.go", "largo"},     {"пр-т", "проспект"},    {"пр-д", "проезд"}, {"б-р", "бульвар"},
    {"пр-кт", "проспект"}, {"мкр-н", "микрорайон"},
};

struct Tables {
    QHash<QString, QString> keyOf;
    QSet<QString> kinds;
    QRegularExpression contraction;
    QHash<QString, QString> contractions;
};

const Tables& Table() {
    static const Tables t = [] {
        Tables t;
        for (const Word& w : Words) {
            const QString key = QString::fromUtf8(w.key);
            for (const char* f : w.forms)
                t.keyOf.insert(QString::fromUtf8(f), key);
            if (w.kind) t.kinds.insert(key);
        }
        QStringList alternatives;
        for (const auto& [from, to] : Contractions) {
            t.contractions.insert(QString::fromUtf8(from), QString::fromUtf8(to));
            alternatives << QRegularExpression::escape(QString::fromUtf8(from));
        }
        t.contraction =
            QRegularExpression(QStringLiteral("(?<!\\w)(%1)(?!\\w)").arg(alternatives.join(u'|')));
        return t;
    }();
    return t;
}

// Lower-case text without accents; letters that do not decompose take their plain form.
QString WithoutAccents(const QString& s) {
    static const std::pair<char16_t, const char*> plain[] = {
        {u'ß', "ss"}, {u'ł', "l"}, {u'ø', "o"}, {u'đ', "d"}, {u'æ', "ae"}, {u'œ', "oe"}, {u'ı', "i"}};
    QString out;
    out.reserve(s.size());
    for (QChar c : s.normalized(QString::NormalizationForm_D)) {
        if (c.category() == QChar::Mark_NonSpacing) continue;
        const auto* p =
            std::find_if(std::begin(plain), std::end(plain), [c](const auto& e) { return e.first == c; });
        if (p != std::end(plain))
            out += QLatin1String(p->second);
        else
            out += c;
    }
    return out;
}

} // namespace

QString StreetKey(const QString& name) {
    QString k = name.toCaseFolded().simplified();
    k.replace(QChar(0x2019), u'\'').replace(QChar(0x02BC), u'\'');
    return k;
}

QString LooseStreetKey(const QString& name) {
    const Tables& t = Table();
    QString s = WithoutAccents(name.toCaseFolded());
    if (s.contains(u'.') || s.contains(u'-')) {
        QString spelled;
        qsizetype last = 0;
        for (auto it = t.contraction.globalMatch(s); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            spelled += QStringView(s).mid(last, m.capturedStart() - last);
            spelled += t.contractions.value(m.captured(1)) + u' ';
            last = m.capturedEnd();
        }
        spelled += QStringView(s).mid(last);
        s = spelled;
    }
    for (QChar& c : s)
        if (!c.isLetterOrNumber()) c = u' ';
    QStringList words;
    for (const QString& raw : s.split(u' ', Qt::SkipEmptyParts)) {
        const QString key = t.keyOf.value(raw);
        if (!key.isEmpty()) {
            words << key;
            continue;
        }
        // "Hauptstraße", "Hauptstr." and "Haupt-Str." name one street.
        bool split = false;
        for (const char* suffix : {"strasse", "straat", "str"}) {
            const QLatin1String sfx(suffix);
            if (raw.size() > sfx.size() + 1 && raw.endsWith(sfx)) {
                words << raw.left(raw.size() - sfx.size()) << QStringLiteral("str");
                split = true;
                break;
            }
        }
        if (!split) words << raw;
    }
    QStringList body, kinds;
    for (const QString& w : words)
        (t.kinds.contains(w) ? kinds : body) << w;
    std::sort(kinds.begin(), kinds.end());
    return body.join(QString()) + u'|' + kinds.join(u' ');
}
