// Painting of the map's floating overlays: info balloons with their buttons, the ruler with its node
// labels and rubber band, and the search radius.
#pragma once

#include "CardPainter.h"
#include "Ruler.h"

#include <QFont>
#include <QHash>
#include <QImage>
#include <QPoint>
#include <memory>

class QPainter;
struct CityDb;
struct CityFileRef;

// Fonts of the balloons (rows) and of the ruler's node labels, with their measures, and the small
// pictures drawn again and again (buttons, node labels and circles) kept per pixel density.
class OverlayFonts {
public:
    OverlayFonts();
    ~OverlayFonts();
    const FontMeasure& Balloon() const { return *balloon_; }
    const FontMeasure& Label() const { return *label_; }

    const QImage& Button(const Tbtn& b, bool pinned, qreal ratio) const;
    // A node label: rounded box, text and close button at rest.
    const QImage& NodeLabel(const QString& text, int width, int height, qreal ratio) const;
    const QImage& NodeCircle(TColor color, qreal ratio) const;

private:
    void Forget(qreal ratio) const;

    std::unique_ptr<FontMeasure> balloon_, label_;
    mutable qreal ratio_ = 1;
    mutable QHash<int, QImage> buttons_;
    mutable QHash<QString, QImage> labels_;
    mutable QImage circle_;
    mutable TColor circleColor_ = 0;
};

// Balloons first to last; closed ones and hidden banners are left out. `smooth` antialiases the tails.
void DrawBalloons(QPainter& p, TBalloonList& list, const MapView& v, const OverlayFonts& fonts, bool smooth);
void DrawBalloon(QPainter& p, TInfo& info, const MapView& v, const OverlayFonts& fonts, bool smooth);
// The segments and, when NodeVisible, the node labels (laid out afresh for the view).
void DrawRuler(QPainter& p, TMeas& meas, const MapView& v, const OverlayFonts& fonts, int shellLang);
// The line from the last node to the pointer.
void DrawRubberBand(QPainter& p, const TMeas& meas, const MapView& v, QPoint pointer, TColor color);
// The tinted circle with its five handles, when shown.
void DrawRadius(QPainter& p, const TRadius& radius, const MapView& v);

// A building photo from the city's photo file, bounded in bytes and size; null when the reference lies
// outside the file, the bytes do not decode, or anything else is wrong with it.
std::shared_ptr<QImage> LoadBalloonFoto(const CityDb& db, int foto, const CityFileRef& city, int& width,
                                        int& height);
