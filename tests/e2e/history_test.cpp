// The season's history on the built binary: three runs with files replaced between them,
// checked against values worked out by hand; and the histories that are torn, mixed, foreign,
// unwritable or held by another program.
#include "support/game_folder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <optional>
#include <thread>

namespace {

using kvrtest::GameFolder;
using kvrtest::ParticipantFileBuilder;
using Json = nlohmann::json;
namespace fs = std::filesystem;

const std::string History = "season.jsonl";

// A driver's stored times (shown one hundredth less): Finland 1, 2, 3 and Arcade Italy; 0 for
// none.
ParticipantFileBuilder driver(const std::string& code, const std::string& name, uint32_t f1,
                              uint32_t f2, uint32_t f3, uint32_t italy) {
    ParticipantFileBuilder image;
    image.code(code).name(name);
    const uint32_t stages[] = {f1, f2, f3};
    for (int s = 0; s < 3; ++s) {
        if (stages[s] != 0) {
            image.stage(0, s, 0x03, stages[s]);
        }
    }
    if (italy != 0) {
        image.arcade(0, 0x41, italy);
    }
    return image;
}

struct RunResult {
    kvrtest::ProcessResult process;
    Json json;
    std::string html;
};

RunResult run(const GameFolder& game, const std::vector<std::string>& more = {}) {
    std::vector<std::string> arguments = {"--no-records", "--history", History, "--json",
                                          "r.json",       "--html",    "r.html"};
    arguments.insert(arguments.end(), more.begin(), more.end());
    RunResult result;
    result.process = kvrtest::runProgram(KVRRANK_BINARY, game.path(), arguments);
    result.json = Json::parse(kvrtest::readText(game / "r.json"));
    result.html = kvrtest::readText(game / "r.html");
    return result;
}

// "CODE place previous_place movement" of every standing; "-" for null.
std::vector<std::string> movements(const Json& json) {
    std::vector<std::string> rows;
    for (const Json& s : json["standings"]) {
        auto text = [](const Json& v) { return v.is_null() ? std::string("-") : v.dump(); };
        rows.push_back(s["code"].get<std::string>() + " " + text(s["place"]) + " " +
                       text(s["previous_place"]) + " " + text(s["movement"]));
    }
    return rows;
}

// "event time code previous-time previous-code margin" of every new record.
std::vector<std::string> newRecords(const Json& json) {
    std::vector<std::string> rows;
    for (const Json& r : json["history"]["new_records"]) {
        const Json& p = r["previous"];
        rows.push_back(r["event"].get<std::string>() + " " + r["time"].get<std::string>() + " " +
                       r["code"].get<std::string>() + " " +
                       (p.is_null()
                            ? std::string("- - -")
                            : p["time"].get<std::string>() + " " + p["code"].get<std::string>() +
                                  " " + r["margin_hundredths"].dump()));
        EXPECT_EQ(p.is_null(), r["margin_hundredths"].is_null());
    }
    return rows;
}

// "event: code hundredths at, ..." of the record log; "code/name" with `names`.
std::vector<std::string> recordLog(const Json& json, bool names = false) {
    std::vector<std::string> rows;
    for (const Json& entry : json["history"]["record_log"]) {
        std::string row = entry["event"].get<std::string>() + ":";
        for (const Json& change : entry["changes"]) {
            row += " " + change["code"].get<std::string>() +
                   (names ? "/" + change["name"].get<std::string>() : "") + " " +
                   change["hundredths"].dump() + " " + change["at"].get<std::string>();
        }
        rows.push_back(row);
    }
    return rows;
}

// The text of every move cell of the page's standings, in order.
std::vector<std::string> moveCells(const std::string& html) {
    std::vector<std::string> cells;
    const std::string open = "<td class=\"move\">";
    for (size_t at = html.find(open); at != std::string::npos; at = html.find(open, at + 1)) {
        size_t from = at + open.size();
        cells.push_back(html.substr(from, html.find("</td>", from) - from));
    }
    return cells;
}

size_t newRecordRows(const std::string& html) {
    size_t from = html.find("<table id=\"new-records\">");
    if (from == std::string::npos) { // none fell
        return 0;
    }
    size_t to = html.find("</table>", from);
    size_t rows = 0;
    for (size_t at = html.find("<tr>", from); at < to; at = html.find("<tr>", at + 1)) {
        ++rows;
    }
    return rows - 1; // the header row
}

size_t lines(const std::string& text) {
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

TEST(History, ThreeRunsOfASeason) {
    GameFolder game(0);
    // Run 1: Ann and Bob. Finland 1: A 49.99, B 50.99; Finland 2: A 59.99; Italy: B 29.99,
    // A 30.99. Points: A 12+12+8 = 32, B 8+12 = 20.
    game.addParticipant("a.kvr", driver("AAA", "Ann", 5000, 6000, 0, 3100));
    game.addParticipant("b.kvr", driver("BBB", "Bob", 5100, 0, 0, 3000));
    RunResult first = run(game);
    ASSERT_EQ(first.process.exitStatus, 0) << first.process.errors;
    EXPECT_EQ(first.process.errors, "");
    const Json& h1 = first.json["history"];
    EXPECT_EQ(h1["runs"], 1);
    EXPECT_TRUE(h1["previous_at"].is_null());
    EXPECT_EQ(h1["skipped_lines"], 0);
    EXPECT_EQ(movements(first.json), (std::vector<std::string>{"AAA 1 - -", "BBB 2 - -"}));
    EXPECT_EQ(newRecords(first.json), std::vector<std::string>{});
    EXPECT_EQ(moveCells(first.html), (std::vector<std::string>{"", ""}));
    EXPECT_EQ(newRecordRows(first.html), 0u);
    EXPECT_EQ(first.html.find("<svg id=\"points-over-runs\""), std::string::npos);
    EXPECT_EQ(lines(kvrtest::readText(game / History)), 1u);

    // Run 2: Bob faster on both stages, Cid new with the best Italy. Finland 1: B 48.99 (12),
    // A (8), C 50.49 (6); Finland 2: B 58.99 (12), A (8); Italy: C 29.49 (12), B (8), A (6).
    // Points: B 32, A 22, C 18.
    game.addParticipant("b.kvr", driver("BBB", "Bob", 4900, 5900, 0, 3000));
    game.addParticipant("c.kvr", driver("CCC", "Cid", 5050, 0, 0, 2950));
    RunResult second = run(game);
    ASSERT_EQ(second.process.exitStatus, 0) << second.process.errors;
    const Json& h2 = second.json["history"];
    EXPECT_EQ(h2["runs"], 2);
    EXPECT_EQ(h2["previous_at"], first.json["generated"]);
    EXPECT_EQ(movements(second.json),
              (std::vector<std::string>{"BBB 1 2 1", "AAA 2 1 -1", "CCC 3 - -"}));
    EXPECT_EQ(newRecords(second.json),
              (std::vector<std::string>{"rally-1-stage-1 00:48.99 BBB 00:49.99 AAA 100",
                                        "rally-1-stage-2 00:58.99 BBB 00:59.99 AAA 100",
                                        "arcade-1 00:29.49 CCC 00:29.99 BBB 50"}));
    EXPECT_EQ(moveCells(second.html), (std::vector<std::string>{"\u25B21", "\u25BC1", "new"}));
    EXPECT_EQ(newRecordRows(second.html), 3u);
    EXPECT_NE(second.html.find("<svg id=\"points-over-runs\""), std::string::npos);

    // Run 3: Cid gone, Ann faster on Finland 2 and alone on Finland 3. Finland 1: B (12),
    // A (8); Finland 2: A 57.99 (12), B (8); Finland 3: A 69.99 (12); Italy: B 29.99 (12),
    // A (8). Points: A 40, B 32. Italy's record is slower than Cid's: not new.
    fs::remove(game / "kvr" / "c.kvr");
    game.addParticipant("a.kvr", driver("AAA", "Ann", 5000, 5800, 7000, 3100));
    RunResult third = run(game);
    ASSERT_EQ(third.process.exitStatus, 0) << third.process.errors;
    const Json& h3 = third.json["history"];
    EXPECT_EQ(h3["runs"], 3);
    EXPECT_EQ(h3["previous_at"], second.json["generated"]);
    EXPECT_EQ(movements(third.json), (std::vector<std::string>{"AAA 1 2 1", "BBB 2 1 -1"}));
    EXPECT_EQ(newRecords(third.json),
              (std::vector<std::string>{"rally-1-stage-2 00:57.99 AAA 00:58.99 BBB 100",
                                        "rally-1-stage-3 01:09.99 AAA - - -"}));
    const std::string r1 = first.json["generated"], r2 = second.json["generated"],
                      r3 = third.json["generated"];
    EXPECT_EQ(recordLog(third.json),
              (std::vector<std::string>{
                  "rally-1-stage-1: AAA 4999 " + r1 + " BBB 4899 " + r2,
                  "rally-1-stage-2: AAA 5999 " + r1 + " BBB 5899 " + r2 + " AAA 5799 " + r3,
                  "rally-1-stage-3: AAA 6999 " + r3,
                  "arcade-1: BBB 2999 " + r1 + " CCC 2949 " + r2 + " BBB 2999 " + r3,
              }));
    EXPECT_EQ(moveCells(third.html), (std::vector<std::string>{"\u25B21", "\u25BC1"}));
    EXPECT_EQ(newRecordRows(third.html), 2u);
    // The chart: the two drivers over the three runs.
    EXPECT_NE(third.html.find("<path class=\"line s0\" d=\"M"), std::string::npos);
    EXPECT_NE(third.html.find("<path class=\"line s1\" d=\"M"), std::string::npos);
    const std::string history = kvrtest::readText(game / History);
    EXPECT_EQ(lines(history), 3u);

    // The text report knows nothing of the season.
    std::string report = kvrtest::readText(game / "ranking.txt");
    GameFolder twin(0);
    for (const char* name : {"a.kvr", "b.kvr"}) {
        kvrtest::writeBytes(twin / "kvr" / name, kvrtest::readBytes(game / "kvr" / name));
    }
    kvrtest::ProcessResult plain =
        kvrtest::runProgram(KVRRANK_BINARY, twin.path(), {"--no-records"});
    ASSERT_EQ(plain.exitStatus, 0);
    auto body = [](const std::string& text) { return text.substr(text.find("Participants")); };
    EXPECT_EQ(body(kvrtest::readText(twin / "ranking.txt")), body(report));
}

// Sets the time of the history's last run. A run's time is its second on the clock, so runs of
// a test share it; runs a week apart tell which run logged a change.
void setLastRunTime(const GameFolder& game, const std::string& at) {
    std::string text = kvrtest::readText(game / History);
    const size_t line = text.rfind('\n', text.size() - 2) + 1; // npos + 1: the first line
    const std::string member = "\"at\":\"";
    const size_t from = text.find(member, line) + member.size();
    text.replace(from, text.find('"', from) - from, at);
    kvrtest::writeText(game / History, text);
}

// A record that changes hands at an equal time is logged at the run where it did, in that run's
// export and in every later one: the code, the name or both differ.
TEST(History, RecordChangingHandsAtAnEqualTimeIsLoggedWhenItDoes) {
    GameFolder game(0);
    game.addParticipant("a.kvr", driver("AAA", "Ann", 5000, 6000, 7000, 0));
    RunResult first = run(game);
    ASSERT_EQ(first.process.exitStatus, 0) << first.process.errors;
    const std::string t1 = "2001-10-01T20:00:00", t2 = "2001-10-08T20:00:00";
    setLastRunTime(game, t1);

    fs::remove(game / "kvr" / "a.kvr");
    game.addParticipant("b.kvr", driver("BBB", "Ann", 5000, 0, 0, 0));
    game.addParticipant("c.kvr", driver("AAA", "Amy", 0, 6000, 0, 0));
    game.addParticipant("d.kvr", driver("BBB", "Bob", 0, 0, 7000, 0));
    RunResult second = run(game);
    ASSERT_EQ(second.process.exitStatus, 0) << second.process.errors;
    setLastRunTime(game, t2);
    RunResult third = run(game);
    ASSERT_EQ(third.process.exitStatus, 0) << third.process.errors;
    EXPECT_EQ(third.json["history"]["previous_at"], t2);

    // Run 2 logs the new holders at its own time; run 3 reads them back from the history.
    const std::pair<const Json*, std::string> exports[] = {{&second.json, second.json["generated"]},
                                                           {&third.json, t2}};
    for (const auto& [json, at] : exports) {
        SCOPED_TRACE(json == &second.json ? "run 2" : "run 3");
        EXPECT_EQ(recordLog(*json, true),
                  (std::vector<std::string>{
                      "rally-1-stage-1: AAA/Ann 4999 " + t1 + " BBB/Ann 4999 " + at,
                      "rally-1-stage-2: AAA/Ann 5999 " + t1 + " AAA/Amy 5999 " + at,
                      "rally-1-stage-3: AAA/Ann 6999 " + t1 + " BBB/Bob 6999 " + at,
                  }));
        EXPECT_EQ(newRecords(*json), std::vector<std::string>{}); // not faster: no new record
    }
}

// One snapshot line of a small group, as a run writes it.
std::string snapshotOfARun() {
    GameFolder game(0);
    game.addParticipant("a.kvr", driver("AAA", "Ann", 5000, 6000, 0, 3100));
    game.addParticipant("b.kvr", driver("BBB", "Bob", 5100, 0, 0, 3000));
    kvrtest::ProcessResult made =
        kvrtest::runProgram(KVRRANK_BINARY, game.path(), {"--no-records", "--history", History});
    EXPECT_EQ(made.exitStatus, 0) << made.errors;
    return kvrtest::readText(game / History);
}

// What a run does with the history as it finds it. The earlier bytes always stay as they were;
// a history that cannot be used gets its line on stderr and nothing appended, and the outputs
// are still written, without the history's fields; one that another run holds is waited for.
// Two runs started together on one season, again and again: they publish one after the other,
// each with its season, so the outputs left are always those of a run that had it.
TEST(History, TwoRunsAtOnceEachPublishWithTheSeason) {
    GameFolder game(0);
    game.addParticipant("a.kvr", driver("AAA", "Ann", 5000, 6000, 0, 3100));
    game.addParticipant("b.kvr", driver("BBB", "Bob", 5100, 0, 0, 3000));
    const std::vector<std::string> arguments = {"--no-records", "--history", History,
                                                "--html",       "page.html", "--json",
                                                "r.json",       "--post",    "post.md"};
    ASSERT_EQ(kvrtest::runProgram(KVRRANK_BINARY, game.path(), arguments).exitStatus, 0);
    size_t runs = 1;
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        kvrtest::ProcessResult results[2];
        std::thread other(
            [&] { results[1] = kvrtest::runProgram(KVRRANK_BINARY, game.path(), arguments); });
        results[0] = kvrtest::runProgram(KVRRANK_BINARY, game.path(), arguments);
        other.join();
        runs += 2;
        for (const kvrtest::ProcessResult& result : results) {
            EXPECT_EQ(result.exitStatus, 0) << result.errors;
            EXPECT_EQ(result.errors, "");
        }
        EXPECT_EQ(lines(kvrtest::readText(game / History)), runs);
        const Json json = Json::parse(kvrtest::readText(game / "r.json"));
        ASSERT_TRUE(json.contains("history"));
        EXPECT_EQ(json["history"]["runs"], runs);
        EXPECT_TRUE(json["standings"][0].contains("movement"));
        EXPECT_NE(kvrtest::readText(game / "post.md").find("drivers, 0 records broken"),
                  std::string::npos);
        EXPECT_NE(kvrtest::readText(game / "page.html").find("Move</th>"), std::string::npos);
    }
}

TEST(History, HistoriesAsFound) {
    const std::string line = snapshotOfARun();
    ASSERT_EQ(lines(line), 1u);
    std::string many;
    for (int i = 0; i < 60; ++i) {
        many += line;
    }
    enum class Setup { Text, Folder, Held, SizeLimit };
    struct Case {
        const char* name;
        Setup setup;
        std::string earlier;
        std::string reason;    // "" when the history is used
        std::string separator; // put before the appended line
        int runs;
        int skipped;
    };
    const std::string torn = "{\"kvrrank_history\":1,\"at\":\"2026-12-0";
    const std::vector<Case> cases = {
        {"a torn last line", Setup::Text, line + torn, "", "\n", 2, 1},
        {"a foreign line in the middle", Setup::Text, line + "not json\n" + line, "", "", 3, 1},
        {"empty lines", Setup::Text, "\n\n" + line + "\n", "", "", 2, 0},
        {"empty", Setup::Text, "", "", "", 1, 0},
        {"only a torn snapshot", Setup::Text, torn, "", "\n", 1, 1},
        {"not a history", Setup::Text, "Dustline Rally 2.0 - KVR Ranking System 1.0alpha2\n\n",
         "not a kvrrank history file", "", 0, 0},
        {"a JSON line of another kind", Setup::Text, "{\"kvrrank_history\":2}\n",
         "not a kvrrank history file", "", 0, 0},
        // Held for a second by another run: this run waits for it, then adds its line.
        {"held by another program for a while", Setup::Held, line, "", "", 2, 0},
        {"a folder", Setup::Folder, "", "not a regular file", "", 0, 0},
#ifndef _WIN32
        {"unwritable: the file size limit reached", Setup::SizeLimit, many, "File too large", "", 0,
         0},
#endif
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GameFolder game(0);
        game.addParticipant("a.kvr", driver("AAA", "Ann", 4000, 6000, 0, 3100));
        const fs::path path = game / History;
        if (c.setup == Setup::Folder) {
            fs::create_directory(path);
        } else {
            kvrtest::writeText(path, c.earlier);
        }
        std::optional<kvrtest::ExclusiveHolder> holder;
        if (c.setup == Setup::Held) {
            holder.emplace(path);
            ASSERT_TRUE(holder->holding());
        }
        kvrtest::ProcessLimits limits;
        if (c.setup == Setup::SizeLimit) {
            limits.fileSizeLimit = c.earlier.size();
        }
        std::thread release;
        if (holder) {
            release = std::thread([&holder] {
                std::this_thread::sleep_for(std::chrono::seconds(1));
                holder.reset();
            });
        }
        kvrtest::ProcessResult result =
            kvrtest::runProgram(KVRRANK_BINARY, game.path(),
                                {"--no-records", "--history", History, "--json", "r.json"}, limits);
        if (release.joinable()) {
            release.join();
        }

        const Json json = Json::parse(kvrtest::readText(game / "r.json"));
        EXPECT_TRUE(fs::is_regular_file(game / "ranking.txt"));
        if (!c.reason.empty()) {
            EXPECT_EQ(result.exitStatus, 1);
            EXPECT_EQ(result.errors, kvrtest::platformText("kvrrank: " + path.u8string() + ": " +
                                                           c.reason + "\n"));
            // A history that was read but could not take the new line was compared with.
            const bool read = c.setup == Setup::SizeLimit;
            EXPECT_EQ(json.contains("history"), read);
            EXPECT_EQ(json["standings"][0].contains("movement"), read);
            if (c.setup != Setup::Folder) {
                EXPECT_EQ(kvrtest::readText(path), c.earlier);
            }
            continue;
        }
        EXPECT_EQ(result.exitStatus, 0) << result.errors;
        EXPECT_EQ(result.errors, "");
        EXPECT_EQ(json["history"]["runs"], c.runs);
        EXPECT_EQ(json["history"]["skipped_lines"], c.skipped);
        // The earlier bytes, then the separator and exactly one new line.
        const std::string now = kvrtest::readText(path);
        ASSERT_GT(now.size(), c.earlier.size() + c.separator.size());
        EXPECT_EQ(now.substr(0, c.earlier.size()), c.earlier);
        const std::string added = now.substr(c.earlier.size());
        EXPECT_EQ(added.substr(0, c.separator.size()), c.separator);
        EXPECT_EQ(lines(added), 1u + c.separator.size());
        EXPECT_EQ(added.rfind("{\"kvrrank_history\":1,\"at\":\"" +
                                  json["generated"].get<std::string>() + "\",\"participants\":1,",
                              c.separator.size()),
                  c.separator.size());
        EXPECT_EQ(added.back(), '\n');
    }
}

} // namespace
