// Ends a whole run at each of its file operations in turn, as a power cut or a kill would, and
// checks what the crash left: every table of the records file whole (old or new) and nothing
// else of it changed, every output the earlier file or the complete new one, the history's
// earlier lines intact with at most one snapshot added. A second run without a crash must then
// reach exactly the state of an uninterrupted run, leftovers gone, one snapshot appended.
// The game folder holds a league file with decisions, a roster, teams and an archived season:
// the sweep covers their run too.
#include "data/decisions.h"
#include "history/all_time.h"
#include "history/season.h"
#include "history/snapshot.h"
#include "league/league_file.h"
#include "model/ranking_model.h"
#include "platform/fs.h"
#include "records/record_tables.h"
#include "report/ranking_csv.h"
#include "report/ranking_html.h"
#include "report/ranking_json.h"
#include "report/ranking_report.h"
#include "support/faulty_env.h"
#include "support/game_folder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iostream>
#include <regex>
#include <set>

namespace {

using namespace kvr;
using kvrtest::GameFolder;
using kvrtest::ParticipantFileBuilder;
using kvrtest::platformText;
namespace fs = std::filesystem;

const std::string History = "season.jsonl";
const std::vector<std::string> Arguments = {"--html", "ranking.html", "--json",    "ranking.json",
                                            "--csv",  "ranking.csv",  "--history", History};
const std::vector<std::string> Outputs = {"ranking.txt", "ranking.html", "ranking.json",
                                          "ranking.csv"};

std::vector<std::pair<std::string, ParticipantFileBuilder>> members() {
    std::vector<std::pair<std::string, ParticipantFileBuilder>> list;
    for (int i = 0; i < 4; ++i) {
        ParticipantFileBuilder image;
        image.code(std::string(2, static_cast<char>('K' + i)))
            .name("Racer, \"" + std::to_string(i) + "\"");
        for (int r = 0; r < 8; ++r) {
            image.stage(r, i, static_cast<uint8_t>(r), 4000u + 13u * static_cast<uint32_t>(i + r));
            image.arcade(r, 0x41, 7000u - 10u * static_cast<uint32_t>(i * r));
        }
        list.emplace_back("m" + std::to_string(i) + ".kvr", image);
    }
    return list;
}

// The league file in the game folder: a decision of every kind, one matching nothing. KK's
// only time in Finland 1 goes, and with it that stage's record; NN's best Arcade Sweden goes
// to MM. KK and LL are one driver of the roster, renamed; two teams; one archived season.
const std::string LeagueText =
    "[[decision]]\ndate = 2026-12-01\nreason = \"r\"\naction = \"exclude-time\"\n"
    "code = \"KK\"\nname = 'Racer, \"0\"'\nevent = \"Finland 1\"\n"
    "[[decision]]\ndate = 2026-12-01\nreason = \"r\"\naction = \"add-time\"\n"
    "code = \"LL\"\nname = 'Racer, \"1\"'\nevent = \"Greece 2\"\nseconds = 5.5\n"
    "[[decision]]\ndate = 2026-12-01\nreason = \"r\"\naction = \"exclude-time\"\n"
    "code = \"NN\"\nname = 'Racer, \"3\"'\nevent = \"arcade-2\"\n"
    "[[decision]]\ndate = 2026-12-01\nreason = \"r\"\naction = \"exclude-file\"\n"
    "file = \"gone.kvr\"\n"
    "[[decision]]\ndate = 2026-12-01\nreason = \"r\"\naction = \"add-points\"\n"
    "code = \"MM\"\nname = 'Racer, \"2\"'\npoints = 3\n"
    "[[driver]]\ncode = \"KK\"\nname = \"Racer K\"\nteam = \"Fast\"\n"
    "also = [{ code = \"KK\", name = 'Racer, \"0\"' }, { code = \"LL\", name = 'Racer, \"1\"' }]\n"
    "[[team]]\nname = \"Fast\"\nmembers = [\"MM\"]\n"
    "[[team]]\nname = \"Slow\"\ncounted = 1\nmembers = [\"NN\"]\n"
    "[archive]\nseasons = [\"old.jsonl\"]\n";
const std::string Archived = "old.jsonl";

LeagueRules leagueRules() {
    LeagueFile league;
    std::string error;
    EXPECT_TRUE(parseLeagueFile(LeagueText, "kvrrank.toml", league, error)) << error;
    league.rules.file = "kvrrank.toml";
    return league.rules;
}

// Every date and time of a run's outputs replaced by one mark, so that two runs compare.
std::string withoutTimes(const std::string& text) {
    static const std::regex stamp(R"(\d{4}[.-]\d\d[.-]\d\d([ T]\d\d:\d\d:\d\d)?)");
    return std::regex_replace(text, stamp, "<time>");
}

RankingModel modelOf(const std::vector<ParticipantRecord>& imported,
                     const std::vector<std::string>& files) {
    return computeRankingModel(imported.data(), static_cast<int32_t>(imported.size()), files,
                               ReportTime{2026, 1, 2, 3, 4, 5});
}

// The outputs of an uninterrupted run over `imported` with the history `history`, under the
// league file's decisions, times taken out.
std::vector<std::string> newOutputs(const std::vector<ParticipantRecord>& imported,
                                    const std::vector<std::string>& files,
                                    const std::string& history, const std::string& archived) {
    RankingOptions options;
    options.league = leagueRules();
    DecidedField decided = applyDecisions(options.league.decisions, imported, files);
    const MergedDrivers merged = mergeDrivers(options.league.roster, decided.records);
    for (size_t i = 0; i < merged.primary.size(); ++i) {
        options.mergedFiles += merged.primary[i] != static_cast<int32_t>(i) ? 1 : 0;
    }
    options.driverFile = merged.primary;
    options.decided = &decided;
    options.imported = imported.data();
    options.headToHead = true;
    const RankingModel model =
        computeRankingModel(decided.records.data(), static_cast<int32_t>(decided.records.size()),
                            files, ReportTime{2026, 1, 2, 3, 4, 5}, options);
    const auto aliases = options.league.roster.aliases();
    const SeasonChanges season =
        history::compareSeason(history::readHistory(history, &aliases), model);
    const AllTime allTime = history::buildAllTime(
        {{"old", *history::finalStandings(archived, aliases)}}, model, "season", {});
    RunResults run(model, &season);
    run.allTime = &allTime;
    return {withoutTimes(platformText(renderText(model))), withoutTimes(renderHtml(run)),
            withoutTimes(renderJson(run)), withoutTimes(renderCsv(run))};
}

// Checks that `now` is `earlier` with at most one snapshot line added (`mustAdd`: exactly
// one), after a line feed when `earlier` did not end with one.
void expectOneSnapshotAdded(const std::string& earlier, const std::string& now, bool mustAdd) {
    ASSERT_EQ(now.substr(0, earlier.size()), earlier);
    std::string added = now.substr(earlier.size());
    if (added.empty()) {
        EXPECT_FALSE(mustAdd);
        return;
    }
    if (!earlier.empty() && earlier.back() != '\n') {
        ASSERT_EQ(added[0], '\n');
        added.erase(0, 1);
    }
    ASSERT_FALSE(added.empty());
    EXPECT_EQ(added.find('\n'), added.size() - 1) << added;
    EXPECT_TRUE(history::parseSnapshot(added.substr(0, added.size() - 1)).has_value()) << added;
}

std::set<std::string> namesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().u8string());
    }
    return names;
}

std::vector<uint8_t> range(const std::vector<uint8_t>& bytes, size_t offset, size_t size) {
    return std::vector<uint8_t>(bytes.begin() + static_cast<long>(offset),
                                bytes.begin() + static_cast<long>(offset + size));
}

// What a crash in each phase may leave, told apart by the console it left.
enum class Phase { Import, Update, Report };
struct Expectation {
    Phase phase;
    bool recordsMayBeNew; // each table old or new; otherwise both old
    bool recordsMustBeNew;
    bool outputsMayBeNew; // each output the earlier one or the complete new one
};
const Expectation Expectations[] = {
    {Phase::Import, false, false, false},
    {Phase::Update, true, false, false},
    {Phase::Report, true, true, true},
};

// The game folder before each crash, and what an uninterrupted run makes of it.
struct Scenario {
    std::vector<std::pair<std::string, ParticipantFileBuilder>> group = members();
    std::vector<ParticipantRecord> imported;
    std::vector<std::string> files;
    std::string earlierHistory;
    std::string archived; // an earlier season, never changed
    std::vector<std::string> fresh;
    std::vector<uint8_t> recordsBefore = kvrtest::syntheticRecordsFile(6000);
    std::vector<uint8_t> stageNew, arcadeNew, recordsAfter;

    Scenario() {
        for (const auto& m : group) {
            imported.push_back(m.second.record());
            files.push_back(m.first);
        }
        // An earlier run of the first two, and a torn line after it.
        const std::vector<ParticipantRecord> firstTwo(imported.begin(), imported.begin() + 2);
        earlierHistory = history::snapshotLine(modelOf(firstTwo, {files[0], files[1]})) +
                         "{\"kvrrank_history\":1,\"at\":\"20";
        archived = history::snapshotLine(modelOf(imported, files));
        fresh = newOutputs(imported, files, earlierHistory, archived);
        std::vector<ParticipantRecord> decided =
            applyDecisions(leagueRules().decisions, imported, files).records;
        mergeDrivers(leagueRules().roster, decided);
        RecordTables tables;
        selectBestTimes(decided.data(), static_cast<int32_t>(decided.size()), tables);
        stageNew.assign(tables.stageBytes(), tables.stageBytes() + StageRecordsSize);
        arcadeNew.assign(tables.arcadeBytes(), tables.arcadeBytes() + ArcadeRecordsSize);
        recordsAfter = recordsBefore;
        std::memcpy(&recordsAfter[StageRecordsOffset], stageNew.data(), StageRecordsSize);
        std::memcpy(&recordsAfter[ArcadeRecordsOffset], arcadeNew.data(), ArcadeRecordsSize);
    }

    // Lays the folder out as before the run.
    void prepare(GameFolder& game) const {
        kvrtest::writeBytes(game.recordsPath(), recordsBefore);
        for (const auto& m : group) {
            game.addParticipant(m.first, m.second);
        }
        for (const std::string& output : Outputs) {
            kvrtest::writeText(game / output, "earlier " + output + "\n");
        }
        kvrtest::writeText(game / History, earlierHistory);
        kvrtest::writeText(game / Archived, archived);
        kvrtest::writeText(game / "kvrrank.toml", LeagueText);
    }
};

// The run in `game`, ended at its k-th file operation (exit status 0: it has fewer).
// With `watch`, the run is a watch's first, asked to stop at once: it ends after that run.
kvrtest::ProcessResult crashAt(const GameFolder& game, long k, bool watch = false) {
    std::vector<std::string> crashArguments = {std::to_string(k)};
    crashArguments.insert(crashArguments.end(), Arguments.begin(), Arguments.end());
    if (watch) {
        crashArguments.push_back("--watch");
    }
    return kvrtest::runProgram(KVRCRASH_BINARY, game.path(), crashArguments);
}

Phase phaseOf(const kvrtest::ProcessResult& crashed) {
    const std::string update = platformText("updateing Configuration/gameinfo.rcf");
    return crashed.output.find(update + "... ok!") != std::string::npos ? Phase::Report
           : crashed.output.find(update) != std::string::npos           ? Phase::Update
                                                                        : Phase::Import;
}

// Checks what the crash left in `game` against what its phase allows.
void expectCrashLeftOldOrNew(const Scenario& s, const GameFolder& game, Phase phase) {
    const Expectation& expect = Expectations[static_cast<int>(phase)];
    // The records file: outside the tables untouched, each table whole.
    const std::vector<uint8_t> records = game.records();
    ASSERT_EQ(records.size(), s.recordsBefore.size());
    const std::vector<uint8_t> stage = range(records, StageRecordsOffset, StageRecordsSize);
    const std::vector<uint8_t> arcade = range(records, ArcadeRecordsOffset, ArcadeRecordsSize);
    std::vector<uint8_t> outside = records;
    std::memcpy(&outside[StageRecordsOffset], &s.recordsBefore[StageRecordsOffset],
                StageRecordsSize);
    std::memcpy(&outside[ArcadeRecordsOffset], &s.recordsBefore[ArcadeRecordsOffset],
                ArcadeRecordsSize);
    EXPECT_EQ(outside, s.recordsBefore);
    const bool stageOld = stage == range(s.recordsBefore, StageRecordsOffset, StageRecordsSize);
    const bool arcadeOld = arcade == range(s.recordsBefore, ArcadeRecordsOffset, ArcadeRecordsSize);
    if (expect.recordsMustBeNew) {
        EXPECT_TRUE(stage == s.stageNew && arcade == s.arcadeNew);
    } else if (expect.recordsMayBeNew) {
        EXPECT_TRUE(stageOld || stage == s.stageNew);
        EXPECT_TRUE(arcadeOld || arcade == s.arcadeNew);
    } else {
        EXPECT_TRUE(stageOld && arcadeOld);
    }
    for (size_t i = 0; i < Outputs.size(); ++i) {
        const std::string now = kvrtest::readText(game / Outputs[i]);
        const bool earlier = now == "earlier " + Outputs[i] + "\n";
        EXPECT_TRUE(earlier || (expect.outputsMayBeNew && withoutTimes(now) == s.fresh[i]))
            << Outputs[i];
    }
    expectOneSnapshotAdded(s.earlierHistory, kvrtest::readText(game / History), false);
    EXPECT_EQ(kvrtest::readText(game / Archived), s.archived);
}

// The next run mends everything, and compares with the history as the crash left it.
void expectNextRunMends(const Scenario& s, const GameFolder& game) {
    const std::string historyLeft = kvrtest::readText(game / History);
    const std::vector<std::string> mended =
        historyLeft == s.earlierHistory ? s.fresh
                                        : newOutputs(s.imported, s.files, historyLeft, s.archived);
    kvrtest::ProcessResult next = kvrtest::runProgram(KVRRANK_BINARY, game.path(), Arguments);
    EXPECT_EQ(next.exitStatus, 0) << next.errors;
    EXPECT_EQ(next.errors, "");
    EXPECT_EQ(game.records(), s.recordsAfter);
    for (size_t i = 0; i < Outputs.size(); ++i) {
        EXPECT_EQ(withoutTimes(kvrtest::readText(game / Outputs[i])), mended[i]) << Outputs[i];
    }
    expectOneSnapshotAdded(historyLeft, kvrtest::readText(game / History), true);
    EXPECT_EQ(kvrtest::readText(game / Archived), s.archived);
    std::set<std::string> expectedNames = {"Configuration", "kvr", History, "kvrrank.toml",
                                           Archived};
    expectedNames.insert(Outputs.begin(), Outputs.end());
    EXPECT_EQ(namesIn(game.path()), expectedNames);
    EXPECT_EQ(namesIn(game / "Configuration"), std::set<std::string>{"gameinfo.rcf"});
}

// The sweep runs in shards, each a test of its own, so that ctest runs them side by side and
// none runs long under ASan or Wine (the whole sweep is some 100 crashes on Linux, 70 on
// Windows). Shard s ends the run at operations s+1, s+1+Shards, s+1+2*Shards, ... up to the
// first one past the run's end. Strided, every shard meets each phase and each output's run of
// operations with a temporary file, as long as those runs are at least Shards long (the update
// is 7 operations on Windows, a temporary file lives through 5).
constexpr int Shards = 5;

class CrashSweep : public ::testing::TestWithParam<int> {};

TEST_P(CrashSweep, ACrashAtAnyOperationIsMendedByTheNextRun) {
    const Scenario s;
    const bool watch = GetParam() >= Shards; // the second set of shards sweeps a watch
    int crashes = 0, leftovers = 0, byPhase[3] = {0, 0, 0};
    for (long k = GetParam() % Shards + 1;; k += Shards) {
        ASSERT_LT(k, 1000) << "the sweep does not end";
        SCOPED_TRACE("crash at operation " + std::to_string(k));
        GameFolder game(s.recordsBefore.size());
        s.prepare(game);
        const kvrtest::ProcessResult crashed = crashAt(game, k, watch);
        if (crashed.exitStatus == 0) {
            break; // past the run's last operation
        }
        ASSERT_EQ(crashed.exitStatus, kvrtest::CrashExitStatus) << crashed.errors;
        ++crashes;
        const Phase phase = phaseOf(crashed);
        ++byPhase[static_cast<int>(phase)];
        expectCrashLeftOldOrNew(s, game, phase);
        if (namesIn(game.path()).size() > 5 + Outputs.size()) {
            ++leftovers;
        }
        expectNextRunMends(s, game);
    }
    // Every phase met crashes, and some left a temporary file for the next run to remove. A
    // phase shorter than Shards operations can miss a shard: then fewer shards.
    EXPECT_GT(byPhase[0], 0) << "no crash while importing";
    EXPECT_GT(byPhase[1], 0) << "no crash while updating the records file";
    EXPECT_GT(byPhase[2], 0) << "no crash while writing the report and exports";
    EXPECT_GT(leftovers, 0) << "no crash left a temporary file";
    std::cout << "[ crashes  ] " << (watch ? "watch: " : "") << crashes << " crash points ("
              << byPhase[0] << " import, " << byPhase[1] << " update, " << byPhase[2]
              << " report and exports); " << leftovers
              << " left a temporary file, removed by the next run\n";
}

INSTANTIATE_TEST_SUITE_P(Shard, CrashSweep, ::testing::Range(0, 2 * Shards));

// The run's last operations come after its snapshot is out: a crash at the very last one
// leaves the snapshot added, and the next run still adds one of its own.
TEST(CrashSweepEnd, ACrashAfterTheSnapshotIsOutStillAddsTheNextRunsOwn) {
    const Scenario s;
    // The last operation: the first k that is past the run's end, less one. Doubling, then
    // halving the gap.
    const auto crashes = [&s](long k) {
        GameFolder game(s.recordsBefore.size());
        s.prepare(game);
        const kvrtest::ProcessResult run = crashAt(game, k);
        EXPECT_TRUE(run.exitStatus == 0 || run.exitStatus == kvrtest::CrashExitStatus)
            << "operation " << k << ": exit status " << run.exitStatus << ", " << run.errors;
        return run.exitStatus == kvrtest::CrashExitStatus;
    };
    long crashing = 1, past = 2;
    ASSERT_TRUE(crashes(crashing));
    while (crashes(past)) {
        crashing = past;
        past *= 2;
        ASSERT_LT(past, 2000) << "the run does not end";
    }
    while (past - crashing > 1) {
        const long middle = crashing + (past - crashing) / 2;
        (crashes(middle) ? crashing : past) = middle;
    }

    GameFolder game(s.recordsBefore.size());
    s.prepare(game);
    const kvrtest::ProcessResult crashed = crashAt(game, crashing);
    ASSERT_EQ(crashed.exitStatus, kvrtest::CrashExitStatus) << crashed.errors;
    ASSERT_EQ(phaseOf(crashed), Phase::Report);
    expectCrashLeftOldOrNew(s, game, Phase::Report);
    EXPECT_NE(kvrtest::readText(game / History), s.earlierHistory)
        << "a crash at operation " << crashing << ", the last, left no snapshot";
    expectNextRunMends(s, game);
}

} // namespace
