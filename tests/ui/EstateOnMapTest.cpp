// Showing a real-estate offer on the map: the estate agency's card, then the offer's building, or its
// street when the offer names no building; nothing on the map when neither is known.
#include "SearchHarness.h"
#include "TfrmEstate.h"

#include <gtest/gtest.h>

TEST(EstateOnMap, ShowsTheBuildingOrTheStreetWithTheAgencysCard) {
    SearchHarness h;
    ASSERT_FALSE(h.db.EstateAgents.empty());
    const int building = 7;
    const TBuilding& b = h.db.Buildings[building];
    ASSERT_GE(b.street, 0);
    TFlat offer;
    offer.id = 1;
    offer.build_id = b.id;
    offer.street = b.street;
    offer.num = b.num.value(0);
    offer.agent = 0;
    h.calls.clear();
    ShowOfferOnMap(offer, h.db, 0, *h.list, h, h.display);
    ASSERT_EQ(h.list->cards.crds.size(), 1u);
    EXPECT_EQ(h.list->pnlCaption->text(), " Агентство недвижимости");
    EXPECT_TRUE(h.calls.contains(QStringLiteral("select %1").arg(building))) << h.calls.join(", ").toStdString();
    EXPECT_TRUE(h.calls.filter("fly ").size() == 1) << h.calls.join(", ").toStdString();
    EXPECT_EQ(h.calls.last(), "blink");
    EXPECT_EQ(h.display.ShownObjects.tip, otBuild);
    EXPECT_EQ(h.display.ShownObjects.ids, Tai{building});

    EXPECT_TRUE(h.db.Buildings[building].IsFound);

    // Only a street, and an agency id no agency has: the street is shown as the street picker shows
    // one (the last offer's house let go, the street found and selected), no card.
    TFlat street;
    street.id = 2;
    street.street = 3;
    h.calls.clear();
    ShowOfferOnMap(street, h.db, 0, *h.list, h, h.display);
    EXPECT_TRUE(h.list->cards.crds.empty());
    EXPECT_FALSE(h.db.Buildings[building].IsFound) << "the previous offer's house stays highlighted";
    EXPECT_TRUE(h.db.Streets[3].IsFound);
    EXPECT_TRUE(h.calls.contains("street 3")) << h.calls.join(", ").toStdString();
    EXPECT_EQ(h.display.ShownObjects.tip, otStreet);
    EXPECT_EQ(h.display.ShownObjects.ids, Tai{3});
    const TStreet& s = h.db.Streets[3];
    ASSERT_EQ(h.calls.filter("fly ").size(), 1);
    const QStringList fly = h.calls.filter("fly ").front().split(' ');
    EXPECT_NEAR(fly[1].toFloat(), (s.minX_ + s.maxX_) / 2, 1);
    EXPECT_NEAR(fly[2].toFloat(), (s.minY_ + s.maxY_) / 2, 1);

    // Neither: no flight, and nothing of the street offer stays marked.
    h.calls.clear();
    ShowOfferOnMap(TFlat{}, h.db, 0, *h.list, h, h.display);
    EXPECT_TRUE(h.calls.filter("fly ").isEmpty());
    EXPECT_FALSE(h.db.Streets[3].IsFound);
    EXPECT_TRUE(h.display.ShownObjects.ids.empty());
}
