// A season of four runs as an organiser lives it, read as the group's chat reads it: a cheated
// time, a copied file, a penalty and a points adjustment; the posts parsed by a CommonMark
// reader, the flags settled by pasting the review's blocks.
#include "support/game_folder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <ctime>

namespace {

using kvrtest::GameFolder;
using kvrtest::ParticipantFileBuilder;
namespace fs = std::filesystem;

#ifndef _WIN32

const std::string PageUrl = "https://example.org/league/ranking.html";
const std::string League = "[outputs]\npost = \"week.md\"\nhistory = \"season.jsonl\"\n"
                           "page_url = \"" +
                           PageUrl + "\"\n[points]\nplaces = [3, 2, 1]\n";

std::string today() {
    const std::time_t now = std::time(nullptr);
    char text[32];
    return std::strftime(text, sizeof text, "%Y-%m-%d", std::localtime(&now)) > 0 ? text : "";
}

// A driver's file: Finland 1 and 2 as stored words (0: none).
void addDriver(GameFolder& game, const std::string& file, const char* code, const char* name,
               uint32_t first, uint32_t second) {
    ParticipantFileBuilder image;
    image.code(code).name(name);
    if (first != 0) {
        image.stage(0, 0, 1, first);
    }
    if (second != 0) {
        image.stage(0, 1, 1, second);
    }
    game.addParticipant(file, image);
}

// The post's lines as a strict CommonMark reader keeps them apart.
std::string readBack(const fs::path& post) {
    const kvrtest::ProcessResult read = kvrtest::runProgram("/usr/bin/python3", post.parent_path(),
                                                            {KVR_CHAT_LINES, post.string()});
    EXPECT_EQ(read.exitStatus, 0) << read.errors << "(needs Debian's python3-markdown-it)";
    return read.output;
}

kvrtest::ProcessResult run(const GameFolder& game, const std::vector<std::string>& arguments = {}) {
    return kvrtest::runProgram(KVRRANK_BINARY, game.path(), arguments);
}

TEST(SeasonPost, FourRunsToldAsTheChatReadsThem) {
    GameFolder game;
    kvrtest::writeText(game / "kvrrank.toml", League);
    // Run 1: three score on 3-2-1 points; Jonas is too slow.
    addDriver(game, "abe.kvr", "ABE", "Anna Berg", 33001, 33101);
    addDriver(game, "pfe.kvr", "PFE", "Petra Ferreira", 33501, 33601);
    addDriver(game, "agr.kvr", "AGR", "Anton Grahn", 34001, 34101);
    addDriver(game, "jul.kvr", "JUL", "Jonas Ulrich", 40001, 40101);
    ASSERT_EQ(run(game).exitStatus, 0);
    const std::string first = readBack(game / "week.md");
    EXPECT_EQ(first.find("Under review"), std::string::npos) << first;
    EXPECT_NE(first.find("[link " + PageUrl + "]"), std::string::npos) << first;

    // Run 2: Olga sends an impossible Finland 2; it breaks the record, under review.
    addDriver(game, "odo.kvr", "ODO", "Olga Dorn", 35001, 6201);
    ASSERT_EQ(run(game).exitStatus, 0);
    const std::string second = readBack(game / "week.md");
    for (const std::string line : {
             "Under review",
             "Finland 2: 01:02.00 by Olga Dorn (ODO), an outlier (place 2: 05:31.00)",
             "Finland 2: 01:02.00 by Olga Dorn (ODO), 269.00 s faster than Anna Berg (ABE), "
             "under review",
             "New drivers",
             "Olga Dorn (ODO): place 2, 3 pts",
         }) {
        EXPECT_NE(second.find("\n" + line + "\n"), std::string::npos) << line << "\n" << second;
    }
    EXPECT_EQ(second.find("First points"), std::string::npos) << second;

    // Run 3: the outlier's block from --review is pasted, with a penalty and a bonus; Anna's
    // file is there twice, Anton's is gone, Jonas scores at last and Lena comes, too slow to
    // score.
    const kvrtest::ProcessResult review = run(game, {"--review"});
    ASSERT_EQ(review.exitStatus, 0) << review.errors;
    kvrtest::writeText(game / "kvrrank.toml",
                       League + review.output + "[[decision]]\ndate = " + today() +
                           "\naction = \"add-time\"\ncode = \"PFE\"\nname = \"Petra Ferreira\"\n"
                           "event = \"Finland 1\"\nseconds = 10\nreason = \"cut the chicane\"\n"
                           "[[decision]]\ndate = " +
                           today() +
                           "\naction = \"add-points\"\ncode = \"JUL\"\nname = \"Jonas Ulrich\"\n"
                           "points = 2\nreason = \"hosted the meeting\"\n");
    fs::copy_file(game / "kvr" / "abe.kvr", game / "kvr" / "abe (2).kvr");
    fs::remove(game / "kvr" / "agr.kvr");
    addDriver(game, "jul.kvr", "JUL", "Jonas Ulrich", 40001, 34001);
    addDriver(game, "lsu.kvr", "LSU", "Lena Sund", 45001, 45101);
    ASSERT_EQ(run(game).exitStatus, 0);
    const std::string third = readBack(game / "week.md");
    for (const std::string line : {
             "Decisions",
             "Olga Dorn (ODO), Finland 2 01:02.00 excluded (outlier: 01:02.00, place 2 05:31.00)",
             "Petra Ferreira (PFE) +10 s on Finland 1 (cut the chicane)",
             "Jonas Ulrich (JUL) +2 points (hosted the meeting)",
             "Finland 2: record annulled, back to 05:31.00 by Anna Berg (ABE)",
             "Under review",
             "file abe (2).kvr: Anna Berg (ABE) again, as in abe.kvr",
             "New drivers",
             "Lena Sund (LSU)",
             "First points",
             "Jonas Ulrich (JUL): place 3, 2 pts",
             "Left",
             "Anton Grahn (AGR)",
         }) {
        EXPECT_NE(third.find("\n" + line + "\n"), std::string::npos) << line << "\n" << third;
    }
    // Anna's copy stands in the standings, flagged, but she is never "back".
    EXPECT_EQ(third.find("Back in the standings"), std::string::npos) << third;

    // Run 4: the copy's block pasted; nothing is flagged, nothing new decided but that. Lena,
    // who never scored, has gone.
    fs::remove(game / "kvr" / "lsu.kvr");
    const kvrtest::ProcessResult copy = run(game, {"--review"});
    ASSERT_EQ(copy.exitStatus, 0) << copy.errors;
    kvrtest::writeText(game / "kvrrank.toml",
                       kvrtest::readText(game / "kvrrank.toml") + copy.output);
    const kvrtest::ProcessResult last = run(game);
    ASSERT_EQ(last.exitStatus, 0) << last.errors;
    EXPECT_EQ(last.output.find("matched nothing"), std::string::npos) << last.output;
    const std::string fourth = readBack(game / "week.md");
    EXPECT_NE(fourth.find("\nDecisions\nfile abe (2).kvr of Anna Berg (ABE) excluded (a copy of "
                          "abe.kvr)\n"),
              std::string::npos)
        << fourth;
    EXPECT_EQ(fourth.find("Under review"), std::string::npos) << fourth;
    EXPECT_NE(fourth.find("\nLeft\nLena Sund (LSU)\n"), std::string::npos) << fourth;
    EXPECT_EQ(fourth.find("New drivers"), std::string::npos) << fourth;
    EXPECT_EQ(fourth.find("Olga Dorn (ODO), Finland 2"), std::string::npos) << fourth;
    EXPECT_EQ(run(game, {"--review"}).output,
              "# Nothing under review: every flagged result has a decision.\n");

    // The records file is the one of a folder that never had the cheated time nor the copy.
    GameFolder clean;
    addDriver(clean, "abe.kvr", "ABE", "Anna Berg", 33001, 33101);
    addDriver(clean, "pfe.kvr", "PFE", "Petra Ferreira", 33501, 33601);
    addDriver(clean, "jul.kvr", "JUL", "Jonas Ulrich", 40001, 34001);
    addDriver(clean, "odo.kvr", "ODO", "Olga Dorn", 35001, 0);
    ASSERT_EQ(run(clean).exitStatus, 0);
    EXPECT_EQ(game.records(), clean.records());
}

// A newcomer whose only file a decision excludes takes no part in the season: the post and
// the JSON name the other newcomer alone, whether the file or the driver was excluded, with a
// time or none.
TEST(SeasonPost, ANewcomerWhoseOnlyFileIsExcludedIsNoNewDriver) {
    const std::string head = "[[decision]]\ndate = 2026-12-01\nreason = \"not in the league\"\n";
    const struct {
        const char* what;
        std::string decision;
        uint32_t time; // Nils's Finland 1, stored; 0: none
    } cases[] = {
        {"the file excluded", head + "action = \"exclude-file\"\nfile = \"new.kvr\"\n", 36001},
        {"the driver excluded",
         head + "action = \"exclude-driver\"\ncode = \"NEW\"\nname = \"Nils Ewald\"\n", 36001},
        {"a file without a time excluded", head + "action = \"exclude-file\"\nfile = \"new.kvr\"\n",
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        GameFolder game;
        kvrtest::writeText(game / "kvrrank.toml", League);
        addDriver(game, "abe.kvr", "ABE", "Anna Berg", 33001, 33101);
        addDriver(game, "pfe.kvr", "PFE", "Petra Ferreira", 33501, 33601);
        ASSERT_EQ(run(game).exitStatus, 0);
        // Lena comes without a time; Nils comes, and is excluded.
        addDriver(game, "lsu.kvr", "LSU", "Lena Sund", 0, 0);
        addDriver(game, "new.kvr", "NEW", "Nils Ewald", c.time, 0);
        kvrtest::writeText(game / "kvrrank.toml", League + c.decision);
        const kvrtest::ProcessResult second = run(game, {"--json", "r.json"});
        ASSERT_EQ(second.exitStatus, 0) << second.errors;
        EXPECT_EQ(second.output.find("matched nothing"), std::string::npos) << second.output;
        const nlohmann::json json = nlohmann::json::parse(kvrtest::readText(game / "r.json"));
        EXPECT_EQ(json["history"]["new_drivers"],
                  nlohmann::json::parse(R"([{"code": "LSU", "name": "Lena Sund"}])"));
        const std::string post = readBack(game / "week.md");
        EXPECT_NE(post.find("\nNew drivers\nLena Sund (LSU)\n"), std::string::npos) << post;
        EXPECT_EQ(post.find("\nNils Ewald (NEW)\n"), std::string::npos) << post;
    }
}

#endif

} // namespace
