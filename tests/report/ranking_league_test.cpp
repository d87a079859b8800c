// The ranking under a league's rules: its points table, count-back, best rallies and classes,
// on hand-worked fields and against a plain recount of random ones.
#include "report/ranking_model.h"

#include "support/random_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <numeric>
#include <random>

namespace {

using namespace kvr;

const ReportTime Noon{2026, 12, 7, 12, 5, 9};

// Vehicle bytes of the hand-worked fields.
constexpr uint8_t HoshinMt = 8, HoshinAt = 8 | 0x40, MarletAt = 10 | 0x40, VelaMt = 0;

// One event's finish, first to last: who, in which vehicle.
struct Finish {
    const Event* event;
    std::vector<std::pair<int, uint8_t>> order;
};

// `count` participants whose times give each event the finish order asked for.
std::vector<ParticipantRecord> field(size_t count, const std::vector<Finish>& finishes) {
    std::vector<ParticipantRecord> participants(count);
    for (size_t i = 0; i < count; ++i) {
        participants[i] = ParticipantRecord{};
        participants[i].code[0] = static_cast<char>('A' + i % 26);
        participants[i].name[0] = static_cast<char>('A' + i % 26);
    }
    for (const Finish& finish : finishes) {
        uint32_t time = 1000;
        for (const auto& [who, vehicle] : finish.order) {
            ParticipantRecord& p = participants[static_cast<size_t>(who)];
            ResultEntry& result = finish.event->isArcade() ? p.arcadeResults[finish.event->slot]
                                                           : p.stageResults[finish.event->slot];
            result.vehicle = vehicle;
            result.time = time++;
        }
    }
    return participants;
}

// (participant, points) of each standing, in order.
using Table = std::vector<std::pair<int32_t, int>>;

Table table(const std::vector<Standing>& standings) {
    Table t;
    for (const Standing& s : standings) {
        t.emplace_back(s.participantIndex, s.points);
    }
    return t;
}

RankingModel ranked(const std::vector<ParticipantRecord>& participants, const LeagueRules& rules) {
    RankingOptions options;
    options.league = rules;
    return computeRankingModel(participants.data(), static_cast<int32_t>(participants.size()), {},
                               Noon, options);
}

// The finish of an arcade event by participants 0, 1, 2, ... in one vehicle.
Finish inOrder(int arcadeEvent, int count, int first = 0) {
    Finish finish{&eventOf(-1, arcadeEvent), {}};
    for (int i = 0; i < count; ++i) {
        finish.order.emplace_back(first + i, VelaMt);
    }
    return finish;
}

TEST(LeagueRanking, PlacesTableGivesEachListedPlaceItsPoints) {
    struct Case {
        const char* what;
        PlacePoints places;
        std::vector<Finish> finishes;
        size_t count;
        Table expected;
    };
    const Case cases[] = {
        {"ten places, eleven drivers: the eleventh scores nothing",
         {25, 18, 15, 12, 10, 8, 6, 4, 2, 1},
         {inOrder(0, 11)},
         11,
         {{0, 25}, {1, 18}, {2, 15}, {3, 12}, {4, 10}, {5, 8}, {6, 6}, {7, 4}, {8, 2}, {9, 1}}},
        {"a short list: places past it score 0, and a driver with 0 has no standing",
         {5, 3, 3},
         {inOrder(0, 4), inOrder(3, 2, 2)},
         4,
         {{2, 8}, {0, 5}, {1, 3}, {3, 3}}},
        {"every place 0: nobody has points", {0}, {inOrder(0, 3)}, 3, {}},
        {"the fixed table",
         fixedPlacePoints(),
         {inOrder(0, 7), inOrder(1, 2, 5)},
         7,
         {{5, 13}, {0, 12}, {1, 8}, {6, 8}, {2, 6}, {3, 4}, {4, 2}}},
    };
    for (const Case& c : cases) {
        LeagueRules rules;
        rules.places = c.places;
        std::vector<ParticipantRecord> participants = field(c.count, c.finishes);
        RankingModel m = ranked(participants, rules);
        EXPECT_EQ(table(m.standings), c.expected) << c.what;
        for (size_t k = 0; k < m.arcade[0].results.size(); ++k) {
            EXPECT_EQ(m.arcade[0].results[k].points, c.places[k]) << c.what << " place " << k + 1;
        }
        // Each participant carries the standing's total and place.
        for (const Standing& s : m.standings) {
            const RankedParticipant& p = m.participants[static_cast<size_t>(s.participantIndex)];
            EXPECT_EQ(p.points, s.points) << c.what;
            EXPECT_EQ(p.place, s.place) << c.what;
        }
    }
}

TEST(LeagueRanking, CountBackSplitsEqualPointsByPlacesHeld) {
    // Participants 0 (C), 1 (B) and 2 (A) on 20 points each with 12-8-6-4-2-1:
    //   A: 1st, 2nd          -> one win, one second
    //   B: 1st, 3rd, 5th     -> one win, no second
    //   C: 2nd, 2nd, 4th     -> no win
    // X (3), Y (4) and Z (5) fill the other places.
    const int C = 0, B = 1, A = 2, X = 3, Y = 4, Z = 5;
    const std::vector<Finish> threeWay = {
        {&eventOf(-1, 0), {{A, VelaMt}, {C, VelaMt}, {B, VelaMt}}},
        {&eventOf(-1, 1), {{B, VelaMt}, {A, VelaMt}, {X, VelaMt}, {C, VelaMt}}},
        {&eventOf(0, 0), {{X, VelaMt}, {C, VelaMt}, {Y, VelaMt}, {Z, VelaMt}, {B, VelaMt}}},
    };
    // Participant 1 wins and is tenth once; participant 0 only wins: a tenth place decides.
    std::vector<Finish> tenth = {inOrder(0, 1)};
    Finish tenPlaces{&eventOf(-1, 1), {}};
    for (int i = 2; i < 11; ++i) {
        tenPlaces.order.emplace_back(i, VelaMt);
    }
    tenPlaces.order.emplace_back(1, VelaMt);
    tenth.push_back(tenPlaces);
    tenth.push_back(inOrder(2, 1, 1));

    struct Case {
        const char* what;
        std::vector<Finish> finishes;
        size_t count;
        TieBreak tieBreak;
        Table expected;
    };
    const Case cases[] = {
        {"three-way tie, file order",
         threeWay,
         6,
         TieBreak::FileOrder,
         {{C, 20}, {B, 20}, {A, 20}, {X, 18}, {Y, 6}, {Z, 4}}},
        {"three-way tie, count-back",
         threeWay,
         6,
         TieBreak::CountBack,
         {{A, 20}, {B, 20}, {C, 20}, {X, 18}, {Y, 6}, {Z, 4}}},
        {"the same places held: file order after count-back",
         {inOrder(0, 1, 1), inOrder(1, 1, 0), inOrder(2, 2, 2)},
         4,
         TieBreak::CountBack,
         {{0, 12}, {1, 12}, {2, 12}, {3, 8}}},
        {"down to tenth places",
         tenth,
         11,
         TieBreak::CountBack,
         {{1, 12}, {0, 12}, {2, 12}, {3, 8}, {4, 6}, {5, 4}, {6, 2}, {7, 1}}},
    };
    for (const Case& c : cases) {
        LeagueRules rules;
        rules.tieBreak = c.tieBreak;
        std::vector<ParticipantRecord> participants = field(c.count, c.finishes);
        RankingModel m = ranked(participants, rules);
        EXPECT_EQ(table(m.standings), c.expected) << c.what;
        for (size_t p = 0; p < m.standings.size(); ++p) {
            EXPECT_EQ(m.standings[p].place, static_cast<int32_t>(p + 1)) << c.what;
        }
    }
}

TEST(LeagueRanking, BestRalliesCountOnlyTheHighestRallyTotals) {
    // Participant 0's rally totals with 12-8-6-4-2-1: Finland 12, France 8 (a second place),
    // Australia 14 (a win and a fifth place); arcade 6. Participant 1 is second in Finland and
    // Australia's first stage, and wins in France.
    const std::vector<Finish> finishes = {
        {&eventOf(0, 0), {{0, VelaMt}, {1, VelaMt}}},
        {&eventOf(2, 0), {{1, VelaMt}, {0, VelaMt}}},
        {&eventOf(4, 0), {{0, VelaMt}, {1, VelaMt}}},
        {&eventOf(4, 1), {{2, VelaMt}, {3, VelaMt}, {4, VelaMt}, {5, VelaMt}, {0, VelaMt}}},
        {&eventOf(-1, 3), {{2, VelaMt}, {3, VelaMt}, {0, VelaMt}}},
    };
    const uint8_t finland = 1, france = 4, australia = 16;
    struct Case {
        int bestRallies;
        int points;           // participant 0's total
        uint8_t counted;      // participant 0's rallies that count
        uint8_t otherCounted; // participant 1's (8 in Finland, 12 in France, 8 in Australia)
    };
    const Case cases[] = {
        {0, 12 + 8 + 14 + 6, finland | france | australia, finland | france | australia},
        {8, 12 + 8 + 14 + 6, finland | france | australia, finland | france | australia},
        {3, 12 + 8 + 14 + 6, finland | france | australia, finland | france | australia},
        {2, 12 + 14 + 6, finland | australia, finland | france}, // equal totals: the earlier
        {1, 14 + 6, australia, france},
    };
    for (const Case& c : cases) {
        LeagueRules rules;
        rules.bestRallies = c.bestRallies;
        std::vector<ParticipantRecord> participants = field(6, finishes);
        RankingModel m = ranked(participants, rules);
        auto standingOf = [&m](int32_t participant) {
            return std::find_if(m.standings.begin(), m.standings.end(), [&](const Standing& s) {
                return s.participantIndex == participant;
            });
        };
        auto first = standingOf(0), other = standingOf(1);
        ASSERT_NE(first, m.standings.end());
        ASSERT_NE(other, m.standings.end());
        EXPECT_EQ(first->points, c.points) << c.bestRallies;
        EXPECT_EQ(first->countedRallies, c.counted) << c.bestRallies;
        EXPECT_EQ(m.participants[0].points, c.points) << c.bestRallies;
        EXPECT_EQ(other->countedRallies, c.otherCounted) << c.bestRallies;
        // Every rally total stays in the driver's summary; only the total leaves some out.
        const DriverSummary& driver = m.drivers[static_cast<size_t>(first - m.standings.begin())];
        EXPECT_EQ(driver.rallyPoints[0], 12);
        EXPECT_EQ(driver.rallyPoints[2], 8);
        EXPECT_EQ(driver.rallyPoints[4], 14);
        EXPECT_EQ(driver.arcadePoints, 6);
    }
}

TEST(LeagueRanking, ClassesRankOnlyTheTimesOfTheirVehicles) {
    // A (0) drives a hoshin arc MT, B (1) a marlet 140 AT, C (2) an arden vela MT, D (3) a
    // hoshin arc AT; in Finland's first stage C takes a marlet 140 AT instead.
    const int A = 0, B = 1, C = 2, D = 3;
    const std::vector<Finish> finishes = {
        {&eventOf(-1, 0), {{C, VelaMt}, {B, MarletAt}, {A, HoshinMt}, {D, HoshinAt}}},
        {&eventOf(0, 0), {{D, HoshinAt}, {A, HoshinMt}, {C, MarletAt}, {B, MarletAt}}},
    };
    VehicleClass manual{"Manual gearbox", 0, AnyVehicle};
    VehicleClass light{"Light cars", AnyTransmission, uint64_t{1} << 8 | uint64_t{1} << 10};
    struct Case {
        const char* what;
        VehicleClass vehicleClass;
        TieBreak tieBreak;
        Table standings;
        std::vector<int32_t> arcadeListing; // who is listed in the arcade event, in order
        std::vector<int32_t> stageListing;
    };
    // Manual: the arcade event lists C and A (12, 8), the stage A alone (12).
    // Light cars: the arcade event lists B, A, D (12, 8, 6), the stage D, A, C, B (12, 8, 6, 4):
    // A and B tie on 16, A with two second places, B with a win.
    const Case cases[] = {
        {"MT only", manual, TieBreak::FileOrder, {{A, 20}, {C, 12}}, {C, A}, {A}},
        {"two vehicles, both gearboxes",
         light,
         TieBreak::FileOrder,
         {{D, 18}, {A, 16}, {B, 16}, {C, 6}},
         {B, A, D},
         {D, A, C, B}},
        {"two vehicles, count-back",
         light,
         TieBreak::CountBack,
         {{D, 18}, {B, 16}, {A, 16}, {C, 6}},
         {B, A, D},
         {D, A, C, B}},
    };
    for (const Case& c : cases) {
        LeagueRules rules;
        rules.tieBreak = c.tieBreak;
        rules.classes = {light, c.vehicleClass};
        std::vector<ParticipantRecord> participants = field(4, finishes);
        RankingModel m = ranked(participants, rules);
        ASSERT_EQ(m.classes.size(), 2u) << c.what;
        const ClassRanking& ranking = m.classes[1];
        EXPECT_EQ(table(ranking.standings), c.standings) << c.what;
        std::vector<int32_t> arcade, stage;
        for (const ListedResult& r : ranking.arcade.at(0).results) {
            arcade.push_back(r.participantIndex);
        }
        for (const ListedResult& r : ranking.stages.at(0).results) {
            stage.push_back(r.participantIndex);
        }
        EXPECT_EQ(arcade, c.arcadeListing) << c.what;
        EXPECT_EQ(stage, c.stageListing) << c.what;
        // The whole field is not changed by the classes: C 12 + 6, A 6 + 8, B 8 + 4, D 4 + 12.
        EXPECT_EQ(table(m.standings), (Table{{C, 18}, {D, 16}, {A, 14}, {B, 12}})) << c.what;
    }
}

// The standings of `participants` under `rules` counted the plain way: every event's whole
// field sorted, each participant's rally totals sorted. Only the times `accepts` takes count.
template <typename Accepts>
Table recount(const std::vector<ParticipantRecord>& participants, const LeagueRules& rules,
              Accepts accepts) {
    struct Earned {
        int rally[RallyCount] = {};
        int arcade = 0;
        PlacePoints held = {};
        int total = 0;
    };
    std::vector<Earned> earned(participants.size());
    for (const Event& event : allEvents()) {
        std::vector<std::pair<uint32_t, size_t>> field;
        for (size_t i = 0; i < participants.size(); ++i) {
            const ResultEntry& result = event.resultOf(participants[i]);
            if (result.time != 0 && accepts(result.vehicle)) {
                field.emplace_back(result.time - 1, i);
            }
        }
        std::stable_sort(field.begin(), field.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        for (size_t k = 0; k < field.size() && k < 10; ++k) {
            Earned& e = earned[field[k].second];
            (event.isArcade() ? e.arcade : e.rally[event.rally]) += rules.places[k];
            ++e.held[k];
        }
    }
    std::vector<size_t> order;
    for (size_t i = 0; i < participants.size(); ++i) {
        Earned& e = earned[i];
        std::vector<int> rallies(std::begin(e.rally), std::end(e.rally));
        std::sort(rallies.rbegin(), rallies.rend());
        const size_t counted = rules.bestRallies > 0 ? static_cast<size_t>(rules.bestRallies) : 8;
        e.total = std::accumulate(rallies.begin(), rallies.begin() + counted, e.arcade);
        if (e.total > 0) {
            order.push_back(i);
        }
    }
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        if (earned[a].total != earned[b].total) {
            return earned[a].total > earned[b].total;
        }
        return rules.tieBreak == TieBreak::CountBack && earned[a].held > earned[b].held;
    });
    Table t;
    for (size_t i : order) {
        t.emplace_back(static_cast<int32_t>(i), earned[i].total);
    }
    return t;
}

TEST(LeagueRanking, AgreesWithAPlainRecountOfRandomFieldsAndRules) {
    std::mt19937 random(25);
    for (uint32_t seed = 1; seed <= 60; ++seed) {
        kvrtest::RandomFolderShape shape;
        shape.participants = 5 + seed * 7 % 60;
        shape.distinctTimes = 1 + seed % 6;
        shape.resultPercent = 30 + seed % 60;
        std::vector<ParticipantRecord> participants = kvrtest::randomParticipants(seed, shape);

        LeagueRules rules;
        int points = static_cast<int>(random() % 101);
        for (size_t k = 0; k < rules.places.size(); ++k) {
            rules.places[k] = points;
            points -= static_cast<int>(random() % static_cast<uint32_t>(points / 2 + 2));
            points = std::max(points, 0);
        }
        rules.tieBreak = random() % 2 != 0 ? TieBreak::CountBack : TieBreak::FileOrder;
        rules.bestRallies = static_cast<int>(random() % 9);
        for (int c = 0; c < 2; ++c) {
            VehicleClass vehicleClass;
            vehicleClass.name = "class " + std::to_string(c);
            vehicleClass.transmission = static_cast<int>(random() % 3) - 1;
            vehicleClass.vehicles =
                random() % 4 == 0 ? AnyVehicle : uint64_t{random()} << 32 | random();
            rules.classes.push_back(vehicleClass);
        }
        const std::string what = "seed " + std::to_string(seed);

        RankingModel m = ranked(participants, rules);
        EXPECT_EQ(table(m.standings), recount(participants, rules, [](uint8_t) { return true; }))
            << what;
        ASSERT_EQ(m.classes.size(), 2u);
        for (size_t c = 0; c < 2; ++c) {
            const VehicleClass& vehicleClass = rules.classes[c];
            auto accepts = [&vehicleClass](uint8_t vehicle) {
                const bool gearbox = vehicleClass.transmission < 0 ||
                                     vehicleClass.transmission == (vehicle >> 6 & 1);
                return gearbox && (vehicleClass.vehicles >> (vehicle & 0x3F) & 1u) != 0;
            };
            EXPECT_EQ(table(m.classes[c].standings), recount(participants, rules, accepts))
                << what << " class " << c;
        }
        // The drivers' own results earn the league's points for places 1 to 10.
        for (const DriverSummary& driver : m.drivers) {
            for (const DriverResult& r : driver.results) {
                EXPECT_EQ(r.points, r.placeInField <= 10
                                        ? rules.places[static_cast<size_t>(r.placeInField - 1)]
                                        : 0)
                    << what;
            }
        }
    }
}

} // namespace
