#include "model/ranking_model.h"

#include "support/participant_builder.h"
#include "support/random_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>

namespace {

using namespace kvr;
using kvrtest::ParticipantFileBuilder;

const ReportTime Noon{2026, 12, 7, 12, 5, 9};

RankingModel model(const std::vector<ParticipantRecord>& participants,
                   const std::vector<std::string>& files = {}) {
    return computeRankingModel(participants.data(), static_cast<int32_t>(participants.size()),
                               files, Noon);
}

// (participant index, shown time, gap, points) of each place.
using Places = std::vector<std::vector<uint32_t>>;

Places placesOf(const EventListing& listed) {
    Places places;
    for (const ListedResult& r : listed.results) {
        places.push_back({static_cast<uint32_t>(r.participantIndex), r.time, r.gap,
                          static_cast<uint32_t>(r.points)});
    }
    return places;
}

TEST(RankingModel, ListingsPlaceTiesInParticipantOrderWithGapsAndPoints) {
    struct Case {
        const char* what;
        std::vector<uint32_t> storedTimes; // one arcade result per participant, 0 = none
        Places expected;
    };
    const Case cases[] = {
        {"one result", {0, 746}, {{1, 745, 0, 12}}},
        {"tie for the lead",
         {500, 500, 400 + 1},
         {{2, 400, 0, 12}, {0, 499, 99, 8}, {1, 499, 99, 6}}},
        {"two fastest equal", {9, 9}, {{0, 8, 0, 12}, {1, 8, 0, 8}}},
        {"stored word 1", {1, 0, 2}, {{0, 0, 0, 12}, {2, 1, 1, 8}}},
        {"the largest word", {0xFFFFFFFFu, 1}, {{1, 0, 0, 12}, {0, 0xFFFFFFFEu, 0xFFFFFFFEu, 8}}},
    };
    for (const Case& c : cases) {
        std::vector<ParticipantRecord> participants;
        for (uint32_t time : c.storedTimes) {
            participants.push_back(ParticipantFileBuilder().arcade(5, 0x42, time).record());
        }
        RankingModel m = model(participants);
        EXPECT_TRUE(m.stages.empty()) << c.what;
        ASSERT_EQ(m.arcade.size(), 1u) << c.what;
        EXPECT_EQ(m.arcade[0].event, &eventOf(-1, 5));
        EXPECT_EQ(placesOf(m.arcade[0]), c.expected) << c.what;
        for (const ListedResult& r : m.arcade[0].results) {
            EXPECT_EQ(r.vehicle, 0x42);
        }
    }
}

TEST(RankingModel, ParticipantsCarryTheirShownFieldsFileNamesAndEveryTime) {
    std::vector<ParticipantRecord> participants = {
        ParticipantFileBuilder()
            .code("WXYZ")
            .name(std::string(44, 'N'))
            .date(151, 0x1A, 0xE3)
            .stage(1, 10, 0, 6001)
            .stageSlot(11, 0, 77) // beyond Finland's ten stages: never read
            .arcade(7, 0, 1)
            .record(),
        ParticipantFileBuilder().code("B").name("Bo").record(),
    };
    RankingModel m = model(participants, {"w.kvr"});
    ASSERT_EQ(m.participants.size(), 2u);
    const RankedParticipant& w = m.participants[0];
    EXPECT_EQ(w.file, "w.kvr");
    EXPECT_EQ(w.code, "WXY");
    EXPECT_EQ(w.name, std::string(43, 'N'));
    EXPECT_EQ(w.gameCode(), "WXY");
    EXPECT_EQ(formatDate(w.year, w.month, w.day), "2001-10-03");
    EXPECT_EQ(m.participants[1].file, ""); // no name given
    // Slot 11 lies beyond Finland's ten stages: no event reads it.
    for (const Event& event : allEvents()) {
        const uint32_t expected = event.slot == 22 && !event.isArcade() ? 6000u
                                  : event.slot == 7 && event.isArcade() ? 0u
                                                                        : NoTime;
        EXPECT_EQ(w.time(event), expected) << event.key();
        EXPECT_EQ(m.participants[1].time(event), NoTime) << event.key();
    }
    EXPECT_EQ(m.time.second, 9);
}

TEST(RankingModel, NoParticipantsOrANegativeCountGiveAnEmptyModel) {
    for (int32_t count : {0, -1}) {
        RankingModel m = computeRankingModel(nullptr, count, {}, Noon);
        EXPECT_TRUE(m.participants.empty() && m.stages.empty() && m.arcade.empty() &&
                    m.standings.empty())
            << count;
    }
}

// The model against a plain stable sort of every event, on lists full of ties.
TEST(RankingModel, AgreesWithAStableSortOfEveryEvent) {
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        kvrtest::RandomFolderShape shape;
        shape.participants = seed % 17;
        shape.distinctTimes = 1 + seed % 5;
        std::vector<ParticipantRecord> participants = kvrtest::randomParticipants(seed, shape);
        RankingModel m = model(participants);

        std::vector<int> totals(participants.size(), 0);
        auto check = [&](const EventListing* listed, auto resultOf) {
            std::vector<std::pair<uint32_t, size_t>> results; // stored time, participant
            for (size_t i = 0; i < participants.size(); ++i) {
                if (resultOf(participants[i]).time != 0) {
                    results.emplace_back(resultOf(participants[i]).time, i);
                }
            }
            std::stable_sort(results.begin(), results.end(),
                             [](auto& a, auto& b) { return a.first < b.first; });
            results.resize(std::min<size_t>(results.size(), 10));
            if (results.empty()) {
                return listed == nullptr;
            }
            if (listed == nullptr || listed->results.size() != results.size()) {
                return false;
            }
            for (size_t k = 0; k < results.size(); ++k) {
                const ListedResult& got = listed->results[k];
                const ResultEntry& entry = resultOf(participants[results[k].second]);
                totals[results[k].second] += placePoints[k];
                if (static_cast<size_t>(got.participantIndex) != results[k].second ||
                    got.time != entry.time - 1 || got.gap != entry.time - results[0].first ||
                    got.vehicle != entry.vehicle || got.points != placePoints[k]) {
                    return false;
                }
            }
            return true;
        };
        size_t stage = 0;
        for (int r = 0; r < RallyCount; ++r) {
            for (int s = 0; s < stageCounts[r]; ++s) {
                const EventListing* listed = nullptr;
                if (stage < m.stages.size() && m.stages[stage].event == &eventOf(r, s)) {
                    listed = &m.stages[stage++];
                }
                int slot = stageSlot(r, s);
                EXPECT_TRUE(check(
                    listed, [slot](const ParticipantRecord& p) { return p.stageResults[slot]; }))
                    << "seed " << seed << " rally " << r << " stage " << s;
            }
        }
        EXPECT_EQ(stage, m.stages.size());
        size_t arcade = 0;
        for (int a = 0; a < ArcadeEventCount; ++a) {
            const EventListing* listed = nullptr;
            if (arcade < m.arcade.size() && m.arcade[arcade].event == &eventOf(-1, a)) {
                listed = &m.arcade[arcade++];
            }
            EXPECT_TRUE(
                check(listed, [a](const ParticipantRecord& p) { return p.arcadeResults[a]; }))
                << "seed " << seed << " arcade " << a;
        }
        EXPECT_EQ(arcade, m.arcade.size());

        std::vector<size_t> order(participants.size());
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(),
                         [&totals](size_t a, size_t b) { return totals[a] > totals[b]; });
        size_t ranked = 0;
        for (size_t i : order) {
            if (totals[i] == 0) {
                break;
            }
            ASSERT_LT(ranked, m.standings.size()) << "seed " << seed;
            const Standing& s = m.standings[ranked++];
            EXPECT_EQ(s.place, static_cast<int32_t>(ranked));
            EXPECT_EQ(static_cast<size_t>(s.participantIndex), i) << "seed " << seed;
            EXPECT_EQ(s.points, totals[i]);
        }
        EXPECT_EQ(ranked, m.standings.size()) << "seed " << seed;
        // Each participant carries its total and its place (0 without points).
        for (size_t i = 0; i < participants.size(); ++i) {
            const RankedParticipant& p = m.participants[i];
            EXPECT_EQ(p.points, totals[i]);
            EXPECT_EQ(p.place == 0, totals[i] == 0);
            if (p.place > 0) {
                EXPECT_EQ(static_cast<size_t>(
                              m.standings[static_cast<size_t>(p.place - 1)].participantIndex),
                          i);
            }
        }
    }
}

// Every event's whole field in a plain stable sort: the reference for the standings and for
// each driver's own results.
struct FullSort {
    struct Event {
        int rally;
        int event;
        std::vector<std::pair<uint32_t, size_t>> field; // shown time, participant; sorted
    };
    std::vector<Event> events;
    std::vector<int> totals;
    std::vector<size_t> standings; // participants with points, in standings order
};

FullSort fullSort(const std::vector<ParticipantRecord>& participants) {
    FullSort sorted;
    sorted.totals.assign(participants.size(), 0);
    auto add = [&](int rally, int event, auto resultOf) {
        FullSort::Event e{rally, event, {}};
        for (size_t i = 0; i < participants.size(); ++i) {
            if (resultOf(participants[i]).time != 0) {
                e.field.emplace_back(resultOf(participants[i]).time - 1, i);
            }
        }
        std::stable_sort(e.field.begin(), e.field.end(),
                         [](auto& a, auto& b) { return a.first < b.first; });
        for (size_t k = 0; k < e.field.size() && k < 10; ++k) {
            sorted.totals[e.field[k].second] += placePoints[k];
        }
        sorted.events.push_back(std::move(e));
    };
    for (int r = 0; r < RallyCount; ++r) {
        for (int s = 0; s < stageCounts[r]; ++s) {
            int slot = stageSlot(r, s);
            add(r, s, [slot](const ParticipantRecord& p) { return p.stageResults[slot]; });
        }
    }
    for (int a = 0; a < ArcadeEventCount; ++a) {
        add(-1, a, [a](const ParticipantRecord& p) { return p.arcadeResults[a]; });
    }
    for (size_t i = 0; i < participants.size(); ++i) {
        if (sorted.totals[i] > 0) {
            sorted.standings.push_back(i);
        }
    }
    std::stable_sort(sorted.standings.begin(), sorted.standings.end(),
                     [&sorted](size_t a, size_t b) { return sorted.totals[a] > sorted.totals[b]; });
    return sorted;
}

// Fields of 17 to 200 participants, where an unstable sort no longer happens to keep ties in
// order, and few distinct times, so that places and totals are full of ties.
TEST(RankingModel, StandingsAndDriversAgreeWithAFullSortOfEveryField) {
    struct Shape {
        size_t participants;
        uint32_t distinctTimes;
        unsigned resultPercent;
        uint32_t timeStep = 6037;
    };
    // The last ones spread the times over nearly all a time word holds, and cluster most of
    // them in a few hundredths, so that the drivers' times fall in wide and in crowded ranges.
    const Shape shapes[] = {
        {17, 2, 60},     {33, 3, 40},       {64, 5, 70},  {120, 4, 30},
        {200, 3, 20},    {200, 40, 90},     {150, 1, 50}, {300, 1000, 80, 4000000u},
        {300, 7, 80, 1}, {400, 3000, 70, 1}};
    uint32_t seed = 100;
    for (const Shape& shape : shapes) {
        kvrtest::RandomFolderShape random;
        random.participants = shape.participants;
        random.distinctTimes = shape.distinctTimes;
        random.resultPercent = shape.resultPercent;
        random.timeStep = shape.timeStep;
        std::vector<ParticipantRecord> participants = kvrtest::randomParticipants(++seed, random);
        RankingModel m = model(participants);
        FullSort sorted = fullSort(participants);
        const std::string what =
            std::to_string(shape.participants) + " participants, seed " + std::to_string(seed);

        ASSERT_EQ(m.standings.size(), sorted.standings.size()) << what;
        ASSERT_EQ(m.drivers.size(), sorted.standings.size()) << what;
        for (size_t d = 0; d < sorted.standings.size(); ++d) {
            const size_t index = sorted.standings[d];
            EXPECT_EQ(static_cast<size_t>(m.standings[d].participantIndex), index) << what;
            EXPECT_EQ(m.standings[d].points, sorted.totals[index]) << what;
            const DriverSummary& driver = m.drivers[d];
            ASSERT_EQ(static_cast<size_t>(driver.participantIndex), index) << what;

            std::vector<DriverResult> expected;
            int rallyPoints[RallyCount] = {};
            int arcadePoints = 0, wins = 0, podiums = 0;
            uint64_t toGain = 0;
            for (const FullSort::Event& e : sorted.events) {
                for (size_t k = 0; k < e.field.size(); ++k) {
                    if (e.field[k].second != index) {
                        continue;
                    }
                    int points = k < 10 ? placePoints[k] : 0;
                    uint32_t gap = e.field[k].first - e.field[0].first;
                    // Behind the result just ahead in the whole field, a driver's or not.
                    uint32_t toNext = k > 0 ? e.field[k].first - e.field[k - 1].first : 0;
                    expected.push_back({&eventOf(e.rally, e.event), e.field[k].first, gap,
                                        static_cast<int32_t>(k + 1),
                                        static_cast<int32_t>(e.field.size()), points, toNext});
                    (e.rally < 0 ? arcadePoints : rallyPoints[e.rally]) += points;
                    wins += k == 0;
                    podiums += k < 3;
                    toGain += gap;
                }
            }
            ASSERT_EQ(driver.results.size(), expected.size()) << what << " driver " << d;
            for (size_t k = 0; k < expected.size(); ++k) {
                const DriverResult &got = driver.results[k], &want = expected[k];
                EXPECT_TRUE(got.event == want.event && got.time == want.time &&
                            got.gap == want.gap && got.placeInField == want.placeInField &&
                            got.field == want.field && got.points == want.points &&
                            got.toNextPlace == want.toNextPlace)
                    << what << " driver " << d << " result " << k << ": place " << got.placeInField
                    << "/" << got.field << ", expected " << want.placeInField << "/" << want.field;
            }
            EXPECT_TRUE(std::equal(std::begin(rallyPoints), std::end(rallyPoints),
                                   std::begin(driver.rallyPoints)))
                << what << " driver " << d;
            EXPECT_EQ(driver.arcadePoints, arcadePoints) << what;
            EXPECT_EQ(driver.wins, wins) << what;
            EXPECT_EQ(driver.podiums, podiums) << what;
            EXPECT_EQ(driver.timeToGain, toGain) << what;
            // The neighbours in the standings, and the points between.
            const int points = sorted.totals[index];
            if (d == 0) {
                EXPECT_FALSE(driver.ahead) << what;
            } else {
                const size_t before = sorted.standings[d - 1];
                ASSERT_TRUE(driver.ahead) << what;
                EXPECT_EQ(static_cast<size_t>(driver.ahead->participantIndex), before) << what;
                EXPECT_EQ(driver.ahead->pointsApart, sorted.totals[before] - points) << what;
            }
            if (d + 1 == sorted.standings.size()) {
                EXPECT_FALSE(driver.behind) << what;
            } else {
                const size_t after = sorted.standings[d + 1];
                ASSERT_TRUE(driver.behind) << what;
                EXPECT_EQ(static_cast<size_t>(driver.behind->participantIndex), after) << what;
                EXPECT_EQ(driver.behind->pointsApart, points - sorted.totals[after]) << what;
            }
        }
    }
}

// The shown code and name decide, as the exports show them; groups in order of first file.
// Duplicates are found by a 32-bit hash of the code and name, then by the texts: two drivers
// whose texts share a hash are no duplicate, and a copy of one of them still is.
TEST(RankingModel, DriversWhoseNamesShareAHashAreNoDuplicates) {
    auto hash = [](const std::string& text) { // FNV-1a, 64 bits, folded to 32
        uint64_t h = 14695981039346656037u;
        for (char c : text) {
            h = (h ^ static_cast<unsigned char>(c)) * 1099511628211u;
        }
        return static_cast<uint32_t>(h ^ h >> 32);
    };
    std::vector<std::pair<uint32_t, std::string>> names;
    for (uint32_t i = 0; i < 400000; ++i) {
        const std::string name = "N" + std::to_string(i);
        names.emplace_back(hash(std::string("C") + '\0' + name), name);
    }
    std::sort(names.begin(), names.end());
    auto pair = std::adjacent_find(names.begin(), names.end(),
                                   [](const auto& a, const auto& b) { return a.first == b.first; });
    ASSERT_NE(pair, names.end()) << "no two names share a hash";
    std::vector<ParticipantRecord> participants = {
        ParticipantFileBuilder().code("C").name(pair->second).record(),
        ParticipantFileBuilder().code("C").name((pair + 1)->second).record(),
        ParticipantFileBuilder().code("C").name(pair->second).record(),
    };
    EXPECT_EQ(model(participants).checks.duplicates, (std::vector<std::vector<int32_t>>{{0, 2}}));
}

TEST(RankingModel, ChecksFindDuplicateDriversAndOutlyingBestTimes) {
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, std::string>> drivers; // code, name
        std::vector<std::vector<int32_t>> duplicates;
    };
    const Case cases[] = {
        {"two files of one driver", {{"AB", "Ann"}, {"CD", "Cy"}, {"AB", "Ann"}}, {{0, 2}}},
        {"three files of one driver, two of another",
         {{"D", "Dee"}, {"AB", "Ann"}, {"AB", "Ann"}, {"D", "Dee"}, {"AB", "Ann"}},
         {{0, 3}, {1, 2, 4}}},
        {"the same name with another code", {{"AB", "Ann"}, {"AC", "Ann"}}, {}},
        {"the same code with another name", {{"AB", "Ann"}, {"AB", "Anne"}}, {}},
        {"names that differ in a byte shown alike",
         {{"X", "N\x01"}, {"X", "N\x02"}, {"X", "N\x81"}, {"X", "N\x8D"}, {"X", "N?"}},
         {{0, 1, 4}, {2, 3}}},
        {"no participants", {}, {}},
    };
    for (const Case& c : cases) {
        std::vector<ParticipantRecord> participants;
        for (const auto& driver : c.drivers) {
            participants.push_back(
                ParticipantFileBuilder().code(driver.first).name(driver.second).record());
        }
        EXPECT_EQ(model(participants).checks.duplicates, c.duplicates) << c.what;
    }

    // Place 1 against place 2, in hundredths shown: flagged when 5 * best < 4 * second.
    struct Times {
        uint32_t best, second; // shown; NoTime for no second result
        bool outlier;
    };
    const Times times[] = {
        {400, 500, false}, // exactly 80%
        {399, 500, true},
        {400, 501, true},
        {401, 501, false},
        {0, 1, true},
        {0, 0, false},
        {7, NoTime, false},
        {900000000u, 1000000000u, false}, // 5 * best passes 32 bits
        {3435973834u, 0xFFFFFFFEu, true},
    };
    for (size_t t = 0; t < std::size(times); ++t) {
        auto a = static_cast<int>(t % ArcadeEventCount);
        // A stage listing with an outlier of its own comes first, in the report's order.
        ParticipantFileBuilder slow, fast, far;
        slow.name("Slow").stage(7, 10, 0, 500);
        if (times[t].second != NoTime) {
            slow.arcade(a, 0, times[t].second + 1u);
        }
        fast.name("Fast").arcade(a, 0, times[t].best + 1u);
        far.name("Far").stage(7, 10, 0, 101);
        std::vector<ParticipantRecord> participants = {slow.record(), fast.record(), far.record()};
        const Checks checks = model(participants).checks;
        std::vector<std::vector<uint32_t>> got;
        for (const Outlier& o : checks.outliers) {
            got.push_back({static_cast<uint32_t>(o.event->rally),
                           static_cast<uint32_t>(o.event->index),
                           static_cast<uint32_t>(o.participantIndex), o.time, o.secondTime});
        }
        std::vector<std::vector<uint32_t>> expected = {{7, 10, 2, 100, 499}};
        if (times[t].outlier) {
            expected.push_back({static_cast<uint32_t>(-1), static_cast<uint32_t>(a), 1,
                                times[t].best, times[t].second});
        }
        EXPECT_EQ(got, expected) << times[t].best << " against " << times[t].second;
    }
}

// Of a driver's copies the review keeps the file with the shortest name, the first of names of
// equal length, and readies each other's exclusion, dated the run's day, as a copy of it.
TEST(RankingModel, TheReviewKeepsTheShortestFileNameAndTheFirstOfEqualLengths) {
    const struct {
        std::vector<std::string> files; // of one driver's copies, in participant order
        std::string review;             // "file: reason; " per item under review
    } cases[] = {
        {{"odo1.kvr", "odo2.kvr"}, "odo2.kvr: a copy of odo1.kvr; "},
        {{"odo2.kvr", "odo1.kvr"}, "odo1.kvr: a copy of odo2.kvr; "},
        {{"odo (2).kvr", "odo.kvr"}, "odo (2).kvr: a copy of odo.kvr; "},
        {{"odo2.kvr", "odo (2).kvr", "odo1.kvr"},
         "odo (2).kvr: a copy of odo2.kvr; odo1.kvr: a copy of odo2.kvr; "},
        {{"odo (2).kvr", "odo2.kvr", "odo1.kvr", "odo.kvr"},
         "odo (2).kvr: a copy of odo.kvr; odo2.kvr: a copy of odo.kvr; odo1.kvr: a copy of "
         "odo.kvr; "},
    };
    for (const auto& c : cases) {
        std::vector<ParticipantRecord> participants(
            c.files.size(), ParticipantFileBuilder().code("ODO").name("Olga Dorn").record());
        const RankingModel m = model(participants, c.files);
        ASSERT_EQ(m.checks.duplicates.size(), 1u) << c.review;
        std::string review;
        for (const ReviewItem& item : m.checks.underReview) {
            const auto kept = static_cast<size_t>(item.keptIndex);
            EXPECT_EQ(item.event, nullptr);
            EXPECT_EQ(item.ready.action, DecisionAction::ExcludeFile);
            EXPECT_EQ(item.ready.file, c.files[static_cast<size_t>(item.participantIndex)]);
            EXPECT_EQ(item.ready.reason, "a copy of " + c.files.at(kept));
            EXPECT_EQ(std::vector<int>({item.ready.year, item.ready.month, item.ready.day}),
                      std::vector<int>({Noon.year, Noon.month, Noon.day}));
            review += item.ready.file + ": " + item.ready.reason + "; ";
        }
        EXPECT_EQ(review, c.review);
    }
}

TEST(FormatTime, ShowsMinutesSecondsAndHundredthsUncut) {
    const std::pair<uint32_t, const char*> cases[] = {
        {0, "00:00.00"},      {745, "00:07.45"},     {6000, "01:00.00"},
        {599999, "99:59.99"}, {600000, "100:00.00"}, {0xFFFFFFFFu, "715827:52.95"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(formatTime(c.first), c.second);
    }
}

// Files that the roster made one driver are that driver's, not copies: a group keeps the first
// file of each driver, and is no group with one left.
TEST(RankingModel, FilesOfOneRosterDriverAreNoCopies) {
    const struct {
        const char* what;
        std::vector<int32_t> driverFile;
        std::vector<std::vector<int32_t>> duplicates;
        std::vector<std::string> review; // the files readied for exclusion
    } cases[] = {
        {"no roster", {}, {{0, 1, 2}}, {"b.kvr", "c.kvr"}},
        {"two files of one driver", {0, 0, 2}, {{0, 2}}, {"c.kvr"}},
        {"the second and third one driver", {0, 1, 1}, {{0, 1}}, {"b.kvr"}},
        {"all three one driver", {0, 0, 0}, {}, {}},
        {"a list of another size", {0, 0}, {{0, 1, 2}}, {"b.kvr", "c.kvr"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<ParticipantRecord> participants(
            3, ParticipantFileBuilder().code("ODO").name("Olga Dorn").arcade(0, 2, 3001).record());
        RankingOptions options;
        options.driverFile = c.driverFile;
        const RankingModel m =
            computeRankingModel(participants.data(), 3, {"a.kvr", "b.kvr", "c.kvr"}, Noon, options);
        EXPECT_EQ(m.checks.duplicates, c.duplicates);
        EXPECT_EQ(m.checks.duplicateDecisions.size(), c.duplicates.size());
        std::vector<std::string> review;
        for (const ReviewItem& item : m.checks.underReview) {
            EXPECT_EQ(item.kind, ReviewKind::Duplicate);
            review.push_back(item.ready.file);
        }
        EXPECT_EQ(review, c.review);
    }
}

// A file is implausible by a control byte in its code or name as the game stores them (up to
// their NUL), or by a shown time of ten hours or more in any stage or arcade event.
TEST(RankingModel, ImplausibleFilesByControlBytesOrTenHourTimes) {
    const auto driver = [] { return ParticipantFileBuilder().code("ODO").name("Olga Dorn"); };
    const struct {
        const char* what;
        ParticipantRecord record;
        bool flagged;
        bool controlBytes;
        std::string event; // key of the first ten-hour time; "" none
        std::string reason;
    } cases[] = {
        {"a normal file", driver().stage(0, 0, 2, 30001).arcade(1, 2, 6001).record(), false, false,
         "", ""},
        {"Latin-1 letters", driver().name("Ol\xE9 D\xF6rn").record(), false, false, "", ""},
        {"a control byte in the name",
         driver()
             .name("Olga\x01"
                   "Dorn")
             .record(),
         true, true, "", "implausible: control bytes in the code or name"},
        {"a tab in the name", driver().name("Olga\tDorn").record(), true, true, "",
         "implausible: control bytes in the code or name"},
        {"DEL in the name", driver().name("Olga\x7F").record(), true, true, "",
         "implausible: control bytes in the code or name"},
        {"a control byte in the code",
         driver()
             .code("O\x1F"
                   "D")
             .record(),
         true, true, "", "implausible: control bytes in the code or name"},
        {"a stage of 10:00:00.00", driver().stage(2, 3, 2, 3600001).record(), true, false,
         "rally-3-stage-4", "implausible: France 4 in 600:00.00"},
        {"an arcade time far beyond", driver().arcade(7, 2, 0xF0000000u).record(), true, false,
         "arcade-8", ""},
        {"9:59:59.99 and a control byte in the code",
         driver().code("\x02").stage(0, 0, 2, 3600000).record(), true, true, "", ""},
        {"9:59:59.99", driver().stage(0, 0, 2, 3600000).arcade(0, 2, 3600000).record(), false,
         false, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        // A clean driver before it, so that its index is not 0.
        std::vector<ParticipantRecord> participants = {driver().code("AAA").record(), c.record};
        const RankingModel m = model(participants, {"aaa.kvr", "odd.kvr"});
        ASSERT_EQ(m.checks.implausible.size(), c.flagged ? 1u : 0u);
        ASSERT_EQ(m.checks.underReview.size(), c.flagged ? 1u : 0u);
        if (!c.flagged) {
            continue;
        }
        const Implausible& found = m.checks.implausible[0];
        EXPECT_EQ(found.participantIndex, 1);
        EXPECT_EQ(found.controlBytes, c.controlBytes);
        EXPECT_EQ(found.event != nullptr ? found.event->key() : "", c.event);
        if (found.event != nullptr) {
            EXPECT_EQ(found.time, found.event->resultOf(c.record).time - 1u);
        }
        const ReviewItem& item = m.checks.underReview[0];
        EXPECT_EQ(item.kind, ReviewKind::Implausible);
        EXPECT_EQ(item.participantIndex, 1);
        EXPECT_EQ(item.ready.action, DecisionAction::ExcludeFile);
        EXPECT_EQ(item.ready.file, "odd.kvr");
        if (!c.reason.empty()) {
            EXPECT_EQ(item.ready.reason, c.reason);
        }
        // It points, it does not decide: the file still counts.
        EXPECT_EQ(m.participants[1].excludedBy, 0);
    }
}

// A control byte past the name's NUL is no part of the name.
TEST(RankingModel, BytesPastTheNameAreNotImplausible) {
    ParticipantRecord record = ParticipantFileBuilder().code("ODO").name("Olga").record();
    record.name[10] = '\x01';
    record.code[3] = '\x01'; // past a code's three characters
    EXPECT_FALSE(implausibleFile(record, 0).has_value());
    record.name[2] = '\x1B';
    EXPECT_TRUE(implausibleFile(record, 0).has_value());
}

// Random bytes read as participant files, as a broken download or a wrong file makes them: each
// one is flagged, with a decision ready that excludes it.
TEST(RankingModel, RandomFilesAreImplausible) {
    std::mt19937 random(1616);
    std::vector<ParticipantRecord> participants(50);
    std::vector<std::string> files;
    for (ParticipantRecord& record : participants) {
        std::vector<uint8_t> bytes(ParticipantFileSize);
        for (uint8_t& byte : bytes) {
            byte = static_cast<uint8_t>(random());
        }
        ASSERT_TRUE(decodeParticipant(bytes.data(), bytes.size(), record));
        files.push_back("noise" + std::to_string(files.size()) + ".kvr");
    }
    const RankingModel m = model(participants, files);
    ASSERT_EQ(m.checks.implausible.size(), participants.size());
    std::vector<std::string> readied;
    for (const ReviewItem& item : m.checks.underReview) {
        if (item.kind == ReviewKind::Implausible) {
            EXPECT_EQ(item.ready.action, DecisionAction::ExcludeFile);
            readied.push_back(item.ready.file);
        }
    }
    EXPECT_EQ(readied, files);
}

} // namespace

namespace {

// Three drivers, two of them on equal points: the rivals on each side and the points between,
// and each result's time to the place ahead.
TEST(RankingModel, RivalsAndTheTimeToThePlaceAheadWithATie) {
    const std::vector<ParticipantRecord> field = {
        ParticipantFileBuilder()
            .code("X")
            .name("X")
            .stage(0, 0, 1, 1001)
            .stage(0, 1, 1, 1001)
            .record(),
        ParticipantFileBuilder()
            .code("Y")
            .name("Y")
            .stage(0, 0, 1, 2001)
            .stage(0, 1, 1, 3001)
            .record(),
        ParticipantFileBuilder()
            .code("Z")
            .name("Z")
            .stage(0, 0, 1, 2501)
            .stage(0, 1, 1, 2001)
            .record(),
    };
    const RankingModel m = model(field);
    // X 24; Y 8 + 6 and Z 6 + 8 are equal, Y first by file order.
    ASSERT_EQ(m.drivers.size(), 3u);
    const struct {
        int32_t participant;
        std::optional<std::pair<int32_t, int>> ahead, behind;
        std::vector<uint32_t> toNextPlace; // Finland 1, Finland 2
    } expected[] = {
        {0, std::nullopt, std::pair{1, 10}, {0, 0}},
        {1, std::pair{0, 10}, std::pair{2, 0}, {1000, 1000}},
        {2, std::pair{1, 0}, std::nullopt, {500, 1000}},
    };
    for (size_t d = 0; d < 3; ++d) {
        SCOPED_TRACE(d);
        const DriverSummary& driver = m.drivers[d];
        EXPECT_EQ(driver.participantIndex, expected[d].participant);
        for (const auto& [got, want] : {std::pair{driver.ahead, expected[d].ahead},
                                        std::pair{driver.behind, expected[d].behind}}) {
            ASSERT_EQ(got.has_value(), want.has_value());
            if (got) {
                EXPECT_EQ(got->participantIndex, want->first);
                EXPECT_EQ(got->pointsApart, want->second);
            }
        }
        ASSERT_EQ(driver.results.size(), 2u);
        EXPECT_EQ(driver.results[0].toNextPlace, expected[d].toNextPlace[0]);
        EXPECT_EQ(driver.results[1].toNextPlace, expected[d].toNextPlace[1]);
    }
}

} // namespace
