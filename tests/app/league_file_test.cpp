// The league file's text: what a good one sets, and the one line a bad one gets, with its
// place in the file.
#include "app/league_file.h"

#include "app/run.h"
#include "platform/fs.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

namespace {

using namespace kvr;

TEST(LeagueFile, EveryKindOfMistakeIsToldWithItsLineAndColumn) {
    struct Case {
        const char* text;
        const char* error;
    };
    const Case cases[] = {
        {"[points]\nplaces = [25, 18\n", "league.toml:2:"}, // a syntax error: the parser's words
        {"[points]\nplaces = [3]\n\n\n\n\npionts = 2\n",
         "league.toml:7:1: unknown key \"pionts\" in [points]"},
        {"html = \"a.html\"\n", "league.toml:1:1: unknown key \"html\""},
        {"[pionts]\nplaces = [3]\n", "league.toml:1:2: unknown table [pionts]"},
        {"[points.extra]\n", "league.toml:1:9: unknown table [points.extra]"},
        {"[outputs]\nhtml = \"a\"\npdf = \"b\"\n",
         "league.toml:3:1: unknown key \"pdf\" in [outputs]"},
        {"[[class]]\nname = \"A\"\ncolour = \"red\"\n",
         "league.toml:3:1: unknown key \"colour\" in [[class]]"},
        {"points = 3\n",
         "league.toml:1:10: \"points\" must be a table: write [points] on a line of its own"},
        {"[outputs]\nhtml = 3\n",
         "league.toml:2:8: \"html\" in [outputs] must be a path in quotes"},
        {"[outputs]\ncsv = \"\"\n", "league.toml:2:7: \"csv\" in [outputs] is empty"},
        {"[outputs]\nrecords = \"no\"\n",
         "league.toml:2:11: \"records\" in [outputs] must be true or false"},
        {"[points]\nplaces = 25\n",
         "league.toml:2:10: \"places\" in [points] must be a list of 1 to 10 whole numbers"},
        {"[points]\nplaces = []\n",
         "league.toml:2:10: \"places\" in [points] must be a list of 1 to 10 whole numbers"},
        {"[points]\nplaces = [11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1]\n",
         "league.toml:2:10: \"places\" in [points] must be a list of 1 to 10 whole numbers"},
        {"[points]\nplaces = [10, 8.5]\n",
         "league.toml:2:15: the points of place 2 must be a whole number from 0 to 100"},
        {"[points]\nplaces = [101]\n",
         "league.toml:2:11: the points of place 1 must be a whole number from 0 to 100"},
        {"[points]\nplaces = [10, -1]\n",
         "league.toml:2:15: the points of place 2 must be a whole number from 0 to 100"},
        {"[points]\nplaces = [10, 8, 8, 9]\n", "league.toml:2:21: \"places\" in [points] must not "
                                               "rise: place 4 has 9 points, more than place 3's 8"},
        {"[points]\ntie_break = \"countback\"\n",
         "league.toml:2:13: \"tie_break\" in [points] must be \"count-back\" or \"file-order\""},
        {"[points]\nbest_rallies = 0\n",
         "league.toml:2:16: \"best_rallies\" in [points] must be a whole number from 1 to 8"},
        {"[points]\nbest_rallies = 9\n",
         "league.toml:2:16: \"best_rallies\" in [points] must be a whole number from 1 to 8"},
        {"[class]\nname = \"A\"\n",
         "league.toml:1:1: \"class\" must be one [[class]] table per class"},
        {"[[class]]\ntransmission = \"MT\"\n", "league.toml:1:1: a [[class]] needs a name"},
        {"[[class]]\nname = \"\"\n", "league.toml:2:8: the name of a [[class]] is empty"},
        {"[[class]]\nname = \"  \"\n", "league.toml:2:8: the name of a [[class]] is empty"},
        {"[[class]]\nname = 5\n",
         "league.toml:2:8: \"name\" in [[class]] must be a text in quotes"},
        {"[[class]]\nname = \"A\"\ntransmission = \"manual\"\n",
         "league.toml:3:16: \"transmission\" in [[class]] must be \"MT\" or \"AT\""},
        {"[[class]]\nname = \"A\"\nvehicles = [\"hoshin arc\", \"hoshin ark\"]\n",
         "league.toml:3:27: no vehicle is named \"hoshin ark\""},
        {"[[class]]\nname = \"A\"\nvehicles = []\n",
         "league.toml:3:12: \"vehicles\" in [[class]] must be a list of vehicle names in quotes; "
         "leave it out for every vehicle"},
        {"[[class]]\nname = \"A\"\nvehicles = [8]\n",
         "league.toml:3:13: a vehicle name must be in quotes"},
        // Letters beyond ASCII where the parser looks for a space, and a line end in a key.
        {"[points]\nbest_rallies = 6 \xC3\xA9\n", "league.toml:2:18: "},
        {"x = 2\"\xD2\x99\n", "league.toml:1:"},
        {"[points]\n\"a\\nb\" = 1\n", "league.toml:2:1: unknown key \"a?b\" in [points]"},
        // Several mistakes: the first in the file is told, whatever the order of the keys.
        {"[points]\nzeta = 1\nalpha = 2\n", "league.toml:2:1: unknown key \"zeta\" in [points]"},
        {"[[class]]\nname = \"\"\n[[class]]\nname = \"B\"\ncolour = 1\n",
         "league.toml:2:8: the name of a [[class]] is empty"},
    };
    for (const Case& c : cases) {
        LeagueFile league;
        league.rules.bestRallies = 3; // cleared whatever happens
        std::string error;
        EXPECT_FALSE(parseLeagueFile(c.text, "league.toml", league, error)) << c.text;
        EXPECT_EQ(error.rfind(c.error, 0), 0u) << c.text << "\n  got: " << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        EXPECT_EQ(league.rules.bestRallies, 0) << c.text;
    }
}

TEST(LeagueFile, AGoodFileSetsWhatItSaysAndNothingElse) {
    const uint64_t hoshin = uint64_t{1} << 8, marlet = uint64_t{1} << 10;
    struct Case {
        const char* text;
        bool empty;
        PlacePoints places;
        TieBreak tieBreak;
        int bestRallies;
        std::vector<std::tuple<std::string, int, uint64_t>> classes;
        LeagueOutputs outputs;
    };
    const Case cases[] = {
        {"", true, fixedPlacePoints(), TieBreak::FileOrder, 0, {}, {}},
        {"# only a comment\n\n", true, fixedPlacePoints(), TieBreak::FileOrder, 0, {}, {}},
        {"[points]\n", false, fixedPlacePoints(), TieBreak::FileOrder, 0, {}, {}},
        {"[points]\nplaces = [25, 18, 15, 12, 10, 8, 6, 4, 2, 1]\ntie_break = \"count-back\"\n"
         "best_rallies = 6\n",
         false,
         {25, 18, 15, 12, 10, 8, 6, 4, 2, 1},
         TieBreak::CountBack,
         6,
         {},
         {}},
        {"points.places = [5, 5, 0]\npoints.tie_break = \"file-order\"\n",
         false,
         {5, 5, 0, 0, 0, 0, 0, 0, 0, 0},
         TieBreak::FileOrder,
         0,
         {},
         {}},
        {"[[class]]\nname = \"Manual gearbox\"\ntransmission = \"MT\"\n\n[[class]]\n"
         "name = \"Light cars\"\nvehicles = [\"Hoshin Arc\", \"MARLET 140\", \"hoshin arc\"]\n"
         "# \xC3\xA9t\xC3\xA9\n"
         "[[class]]\nname = \"Automatic \xC3\xA9t\xC3\xA9\"\ntransmission = \"at\"\n",
         false,
         fixedPlacePoints(),
         TieBreak::FileOrder,
         0,
         {{"Manual gearbox", 0, AnyVehicle},
          {"Light cars", AnyTransmission, hoshin | marlet},
          {"Automatic \xC3\xA9t\xC3\xA9", 1, AnyVehicle}},
         {}},
        {"\xEF\xBB\xBF[outputs]\r\nhtml = \"web/r.html\"\r\nhistory = 'C:\\season.jsonl'\r\n"
         "records = false\r\n",
         false,
         fixedPlacePoints(),
         TieBreak::FileOrder,
         0,
         {},
         {"web/r.html", std::nullopt, std::nullopt, "C:\\season.jsonl", false}},
    };
    for (const Case& c : cases) {
        LeagueFile league;
        std::string error;
        ASSERT_TRUE(parseLeagueFile(c.text, "kvrrank.toml", league, error)) << c.text << error;
        EXPECT_EQ(league.empty, c.empty) << c.text;
        EXPECT_EQ(league.rules.places, c.places) << c.text;
        EXPECT_EQ(league.rules.tieBreak, c.tieBreak) << c.text;
        EXPECT_EQ(league.rules.bestRallies, c.bestRallies) << c.text;
        std::vector<std::tuple<std::string, int, uint64_t>> classes;
        for (const VehicleClass& vehicleClass : league.rules.classes) {
            classes.emplace_back(vehicleClass.name, vehicleClass.transmission,
                                 vehicleClass.vehicles);
        }
        EXPECT_EQ(classes, c.classes) << c.text;
        EXPECT_EQ(league.outputs.html, c.outputs.html) << c.text;
        EXPECT_EQ(league.outputs.json, c.outputs.json) << c.text;
        EXPECT_EQ(league.outputs.csv, c.outputs.csv) << c.text;
        EXPECT_EQ(league.outputs.history, c.outputs.history) << c.text;
        EXPECT_EQ(league.outputs.records, c.outputs.records) << c.text;
        EXPECT_TRUE(league.rules.file.empty());
    }
}

// The text --new-league writes is a league file that sets nothing: uncommented, it is one
// that sets every key.
TEST(LeagueFile, TheStartingFileSetsNothingUntilItsLinesAreSwitchedOn) {
    LeagueFile league;
    std::string error;
    const std::string text(newLeagueText());
    ASSERT_TRUE(parseLeagueFile(text, "kvrrank.toml", league, error)) << error;
    EXPECT_TRUE(league.empty);

    std::string on;
    for (size_t from = 0; from < text.size();) {
        size_t end = text.find('\n', from);
        std::string line = text.substr(from, end - from);
        from = end + 1;
        // Keys and tables are switched on; explanations stay comments.
        if (line.rfind("# ", 0) == 0 && line.find_first_of("=[", 2) != std::string::npos &&
            (line[2] == '[' || line.find(" = ") != std::string::npos)) {
            line.erase(0, 2);
        }
        on += line + "\n";
    }
    ASSERT_TRUE(parseLeagueFile(on, "kvrrank.toml", league, error)) << error << "\n" << on;
    EXPECT_FALSE(league.empty);
    EXPECT_TRUE(league.outputs.html && league.outputs.json && league.outputs.csv &&
                league.outputs.history && league.outputs.records);
    EXPECT_EQ(league.rules.places, fixedPlacePoints());
    EXPECT_EQ(league.rules.bestRallies, RallyCount);
    ASSERT_EQ(league.rules.classes.size(), 1u);
    EXPECT_EQ(league.rules.classes[0].transmission, 0);
}

// The command line wins; the file's paths are taken from its folder.
TEST(LeagueFile, OutputsJoinTheCommandLinesFromTheFilesFolder) {
    kvrtest::TempFolder folder;
    kvrtest::writeText(folder / "league.toml",
                       "[outputs]\nhtml = \"web/r.html\"\njson = \"r.json\"\nrecords = false\n"
                       "[points]\nbest_rallies = 2\n");
    const std::string path = (folder / "league.toml").u8string();
    struct Case {
        std::string html; // given on the command line
        bool updateRecords;
        std::string expectedHtml;
        bool expectedRecords;
    };
    const Case cases[] = {
        {"", true, (folder / "web" / "r.html").u8string(), false},
        {"/given.html", true, "/given.html", false},
        {"", false, (folder / "web" / "r.html").u8string(), false},
    };
    for (const Case& c : cases) {
        RunOptions options;
        options.htmlPath = c.html;
        options.updateRecords = c.updateRecords;
        kvrtest::ConsoleRun run = kvrtest::captureConsole([&](std::FILE*, std::FILE* errors) {
            return applyLeagueFile(path, "league.toml", options, errors) ? 0 : 1;
        });
        ASSERT_EQ(run.status, 0) << run.errors;
        EXPECT_EQ(kvrtest::fs::u8path(options.htmlPath), kvrtest::fs::u8path(c.expectedHtml));
        EXPECT_EQ(kvrtest::fs::u8path(options.jsonPath), folder / "r.json");
        EXPECT_TRUE(options.csvPath.empty() && options.historyPath.empty());
        EXPECT_EQ(options.updateRecords, c.expectedRecords);
        EXPECT_EQ(options.league.file, "league.toml");
        EXPECT_EQ(options.league.bestRallies, 2);
    }
}

} // namespace
