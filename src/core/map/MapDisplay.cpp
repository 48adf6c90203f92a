#include "MapDisplay.h"

int TMarks::GetMark(int buildIndex) const {
    for (size_t i = 0; i < mark.size(); ++i)
        if (mark[i].BuildIndex == buildIndex) return static_cast<int>(i);
    return -1;
}

void TMarks::AddFlag(int buildIndex) {
    int i = GetMark(buildIndex);
    if (i < 0) mark.push_back(TMark{buildIndex, 1, 0});
    else ++mark[i].RedCount;
}

void TMarks::RemoveFlag(int buildIndex) {
    int i = GetMark(buildIndex);
    if (i >= 0) --mark[i].RedCount;
}
