// Map labels of imported cities: how a label's stored corner and angle put its text where it was
// meant, at which scales the map draws it, that no two overlap where both are drawn, and what an
// extract with streets, places and waters gets.
#include "OsmLabels.h"
#include "ImportedCity.h"

#include <QFileInfo>
#include <cmath>
#include <map>
#include <set>

namespace {

// A stored label's box on the map, back from its top left corner and angle.
LabelPlacer::Box BoxOfText(const TText& t) {
    const double a = t.angle / 10.0 * M_PI / 180;
    const TCoord u{float(std::cos(a)), float(-std::sin(a))}, down{float(std::sin(a)), float(std::cos(a))};
    float w = 0;
    for (const QString& s : t.Text)
        w = std::max(w, LabelTextWidth(s, t.size));
    const float h = LabelTextHeight(t.size);
    const TCoord centre{t.x + u.x * w / 2 + down.x * h / 2, t.y + u.y * w / 2 + down.y * h / 2};
    // The text itself, a little inside the room the importer keeps around it.
    return {centre, u, w * 0.5f, h * 0.4f, LabelScales(t.size, t.layer)};
}

// Every pair of labels drawn at a common scale must stand apart.
int Overlaps(const std::vector<TText>& texts) {
    LabelPlacer placer;
    int overlaps = 0;
    for (const TText& t : texts) {
        const LabelPlacer::Box b = BoxOfText(t);
        if (!placer.fits(b)) ++overlaps;
        placer.add(b);
    }
    return overlaps;
}

float Length(TCoord a, TCoord b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}

} // namespace

TEST(OsmLabels, TextRunsAlongItsLineUprightAndCentredWhereMeant) {
    LabelStyle style{{QStringLiteral("Rue Grimaldi")}, QStringLiteral("rue grimaldi"), 10, 0, 0};
    // Directions in the world (y grows southwards, as on the screen) and the angle the map turns the
    // text by, counter-clockwise in tenths of a degree; westwards and southwards read the other way.
    const struct {
        TCoord along;
        int angle;
    } cases[] = {{{1, 0}, 0},    {{-1, 0}, 0},   {{0, -1}, 900}, {{0, 1}, 900},
                 {{1, -1}, 450}, {{-1, 1}, 450}, {{1, 1}, 3150}, {{-1, -1}, 3150}};
    const TCoord centre{1000, -500};
    for (const auto& c : cases) {
        const TText t = MakeLabel(style, centre, c.along);
        EXPECT_EQ(t.angle, c.angle) << c.along.x << "," << c.along.y;
        const LabelPlacer::Box b = BoxOfText(t);
        EXPECT_LT(Length(b.centre, centre), 0.02f) << c.angle;
        EXPECT_EQ(t.size, 10);
    }
    // The widths are those of bold Arial (measured with Liberation Sans Bold at 1000 pixels).
    EXPECT_NEAR(LabelTextWidth(QStringLiteral("Rue Grimaldi"), 75) / 100, 6.2236, 0.001);
    EXPECT_NEAR(LabelTextWidth(QString::fromUtf8("Ленина"), 75) / 100, 3.6367, 0.001);
}

TEST(OsmLabels, ScalesFollowTheMapsRulesForSizeAndLayer) {
    const struct {
        int size, layer;
        float from0, to0, from1, to1; // two ranges; from > to: none
    } cases[] = {
        {8, 0, 0.1f, 1.8f, 1, 0},          // small: zoomed in, from 1.8 m a pixel
        {5, 0, 0.1f, 5 / 3.5f, 1, 0},      // under 4 points sooner
        {30, 0, 0.1f, 4.999f, 1, 0},       // 30 m and more: while buildings are drawn
        {50, 1, 5, 50 / 3.5f, 1, 0},       // zoomed out only
        {10, 1, 5, 10 / 3.5f, 1, 0},       // never: too small when zoomed out
        {20, 2, 0.1f, 1.8f, 5, 20 / 3.5f}, // both, with a gap between
        {60, 2, 0.1f, 60 / 3.5f, 1, 0},
    };
    for (const auto& c : cases) {
        const auto r = LabelScales(c.size, c.layer);
        EXPECT_NEAR(r[0].from, c.from0, 1e-4) << c.size << "/" << c.layer;
        EXPECT_NEAR(r[0].to, c.to0, 1e-4) << c.size << "/" << c.layer;
        EXPECT_NEAR(r[1].from, c.from1, 1e-4) << c.size << "/" << c.layer;
        EXPECT_NEAR(r[1].to, c.to1, 1e-4) << c.size << "/" << c.layer;
    }
}

TEST(OsmLabels, OverlapsOnlyCountWhereBothAreDrawn) {
    LabelPlacer placer;
    const auto near = LabelScales(10, 0), far = LabelScales(60, 1);
    placer.add({{0, 0}, {1, 0}, 50, 5, near});
    EXPECT_FALSE(placer.fits({{40, 3}, {0, 1}, 20, 5, near})) << "crossing";
    EXPECT_TRUE(placer.fits({{40, 3}, {0, 1}, 20, 5, far})) << "never drawn together";
    EXPECT_TRUE(placer.fits({{0, 20}, {1, 0}, 50, 5, near})) << "one above the other";
    // Tilted boxes whose outer squares meet but which do not.
    const float r = std::sqrt(0.5f);
    placer.add({{200, 0}, {r, r}, 50, 3, near});
    EXPECT_TRUE(placer.fits({{240, -40}, {r, r}, 50, 3, near}));
    EXPECT_FALSE(placer.fits({{210, 10}, {r, -r}, 50, 3, near}));
}

TEST(OsmLabels, StreetsPlacesAndWatersAreNamedApart) {
    Imported im;
    ImportFixture(im, "labels.osm");
    const CityDb& db = im.city;
    std::map<QString, std::vector<const TText*>> byName;
    for (const TText& t : db.Texts)
        byName[t.Text[0]].push_back(&t);

    // The long avenue is named several times, far apart, along it, in both languages.
    const auto& avenue = byName[QStringLiteral("Avenue de la Mer")];
    ASSERT_GE(avenue.size(), 3u);
    for (const TText* t : avenue) {
        EXPECT_EQ(t->Text, (Tas{QStringLiteral("Avenue de la Mer"), QStringLiteral("Sea Avenue")}));
        EXPECT_EQ(t->angle, 0);
        EXPECT_EQ(t->size, 14);
        EXPECT_EQ(t->layer, 0);
    }
    for (std::size_t i = 0; i < avenue.size(); ++i)
        for (std::size_t j = i + 1; j < avenue.size(); ++j)
            EXPECT_GE(Length(BoxOfText(*avenue[i]).centre, BoxOfText(*avenue[j]).centre), 250);
    // A street going north-east reads rising; the short one across the avenue still has its name.
    ASSERT_FALSE(byName[QStringLiteral("Rue Montante")].empty());
    for (const TText* t : byName[QStringLiteral("Rue Montante")]) {
        EXPECT_GT(t->angle, 300);
        EXPECT_LT(t->angle, 500);
    }
    EXPECT_EQ(byName[QStringLiteral("Rue Courte")].size(), 1u);

    // Places by rank: zoomed in (layer 0) and, for the larger, zoomed out (layer 1), larger by rank.
    auto sizeOf = [&](const char* name, int layer) {
        for (const TText* t : byName[QString::fromUtf8(name)])
            if (t->layer == layer) return int(t->size);
        return 0;
    };
    const char* ranks[] = {"Grandville", "Bourg", "Hameau-le-Grand", "Les Hauts", "Le Coin", "Les Granges"};
    for (int i = 0; i + 1 < int(std::size(ranks)); ++i)
        EXPECT_GE(sizeOf(ranks[i], 0), sizeOf(ranks[i + 1], 0)) << ranks[i];
    EXPECT_GE(sizeOf("Hameau-le-Grand", 0), 30) << "a village's name shows wherever buildings do";
    EXPECT_EQ(sizeOf("Grandville", 1), 180) << "a city of 350,000 is named further out";
    EXPECT_GT(sizeOf("Bourg", 1), sizeOf("Hameau-le-Grand", 1));
    EXPECT_EQ(sizeOf("Les Granges", 1), 0);

    // The river along its line, the lake and the wood inside them, in their colours.
    ASSERT_FALSE(byName[QStringLiteral("La Roya")].empty());
    EXPECT_EQ(byName[QStringLiteral("La Roya")][0]->angle, 0);
    ASSERT_EQ(byName[QStringLiteral("Lac Bleu")].size(), 1u);
    ASSERT_EQ(byName[QStringLiteral("Bois Noir")].size(), 1u);
    EXPECT_NE(byName[QStringLiteral("Lac Bleu")][0]->color, byName[QStringLiteral("Bois Noir")][0]->color);
    EXPECT_NE(byName[QStringLiteral("La Roya")][0]->color, avenue[0]->color);

    EXPECT_EQ(Overlaps(db.Texts), 0);
}

TEST(OsmLabels, MonacosStreetsAndQuartersAreNamedOnTheMap) {
    const QString input = SharedData("monaco-latest.osm.pbf");
    if (!QFileInfo::exists(input)) GTEST_SKIP() << "no OpenStreetMap data at " << input.toStdString();
    Imported im;
    Import(im, input);
    const CityDb& db = im.city;
    std::set<QString> named;
    for (const TText& t : db.Texts)
        named.insert(t.Text[0]);
    int labelled = 0;
    for (const TStreet& s : db.Streets)
        labelled += named.count(s.Name[0]) > 0;
    EXPECT_GE(labelled * 100, int(db.Streets.size()) * 95) << labelled << " of " << db.Streets.size();
    for (const char* q : {"Fontvieille", "La Condamine", "Larvotto", "Monaco-Ville", "Monte-Carlo"})
        EXPECT_TRUE(named.count(QString::fromUtf8(q))) << q;
    EXPECT_EQ(Overlaps(db.Texts), 0);
}
