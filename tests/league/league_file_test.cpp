// The league file's text: what a good one sets. (What a bad one gets is tested on the
// program, with the files it leaves alone: tests/e2e/league_test.cpp.)
#include "league/league_file.h"
#include "league/league_keys.h"
#include "output/run_options.h"
#include "report/review_text.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <map>
#include <tuple>

namespace {

using namespace kvr;

// What a league file sets, in a line: only what differs from no league file.
std::string setting(const LeagueFile& league) {
    const LeagueRules& rules = league.rules;
    std::string text = league.empty ? "empty" : "set";
    if (rules.places != fixedPlacePoints()) {
        text += " places";
        for (size_t k = 0; k < rules.places.size(); ++k) {
            text += (k == 0 ? " " : "-") + std::to_string(rules.places[k]);
        }
    }
    text += rules.tieBreak == TieBreak::CountBack ? " count-back" : "";
    text += rules.bestRallies > 0 ? " best " + std::to_string(rules.bestRallies) : "";
    for (const VehicleClass& c : rules.classes) {
        text += " class " + c.name + "/" +
                (c.transmission < 0 ? "both" : transmissionLabels[c.transmission]) + "/";
        for (int v = 0; v < 64; ++v) {
            text += c.vehicles == AnyVehicle      ? (v == 0 ? "all" : "")
                    : (c.vehicles >> v & 1u) != 0 ? std::string(vehicleNames[v]) + ";"
                                                  : "";
        }
    }
    const LeagueOutputs& o = league.outputs;
    for (const OutputKind& kind : outputTable()) {
        const std::optional<std::string>& path = o.files[indexOf(kind.output)];
        text += path ? std::string(" ") + kind.leagueKey + "=" + *path : "";
    }
    text += o.records ? std::string(" records=") + (*o.records ? "true" : "false") : "";
    text += league.card.title.empty() ? "" : " card-title=" + league.card.title;
    text += league.card.theme == CardTheme::Light ? " light" : "";
    for (const Decision& d : rules.decisions) {
        text += std::string(" ") + decisionActionName(d.action);
    }
    return text;
}

TEST(LeagueFile, AGoodFileSetsWhatItSaysAndNothingElse) {
    const std::pair<const char*, const char*> cases[] = {
        {"", "empty"},
        {"# only a comment\n\n", "empty"},
        {"[points]\n", "set"},
        {"[points]\nplaces = [25, 18, 15, 12, 10, 8, 6, 4, 2, 1]\ntie_break = \"count-back\"\n"
         "best_rallies = 6\n",
         "set places 25-18-15-12-10-8-6-4-2-1 count-back best 6"},
        {"points.places = [5, 5, 0]\npoints.tie_break = \"file-order\"\n",
         "set places 5-5-0-0-0-0-0-0-0-0"},
        {"[[class]]\nname = \"Manual\"\ntransmission = \"MT\"\n\n[[class]]\nname = \"Light\"\n"
         "vehicles = [\"Hoshin Arc\", \"MARLET 140\", \"hoshin arc\"] # \xC3\xA9t\xC3\xA9\n"
         "[[class]]\nname = \"\xC3\xA9t\xC3\xA9\"\ntransmission = \"at\"\n",
         "set class Manual/MT/all class Light/both/hoshin arc;marlet 140; class "
         "\xC3\xA9t\xC3\xA9/AT/all"},
        {"\xEF\xBB\xBF[outputs]\r\nhtml = \"web/r.html\"\r\nhistory = 'C:\\h.jsonl'\r\n"
         "records = false\r\n",
         "set html=web/r.html history=C:\\h.jsonl records=false"},
        {"[card]\ntitle = \"Tuesday \xE2\x80\x94 League\"\ntheme = \"light\"\n[outputs]\ncard = \"c.png\"\n",
         "set card=c.png card-title=Tuesday \xE2\x80\x94 League light"},
    };
    for (const auto& [text, expected] : cases) {
        LeagueFile league;
        std::string error;
        ASSERT_TRUE(parseLeagueFile(text, "kvrrank.toml", league, error)) << text << error;
        EXPECT_EQ(setting(league), expected);
        EXPECT_TRUE(league.rules.file.empty());
    }
}

// The text --new-league writes sets nothing; with its keys and tables switched on (the
// explanations stay comments), it sets every key.
TEST(LeagueFile, TheStartingFileSetsNothingUntilItsLinesAreSwitchedOn) {
    const std::string text(newLeagueText());
    std::string on;
    for (size_t from = 0, end; (end = text.find('\n', from)) != std::string::npos; from = end + 1) {
        const std::string line = text.substr(from, end - from);
        const bool key = line.rfind("# [", 0) == 0 || line.find(" = ") != std::string::npos;
        on += (key ? line.substr(2) : line) + "\n";
    }
    for (const auto& [file, expected] :
         {std::pair{text, "empty"},
          {on, "set best 8 class Manual gearbox/MT/hoshin arc;marlet 140; html=ranking.html "
               "json=ranking.json csv=ranking.csv post=week.md card=standings.png "
               "history=season.jsonl records=true card-title=Tuesday League exclude-time"}}) {
        LeagueFile league;
        std::string error;
        ASSERT_TRUE(parseLeagueFile(file, "kvrrank.toml", league, error)) << error << file;
        EXPECT_EQ(setting(league), expected);
    }
}

// Each action with the fields it takes, as read: the event by its title in any case or by
// its key, the seconds in hundredths.
TEST(LeagueFile, DecisionsReadAsWrittenInTheirOrder) {
    const std::string head = "[[decision]]\ndate = 2026-12-01\nreason = \"why\"\n";
    const std::pair<std::string, const char*> cases[] = {
        {"action = \"exclude-file\"\nfile = \"CVI (old).kvr\"\n",
         "2026-12-01 exclude-file why file=CVI (old).kvr"},
        {"action = \"exclude-driver\"\ncode = \"ZT\"\nname = \"Zeno T\xC3\xA4mm\"\n",
         "2026-12-01 exclude-driver why ZT/Zeno T\xC3\xA4mm"},
        {"action = \"exclude-time\"\ncode = \"CVI\"\nname = \"\"\nevent = \"fINLAND 2\"\n",
         "2026-12-01 exclude-time why CVI/ rally-1-stage-2"},
        {"code = \"BM\"\nname = \"B\"\nevent = \"arcade-3\"\nseconds = 10.5\naction = "
         "\"add-time\"\n",
         "2026-12-01 add-time why BM/B arcade-3 +1050"},
        {"action = \"add-time\"\ncode = \"BM\"\nname = \"B\"\nevent = \"Arcade United Kingdom\"\n"
         "seconds = 3600\n",
         "2026-12-01 add-time why BM/B arcade-8 +360000"},
        {"action = \"add-time\"\ncode = \"BM\"\nname = \"B\"\nevent = \"Greece 11\"\n"
         "seconds = 0.01\n",
         "2026-12-01 add-time why BM/B rally-2-stage-11 +1"},
        {"action = \"add-points\"\ncode = \"A\"\nname = \"A\"\npoints = -1000\n",
         "2026-12-01 add-points why A/A -1000"},
    };
    for (const auto& [body, expected] : cases) {
        LeagueFile league;
        std::string error;
        const std::string text =
            "[points]\ntie_break = \"count-back\"\n" + head + body + head +
            "action = \"add-points\"\ncode = \"Z\"\nname = \"Z\"\npoints = 7\n";
        ASSERT_TRUE(parseLeagueFile(text, "kvrrank.toml", league, error)) << text << error;
        ASSERT_EQ(league.rules.decisions.size(), 2u);
        std::vector<std::string> read;
        for (const Decision& d : league.rules.decisions) {
            std::string line = std::to_string(d.year) + "-" + std::to_string(d.month) + "-0" +
                               std::to_string(d.day) + " " + decisionActionName(d.action) + " " +
                               d.reason;
            line += d.file.empty() ? "" : " file=" + d.file;
            line += d.namesDriver() ? " " + d.code + "/" + d.name : "";
            line += d.event != nullptr ? " " + d.event->key() : "";
            line += d.hundredths != 0 ? " +" + std::to_string(d.hundredths) : "";
            line += d.points != 0 ? " " + std::to_string(d.points) : "";
            read.push_back(line);
        }
        EXPECT_EQ(read[0], expected);
        EXPECT_EQ(read[1], "2026-12-01 add-points why Z/Z 7");
    }
}

// The message a league file gets, after "kvrrank.toml:"; empty when it is a good one.
std::string errorOf(const std::string& text) {
    LeagueFile league;
    std::string error;
    if (parseLeagueFile(text, "kvrrank.toml", league, error)) {
        return std::string();
    }
    EXPECT_EQ(error.rfind("kvrrank.toml:", 0), 0u) << error;
    return error.substr(std::string("kvrrank.toml:").size());
}

// Every key of every table, written at the top of a file below its table's header line still
// commented out, is told to look at that line. A key that is itself a table's name ("points",
// "class", "team") is read as that table there, and told so instead.
TEST(LeagueFile, AKeyBelowItsCommentedOutHeaderIsToldToLookAtIt) {
    size_t keys = 0;
    for (const LeagueTable& table : leagueTables()) {
        for (std::string_view key : table.keys) {
            const std::string k(key);
            if (leagueTableNamed(key) != nullptr) {
                EXPECT_EQ(
                    errorOf(std::string("# ") + std::string(table.header) + "\n" + k + " = 1\n")
                        .find("unknown"),
                    std::string::npos)
                    << k;
                continue;
            }
            const std::string text = "# A comment.\n  #   " + std::string(table.header) +
                                     "  \n\n# Its key:\n" + k + " = 1\n";
            EXPECT_EQ(errorOf(text), "5:1: unknown key \"" + k + "\": is the `" +
                                         std::string(table.header) +
                                         "` line above it still commented out?")
                << text;
            ++keys;
        }
    }
    EXPECT_GE(keys, 30u);
}

// Under no header, or below another table's, a key with one home is told where it goes; one
// that several tables take is told nothing more, as is a key no table takes.
TEST(LeagueFile, AKeyAtTheTopIsToldTheOneTableItBelongsTo) {
    const std::pair<const char*, const char*> cases[] = {
        {"merge_copies", "[points]"},
        {"best_rallies", "[points]"},
        {"page_url", "[outputs]"},
        {"history", "[outputs]"},
        {"records", "[outputs]"},
        {"watch", "[live]"},
        {"serve", "[live]"},
        {"lan", "[live]"},
        {"vehicles", "[[class]]"},
        {"seconds", "[[decision]]"},
        {"reason", "[[decision]]"},
        {"also", "[[driver]]"},
        {"counted", "[[team]]"},
        {"members", "[[team]]"},
        {"seasons", "[archive]"},
        {"name", ""},
        {"code", ""},
        {"report", ""},
        {"htmll", ""},
    };
    for (const auto& [key, home] : cases) {
        const std::string hint =
            *home == '\0' ? "" : std::string(": it belongs under a `") + home + "` line";
        const std::string message = std::string("unknown key \"") + key + "\"" + hint;
        EXPECT_EQ(errorOf(std::string(key) + " = 1\n"), "1:1: " + message);
        EXPECT_EQ(errorOf(std::string("# [[other]]\n") + key + " = 1\n"), "2:1: " + message);
    }
}

// Each key a table lists is read there: given a value no key takes, it is refused for its
// value, never as unknown. (The lines before it make the rest of the table good.)
TEST(LeagueFile, EveryKeyATableListsIsReadInThatTable) {
    const std::map<std::string_view, std::string> good = {
        {"[[class]]", "name = \"C\"\n"},
        {"[[decision]]", "action = \"add-points\"\ndate = 2026-01-01\nreason = \"r\"\n"
                         "code = \"A\"\nname = \"B\"\npoints = 1\n"},
        {"[[driver]]", "code = \"A\"\nname = \"B\"\n"},
        {"[[team]]", "name = \"T\"\n"},
    };
    for (const LeagueTable& table : leagueTables()) {
        const std::string header = std::string(table.header) + "\n";
        const auto lines = good.find(table.header);
        const std::string before = lines != good.end() ? lines->second : "";
        EXPECT_EQ(errorOf(header + before), "") << header;
        for (std::string_view key : table.keys) {
            const std::string k(key);
            if (before.find("\n" + k + " = ") != std::string::npos ||
                before.rfind(k + " = ", 0) == 0) {
                continue; // read in the good table
            }
            const std::string error = errorOf(header + before + k + " = { x = 1 }\n");
            EXPECT_NE(error, "") << table.header << " " << k;
            EXPECT_EQ(error.find("unknown"), std::string::npos) << error;
        }
    }
}

// A block that the review listing writes, for any action and every field, reads back as the
// decision it was made of.
TEST(LeagueFile, ADecisionBlockReadsBackAsItsDecision) {
    const auto decided = [](DecisionAction action) {
        Decision d;
        d.year = 2026;
        d.month = 11;
        d.day = 30;
        d.reason = "said \"so\"";
        d.action = action;
        return d;
    };
    std::vector<Decision> cases;
    cases.push_back(decided(DecisionAction::ExcludeFile));
    cases.back().file = "a (2).kvr";
    for (DecisionAction action :
         {DecisionAction::ExcludeDriver, DecisionAction::ExcludeTime, DecisionAction::AddTime,
          DecisionAction::AddPoints, DecisionAction::AddPoints}) {
        cases.push_back(decided(action));
        cases.back().code = "ZT";
        cases.back().name = "Zeno";
    }
    cases[2].event = &allEvents()[3];
    cases[3].event = eventOfKey("rally-1-stage-2");
    cases[3].hundredths = 1005;
    cases[4].points = -3;
    cases[5].points = 12;
    cases[5].className = "Light";
    for (const Decision& d : cases) {
        const std::string text = decisionBlock(d) + "[[class]]\nname = \"Light\"\n";
        LeagueFile league;
        std::string error;
        ASSERT_TRUE(parseLeagueFile(text, "kvrrank.toml", league, error)) << text << error;
        ASSERT_EQ(league.rules.decisions.size(), 1u);
        const Decision& read = league.rules.decisions[0];
        EXPECT_EQ(std::tie(read.year, read.month, read.day, read.reason, read.action, read.file,
                           read.code, read.name, read.event, read.hundredths, read.points,
                           read.className),
                  std::tie(d.year, d.month, d.day, d.reason, d.action, d.file, d.code, d.name,
                           d.event, d.hundredths, d.points, d.className))
            << text;
    }
}

// The run's day is given, not read from the clock: a decision dated after it is refused, one
// dated that day or before is taken; with no day known, no date is checked.
TEST(LeagueFile, ADecisionDatedAfterTheDayGivenIsRefused) {
    const ReportTime day{2026, 3, 15, 23, 59, 59};
    const char* after = "kvrrank.toml:2:8: \"date\" in [[decision]] is ";
    const struct {
        ReportTime today;
        const char* date;
        std::string error; // empty: taken
    } cases[] = {
        {day, "2026-03-15", ""},
        {day, "2026-03-14", ""},
        {day, "2025-12-31", ""},
        {day, "2026-03-16", after + std::string("2026-03-16, after today (2026-03-15)")},
        {day, "2026-04-01", after + std::string("2026-04-01, after today (2026-03-15)")},
        {day, "2027-01-01", after + std::string("2027-01-01, after today (2026-03-15)")},
        {ReportTime{}, "2999-01-01", ""},
    };
    kvrtest::TempFolder folder;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.date);
        kvrtest::writeText(folder / "kvrrank.toml",
                           std::string("[[decision]]\ndate = ") + c.date +
                               "\nreason = \"r\"\naction = \"exclude-file\"\nfile = \"a.kvr\"\n");
        RunOptions options;
        options.game.folder = folder.path().string();
        std::string error;
        const bool taken =
            applyLeagueFile(platform::Env::system(), "", "", options, error, c.today);
        EXPECT_EQ(taken, c.error.empty());
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(options.league.decisions.size(), taken ? 1u : 0u);
    }
}

} // namespace
