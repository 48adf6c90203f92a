// An imported country whose towns share a street name, in the search panel as a user meets it: each
// street is picked from the drop-down by its town, shown on the map and searched with its own
// organisations only.
#include "ImportedCity.h"
#include "PickerIndex.h"
#include "SearchHarness.h"

#include <QPushButton>
#include <set>

namespace {

std::set<QString> CardNames(const TCardList& l, const CityDb& db) {
    std::set<QString> out;
    for (const TCard& c : l.cards.crds)
        out.insert(db.Orgs[std::size_t(c.org)].caption[0]);
    return out;
}

} // namespace

TEST(ImportedTowns, EachStreetOfASharedNameIsPickedShownAndSearchedByItsTown) {
    ScratchDir dir;
    const OsmImportResult imported = ImportOsm(Fixture("towns.osm"));
    ASSERT_EQ(WriteOsmCity(imported, dir.file("towns.gis")), QString());
    SearchHarness h(dir.path(), QStringLiteral("towns.gis"));
    ASSERT_TRUE(h.list);
    h.window->activateWindow();
    TOrgCriteria& c = *h.criteria;
    TFilterListBox& drop = *c.filterList;

    const struct {
        QString entry;
        std::set<QString> orgs;
    } streets[] = {
        {QString::fromUtf8("Landstrasse — Schaan (Unterland)"), {QString::fromUtf8("Café Schaan")}},
        {QString::fromUtf8("Landstrasse — Triesen"),
         {QString::fromUtf8("Bäckerei Frick"), QStringLiteral("Metzgerei Beck")}},
    };
    for (const auto& s : streets) {
        c.cbStreet->setFocus();
        Key(c.cbStreet, Qt::Key_Escape);
        Type(c.cbStreet, QStringLiteral("landstr"));
        ASSERT_TRUE(drop.isVisible());
        // Both streets are listed, each with its town: one text per street.
        const PickerIndex& pickers = *h.list->Pickers();
        QStringList listed;
        for (int i : pickers.streets->Filter(QStringLiteral("LANDSTR")))
            listed << pickers.streets->Text(i);
        EXPECT_EQ(listed, QStringList({streets[0].entry, streets[1].entry}));
        EXPECT_EQ(drop.Count(), 2);
        for (int k = 0; k < drop.Count() && drop.SelectedText() != s.entry; ++k)
            Key(c.cbStreet, Qt::Key_Down);
        ASSERT_EQ(drop.SelectedText(), s.entry);
        h.calls.clear();
        Key(c.cbStreet, Qt::Key_Return);
        EXPECT_EQ(c.cbStreet->currentText(), s.entry);

        // The map flies to that street and shows it, not its namesake in the other town.
        int street = -1;
        ASSERT_TRUE(WaitUntil([&] {
            const QStringList shown = h.calls.filter(QStringLiteral("street "));
            if (shown.isEmpty()) return false;
            street = shown.front().section(u' ', 1).toInt();
            return true;
        }));
        ASSERT_GE(street, 0);
        const TStreet& st = h.db.Streets[std::size_t(street)];
        EXPECT_EQ(h.display.ShownObjects.ids, Tai({street}));
        const QStringList fly = h.calls.filter(QStringLiteral("fly "));
        ASSERT_FALSE(fly.isEmpty());
        const float x = fly.back().section(u' ', 1, 1).toFloat();
        EXPECT_GE(x, st.minX_);
        EXPECT_LE(x, st.maxX_);
        for (const TOrg& o : h.db.Orgs)
            for (const TAdr& a : o.adrs)
                if (s.orgs.count(o.caption[0])) EXPECT_EQ(a.street, street) << "the street of another town";

        // Find: the cards are the organisations of this street only.
        ASSERT_TRUE(c.btnFindOrg->isEnabled());
        c.btnFindOrg->click();
        EXPECT_EQ(CardNames(*h.list, h.db), s.orgs);
    }
}
