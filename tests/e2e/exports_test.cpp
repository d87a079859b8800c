// The exports and --no-records on the built binary: where the files go, what a failure of one
// output does to the others, the organiser's run without the game, and the JSON's drivers
// against a count of our own.
#include "support/game_folder.h"

#include "data/championship_tables.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

using kvrtest::GameFolder;
using kvrtest::ParticipantFileBuilder;
using kvrtest::platformText;
namespace fs = std::filesystem;

const std::string UpdateOk = "updateing Configuration/gameinfo.rcf... ok!\n";

void addGroup(GameFolder& game) {
    for (int i = 0; i < 6; ++i) {
        ParticipantFileBuilder image;
        image.code("D" + std::to_string(i)).name("Driver, \"" + std::to_string(i) + "\" \xe9");
        for (int s = 0; s < 10; ++s) {
            image.stage(0, s, 0x05, 6000u + 7u * static_cast<uint32_t>((i * 3 + s) % 6));
        }
        image.arcade(2, 0x45, 9000u - static_cast<uint32_t>(i));
        game.addParticipant("d" + std::to_string(i) + ".kvr", image);
    }
}

TEST(Exports, WrittenRelativeToTheStartingFolderAfterTheReport) {
    GameFolder game;
    addGroup(game);
    kvrtest::TempFolder start;
    fs::create_directory(start / "out");
    kvrtest::ProcessResult run =
        kvrtest::runProgram(KVRRANK_BINARY, start.path(),
                            {"--html", "out/r.html", "--json", "out/r.json", "--csv", "out/r.csv",
                             "--post", "out/week.md", game.path().u8string()});
    EXPECT_EQ(run.exitStatus, 0) << run.errors;
    EXPECT_EQ(run.errors, "");
    // The console is the plain run's: exports add no line.
    EXPECT_EQ(run.output.substr(run.output.size() - platformText(UpdateOk).size()),
              platformText(UpdateOk));
    EXPECT_TRUE(fs::exists(game / "ranking.txt"));
    for (const char* name : {"r.html", "r.json", "r.csv"}) {
        EXPECT_TRUE(fs::is_regular_file(start / "out" / name)) << name;
        EXPECT_FALSE(fs::exists(game / "out" / name)) << name;
    }
    EXPECT_EQ(kvrtest::readText(start / "out" / "r.html").rfind("<!DOCTYPE html>", 0), 0u);
    // The chat post: LF line ends on every platform, and no page file's name: the league
    // gives no address for it.
    const std::string post = kvrtest::readText(start / "out" / "week.md");
    EXPECT_EQ(post.rfind("**Dustline Rally 2.0: ranking of ", 0), 0u) << post;
    EXPECT_EQ(post.find('\r'), std::string::npos);
    EXPECT_EQ(post.find("Full ranking"), std::string::npos) << post;
    EXPECT_EQ(kvrtest::readText(start / "out" / "r.json").rfind("{", 0), 0u);
    EXPECT_EQ(kvrtest::readText(start / "out" / "r.csv")
                  .rfind("\xEF\xBB\xBFindex,file,code,name,date", 0),
              0u);
}

// A file that could not be imported and a history line that is not a run are listed in the
// JSON's checks, with the reasons the error stream gave.
TEST(Exports, JsonListsFilesNotImportedAndSkippedHistoryLines) {
    GameFolder game;
    addGroup(game);
    kvrtest::writeText(game / "kvr" / "short.kvr", "too short to be a participant");
    kvrtest::writeText(game / "season.jsonl",
                       "{\"kvrrank_history\":1,\"at\":\"2026-12-01T20:00:00\"}\n\nnot a run\n");
    kvrtest::ProcessResult run = kvrtest::runProgram(
        KVRRANK_BINARY, game.path(), {"--json", "r.json", "--history", "season.jsonl"});
    EXPECT_EQ(run.exitStatus, 0) << run.errors;
    const auto json = nlohmann::json::parse(kvrtest::readText(game / "r.json"));
    const auto& notImported = json["checks"]["not_imported"];
    ASSERT_EQ(notImported.size(), 1u) << notImported;
    EXPECT_EQ(notImported[0]["file"], "short.kvr");
    const std::string reason = notImported[0]["reason"];
    EXPECT_NE(reason, "");
    EXPECT_EQ(run.errors, platformText("kvrrank: kvr/short.kvr: " + reason + "\n"));
    EXPECT_EQ(json["checks"]["history_skipped"],
              nlohmann::json::parse(R"([{"line": 3, "reason": "not a snapshot"}])"));
}

TEST(Exports, NoRecordsRunNeedsNoGame) {
    GameFolder game(0); // no records file
    fs::remove_all(game / "Configuration");
    addGroup(game);
    kvrtest::ProcessResult run = kvrtest::runProgram(
        KVRRANK_BINARY, game.path(), {"--no-records", "--csv", "grid.csv", "--json", "r.json"});
    EXPECT_EQ(run.exitStatus, 0) << run.errors;
    EXPECT_EQ(run.errors, "");
    EXPECT_EQ(run.output.find("updateing"), std::string::npos) << run.output;
    EXPECT_FALSE(fs::exists(game / "Configuration"));
    EXPECT_NE(kvrtest::readText(game / "ranking.txt").find("Driver Total Ranking"),
              std::string::npos);
    EXPECT_TRUE(fs::is_regular_file(game / "grid.csv"));
    EXPECT_TRUE(fs::is_regular_file(game / "r.json"));

    // Without --no-records the same folder fails at the update and writes nothing new.
    fs::remove(game / "r.json");
    kvrtest::ProcessResult withUpdate =
        kvrtest::runProgram(KVRRANK_BINARY, game.path(), {"--json", "r.json"});
    EXPECT_EQ(withUpdate.exitStatus, 1);
    EXPECT_FALSE(fs::exists(game / "r.json"));
}

// Each output is attempted on its own; the one that fails keeps its earlier file.
TEST(Exports, AFailedOutputKeepsItsEarlierFileAndStopsNoOther) {
    for (const char* failing : {"ranking.txt", "r.html", "r.json", "r.csv", "r.md"}) {
        SCOPED_TRACE(failing);
        GameFolder game;
        addGroup(game);
        const std::vector<std::string> outputs = {"ranking.txt", "r.html", "r.json", "r.csv",
                                                  "r.md"};
        for (const std::string& output : outputs) {
            kvrtest::writeText(game / output, "earlier\n");
        }
        // A folder where the output should go cannot be replaced by a file.
        fs::remove(game / failing);
        fs::create_directory(game / failing);
        kvrtest::writeText(game / failing / "inside", "kept\n");
        kvrtest::ProcessResult run = kvrtest::runProgram(
            KVRRANK_BINARY, game.path(),
            {"--html", "r.html", "--json", "r.json", "--csv", "r.csv", "--post", "r.md"});
        EXPECT_EQ(run.exitStatus, 1);
        const std::string expectedPath =
            std::string(failing) == "ranking.txt" ? "ranking.txt" : (game / failing).u8string();
        EXPECT_EQ(run.errors.rfind("kvrrank: " + expectedPath + ": ", 0), 0u) << run.errors;
        EXPECT_EQ(run.errors.find('\n'), run.errors.size() - 1) << run.errors;
        EXPECT_EQ(kvrtest::readText(game / failing / "inside"), "kept\n");
        for (const std::string& output : outputs) {
            if (output != failing) {
                EXPECT_NE(kvrtest::readText(game / output), "earlier\n") << output;
            }
        }
    }
}

#ifndef _WIN32
// A write that fails part-way (a full disk, here a file size limit) keeps the earlier file.
TEST(Exports, AWriteThatFailsKeepsTheEarlierFile) {
    const std::vector<std::string> arguments = {"--html", "r.html", "--json",
                                                "r.json", "--csv",  "r.csv"};
    const std::vector<std::string> outputs = {"ranking.txt", "r.html", "r.json", "r.csv"};
    GameFolder twin;
    addGroup(twin);
    ASSERT_EQ(kvrtest::runProgram(KVRRANK_BINARY, twin.path(), arguments).exitStatus, 0);
    std::vector<uintmax_t> sizes;
    for (const std::string& output : outputs) {
        sizes.push_back(fs::file_size(twin / output));
    }
    // Room for the report and the smallest export, not for the largest.
    std::vector<uintmax_t> sorted = sizes;
    std::sort(sorted.begin(), sorted.end());
    ASSERT_LT(sorted[2], sorted[3]);
    const uint64_t limit = sorted[2];

    GameFolder game;
    addGroup(game);
    for (const std::string& output : outputs) {
        kvrtest::writeText(game / output, "earlier\n");
    }
    kvrtest::ProcessResult run = kvrtest::runProgram(KVRRANK_BINARY, game.path(), arguments,
                                                     kvrtest::ProcessLimits{60, limit});
    EXPECT_EQ(run.exitStatus, 1);
    for (size_t i = 0; i < outputs.size(); ++i) {
        const bool fits = sizes[i] <= limit;
        EXPECT_EQ(kvrtest::readText(game / outputs[i]) == "earlier\n", !fits) << outputs[i];
        EXPECT_EQ(run.errors.find(outputs[i] + ": File too large\n") != std::string::npos, !fits)
            << outputs[i] << ": " << run.errors;
    }
    EXPECT_EQ(kvrtest::snapshot(game.path()).size(), kvrtest::snapshot(twin.path()).size());
}
#endif

// Each driver's wins, podiums, time to gain and results in the JSON, against a plain sort of
// every event's whole field: fields of 30 to 200 with many equal times and missing results.
TEST(Exports, JsonDriversAgreeWithASortOfEveryField) {
    struct Shape {
        size_t participants;
        uint32_t distinctTimes;
        unsigned resultPercent;
    };
    const Shape shapes[] = {{30, 3, 70}, {90, 2, 40}, {200, 5, 25}, {120, 60, 90}};
    // Every event in the report's order: (rally, stage) from 0, rally -1 for an arcade event.
    std::vector<std::pair<int, int>> events;
    for (int r = 0; r < kvr::RallyCount; ++r) {
        for (int s = 0; s < kvr::stageCounts[r]; ++s) {
            events.emplace_back(r, s);
        }
    }
    for (int a = 0; a < kvr::ArcadeEventCount; ++a) {
        events.emplace_back(-1, a);
    }
    const int points[] = {12, 8, 6, 4, 2, 1};
    std::mt19937 random(23);
    for (const Shape& shape : shapes) {
        SCOPED_TRACE(std::to_string(shape.participants) + " participants");
        GameFolder game(0);
        std::map<std::string, std::vector<uint32_t>> timesOf; // shown times by file; 0: none
        for (size_t p = 0; p < shape.participants; ++p) {
            const std::string code = {'Q', static_cast<char>('A' + p / 26),
                                      static_cast<char>('A' + p % 26)};
            ParticipantFileBuilder image;
            image.code(code).name("Driver " + std::to_string(p));
            std::vector<uint32_t>& times = timesOf["p" + std::to_string(1000 + p) + ".kvr"];
            for (const auto& [rally, stage] : events) {
                uint32_t shown = 0;
                if (random() % 100 < shape.resultPercent) {
                    shown = 2500 + static_cast<uint32_t>(random() % shape.distinctTimes) * 743;
                    const auto vehicle = static_cast<uint8_t>(random() % 22);
                    if (rally < 0) {
                        image.arcade(stage, vehicle, shown + 1);
                    } else {
                        image.stage(rally, stage, vehicle, shown + 1);
                    }
                }
                times.push_back(shown);
            }
            game.addParticipant("p" + std::to_string(1000 + p) + ".kvr", image);
        }
        kvrtest::ProcessResult run =
            kvrtest::runProgram(KVRRANK_BINARY, game.path(), {"--no-records", "--json", "r.json"});
        ASSERT_EQ(run.exitStatus, 0) << run.errors;
        const nlohmann::json json = nlohmann::json::parse(kvrtest::readText(game / "r.json"));

        // Participant order as the JSON numbers it; each event's field sorted by shown time,
        // equal times in that order.
        std::vector<const std::vector<uint32_t>*> times;
        for (const auto& participant : json["participants"]) {
            times.push_back(&timesOf.at(participant["file"]));
        }
        ASSERT_EQ(times.size(), shape.participants);
        struct Expected {
            int points = 0, wins = 0, podiums = 0;
            uint64_t toGain = 0;
            std::vector<std::string> results; // "event time place/field gap points"
        };
        std::vector<Expected> expected(times.size());
        for (size_t e = 0; e < events.size(); ++e) {
            std::vector<std::pair<uint32_t, size_t>> field;
            for (size_t i = 0; i < times.size(); ++i) {
                if ((*times[i])[e] != 0) {
                    field.emplace_back((*times[i])[e], i);
                }
            }
            std::sort(field.begin(), field.end());
            const auto [rally, stage] = events[e];
            const std::string key = rally < 0 ? "arcade-" + std::to_string(stage + 1)
                                              : "rally-" + std::to_string(rally + 1) + "-stage-" +
                                                    std::to_string(stage + 1);
            for (size_t place = 0; place < field.size(); ++place) {
                Expected& driver = expected[field[place].second];
                const uint32_t gap = field[place].first - field[0].first;
                const int earned = place < 6 ? points[place] : 0;
                driver.points += earned;
                driver.wins += place == 0;
                driver.podiums += place < 3;
                driver.toGain += gap;
                driver.results.push_back(key + " " + std::to_string(field[place].first) + " " +
                                         std::to_string(place + 1) + "/" +
                                         std::to_string(field.size()) + " " + std::to_string(gap) +
                                         " " + std::to_string(earned));
            }
        }

        // The drivers: everyone with points, most points first, equal points in participant
        // order.
        std::vector<size_t> order;
        for (size_t i = 0; i < expected.size(); ++i) {
            if (expected[i].points > 0) {
                order.push_back(i + 1);
            }
        }
        std::stable_sort(order.begin(), order.end(), [&expected](size_t a, size_t b) {
            return expected[a - 1].points > expected[b - 1].points;
        });
        std::vector<size_t> listed;
        for (const auto& driver : json["drivers"]) {
            listed.push_back(driver["index"]);
        }
        ASSERT_EQ(listed, order);
        for (const auto& driver : json["drivers"]) {
            const Expected& want = expected[driver["index"].get<size_t>() - 1];
            SCOPED_TRACE("driver " + driver["index"].dump());
            EXPECT_EQ(driver["points"], want.points);
            EXPECT_EQ(driver["wins"], want.wins);
            EXPECT_EQ(driver["podiums"], want.podiums);
            EXPECT_EQ(driver["time_to_gain_hundredths"], want.toGain);
            std::vector<std::string> results;
            for (const auto& r : driver["results"]) {
                results.push_back(r["event"].get<std::string>() + " " + r["hundredths"].dump() +
                                  " " + r["place_in_field"].dump() + "/" + r["field"].dump() + " " +
                                  r["gap_hundredths"].dump() + " " + r["points"].dump());
            }
            EXPECT_EQ(results, want.results);
        }
    }
}

} // namespace
