#include "TextColumn.h"

#include <QStringMatcher>
#include <algorithm>
#include <numeric>

void TextColumn::Add(const QString& text) {
    buffer_ += text;
    buffer_ += QChar(0);
    starts_.push_back(buffer_.size());
}

std::vector<int> TextColumn::Find(QStringView needle) const {
    std::vector<int> out;
    if (needle.isEmpty()) {
        out.resize(std::size_t(Count()));
        std::iota(out.begin(), out.end(), 0);
        return out;
    }
    // One matcher for the whole walk: its skip table is built once, not at every hit.
    const QStringMatcher matcher(needle);
    qsizetype from = 0;
    while (true) {
        const qsizetype p = matcher.indexIn(buffer_, from);
        if (p < 0) break;
        const std::size_t r =
            std::size_t(std::upper_bound(starts_.begin(), starts_.end(), p) - starts_.begin()) - 1;
        // A hit counts only inside one text, never across the separator.
        if (p + needle.size() <= starts_[r + 1] - 1) {
            out.push_back(int(r));
            from = starts_[r + 1];
        } else {
            from = p + 1;
        }
    }
    return out;
}

bool TextColumn::Contains(int row, QStringView needle) const {
    if (row < 0 || row >= Count()) return false;
    const std::size_t r = std::size_t(row);
    return QStringView(buffer_).mid(starts_[r], starts_[r + 1] - 1 - starts_[r]).contains(needle);
}
