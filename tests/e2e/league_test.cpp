// A league file on the built binary: a bad one touches nothing, a double-click run writes what
// the file names under its rules, the command line wins, and --new-league starts one.
#include "support/game_folder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace {

using kvrtest::GameFolder;
using kvrtest::ParticipantFileBuilder;
using kvrtest::platformText;
using kvrtest::snapshot;
using Json = nlohmann::json;
namespace fs = std::filesystem;

kvrtest::ProcessResult run(const fs::path& folder, const std::vector<std::string>& arguments = {}) {
    return kvrtest::runProgram(KVRRANK_BINARY, folder, arguments);
}

bool isOneLine(const std::string& text) {
    return !text.empty() && text.find('\n') == text.size() - 1;
}

// Three drivers in two arcade events. With 25-18-15 points: B 18 + 25 = 43, A 25 + 15 = 40,
// C 15 + 18 = 33; with the fixed 12-8-6: B 20, A 18, C 14, in the same order. In the class
// of MT gearboxes A and C each win one and are second in the other: 43 each, A first in
// file order.
void addGroup(GameFolder& game) {
    const struct {
        const char* code;
        uint8_t vehicle;
        uint32_t italy, sweden;
    } drivers[] = {
        {"AAA", 0x08, 1001, 1301}, // hoshin arc, MT
        {"BBB", 0x4A, 1101, 1101}, // marlet 140, AT
        {"CCC", 0x00, 1201, 1201}, // arden vela, MT
    };
    for (const auto& d : drivers) {
        ParticipantFileBuilder image;
        image.code(d.code).name(std::string("Driver ") + d.code);
        image.arcade(0, d.vehicle, d.italy).arcade(1, d.vehicle, d.sweden);
        game.addParticipant(std::string(d.code) + ".kvr", image);
    }
}

const std::string League = "[outputs]\n"
                           "html = \"ranking.html\"\n"
                           "json = \"out/ranking.json\"\n"
                           "csv = \"ranking.csv\"\n"
                           "history = \"season.jsonl\"\n"
                           "\n"
                           "[points]\n"
                           "places = [25, 18, 15]\n"
                           "tie_break = \"count-back\"\n"
                           "\n"
                           "[[class]]\n"
                           "name = \"Manual gearbox\"\n"
                           "transmission = \"MT\"\n";

// "place code points" of each standing of a JSON standings list.
std::vector<std::string> standings(const Json& list) {
    std::vector<std::string> rows;
    for (const Json& s : list) {
        rows.push_back(s["place"].dump() + " " + s["code"].get<std::string>() + " " +
                       s["points"].dump());
    }
    return rows;
}

TEST(League, EveryKindOfBadLeagueFileTouchesNothing) {
    struct Case {
        const char* what;
        std::string text; // the league file's; "/" makes it a folder
        std::vector<std::string> arguments;
        std::string error; // the start of the one line on stderr, after "kvrrank: "
    };
    const Case cases[] = {
        {"a syntax error", "[outputs]\nhtml = \"r.html\n", {}, "kvrrank.toml:2:"},
        {"an unknown key",
         "[points]\nplaces = [10]\n\n\n\n\npionts = 3\n",
         {},
         "kvrrank.toml:7:1: unknown key \"pionts\" in [points]"},
        {"an unknown table",
         "[output]\nhtml = \"r.html\"\n",
         {},
         "kvrrank.toml:1:2: unknown table [output]"},
        {"a wrong type",
         "[points]\nbest_rallies = \"6\"\n",
         {"--html", "r.html"},
         "kvrrank.toml:2:16: \"best_rallies\" in [points] must be a whole number from 1 to 8"},
        {"points that rise",
         "[outputs]\nhtml = \"r.html\"\n[points]\nplaces = [10, 12]\n",
         {},
         "kvrrank.toml:4:15: \"places\" in [points] must not rise"},
        {"an unknown vehicle",
         "[[class]]\nname = \"Light\"\nvehicles = [\"hoshin ark\"]\n",
         {},
         "kvrrank.toml:3:13: no vehicle is named \"hoshin ark\""},
        {"an empty class name",
         "[[class]]\nname = \"\"\ntransmission = \"AT\"\n",
         {"--no-records"},
         "kvrrank.toml:2:8: the name of a [[class]] is empty"},
        {"an unreadable league file", "/", {}, "kvrrank.toml: "},
        {"a named league file that is missing", "", {"--league", "missing.toml"}, "missing.toml: "},
        {"a named league file that is bad",
         "",
         {"--league", "Configuration/x.toml"},
         "Configuration/x.toml:1:1: unknown key \"x\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        GameFolder game;
        addGroup(game);
        kvrtest::writeText(game / "ranking.txt", "earlier\n");
        kvrtest::writeText(game / "season.jsonl", "");
        kvrtest::writeText(game / "Configuration" / "x.toml", "x = 1\n");
        if (c.text == "/") {
            fs::create_directory(game / "kvrrank.toml");
        } else if (!c.text.empty()) {
            kvrtest::writeText(game / "kvrrank.toml", c.text);
        }
        const auto before = snapshot(game.path());
        kvrtest::ProcessResult result = run(game.path(), c.arguments);
        EXPECT_EQ(result.exitStatus, 2);
        EXPECT_EQ(result.output, "");
        EXPECT_TRUE(isOneLine(result.errors)) << result.errors;
        EXPECT_EQ(result.errors.rfind("kvrrank: " + c.error, 0), 0u) << result.errors;
        EXPECT_EQ(snapshot(game.path()), before);
    }
}

// No arguments, started in the game folder, as a double-click starts it.
TEST(League, ADoubleClickRunWritesWhatTheFileNamesUnderItsRules) {
    GameFolder game;
    addGroup(game);
    fs::create_directory(game / "out");
    kvrtest::writeText(game / "kvrrank.toml", League);
    for (int runs = 1; runs <= 2; ++runs) {
        kvrtest::ProcessResult result = run(game.path());
        ASSERT_EQ(result.exitStatus, 0) << result.errors;
        EXPECT_EQ(result.errors, "");
    }
    const std::string report = kvrtest::readText(game / "ranking.txt");
    EXPECT_NE(report.find(platformText("Driver Total Ranking\n\n"
                                       "  01   43pnt Driver BBB\n"
                                       "  02   40pnt Driver AAA\n"
                                       "  03   33pnt Driver CCC\n")),
              std::string::npos)
        << report;

    const Json json = Json::parse(kvrtest::readText(game / "out" / "ranking.json"));
    const std::vector<std::string> expected = {"1 BBB 43", "2 AAA 40", "3 CCC 33"};
    EXPECT_EQ(standings(json["standings"]), expected);
    EXPECT_EQ(json["league"]["file"], "kvrrank.toml");
    EXPECT_EQ(json["league"]["places"], Json({25, 18, 15, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(json["league"]["tie_break"], "count-back");
    EXPECT_EQ(json["league"]["classes"], Json({"Manual gearbox"}));
    EXPECT_EQ(standings(json["classes"][0]["standings"]),
              (std::vector<std::string>{"1 AAA 43", "2 CCC 43"}));

    const std::string page = kvrtest::readText(game / "ranking.html");
    EXPECT_NE(page.find("<footer>\n<p class=\"note\">League file kvrrank.toml: 25-18-15 points; "
                        "equal points by count-back.</p>"),
              std::string::npos);
    EXPECT_NE(page.find("<section id=\"class-1\""), std::string::npos);

    // The CSV and the season's snapshots hold the league's points too.
    const std::string csv = kvrtest::readText(game / "ranking.csv");
    EXPECT_NE(csv.find(",AAA,Driver AAA,"), std::string::npos);
    EXPECT_NE(csv.find(",2,40,"), std::string::npos) << csv;
    EXPECT_NE(csv.find(",1,43,"), std::string::npos) << csv;
    const std::string season = kvrtest::readText(game / "season.jsonl");
    size_t lines = 0;
    for (size_t from = 0, end; (end = season.find('\n', from)) != std::string::npos;
         from = end + 1, ++lines) {
        EXPECT_EQ(standings(Json::parse(season.substr(from, end - from))["standings"]), expected);
    }
    EXPECT_EQ(lines, 2u);
    EXPECT_EQ(json["standings"][0]["movement"], 0);
}

TEST(League, TheCommandLineWinsAndTheFilesPathsAreTakenFromItsFolder) {
    GameFolder game;
    addGroup(game);
    kvrtest::TempFolder start;
    fs::create_directories(start / "leagues" / "web");
    kvrtest::writeText(start / "leagues" / "ours.toml",
                       "[outputs]\nhtml = \"web/page.html\"\njson = \"ours.json\"\n"
                       "records = true\n[points]\nplaces = [25, 18, 15]\n");
    const std::vector<uint8_t> records = game.records();

    // --json and --no-records given: the file's json and records are not used.
    kvrtest::ProcessResult result =
        run(start.path(), {"--league", "leagues/ours.toml", "--json", "mine.json", "--no-records",
                           game.path().u8string()});
    ASSERT_EQ(result.exitStatus, 0) << result.errors;
    EXPECT_EQ(result.output.find("updateing"), std::string::npos);
    EXPECT_EQ(game.records(), records);
    EXPECT_TRUE(fs::is_regular_file(start / "leagues" / "web" / "page.html"));
    EXPECT_FALSE(fs::exists(start / "leagues" / "ours.json"));
    const Json json = Json::parse(kvrtest::readText(start / "mine.json"));
    EXPECT_EQ(json["league"]["file"], "leagues/ours.toml");
    EXPECT_EQ(json["standings"][0]["points"], 43);

    // A league file in the game folder that says records = false, and no command line.
    kvrtest::writeText(game / "kvrrank.toml", "[outputs]\nrecords = false\n");
    result = run(game.path());
    ASSERT_EQ(result.exitStatus, 0) << result.errors;
    EXPECT_EQ(result.output.find("updateing"), std::string::npos);
    EXPECT_EQ(game.records(), records);
    // records = true and nothing said on the command line: the update happens.
    kvrtest::writeText(game / "kvrrank.toml", "[outputs]\nrecords = true\n");
    result = run(game.path());
    ASSERT_EQ(result.exitStatus, 0) << result.errors;
    EXPECT_NE(result.output.find("updateing"), std::string::npos);
    EXPECT_NE(game.records(), records);
}

TEST(League, NewLeagueStartsAFileAndNeverReplacesOne) {
    GameFolder game;
    addGroup(game);
    kvrtest::TempFolder start;
    kvrtest::ProcessResult result = run(start.path(), {"--new-league", game.path().u8string()});
    ASSERT_EQ(result.exitStatus, 0) << result.errors;
    EXPECT_EQ(result.errors, "");
    EXPECT_NE(result.output.find("kvrrank.toml"), std::string::npos);
    const std::string written = kvrtest::readText(game / "kvrrank.toml");
    EXPECT_EQ(written, platformText(kvrtest::readText(KVR_LEAGUE_EXAMPLE)));
    EXPECT_TRUE(fs::is_empty(start.path()));

    // It sets nothing: the run is the run without it.
    GameFolder twin;
    addGroup(twin);
    ASSERT_EQ(run(game.path(), {"--json", "r.json"}).exitStatus, 0);
    ASSERT_EQ(run(twin.path(), {"--json", "r.json"}).exitStatus, 0);
    Json withFile = Json::parse(kvrtest::readText(game / "r.json"));
    Json without = Json::parse(kvrtest::readText(twin / "r.json"));
    EXPECT_FALSE(withFile.contains("league"));
    withFile.erase("generated");
    without.erase("generated");
    EXPECT_EQ(withFile, without);

    // Once there, it stays as it is: exit 1, one line, nothing written.
    kvrtest::writeText(game / "kvrrank.toml", "# mine\n");
    auto before = snapshot(game.path());
    result = run(game.path(), {"--new-league"});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.errors, "kvrrank: kvrrank.toml: already exists; nothing written\n");
    EXPECT_EQ(snapshot(game.path()), before);
    // It is no run: other options with it are a bad command line.
    result = run(game.path(), {"--new-league", "--html", "r.html"});
    EXPECT_EQ(result.exitStatus, 2);
    EXPECT_EQ(snapshot(game.path()), before);
}

} // namespace
