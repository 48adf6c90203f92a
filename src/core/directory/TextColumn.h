// Many short texts in one buffer, searched for a substring at once: one pass over the buffer instead
// of one search per text. The texts are kept as given (callers upper- or lower-case them first).
#pragma once

#include <QString>
#include <vector>

class TextColumn {
public:
    void Add(const QString& text);
    int Count() const { return int(starts_.size()) - 1; }
    // Rows whose text contains `needle`, ascending; every row for an empty needle.
    std::vector<int> Find(QStringView needle) const;
    bool Contains(int row, QStringView needle) const;

private:
    QString buffer_;                   // every text followed by a NUL
    std::vector<qsizetype> starts_{0}; // row r is buffer_[starts_[r], starts_[r + 1] - 1)
};
