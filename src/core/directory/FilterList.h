// The candidates of the drop-down that the search fields share, and how one entry is drawn. A source
// filters by the typed text (substring of the upper-cased candidate) in its own order; EntryRuns splits an
// entry into pieces: the typed part bold, a street's type word green, a qualifier in parentheses maroon.
#pragma once

#include "TextColumn.h"

#include <QString>
#include <QStringList>
#include <vector>

class OrgSearchIndex;

class FilterSource {
public:
    virtual ~FilterSource() = default;
    virtual int Count() const = 0;
    virtual QString Text(int i) const = 0;
    // Positions of the candidates whose upper-cased text contains `upper` (every candidate for an empty
    // text), in the list's order (ascending unless a source says otherwise).
    virtual std::vector<int> Filter(const QString& upper) const = 0;
};

// Texts kept by the source with their upper-cased forms in one buffer. `sorted` orders them
// alphabetically ignoring case (Russian collation, which also orders Latin letters); duplicates stay.
class TextListSource : public FilterSource {
public:
    explicit TextListSource(QStringList texts, bool sorted = false);
    int Count() const override { return int(texts_.size()); }
    QString Text(int i) const override { return texts_.value(i); }
    std::vector<int> Filter(const QString& upper) const override;
    const QStringList& Texts() const { return texts_; }
    // Position of the first candidate equal to `text`, -1 when none.
    int IndexOf(const QString& text) const { return int(texts_.indexOf(text)); }

private:
    QStringList texts_;
    TextColumn upper_;
};

// Organisation names in Orgs order through the search index's prepared captions; nothing is listed
// below three typed characters.
class OrgNameSource : public FilterSource {
public:
    static constexpr int MinChars = 3;
    explicit OrgNameSource(const OrgSearchIndex& index) : index_(index) {}
    int Count() const override;
    QString Text(int i) const override;
    std::vector<int> Filter(const QString& upper) const override;

private:
    const OrgSearchIndex& index_;
};

// Street type words in the order they are tried; "улица" is the default shown after a bare Cyrillic name.
const QStringList& StreetTypeWords();

// Between a street's name and its town in the street list, where streets of one name lie in several towns.
inline constexpr QStringView StreetTownSeparator = u" \u2014 ";

enum class EntryInk { Black, Maroon, Green };
struct EntryRun {
    QString text;
    EntryInk ink = EntryInk::Black;
    bool bold = false;
    bool operator==(const EntryRun&) const = default;
};

// An entry as drawn. For a street (`street`): a type word at the end moves behind a blank in green (the
// default "улица" after a Cyrillic name without one); one elsewhere in the name is green where it stands;
// a town after StreetTownSeparator is maroon.
// The first occurrence of `upperText` is bold; from " (" with a ")" after it the text is maroon.
std::vector<EntryRun> EntryRuns(const QString& entry, const QString& upperText, bool street);
// The drawn text of an entry: its runs joined.
QString EntryText(const QString& entry, bool street);
