// The leading items of a listing, kept in one pass: the same as a stable sort of everything.
#include "model/ranking_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

using namespace kvr;

TEST(LeadingItems, MatchesTheStableFullSortOnRandomDataWithTies) {
    std::mt19937 random(2026);
    for (int round = 0; round < 300; ++round) {
        size_t count = random() % 60;
        uint32_t keyRange = 1 + random() % 8; // few distinct keys: many ties
        std::vector<RankingItem> items(count);
        for (size_t i = 0; i < count; ++i) {
            items[i] = {static_cast<uint32_t>(random() % keyRange) * 0x40000000u,
                        static_cast<int32_t>(i), static_cast<uint32_t>(random() % 256)};
        }
        std::vector<RankingItem> sorted = items;
        std::stable_sort(sorted.begin(), sorted.end(),
                         [](const RankingItem& a, const RankingItem& b) {
                             return compareRankingItems(a, b) < 0;
                         });
        size_t limit = random() % 12;
        LeadingItems leading(limit);
        for (const RankingItem& item : items) {
            leading.offer(item);
        }
        ASSERT_EQ(leading.items().size(), std::min(limit, count));
        for (size_t k = 0; k < leading.items().size(); ++k) {
            EXPECT_EQ(leading.items()[k].participantIndex, sorted[k].participantIndex)
                << round << "/" << k;
            EXPECT_EQ(leading.items()[k].vehicle, sorted[k].vehicle);
        }
    }
}

TEST(CompareRankingItems, ComparesKeysAsUnsignedOnly) {
    RankingItem small{1, 9, 9};
    RankingItem large{0xFFFFFFFFu, 0, 0};
    RankingItem sameKey{1, 0, 3};
    EXPECT_EQ(compareRankingItems(small, large), -1);
    EXPECT_EQ(compareRankingItems(large, small), 1);
    EXPECT_EQ(compareRankingItems(small, sameKey), 0);
}

} // namespace
