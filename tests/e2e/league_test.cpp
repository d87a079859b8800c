// A league file on the built binary: a bad one touches nothing, a double-click run writes what
// the file names under its rules, the command line wins, and --new-league starts one.
#include "output/output_table.h"
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

const std::string League =
    "[outputs]\nhtml = \"ranking.html\"\njson = \"out/ranking.json\"\ncsv = \"ranking.csv\"\n"
    "post = \"week.md\"\nhistory = \"season.jsonl\"\npage_url = \"https://example.org/r.html\"\n"
    "[points]\nplaces = [25, 18, 15]\ntie_break = "
    "\"count-back\"\n"
    "[[class]]\nname = \"Manual gearbox\"\ntransmission = \"MT\"\n";

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
        const char* text;  // the league file's; "/" makes it a folder
        const char* error; // the one line on stderr, after "kvrrank: kvrrank.toml:"
        const char* named; // given to --league instead
    };
    const Case cases[] = {
        {"[outputs]\nhtml = \"r.html\n", "2:", nullptr}, // a syntax error: the parser's words
        {"[points]\nplaces = [10]\n\n\n\n\npionts = 3\n", "7:1: unknown key \"pionts\" in [points]",
         nullptr},
        {"[output]\nhtml = \"r.html\"\n", "1:2: unknown table [output]", nullptr},
        {"[outputs]\ncsv = \"\"\n", "2:7: \"csv\" in [outputs] is empty", nullptr},
        {"[points]\nplaces = [11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1]\n",
         "2:10: \"places\" in [points] must be a list of 1 to 10 whole numbers", nullptr},
        {"[points]\nplaces = [10, 8.5]\n",
         "2:15: the points of place 2 must be a whole number from 0 to 100", nullptr},
        {"[points]\nplaces = [10, 8, 8, 9]\n",
         "2:21: \"places\" in [points] must not rise: place 4 has 9 points, more than place 3's 8",
         nullptr},
        {"[points]\nbest_rallies = \"6\"\n",
         "2:16: \"best_rallies\" in [points] must be a whole number from 1 to 8", nullptr},
        {"[points]\nbest_rallies = 0\n",
         "2:16: \"best_rallies\" in [points] must be a whole number from 1 to 8", nullptr},
        {"[points]\nbest_rallies = 9\n",
         "2:16: \"best_rallies\" in [points] must be a whole number from 1 to 8", nullptr},
        {"[outputs]\nhtml = \"r.html\"\nhtm = \"x.html\"\n",
         "3:1: unknown key \"htm\" in [outputs]", nullptr},
        // The page's address: on the web, whole, nothing a chat would cut.
        {"[outputs]\npage_url = \"ranking.html\"\n",
         "2:12: \"page_url\" in [outputs] must be a web address in quotes", nullptr},
        {"[outputs]\npage_url = \"https://e.org/a b.html\"\n", "2:12: \"page_url\"", nullptr},
        {"[outputs]\npage_url = \"https://e.org/<b>\"\n", "2:12: \"page_url\"", nullptr},
        {"[outputs]\npage_url = true\n", "2:12: \"page_url\"", nullptr},
        {"[card]\ntheme = \"blue\"\n",
         "2:9: \"theme\" in [card] must be \"dark\" or \"light\"", nullptr},
        {"[card]\ntitle = \"\"\n", "2:9: \"title\" in [card] must be a text in quotes", nullptr},
        {"[card]\ntitle = 7\n", "2:9: \"title\" in [card]", nullptr},
        {"[[class]]\ntransmission = \"MT\"\n", "1:1: a [[class]] needs a name", nullptr},
        {"[[class]]\nname = \" \"\n", "2:8: the name of a [[class]] is empty", nullptr},
        {"[[class]]\nname = \"A\"\ntransmission = \"manual\"\n",
         "3:16: \"transmission\" in [[class]] must be \"MT\" or \"AT\"", nullptr},
        {"[[class]]\nname = \"A\"\nvehicles = [\"hoshin arc\", \"hoshin ark\"]\n",
         "3:27: no vehicle is named \"hoshin ark\"", nullptr},
        // A letter beyond ASCII where a space may stand; a line end in a key.
        {"[points]\nbest_rallies = 6 \xC3\xA9\n", "2:18: ", nullptr},
        {"[points]\n\"a\\nb\" = 1\n", "2:1: unknown key \"a?b\" in [points]", nullptr},
        // Of several mistakes, the first in the file, whatever the order of the keys.
        {"[points]\nzeta = 1\nalpha = 2\n", "2:1: unknown key \"zeta\" in [points]", nullptr},
        {"/", " not a regular file", nullptr}, // cannot be read
        {"", "Configuration/x.toml:1:1: unknown key \"x\"", "Configuration/x.toml"},
        {"", "missing.toml: ", "missing.toml"},
        // [live]: the board a double-click starts.
        {"[live]\nwatch = \"yes\"\n", "2:9: \"watch\" in [live] must be true or false", nullptr},
        {"[live]\nserve = 70000\n",
         "2:9: \"serve\" in [live] must be a port from 0 to 65535, or \"ADDRESS:PORT\" in quotes",
         nullptr},
        {"[live]\nport = 8080\n", "2:1: unknown key \"port\" in [live]", nullptr},
        {"[live]\nserve = \"8o80\"\n", "--serve \"8o80\": the port must be", ""},
        {"[live]\nserve = \"192.168.1.5:8080\"\n",
         "--serve \"192.168.1.5\" can be reached from the network: add --lan to serve there", ""},
        {"[live]\nlan = true\n", "--lan serves nothing without --serve PORT", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        GameFolder game;
        addGroup(game);
        kvrtest::writeText(game / "ranking.txt", "earlier\n");
        kvrtest::writeText(game / "season.jsonl", "");
        kvrtest::writeText(game / "Configuration" / "x.toml", "x = 1\n");
        if (std::string(c.text) == "/") {
            fs::create_directory(game / "kvrrank.toml");
        } else if (*c.text != '\0') {
            kvrtest::writeText(game / "kvrrank.toml", c.text);
        }
        std::vector<std::string> arguments = {"--html", "r.html"};
        if (c.named != nullptr && *c.named != '\0') {
            arguments.insert(arguments.end(), {"--league", c.named});
        }
        const auto before = snapshot(game.path());
        kvrtest::ProcessResult result = run(game.path(), arguments);
        EXPECT_EQ(result.exitStatus, 2);
        EXPECT_EQ(result.output, "");
        EXPECT_TRUE(isOneLine(result.errors)) << result.errors;
        const std::string expected = c.named != nullptr
                                         ? std::string("kvrrank: ") + c.error
                                         : std::string("kvrrank: kvrrank.toml:") + c.error;
        EXPECT_EQ(result.errors.rfind(expected, 0), 0u) << result.errors;
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
    EXPECT_EQ(standings(json["classes"][0]["standings"]),
              (std::vector<std::string>{"1 AAA 43", "2 CCC 43"}));

    EXPECT_NE(kvrtest::readText(game / "ranking.html")
                  .find("League file kvrrank.toml: 25-18-15 points; equal points by count-back."),
              std::string::npos);

    // The CSV and the season's snapshots hold the league's points too.
    const std::string csv = kvrtest::readText(game / "ranking.csv");
    EXPECT_NE(csv.find(",AAA,Driver AAA,1850-00-00,2,40,"), std::string::npos) << csv;
    const std::string season = kvrtest::readText(game / "season.jsonl");
    size_t lines = 0;
    for (size_t from = 0, end; (end = season.find('\n', from)) != std::string::npos;
         from = end + 1, ++lines) {
        EXPECT_EQ(standings(Json::parse(season.substr(from, end - from))["standings"]), expected);
    }
    EXPECT_EQ(lines, 2u);
    EXPECT_EQ(json["standings"][0]["movement"], 0);
    // The same podium as the run before: no movement shown on it.
    EXPECT_EQ(kvrtest::readText(game / "week.md").find("1. Driver BBB (BBB): 43 pts  \n"),
              kvrtest::readText(game / "week.md").find("\n\n1. ") + 2);
    // The post ends with a link to where the page is published.
    const std::string post = kvrtest::readText(game / "week.md");
    EXPECT_EQ(post.substr(post.size() - 45), "\n\nFull ranking: <https://example.org/r.html>\n");
}

// A class names vehicles from either end of the game's list, in any case, and ranks their times.
TEST(League, AClassOfTheFirstAndLastVehiclesRanksTheirTimes) {
    GameFolder game;
    addGroup(game);
    ParticipantFileBuilder image;
    image.code("DDD").name("Driver DDD").arcade(0, 0x15, 1051); // arden pacer mk1, MT
    game.addParticipant("DDD.kvr", image);
    const struct {
        const char* vehicles;
        std::vector<std::string> standings;
    } cases[] = {
        {"\"Arden Pacer MK1\"", {"1 DDD 12"}},
        {"\"arden pacer mk1\", \"arden vela\"", {"1 CCC 20", "2 DDD 12"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.vehicles);
        kvrtest::writeText(game / "kvrrank.toml",
                           std::string("[[class]]\nname = \"Edges\"\nvehicles = [") + c.vehicles +
                               "]\n");
        kvrtest::ProcessResult result = run(game.path(), {"--json", "r.json"});
        ASSERT_EQ(result.exitStatus, 0) << result.errors;
        const Json json = Json::parse(kvrtest::readText(game / "r.json"));
        EXPECT_EQ(standings(json["classes"][0]["standings"]), c.standings);
    }
}

// The league's outputs pass the same check as the command line's, named as the file names
// them, and no output may replace the league file itself.
TEST(League, OutputsThatWouldOverwriteAFileAreRefused) {
    const struct {
        std::string league;
        std::vector<std::string> arguments;
        std::string errorPart;
    } cases[] = {
        {"[outputs]\nhtml = \"s.jsonl\"\nhistory = \"s.jsonl\"\n", {}, "history in kvrrank.toml "},
        {"[outputs]\npost = \"ranking.txt\"\n", {}, "post in kvrrank.toml "},
        {"[points]\nplaces = [3, 2, 1]\n",
         {"--json", "kvrrank.toml"},
         "kvrrank.toml: the same file as the league file "},
        {"[outputs]\ncsv = \"kvrrank.toml\"\n", {}, "csv in kvrrank.toml "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.league);
        GameFolder game;
        addGroup(game);
        kvrtest::writeText(game / "kvrrank.toml", c.league);
        const auto before = snapshot(game.path());
        kvrtest::ProcessResult result = run(game.path(), c.arguments);
        EXPECT_EQ(result.exitStatus, 2);
        EXPECT_TRUE(isOneLine(result.errors)) << result.errors;
        EXPECT_NE(result.errors.find(c.errorPart), std::string::npos) << result.errors;
        EXPECT_EQ(snapshot(game.path()), before);
    }
}

TEST(League, TheCommandLineWinsAndTheFilesPathsAreTakenFromItsFolder) {
    GameFolder game;
    addGroup(game);
    kvrtest::TempFolder start;
    fs::create_directories(start / "leagues" / "web");
    kvrtest::writeText(start / "leagues" / "ours.toml",
                       "[outputs]\nhtml = \"web/page.html\"\njson = \"ours.json\"\nrecords = true\n"
                       "[points]\nplaces = [25, 18, 15]\n");
    const std::vector<uint8_t> records = game.records();
    kvrtest::ProcessResult result =
        run(start.path(), {"--league", "leagues/ours.toml", "--json", "mine.json", "--no-records",
                           game.path().u8string()});
    ASSERT_EQ(result.exitStatus, 0) << result.errors;
    EXPECT_EQ(game.records(), records); // --no-records wins over records = true
    EXPECT_TRUE(fs::is_regular_file(start / "leagues" / "web" / "page.html"));
    EXPECT_FALSE(fs::exists(start / "leagues" / "ours.json"));
    const Json json = Json::parse(kvrtest::readText(start / "mine.json"));
    EXPECT_EQ(json["league"]["file"], "leagues/ours.toml");
    EXPECT_EQ(json["standings"][0]["points"], 43);

    // Nothing on the command line: the file says whether the records file is updated.
    for (bool update : {false, true}) {
        kvrtest::writeText(game / "kvrrank.toml",
                           std::string("[outputs]\nrecords = ") + (update ? "true\n" : "false\n"));
        ASSERT_EQ(run(game.path()).exitStatus, 0);
        EXPECT_EQ(game.records() != records, update);
    }
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

    // It sets nothing: no league in the run's JSON.
    ASSERT_EQ(run(game.path(), {"--json", "r.json"}).exitStatus, 0);
    EXPECT_FALSE(Json::parse(kvrtest::readText(game / "r.json")).contains("league"));

    // Once there, it stays as it is: exit 1, one line, nothing written.
    kvrtest::writeText(game / "kvrrank.toml", "# mine\n");
    auto before = snapshot(game.path());
    result = run(game.path(), {"--new-league"});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.errors,
              platformText("kvrrank: kvrrank.toml: already exists; nothing written\n"));
    EXPECT_EQ(snapshot(game.path()), before);
    // It is no run: every output option, and --league, beside it is a bad command line.
    std::vector<std::vector<std::string>> beside = {{"--league", "kvrrank.toml"},
                                                    {"--archive", "2025.jsonl"},
                                                    {"--review"},
                                                    {"--watch"},
                                                    {"--serve", "8080"},
                                                    {"--lan"}};
    for (const kvr::OutputKind& kind : kvr::outputTable()) {
        if (kind.option != nullptr) {
            beside.push_back(kind.takesFile ? std::vector<std::string>{kind.option, "out.file"}
                                            : std::vector<std::string>{kind.option});
        }
    }
    // --league, --archive, --review, the live board's three, and the seven outputs.
    ASSERT_EQ(beside.size(), 13u);
    for (std::vector<std::string> arguments : beside) {
        SCOPED_TRACE(arguments.front());
        const std::string option = arguments.front();
        arguments.insert(arguments.begin(), "--new-league");
        result = run(game.path(), arguments);
        EXPECT_EQ(result.exitStatus, 2);
        EXPECT_EQ(result.errors, platformText("kvrrank: --new-league runs nothing: " + option +
                                              " makes no sense with it (see kvrrank --help)\n"));
        EXPECT_EQ(snapshot(game.path()), before);
    }
}

} // namespace

// A run given the game folder names its league file as the user knows it, under that folder;
// one started in the game folder names it alone.
TEST(League, MessagesNameTheLeagueFileWithTheGameFolderGiven) {
    kvrtest::TempFolder top;
    fs::create_directories(top / "dl" / "kvr");
    kvrtest::writeText(top / "dl" / "kvrrank.toml", "[points]\npionts = 3\n");
    const std::string sep(1, fs::path::preferred_separator);
    const struct {
        fs::path from;
        std::vector<std::string> arguments;
        std::string named;
    } cases[] = {
        {top.path(), {"dl"}, "dl" + sep + "kvrrank.toml"},
        {top.path(), {"dl/"}, "dl/kvrrank.toml"},
        {top / "dl", {}, "kvrrank.toml"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.named);
        const kvrtest::ProcessResult result =
            kvrtest::runProgram(KVRRANK_BINARY, c.from, c.arguments);
        EXPECT_EQ(result.exitStatus, 2);
        EXPECT_EQ(result.errors,
                  kvrtest::platformText("kvrrank: " + c.named +
                                        ":2:1: unknown key \"pionts\" in [points]\n"));
    }
}
