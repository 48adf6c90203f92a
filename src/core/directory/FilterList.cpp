#include "FilterList.h"

#include "OrgSearch.h"

#include <QCollator>
#include <QLocale>
#include <algorithm>
#include <numeric>

TextListSource::TextListSource(QStringList texts, bool sorted) {
    if (sorted && texts.size() > 1) {
        QCollator collator{QLocale(QLocale::Russian)};
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        std::vector<QCollatorSortKey> keys;
        keys.reserve(std::size_t(texts.size()));
        for (const QString& t : texts)
            keys.push_back(collator.sortKey(t));
        std::vector<int> order(std::size_t(texts.size()));
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            return keys[std::size_t(a)].compare(keys[std::size_t(b)]) < 0;
        });
        QStringList byName;
        byName.reserve(texts.size());
        for (int i : order)
            byName.push_back(texts[i]);
        texts = std::move(byName);
    }
    texts_ = std::move(texts);
    for (const QString& t : texts_)
        upper_.Add(SearchUpper(t));
}

std::vector<int> TextListSource::Filter(const QString& upper) const {
    return upper_.Find(upper);
}

int OrgNameSource::Count() const {
    return int(index_.Db().Orgs.size());
}

QString OrgNameSource::Text(int i) const {
    const auto& orgs = index_.Db().Orgs;
    return i >= 0 && std::size_t(i) < orgs.size() ? InLang(orgs[std::size_t(i)].caption, index_.DataLang())
                                                  : QString();
}

std::vector<int> OrgNameSource::Filter(const QString& upper) const {
    if (upper.size() < MinChars) return {};
    OrgCriteria c;
    c.Name = upper;
    return index_.FindOrgs(c, {}, QDateTime());
}

const QStringList& StreetTypeWords() {
    // The designed words first; "улица" and the English words are recognised too, so that names stored
    // with them do not get a second type.
    static const QStringList words = {
        QStringLiteral("переулок"),   QStringLiteral("проспект"), QStringLiteral("площадь"),
        QStringLiteral("набережная"), QStringLiteral("бульвар"),  QStringLiteral("проезд"),
        QStringLiteral("тупик"),      QStringLiteral("шоссе"),    QStringLiteral("мкад"),
        QStringLiteral("street"),     QStringLiteral("avenue"),   QStringLiteral("lane"),
        QStringLiteral("boulevard"),  QStringLiteral("passage"),  QStringLiteral("embankment"),
        QStringLiteral("highway"),    QStringLiteral("square"),   QStringLiteral("road"),
        QStringLiteral("улица")};
    return words;
}

namespace {

const QString DefaultStreetType = QStringLiteral("улица");

struct StreetForm {
    QString text;
    qsizetype greenFrom = -1, greenTo = -1;
    qsizetype townFrom = -1;
};

bool WordAt(const QString& s, qsizetype at, qsizetype len) {
    return (at == 0 || s[at - 1] == u' ') && (at + len == s.size() || s[at + len] == u' ');
}

// The default type word is Russian: it goes only after a name written in Cyrillic, so that a name in
// another language ("Landstrasse", "Triq il-Kbira") keeps the street word it carries.
bool Cyrillic(const QString& s) {
    return std::any_of(s.begin(), s.end(), [](QChar c) { return c.script() == QChar::Script_Cyrillic; });
}

StreetForm FormatName(const QString& entry) {
    StreetForm f;
    QString name = entry, type;
    for (const QString& w : StreetTypeWords()) {
        const qsizetype at = name.size() - w.size();
        if (at > 0 && name[at - 1] == u' ' &&
            QStringView(name).mid(at).compare(w, Qt::CaseInsensitive) == 0) {
            type = name.mid(at);
            name.truncate(at - 1);
        }
    }
    if (!type.isEmpty()) {
        f.text = name + u' ' + type;
        f.greenFrom = name.size();
        f.greenTo = f.text.size();
        return f;
    }
    // Names that begin with their type ("улица Ленина", "2-й проспект Мира") show it where it stands.
    for (const QString& w : StreetTypeWords()) {
        for (qsizetype at = name.indexOf(w, 0, Qt::CaseInsensitive); at >= 0;
             at = name.indexOf(w, at + 1, Qt::CaseInsensitive))
            if (WordAt(name, at, w.size())) {
                f.text = name;
                f.greenFrom = at;
                f.greenTo = at + w.size();
                return f;
            }
    }
    f.text = name;
    if (!Cyrillic(name)) return f;
    f.text += u' ' + DefaultStreetType;
    f.greenFrom = name.size();
    f.greenTo = f.text.size();
    return f;
}

// A street whose name other streets share carries its town after a dash ("Landstrasse — Triesen"):
// the type word goes with the name, the town stays behind it.
StreetForm FormatStreet(const QString& entry) {
    const qsizetype dash = entry.lastIndexOf(StreetTownSeparator);
    if (dash <= 0) return FormatName(entry);
    StreetForm f = FormatName(entry.left(dash));
    f.townFrom = f.text.size();
    f.text += QStringView(entry).mid(dash);
    return f;
}

} // namespace

QString EntryText(const QString& entry, bool street) {
    return street ? FormatStreet(entry).text : entry;
}

std::vector<EntryRun> EntryRuns(const QString& entry, const QString& upperText, bool street) {
    StreetForm form;
    if (street)
        form = FormatStreet(entry);
    else
        form.text = entry;
    const QString& text = form.text;
    const qsizetype n = text.size();
    std::vector<EntryInk> ink(std::size_t(n), EntryInk::Black);
    std::vector<char> bold(std::size_t(n), 0);

    const qsizetype open = text.indexOf(QStringLiteral(" ("));
    const qsizetype close = text.indexOf(u')');
    if (open >= 0 && close > open) std::fill(ink.begin() + open, ink.end(), EntryInk::Maroon);
    if (form.greenFrom >= 0)
        std::fill(ink.begin() + form.greenFrom, ink.begin() + form.greenTo, EntryInk::Green);
    if (form.townFrom >= 0) std::fill(ink.begin() + form.townFrom, ink.end(), EntryInk::Maroon);
    if (!upperText.isEmpty()) {
        const qsizetype at = SearchUpper(text).indexOf(upperText);
        // Upper-casing may lengthen a text; the mark never reaches past the entry.
        if (at >= 0 && at < n)
            std::fill(bold.begin() + at, bold.begin() + std::min(n, at + upperText.size()), 1);
    }

    std::vector<EntryRun> runs;
    for (qsizetype i = 0; i < n; ++i) {
        const EntryInk k = ink[std::size_t(i)];
        const bool b = bold[std::size_t(i)];
        if (runs.empty() || runs.back().ink != k || runs.back().bold != b) runs.push_back({QString(), k, b});
        runs.back().text += text[i];
    }
    return runs;
}
