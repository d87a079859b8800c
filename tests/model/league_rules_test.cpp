// The ranking under a league's rules, on hand-worked fields: its points table, count-back,
// best rallies and classes.
#include "model/ranking_model.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace {

using namespace kvr;

// One event's finish, first to last, one letter per participant: 'A' is participant 0, in
// the vehicle its `usual` byte gives; a lower-case letter drives a marlet 140 AT instead.
struct Finish {
    const Event* event;
    std::string order;
};

constexpr uint8_t MarletAt = 10 | 0x40;

RankingModel ranked(const std::vector<Finish>& finishes, const LeagueRules& rules,
                    std::vector<ParticipantRecord>& participants,
                    const std::vector<uint8_t>& usual = {}) {
    participants.assign(26, ParticipantRecord{});
    for (const Finish& finish : finishes) {
        uint32_t time = 1000;
        for (char who : finish.order) {
            const auto i = static_cast<size_t>(std::toupper(who) - 'A');
            ResultEntry& result = finish.event->isArcade()
                                      ? participants[i].arcadeResults[finish.event->slot]
                                      : participants[i].stageResults[finish.event->slot];
            result.vehicle = who != std::toupper(who) ? MarletAt : i < usual.size() ? usual[i] : 0;
            result.time = time++;
        }
    }
    RankingOptions options;
    options.league = rules;
    return computeRankingModel(participants.data(), 26, {}, ReportTime{}, options);
}

// "A25 B18": each standing's participant letter and points, in order.
std::string table(const std::vector<Standing>& standings) {
    std::string text;
    for (const Standing& s : standings) {
        text += (text.empty() ? "" : " ") +
                std::string(1, static_cast<char>('A' + s.participantIndex)) +
                std::to_string(s.points);
    }
    return text;
}

const Event* arcade(int index) {
    return &eventOf(-1, index);
}

TEST(LeagueRanking, PlacesTableGivesEachListedPlaceItsPoints) {
    struct Case {
        PlacePoints places;
        std::vector<Finish> finishes;
        std::string standings;
    };
    const Case cases[] = {
        {{25, 18, 15, 12, 10, 8, 6, 4, 2, 1},
         {{arcade(0), "ABCDEFGHIJK"}},
         "A25 B18 C15 D12 E10 F8 G6 H4 I2 J1"}, // the eleventh scores nothing
        {{5, 3, 3}, {{arcade(0), "ABCD"}, {arcade(3), "CD"}}, "C8 A5 B3 D3"},
        {{0}, {{arcade(0), "ABC"}}, ""},
        {fixedPlacePoints(), {{arcade(0), "ABCDEFG"}, {arcade(1), "FG"}}, "F13 A12 B8 G8 C6 D4 E2"},
    };
    for (const Case& c : cases) {
        LeagueRules rules;
        rules.places = c.places;
        std::vector<ParticipantRecord> participants;
        RankingModel m = ranked(c.finishes, rules, participants);
        EXPECT_EQ(table(m.standings), c.standings);
        for (size_t k = 0; k < m.arcade[0].results.size(); ++k) {
            EXPECT_EQ(m.arcade[0].results[k].points, c.places[k]) << c.standings;
        }
        for (const Standing& s : m.standings) { // the participant carries its total too
            EXPECT_EQ(m.participants[static_cast<size_t>(s.participantIndex)].points, s.points);
        }
    }
}

TEST(LeagueRanking, CountBackSplitsEqualPointsByPlacesHeld) {
    // With 12-8-6-4-2-1, A, B and C have 20 points each: C one win and one second place, B one
    // win, a third and a fifth, A two seconds and a fourth.
    const std::vector<Finish> threeWay = {
        {arcade(0), "CAB"}, {arcade(1), "BCDA"}, {&eventOf(0, 0), "DAEFB"}};
    // A and B win once each; B is also tenth, which earns nothing.
    const std::vector<Finish> tenth = {
        {arcade(0), "A"}, {arcade(1), "CDEFGHIJKB"}, {arcade(2), "B"}};
    struct Case {
        std::vector<Finish> finishes;
        TieBreak tieBreak;
        std::string standings;
    };
    const Case cases[] = {
        {threeWay, TieBreak::FileOrder, "A20 B20 C20 D18 E6 F4"},
        {threeWay, TieBreak::CountBack, "C20 B20 A20 D18 E6 F4"},
        {{{arcade(0), "B"}, {arcade(1), "A"}}, TieBreak::CountBack, "A12 B12"}, // equal all through
        {tenth, TieBreak::FileOrder, "A12 B12 C12 D8 E6 F4 G2 H1"},
        {tenth, TieBreak::CountBack, "B12 A12 C12 D8 E6 F4 G2 H1"},
    };
    for (const Case& c : cases) {
        LeagueRules rules;
        rules.tieBreak = c.tieBreak;
        std::vector<ParticipantRecord> participants;
        RankingModel m = ranked(c.finishes, rules, participants);
        EXPECT_EQ(table(m.standings), c.standings);
        for (size_t p = 0; p < m.standings.size(); ++p) {
            EXPECT_EQ(m.standings[p].place, static_cast<int32_t>(p + 1)) << c.standings;
        }
    }
}

TEST(LeagueRanking, BestRalliesCountOnlyTheHighestRallyTotals) {
    // With 12-8-6-4-2-1, A has Finland 12, France 8, Australia 12 + 2 = 14 and arcade 6; B has
    // Finland 8, France 12, Australia 8.
    const std::vector<Finish> finishes = {{&eventOf(0, 0), "AB"},
                                          {&eventOf(2, 0), "BA"},
                                          {&eventOf(4, 0), "AB"},
                                          {&eventOf(4, 1), "CDEFA"},
                                          {arcade(3), "CDA"}};
    const uint8_t finland = 1, france = 4, australia = 16;
    struct Case {
        int bestRallies;
        int points;      // A's total
        uint8_t counted; // A's rallies that count
        uint8_t countedOfB;
    };
    const Case cases[] = {
        {0, 12 + 8 + 14 + 6, finland | france | australia, finland | france | australia},
        {8, 12 + 8 + 14 + 6, finland | france | australia, finland | france | australia},
        {2, 12 + 14 + 6, finland | australia, finland | france}, // B's equal ones: the earlier
        {1, 14 + 6, australia, france},
    };
    for (const Case& c : cases) {
        LeagueRules rules;
        rules.bestRallies = c.bestRallies;
        std::vector<ParticipantRecord> participants;
        RankingModel m = ranked(finishes, rules, participants);
        for (size_t s = 0; s < m.standings.size(); ++s) {
            const Standing& standing = m.standings[s];
            if (standing.participantIndex == 0) {
                EXPECT_EQ(standing.points, c.points) << c.bestRallies;
                EXPECT_EQ(standing.countedRallies, c.counted) << c.bestRallies;
                // Every rally total stays in the driver's summary; only the total leaves some out.
                EXPECT_EQ(m.drivers[s].rallyPoints[4], 14);
            } else if (standing.participantIndex == 1) {
                EXPECT_EQ(standing.countedRallies, c.countedOfB) << c.bestRallies;
            }
        }
    }
}

TEST(LeagueRanking, ClassesRankOnlyTheTimesOfTheirVehicles) {
    // A drives a hoshin arc MT, B a marlet 140 AT, C an arden vela MT (a marlet 140 AT in
    // Finland 1), D a hoshin arc AT. Overall: C 12 + 6, D 4 + 12, A 6 + 8, B 8 + 4.
    const std::vector<uint8_t> usual = {8, MarletAt, 0, 8 | 0x40};
    const std::vector<Finish> finishes = {{arcade(0), "CBAD"}, {&eventOf(0, 0), "DAcB"}};
    const VehicleClass manual{"Manual", 0, AnyVehicle};
    const VehicleClass light{"Light", AnyTransmission, uint64_t{1} << 8 | uint64_t{1} << 10};
    struct Case {
        VehicleClass vehicleClass;
        TieBreak tieBreak;
        std::string standings, arcadeListing, stageListing;
    };
    // Light: the arcade event lists B, A, D, the stage D, A, C, B; A and B tie on 16, A with
    // two second places, B with a win.
    const Case cases[] = {
        {manual, TieBreak::FileOrder, "A20 C12", "C12 A8", "A12"},
        {light, TieBreak::FileOrder, "D18 A16 B16 C6", "B12 A8 D6", "D12 A8 C6 B4"},
        {light, TieBreak::CountBack, "D18 B16 A16 C6", "B12 A8 D6", "D12 A8 C6 B4"},
    };
    for (const Case& c : cases) {
        LeagueRules rules;
        rules.tieBreak = c.tieBreak;
        rules.classes = {light, c.vehicleClass};
        std::vector<ParticipantRecord> participants;
        RankingModel m = ranked(finishes, rules, participants, usual);
        ASSERT_EQ(m.classes.size(), 2u);
        const ClassRanking& ranking = m.classes[1];
        EXPECT_EQ(table(ranking.standings), c.standings);
        auto listed = [](const EventListing& listing) {
            std::vector<Standing> places;
            for (const ListedResult& r : listing.results) {
                places.push_back({0, r.participantIndex, r.points});
            }
            return table(places);
        };
        EXPECT_EQ(listed(ranking.arcade.at(0)), c.arcadeListing) << c.standings;
        EXPECT_EQ(listed(ranking.stages.at(0)), c.stageListing) << c.standings;
        EXPECT_EQ(table(m.standings), "C18 D16 A14 B12"); // the whole field as without classes
    }
}

// Points adjustments count in every standings the driver is in, or in the one class named.
TEST(LeagueRanking, ClassStandingsCountAdjustmentsUnderBestRallies) {
    // A drives a hoshin arc MT, B a marlet 140 AT (both Light), C an arden vela (not Light).
    // Finland 1: A 12, B 8, C 6; France 1: B 12, A 8; Arcade Italy: B 12, A 8. The best rally
    // counts: A 12 + 8 = 20, B 12 + 12 = 24, C 6.
    const std::vector<uint8_t> usual = {8, MarletAt, 0};
    const std::vector<Finish> finishes = {
        {&eventOf(0, 0), "ABC"}, {&eventOf(2, 0), "BA"}, {arcade(0), "BA"}};
    LeagueRules rules;
    rules.bestRallies = 1;
    rules.classes = {{"Light", AnyTransmission, uint64_t{1} << 8 | uint64_t{1} << 10}};
    std::vector<ParticipantRecord> participants;
    ranked(finishes, rules, participants, usual);
    // A +5 and C +2 everywhere; B -10 in Light only; C +3 in a class the league lacks.
    DecidedField decided;
    decided.records = participants;
    decided.excludedBy.assign(26, 0);
    decided.adjustments.assign(26, 0);
    decided.adjustments[0] = 5;
    decided.adjustments[2] = 2;
    decided.classAdjustments = {{"Light", std::vector<int>(26, 0)},
                                {"Heavy", std::vector<int>(26, 0)}};
    decided.classAdjustments[0].points[1] = -10;
    decided.classAdjustments[1].points[2] = 3;
    RankingOptions options;
    options.league = rules;
    options.decided = &decided;
    const RankingModel m =
        computeRankingModel(decided.records.data(), 26, {}, ReportTime{}, options);
    EXPECT_EQ(table(m.standings), "A25 B24 C8");
    ASSERT_EQ(m.classes.size(), 1u);
    const std::vector<Standing>& light = m.classes[0].standings;
    // C has no Light time: its adjustment does not bring it into Light's standings.
    EXPECT_EQ(table(light), "A25 B14");
    ASSERT_EQ(light.size(), 2u);
    EXPECT_EQ(light[0].adjustment, 5);
    EXPECT_EQ(light[1].adjustment, -10);
    // Under best-of-one, A's France and B's Finland are struck in the class too.
    EXPECT_EQ(light[0].countedRallies, 1u);
    EXPECT_EQ(light[1].countedRallies, 4u);
}

} // namespace
