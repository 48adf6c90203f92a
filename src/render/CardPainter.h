// Painting of result cards: the card font and its measure, the small card icons (drawn in code), the
// logos of social networks and payment kinds, and the list drawn at a scroll position.
#pragma once

#include "Cards.h"

#include <QFont>
#include <QFontMetrics>
#include <QHash>
#include <QImage>
#include <map>

struct CityFileRef;
class QPainter;

// The font the cards are laid out and drawn with.
QFont CardFont();

class FontMeasure : public TextMeasure {
public:
    explicit FontMeasure(const QFont& font);
    int Width(const QString& text, bool bold) const override;
    int Height(bool bold) const override { return bold ? boldHeight_ : regularHeight_; }
    const QFont& Font(bool bold) const { return bold ? boldFont_ : font_; }

private:
    QFont font_, boldFont_;
    QFontMetrics regular_, bold_;
    int regularHeight_, boldHeight_;
    mutable QHash<QString, int> cache_[2];
};

// A fixed card icon by its name ("imgPage", "imgWWW", ..., "imgCollapse", "imgExpand"); null if unknown.
// Drawn for a surface with `ratio` device pixels per pixel, at the same logical size.
const QImage* CardIcon(const QString& name, double ratio = 1);

// Pictures by name for one city: the fixed icons and "imgSocnet"/"imgMoney" + index from the city's logos.
class CardPictures {
public:
    CardPictures(CityDb& db, const CityFileRef* city) : db_(db), city_(city) {}
    const QImage* Get(const QString& name, double ratio = 1);
    // A banner decoded for a card; null when it does not decode or there is no city file.
    std::shared_ptr<QImage> Banner(TImg& img, int& width, int& height);

private:
    CityDb& db_;
    const CityFileRef* city_;
    std::map<std::pair<QString, int>, QImage> logos_; // by name and ratio in hundredths
};

// Paints one card with its top at `card.top - offset`.
void DrawCard(QPainter& p, const TCard& card, int W, int offset, const FontMeasure& m,
              CardPictures& pictures);
// Fills a W x H view with the list background and paints the cards visible from `offset` down.
void DrawCards(QPainter& p, const TCards& cards, int W, int H, int offset, const FontMeasure& m,
               CardPictures& pictures);
