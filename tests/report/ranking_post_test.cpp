// The chat post: its parts as the season gives them, messages within the chat's limit, and names
// from strangers that stay plain text under a CommonMark parser.
#include "report/ranking_post.h"

#include "history/season.h"
#include "history/snapshot.h"
#include "support/participant_builder.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>
#include <tuple>
#include <vector>

namespace {

using namespace kvr;
using kvrtest::ParticipantFileBuilder;

const ReportTime Noon{2026, 12, 7, 12, 5, 9};
// Where the organiser publishes the page.
const std::string PageUrl = "https://example.org/league/week_1.html";

// A driver: code, name and stored times of Finland 1 and 2 (0: none).
struct Entry {
    std::string code;
    std::string name;
    uint32_t first;
    uint32_t second;
};

struct Season {
    std::vector<ParticipantRecord> records;
    RankingModel model;
};

Season runOf(const std::vector<Entry>& entries) {
    Season run;
    for (const Entry& e : entries) {
        ParticipantFileBuilder image;
        image.code(e.code).name(e.name);
        if (e.first != 0) {
            image.stage(0, 0, 1, e.first);
        }
        if (e.second != 0) {
            image.stage(0, 1, 1, e.second);
        }
        run.records.push_back(image.record());
    }
    run.model =
        computeRankingModel(run.records.data(), static_cast<int32_t>(run.records.size()), {}, Noon);
    return run;
}

const std::vector<Entry> Before = {
    {"ANN", "Ann", 10001, 100001}, {"BEA", "Bea", 20001, 110001}, {"CID", "Cid", 30001, 120001}};
const std::vector<Entry> Now = {{"ANN", "Ann", 25001, 100001},
                                {"BEA", "Bea", 15001, 70001},
                                {"CID", "Cid", 5001, 120001},
                                {"DAN", "Dan", 40001, 130001}};

// The part of the post under `heading`, to the next blank line; "" when there is none.
std::string partOf(const std::string& post, const std::string& heading) {
    const size_t start = post.find("**" + heading + "**");
    if (start == std::string::npos) {
        return std::string();
    }
    const size_t end = post.find("\n\n", start);
    return post.substr(start, end == std::string::npos ? end : end + 1 - start);
}

TEST(ChatPost, PartsFollowTheSeason) {
    const Season before = runOf(Before);
    Season now = runOf(Now);
    const SeasonChanges fresh = history::compareSeason(history::readHistory(""), now.model);
    const SeasonChanges season = history::compareSeason(
        history::readHistory(history::snapshotLine(before.model)), now.model);
    // Bea leaves: Cid climbs to her place, Ann keeps hers.
    const Season withoutBea = runOf({Before[0], Before[2]});
    const SeasonChanges oneClimbs = history::compareSeason(
        history::readHistory(history::snapshotLine(before.model)), withoutBea.model);
    // Each line followed by another ends in two spaces: a hard line break.
    const std::string title = "**Dustline Rally 2.0: ranking of 2026-12-07**  \n";
    // Both of this run's records are outliers that no decision covers.
    const std::string review =
        "**Under review**  \n"
        "Finland 1: 00:50.00 by Cid (CID), an outlier (place 2: 02:30.00)  \n"
        "Finland 2: 11:40.00 by Bea (BEA), an outlier (place 2: 16:40.00)\n";
    const struct {
        const char* what;
        const SeasonChanges* season;
        std::string page;
        std::string post;
    } cases[] = {
        {"no history", nullptr, "",
         title +
             "4 drivers\n\n"
             "1. Bea (BEA): 20 pts  \n"
             "2. Cid (CID): 18 pts  \n"
             "3. Ann (ANN): 14 pts\n\n" +
             review},
        {"a new history", &fresh, PageUrl,
         title +
             "4 drivers, first run of the season\n\n"
             "1. Bea (BEA): 20 pts  \n"
             "2. Cid (CID): 18 pts  \n"
             "3. Ann (ANN): 14 pts\n\n" +
             review + "\nFull ranking: <https://example.org/league/week_1.html>\n"},
        // Dan comes: the season's first file of his.
        {"a second run", &season, PageUrl,
         title +
             "4 drivers, 2 records broken\n\n"
             "1. Bea (BEA): 20 pts \u25B21  \n"
             "2. Cid (CID): 18 pts \u25B21  \n"
             "3. Ann (ANN): 14 pts \u25BC2\n\n" +
             review +
             "\n**Biggest movers**  \n"
             "Bea (BEA): \u25B21 to place 1  \n"
             "Cid (CID): \u25B21 to place 2\n\n"
             "**Records broken**  \n"
             "Finland 2: 11:40.00 by Bea (BEA), 300.00 s faster than Ann (ANN), under review  \n"
             "Finland 1: 00:50.00 by Cid (CID), 50.00 s faster than Ann (ANN), under review\n\n"
             "**New drivers**  \n"
             "Dan (DAN): place 4, 8 pts\n\n"
             "Full ranking: <https://example.org/league/week_1.html>\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(renderPost(RunResults(now.model, c.season), c.page), c.post);
    }
    // Bea's file is gone.
    EXPECT_EQ(renderPost(RunResults(withoutBea.model, &oneClimbs)),
              title + "2 drivers, 0 records broken\n\n"
                      "1. Ann (ANN): 24 pts (=)  \n"
                      "2. Cid (CID): 16 pts \u25B21\n\n"
                      "**Under review**  \n"
                      "Finland 1: 01:40.00 by Ann (ANN), an outlier (place 2: 05:00.00)\n\n"
                      "**Biggest movers**  \n"
                      "Cid (CID): \u25B21 to place 2\n\n"
                      "**Left**  \n"
                      "Bea (BEA)\n");
}

// A podium that did not change shows no movement at all: a kept place is "(=)" only beside one
// that moved.
// The same second run in German: whole sentences in its order, the date in words, times and
// seconds with a decimal comma; names and rally countries as they are.
TEST(ChatPost, TheGermanPostOfASecondRun) {
    const Season before = runOf(Before);
    Season now = runOf(Now);
    now.model.league.language = "de";
    const SeasonChanges season = history::compareSeason(
        history::readHistory(history::snapshotLine(before.model)), now.model);
    EXPECT_EQ(
        renderPost(RunResults(now.model, &season), PageUrl),
        "**Dustline Rally 2.0: Rangliste vom 7. Dezember 2026**  \n"
        "4 Fahrer, 2 Rekorde gebrochen\n\n"
        "1. Bea (BEA): 20 Pkt. \u25B21  \n"
        "2. Cid (CID): 18 Pkt. \u25B21  \n"
        "3. Ann (ANN): 14 Pkt. \u25BC2\n\n"
        "**In Pr\u00FCfung**  \n"
        "Finland 1: 00:50,00 von Cid (CID), ein Ausrei\u00DFer (Platz 2: 02:30,00)  \n"
        "Finland 2: 11:40,00 von Bea (BEA), ein Ausrei\u00DFer (Platz 2: 16:40,00)\n\n"
        "**Gr\u00F6\u00DFte Aufsteiger**  \n"
        "Bea (BEA): \u25B21 auf Platz 1  \n"
        "Cid (CID): \u25B21 auf Platz 2\n\n"
        "**Gebrochene Rekorde**  \n"
        "Finland 2: 11:40,00 von Bea (BEA), 300,00 s schneller als Ann (ANN), in Pr\u00FCfung  \n"
        "Finland 1: 00:50,00 von Cid (CID), 50,00 s schneller als Ann (ANN), in Pr\u00FCfung\n\n"
        "**Neue Fahrer**  \n"
        "Dan (DAN): Platz 4, 8 Pkt.\n\n"
        "Vollst\u00E4ndige Rangliste: <https://example.org/league/week_1.html>\n");
}

// Polish counts in three forms: 1 kierowca, 2-4 and 22-24 kierowcy, 5-21 and 25 kierowców.
TEST(ChatPost, ThePolishCountLineFollowsThreeForms) {
    const std::pair<size_t, const char*> cases[] = {
        {1, "1 kierowca"},         {2, "2 kierowcy"},   {5, "5 kierowc\u00F3w"},
        {12, "12 kierowc\u00F3w"}, {22, "22 kierowcy"}, {25, "25 kierowc\u00F3w"},
    };
    for (const auto& [drivers, line] : cases) {
        std::vector<Entry> entries;
        for (size_t i = 0; i < drivers; ++i) {
            const std::string code = "D" + std::to_string(i);
            entries.push_back({code, "Driver " + code, 30001 + 100 * static_cast<uint32_t>(i), 0});
        }
        Season run = runOf(entries);
        run.model.league.language = "pl";
        const std::string post = renderPost(RunResults(run.model));
        const size_t start = post.find('\n') + 1;
        EXPECT_EQ(post.substr(start, post.find('\n', start) - start), line) << post;
    }
}

TEST(ChatPost, AnUnchangedPodiumShowsNoMovement) {
    const Season before = runOf(Before);
    const Season again = runOf(Before);
    const SeasonChanges same = history::compareSeason(
        history::readHistory(history::snapshotLine(before.model)), again.model);
    // Dan scores below the podium: the podium's places are kept, his is new.
    std::vector<Entry> withDan = Before;
    withDan.push_back({"DAN", "Dan", 40001, 130001});
    const Season belowPodium = runOf(withDan);
    const SeasonChanges newBelow = history::compareSeason(
        history::readHistory(history::snapshotLine(before.model)), belowPodium.model);
    for (const auto& [what, run, season] :
         {std::tuple{"the same run", &again, &same},
          std::tuple{"a new driver 4th", &belowPodium, &newBelow}}) {
        SCOPED_TRACE(what);
        const std::string post = renderPost(RunResults(run->model, season));
        const size_t start = post.find("\n\n1. ");
        ASSERT_NE(start, std::string::npos) << post;
        const std::string podium = post.substr(start + 2, post.find("\n\n", start + 2) - start - 2);
        size_t lines = 0;
        for (size_t from = 0; from < podium.size(); ++lines) {
            const size_t end = std::min(podium.find('\n', from), podium.size());
            std::string line = podium.substr(from, end - from);
            line.erase(line.find_last_not_of(' ') + 1);
            EXPECT_EQ(line.substr(line.size() - 4), " pts") << line;
            from = end + 1;
        }
        EXPECT_EQ(lines, 3u) << podium;
    }
}

// A driver back in the standings after a run without points is told apart from one who
// scores for the first time after runs without points, and from a new driver.
TEST(ChatPost, FirstPointsAndBackInTheStandingsAreToldApart) {
    const Season first = runOf(Before);
    // Bea's and Cid's times are too slow to score: ten faster drivers.
    std::vector<Entry> crowded = {Before[0], Before[1]};
    for (int i = 0; i < 10; ++i) {
        crowded.push_back({"F" + std::to_string(i), "Fast " + std::to_string(i),
                           static_cast<uint32_t>(10002 + i), 100002});
    }
    crowded.push_back({"CID", "Cid", 90001, 0});
    crowded.push_back({"DAN", "Dan", 90002, 0}); // too slow to score
    const Season second = runOf(crowded);
    Season third = runOf(Now);
    const SeasonChanges season =
        history::compareSeason(history::readHistory(history::snapshotLine(first.model) +
                                                    history::snapshotLine(second.model)),
                               third.model);
    const std::string post = renderPost(RunResults(third.model, &season));
    EXPECT_EQ(partOf(post, "First points"), "**First points**  \nDan (DAN): place 4, 8 pts\n");
    EXPECT_EQ(partOf(post, "New drivers"), "");
    EXPECT_EQ(partOf(post, "Back in the standings"),
              "**Back in the standings**  \nBea (BEA): place 1, 20 pts  \n"
              "Cid (CID): place 2, 18 pts\n");
    // The ten fast drivers of the run before have no file now.
    EXPECT_NE(partOf(post, "Left").find("**Left**  \nFast 0 (F0)  \nFast 1 (F1)  \n"),
              std::string::npos)
        << post;
}

// A run decided by the league's decisions, its records as imported kept beside it.
struct DecidedRun {
    std::vector<ParticipantRecord> imported;
    DecidedField decided;
    RankingModel model;
};

void decide(DecidedRun& run, const std::vector<Entry>& entries,
            const std::vector<Decision>& decisions) {
    const Season read = runOf(entries);
    run.imported = read.records;
    std::vector<std::string> files;
    for (const Entry& e : entries) {
        files.push_back(e.name + ".kvr");
    }
    run.decided = applyDecisions(decisions, read.records, files);
    RankingOptions options;
    options.league.file = "kvrrank.toml";
    options.league.decisions = decisions;
    options.decided = &run.decided;
    options.imported = run.imported.data();
    run.model =
        computeRankingModel(run.decided.records.data(),
                            static_cast<int32_t>(run.decided.records.size()), files, Noon, options);
}

Decision decisionOf(DecisionAction action, const char* code, const char* name, const char* reason) {
    Decision d;
    d.year = 2026;
    d.month = 12;
    d.day = 1;
    d.action = action;
    d.code = code;
    d.name = name;
    d.reason = reason;
    return d;
}

// The decisions are told once, in the run where they first act (every one that acts without a
// season), with the records they took away.
TEST(ChatPost, DecisionsAreToldWhenTheyFirstAct) {
    using A = DecisionAction;
    std::vector<Decision> decisions = {
        decisionOf(A::ExcludeTime, "CID", "Cid", "impossible time"),
        decisionOf(A::AddTime, "CID", "Cid", "cut the *chicane*"),
        decisionOf(A::AddPoints, "BEA", "Bea", "late file"),
        decisionOf(A::ExcludeFile, "", "", "a copy"),
        decisionOf(A::ExcludeDriver, "ZZZ", "Nobody", "never here"),
    };
    decisions[0].event = eventOfKey("rally-1-stage-1");
    decisions[1].event = eventOfKey("rally-1-stage-2");
    decisions[1].hundredths = 550;
    decisions[2].points = -3;
    decisions[3].file = "Dan.kvr";
    const std::vector<Entry> field = {Now[0], Now[1], Now[2], Now[3]};
    DecidedRun now, again;
    decide(now, field, decisions);
    decide(again, field, decisions);
    // The run before, undecided: Cid held Finland 1 at 00:50.00.
    const Season before = runOf(field);
    const SeasonChanges fresh = history::compareSeason(history::readHistory(""), now.model);
    const SeasonChanges second = history::compareSeason(
        history::readHistory(history::snapshotLine(before.model)), now.model);
    // The run after: the same decisions matched before; nothing new is told.
    const SeasonChanges third =
        history::compareSeason(history::readHistory(history::snapshotLine(before.model) +
                                                    history::snapshotLine(now.model)),
                               again.model);
    const std::string told = "**Decisions**  \n"
                             "Cid (CID), Finland 1 00:50.00 excluded (impossible time)  \n"
                             "Cid (CID) +5.50 s on Finland 2 (cut the \\*chicane\\*)  \n"
                             "Bea (BEA) -3 points (late file)  \n"
                             "file Dan.kvr of Dan (DAN) excluded (a copy)";
    const struct {
        const char* what;
        const SeasonChanges* season;
        std::string part;
    } cases[] = {
        {"no season", nullptr, told + "\n"},
        {"a new season", &fresh, told + "\n"},
        // Finland 1 goes back to Bea; Finland 2 stays Bea's, Cid's penalty changes nothing.
        {"a second run", &second,
         told + "  \nFinland 1: record annulled, back to 02:30.00 by Bea (BEA)\n"},
        {"a run after", &third, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(partOf(renderPost(RunResults(now.model, c.season)), "Decisions"), c.part);
    }
}

// A flagged result that no decision covers is listed as under review, and so is a record it
// set; once a decision covers it, it is neither.
TEST(ChatPost, FlaggedResultsWithoutADecisionAreUnderReview) {
    const std::vector<Entry> field = {
        Before[0], Before[1], Before[2], {"ODO", "Odo", 1001, 0}, {"BEA", "Bea", 20001, 110001}};
    const Season before = runOf(Before);
    const std::string history = history::snapshotLine(before.model);
    DecidedRun open, settled;
    decide(open, field, {});
    Decision exclude = decisionOf(DecisionAction::ExcludeTime, "ODO", "Odo", "impossible");
    exclude.event = eventOfKey("rally-1-stage-1");
    decide(settled, field, {exclude});
    const SeasonChanges openSeason =
        history::compareSeason(history::readHistory(history), open.model);
    const SeasonChanges settledSeason =
        history::compareSeason(history::readHistory(history), settled.model);
    const std::string openPost = renderPost(RunResults(open.model, &openSeason));
    // The copy is the file of the longer name: Bea's second file, in the report as "Bea.kvr"
    // for both; the group's first file is kept.
    EXPECT_EQ(partOf(openPost, "Under review"),
              "**Under review**  \n"
              "Finland 1: 00:10.00 by Odo (ODO), an outlier (place 2: 01:40.00)  \n"
              "file Bea.kvr: Bea (BEA) again, as in Bea.kvr\n");
    EXPECT_NE(openPost.find("Finland 1: 00:10.00 by Odo (ODO), 90.00 s faster than Ann (ANN), "
                            "under review"),
              std::string::npos)
        << openPost;
    const std::string settledPost = renderPost(RunResults(settled.model, &settledSeason));
    EXPECT_EQ(partOf(settledPost, "Under review"),
              "**Under review**  \nfile Bea.kvr: Bea (BEA) again, as in Bea.kvr\n");
    EXPECT_EQ(settledPost.find("under review"), std::string::npos) << settledPost;
    EXPECT_EQ(partOf(settledPost, "Records broken"), "");
}

// Lines are packed into messages of at most the limit, in order, never cut; blank lines do not
// start or end a message.
TEST(ChatPost, MessagesSplitAtLineEnds) {
    std::vector<std::string> lines;
    for (size_t i = 0; i < 300; ++i) {
        // Lines of 0 to 95 characters, some of two-byte ones ("é") and some blank.
        lines.push_back(i % 7 == 0 ? ""
                                   : std::string(i % 48, 'x') + std::string(i % 96 - i % 48, 'y'));
        if (i % 5 == 0) {
            lines.back() += "\xC3\xA9\xC3\xA9";
        }
    }
    for (size_t limit : {size_t{100}, size_t{2000}}) {
        SCOPED_TRACE(limit);
        const std::vector<std::string> messages = chatMessages(lines, limit);
        std::vector<std::string> rejoined;
        for (const std::string& message : messages) {
            size_t characters = 0;
            for (char c : message) {
                characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
            }
            EXPECT_LE(characters, limit);
            EXPECT_FALSE(message.empty() || message.front() == '\n' || message.back() == '\n');
            size_t from = 0;
            for (size_t end; (end = message.find('\n', from)) != std::string::npos;
                 from = end + 1) {
                rejoined.push_back(message.substr(from, end - from));
            }
            rejoined.push_back(message.substr(from));
        }
        std::vector<std::string> nonBlank;
        for (const std::string& line : lines) {
            if (!line.empty()) {
                nonBlank.push_back(line);
            }
        }
        rejoined.erase(std::remove(rejoined.begin(), rejoined.end(), ""), rejoined.end());
        EXPECT_EQ(rejoined, nonBlank);
        EXPECT_GT(messages.size(), limit == 100 ? 100u : 4u);
    }
}

// A season of long names that need escaping: the post splits into messages of at most 2,000
// characters at line ends, separated by "---" between blank lines, and no line is cut.
TEST(ChatPost, ALongSeasonSplitsIntoMessages) {
    // Twelve new drivers each take a stage of Finland from a driver of the run before.
    auto field = [](bool later) {
        std::vector<ParticipantRecord> records;
        for (int i = 0; i < 12; ++i) {
            ParticipantFileBuilder image;
            if (later) {
                image.code("B" + std::to_string(i))
                    .name(std::string(40, "*_[]"[i % 4]) + std::to_string(i));
            } else {
                image.code("A" + std::to_string(i)).name("Old " + std::to_string(i));
            }
            for (int stage = 0; stage < 10; ++stage) {
                image.stage(0, stage, 1,
                            (stage == i % 10 ? 5001u : 90001u) + (later ? 0u : 10000u) +
                                static_cast<uint32_t>(i));
            }
            records.push_back(image.record());
        }
        return records;
    };
    const std::vector<ParticipantRecord> earlier = field(false), later = field(true);
    // Without the checks: every stage's new time is an outlier here, which is not the point.
    RankingOptions unchecked;
    unchecked.checks = false;
    const RankingModel first = computeRankingModel(
        earlier.data(), static_cast<int32_t>(earlier.size()), {}, Noon, unchecked);
    const RankingModel second =
        computeRankingModel(later.data(), static_cast<int32_t>(later.size()), {}, Noon, unchecked);
    const SeasonChanges season =
        history::compareSeason(history::readHistory(history::snapshotLine(first)), second);
    const std::string post = renderPost(RunResults(second, &season), "page.html");
    std::vector<std::string> messages;
    for (size_t from = 0;;) {
        const size_t end = post.find("\n\n---\n\n", from);
        messages.push_back(post.substr(from, end == std::string::npos ? end : end - from));
        if (end == std::string::npos) {
            break;
        }
        from = end + 7;
    }
    ASSERT_GE(messages.size(), 2u) << post;
    size_t records = 0;
    for (const std::string& message : messages) {
        size_t characters = 0;
        for (char c : message) {
            characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        }
        EXPECT_LE(characters, PostMessageLimit);
        // Every record line is whole: it ends with the holder it beat.
        for (size_t at = 0; (at = message.find("by ", at)) != std::string::npos; at += 3) {
            const size_t end = message.find('\n', at);
            const std::string line = message.substr(at, end == std::string::npos ? end : end - at);
            EXPECT_NE(line.find(" faster than Old "), std::string::npos) << line;
            ++records;
        }
    }
    EXPECT_EQ(records, 10u); // ten of Finland's stages, each beaten once
    EXPECT_EQ(messages.back().substr(messages.back().size() - 26), "Full ranking: <page.html>\n");
}

#ifndef _WIN32
// Names that try to command the chat, each shown as plain text: the posts are parsed with a
// CommonMark parser, which finds no node that formats, links, quotes or runs text.
TEST(ChatPost, NamesThatTryToCommandTheChatStayPlainText) {
    const std::vector<std::string> hostile = {
        "@everyone", "@here", "**bold**", "[x](http://e.com)", "`code`", "> quote", "https://e.com",
        "# heading", "- item", "1. one", "~~gone~~", "||spoiler||", "<@123456>", "_it_ a\\*b",
        "   x   ", "![i](x.png)", "<b>html</b>", "+ plus", "2) two", "*a*b*c*d*e*f*g*h*i*j*k*l*m*",
        // A backslash of the name's own before a character that formats.
        "a\\*b\\*c", "\\`x\\`", "\\[x\\](y)", "\\_u\\_"};
    std::string posts;
    nlohmann::json shown = nlohmann::json::array();
    for (size_t i = 0; i < hostile.size(); ++i) {
        // The name takes Finland 1 from a plain driver of the run before, climbs and is new.
        const std::string code = i % 2 ? "@h" : "`*`";
        const Season before = runOf({{"OLD", "Old", 90001, 0}, {"ZED", "Zed", 90002, 0}});
        Season now = runOf(
            {{"OLD", "Old", 90001, 0}, {"ZED", "Zed", 90002, 0}, {code, hostile[i], 5001, 0}});
        const SeasonChanges season = history::compareSeason(
            history::readHistory(history::snapshotLine(before.model)), now.model);
        posts += (posts.empty() ? "" : "\n\n---\n\n") +
                 renderPost(RunResults(now.model, &season), PageUrl);
        shown.push_back(hostile[i]);
        shown.push_back(code);
    }
    kvrtest::TempFolder folder;
    kvrtest::writeText(folder / "post.md", posts);
    kvrtest::writeText(folder / "names.json", shown.dump());
    const kvrtest::ProcessResult check = kvrtest::runProgram(
        "/usr/bin/python3", folder.path(),
        {KVR_CHAT_CHECK, (folder / "post.md").string(), (folder / "names.json").string(), PageUrl});
    EXPECT_EQ(check.exitStatus, 0)
        << check.output << check.errors << "(the check needs Debian's python3-markdown-it)";
    // Every hostile name is in the posts three times: on the podium, with its record and as new.
    for (const std::string& name : hostile) {
        EXPECT_NE(posts.find(chatText(name)), std::string::npos) << name;
    }
}
#endif

} // namespace
