// What the map shows besides the city itself: the blink phase, the objects shown on top, outlined
// districts, motion-dependent quality, and the marks over buildings of the current result list.
#pragma once

#include "MapObjects.h"

#include <vector>

// Objects drawn on top while they blink: buildings, stops or streets by position.
struct Tbo {
    TObjType tip = otNone;
    Tai ids;
};

struct TMark {
    int BuildIndex = 0;
    int RedCount = 1;
    int YellowCount = 0;

    bool Shows() const { return RedCount != 0 || YellowCount != 0; }
    bool Yellow() const { return YellowCount >= 1; }
    void ChangeToYellow() { --RedCount, ++YellowCount; }
    void ChangeToRed() { ++RedCount, --YellowCount; }
};

struct TMarks {
    std::vector<TMark> mark;

    void Clear() { mark.clear(); }
    int GetMark(int buildIndex) const;
    void AddFlag(int buildIndex);
    void RemoveFlag(int buildIndex);
};

struct MapDisplay {
    int BlinkCounter = 0;
    Tbo ShownObjects;
    Tai FoundZones; // district fields to outline
    bool SmoothNow = true;
    bool TextsOn = true;
    TMarks Marks;

    // The blink highlight: found objects are painted in the active colour.
    bool BlinkHighlight() const { return BlinkCounter > 0 && BlinkCounter % 2 == 1; }
};
