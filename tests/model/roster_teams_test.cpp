// Drivers across files and teams on hand-worked fields: the roster's merge of files, team
// standings that count only each team's best members, and the head-to-head of three drivers.
#include "model/ranking_model.h"
#include "model/roster.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using namespace kvr;

ParticipantRecord driver(const std::string& code, const std::string& name,
                         std::vector<uint32_t> arcade = {}) {
    ParticipantRecord record{};
    std::memcpy(record.code, code.data(), std::min(code.size(), size_t{3}));
    std::memcpy(record.name, name.data(), std::min(name.size(), size_t{43}));
    for (size_t e = 0; e < arcade.size(); ++e) {
        record.arcadeResults[e].time = arcade[e];
        record.arcadeResults[e].vehicle = 1;
    }
    return record;
}

std::string identity(const ParticipantRecord& record) {
    const DriverIdentity d = driverIdentity(record);
    return d.code + " " + d.name;
}

TEST(Roster, FilesOfOneDriverMergeIntoTheFirstWithTheBestOfEachTime) {
    Roster pia;
    pia.drivers.push_back({{"PFE", "Pia Fors"}, {{"PFE", "Pia Frs"}, {"PF", "Pia"}}, ""});
    Roster copies;
    copies.mergeCopies = true;
    const struct {
        const char* what;
        const Roster* roster;
        std::vector<int32_t> primary;
        std::vector<std::string> identities;
        std::vector<uint32_t> firstTimes; // record 0's arcade 1 to 3
    } cases[] = {
        {"roster: the alias first takes the roster's name; the copy of ABE stays apart",
         &pia,
         {0, 1, 0, 3, 0},
         {"PFE Pia Fors", "ABE Anna Berg", "PFE Pia Fors", "ABE Anna Berg", "PF Pia"},
         {1000, 900, 700}},
        {"copies merge: ABE's copy joins, the renamed files do not",
         &copies,
         {0, 1, 2, 1, 4},
         {"PFE Pia Frs", "ABE Anna Berg", "PFE Pia Fors", "ABE Anna Berg", "PF Pia"},
         {1000, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<ParticipantRecord> records = {
            driver("PFE", "Pia Frs", {1000}),       driver("ABE", "Anna Berg", {1100, 1200}),
            driver("PFE", "Pia Fors", {1200, 900}), driver("ABE", "Anna Berg", {1000, 1300}),
            driver("PF", "Pia", {0, 0, 700}),
        };
        const MergedDrivers merged = mergeDrivers(*c.roster, records);
        EXPECT_TRUE(merged.merged);
        EXPECT_EQ(merged.primary, c.primary);
        std::vector<std::string> identities;
        for (const ParticipantRecord& r : records) {
            identities.push_back(identity(r));
        }
        EXPECT_EQ(identities, c.identities);
        for (size_t e = 0; e < c.firstTimes.size(); ++e) {
            EXPECT_EQ(records[0].arcadeResults[e].time, c.firstTimes[e]) << e;
        }
        // A file merged into another keeps no time of its own.
        for (size_t i = 0; i < records.size(); ++i) {
            if (merged.primary[i] != static_cast<int32_t>(i)) {
                for (const ResultEntry& r : records[i].arcadeResults) {
                    EXPECT_EQ(r.time, 0u) << i;
                }
            }
        }
    }
    std::vector<ParticipantRecord> apart = {driver("A", "A", {1}), driver("A", "A", {2})};
    EXPECT_FALSE(mergeDrivers(Roster(), apart).merged);
    EXPECT_EQ(apart[1].arcadeResults[0].time, 2u);
}

// Two files of one roster driver set a stage's time each, in different cars: the merged result
// is the faster one with its car, the first file's on an equal time, and the driver stands in
// that car's class alone.
TEST(Roster, AnEqualTimeKeepsTheFirstFilesCarAndItsClassPlace) {
    constexpr uint8_t Arc = 8;  // a hoshin arc MT
    constexpr uint8_t Vela = 0; // an arden vela MT
    LeagueRules rules;
    rules.roster.drivers.push_back({{"PFE", "Pia Fors"}, {{"PF", "Pia"}}, ""});
    rules.classes = {{"Arc", AnyTransmission, uint64_t{1} << Arc},
                     {"Vela", AnyTransmission, uint64_t{1} << Vela}};
    const struct {
        const char* what;
        uint32_t first, second; // stored words of the arc's file, then the vela's
        uint8_t vehicle;        // of the merged result
        std::string arc, vela;  // the class listings of the stage: "code code"
    } cases[] = {
        {"equal times", 5001, 5001, Arc, "PFE AGR", "ABE"},
        {"the second file faster", 5001, 4001, Vela, "AGR", "PFE ABE"},
        {"the first file faster", 4001, 5001, Arc, "PFE AGR", "ABE"},
    };
    const Event& stage = eventOf(0, 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<ParticipantRecord> records = {driver("PF", "Pia"), driver("PFE", "Pia Fors"),
                                                  driver("ABE", "Anna Berg"),
                                                  driver("AGR", "Anton Grahn")};
        const std::pair<uint32_t, uint8_t> results[] = {
            {c.first, Arc}, {c.second, Vela}, {6001, Vela}, {5501, Arc}};
        for (size_t i = 0; i < records.size(); ++i) {
            records[i].stageResults[stage.slot] = {results[i].second, {}, results[i].first};
        }
        ASSERT_TRUE(mergeDrivers(rules.roster, records).merged);
        const ResultEntry& merged = stage.resultOf(records[0]);
        EXPECT_EQ(merged.time, std::min(c.first, c.second));
        EXPECT_EQ(int{merged.vehicle}, int{c.vehicle});
        RankingOptions options;
        options.league = rules;
        const RankingModel m = computeRankingModel(
            records.data(), static_cast<int32_t>(records.size()), {}, ReportTime{}, options);
        ASSERT_EQ(m.classes.size(), 2u);
        auto listed = [&](const ClassRanking& ranking) {
            std::string codes;
            for (const EventListing& listing : ranking.stages) {
                if (listing.event != &stage) {
                    continue;
                }
                for (const ListedResult& r : listing.results) {
                    codes += (codes.empty() ? "" : " ") +
                             m.participants[static_cast<size_t>(r.participantIndex)].code;
                }
            }
            return codes;
        };
        EXPECT_EQ(listed(m.classes[0]), c.arc);
        EXPECT_EQ(listed(m.classes[1]), c.vela);
    }
}

// Copies merge by the code and name the outputs show: bytes that show alike are alike.
TEST(Roster, CopiesMergeByTheirShownIdentity) {
    Roster copies;
    copies.mergeCopies = true;
    std::vector<ParticipantRecord> records = {
        driver("X", "Bo\x01", {500}),       driver("X", "Bo\x02", {0, 400}),
        driver("X", "Bo\x8D", {0, 0, 300}), driver("X", "Bo\x9D", {0, 0, 200}),
        driver("X", "Bo", {100}),           driver("X", "Bo\x01", {0, 0, 0, 50}),
    };
    const MergedDrivers merged = mergeDrivers(copies, records);
    // "Bo?" thrice, "Bo\uFFFD" twice, "Bo" once.
    EXPECT_EQ(merged.primary, (std::vector<int32_t>{0, 0, 2, 2, 4, 0}));
    EXPECT_EQ(records[0].arcadeResults[0].time, 500u);
    EXPECT_EQ(records[0].arcadeResults[1].time, 400u);
    EXPECT_EQ(records[0].arcadeResults[3].time, 50u);
    EXPECT_EQ(records[2].arcadeResults[2].time, 200u);
    EXPECT_EQ(records[4].arcadeResults[0].time, 100u);
    EXPECT_EQ(identity(records[1]), identity(records[0]));
}

TEST(Roster, GameTextTakesPrintableLatin1Only) {
    const struct {
        const char* utf8;
        bool ok;
        const char* bytes;
    } cases[] = {
        {"Anna Berg", true, "Anna Berg"}, {"Zeno T\xC3\xA4mm", true, "Zeno T\xE4mm"},
        {"\xC2\xA0x", true, "\xA0x"},     {"\xC2\x85", false, ""}, // a C1 control
        {"\xCE\xA9mega", false, ""},                               // beyond Latin-1
        {"tab\there", false, ""},                                  // a control byte
        {"cut \xC3", false, ""},                                   // a cut sequence
    };
    for (const auto& c : cases) {
        std::string bytes;
        EXPECT_EQ(toGameText(c.utf8, bytes), c.ok) << c.utf8;
        if (c.ok) {
            EXPECT_EQ(bytes, c.bytes);
        }
    }
}

// Arcade events with the given finish, first to last: participant letters, times 1000, 1001, ...
RankingModel field(std::vector<ParticipantRecord>& records,
                   const std::vector<std::string>& finishes, const LeagueRules& rules) {
    records.clear();
    for (char c = 'A'; c <= 'I'; ++c) {
        records.push_back(driver(std::string(1, c), std::string("Driver ") + c));
    }
    for (size_t e = 0; e < finishes.size(); ++e) {
        uint32_t time = 1000;
        for (char who : finishes[e]) {
            ResultEntry& r = records[static_cast<size_t>(who - 'A')].arcadeResults[e];
            r.time = time++;
            r.vehicle = 1;
        }
    }
    RankingOptions options;
    options.league = rules;
    options.headToHead = true;
    return computeRankingModel(records.data(), static_cast<int32_t>(records.size()), {},
                               ReportTime{}, options);
}

// "Red 23 A,C,B" per team standing: name, points and the members in standings order.
std::vector<std::string> teams(const RankingModel& model) {
    std::vector<std::string> rows;
    for (const TeamStanding& t : model.teams) {
        std::string members;
        for (int32_t m : t.members) {
            members += (members.empty() ? "" : ",") + model.participants[size_t(m)].code;
        }
        rows.push_back(model.league.roster.teams[t.team].name + " " + std::to_string(t.points) +
                       " " + members);
    }
    return rows;
}

TEST(Teams, EachEventCountsATeamsBestMembersOnly) {
    // Red is A, B, C by code; Blue is D by the roster and E by code. Places 10-6-4-3-2-1.
    LeagueRules rules;
    rules.places = {10, 6, 4, 3, 2, 1, 0, 0, 0, 0};
    rules.roster.drivers.push_back({{"D", "Driver D"}, {}, "Blue"});
    const Team red{"Red", 2, {"A", "B", "C"}};
    const Team blue{"Blue", 2, {"E"}};
    const struct {
        const char* what;
        std::vector<Team> teams;
        TieBreak tieBreak;
        std::vector<std::string> finishes;
        std::vector<std::string> standings;
    } cases[] = {
        // Arcade 1: C10 A6 D4 B3 E2; arcade 2: D10 E6 C4 A3 B2. Red C10+A6, C4+A3 = 23 (B's
        // 3 and 2 are a third member's); Blue D4+E2, D10+E6 = 22.
        {"the third member's points do not count",
         {red, blue},
         TieBreak::FileOrder,
         {"CADBEF", "DECAB"},
         {"Red 23 C,A,B", "Blue 22 D,E"}},
        {"with three counted they do",
         {Team{"Red", 3, {"A", "B", "C"}}, blue},
         TieBreak::FileOrder,
         {"CADBEF", "DECAB"},
         {"Red 28 C,A,B", "Blue 22 D,E"}},
        // Red A10 B6 = 16; Blue D10 E4, E2 = 16. Count-back: Red's second place beats Blue's
        // third; in file order Blue, written first, stays first.
        {"count-back",
         {blue, red},
         TieBreak::CountBack,
         {"AB", "DFE", "FGHIE"},
         {"Red 16 A,B", "Blue 16 D,E"}},
        {"file order",
         {blue, red},
         TieBreak::FileOrder,
         {"AB", "DFE", "FGHIE"},
         {"Blue 16 D,E", "Red 16 A,B"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        LeagueRules league = rules;
        league.roster.teams = c.teams;
        league.tieBreak = c.tieBreak;
        std::vector<ParticipantRecord> records;
        const RankingModel model = field(records, c.finishes, league);
        EXPECT_EQ(teams(model), c.standings);
        ASSERT_EQ(model.teamOf.size(), records.size());
        EXPECT_EQ(model.teams[0].place, 1);
        EXPECT_EQ(model.teams[1].place, 2);
    }
}

TEST(HeadToHead, ThreeDriversPairByPairWithTheirClosestRivals) {
    // Arcade 1: A B C; 2: B A; 3: A and C in the same time; 4: A B C. Places 10-6-4:
    // A 36, B 22, C 14.
    std::vector<ParticipantRecord> records = {
        driver("A", "A", {1000, 1100, 1000, 1000}),
        driver("B", "B", {1100, 1000, 0, 1050}),
        driver("C", "C", {1200, 0, 1000, 1100}),
    };
    RankingOptions options;
    options.league.places = {10, 6, 4, 0, 0, 0, 0, 0, 0, 0};
    options.headToHead = true;
    const RankingModel model = computeRankingModel(records.data(), 3, {}, ReportTime{}, options);
    std::vector<std::string> pairs;
    for (const HeadToHead& p : model.headToHead) {
        pairs.push_back(model.participants[size_t(p.a)].code +
                        model.participants[size_t(p.b)].code + " " + std::to_string(p.events) +
                        " " + std::to_string(p.aFaster) + "-" + std::to_string(p.bFaster) + "-" +
                        std::to_string(p.equal) + " " + std::to_string(p.aPoints) + ":" +
                        std::to_string(p.bPoints));
    }
    EXPECT_EQ(pairs, (std::vector<std::string>{"AB 3 2-1-0 26:22", "AC 3 2-0-1 30:14",
                                               "BC 2 2-0-0 12:8"}));
    // A and B are one win apart; C is two from both, and met A in more events.
    EXPECT_EQ(model.closestRivals, (std::vector<int32_t>{0, 0, 1}));
}

TEST(HeadToHead, AllPairsUpToThirtyDriversThenTheFirstTensOnly) {
    const struct {
        size_t drivers;
        size_t pairs;
    } cases[] = {{1, 0}, {2, 1}, {30, 435}, {31, 45}, {200, 45}};
    for (const auto& c : cases) {
        // Each driver alone or nearly so in an event of their own: every one has points.
        std::vector<ParticipantRecord> records(c.drivers, driver("D", "D"));
        for (size_t i = 0; i < c.drivers; ++i) {
            const Event& event = allEvents()[i % EventCount];
            ResultEntry& r = event.isArcade() ? records[i].arcadeResults[event.slot]
                                              : records[i].stageResults[event.slot];
            r.time = static_cast<uint32_t>(1000 + i);
        }
        RankingOptions options;
        options.headToHead = true;
        const RankingModel model = computeRankingModel(
            records.data(), static_cast<int32_t>(c.drivers), {}, ReportTime{}, options);
        ASSERT_EQ(model.standings.size(), c.drivers);
        EXPECT_EQ(model.headToHead.size(), c.pairs) << c.drivers;
    }
}

} // namespace
