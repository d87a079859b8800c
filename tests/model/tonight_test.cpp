#include "model/tonight.h"

#include "support/participant_builder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace kvr;
using kvrtest::ParticipantFileBuilder;

const ReportTime Evening{2026, 12, 9, 20, 0, 0};

// A driver whose code is `code` and name `code` in lower case, with stored times (0: none) in
// the first two stages of the first rally.
struct Entry {
    std::string code;
    uint32_t stage1 = 0;
    uint32_t stage2 = 0;
};
using Field = std::vector<Entry>;

std::vector<ParticipantRecord> recordsOf(const Field& field) {
    std::vector<ParticipantRecord> records;
    for (const Entry& entry : field) {
        ParticipantFileBuilder file;
        std::string name = entry.code;
        for (char& c : name) {
            c = static_cast<char>(c - 'A' + 'a');
        }
        file.code(entry.code).name(name);
        if (entry.stage1 != 0) {
            file.stage(0, 0, 1, entry.stage1);
        }
        if (entry.stage2 != 0) {
            file.stage(0, 1, 1, entry.stage2);
        }
        records.push_back(file.record());
    }
    return records;
}

struct Shown {
    std::vector<std::string> arrivals; // "CODE at"
    std::vector<std::string> records;  // "event: time CODE < time CODE", or "< first time"
    std::vector<std::string> moves;    // "CODE from>to"
};

// The board's runs in turn, each run's arrivals stamped "run N", as the board keeps them; what
// the last run's page shows.
Shown board(const std::vector<Field>& runs) {
    std::vector<ParticipantRecord> first = recordsOf(runs.front());
    const BoardStart start = summarizeBoardStart(
        computeRankingModel(first.data(), static_cast<int32_t>(first.size()), {}, Evening));
    std::vector<Arrival> arrivals;
    Tonight tonight;
    for (size_t r = 1; r < runs.size(); ++r) {
        std::vector<ParticipantRecord> records = recordsOf(runs[r]);
        const RankingModel now =
            computeRankingModel(records.data(), static_cast<int32_t>(records.size()), {}, Evening);
        for (DriverIdentity& driver : newDrivers(start, arrivals, now)) {
            arrivals.push_back({std::move(driver), "run " + std::to_string(r + 1)});
        }
        tonight = compareTonight(start, now, arrivals);
        EXPECT_TRUE(tonight.changed);
    }
    Shown shown;
    for (const Arrival& a : tonight.arrivals) {
        shown.arrivals.push_back(a.driver.code + " " + a.at);
    }
    for (const BrokenRecord& b : tonight.records) {
        EXPECT_FALSE(b.eventTitle.empty());
        std::string line =
            std::to_string(b.event) + ": " + std::to_string(b.time) + " " + b.holder.code + " < ";
        line += b.hadRecord ? std::to_string(b.beatenTime) + " " + b.beatenHolder.code
                            : std::string("first time");
        shown.records.push_back(line);
    }
    for (const TonightMove& m : tonight.moves) {
        shown.moves.push_back(m.driver.code + " " + std::to_string(m.from) + ">" +
                              std::to_string(m.to));
    }
    return shown;
}

TEST(Tonight, ComparesTheBoardsFirstRunWithTheLatest) {
    struct Case {
        const char* what;
        std::vector<Field> runs;
        Shown expected;
    };
    const std::vector<Case> cases = {
        {"no change", {{{"AAA", 5001}, {"BBB", 6001}}, {{"AAA", 5001}, {"BBB", 6001}}}, {}},
        {"a slower arrival is no record and moves nobody",
         {{{"AAA", 5001}, {"BBB", 6001}}, {{"AAA", 5001}, {"BBB", 6001}, {"CCC", 7001}}},
         {{"CCC run 2"}, {}, {}}},
        {"arrivals in the order they came, each with its run",
         {{{"AAA", 5001}},
          {{"AAA", 5001}, {"BBB", 6001}},
          {{"AAA", 5001}, {"BBB", 6001}, {"CCC", 7001}, {"DDD", 8001}}},
         {{"BBB run 2", "CCC run 3", "DDD run 3"}, {}, {}}},
        {"a record broken twice beats the first run's record; arrivals are no moves",
         {{{"AAA", 5001}, {"EEE", 9001}},
          {{"AAA", 5001}, {"EEE", 9001}, {"BBB", 4001}},
          {{"AAA", 5001}, {"EEE", 9001}, {"BBB", 4001}, {"CCC", 3001}}},
         {{"BBB run 2", "CCC run 3"}, {"0: 3000 CCC < 5000 AAA"}, {"AAA 1>3", "EEE 2>4"}}},
        {"a record set where none was",
         {{{"AAA", 5001}}, {{"AAA", 5001, 7001}}},
         {{}, {"1: 7000 AAA < first time"}, {}}},
        {"moves up and down, equal moves by current place",
         {{{"AAA", 5001}, {"BBB", 6001}, {"CCC", 7001}},
          {{"AAA", 5001}, {"BBB", 6001}, {"CCC", 4001}}},
         {{}, {"0: 4000 CCC < 5000 AAA"}, {"CCC 3>1", "AAA 1>2", "BBB 2>3"}}},
        {"a driver without points at the first run is no arrival, nor a move when they score",
         {{{"AAA", 5001},
           {"BBB", 5101},
           {"CCC", 5201},
           {"DDD", 5301},
           {"EEE", 5401},
           {"FFF", 5501},
           {"GGG", 5601}},
          {{"AAA", 5001},
           {"BBB", 5101},
           {"CCC", 5201},
           {"DDD", 5301},
           {"EEE", 5401},
           {"FFF", 5501},
           {"GGG", 5601, 9001}}},
         {{},
          {"1: 9000 GGG < first time"},
          {"BBB 2>3", "CCC 3>4", "DDD 4>5", "EEE 5>6", "FFF 6>7"}}},
        {"a slower time of the record's holder is no record",
         {{{"AAA", 5001}, {"BBB", 6001}}, {{"AAA", 5501}, {"BBB", 6001}}},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Shown shown = board(c.runs);
        EXPECT_EQ(shown.arrivals, c.expected.arrivals);
        EXPECT_EQ(shown.records, c.expected.records);
        EXPECT_EQ(shown.moves, c.expected.moves);
    }
}

TEST(Tonight, ListsTheFiveBiggestMoves) {
    // Six drivers with points; the last one's best time moves everyone else down one place.
    Field start;
    const std::vector<std::string> codes = {"AAA", "BBB", "CCC", "DDD", "EEE", "FFF"};
    for (size_t i = 0; i < codes.size(); ++i) {
        start.push_back({codes[i], static_cast<uint32_t>(5001 + 100 * i)});
    }
    Field later = start;
    later.back().stage1 = 1001;
    const Shown shown = board({start, later});
    const std::vector<std::string> expected = {"FFF 6>1", "AAA 1>2", "BBB 2>3", "CCC 3>4",
                                               "DDD 4>5"};
    EXPECT_EQ(shown.moves, expected);
}

} // namespace
