// The history's lines: this run's snapshot read back as written, by the fast reader and by the
// general parser alike; lines that are not snapshots; a history's text read line by line; and
// the comparison's rules that the end-to-end runs do not reach.
#include "data/text.h"
#include "history/season.h"
#include "history/snapshot.h"
#include "history/snapshot_readers.h"
#include "support/participant_builder.h"
#include "support/random_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>

namespace {

using namespace kvr;
using namespace kvr::history;
using kvrtest::ParticipantFileBuilder;

const ReportTime Noon{2026, 12, 7, 12, 5, 9};

void expectSameSnapshot(const Snapshot& a, const Snapshot& b) {
    EXPECT_EQ(a.at, b.at);
    EXPECT_EQ(a.decisions, b.decisions);
    ASSERT_EQ(a.standings.size(), b.standings.size());
    for (size_t i = 0; i < a.standings.size(); ++i) {
        EXPECT_EQ(a.standings[i].place, b.standings[i].place);
        EXPECT_EQ(a.standings[i].code, b.standings[i].code);
        EXPECT_EQ(a.standings[i].name, b.standings[i].name);
        EXPECT_EQ(a.standings[i].points, b.standings[i].points);
    }
    for (size_t n = 0; n < a.records.size(); ++n) {
        ASSERT_EQ(a.records[n].has_value(), b.records[n].has_value()) << n;
        if (a.records[n]) {
            EXPECT_EQ(a.records[n]->hundredths, b.records[n]->hundredths);
            EXPECT_EQ(a.records[n]->code, b.records[n]->code);
            EXPECT_EQ(a.records[n]->name, b.records[n]->name);
        }
    }
}

// Folders with names of any byte: quotes, backslashes and Windows-1252 letters in the line.
TEST(Snapshot, ReadBackAsWrittenByEitherReader) {
    for (uint32_t seed = 1; seed <= 8; ++seed) {
        SCOPED_TRACE(seed);
        kvrtest::RandomFolderShape shape;
        shape.participants = 3 + seed * 5;
        std::vector<ParticipantRecord> participants = kvrtest::randomParticipants(seed, shape);
        RankingModel model = computeRankingModel(
            participants.data(), static_cast<int32_t>(participants.size()), {}, Noon);
        // A run with decisions keeps the numbers of those that matched.
        if (seed % 2 == 1) {
            model.decisionEffects.resize(3);
            model.decisionEffects[0].matched = seed != 1;
            model.decisionEffects[2].matched = true;
        }
        const std::string line = snapshotLine(model);
        ASSERT_EQ(line.find('\n'), line.size() - 1);
        const std::string_view body(line.data(), line.size() - 1);

        std::optional<Snapshot> read = parseSnapshot(body);
        ASSERT_TRUE(read.has_value()) << line;
        EXPECT_EQ(read->at, "2026-12-07T12:05:09");
        Snapshot compact;
        EXPECT_TRUE(readCompactSnapshot(body, compact)) << line;
        const std::vector<int32_t> matched = seed == 1  ? std::vector<int32_t>{3}
                                             : seed % 2 ? std::vector<int32_t>{1, 3}
                                                        : std::vector<int32_t>{};
        EXPECT_EQ(read->decisions, matched);
        ASSERT_EQ(read->standings.size(), model.standings.size());
        for (size_t i = 0; i < model.standings.size(); ++i) {
            const RankedParticipant& p =
                model.participants[static_cast<size_t>(model.standings[i].participantIndex)];
            EXPECT_EQ(read->standings[i].place, model.standings[i].place);
            EXPECT_EQ(read->standings[i].code, windows1252ToUtf8(std::string(p.gameCode())));
            EXPECT_EQ(read->standings[i].name, windows1252ToUtf8(std::string(p.gameName())));
            EXPECT_EQ(read->standings[i].points, model.standings[i].points);
        }
        size_t records = 0;
        for (const auto* listings : {&model.stages, &model.arcade}) {
            for (const EventListing& listed : *listings) {
                const auto& record = read->records[static_cast<size_t>(listed.event->number)];
                ASSERT_TRUE(record.has_value());
                EXPECT_EQ(record->hundredths, listed.results[0].time);
                EXPECT_NE(line.find("\"time\":\"" + formatTime(listed.results[0].time) + "\""),
                          std::string::npos);
                ++records;
            }
        }
        EXPECT_EQ(std::count_if(read->records.begin(), read->records.end(),
                                [](const auto& r) { return r.has_value(); }),
                  static_cast<long>(records));

        // Spaced out, the line is beyond the fast reader: the general parser reads the same.
        std::string spaced(body);
        for (size_t at = spaced.find("\":"); at != std::string::npos;
             at = spaced.find("\":", at + 3)) {
            spaced.insert(at + 2, " ");
        }
        std::optional<Snapshot> general = parseSnapshot(spaced);
        ASSERT_TRUE(general.has_value()) << spaced;
        expectSameSnapshot(*read, *general);
    }
}

TEST(Snapshot, WhatIsAndIsNotASnapshot) {
    const std::string entry = R"({"place":1,"code":"A","name":"Ann","points":12})";
    const std::string record =
        R"({"event":"arcade-1","time":"00:10.00","hundredths":1000,"code":"A","name":"Ann",)"
        R"("vehicle":"x","transmission":"MT"})";
    const std::string compact = R"({"kvrrank_history":1,"at":"2026-01-02T03:04:05",)"
                                R"("participants":1,"standings":[)" +
                                entry + R"(],"records":[)" + record + "]}";
    struct Case {
        std::string line;
        bool snapshot;
        size_t standings;
        size_t records;
    };
    const Case cases[] = {
        {compact, true, 1, 1},
        {R"({"kvrrank_history":1})", true, 0, 0},
        {R"({"at":"x","kvrrank_history":1})", true, 0, 0},
        {R"({"kvrrank_history":2})", false, 0, 0},
        {R"({"kvrrank_history":"1"})", false, 0, 0},
        {R"({"kvrrank_history":1.0})", false, 0, 0},
        {R"([{"kvrrank_history":1}])", false, 0, 0},
        {"Ranking at 2026.01.02 03:04:05", false, 0, 0},
        {compact.substr(0, compact.size() - 1), false, 0, 0}, // torn
        {compact + " x", false, 0, 0},
        {compact + " ", true, 1, 1},
        {compact + "\r", true, 1, 1},
        // Not UTF-8 inside a string.
        {R"({"kvrrank_history":1,"at":"2026-01-02T03:04:05","participants":1,"standings":[)"
         R"({"place":1,"code":"A","name":"An)"
         "\xC3\x28"
         R"(","points":12}],"records":[]})",
         false, 0, 0},
        // Entries that lack a field or have one of the wrong kind are left out.
        {R"({"kvrrank_history":1,"standings":[)" + entry +
             R"(,{"place":0,"code":"A","name":"B","points":1},{"place":2,"code":"A","points":1},)"
             R"({"place":3,"code":"A","name":"B","points":1.5},)"
             R"({"place":4,"code":"A","name":"B","points":-1},5]})",
         true, 1, 0},
        {R"({"kvrrank_history":1,"records":[)" + record +
             R"(,{"event":"arcade-9","time":"t","hundredths":1,"code":"A","name":"B"},)"
             R"({"event":"arcade-2","time":"t","hundredths":-1,"code":"A","name":"B"},)"
             R"({"event":"arcade-3","time":"t","hundredths":5,"code":"A","name":"B"}]})",
         true, 0, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        std::optional<Snapshot> read = parseSnapshot(c.line);
        ASSERT_EQ(read.has_value(), c.snapshot);
        if (read) {
            EXPECT_EQ(read->standings.size(), c.standings);
            EXPECT_EQ(std::count_if(read->records.begin(), read->records.end(),
                                    [](const auto& r) { return r.has_value(); }),
                      static_cast<long>(c.records));
        }
    }

    // Escapes as any JSON writer may use them, and the first of an event's records.
    std::optional<Snapshot> escaped = parseSnapshot(
        R"({"kvrrank_history":1,"standings":[{"place":1,"code":"\u00c9\"","name":"a\\b\/c\n",)"
        R"("points":3}],"records":[)" +
        record + "," + record +
        R"(,{"event":"arcade-1","time":"00:01.00","hundredths":100,)"
        R"("code":"B","name":"Bo"}]})");
    ASSERT_TRUE(escaped.has_value());
    EXPECT_EQ(escaped->standings[0].code, "\xC3\x89\"");
    EXPECT_EQ(escaped->standings[0].name, "a\\b/c\n");
    const auto arcade1 = static_cast<size_t>(eventOf(-1, 0).number);
    ASSERT_TRUE(escaped->records[arcade1]);
    EXPECT_EQ(escaped->records[arcade1]->hundredths, 1000u);
}

TEST(History, ReadingItsLines) {
    const std::string a = R"({"kvrrank_history":1,"at":"A"})";
    const std::string b = R"({"kvrrank_history":1,"at":"B"})";
    struct Case {
        std::string text;
        size_t snapshots;
        std::vector<std::pair<size_t, std::string>> skipped; // line number, reason
        bool isHistory;
        std::string previous; // the last snapshot's time
    };
    const Case cases[] = {
        {"", 0, {}, true, ""},
        {"\n\r\n\n", 0, {}, true, ""},
        {a + "\n" + b + "\n", 2, {}, true, "B"},
        {a + "\r\n" + b, 2, {}, true, "B"},
        {a + "\n\nforeign\n" + b + "\n", 2, {{3, NotASnapshot}}, true, "B"},
        {a + "\n" + b.substr(0, 25), 1, {{2, CutShortSnapshot}}, true, "A"},
        {b.substr(0, 25), 0, {{1, CutShortSnapshot}}, true, ""},
        {"Participants : \n  01. ABC , 2001.01.01 , Ann\n",
         0,
         {{1, NotASnapshot}, {2, NotASnapshot}},
         false,
         ""},
        {"\r\n{}\n[]\n", 0, {{2, NotASnapshot}, {3, NotASnapshot}}, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        HistoryDigest digest = readHistory(c.text);
        EXPECT_EQ(digest.runs.size(), c.snapshots);
        std::vector<std::pair<size_t, std::string>> skipped;
        for (const SkippedLine& line : digest.skipped) {
            skipped.emplace_back(line.line, line.reason);
        }
        EXPECT_EQ(skipped, c.skipped);
        EXPECT_EQ(digest.isHistory(), c.isHistory);
        EXPECT_EQ(digest.runs.empty() ? "" : digest.runs.back().at.value_or("?"), c.previous);
    }
    EXPECT_EQ(textToAppend("", "L\n"), "L\n");
    EXPECT_EQ(textToAppend("x\n", "L\n"), "L\n");
    EXPECT_EQ(textToAppend("x", "L\n"), "\nL\n");
}

// A standing at place 0 and numbers of ten digits, which the fast reader gives up on: the
// general reader decides, and what either reads of a line the other reads the same.
TEST(Snapshot, BothReadersAgreeOnEdgeNumbers) {
    const auto line = [](const std::string& place, const std::string& points,
                         const std::string& hundredths, const std::string& decision) {
        return R"({"kvrrank_history":1,"at":"A","participants":1,"standings":[{"place":)" + place +
               R"(,"code":"A","name":"Ann","points":)" + points +
               R"(}],"records":[{"event":"arcade-1","time":"t","hundredths":)" + hundredths +
               R"(,"code":"A","name":"Ann","vehicle":"v","transmission":"MT"}],"decisions":[)" +
               decision + "]}";
    };
    const struct {
        std::string line;
        size_t standings;
        bool record;
        size_t decisions;
    } cases[] = {
        {line("1", "12", "1000", "1"), 1, true, 1}, // as this program writes it
        {line("0", "12", "1000", "1"), 0, true, 1},
        {line("1000000000", "1234567890", "4000000000", "2147483647"), 1, true, 1},
        {line("2147483648", "12", "1000", "1"), 0, true, 1},
        {line("1", "4294967295", "1000", "1"), 0, true, 1},
        {line("1", "12", "4294967296", "1"), 1, false, 1},
        {line("1", "12", "9999999999", "9999999999"), 1, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const std::optional<Snapshot> general = parseGeneralSnapshot(c.line);
        Snapshot compact;
        if (readCompactSnapshot(c.line, compact)) {
            ASSERT_TRUE(general.has_value());
            expectSameSnapshot(compact, *general);
        }
        const std::optional<Snapshot> read = parseSnapshot(c.line);
        ASSERT_TRUE(read.has_value());
        ASSERT_TRUE(general.has_value());
        expectSameSnapshot(*read, *general);
        EXPECT_EQ(read->standings.size(), c.standings);
        EXPECT_EQ(read->records[static_cast<size_t>(eventOf(-1, 0).number)].has_value(), c.record);
        EXPECT_EQ(read->decisions.size(), c.decisions);
    }
}

// A file is a history when its first line is a snapshot; a first line longer than what was read
// of it counts when it starts as this program writes one.
TEST(History, BeginsAsHistory) {
    const struct {
        std::string head;
        bool whole;
        bool history;
    } cases[] = {
        {"{\"kvrrank_history\":1,\"at\":\"A\"}\n<html>", true, true},
        {"{ \"kvrrank_history\": 1 }\r\nx", true, true},
        {"{ \"kvrrank_history\": 1 }", true, true},
        {"{\"kvrrank_history\":1,\"standings\":[{\"pl", false, true},
        {"{ \"kvrrank_history\": 1, \"standings\":[{\"pl", false, false},
        {"{\"kvrrank_history\":1,\"standings\":[{\"pl", true, false},
        {"{\"kvrrank_history\":2}\n", true, false},
        {"\n{\"kvrrank_history\":1}\n", true, false},
        {"<!DOCTYPE html>\n", true, false},
        {"", true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.head);
        EXPECT_EQ(beginsAsHistory(c.head, c.whole), c.history);
    }
}

// An event's record is logged whenever its time, its code or its name differs from the last one
// logged, an equal time in other hands included; a run without the event logs nothing.
TEST(History, RecordLogKeepsEveryChangeOfHands) {
    struct Run {
        const char* at;
        const char* code; // nullptr: no record of the event
        const char* name;
        uint32_t hundredths;
        bool logged;
    };
    const Run runs[] = {
        {"1", "AAA", "Ann", 4999, true}, {"2", "AAA", "Ann", 4999, false},
        {"3", "BBB", "Ann", 4999, true}, {"4", nullptr, "", 0, false},
        {"5", "BBB", "Bob", 4999, true}, {"6", "BBB", "Bob", 4899, true},
        {"7", "AAA", "Ann", 4899, true}, {"8", "AAA", "Ann", 4899, false},
    };
    std::string text;
    std::vector<std::string> expected;
    for (const Run& run : runs) {
        text += R"({"kvrrank_history":1,"at":")" + std::string(run.at) +
                R"(","participants":1,"standings":[],"records":[)";
        if (run.code != nullptr) {
            const std::string holder =
                std::string(run.code) + " " + run.name + " " + std::to_string(run.hundredths);
            text += R"({"event":"rally-1-stage-1","time":"t","hundredths":)" +
                    std::to_string(run.hundredths) + R"(,"code":")" + run.code + R"(","name":")" +
                    run.name + R"(","vehicle":"v","transmission":"MT"})";
            if (run.logged) {
                expected.push_back(std::string(run.at) + " " + holder);
            }
        }
        text += "]}\n";
    }
    const HistoryDigest digest = readHistory(text);
    std::vector<std::string> logged;
    for (const RecordChangeRead& change :
         digest.recordLog[static_cast<size_t>(eventOf(0, 0).number)]) {
        logged.push_back(change.at.value_or("?") + " " + change.holder.code + " " +
                         change.holder.name + " " + std::to_string(change.holder.hundredths));
    }
    EXPECT_EQ(logged, expected);
}

// One participant per (code, name, Finland 1 time) given.
RankingModel modelOf(std::vector<ParticipantRecord>& records,
                     const std::vector<std::pair<std::string, uint32_t>>& drivers) {
    records.clear();
    for (const auto& d : drivers) {
        records.push_back(
            ParticipantFileBuilder().code(d.first).name(d.first).stage(0, 0, 1, d.second).record());
    }
    return computeRankingModel(records.data(), static_cast<int32_t>(records.size()), {}, Noon);
}

// A driver's first entry in the previous standings counts; the chart follows the first ten
// over the last twenty runs, with no point where a driver was absent.
TEST(Season, FirstMatchAndTheChartedRuns) {
    std::vector<ParticipantRecord> records;
    std::string text;
    for (int run = 0; run < 25; ++run) {
        // "X" wins the odd runs, "Y" the even ones; "Z" only ever comes second in run 24.
        RankingModel model = modelOf(
            records, run % 2
                         ? std::vector<std::pair<std::string, uint32_t>>{{"X", 100}, {"Y", 200}}
                         : std::vector<std::pair<std::string, uint32_t>>{{"Y", 100}, {"X", 200}});
        text += snapshotLine(model);
    }
    // A repeated entry of X at place 2 after its place 1.
    text += R"({"kvrrank_history":1,"at":"last","standings":[)"
            R"({"place":1,"code":"X","name":"X","points":12},)"
            R"({"place":2,"code":"X","name":"X","points":8},)"
            R"({"place":3,"code":"Y","name":"Y","points":6}]})"
            "\n";
    RankingModel now = modelOf(records, {{"Z", 50}, {"Y", 60}, {"X", 70}});
    SeasonChanges season = compareSeason(readHistory(text), now);
    EXPECT_EQ(season.runs, 27u);
    EXPECT_EQ(season.previousAt, "last");
    ASSERT_EQ(season.movements.size(), 3u);
    EXPECT_FALSE(season.movements[0].previousPlace); // Z
    EXPECT_EQ(season.movements[1].movement, 1);      // Y: 3 -> 2
    EXPECT_EQ(season.movements[2].movement, -2);     // X: 1 (its first entry) -> 3
    ASSERT_EQ(season.chartRuns.size(), ChartRunCount);
    ASSERT_EQ(season.chart.size(), 3u);
    // Runs 7 to 24 of the loop, the last line, then this run.
    // Z was in none of the earlier runs: no point there, rather than 0.
    std::vector<std::optional<int32_t>> z(19), y, x;
    for (int run = 7; run < 25; ++run) {
        y.push_back(run % 2 ? 8 : 12);
        x.push_back(run % 2 ? 12 : 8);
    }
    z.push_back(12);
    y.insert(y.end(), {6, 8});
    x.insert(x.end(), {12, 6});
    EXPECT_EQ(season.chart[0].points, z);
    EXPECT_EQ(season.chart[1].points, y);
    EXPECT_EQ(season.chart[2].points, x);
    EXPECT_EQ(season.chartRuns.front(), "2026-12-07T12:05:09");
    EXPECT_EQ(season.chartRuns[18], "last");
}

// A record in other hands is logged whatever its time; only a slower one than the record
// before it is marked annulled, as it can only come from a better time taken away.
TEST(Season, ARecordAtAnEqualTimeInOtherHandsIsLoggedNotAnnulled) {
    const struct {
        uint32_t now; // BBB's stored Finland 1 word; AAA held 5000
        bool annulled;
    } cases[] = {{5000, false}, {5001, true}, {4999, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.now);
        std::vector<ParticipantRecord> records;
        const std::string before = snapshotLine(modelOf(records, {{"AAA", 5000}}));
        const RankingModel now = modelOf(records, {{"BBB", c.now}});
        const SeasonChanges season = compareSeason(readHistory(before), now);
        ASSERT_FALSE(season.recordLog.empty());
        const RecordProgression& finland1 = season.recordLog[0];
        ASSERT_EQ(finland1.event, &eventOf(0, 0));
        ASSERT_EQ(finland1.changes.size(), 2u);
        EXPECT_EQ(finland1.changes[0].holder.code, "AAA");
        EXPECT_FALSE(finland1.changes[0].annulled);
        EXPECT_EQ(finland1.changes[1].holder.code, "BBB");
        EXPECT_EQ(finland1.changes[1].holder.hundredths, c.now - 1);
        EXPECT_EQ(finland1.changes[1].annulled, c.annulled);
    }
}

// The digest keeps each driver once, however many runs and records name them, and gives back
// every run as its line said it.
TEST(History, EveryRunReadsBackWithEachDriverNamedOnce) {
    std::vector<ParticipantRecord> records;
    const std::vector<std::vector<std::pair<std::string, uint32_t>>> runs = {
        {{"X", 100}, {"Y", 200}}, {{"Y", 90}, {"X", 95}, {"Z", 300}}, {{"X", 80}, {"X", 85}}};
    std::string text;
    std::vector<std::string> lines;
    for (const auto& drivers : runs) {
        lines.push_back(snapshotLine(modelOf(records, drivers)));
        text += lines.back();
    }
    const HistoryDigest digest = readHistory(text);
    ASSERT_EQ(digest.runs.size(), lines.size());
    for (size_t run = 0; run < lines.size(); ++run) {
        SCOPED_TRACE(run);
        const std::optional<Snapshot> line =
            parseSnapshot(std::string_view(lines[run]).substr(0, lines[run].size() - 1));
        ASSERT_TRUE(line.has_value());
        expectSameSnapshot(digest.snapshot(run), *line);
    }
    std::set<uint32_t> numbers;
    for (const char* name : {"X", "Y", "Z"}) {
        const std::optional<uint32_t> number = digest.driverNumber({name, name});
        ASSERT_TRUE(number.has_value()) << name;
        EXPECT_EQ(digest.driver(*number).name, name);
        numbers.insert(*number);
    }
    EXPECT_EQ(numbers, (std::set<uint32_t>{0, 1, 2}));
    EXPECT_FALSE(digest.driverNumber({"X", "Y"}).has_value());
    EXPECT_EQ(digest.runs[2].standings.at(0).driver, digest.runs[2].standings.at(1).driver);
}

// The history holds every run of the season, oldest first; the chart takes the last of them
// with this run, and numbers them from the season's start.
TEST(Season, EveryRunIsReadAndTheChartTakesTheLast) {
    std::vector<ParticipantRecord> records;
    const RankingModel now = modelOf(records, {{"X", 100}});
    for (size_t earlier : {size_t{1}, ChartRunCount - 2, ChartRunCount - 1, ChartRunCount,
                           size_t{3} * ChartRunCount + 5}) {
        SCOPED_TRACE(earlier);
        std::string text;
        for (size_t run = 1; run <= earlier; ++run) {
            const std::string k = std::to_string(run);
            text += R"({"kvrrank_history":1,"at":"R)" + k +
                    R"(","standings":[{"place":1,"code":"X","name":"X","points":)" + k + "}]}\n";
        }
        const HistoryDigest digest = readHistory(text);
        ASSERT_EQ(digest.runs.size(), earlier);
        for (size_t run = 0; run < earlier; ++run) {
            EXPECT_EQ(digest.runs[run].at, "R" + std::to_string(run + 1));
        }
        const SeasonChanges season = compareSeason(digest, now);
        EXPECT_EQ(season.runs, earlier + 1);
        const size_t charted = std::min(earlier, ChartRunCount - 1);
        std::vector<std::string> runs;
        std::vector<std::optional<int32_t>> points;
        for (size_t run = earlier - charted + 1; run <= earlier; ++run) {
            runs.push_back("R" + std::to_string(run));
            points.emplace_back(static_cast<int32_t>(run));
        }
        runs.push_back("2026-12-07T12:05:09");
        points.emplace_back(12);
        EXPECT_EQ(season.chartRuns, runs);
        ASSERT_EQ(season.chart.size(), 1u);
        EXPECT_EQ(season.chart[0].points, points);
    }
}

// Two files of one driver: each copy is compared with the same copy of the run before, in
// standings order, both for the movement and for the chart.
TEST(Season, CopiesOfADriverMatchInOrder) {
    std::vector<ParticipantRecord> records;
    const std::string before = snapshotLine(
        modelOf(records, {{"D", 100}, {"A", 110}, {"B", 120}, {"C", 130}, {"D", 140}}));
    RankingModel now = modelOf(records, {{"A", 90}, {"D", 95}, {"B", 100}, {"D", 105}, {"E", 1}});
    SeasonChanges season = compareSeason(readHistory(before), now);
    // Standings now: E, A, D, B, D.
    const std::optional<int32_t> expected[] = {std::nullopt, 0, -2, -1, 0};
    ASSERT_EQ(season.movements.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(season.movements[i].movement, expected[i]);
    }
    ASSERT_EQ(season.chart.size(), 5u);
    EXPECT_EQ(season.chart[2].points, (std::vector<std::optional<int32_t>>{12, 6})); // first D
    EXPECT_EQ(season.chart[4].points, (std::vector<std::optional<int32_t>>{2, 2}));  // second D
}

} // namespace

namespace {

struct Entrant {
    std::string code;
    uint32_t finland1; // stored word; 0: no time
    bool manual = true;
};

// One participant per entrant, named as coded; with a "Manual" class of the MT results.
RankingModel classModelOf(std::vector<ParticipantRecord>& records,
                          const std::vector<Entrant>& entrants) {
    records.clear();
    for (const Entrant& e : entrants) {
        ParticipantFileBuilder image;
        image.code(e.code).name(e.code);
        if (e.finland1 != 0) {
            image.stage(0, 0, static_cast<uint8_t>(e.manual ? 1 : 1 | 0x40), e.finland1);
        }
        records.push_back(image.record());
    }
    RankingOptions options;
    options.league.classes = {VehicleClass{"Manual", 0, AnyVehicle}};
    return computeRankingModel(records.data(), static_cast<int32_t>(records.size()), {}, Noon,
                               options);
}

std::string codesOf(const std::vector<DriverIdentity>& drivers) {
    std::string codes;
    for (const DriverIdentity& d : drivers) {
        codes += (codes.empty() ? "" : " ") + d.code;
    }
    return codes;
}

// A line's classes and entrants, all of them or what changed, read alike by both readers.
TEST(Snapshot, ClassesAndEntrantsReadBackByEitherReader) {
    std::vector<ParticipantRecord> records;
    const RankingModel first =
        classModelOf(records, {{"AAA", 5000}, {"BBB", 6000, false}, {"CCC", 0}});
    const std::string firstLine = snapshotLine(first);
    const RankingModel second =
        classModelOf(records, {{"BBB", 4000}, {"DDD", 4500}, {"BBB", 3000}});
    const EntrantChange change = entrantChange(readHistory(firstLine), second);
    EXPECT_FALSE(change.all);
    EXPECT_EQ(codesOf(change.entered), "DDD");
    EXPECT_EQ(codesOf(change.gone), "AAA CCC");
    const std::string secondLine = snapshotLine(second, &change);

    const struct {
        const std::string* line;
        EntrantsHeld held;
        std::string entered, gone, classStandings;
    } cases[] = {
        {&firstLine, EntrantsHeld::All, "AAA BBB CCC", "", "AAA"},
        {&secondLine, EntrantsHeld::Changes, "DDD", "AAA CCC", "BBB BBB DDD"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(*c.line);
        const std::string_view body(c.line->data(), c.line->size() - 1);
        Snapshot compact;
        ASSERT_TRUE(readCompactSnapshot(body, compact));
        std::string spaced(body);
        for (size_t at = spaced.find("\":"); at != std::string::npos;
             at = spaced.find("\":", at + 3)) {
            spaced.insert(at + 2, " ");
        }
        const std::optional<Snapshot> general = parseGeneralSnapshot(spaced);
        ASSERT_TRUE(general.has_value());
        for (const Snapshot* read : {static_cast<const Snapshot*>(&compact), &*general}) {
            EXPECT_EQ(read->entrantsHeld, c.held);
            EXPECT_EQ(codesOf(read->entered), c.entered);
            EXPECT_EQ(codesOf(read->gone), c.gone);
            ASSERT_EQ(read->classes.size(), 1u);
            EXPECT_EQ(read->classes[0].name, "Manual");
            std::string standings;
            for (const SnapshotStanding& s : read->classes[0].standings) {
                standings += (standings.empty() ? "" : " ") + s.code;
            }
            EXPECT_EQ(standings, c.classStandings);
        }
        expectSameSnapshot(compact, *general);
    }
}

// Who had a file in the last run, line after line: all of them, or what changed since the
// line before; a line that does not say leaves it unknown until one says all again.
TEST(History, EntrantsFollowTheLinesThatSayThem) {
    const auto drivers = [](const std::string& codes) {
        std::string list;
        std::istringstream words(codes);
        for (std::string code; words >> code;) {
            list += std::string(list.empty() ? "" : ",") + R"({"code":")" + code + R"(","name":")" +
                    code + R"("})";
        }
        return "[" + list + "]";
    };
    const auto all = [&](const std::string& codes) {
        return R"({"kvrrank_history":1,"entrants":)" + drivers(codes) + "}\n";
    };
    const auto changes = [&](const std::string& entered, const std::string& gone) {
        return R"({"kvrrank_history":1,"entered":)" + drivers(entered) + R"(,"gone":)" +
               drivers(gone) + "}\n";
    };
    const std::string silent = "{\"kvrrank_history\":1}\n";
    const struct {
        std::string what, text;
        std::optional<std::string> last; // the codes of the last run's entrants
        bool everyRun;
    } cases[] = {
        {"none yet", "", std::nullopt, true},
        {"all", all("B A"), "A B", true},
        {"changes", all("A B") + changes("C", "A"), "B C", true},
        {"a driver back", all("A B") + changes("", "A") + changes("A", "B"), "A", true},
        {"an older line", silent + all("A"), "A", false},
        {"an older line last", all("A") + silent, std::nullopt, false},
        {"changes on nothing known", silent + changes("A", ""), std::nullopt, false},
        {"all again", silent + changes("A", "") + all("C"), "C", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const HistoryDigest digest = readHistory(c.text);
        EXPECT_EQ(digest.everyRunHasEntrants, c.everyRun);
        ASSERT_EQ(digest.lastEntrants.has_value(), c.last.has_value());
        if (digest.lastEntrants) {
            std::vector<DriverIdentity> last;
            for (uint32_t number : *digest.lastEntrants) {
                last.push_back(digest.driver(number));
            }
            std::sort(last.begin(), last.end());
            EXPECT_EQ(codesOf(last), *c.last);
        }
    }
    // A renamed driver's old identity is read as the roster's.
    const std::map<DriverIdentity, DriverIdentity> aliases = {{{"A", "A"}, {"Z", "Z"}}};
    const HistoryDigest renamed = readHistory(all("A B") + changes("", "A"), &aliases);
    ASSERT_TRUE(renamed.lastEntrants.has_value());
    ASSERT_EQ(renamed.lastEntrants->size(), 1u);
    EXPECT_EQ(renamed.driver(renamed.lastEntrants->front()).code, "B");
    EXPECT_TRUE(renamed.driverNumber({"Z", "Z"}).has_value());
    EXPECT_FALSE(renamed.driverNumber({"A", "A"}).has_value());
}

// New drivers are those with a file for the first time in the season, with or without points;
// a driver who took part without points before has first points, not a first file; the left
// are every driver of the last run without a file now. Told only when every run says.
TEST(Season, NewDriversLeftAndClassMovements) {
    std::vector<ParticipantRecord> records;
    // Run 1: A and B score in the class, C is there without a time, D drives AT.
    const std::string run1 = snapshotLine(
        classModelOf(records, {{"A", 5000}, {"B", 6000}, {"C", 0}, {"D", 4000, false}}));
    // Now: B wins the class, C scores at last, E comes with a time, F without; A has gone.
    const RankingModel now = classModelOf(
        records, {{"B", 3000}, {"C", 5500}, {"D", 4000, false}, {"E", 7000}, {"F", 0}});
    const SeasonChanges season = compareSeason(readHistory(run1), now);
    EXPECT_TRUE(season.entrantsKnown);
    std::string added;
    for (int32_t index : season.newDrivers) {
        added += (added.empty() ? "" : " ") + now.participants[static_cast<size_t>(index)].code;
    }
    EXPECT_EQ(added, "E F");
    EXPECT_EQ(codesOf(season.left), "A");
    // C scores for the first time, E too: the post tells C's first points, E as new.
    std::string firstPoints;
    for (size_t i = 0; i < now.standings.size(); ++i) {
        if (season.movements[i].firstPoints) {
            const auto& p =
                now.participants[static_cast<size_t>(now.standings[i].participantIndex)];
            firstPoints += (firstPoints.empty() ? "" : " ") + p.code;
        }
    }
    EXPECT_EQ(firstPoints, "C E");
    // In the class: B 2 -> 1, C new, E new; the whole field's D is no part of it.
    ASSERT_EQ(season.classMovements.size(), 1u);
    ASSERT_TRUE(season.classMovements[0].has_value());
    const std::vector<StandingMovement>& moves = *season.classMovements[0];
    ASSERT_EQ(moves.size(), now.classes[0].standings.size());
    std::string shown;
    for (size_t i = 0; i < moves.size(); ++i) {
        const auto& p =
            now.participants[static_cast<size_t>(now.classes[0].standings[i].participantIndex)];
        shown += (shown.empty() ? "" : " ") + p.code + ":" +
                 (moves[i].movement ? std::to_string(*moves[i].movement) : "new");
    }
    EXPECT_EQ(shown, "B:1 C:new E:new");

    // A history whose line does not say who had a file, nor keeps the class: the left are
    // those of its standings, no one is told as new, and the class has no movement.
    const std::string older = R"({"kvrrank_history":1,"standings":[)"
                              R"({"place":1,"code":"A","name":"A","points":12},)"
                              R"({"place":2,"code":"G","name":"G","points":8}]})"
                              "\n";
    const SeasonChanges unsaid = compareSeason(readHistory(older), now);
    EXPECT_FALSE(unsaid.entrantsKnown);
    EXPECT_TRUE(unsaid.newDrivers.empty());
    EXPECT_EQ(codesOf(unsaid.left), "A G");
    ASSERT_EQ(unsaid.classMovements.size(), 1u);
    EXPECT_FALSE(unsaid.classMovements[0].has_value());
    // The line this run writes on it says all its entrants again.
    const EntrantChange again = entrantChange(readHistory(older), now);
    const std::string line = snapshotLine(now, &again);
    EXPECT_NE(line.find(R"("entrants":[{"code":"B","name":"B"},)"), std::string::npos) << line;
}

} // namespace
