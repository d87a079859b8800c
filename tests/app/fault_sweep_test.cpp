// Makes each file operation of a whole run fail in turn, and checks after every run that
// nothing was lost: the records file holds its earlier bytes or exactly the new tables, the
// report is the earlier one or the complete new one, and no temporary file is left.
#include "app/run.h"
#include "league/league_file.h"

#include "model/ranking_model.h"
#include "platform/fs.h"
#include "records/record_tables.h"
#include "report/ranking_report.h"
#include "support/faulty_env.h"
#include "support/game_folder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <set>
#include <sstream>

namespace {

// The time every run of these tests is of.
const kvr::ReportTime TestNow{2026, 12, 10, 20, 0, 0};

using namespace kvr;
using kvrtest::GameFolder;
using kvrtest::ParticipantFileBuilder;
namespace fs = std::filesystem;

struct Member {
    std::string file;
    ParticipantFileBuilder image;
};

// A group of five with overlapping stage and arcade times, junk in the ignored bytes and a
// code without its NUL; listed in this order.
std::vector<Member> group() {
    std::vector<Member> members;
    for (int i = 0; i < 5; ++i) {
        ParticipantFileBuilder image;
        std::string code = i == 3 ? "LONG" : std::string(3, static_cast<char>('A' + i));
        image.code(code)
            .name("Driver " + std::to_string(i))
            .date(170, 5, 20)
            .junk(static_cast<uint32_t>(i + 1));
        for (int r = 0; r < 8; ++r) {
            for (int s = 0; s < 10; s += 1 + i) {
                image.stage(r, s, static_cast<uint8_t>(i * 5 + s),
                            5000u + 37u * static_cast<uint32_t>(i * s + r));
            }
            image.arcade(r, static_cast<uint8_t>(0x40 | r),
                         9000u - 100u * static_cast<uint32_t>(i));
        }
        members.push_back({std::string(1, static_cast<char>('a' + i)) + ".kvr", image});
    }
    return members;
}

const std::string EarlierReport = "an earlier report\nkept byte for byte\n";

void fillGameFolder(const GameFolder& game, const std::vector<Member>& members) {
    for (const Member& m : members) {
        kvrtest::writeBytes(game / "kvr" / m.file, m.image.bytes());
    }
    fs::create_directory(game / "kvr" / "saved.kvr"); // a folder entry, skipped
    kvrtest::writeText(game / "ranking.txt", EarlierReport);
}

struct Outcome {
    int status;
    std::string console;
    long operations;
};

// One whole run in `folder` with the k-th operation failing (none when 0).
Outcome runWithFaultAt(const fs::path& folder, long k, const RunOptions& options) {
    kvrtest::WorkingFolder here(folder);
    kvrtest::FaultyEnv env;
    env.failAt(k);
    kvrtest::ConsoleRun run =
        kvrtest::captureConsole([&options, &env](std::FILE* console, std::FILE* errors) {
            return runKvrRank(env, console, errors, options, TestNow);
        });
    return Outcome{run.status, run.console, env.operations()};
}

// The files imported, and the league's decisions on them.
struct Imported {
    std::vector<ParticipantRecord> records;
    std::vector<std::string> files;
    const LeagueRules* league;

    DecidedField decided() const { return applyDecisions(league->decisions, records, files); }
};

std::vector<uint8_t> withTables(std::vector<uint8_t> records, const Imported& imported) {
    const std::vector<ParticipantRecord> decided = imported.decided().records;
    RecordTables tables;
    selectBestTimes(decided.data(), static_cast<int32_t>(decided.size()), tables);
    std::memcpy(&records[StageRecordsOffset], tables.stageBytes(), StageRecordsSize);
    std::memcpy(&records[ArcadeRecordsOffset], tables.arcadeBytes(), ArcadeRecordsSize);
    return records;
}

// The complete report over `imported`, at the time its "Ranking at" line shows.
std::string completeReport(const std::string& written, const Imported& imported) {
    ReportTime time;
    const char* at = std::strstr(written.c_str(), "Ranking at ");
    if (at == nullptr || std::sscanf(at, "Ranking at %d.%d.%d %d:%d:%d", &time.year, &time.month,
                                     &time.day, &time.hour, &time.minute, &time.second) != 6) {
        return "(no time line)";
    }
    const DecidedField decided = imported.decided();
    RankingOptions options{false, false, *imported.league};
    options.decided = &decided;
    options.imported = imported.records.data();
    return kvrtest::platformText(renderText(
        computeRankingModel(decided.records.data(), static_cast<int32_t>(decided.records.size()),
                            imported.files, time, options)));
}

std::set<std::string> namesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

// Every kind of decision, on the group; one matches nothing.
const char* const Decisions =
    "[[decision]]\ndate = 2026-12-01\nreason = \"r\"\naction = \"exclude-time\"\n"
    "code = \"AAA\"\nname = \"Driver 0\"\nevent = \"Finland 1\"\n"
    "[[decision]]\ndate = 2026-12-01\nreason = \"r\"\naction = \"add-time\"\n"
    "code = \"BBB\"\nname = \"Driver 1\"\nevent = \"Greece 1\"\nseconds = 0.5\n"
    "[[decision]]\ndate = 2026-12-01\nreason = \"r\"\naction = \"exclude-file\"\n"
    "file = \"e.kvr\"\n"
    "[[decision]]\ndate = 2026-12-01\nreason = \"r\"\naction = \"exclude-driver\"\n"
    "code = \"ZZZ\"\nname = \"Nobody\"\n"
    "[[decision]]\ndate = 2026-12-01\nreason = \"r\"\naction = \"add-points\"\n"
    "code = \"CCC\"\nname = \"Driver 2\"\npoints = 7\n";

void sweepFaults(const RunOptions& options) {
    const std::vector<Member> members = group();
    const std::vector<uint8_t> recordsBefore = kvrtest::syntheticRecordsFile(6000);
    const std::string updateLine = "updateing Configuration/gameinfo.rcf";
    int listingFaults = 0, importFaults = 0, updateFaults = 0, reportFaults = 0;

    long k = 1;
    for (;; ++k) {
        ASSERT_LT(k, 1000) << "the sweep does not end";
        SCOPED_TRACE("fault at operation " + std::to_string(k));
        GameFolder game(recordsBefore.size());
        fillGameFolder(game, members);
        Outcome run = runWithFaultAt(game.path(), k, options);
        bool hit = run.operations >= k;

        const std::vector<uint8_t> records = game.records();
        ASSERT_EQ(records.size(), recordsBefore.size());
        EXPECT_EQ(namesIn(game.path()),
                  (std::set<std::string>{"Configuration", "kvr", "ranking.txt"}));
        EXPECT_EQ(namesIn(game / "Configuration"), std::set<std::string>{"gameinfo.rcf"});
        const std::string report = kvrtest::readText(game / "ranking.txt");

        if (run.console == "not found kvr file\n") {
            // The listing failed: the run ended before touching anything.
            ++listingFaults;
            EXPECT_TRUE(hit);
            EXPECT_EQ(run.status, 1);
            EXPECT_EQ(records, recordsBefore);
            EXPECT_EQ(report, EarlierReport);
            continue;
        }

        // Every member has its import line, in order; the ones that failed are left out.
        Imported imported{{}, {}, &options.league};
        std::istringstream lines(run.console);
        std::string line;
        int failedImports = 0;
        for (const Member& m : members) {
            ASSERT_TRUE(std::getline(lines, line)) << run.console;
            if (line == "importing " + m.file + " ... ok!") {
                imported.records.push_back(m.image.record());
                imported.files.push_back(m.file);
            } else {
                ASSERT_EQ(line, "importing " + m.file + " ... failed!") << run.console;
                ++failedImports;
            }
        }
        std::string rest(std::istreambuf_iterator<char>(lines), {});
        // The decisions that matched nothing are told last, after the run's own lines.
        const size_t told = rest.find("\ndecision ");
        const std::string misses = told != std::string::npos ? rest.substr(told + 1) : "";
        rest.resize(told != std::string::npos ? told + 1 : rest.size());

        if (!hit) {
            // The sweep's end: the run as it is without faults.
            EXPECT_EQ(failedImports, 0);
            EXPECT_EQ(rest, updateLine + "... ok!\n");
            EXPECT_EQ(misses, options.league.decisions.empty()
                                  ? ""
                                  : "decision 4 (exclude-driver, 2026-12-01) matched nothing: no "
                                    "driver named \"Nobody\"\n");
            EXPECT_EQ(run.status, 0);
            EXPECT_EQ(records, withTables(recordsBefore, imported));
            EXPECT_EQ(report, completeReport(report, imported));
            break;
        }
        if (failedImports > 0) {
            // A failed import costs that file only: the run goes on with the others.
            ++importFaults;
            EXPECT_EQ(failedImports, 1);
            EXPECT_EQ(rest, updateLine + "... ok!\n");
            EXPECT_EQ(run.status, 0);
            EXPECT_EQ(records, withTables(recordsBefore, imported));
            EXPECT_EQ(report, completeReport(report, imported));
            continue;
        }

        const std::vector<uint8_t> newRecords = withTables(recordsBefore, imported);
        EXPECT_EQ(run.status, 1);
        if (rest == updateLine + "... failed!\n") {
            // A failed flush or close can come after the writes: then the new tables stand.
            ++updateFaults;
            EXPECT_TRUE(records == recordsBefore || records == newRecords);
            EXPECT_EQ(report, EarlierReport);
        } else {
            ++reportFaults;
            EXPECT_EQ(rest, updateLine + "... ok!\n");
            EXPECT_EQ(records, newRecords);
            // A failed flush of the folder comes after the rename.
            if (report != EarlierReport) {
                EXPECT_EQ(report, completeReport(report, imported));
            }
        }
    }
    // Every phase met faults: the seam sees the operations of each.
    EXPECT_GT(listingFaults, 0);
    EXPECT_GE(importFaults, static_cast<int>(members.size()));
    EXPECT_GT(updateFaults, 0);
    EXPECT_GT(reportFaults, 0);
    std::cout << "[ sweep    ] " << k - 1 << " fault points: " << listingFaults << " listing, "
              << importFaults << " import, " << updateFaults << " update, " << reportFaults
              << " report\n";
}

TEST(FaultSweep, NoFaultAtAnyOperationLosesData) {
    sweepFaults(RunOptions());
}

TEST(FaultSweep, NoFaultLosesDataWithDecisions) {
    LeagueFile league;
    std::string error;
    ASSERT_TRUE(parseLeagueFile(Decisions, "kvrrank.toml", league, error)) << error;
    RunOptions options;
    options.league = league.rules;
    options.league.file = "kvrrank.toml";
    sweepFaults(options);
}

size_t countOf(const std::string& text, const std::string& piece) {
    size_t count = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) {
        ++count;
    }
    return count;
}

// A fault at each operation of a run that keeps a season: the history holds its earlier bytes,
// or those and exactly one whole new line when only the flush or the close after the write
// failed; every failure is told and fails the run. The only fault a run survives is one that
// cost an import, and that import says so.
TEST(FaultSweep, TheHistoryLosesNoLine) {
    const std::vector<Member> members = group();
    const std::string earlier = "{\"kvrrank_history\":1,\"at\":\"2026-01-02T03:04:05\"}\n";
    int historyFaults = 0, importFaults = 0, otherFaults = 0, ownerFaults = 0;
    for (long k = 1;; ++k) {
        ASSERT_LT(k, 1000) << "the sweep does not end";
        SCOPED_TRACE("fault at operation " + std::to_string(k));
        GameFolder game(0);
        fillGameFolder(game, members);
        kvrtest::writeText(game / "season.jsonl", earlier);
        RunOptions options;
        options.updateRecords = false;
        options.file(Output::History) = "season.jsonl";
        kvrtest::WorkingFolder here(game.path());
        kvrtest::FaultyEnv env;
        env.failAt(k);
        kvrtest::ConsoleRun run =
            kvrtest::captureConsole([&](std::FILE* console, std::FILE* errors) {
                return runKvrRank(env, console, errors, options, TestNow);
            });
        const bool hit = env.operations() >= k;

        const std::string history = kvrtest::readText(game / "season.jsonl");
        ASSERT_EQ(history.substr(0, earlier.size()), earlier);
        const std::string added = history.substr(earlier.size());
        EXPECT_TRUE(added.empty() || added.find('\n') == added.size() - 1) << added;
        if (!hit) {
            EXPECT_EQ(run.status, 0) << run.errors;
            EXPECT_FALSE(added.empty());
            break;
        }
        if (run.errors.find("season.jsonl: ") != std::string::npos) {
            ++historyFaults;
            EXPECT_EQ(run.status, 1);
            EXPECT_EQ(countOf(run.errors, "\n"), 1u) << run.errors;
        } else if (run.status == 0 && run.errors.empty()) {
            // A fault in writing or removing the season's owner record: it only tells, so the
            // run goes on as if nothing happened.
            ++ownerFaults;
            EXPECT_EQ(countOf(run.console, " ... ok!\n"), members.size()) << run.console;
            EXPECT_FALSE(added.empty());
        } else if (run.status == 0) {
            // A fault that cost one import only: that import failed and said why, and the run
            // and its snapshot went on.
            ++importFaults;
            EXPECT_EQ(countOf(run.console, " ... failed!\n"), 1u) << run.console;
            EXPECT_EQ(countOf(run.console, " ... ok!\n"), members.size() - 1) << run.console;
            EXPECT_EQ(run.errors.rfind("kvrrank: kvr/", 0), 0u) << run.errors;
            EXPECT_EQ(countOf(run.errors, "\n"), 1u) << run.errors;
            EXPECT_FALSE(added.empty());
        } else {
            // The listing or ranking.txt failed, said so, and the run added nothing.
            ++otherFaults;
            EXPECT_EQ(run.status, 1);
            EXPECT_FALSE(run.errors.empty());
            EXPECT_TRUE(added.empty()) << added;
        }
    }
    // Opening, locking, reading, writing, flushing and closing the history each met a fault,
    // as did each import.
    EXPECT_GE(historyFaults, 6);
    EXPECT_GE(ownerFaults, 2);
    EXPECT_GE(importFaults, static_cast<int>(members.size()));
    EXPECT_GT(otherFaults, 0);
    std::cout << "[ sweep    ] " << historyFaults << " history, " << importFaults << " import, "
              << otherFaults << " other fault points\n";
}

// A fault at each operation of a run with a roster, teams and an archived season: the archive
// is never changed; a fault in reading it costs only the all-time table's season, told once on
// stderr and named in the JSON's checks; every other fault goes as without them.
TEST(FaultSweep, ARosterTeamsAndAnArchiveLoseNothing) {
    const std::vector<Member> members = group();
    const std::string archived =
        "{\"kvrrank_history\":1,\"at\":\"2025-06-01T10:00:00\",\"standings\":[{\"place\":1,"
        "\"code\":\"BBB\",\"name\":\"Driver 1\",\"points\":50}]}\n";
    LeagueFile league;
    std::string error;
    ASSERT_TRUE(parseLeagueFile("[[driver]]\ncode = \"AAA\"\nname = \"Ann\"\nteam = \"T\"\n"
                                "also = [{ code = \"AAA\", name = \"Driver 0\" }, "
                                "{ code = \"BBB\", name = \"Driver 1\" }]\n"
                                "[[team]]\nname = \"T\"\nmembers = [\"CCC\"]\n"
                                "[[team]]\nname = \"U\"\ncounted = 1\nmembers = [\"EEE\"]\n",
                                "kvrrank.toml", league, error))
        << error;
    int archiveFaults = 0, otherFaults = 0;
    for (long k = 1;; ++k) {
        ASSERT_LT(k, 1000) << "the sweep does not end";
        SCOPED_TRACE("fault at operation " + std::to_string(k));
        GameFolder game(6000);
        fillGameFolder(game, members);
        kvrtest::writeText(game / "old.jsonl", archived);
        RunOptions options;
        options.league = league.rules;
        options.league.file = "kvrrank.toml";
        options.archive = {"old.jsonl"};
        options.archiveShown = {"old.jsonl"};
        options.file(Output::Json) = "r.json";
        kvrtest::WorkingFolder here(game.path());
        kvrtest::FaultyEnv env;
        env.failAt(k);
        kvrtest::ConsoleRun run =
            kvrtest::captureConsole([&](std::FILE* console, std::FILE* errors) {
                return runKvrRank(env, console, errors, options, TestNow);
            });
        const bool hit = env.operations() >= k;
        EXPECT_EQ(kvrtest::readText(game / "old.jsonl"), archived);
        std::set<std::string> names = namesIn(game.path());
        names.erase("r.json");
        EXPECT_EQ(names,
                  (std::set<std::string>{"Configuration", "kvr", "ranking.txt", "old.jsonl"}));
        const bool archiveFault = run.errors.find("old.jsonl: ") != std::string::npos;
        if (fs::exists(game / "r.json") && run.status == 0) {
            const nlohmann::json json = nlohmann::json::parse(kvrtest::readText(game / "r.json"));
            const nlohmann::json& table = json["all_time"];
            EXPECT_EQ(table["seasons"].size(), archiveFault ? 1u : 2u);
            EXPECT_EQ(json["checks"]["archive_unread"].size(), archiveFault ? 1u : 0u);
            // The archived season's BBB is the roster's Ann now, with its 50 points.
            if (!archiveFault) {
                const auto ann = std::find_if(
                    table["drivers"].begin(), table["drivers"].end(),
                    [](const nlohmann::json& d) { return d["season_points"][0] == 50; });
                ASSERT_NE(ann, table["drivers"].end());
                EXPECT_EQ((*ann)["name"], "Ann");
            }
            EXPECT_EQ(json["teams"].size(), 2u);
        }
        if (!hit) {
            EXPECT_EQ(run.status, 0) << run.errors;
            EXPECT_EQ(run.errors, "");
            break;
        }
        if (archiveFault) {
            ++archiveFaults;
            EXPECT_EQ(run.status, 0);
            EXPECT_EQ(countOf(run.errors, "\n"), 1u) << run.errors;
            EXPECT_NE(run.errors.find("; left out of the all-time table"), std::string::npos);
        } else {
            ++otherFaults;
        }
    }
    // Opening, locking, reading and closing the archived season each met a fault.
    EXPECT_GE(archiveFaults, 3);
    EXPECT_GT(otherFaults, 0);
    std::cout << "[ sweep    ] " << archiveFaults << " archive, " << otherFaults
              << " other fault points\n";
}

} // namespace
