// The table of events: every stage and arcade event once, in order, with its slot, key and title.
#include "data/events.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using namespace kvr;

TEST(Events, EveryEventOnceInOrderWithItsSlotKeyAndTitle) {
    std::set<int> slots[2];
    int previousRally = 0, expectedIndex = 0;
    for (size_t n = 0; n < allEvents().size(); ++n) {
        const Event& e = allEvents()[n];
        EXPECT_EQ(e.number, static_cast<int>(n));
        if (e.rally != previousRally) { // a rally, or the arcade events, begins anew
            expectedIndex = 0;
            previousRally = e.rally;
        }
        EXPECT_EQ(e.index, expectedIndex++) << e.key();
        EXPECT_TRUE(slots[e.isArcade()].insert(e.slot).second) << e.key();
        EXPECT_EQ(&eventOf(e.rally, e.index), &e);
        EXPECT_EQ(eventOfKey(e.key()), &e) << e.key();
        EXPECT_LT(e.slot, e.isArcade() ? ArcadeEventCount : static_cast<int>(StageSlotCount));
        if (!e.isArcade()) {
            EXPECT_LT(e.index, stageCounts[e.rally]);
            EXPECT_EQ(e.slot, e.rally * StageSlotsPerRally + e.index);
        }
    }
    EXPECT_EQ(slots[0].size(), static_cast<size_t>(StageCount));
    EXPECT_EQ(slots[1].size(), static_cast<size_t>(ArcadeEventCount));
    EXPECT_EQ(allEvents().back().rally, -1);

    struct Named {
        int rally, index;
        const char* key;
        const char* title;
    };
    const Named named[] = {
        {0, 0, "rally-1-stage-1", "Finland 1"},           {1, 2, "rally-2-stage-3", "Greece 3"},
        {7, 10, "rally-8-stage-11", "United Kingdom 11"}, {-1, 0, "arcade-1", "Arcade Italy"},
        {-1, 7, "arcade-8", "Arcade United Kingdom"},
    };
    for (const Named& n : named) {
        EXPECT_EQ(eventOf(n.rally, n.index).key(), n.key);
        EXPECT_EQ(eventOf(n.rally, n.index).title(), n.title);
    }
}

TEST(Events, KeysOfNoEvent) {
    for (const char* key :
         {"", "arcade-0", "arcade-9", "arcade-01", "arcade-1 ", "rally-0-stage-1",
          "rally-9-stage-1", "rally-1-stage-11", "rally-1-stage-01", "rally-1-stage-",
          "rally-10-stage-1", "Rally-1-stage-1", "rally-1-stage-1x", "rally-2-stage-111"}) {
        EXPECT_EQ(eventOfKey(key), nullptr) << key;
    }
}

} // namespace
