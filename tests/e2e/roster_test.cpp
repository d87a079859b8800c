// The league's roster on the built binary: a renamed driver and a copied file are one driver,
// across the runs of a season; a bad roster or team touches nothing.
#include "support/game_folder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace {

using kvrtest::GameFolder;
using kvrtest::ParticipantFileBuilder;
using Json = nlohmann::json;
namespace fs = std::filesystem;

// Stored times (shown one hundredth less) in the first four arcade events; 0 for none.
ParticipantFileBuilder arcadeDriver(const std::string& code, const std::string& name,
                                    std::vector<uint32_t> times) {
    ParticipantFileBuilder image;
    image.code(code).name(name);
    for (size_t e = 0; e < times.size(); ++e) {
        if (times[e] != 0) {
            image.arcade(static_cast<int>(e), 0x02, times[e]);
        }
    }
    return image;
}

Json runForJson(const GameFolder& game, kvrtest::ProcessResult* process = nullptr) {
    kvrtest::ProcessResult result = kvrtest::runProgram(
        KVRRANK_BINARY, game.path(), {"--no-records", "--json", "r.json", "--html", "r.html"});
    EXPECT_EQ(result.exitStatus, 0) << result.errors;
    if (process != nullptr) {
        *process = result;
    }
    return Json::parse(kvrtest::readText(game / "r.json"));
}

// "place CODE Name points previous_place movement" of every standing; "-" for null or absent.
std::vector<std::string> standings(const Json& json) {
    std::vector<std::string> rows;
    for (const Json& s : json["standings"]) {
        auto text = [&s](const char* key) {
            return s.contains(key) && !s[key].is_null() ? s[key].dump() : std::string("-");
        };
        rows.push_back(text("place") + " " + s["code"].get<std::string>() + " " +
                       s["name"].get<std::string>() + " " + text("points") + " " +
                       text("previous_place") + " " + text("movement"));
    }
    return rows;
}

const std::string Points = "[outputs]\nhistory = \"season.jsonl\"\n[points]\nplaces = [10, 5, 1]\n";
const std::string Roster = "[[driver]]\ncode = \"PFE\"\nname = \"Pia Fors\"\n"
                           "also = [{ code = \"PFE\", name = \"Pia Frs\" }]\n";

// Pia writes her name "Pia Frs" in the first run, fixes it before the second, and a copy of her
// old file comes back in the third. Places 10-5-1.
//  run 1: Italy PFE 999, ABE 1099, CDA 1199; Sweden PFE 1800, ABE 1900, CDA 2000;
//         arcade 4 PFE alone: PFE 30, ABE 10, CDA 2.
//  run 2: ABE 899 and 1700: ABE 20 = PFE 20, ABE first in file order ("ab.kvr"), PFE 1 -> 2.
//  run 3: the old file's arcade 3 499 beats CDA's 599: PFE 30, ABE 20, CDA 2 + 5 = 7.
// Arcade 4's record is Pia's 999 throughout: one change in its log, under her roster name.
TEST(Roster, ARenamedDriverKeepsOneStandingTheirMovementAndTheirRecordLog) {
    GameFolder game;
    kvrtest::writeText(game / "kvrrank.toml", Points);
    game.addParticipant("pf.kvr", arcadeDriver("PFE", "Pia Frs", {1000, 1801, 0, 1000}));
    game.addParticipant("ab.kvr", arcadeDriver("ABE", "Anna Berg", {1100, 1901}));
    game.addParticipant("cd.kvr", arcadeDriver("CDA", "Carl Dahl", {1200, 2001}));
    EXPECT_EQ(standings(runForJson(game)),
              (std::vector<std::string>{"1 PFE Pia Frs 30 - -", "2 ABE Anna Berg 10 - -",
                                        "3 CDA Carl Dahl 2 - -"}));

    kvrtest::writeText(game / "kvrrank.toml", Points + Roster);
    game.addParticipant("pf.kvr", arcadeDriver("PFE", "Pia Fors", {1000, 1801, 0, 1000}));
    game.addParticipant("ab.kvr", arcadeDriver("ABE", "Anna Berg", {900, 1701}));
    EXPECT_EQ(standings(runForJson(game)),
              (std::vector<std::string>{"1 ABE Anna Berg 20 2 1", "2 PFE Pia Fors 20 1 -1",
                                        "3 CDA Carl Dahl 2 3 0"}));

    game.addParticipant("pf-old.kvr", arcadeDriver("PFE", "Pia Frs", {0, 0, 500}));
    game.addParticipant("cd.kvr", arcadeDriver("CDA", "Carl Dahl", {1200, 2001, 600}));
    const Json json = runForJson(game);
    EXPECT_EQ(standings(json),
              (std::vector<std::string>{"1 PFE Pia Fors 30 2 1", "2 ABE Anna Berg 20 1 -1",
                                        "3 CDA Carl Dahl 7 3 0"}));
    std::vector<std::string> log;
    for (const Json& progression : json["history"]["record_log"]) {
        if (progression["event"] == "arcade-4") {
            for (const Json& change : progression["changes"]) {
                log.push_back(change["code"].get<std::string>() + " " +
                              change["name"].get<std::string>() + " " +
                              change["hundredths"].dump());
            }
        }
    }
    EXPECT_EQ(log, std::vector<std::string>{"PFE Pia Fors 999"});
    // The listings show Pia once, under her roster name, with the old file's time.
    ASSERT_EQ(json["arcade"][2]["results"].size(), 2u);
    EXPECT_EQ(json["arcade"][2]["results"][0]["name"], "Pia Fors");
    EXPECT_EQ(json["arcade"][2]["results"][0]["hundredths"], 499);
    const std::string history = kvrtest::readText(game / "season.jsonl");
    const std::string lastLine = history.substr(history.rfind('\n', history.size() - 2) + 1);
    EXPECT_NE(lastLine.find("Pia Fors"), std::string::npos);
    EXPECT_EQ(lastLine.find("Pia Frs"), std::string::npos);
}

// A copy of a file under the same code and name: two drivers, unless copies merge; the checks
// list the copy only while it is another driver. Places 10-5-1:
//  Italy PFE 999, ABE 1099, copy 1199; Sweden copy 1499, ABE 1799, PFE 1999.
//  Apart: PFE 11, copy 11, ABE 10. Merged: PFE 999 and 1499, 20; ABE 10.
TEST(Roster, ACopiedFileIsOneDriverOnlyWhenCopiesMerge) {
    const struct {
        const char* points;
        std::vector<std::string> standings;
        size_t italyListed;
        size_t duplicates;
    } cases[] = {
        {"", {"1 PFE Pia Fors 11 - -", "2 PFE Pia Fors 11 - -", "3 ABE Anna Berg 10 - -"}, 3, 1},
        {"merge_copies = false\n",
         {"1 PFE Pia Fors 11 - -", "2 PFE Pia Fors 11 - -", "3 ABE Anna Berg 10 - -"},
         3,
         1},
        {"merge_copies = true\n", {"1 PFE Pia Fors 20 - -", "2 ABE Anna Berg 10 - -"}, 2, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.points);
        GameFolder game;
        kvrtest::writeText(game / "kvrrank.toml",
                           "[points]\nplaces = [10, 5, 1]\n" + std::string(c.points));
        game.addParticipant("PFE.kvr", arcadeDriver("PFE", "Pia Fors", {1000, 2000}));
        game.addParticipant("PFE (old).kvr", arcadeDriver("PFE", "Pia Fors", {1200, 1500}));
        game.addParticipant("ABE.kvr", arcadeDriver("ABE", "Anna Berg", {1100, 1800}));
        const Json json = runForJson(game);
        EXPECT_EQ(standings(json), c.standings);
        EXPECT_EQ(json["arcade"][0]["results"].size(), c.italyListed);
        ASSERT_EQ(json["checks"]["duplicates"].size(), c.duplicates);
        if (c.duplicates > 0) {
            EXPECT_EQ(json["checks"]["duplicates"][0]["files"].size(), 2u);
        }
        EXPECT_EQ(json["checks"]["under_review"].size(), c.duplicates);
        EXPECT_EQ(json["participants"].size(), 3u);
    }
}

// A driver's two files, both under the name the roster gives, and an old one under the roster's
// other name: one driver, and no copy under review on the page, in the JSON, in the post or in
// --review. Another driver's copy is still one.
TEST(Roster, ADriversFilesAreNoCopiesUnderReview) {
    GameFolder game;
    kvrtest::writeText(game / "kvrrank.toml",
                       "[outputs]\npost = \"week.md\"\n[points]\nplaces = [10, 5, 1]\n" + Roster);
    game.addParticipant("PFE.kvr", arcadeDriver("PFE", "Pia Fors", {1000, 2000}));
    game.addParticipant("PFE (old).kvr", arcadeDriver("PFE", "Pia Fors", {1200, 1500}));
    game.addParticipant("PFE older.kvr", arcadeDriver("PFE", "Pia Frs", {0, 0, 700}));
    game.addParticipant("ABE.kvr", arcadeDriver("ABE", "Anna Berg", {1100, 1800}));
    const Json json = runForJson(game);
    EXPECT_EQ(standings(json),
              (std::vector<std::string>{"1 PFE Pia Fors 30 - -", "2 ABE Anna Berg 10 - -"}));
    EXPECT_EQ(json["checks"]["duplicates"], Json::array());
    EXPECT_EQ(json["checks"]["under_review"], Json::array());
    const std::string page = kvrtest::readText(game / "r.html");
    EXPECT_NE(page.find("No two files have the same code and name."), std::string::npos);
    EXPECT_EQ(page.find("Under review"), std::string::npos);
    EXPECT_EQ(kvrtest::readText(game / "week.md").find("Under review"), std::string::npos);
    EXPECT_EQ(kvrtest::runProgram(KVRRANK_BINARY, game.path(), {"--review"}).output,
              kvrtest::platformText("# Nothing under review: every flagged result has a "
                                    "decision.\n"));

    // Anna's copy is another file of no roster driver: a copy under review.
    game.addParticipant("ABE (2).kvr", arcadeDriver("ABE", "Anna Berg", {1100, 1800}));
    const Json copied = runForJson(game);
    ASSERT_EQ(copied["checks"]["duplicates"].size(), 1u);
    EXPECT_EQ(copied["checks"]["duplicates"][0]["files"], (Json{"ABE (2).kvr", "ABE.kvr"}));
    ASSERT_EQ(copied["checks"]["under_review"].size(), 1u);
    EXPECT_EQ(copied["checks"]["under_review"][0]["file"], "ABE (2).kvr");
    EXPECT_NE(kvrtest::readText(game / "week.md").find("Under review"), std::string::npos);
}

// A ten-hour time in a driver's other file moves to the driver's first file when the files
// merge: the check still names the file it came from.
TEST(Roster, AnImplausibleTimeIsTheFileItCameFrom) {
    GameFolder game;
    kvrtest::writeText(game / "kvrrank.toml", "[points]\nplaces = [10, 5, 1]\n" + Roster);
    game.addParticipant("PFE.kvr", arcadeDriver("PFE", "Pia Fors", {1000}));
    game.addParticipant("PFE2.kvr", arcadeDriver("PFE", "Pia Frs", {0, 3600001}));
    const Json json = runForJson(game);
    EXPECT_EQ(json["arcade"][1]["results"][0]["hundredths"], 3600000);
    ASSERT_EQ(json["checks"]["implausible"].size(), 1u);
    EXPECT_EQ(json["checks"]["implausible"][0]["file"], "PFE2.kvr");
    EXPECT_EQ(json["checks"]["implausible"][0]["event"], "arcade-2");
}

// Two teams over four drivers and a copy, as the page, the JSON and the post show them.
// Places 10-5-1, two counted: Italy AVI 999, BOT 1099, CAR 1199, DAN 1299 (the copy's 899 is
// AVI's); Sweden DAN, CAR, BOT, AVI. AVI 10 + 0, BOT 5 + 1, CAR 1 + 5, DAN 0 + 10.
// Foxes (AVI, BOT): 10 + 5, 1 = 16; Hares (CAR by the roster, DAN by code): 1, 5 + 10 = 16;
// each with a win, a second and a third counted: equal on count-back too, so in the league
// file's order, Hares first.
TEST(Roster, TeamsStandOnThePageInTheJsonAndInThePost) {
    GameFolder game;
    kvrtest::writeText(game / "kvrrank.toml",
                       "[outputs]\npost = \"week.md\"\n[points]\nplaces = [10, 5, 1]\n"
                       "tie_break = \"count-back\"\n"
                       "[[driver]]\ncode = \"CAR\"\nname = \"Cara Rask\"\nteam = \"Hares\"\n"
                       "[[driver]]\ncode = \"AVI\"\nname = \"Anton Virta\"\n"
                       "[[team]]\nname = \"Hares\"\nmembers = [\"DAN\"]\n"
                       "[[team]]\nname = \"Foxes\"\nmembers = [\"AVI\", \"BOT\"]\n");
    game.addParticipant("a.kvr", arcadeDriver("AVI", "Anton Virta", {1000, 1501}));
    game.addParticipant("a2.kvr", arcadeDriver("AVI", "Anton Virta", {900}));
    game.addParticipant("b.kvr", arcadeDriver("BOT", "Bo Tell", {1100, 1401}));
    game.addParticipant("c.kvr", arcadeDriver("CAR", "Cara Rask", {1200, 1301}));
    game.addParticipant("d.kvr", arcadeDriver("DAN", "Dan Nyl", {1300, 1201}));
    kvrtest::ProcessResult process;
    const Json json = runForJson(game, &process);
    std::vector<std::string> rows;
    for (const Json& t : json["teams"]) {
        std::string members;
        for (const Json& m : t["members"]) {
            members += " " + m["code"].get<std::string>();
        }
        rows.push_back(t["place"].dump() + " " + t["name"].get<std::string>() + " " +
                       t["points"].dump() + members);
    }
    EXPECT_EQ(rows, (std::vector<std::string>{"1 Hares 16 DAN CAR", "2 Foxes 16 AVI BOT"}));
    EXPECT_EQ(json["standings"][0]["team"], "Foxes"); // AVI
    EXPECT_EQ(json["standings"][3]["team"], "Hares"); // CAR, by the roster
    const std::string post = kvrtest::readText(game / "week.md");
    EXPECT_NE(post.find("4 drivers\n"), std::string::npos) << post;
    EXPECT_NE(post.find("\nTeams: 1. Hares 16, 2. Foxes 16\n"), std::string::npos) << post;
    const std::string page = kvrtest::readText(game / "r.html");
    EXPECT_NE(page.find("<section id=\"teams\">"), std::string::npos);
    // Members last, the 13th column: the one a phone keeps beside the first three.
    const size_t table = page.find("<table id=\"team-standings\">");
    ASSERT_NE(table, std::string::npos);
    const std::string head = page.substr(table, page.find("</thead>", table) - table);
    size_t columns = 0;
    for (size_t at = head.find("<th"); at != std::string::npos; at = head.find("<th", at + 1)) {
        columns += head.compare(at, 6, "<thead") != 0 ? 1 : 0;
    }
    EXPECT_EQ(columns, 13u);
    EXPECT_EQ(head.substr(head.size() - 21), "<th>Members</th></tr>") << head;
    EXPECT_NE(page.find("<section id=\"head-to-head\">"), std::string::npos);
    EXPECT_NE(page.find("Closest rival: against"), std::string::npos);
    EXPECT_EQ(json["head_to_head"].size(), 6u);
    // AVI met each of the others twice and won once: the first of them in the standings, DAN
    // (10 points, place 2), is the closest.
    EXPECT_EQ(json["drivers"][0]["closest_rival"],
              Json::parse(R"({"code": "DAN", "name": "Dan Nyl", "won": 1, "lost": 1})"));
}

// Three seasons, places 10-5-1, one arcade event each; the archive names a season that is gone
// and the second season's file ends in a torn line.
//  a: Pia (as "Pia Frs") 10, ABE 5, CDA 1.  b: ABE 10, CDA 5, Pia 1.  c (this one): Pia 10,
//  CDA 5, EDI 1.
// Pia: 3 seasons, 1 title (c is running: she leads it), 3 podiums, best 1, 10 + 1 + 10 = 21;
// ABE: 2, 1, 2, best 1, 15;
// CDA: 3, 0, 3, best 2, 11; EDI: 1, 0, 1, best 3, 1.
TEST(Roster, TheAllTimeTableOverThreeSeasonsWithOneMissing) {
    GameFolder game;
    auto season = [&game](const char* history, std::vector<ParticipantFileBuilder> drivers) {
        fs::remove_all(game / "kvr");
        for (size_t i = 0; i < drivers.size(); ++i) {
            game.addParticipant("d" + std::to_string(i) + ".kvr", drivers[i]);
        }
        kvrtest::ProcessResult result = kvrtest::runProgram(KVRRANK_BINARY, game.path(),
                                                            {"--no-records", "--history", history});
        ASSERT_EQ(result.exitStatus, 0) << result.errors;
    };
    kvrtest::writeText(game / "kvrrank.toml", "[points]\nplaces = [10, 5, 1]\n");
    season("a.jsonl",
           {arcadeDriver("PFE", "Pia Frs", {1000}), arcadeDriver("ABE", "Anna Berg", {1100}),
            arcadeDriver("CDA", "Carl Dahl", {1200})});
    season("b.jsonl",
           {arcadeDriver("ABE", "Anna Berg", {1000}), arcadeDriver("CDA", "Carl Dahl", {1100}),
            arcadeDriver("PFE", "Pia Frs", {1200})});
    kvrtest::writeText(game / "b.jsonl",
                       kvrtest::readText(game / "b.jsonl") + "{\"kvrrank_history\":1,\"at\"");
    const std::string a = kvrtest::readText(game / "a.jsonl");
    const std::string b = kvrtest::readText(game / "b.jsonl");
    kvrtest::writeText(game / "kvrrank.toml",
                       "[outputs]\njson = \"r.json\"\nhtml = \"r.html\"\n"
                       "[points]\nplaces = [10, 5, 1]\n"
                       "[archive]\nseasons = [\"a.jsonl\", \"gone.jsonl\", \"b.jsonl\"]\n" +
                           Roster);
    fs::remove_all(game / "kvr");
    game.addParticipant("p.kvr", arcadeDriver("PFE", "Pia Fors", {1000}));
    game.addParticipant("c.kvr", arcadeDriver("CDA", "Carl Dahl", {1100}));
    game.addParticipant("e.kvr", arcadeDriver("EDI", "Eva Dinh", {1200}));
    kvrtest::ProcessResult result =
        kvrtest::runProgram(KVRRANK_BINARY, game.path(), {"--no-records", "--history", "c.jsonl"});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.errors.rfind("kvrrank: gone.jsonl: ", 0), 0u) << result.errors;
    EXPECT_NE(result.errors.find(kvrtest::platformText("; left out of the all-time table\n")),
              std::string::npos);
    const Json json = Json::parse(kvrtest::readText(game / "r.json"));
    const Json& table = json["all_time"];
    std::vector<std::string> seasons;
    for (const Json& s : table["seasons"]) {
        const auto code = [](const Json& who) {
            return who.is_null() ? std::string("-") : who["code"].get<std::string>();
        };
        seasons.push_back(s["name"].get<std::string>() + " " + code(s["champion"]) + " " +
                          code(s["leader"]) + " " + s["current"].dump());
    }
    EXPECT_EQ(seasons,
              (std::vector<std::string>{"a PFE - false", "b ABE - false", "c - PFE true"}));
    std::vector<std::string> drivers;
    for (const Json& d : table["drivers"]) {
        drivers.push_back(d["name"].get<std::string>() + " " + d["seasons"].dump() + " " +
                          d["titles"].dump() + " " + d["podiums"].dump() + " " +
                          d["best_place"].dump() + " " + d["season_points"].dump() + " " +
                          d["points"].dump());
    }
    EXPECT_EQ(drivers, (std::vector<std::string>{
                           "Pia Fors 3 1 3 1 [10,1,10] 21", "Anna Berg 2 1 2 1 [5,10,null] 15",
                           "Carl Dahl 3 0 3 2 [1,5,5] 11", "Eva Dinh 1 0 1 3 [null,null,1] 1"}));
    ASSERT_EQ(table["unread"].size(), 1u);
    EXPECT_EQ(table["unread"][0]["file"], "gone.jsonl");
    EXPECT_EQ(json["checks"]["archive_unread"], table["unread"]);
    const std::string page = kvrtest::readText(game / "r.html");
    EXPECT_NE(page.find("<section id=\"all-time\">"), std::string::npos);
    EXPECT_NE(page.find("<h3 id=\"check-archive\">"), std::string::npos);
    EXPECT_NE(page.find("<td>Pia Fors (PFE) <span class=\"note\">(leading)</span></td>"),
              std::string::npos);
    // The archive is read, never written.
    EXPECT_EQ(kvrtest::readText(game / "a.jsonl"), a);
    EXPECT_EQ(kvrtest::readText(game / "b.jsonl"), b);
    EXPECT_FALSE(fs::exists(game / "gone.jsonl"));
    // No output may be an archived season.
    const auto before = kvrtest::snapshot(game.path());
    const kvrtest::ProcessResult clash =
        kvrtest::runProgram(KVRRANK_BINARY, game.path(), {"--no-records", "--history", "b.jsonl"});
    EXPECT_EQ(clash.exitStatus, 2);
    EXPECT_NE(clash.errors.find(": the same file as the archived season "), std::string::npos)
        << clash.errors;
    EXPECT_EQ(kvrtest::snapshot(game.path()), before);
}

// An archived season whose last run lists a driver twice, two copies of a file or an old name
// and the roster's, counts once for them, at the better place and with its points alone.
// Places 10-5-1 in Arcade Italy: ABE 10, Pia 5 and 1 (15 with both); this season CDA alone.
TEST(Roster, ADriverTwiceInAnArchivedSeasonCountsOnce) {
    const struct {
        const char* what;
        const char* secondName; // of Pia's second file
    } cases[] = {
        {"two copies", "Pia Fors"},
        {"an old name", "Pia Frs"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        GameFolder game;
        kvrtest::writeText(game / "kvrrank.toml", "[points]\nplaces = [10, 5, 1]\n");
        game.addParticipant("a.kvr", arcadeDriver("ABE", "Anna Berg", {1000}));
        game.addParticipant("p.kvr", arcadeDriver("PFE", "Pia Fors", {1100}));
        game.addParticipant("q.kvr", arcadeDriver("PFE", c.secondName, {1200}));
        ASSERT_EQ(kvrtest::runProgram(KVRRANK_BINARY, game.path(),
                                      {"--no-records", "--history", "old.jsonl"})
                      .exitStatus,
                  0);
        fs::remove_all(game / "kvr");
        game.addParticipant("c.kvr", arcadeDriver("CDA", "Carl Dahl", {1000}));
        kvrtest::writeText(game / "kvrrank.toml", "[points]\nplaces = [10, 5, 1]\n" + Roster);
        const kvrtest::ProcessResult result =
            kvrtest::runProgram(KVRRANK_BINARY, game.path(),
                                {"--no-records", "--archive", "old.jsonl", "--json", "r.json"});
        ASSERT_EQ(result.exitStatus, 0) << result.errors;
        std::vector<std::string> drivers;
        const Json json = Json::parse(kvrtest::readText(game / "r.json"));
        for (const Json& d : json["all_time"]["drivers"]) {
            drivers.push_back(d["name"].get<std::string>() + " " + d["seasons"].dump() + " " +
                              d["titles"].dump() + " " + d["podiums"].dump() + " " +
                              d["best_place"].dump() + " " + d["season_points"].dump() + " " +
                              d["points"].dump());
        }
        EXPECT_EQ(drivers, (std::vector<std::string>{"Anna Berg 1 1 1 1 [10,null] 10",
                                                     "Carl Dahl 1 0 1 1 [null,10] 10",
                                                     "Pia Fors 1 0 1 2 [5,null] 5"}));
    }
}

TEST(Roster, EveryKindOfBadRosterOrTeamTouchesNothing) {
    const struct {
        const char* text;
        const char* error; // after "kvrrank: kvrrank.toml:"
    } cases[] = {
        {"[[driver]]\nname = \"A B\"\n", "1:1: a [[driver]] needs a code"},
        {"[[driver]]\ncode = \"ABCD\"\nname = \"A B\"\n",
         "2:8: \"code\" in [[driver]] must be 1 to 3 letters"},
        {"[[driver]]\ncode = \"AB\"\nname = \"\xCE\xA9mega\"\n",
         "3:8: \"name\" in [[driver]] must be 1 to 43 letters"},
        {"[[driver]]\ncode = \"AB\"\nname = \"A B\"\nnick = \"x\"\n",
         "4:1: unknown key \"nick\" in [[driver]]"},
        {"[[driver]]\ncode = \"AB\"\nname = \"A B\"\nalso = \"AB2\"\n",
         "4:8: \"also\" in [[driver]] must be a list"},
        {"[[driver]]\ncode = \"AB\"\nname = \"A B\"\nalso = [{ code = \"AB\" }]\n",
         "4:9: a \"also\" needs a name"},
        // A file that would match two drivers: the same identity twice, or an alias that is
        // another driver.
        {"[[driver]]\ncode = \"AB\"\nname = \"A B\"\n[[driver]]\ncode = \"AB\"\nname = \"A B\"\n",
         "4:1: \"AB\" \"A B\" is already the driver A B (AB)"},
        {"[[driver]]\ncode = \"AB\"\nname = \"A B\"\n[[driver]]\ncode = \"CD\"\nname = \"C D\"\n"
         "also = [{ code = \"AB\", name = \"A B\" }]\n",
         "7:9: \"AB\" \"A B\" is already the driver A B (AB)"},
        {"[[driver]]\ncode = \"AB\"\nname = \"A B\"\nalso = [{ code = \"X\", name = \"Y\" }]\n"
         "[[driver]]\ncode = \"CD\"\nname = \"C D\"\nalso = [{ code = \"X\", name = \"Y\" }]\n",
         "8:9: \"X\" \"Y\" is already the driver A B (AB)"},
        {"[points]\nmerge_copies = 1\n",
         "2:16: \"merge_copies\" in [points] must be true or false"},
        {"[[team]]\ncounted = 2\n", "1:1: a [[team]] needs a name"},
        {"[[team]]\nname = \"Red\"\ncounted = 0\n",
         "3:11: \"counted\" in [[team]] must be a whole number from 1 to 100"},
        {"[[team]]\nname = \"Red\"\nmembers = \"AB\"\n",
         "3:11: \"members\" in [[team]] must be a list"},
        {"[[team]]\nname = \"Red\"\n[[team]]\nname = \"Red\"\n",
         "4:8: two teams are named \"Red\""},
        {"[[driver]]\ncode = \"AB\"\nname = \"A B\"\nteam = \"Blue\"\n[[team]]\nname = \"Red\"\n",
         "4:8: no [[team]] is named \"Blue\""},
        {"[[team]]\nname = \"Red\"\nmembers = [\"AB\"]\n[[team]]\nname = \"Blue\"\n"
         "members = [\"CD\", \"AB\"]\n",
         "6:18: the driver \"AB\" is in the team \"Red\" already"},
        {"[[driver]]\ncode = \"AB\"\nname = \"A B\"\nteam = \"Red\"\n[[team]]\nname = \"Red\"\n"
         "[[team]]\nname = \"Blue\"\nmembers = [\"AB\"]\n",
         "9:12: the driver \"AB\" is in the team \"Red\" already"},
        {"[archive]\nseasons = \"2025.jsonl\"\n", "2:11: \"seasons\" in [archive] must be a list"},
        {"[archive]\nseasons = [\"\"]\n", "2:12: a season in [archive] is a history file"},
        {"[archive]\nseason = [\"a.jsonl\"]\n", "2:1: unknown key \"season\" in [archive]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        GameFolder game;
        game.addParticipant("ab.kvr", arcadeDriver("AB", "A B", {1000}));
        kvrtest::writeText(game / "ranking.txt", "earlier\n");
        kvrtest::writeText(game / "kvrrank.toml", c.text);
        const auto before = kvrtest::snapshot(game.path());
        kvrtest::ProcessResult result =
            kvrtest::runProgram(KVRRANK_BINARY, game.path(), {"--html", "r.html"});
        EXPECT_EQ(result.exitStatus, 2);
        EXPECT_EQ(result.output, "");
        EXPECT_EQ(result.errors.rfind(std::string("kvrrank: kvrrank.toml:") + c.error, 0), 0u)
            << result.errors;
        EXPECT_EQ(kvrtest::snapshot(game.path()), before);
    }
}

} // namespace
