#include "Rubricator.h"

#include "OrgSearch.h"

std::vector<RubricNode> ParseRubricTree(const QString& tree) {
    std::vector<RubricNode> nodes;
    std::vector<int> path; // the open node at each depth
    for (QStringView line : QStringView(tree).tokenize(u'\n')) {
        if (line.endsWith(u'\r')) line.chop(1);
        qsizetype indent = 0;
        while (indent < line.size() && (line[indent] == u' ' || line[indent] == u'\t'))
            ++indent;
        const QStringView text = line.mid(indent);
        if (text.isEmpty()) continue;
        const std::size_t depth = std::min<std::size_t>(std::size_t(indent), path.size());
        path.resize(depth);
        nodes.push_back({text.toString(), int(depth), path.empty() ? -1 : path.back()});
        path.push_back(int(nodes.size()) - 1);
    }
    return nodes;
}

RubricTreeIndex::RubricTreeIndex(const QString& tree) : nodes_(ParseRubricTree(tree)) {
    upper_.reserve(nodes_.size());
    for (std::size_t i = 0; i < nodes_.size(); ++i) {
        upper_.push_back(SearchUpper(nodes_[i].text));
        if (nodes_[i].depth <= 1) short_.push_back(int(i));
    }
}

std::vector<int> RubricTreeIndex::Narrow(const QString& text) const {
    if (!Narrows(text)) return short_;
    const QString key = SearchUpper(text);
    std::vector<char> keep(nodes_.size(), 0);
    for (std::size_t i = 0; i < nodes_.size(); ++i)
        keep[i] = (nodes_[i].depth == 1 || nodes_[i].depth == 2) && upper_[i].contains(key);
    // Parents come before their children, so one backward pass carries a match up to its group.
    for (std::size_t i = nodes_.size(); i-- > 0;)
        if (keep[i] && nodes_[i].parent >= 0) keep[std::size_t(nodes_[i].parent)] = 1;
    std::vector<int> out;
    for (std::size_t i = 0; i < nodes_.size(); ++i)
        if (keep[i]) out.push_back(int(i));
    return out;
}

bool OpensRubricator(QChar c) {
    const char16_t u = c.unicode();
    return u == u' ' || (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') || (u >= 0x0410 && u <= 0x044F);
}
