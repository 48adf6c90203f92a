// The room the map's text labels take in one frame, so that what is drawn around them (ordinary stops,
// point-of-interest icons, house numbers) leaves them readable: labels first.
#pragma once

#include <QPoint>
#include <QRect>
#include <vector>

class LabelRoom {
public:
    void Clear() { boxes_.clear(); }
    // A label drawn at `anchor`, turned by `degrees` counter-clockwise about it, covering `local` (in
    // pixels, relative to the anchor before the turn).
    void Add(QPoint anchor, double degrees, const QRect& local);
    // Whether a box of `halfWidth` × `halfHeight` pixels either side of `centre` meets a label.
    bool Covers(QPoint centre, int halfWidth, int halfHeight) const;
    bool Empty() const { return boxes_.empty(); }

private:
    struct Box {
        QPoint anchor;
        double cos, sin; // of the turn
        QRect local;
        QRect bounds; // on the screen
    };
    std::vector<Box> boxes_;
};
