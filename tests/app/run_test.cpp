#include "app/run.h"

#include "data/participant.h"
#include "records/record_tables.h"
#include "support/game_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <optional>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

// The time every run of these tests is of.
const kvr::ReportTime TestNow{2026, 12, 10, 20, 0, 0};

using namespace kvr;
using kvrtest::GameFolder;
using kvrtest::ParticipantFileBuilder;
namespace fs = std::filesystem;

using RunOutcome = kvrtest::ConsoleRun;

// Runs in `folder` with the console captured.
RunOutcome runIn(const fs::path& folder) {
    kvrtest::WorkingFolder here(folder);
    return kvrtest::captureConsole([](std::FILE* console, std::FILE* errors) {
        return runKvrRank(platform::Env::system(), console, errors, RunOptions(), TestNow);
    });
}

ParticipantFileBuilder driver(const std::string& code, uint32_t time) {
    ParticipantFileBuilder builder;
    builder.code(code).name("Driver " + code).stage(0, 0, 1, time);
    return builder;
}

TEST(Run, NothingToImportEndsAtOnceAndTouchesNothing) {
    GameFolder game;
    std::vector<uint8_t> records = game.records();
    RunOutcome empty = runIn(game.path());
    EXPECT_EQ(empty.console, "not found kvr file\n");
    EXPECT_EQ(empty.status, 1);

    kvrtest::writeText(game / "kvr" / "x.txt", "not a participant");
    EXPECT_EQ(runIn(game.path()).console, "not found kvr file\n");

    fs::remove_all(game / "kvr");
    EXPECT_EQ(runIn(game.path()).console, "not found kvr file\n");
    EXPECT_EQ(game.records(), records);
    EXPECT_FALSE(fs::exists(game / "ranking.txt"));
}

TEST(Run, ImportsInOrderAndReportsEachFile) {
    GameFolder game;
    game.addParticipant("b.kvr", driver("BBB", 300));
    game.addParticipant("A.KVR", driver("AAA", 200));
    game.addParticipant("c.kvr", driver("CCC", 100).resize(1615));
    game.addParticipant("d.kvr", driver("AAA", 100));
    fs::create_directory(game / "kvr" / "folder.kvr");

    RunOutcome outcome = runIn(game.path());
    EXPECT_EQ(outcome.console, "importing A.KVR ... ok!\n"
                               "importing b.kvr ... ok!\n"
                               "importing c.kvr ... failed!\n"
                               "importing d.kvr ... ok!\n"
                               "updateing Configuration/gameinfo.rcf... ok!\n");
    EXPECT_EQ(outcome.status, 0);

    // Three participants, no gap for the failed file; the same code twice is two drivers.
    std::string report = kvrtest::readText(game / "ranking.txt");
    EXPECT_NE(report.find(kvrtest::platformText("Participants : \n"
                                                "  01. AAA , 1850.00.00 , Driver AAA\n"
                                                "  02. BBB , 1850.00.00 , Driver BBB\n"
                                                "  03. AAA , 1850.00.00 , Driver AAA\n\n")),
              std::string::npos);
    std::vector<uint8_t> records = game.records();
    EXPECT_EQ(std::string(records.begin() + 1784, records.begin() + 1788), std::string("AAA\0", 4));
}

TEST(Run, NothingImportedEndsAfterTheScan) {
    GameFolder game;
    std::vector<uint8_t> records = game.records();
    kvrtest::writeText(game / "ranking.txt", "earlier report");
    game.addParticipant("short.kvr", driver("S", 1).resize(100));
    fs::create_directory(game / "kvr" / "dir.kvr");

    RunOutcome outcome = runIn(game.path());
    EXPECT_EQ(outcome.console, "importing short.kvr ... failed!\n");
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(game.records(), records);
    EXPECT_EQ(kvrtest::readText(game / "ranking.txt"), "earlier report");

    fs::remove(game / "kvr" / "short.kvr");
    outcome = runIn(game.path());
    EXPECT_EQ(outcome.console, "");
    EXPECT_EQ(outcome.status, 1);
}

TEST(Run, FailedUpdateSkipsTheReport) {
    struct Case {
        const char* what;
        size_t recordsSize; // 0: no records file
    };
    for (const Case& c : {Case{"missing", 0}, Case{"short", 4883}}) {
        GameFolder game(c.recordsSize);
        kvrtest::writeText(game / "ranking.txt", "earlier report");
        game.addParticipant("a.kvr", driver("AAA", 100));
        RunOutcome outcome = runIn(game.path());
        EXPECT_EQ(outcome.console, "importing a.kvr ... ok!\n"
                                   "updateing Configuration/gameinfo.rcf... failed!\n")
            << c.what;
        EXPECT_EQ(outcome.status, 1) << c.what;
        EXPECT_EQ(kvrtest::readText(game / "ranking.txt"), "earlier report") << c.what;
        if (c.recordsSize > 0) {
            EXPECT_EQ(game.records(), kvrtest::syntheticRecordsFile(c.recordsSize));
        }
    }
}

TEST(Run, FailedReportGivesStatusOne) {
    GameFolder game;
    fs::create_directory(game / "ranking.txt");
    game.addParticipant("a.kvr", driver("AAA", 100));
    RunOutcome outcome = runIn(game.path());
    EXPECT_EQ(outcome.console, "importing a.kvr ... ok!\n"
                               "updateing Configuration/gameinfo.rcf... ok!\n");
    EXPECT_EQ(outcome.status, 1);
}

#ifndef _WIN32
TEST(Run, FifoAndHeldFilesFailWithoutWaiting) {
    GameFolder game;
    game.addParticipant("a.kvr", driver("AAA", 100));
    game.addParticipant("c.kvr", driver("CCC", 100));
    ASSERT_EQ(::mkfifo((game / "kvr" / "b.kvr").c_str(), 0600), 0);
    kvrtest::ExclusiveHolder holder(game / "kvr" / "c.kvr");
    ASSERT_TRUE(holder.holding());
    RunOutcome outcome = runIn(game.path());
    EXPECT_EQ(outcome.console, "importing a.kvr ... ok!\n"
                               "importing b.kvr ... failed!\n"
                               "importing c.kvr ... failed!\n"
                               "updateing Configuration/gameinfo.rcf... ok!\n");
}
#endif

// A season that another run holds past the wait: the run writes nothing at all, not even the
// records file, and says why.
TEST(Run, HeldSeasonPastTheWaitWritesNothing) {
    GameFolder game;
    game.addParticipant("a.kvr", driver("AAA", 100));
    kvrtest::writeText(game / "ranking.txt", "earlier report");
    kvrtest::writeText(game / "season.jsonl", "");
    const auto before = kvrtest::snapshot(game.path());
    std::optional<kvrtest::ExclusiveHolder> holder(std::in_place, game / "season.jsonl");
    ASSERT_TRUE(holder->holding());
    RunOptions options;
    options.file(Output::History) = "season.jsonl";
    options.file(Output::Html) = "page.html";
    options.seasonWait = std::chrono::milliseconds(300);
    const auto start = std::chrono::steady_clock::now();
    kvrtest::WorkingFolder here(game.path());
    RunOutcome outcome = kvrtest::captureConsole([&options](std::FILE* console, std::FILE* errors) {
        return runKvrRank(platform::Env::system(), console, errors, options, TestNow);
    });
    EXPECT_GE(std::chrono::steady_clock::now() - start, options.seasonWait);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.console, "importing a.kvr ... ok!\n");
    EXPECT_EQ(outcome.errors,
              "kvrrank: season.jsonl: held by another program: waited 300 ms, nothing written\n");
    holder.reset(); // Windows lets nobody read a file held so
    EXPECT_EQ(kvrtest::snapshot(game.path()), before);
}

TEST(ParticipantPath, HasNoLengthLimit) {
    // A 260-byte path buffer once refused names past 255 bytes; Windows allows 255 UTF-16
    // units, three times as many UTF-8 bytes.
    for (size_t length : {255u, 256u, 765u}) {
        std::string name(length, 'n');
        EXPECT_EQ(participantPath(name), "kvr/" + name) << length;
    }

    // The longest name a Linux file system allows (255 bytes; under Wine too), in letters
    // of three UTF-8 bytes each, imports and is shown whole.
    std::string name;
    for (int i = 0; i < 83; ++i) {
        name += "\xE6\x9D\x8E"; // 李
    }
    name += "ab.kvr";
    ASSERT_EQ(name.size(), 255u);
    GameFolder game;
    game.addParticipant(name, driver("LNG", 100));
    RunOutcome run = runIn(game.path());
    EXPECT_EQ(run.console, "importing " + name +
                               " ... ok!\n"
                               "updateing Configuration/gameinfo.rcf... ok!\n");
    EXPECT_EQ(run.errors, "");
    EXPECT_EQ(run.status, 0);
}

} // namespace
