// The organiser's decisions on the built binary: a bad one touches nothing; the records file,
// the report and the exports follow the decided times.
#include "support/game_folder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <ctime>
#include <random>

namespace {

using kvrtest::GameFolder;
using kvrtest::ParticipantFileBuilder;
using Json = nlohmann::json;
namespace fs = std::filesystem;

kvrtest::ProcessResult run(const fs::path& folder, const std::vector<std::string>& arguments = {}) {
    return kvrtest::runProgram(KVRRANK_BINARY, folder, arguments);
}

// Arcade Italy (stored words): CHT 1001, far ahead of AAA 3001 and BBB 3101; Arcade Sweden:
// CHT 2001, AAA 2101. AAA's file is there twice.
void addGroup(GameFolder& game) {
    const struct {
        const char* file;
        const char* code;
        uint32_t italy, sweden;
    } drivers[] = {
        {"cht.kvr", "CHT", 1001, 2001},
        {"aaa.kvr", "AAA", 3001, 2101},
        {"aaa copy.kvr", "AAA", 3001, 2101},
        {"bbb.kvr", "BBB", 3101, 0},
    };
    for (const auto& d : drivers) {
        ParticipantFileBuilder image;
        image.code(d.code).name(std::string("Driver ") + d.code);
        image.arcade(0, 0x02, d.italy).arcade(1, 0x02, d.sweden);
        game.addParticipant(d.file, image);
    }
}

std::vector<uint8_t> entryBytes(const std::vector<uint8_t>& file, size_t offset) {
    return std::vector<uint8_t>(file.begin() + static_cast<std::ptrdiff_t>(offset),
                                file.begin() + static_cast<std::ptrdiff_t>(offset + 8));
}

const std::string Head = "[[decision]]\ndate = 2026-12-01\nreason = \"edited\"\n";

TEST(Decisions, EveryKindOfBadDecisionTouchesNothing) {
    const struct {
        const char* body;  // after Head, on line 4
        const char* error; // after "kvrrank: kvrrank.toml:"
    } cases[] = {
        {"action = \"exclude\"\n",
         "4:10: \"action\" in [[decision]] must be \"exclude-file\", \"exclude-driver\", "
         "\"exclude-time\", \"add-time\" or \"add-points\""},
        {"file = \"a.kvr\"\n", "1:1: a [[decision]] needs an action"},
        {"action = \"exclude-file\"\n", "1:1: a [[decision]] with the action \"exclude-file\" "
                                        "needs \"file\""},
        {"action = \"exclude-file\"\nfile = \"cht.kvr\"\nevent = \"Arcade Italy\"\n",
         "6:1: \"event\" does not go with the action \"exclude-file\""},
        {"action = \"exclude-file\"\nfile = \"cht.kvr\"\nfiel = \"x\"\n",
         "6:1: unknown key \"fiel\" in [[decision]]"},
        {"action = \"exclude-file\"\nfile = 3\n",
         "5:8: \"file\" in [[decision]] must be a text in quotes"},
        {"action = \"exclude-driver\"\ncode = \"\"\nname = \"Driver CHT\"\n",
         "5:8: the code of a [[decision]] is empty"},
        {"action = \"exclude-time\"\ncode = \"CHT\"\nname = \"Driver CHT\"\nevent = \"Finland "
         "11\"\n",
         "7:9: no event is named \"Finland 11\": write it as the page does (\"Finland 2\") or as "
         "its key (\"rally-1-stage-2\")"},
        {"action = \"exclude-time\"\ncode = \"CHT\"\nname = \"Driver CHT\"\nevent = "
         "\"rally-1-stage-02\"\n",
         "7:9: no event is named \"rally-1-stage-02\""},
        {"action = \"add-time\"\ncode = \"CHT\"\nname = \"Driver CHT\"\nevent = \"arcade-1\"\n"
         "seconds = 0\n",
         "8:11: \"seconds\" in [[decision]] must be a number from 0.01 to 3600, in hundredths"},
        {"action = \"add-time\"\ncode = \"CHT\"\nname = \"Driver CHT\"\nevent = \"arcade-1\"\n"
         "seconds = 3600.01\n",
         "8:11: \"seconds\""},
        {"action = \"add-time\"\ncode = \"CHT\"\nname = \"Driver CHT\"\nevent = \"arcade-1\"\n"
         "seconds = 1.005\n",
         "8:11: \"seconds\""},
        {"action = \"add-time\"\ncode = \"CHT\"\nname = \"Driver CHT\"\nevent = \"arcade-1\"\n"
         "seconds = \"10\"\n",
         "8:11: \"seconds\""},
        {"action = \"add-points\"\ncode = \"CHT\"\nname = \"Driver CHT\"\npoints = 0\n",
         "7:10: \"points\" in [[decision]] must be a whole number from -1000 to 1000, not 0"},
        {"action = \"add-points\"\ncode = \"CHT\"\nname = \"Driver CHT\"\npoints = -1001\n",
         "7:10: \"points\""},
        {"action = \"add-points\"\ncode = \"CHT\"\nname = \"Driver CHT\"\npoints = 2.5\n",
         "7:10: \"points\""},
    };
    std::vector<std::pair<std::string, std::string>> files;
    for (const auto& c : cases) {
        files.emplace_back(Head + c.body, c.error);
    }
    // The date and the reason: missing, empty or of the wrong type.
    const std::string action = "action = \"exclude-file\"\nfile = \"cht.kvr\"\n";
    files.emplace_back("[[decision]]\nreason = \"r\"\n" + action,
                       "1:1: a [[decision]] needs a date");
    files.emplace_back("[[decision]]\ndate = 2026-12-01\n" + action,
                       "1:1: a [[decision]] needs a reason");
    files.emplace_back("[[decision]]\ndate = 2026-12-01\nreason = \" \"\n" + action,
                       "3:10: the reason of a [[decision]] is empty");
    files.emplace_back("[[decision]]\ndate = \"2026-12-01\"\nreason = \"r\"\n" + action,
                       "2:8: \"date\" in [[decision]] must be a date");
    files.emplace_back("[[decision]]\ndate = 2026-12-01T10:00:00\nreason = \"r\"\n" + action,
                       "2:8: \"date\" in [[decision]] must be a date");
    files.emplace_back("decision = 3\n", "1:12: \"decision\" must be one [[decision]] table");
    // A decision dated after the run's day.
    files.emplace_back("[[decision]]\ndate = 2999-01-01\nreason = \"r\"\n" + action,
                       "2:8: \"date\" in [[decision]] is 2999-01-01, after today (");
    // Numbers say what was wrong with them.
    const std::string points = "action = \"add-points\"\ncode = \"CHT\"\nname = \"Driver CHT\"\n";
    for (const auto& [value, fault] :
         {std::pair("2.5", "2.5 is not a whole number"), std::pair("-1001", "-1001 is below -1000"),
          std::pair("0", "0 changes nothing"),
          std::pair("\"7\"", "\"7\" is a text, not a number")}) {
        files.emplace_back(Head + points + "points = " + value + "\n",
                           std::string("7:10: \"points\" in [[decision]] must be a whole number "
                                       "from -1000 to 1000, not 0: ") +
                               fault + "\n");
    }
    files.emplace_back("[points]\nplaces = [10, 5.5]\n",
                       "2:15: the points of place 2 must be a whole number from 0 to 100: 5.5 is "
                       "not a whole number\n");
    files.emplace_back("[points]\nbest_rallies = 9\n",
                       "2:16: \"best_rallies\" in [points] must be a whole number from 1 to 8: 9 "
                       "is above 8\n");
    files.emplace_back(Head + "action = \"add-time\"\n" +
                           "code = \"CHT\"\nname = \"Driver CHT\"\n" +
                           "event = \"arcade-1\"\nseconds = 1.005\n",
                       "8:11: \"seconds\" in [[decision]] must be a number from 0.01 to 3600, in "
                       "hundredths: 1.005 is finer than hundredths\n");
    // A points adjustment for one class names a class of the league.
    files.emplace_back(Head + points + "points = 3\nclass = \"Heavy\"\n" +
                           "[[class]]\nname = \"Light\"\n",
                       "8:9: no [[class]] is named \"Heavy\"\n");
    files.emplace_back(Head + action + "class = \"Light\"\n[[class]]\nname = \"Light\"\n",
                       "6:1: \"class\" does not go with the action \"exclude-file\"\n");
    // A key under a header still commented out, or under none.
    files.emplace_back("# The page.\n# [outputs]\n# The page.\nhtml = \"r.html\"\n",
                       "4:1: unknown key \"html\": is the `[outputs]` line above it still "
                       "commented out?\n");
    files.emplace_back("# [points]\n# [[class]]\nname = \"Manual\"\n",
                       "3:1: unknown key \"name\": is the `[[class]]` line above it still "
                       "commented out?\n");
    files.emplace_back("# [outputs]\ntie_break = \"count-back\"\n",
                       "2:1: unknown key \"tie_break\": it belongs under a `[points]` line\n");
    files.emplace_back("# [outputs]\nhtmll = \"r.html\"\n", "2:1: unknown key \"htmll\"\n");
    // A good decision before a bad one does not act either.
    files.emplace_back(Head + action + Head + "action = \"add-points\"\n",
                       "6:1: a [[decision]] with the action \"add-points\" needs \"code\"");
    for (const auto& [text, error] : files) {
        SCOPED_TRACE(text);
        GameFolder game;
        addGroup(game);
        kvrtest::writeText(game / "ranking.txt", "earlier\n");
        kvrtest::writeText(game / "kvrrank.toml", text);
        const auto before = kvrtest::snapshot(game.path());
        kvrtest::ProcessResult result = run(game.path(), {"--json", "r.json"});
        EXPECT_EQ(result.exitStatus, 2);
        EXPECT_EQ(result.output, "");
        EXPECT_EQ(result.errors.find('\n'), result.errors.size() - 1) << result.errors;
        EXPECT_EQ(result.errors.rfind(kvrtest::platformText("kvrrank: kvrrank.toml:" + error), 0),
                  0u)
            << result.errors;
        EXPECT_EQ(kvrtest::snapshot(game.path()), before);
    }
}

// The outlier excluded: the records file's entry is the next best time, byte for byte; the
// duplicate file excluded takes no place in the listings.
TEST(Decisions, AnExcludedTimeNeverReachesTheRecordsFile) {
    GameFolder game;
    addGroup(game);
    kvrtest::writeText(game / "kvrrank.toml",
                       Head +
                           "action = \"exclude-time\"\ncode = \"CHT\"\nname = \"Driver CHT\"\n"
                           "event = \"arcade italy\"\n" +
                           Head + "action = \"exclude-file\"\nfile = \"aaa copy.kvr\"\n");
    kvrtest::ProcessResult result = run(game.path(), {"--json", "r.json"});
    ASSERT_EQ(result.exitStatus, 0) << result.errors;
    // The console still shows every file imported.
    EXPECT_NE(result.output.find("importing aaa copy.kvr ... ok!"), std::string::npos);
    const std::vector<uint8_t> records = game.records();
    // AAA, vehicle 2 with a time and bit 0 of 3001, 3001 >> 1 = 0x05DC.
    EXPECT_EQ(entryBytes(records, 4820),
              (std::vector<uint8_t>{'A', 'A', 'A', 0, 0xC2, 0xDC, 0x05, 0}));
    // Sweden keeps its holder: 2001 >> 1 = 0x03E8.
    EXPECT_EQ(entryBytes(records, 4828),
              (std::vector<uint8_t>{'C', 'H', 'T', 0, 0xC2, 0xE8, 0x03, 0}));

    const Json json = Json::parse(kvrtest::readText(game / "r.json"));
    std::string italy;
    for (const Json& r : json["arcade"][0]["results"]) {
        italy += r["code"].get<std::string>() + " ";
    }
    EXPECT_EQ(italy, "AAA BBB ");
    // The checks still flag the outlier and the duplicate, each with its decision.
    const Json& checks = json["checks"];
    ASSERT_EQ(checks["outliers"].size(), 1u);
    EXPECT_EQ(checks["outliers"][0]["code"], "CHT");
    EXPECT_EQ(checks["outliers"][0]["hundredths"], 1000);
    EXPECT_EQ(checks["outliers"][0]["decision"], 1);
    ASSERT_EQ(checks["duplicates"].size(), 1u);
    EXPECT_EQ(checks["duplicates"][0]["decision"], 2);
    EXPECT_EQ(json["decisions"],
              Json::parse(R"([{"index": 1, "date": "2026-12-01", "action": "exclude-time",
                  "reason": "edited", "code": "CHT", "name": "Driver CHT", "file": null,
                  "event": "arcade-1", "seconds": null, "points": null, "matched": true,
                  "effect": "Arcade Italy: 00:10.00 excluded"},
                 {"index": 2, "date": "2026-12-01", "action": "exclude-file", "reason": "edited",
                  "code": null, "name": null, "file": "aaa copy.kvr", "event": null,
                  "seconds": null, "points": null, "matched": true,
                  "effect": "excluded 1 file"}])"));
}

// A decision that matches nothing is told on the console after the run, with why and what is
// close; the run goes on.
TEST(Decisions, ADecisionThatMatchesNothingIsToldAfterTheRun) {
    const std::string cht = "code = \"CHT\"\nname = \"Driver CHT\"\n";
    const struct {
        std::string decisions;
        std::string line; // the last line of the console
    } cases[] = {
        {Head + "action = \"exclude-driver\"\ncode = \"CHT\"\nname = \"Driver CHD\"\n",
         "decision 1 (exclude-driver, 2026-12-01) matched nothing: no driver named \"Driver "
         "CHD\"; did you mean \"Driver CHT\" (CHT)?"},
        {Head + "action = \"add-points\"\npoints = 3\ncode = \"cht\"\nname = \"Driver CHT\"\n",
         "decision 1 (add-points, 2026-12-01) matched nothing: no driver \"Driver CHT\" has the "
         "code \"cht\"; did you mean \"Driver CHT\" (CHT)?"},
        {Head + "action = \"exclude-driver\"\ncode = \"QQQ\"\nname = \"Jonas Ulrik\"\n",
         "decision 1 (exclude-driver, 2026-12-01) matched nothing: no driver named \"Jonas "
         "Ulrik\""},
        {Head + "action = \"exclude-file\"\nfile = \"kvr/CHT.kvr\"\n",
         "decision 1 (exclude-file, 2026-12-01) matched nothing: no participant file named "
         "\"kvr/CHT.kvr\" (the key takes the bare file name); did you mean \"cht.kvr\"?"},
        {Head + "action = \"exclude-file\"\nfile = \"bbb (old).kvr\"\n",
         "decision 1 (exclude-file, 2026-12-01) matched nothing: no participant file named "
         "\"bbb (old).kvr\""},
        {Head + "action = \"exclude-time\"\nevent = \"Arcade Sweden\"\ncode = \"BBB\"\n"
                "name = \"Driver BBB\"\n",
         "decision 1 (exclude-time, 2026-12-01) matched nothing: Driver BBB (BBB) has no time in "
         "Arcade Sweden"},
        {Head + "action = \"exclude-time\"\nevent = \"arcade-1\"\n" + cht + Head +
             "action = \"exclude-time\"\nevent = \"Arcade Italy\"\n" + cht,
         "decision 2 (exclude-time, 2026-12-01) matched nothing: already excluded by decision 1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.decisions);
        GameFolder game;
        addGroup(game);
        kvrtest::writeText(game / "kvrrank.toml", c.decisions);
        kvrtest::ProcessResult result = run(game.path());
        EXPECT_EQ(result.exitStatus, 0) << result.errors;
        EXPECT_EQ(result.errors, "");
        const std::string expected = kvrtest::platformText("... ok!\n" + c.line + "\n");
        ASSERT_GE(result.output.size(), expected.size());
        EXPECT_EQ(result.output.substr(result.output.size() - expected.size()), expected)
            << result.output;
    }
}

// Today as the league file writes a date.
std::string today() {
    const std::time_t now = std::time(nullptr);
    char text[32];
    return std::strftime(text, sizeof text, "%Y-%m-%d", std::localtime(&now)) > 0 ? text : "";
}

// --review lists each flagged result with a decision ready to paste; pasted as it stands, the
// next run applies it: nothing is flagged without a decision. (The records file after it:
// season_post_test.cpp.)
TEST(Decisions, TheReviewListingPastedSettlesEveryFlag) {
    GameFolder game;
    addGroup(game);
    const auto untouched = kvrtest::snapshot(game.path());
    kvrtest::ProcessResult listed = run(game.path(), {"--review"});
    ASSERT_EQ(listed.exitStatus, 0) << listed.errors;
    EXPECT_EQ(listed.errors, "");
    // --review writes nothing.
    EXPECT_EQ(kvrtest::snapshot(game.path()), untouched);
    EXPECT_EQ(listed.output,
              kvrtest::platformText(
                  "# Under review: 2 flagged results that no decision covers, each counting until "
                  "you decide.\n# To decide one, paste its block into the league file.\n\n"
                  "# Arcade Italy: 00:10.00 by Driver CHT (CHT) in cht.kvr, an outlier (place 2: "
                  "00:30.00)\n[[decision]]\ndate = " +
                  today() +
                  "\naction = \"exclude-time\"\ncode = \"CHT\"\nname = \"Driver CHT\"\n"
                  "event = \"Arcade Italy\"\nreason = \"outlier: 00:10.00, place 2 00:30.00\" # "
                  "say why, in your own words\n\n"
                  "# aaa copy.kvr: Driver AAA (AAA) again, as in aaa.kvr\n[[decision]]\ndate = " +
                  today() +
                  "\naction = \"exclude-file\"\nfile = \"aaa copy.kvr\"\nreason = \"a copy of "
                  "aaa.kvr\" # say why, in your own words\n"));

    // The page flags the outlier where it is listed, and gives each block in the checks.
    ASSERT_EQ(run(game.path(), {"--html", "r.html"}).exitStatus, 0);
    const std::string flagged = kvrtest::readText(game / "r.html");
    EXPECT_NE(flagged.find("<td class=\"n\">00:10.00 <a href=\"#check-outliers\" "
                           "class=\"flag\">\u2691 outlier</a></td>"),
              std::string::npos);
    size_t blocks = 0;
    for (size_t at = 0; (at = flagged.find("\u2691 Under review</span><details class=\"ready\">"
                                           "<summary>Decision to paste</summary><pre>[[decision]]\n"
                                           "date = " +
                                               today(),
                                           at)) != std::string::npos;
         ++at) {
        ++blocks;
    }
    EXPECT_EQ(blocks, 2u);

    kvrtest::writeText(game / "kvrrank.toml", listed.output);
    kvrtest::ProcessResult decided = run(game.path(), {"--json", "r.json", "--html", "r.html"});
    ASSERT_EQ(decided.exitStatus, 0) << decided.errors;
    EXPECT_EQ(decided.output.find("matched nothing"), std::string::npos) << decided.output;
    const Json checks = Json::parse(kvrtest::readText(game / "r.json"))["checks"];
    EXPECT_EQ(checks["outliers"][0]["decision"], 1);
    EXPECT_EQ(checks["duplicates"][0]["decision"], 2);
    EXPECT_EQ(kvrtest::readText(game / "r.html").find("\u2691"), std::string::npos);
    EXPECT_EQ(run(game.path(), {"--review"}).output,
              kvrtest::platformText("# Nothing under review: every flagged result has a "
                                    "decision.\n"));
}

// A backslash in a driver's code or name, or in a file's name, is escaped in the review's
// blocks, so that each reads back as the very name: pasted, the blocks match and settle both
// flags. Unescaped, "\b", "\t" and "\n" would read as control characters and match nothing.
TEST(Decisions, ABackslashInANameOrAFileNameRoundTripsThroughTheReview) {
    GameFolder game;
    const std::string code = "C\\b";
    const std::string name = "C:\\temp\\new";
    auto add = [&game](const std::string& file, const std::string& c, const std::string& n,
                       uint32_t italy) {
        game.addParticipant(file, ParticipantFileBuilder().code(c).name(n).arcade(0, 0x02, italy));
    };
    // Arcade Italy (stored words): the backslash driver 1001, far ahead of AAA 3001, BBB 3101.
    add("cht.kvr", code, name, 1001);
    add("aaa.kvr", "AAA", "Driver AAA", 3001);
    add("bbb.kvr", "BBB", "Driver BBB", 3101);
#ifndef _WIN32
    add("aaa\\new.kvr", "AAA", "Driver AAA", 3001); // no file name on Windows holds a backslash
#endif
    const kvrtest::ProcessResult listed = run(game.path(), {"--review"});
    ASSERT_EQ(listed.exitStatus, 0) << listed.errors;
    EXPECT_NE(listed.output.find(
                  kvrtest::platformText("\ncode = \"C\\\\b\"\nname = \"C:\\\\temp\\\\new\"\n")),
              std::string::npos)
        << listed.output;
#ifndef _WIN32
    EXPECT_NE(listed.output.find(kvrtest::platformText(
                  "\nfile = \"aaa\\\\new.kvr\"\nreason = \"a copy of aaa.kvr\"")),
              std::string::npos)
        << listed.output;
#endif

    kvrtest::writeText(game / "kvrrank.toml", listed.output);
    const kvrtest::ProcessResult decided = run(game.path(), {"--json", "r.json"});
    ASSERT_EQ(decided.exitStatus, 0) << decided.errors;
    EXPECT_EQ(decided.output.find("matched nothing"), std::string::npos) << decided.output;
    const Json json = Json::parse(kvrtest::readText(game / "r.json"));
    for (const Json& decision : json["decisions"]) {
        EXPECT_EQ(decision["matched"], true) << decision.dump();
    }
    EXPECT_EQ(json["checks"]["outliers"][0]["decision"], 1);
    EXPECT_EQ(json["checks"]["outliers"][0]["name"], name);
#ifndef _WIN32
    EXPECT_EQ(json["decisions"].size(), 2u);
    EXPECT_EQ(json["checks"]["duplicates"][0]["decision"], 2);
#else
    EXPECT_EQ(json["decisions"].size(), 1u);
#endif
    // The excluded time leaves Italy to AAA.
    EXPECT_EQ(json["arcade"][0]["results"][0]["code"], "AAA") << json["arcade"].dump();
    EXPECT_EQ(run(game.path(), {"--review"}).output,
              kvrtest::platformText("# Nothing under review: every flagged result has a "
                                    "decision.\n"));
}

// A file of random bytes is imported and counts, but the checks flag it: the JSON, the post and
// --review, with an exclude-file block that, pasted, settles it.
TEST(Decisions, ARandomFileIsUnderReviewUntilADecisionExcludesIt) {
    GameFolder game;
    game.addParticipant(
        "aaa.kvr", ParticipantFileBuilder().code("AAA").name("Driver AAA").arcade(0, 0x02, 3001));
    game.addParticipant(
        "bbb.kvr", ParticipantFileBuilder().code("BBB").name("Driver BBB").arcade(0, 0x02, 3101));
    std::mt19937 random(20261208);
    std::vector<uint8_t> noise(1616);
    for (uint8_t& byte : noise) {
        byte = static_cast<uint8_t>(random());
    }
    kvrtest::writeBytes(game / "kvr" / "noise.kvr", noise);
    kvrtest::writeText(game / "kvrrank.toml", "[outputs]\npost = \"week.md\"\n");

    const kvrtest::ProcessResult listed = run(game.path(), {"--review"});
    ASSERT_EQ(listed.exitStatus, 0) << listed.errors;
    EXPECT_NE(listed.output.find(kvrtest::platformText(
                  "# Under review: 1 flagged result that no decision covers")),
              std::string::npos)
        << listed.output;
    EXPECT_NE(listed.output.find(kvrtest::platformText("\n# noise.kvr: ")), std::string::npos)
        << listed.output;
    EXPECT_NE(listed.output.find(kvrtest::platformText(
                  "\naction = \"exclude-file\"\nfile = \"noise.kvr\"\nreason = \"implausible: ")),
              std::string::npos)
        << listed.output;

    // Until decided, it counts, and the JSON and the post point at it.
    ASSERT_EQ(run(game.path(), {"--json", "r.json"}).exitStatus, 0);
    Json json = Json::parse(kvrtest::readText(game / "r.json"));
    EXPECT_EQ(json["standings"].size(), 3u);
    ASSERT_EQ(json["checks"]["under_review"].size(), 1u);
    EXPECT_EQ(json["checks"]["under_review"][0]["check"], "implausible");
    EXPECT_EQ(json["checks"]["under_review"][0]["file"], "noise.kvr");
    EXPECT_NE(kvrtest::readText(game / "week.md").find("\nfile noise.kvr: "), std::string::npos);

    kvrtest::writeText(game / "kvrrank.toml", "[outputs]\npost = \"week.md\"\n" + listed.output);
    const kvrtest::ProcessResult decided = run(game.path(), {"--json", "r.json"});
    ASSERT_EQ(decided.exitStatus, 0) << decided.errors;
    EXPECT_EQ(decided.output.find("matched nothing"), std::string::npos) << decided.output;
    json = Json::parse(kvrtest::readText(game / "r.json"));
    EXPECT_EQ(json["standings"].size(), 2u);
    EXPECT_EQ(json["checks"]["implausible"][0]["decision"], 1);
    EXPECT_EQ(json["checks"]["under_review"], Json::array());
    EXPECT_EQ(kvrtest::readText(game / "week.md").find("Under review"), std::string::npos);
    EXPECT_EQ(run(game.path(), {"--review"}).output,
              kvrtest::platformText("# Nothing under review: every flagged result has a "
                                    "decision.\n"));
}

// Standings as "code points adjustment" from the JSON, and the first lines of ranking.txt's
// listing of an event.
struct Outcome {
    std::vector<std::string> standings;
    std::string report;
};

Outcome runWith(const std::string& decisions) {
    GameFolder game;
    addGroup(game);
    kvrtest::writeText(game / "kvrrank.toml", decisions);
    kvrtest::ProcessResult result = run(game.path(), {"--json", "r.json"});
    EXPECT_EQ(result.exitStatus, 0) << result.errors;
    Outcome outcome;
    const Json json = Json::parse(kvrtest::readText(game / "r.json"));
    for (const Json& s : json["standings"]) {
        outcome.standings.push_back(s["code"].get<std::string>() + " " + s["points"].dump() + " " +
                                    s["adjustment"].dump());
    }
    outcome.report = kvrtest::readText(game / "ranking.txt");
    return outcome;
}

// Without decisions (12-8-6-4 points, equal totals in file order): Italy CHT 12, AAA 8,
// AAA 6, BBB 4; Sweden CHT 12, AAA 8, AAA 6. CHT 24, aaa.kvr 16, aaa copy.kvr 12, BBB 4.
TEST(Decisions, PenaltiesAndPointsReorderTheRanking) {
    const std::string bbb = "code = \"BBB\"\nname = \"Driver BBB\"\n";
    const std::string cht = "code = \"CHT\"\nname = \"Driver CHT\"\n";
    const std::string aaa = "code = \"AAA\"\nname = \"Driver AAA\"\n";
    const struct {
        std::string decisions;
        std::vector<std::string> standings;
    } cases[] = {
        {"[points]\n", {"CHT 24 0", "AAA 16 0", "AAA 12 0", "BBB 4 0"}},
        // CHT 20.01 s + 10.00 s = 30.01 s in Italy: behind both AAA (30.00 s), ahead of BBB.
        // Italy AAA 12, AAA 8, CHT 6, BBB 4: CHT 18, aaa.kvr 20, aaa copy.kvr 14.
        {Head + "action = \"add-time\"\nevent = \"Arcade Italy\"\nseconds = 20.01\n" + cht,
         {"AAA 20 0", "CHT 18 0", "AAA 14 0", "BBB 4 0"}},
        // Two penalties on one time add up: 10.00 + 10.01 s, the same.
        {Head + "action = \"add-time\"\nevent = \"arcade-1\"\nseconds = 10\n" + cht + Head +
             "action = \"add-time\"\nevent = \"arcade-1\"\nseconds = 10.01\n" + cht,
         {"AAA 20 0", "CHT 18 0", "AAA 14 0", "BBB 4 0"}},
        // Points: BBB 4 + 9 = 13 passes aaa copy.kvr; CHT -13 falls to 11, behind both.
        {Head + "action = \"add-points\"\npoints = 9\n" + bbb + Head +
             "action = \"add-points\"\npoints = -13\n" + cht,
         {"AAA 16 0", "BBB 13 9", "AAA 12 0", "CHT 11 -13"}},
        // A total adjusted to nothing leaves the standings.
        {Head + "action = \"add-points\"\npoints = -4\n" + bbb,
         {"CHT 24 0", "AAA 16 0", "AAA 12 0"}},
        // A driver excluded: the others move up. Italy AAA 12, AAA 8, BBB 6; Sweden AAA 12, 8.
        {Head + "action = \"exclude-driver\"\n" + cht + Head +
             "action = \"add-points\"\npoints = 5\n" + cht,
         {"AAA 24 0", "AAA 16 0", "BBB 6 0"}},
        // An adjustment for the duplicate's driver goes to both of their files.
        {Head + "action = \"add-points\"\npoints = 1\n" + aaa,
         {"CHT 24 0", "AAA 17 1", "AAA 13 1", "BBB 4 0"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.decisions);
        const Outcome outcome = runWith(c.decisions);
        EXPECT_EQ(outcome.standings, c.standings);
    }
    // ranking.txt lists the penalised time where it now stands.
    const Outcome penalised = runWith(cases[1].decisions);
    const std::string report = penalised.report;
    const size_t italy = report.find(kvrtest::platformText("  Italy\n"));
    ASSERT_NE(italy, std::string::npos) << report;
    EXPECT_NE(report.find(
                  kvrtest::platformText("    03  CHT  arden vela alternate 1           MT 00:30.01 "
                                        "(+00:00.01)\n    04  BBB"),
                  italy),
              std::string::npos)
        << report;
}

} // namespace

// The page marks what the decisions did, each mark a link to its decision's row.
TEST(Decisions, ThePageShowsEachDecisionWhereItActs) {
    GameFolder game;
    addGroup(game);
    const std::string cht = "code = \"CHT\"\nname = \"Driver CHT\"\n";
    kvrtest::writeText(
        game / "kvrrank.toml",
        Head + "action = \"add-time\"\nevent = \"Arcade Italy\"\nseconds = 20.01\n" + cht + Head +
            "action = \"add-points\"\npoints = 9\ncode = \"BBB\"\nname = \"Driver BBB\"\n" + Head +
            "action = \"exclude-file\"\nfile = \"aaa copy.kvr\"\n" + Head +
            "action = \"exclude-time\"\nevent = \"Finland 1\"\n" + cht +
            "[[class]]\nname = \"All\"\n");
    kvrtest::ProcessResult result = run(game.path(), {"--html", "r.html"});
    ASSERT_EQ(result.exitStatus, 0) << result.errors;
    const std::string page = kvrtest::readText(game / "r.html");
    // Italy: AAA 12, CHT 8, BBB 6; Sweden: CHT 12, AAA 8. AAA 20, CHT 20, BBB 6 + 9 = 15.
    for (const char* html : {
             "<a href=\"#decisions\">4 decisions</a>",
             // The penalised time in its listing and in the driver's section.
             "<td class=\"n\">00:30.01 <a href=\"#decision-1\">(+20.01 s)</a></td>",
             "<td>Arcade Italy</td><td class=\"n\">00:30.01 <a href=\"#decision-1\">(+20.01 "
             "s)</a></td>",
             // The adjusted total in the standings and in the points grid.
             "<td>BBB</td><td><a href=\"#driver-3\">Driver BBB</a></td><td class=\"n\">15 "
             "(+9)</td>",
             "<td class=\"n\">6</td><td class=\"n\">15 (+9)</td></tr>",
             // The checks covered, with the link.
             "<td class=\"n\">00:10.00</td><td class=\"n\">00:30.00</td><td><a "
             "href=\"#decision-1\">Decision 1</a></td>",
             "aaa.<wbr>kvr</td><td><a href=\"#decision-3\">Decision 3</a></td>",
             // The table, a decision that matched nothing in its own words.
             "<tr id=\"decision-1\"><td class=\"n\">1</td><td class=\"at\">2026-12-01</td><td>Time "
             "penalty</td><td>Driver CHT (CHT)</td><td>Arcade Italy</td><td>edited</td><td>Arcade "
             "Italy: 00:10.00 to 00:30.01</td></tr>",
             "<td>+9 points, in the overall and every class standings</td></tr>",
             // The adjustment counts in the class's standings too.
             "<td>BBB</td><td><a href=\"#driver-3\">Driver BBB</a></td><td class=\"n\">0</td>",
             "<td class=\"n\">6</td><td class=\"n\">15 (+9)</td></tr>\n</tbody>\n</table></div>\n"
             "<details>",
             "<tr id=\"decision-4\"><td class=\"n\">4</td><td "
             "class=\"at\">2026-12-01</td><td>Exclude "
             "time</td><td>Driver CHT (CHT)</td><td>Finland 1</td><td>edited</td><td><span "
             "class=\"note\">Matched nothing: Driver CHT (CHT) has no time in Finland "
             "1.</span></td></tr>",
         }) {
        EXPECT_NE(page.find(html), std::string::npos) << html;
    }
    // The penalty in the listing, the driver's section and the class's listing.
    size_t marks = 0;
    for (size_t at = page.find("(+20.01 s)"); at != std::string::npos;
         at = page.find("(+20.01 s)", at + 1)) {
        ++marks;
    }
    EXPECT_EQ(marks, 3u);
    // The Decisions section comes after the checks.
    EXPECT_LT(page.find("<section id=\"checks\">"), page.find("<section id=\"decisions\">"));
}

// A file is excluded whether or not its driver set a time: the decision matched.
TEST(Decisions, ExcludingAFileWithNoTimeStillMatches) {
    GameFolder game;
    addGroup(game);
    game.addParticipant("idle.kvr", ParticipantFileBuilder().code("IDL").name("Driver IDL"));
    kvrtest::writeText(game / "kvrrank.toml",
                       Head + "action = \"exclude-file\"\nfile = \"idle.kvr\"\n" + Head +
                           "action = \"exclude-file\"\nfile = \"gone.kvr\"\n");
    kvrtest::ProcessResult result =
        run(game.path(), {"--html", "r.html", "--json", "r.json", "--history", "season.jsonl"});
    ASSERT_EQ(result.exitStatus, 0) << result.errors;
    const std::string page = kvrtest::readText(game / "r.html");
    EXPECT_NE(page.find("<td>Exclude file</td><td>idle.<wbr>kvr</td><td></td><td>edited</td><td>"
                        "excluded 1 file</td></tr>"),
              std::string::npos);
    const Json json = Json::parse(kvrtest::readText(game / "r.json"));
    EXPECT_EQ(json["decisions"][0]["matched"], true);
    EXPECT_EQ(json["decisions"][1]["matched"], false);
    const Json line = Json::parse(kvrtest::readText(game / "season.jsonl"));
    EXPECT_EQ(line["decisions"], Json::parse("[1]"));
}

// A record taken away by a decision is annulled, not broken; the snapshot keeps which
// decisions matched, and the next run adds nothing to the log.
TEST(Decisions, AnExcludedRecordIsAnnulledInTheSeason) {
    GameFolder game;
    addGroup(game);
    const std::vector<std::string> arguments = {"--history", "season.jsonl", "--json",
                                                "r.json",    "--html",       "r.html"};
    ASSERT_EQ(run(game.path(), arguments).exitStatus, 0);
    kvrtest::writeText(game / "kvrrank.toml",
                       Head + "action = \"exclude-time\"\nevent = \"arcade-1\"\ncode = \"CHT\"\n" +
                           "name = \"Driver CHT\"\n" + Head +
                           "action = \"exclude-file\"\nfile = \"gone.kvr\"\n" + Head +
                           "action = \"exclude-file\"\nfile = \"aaa copy.kvr\"\n");
    for (int again = 0; again < 2; ++again) {
        kvrtest::ProcessResult result = run(game.path(), arguments);
        ASSERT_EQ(result.exitStatus, 0) << result.errors;
        const Json json = Json::parse(kvrtest::readText(game / "r.json"));
        const Json& history = json["history"];
        EXPECT_EQ(history["new_records"], Json::array());
        const Json& italy = history["record_log"][0];
        ASSERT_EQ(italy["event"], "arcade-1");
        ASSERT_EQ(italy["changes"].size(), 2u);
        EXPECT_FALSE(italy["changes"][0].contains("annulled"));
        EXPECT_EQ(italy["changes"][1]["code"], "AAA");
        EXPECT_EQ(italy["changes"][1]["annulled"], true);
        // Sweden's record stands.
        EXPECT_EQ(history["record_log"][1]["changes"].size(), 1u);
        EXPECT_NE(kvrtest::readText(game / "r.html")
                      .find("<td>Driver AAA <span class=\"note\">(the faster record before was "
                            "annulled)</span></td>"),
                  std::string::npos);
    }
    const std::string season = kvrtest::readText(game / "season.jsonl");
    std::vector<Json> lines;
    for (size_t from = 0, end; (end = season.find('\n', from)) != std::string::npos;
         from = end + 1) {
        lines.push_back(Json::parse(season.substr(from, end - from)));
    }
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_FALSE(lines[0].contains("decisions"));
    EXPECT_EQ(lines[1]["decisions"], Json::parse("[1, 3]"));
    EXPECT_EQ(lines[2]["decisions"], Json::parse("[1, 3]"));
}
