#include "app/run_compute.h"

#include "data/text.h"
#include "history/season.h"
#include "history/snapshot.h"
#include "platform/console.h"
#include "platform/fs.h"

#include <map>
#include <utility>

namespace kvr {

namespace {

constexpr const char* NotAHistory = "not a kvrrank history file";

// Console pieces appear as they are written, so a name stands before its outcome. The console
// is a courtesy: a write that fails (its reader has gone) is not a failure of the run.
void say(std::FILE* console, const std::string& text) {
    if (console != nullptr) { // none: a run that only looks
        platform::writeConsole(console, text);
    }
}

} // namespace

platform::Status importParticipant(platform::Env& env, const GamePlaces& game,
                                   const std::string& name, ParticipantRecord& record,
                                   std::FILE* console) {
    say(console, "importing " + safeText(name));
    platform::Status read =
        readParticipantFile(env, game.path(participantPath(name)).c_str(), record);
    say(console, read ? " ... ok!\n" : " ... failed!\n");
    return read;
}

void tellNothingToImport(const GamePlaces& game, const std::string& reason, std::FILE* console,
                         std::FILE* errors) {
    say(console, "not found kvr file\n");
    if (!reason.empty()) {
        complain(errors, game.shownParticipantFolder(), reason);
    }
}

bool importFolder(platform::Env& env, const RunOptions& options, ImportedFolder& imported,
                  std::FILE* console, std::FILE* errors) {
    std::vector<platform::FolderEntry> entries;
    platform::Status listed = platform::listFolder(
        env, options.game.path(ParticipantFolder).c_str(), ParticipantExtension, entries);
    if (!listed || entries.empty()) {
        tellNothingToImport(options.game, listed ? "no .kvr file in this folder" : listed.reason(),
                            console, errors);
        return false;
    }
    imported.records.reserve(entries.size());
    imported.files.reserve(entries.size());
    ParticipantRecord scratch{};
    for (platform::FolderEntry& entry : entries) {
        if (entry.isFolder) {
            continue;
        }
        ++imported.fileEntries;
        platform::Status read = importParticipant(env, options.game, entry.name, scratch, console);
        if (read) {
            imported.records.push_back(scratch);
            imported.files.push_back(std::move(entry.name)); // the listing is dropped after
        } else {
            complain(errors, participantPath(entry.name), read.reason());
            imported.notImported.push_back({validUtf8(entry.name), safeText(read.reason())});
        }
    }
    return true;
}

void compareWithSeason(const SeasonRead& history, ComputedRun& run,
                       std::optional<SeasonDigest>* kept) {
    if (!history.problem.empty()) {
        run.seasonProblem = history.problem;
        return;
    }
    // Earlier lines name a renamed driver as they were written: read as the roster names them.
    std::map<DriverIdentity, DriverIdentity> aliases = run.model.league.roster.aliases();
    std::optional<SeasonDigest> read;
    std::optional<SeasonDigest>& season = kept != nullptr ? *kept : read;
    if (!season || season->aliases != aliases) {
        history::HistoryDigest digest = history::readHistory(history.content, &aliases);
        season = SeasonDigest{std::move(aliases), std::move(digest)};
    }
    const history::HistoryDigest& digest = season->digest;
    if (!digest.isHistory()) {
        run.seasonProblem = NotAHistory;
        return;
    }
    const history::EntrantChange entrants = history::entrantChange(digest, run.model);
    run.season = history::compareSeason(digest, run.model, &entrants);
    run.historyEntry =
        history::textToAppend(history.content, history::snapshotLine(run.model, &entrants));
}

std::optional<ComputedRun> computeImported(const RunOptions& options, ImportedFolder imported,
                                           const ReportTime& now, std::FILE* errors) {
    // Nothing imported: neither the records file nor the report is touched.
    if (imported.records.empty()) {
        complain(errors, options.game.shownParticipantFolder(),
                 imported.fileEntries == 0
                     ? "only folders, no participant file"
                     : "no participant file could be imported, nothing updated");
        return std::nullopt;
    }
    ComputedRun run;
    run.notImported = std::move(imported.notImported);
    // Decided before the best times are chosen: the records file never receives a time
    // decided against. The records as imported are kept beside the decided ones only when
    // there are decisions.
    const bool decisions = !options.league.decisions.empty();
    if (decisions) {
        run.imported = imported.records;
    }
    run.decided =
        applyDecisions(options.league.decisions, std::move(imported.records), imported.files);
    // Merging a driver's files moves one file's times to another: the checks find implausible
    // files in the records as imported, kept above with decisions, else found here before.
    const Roster& roster = options.league.roster;
    std::optional<std::vector<Implausible>> implausible;
    if (!decisions && (!roster.drivers.empty() || roster.mergeCopies)) {
        implausible = implausibleFiles(run.decided.records.data(),
                                       static_cast<int32_t>(run.decided.records.size()));
    }
    // A driver's files become one participant before the best times are chosen, so that the
    // records file names the driver as the roster does.
    const MergedDrivers merged = mergeDrivers(roster, run.decided.records);
    const std::vector<ParticipantRecord>& participants = run.decided.records;
    selectBestTimes(participants.data(), static_cast<int32_t>(participants.size()), run.records);

    // The drivers' results and the checks are worked out only for the outputs that show them.
    RankingOptions ranking;
    ranking.driverResults = options.live;
    for (const OutputKind& kind : outputTable()) {
        ranking.driverResults = ranking.driverResults ||
                                (kind.showsDriverResults && !options.file(kind.output).empty());
    }
    // The post tells what is under review, and --review lists it.
    ranking.checks =
        ranking.driverResults || !options.file(Output::Post).empty() || options.reviewOnly;
    ranking.league = options.league;
    for (size_t i = 0; i < merged.primary.size(); ++i) {
        ranking.mergedFiles += merged.primary[i] != static_cast<int32_t>(i) ? 1 : 0;
    }
    if (merged.merged) {
        ranking.driverFile = merged.primary;
    }
    ranking.implausible = std::move(implausible);
    ranking.headToHead = !options.league.roster.drivers.empty() ||
                         !options.league.roster.teams.empty() || !options.archive.empty();
    if (decisions) {
        ranking.decided = &run.decided;
        ranking.imported = run.imported.data();
    }
    run.model = computeRankingModel(participants.data(), static_cast<int32_t>(participants.size()),
                                    std::move(imported.files), now, ranking);
    return run;
}

} // namespace kvr
