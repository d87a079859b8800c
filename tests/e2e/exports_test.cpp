// The exports and --no-records on the built binary: where the files go, what a failure of one
// output does to the others, and the organiser's run without the game.
#include "support/game_folder.h"

#include <gtest/gtest.h>

#include <algorithm>

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

const std::vector<std::string> ExportOptions = {"--html", "--json", "--csv"};

TEST(Exports, WrittenRelativeToTheStartingFolderAfterTheReport) {
    GameFolder game;
    addGroup(game);
    kvrtest::TempFolder start;
    fs::create_directory(start / "out");
    kvrtest::ProcessResult run =
        kvrtest::runProgram(KVRRANK_BINARY, start.path(),
                            {"--html", "out/r.html", "--json", "out/r.json", "--csv", "out/r.csv",
                             game.path().u8string()});
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
    EXPECT_EQ(kvrtest::readText(start / "out" / "r.json").rfind("{", 0), 0u);
    EXPECT_EQ(kvrtest::readText(start / "out" / "r.csv").rfind("index,file,code,name,date", 0), 0u);
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
    for (const char* failing : {"ranking.txt", "r.html", "r.json", "r.csv"}) {
        SCOPED_TRACE(failing);
        GameFolder game;
        addGroup(game);
        const std::vector<std::string> outputs = {"ranking.txt", "r.html", "r.json", "r.csv"};
        for (const std::string& output : outputs) {
            kvrtest::writeText(game / output, "earlier\n");
        }
        // A folder where the output should go cannot be replaced by a file.
        fs::remove(game / failing);
        fs::create_directory(game / failing);
        kvrtest::writeText(game / failing / "inside", "kept\n");
        kvrtest::ProcessResult run =
            kvrtest::runProgram(KVRRANK_BINARY, game.path(),
                                {"--html", "r.html", "--json", "r.json", "--csv", "r.csv"});
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

} // namespace
