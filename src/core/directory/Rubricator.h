// The rubric tree of a city as the rubricator shows it: nodes in tree order with their depth (groups,
// rubrics, entries naming other rubrics), the short tree of groups and rubrics, and the tree narrowed to
// the rubrics and entries whose names contain a typed text.
#pragma once

#include <QString>
#include <vector>

struct RubricNode {
    QString text;
    int depth =
        0; // 0 group, 1 rubric, 2 an entry naming another rubric; deeper lines are kept but never chosen
    int parent = -1; // position of the parent node, -1 for a group
};

// One node per non-blank line. The depth is the count of leading blanks and tabs, but at most one more
// than the line before: a deeper indented line still becomes a child of the line before it.
std::vector<RubricNode> ParseRubricTree(const QString& tree);

class RubricTreeIndex {
public:
    RubricTreeIndex() = default;
    explicit RubricTreeIndex(const QString& tree);
    const std::vector<RubricNode>& Nodes() const { return nodes_; }
    // Groups and rubrics, in tree order.
    const std::vector<int>& ShortTree() const { return short_; }
    // The short tree for a text of at most one character; otherwise every rubric or entry whose
    // upper-cased name contains the upper-cased text, with its ancestors, in tree order.
    std::vector<int> Narrow(const QString& text) const;
    static bool Narrows(const QString& text) { return text.size() > 1; }

private:
    std::vector<RubricNode> nodes_;
    std::vector<QString> upper_;
    std::vector<int> short_;
};

// Key presses in the rubric field that open the rubricator: a blank, a Latin letter or a Russian
// letter from "А" to "я" ("Ё" and "ё" are not among them).
bool OpensRubricator(QChar c);
