// A run computed as a value: everything it would write and show, made from the game folder and
// the league's rules with no effect on any file but the reads it needs.
#pragma once

#include "data/decisions.h"
#include "data/participant.h"
#include "history/all_time.h"
#include "history/snapshot.h"
#include "model/ranking_model.h"
#include "model/run_results.h"
#include "model/season_changes.h"
#include "output/run_options.h"
#include "output/season_hold.h"
#include "platform/env.h"
#include "records/record_tables.h"

#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kvr {

struct ComputedRun {
    ComputedRun() = default;
    // The model points into the decided records: moved whole, never copied.
    ComputedRun(ComputedRun&&) = default;
    ComputedRun& operator=(ComputedRun&&) = default;
    ComputedRun(const ComputedRun&) = delete;
    ComputedRun& operator=(const ComputedRun&) = delete;

    std::vector<ParticipantRecord> imported; // as read; kept only when there are decisions
    DecidedField decided;                    // what the decisions made of them
    std::vector<NotImported> notImported;    // in listing order
    RecordTables records;                    // the best times for the game's records file
    RankingModel model;
    std::optional<SeasonChanges> season; // with a history that could be used
    std::string seasonProblem;           // why the history could not be used; empty if it could
    std::string historyEntry;            // what this run adds to the history
    std::optional<AllTime> allTime;      // with an archive of earlier seasons

    RunResults results() const {
        RunResults results(model, season ? &*season : nullptr, &notImported);
        results.allTime = allTime ? &*allTime : nullptr;
        return results;
    }
};

// Reads the participant file `name` of the game folder into `record`, telling it on `console`
// ("importing NAME ... ok!"; null: silently).
platform::Status importParticipant(platform::Env& env, const GamePlaces& game,
                                   const std::string& name, ParticipantRecord& record,
                                   std::FILE* console);

// What a run that finds no participant file says: "not found kvr file" on the console, and
// why on `errors` (nothing there when `reason` is empty).
void tellNothingToImport(const GamePlaces& game, const std::string& reason, std::FILE* console,
                         std::FILE* errors);

// Lists and imports every participant file of the game folder, telling each on `console` and
// each failure on `errors`. False, with the reason told, when it has no participant file.
bool importFolder(platform::Env& env, const RunOptions& options, ImportedFolder& imported,
                  std::FILE* console, std::FILE* errors);

// The run of the participants read at the local time `now`: the league's decisions applied, the
// best times chosen and the model computed. Nothing, with the reason told, when none could be
// imported.
std::optional<ComputedRun> computeImported(const RunOptions& options, ImportedFolder imported,
                                           const ReportTime& now, std::FILE* errors);

// A season's lines as read, with the roster's aliases they were read under.
struct SeasonDigest {
    std::map<DriverIdentity, DriverIdentity> aliases;
    history::HistoryDigest digest;
};

// Adds to `run` the season's changes since the runs of `history`, and what this run adds to
// the history; or why the history cannot be used. With `kept`, which holds nothing or a digest
// of this same `history`, the digest is read only when `kept` has none read under the aliases
// of `run`'s roster, and then kept there: a watch holds its season unchanged from run to run.
void compareWithSeason(const SeasonRead& history, ComputedRun& run,
                       std::optional<SeasonDigest>* kept = nullptr);

// The archive's seasons as read: each season's final standings, or why it was left out.
struct ArchiveRead {
    std::vector<std::string> files;                   // as given, in the archive's order
    std::map<DriverIdentity, DriverIdentity> aliases; // the roster's, as the seasons were read
    std::vector<history::ArchivedSeason> seasons;
    std::vector<UnreadSeason> unread;
};

// Reads the archive's seasons, read only and under a shared lock, with the aliases of `run`'s
// roster. A season that cannot be read or is no history is told on `errors` and left out.
ArchiveRead readArchive(platform::Env& env, const RunOptions& options, const ComputedRun& run,
                        std::FILE* errors);

// Whether `read` is of the archive and roster that `options` and `run` have now.
bool archiveReadFor(const ArchiveRead& read, const RunOptions& options, const ComputedRun& run);

// Adds to `run` the all-time table over the archive's seasons and this run.
void addAllTime(const RunOptions& options, const ArchiveRead& archive, ComputedRun& run);

} // namespace kvr
