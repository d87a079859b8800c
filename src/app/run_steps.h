// The steps of a run, written once for every trigger: a command line, a double-click, a watch
// that saw files settle. A trigger decides only when, on which files and under which rules.
#pragma once

#include "app/run_compute.h"
#include "output/destination.h"
#include "output/run_options.h"
#include "platform/env.h"

#include <cstdio>
#include <optional>
#include <vector>

namespace kvr {

// What a trigger hands a run.
struct RunRequest {
    ImportedFolder imported; // the participant files read
    ReportTime now;          // the local time the run is of
    bool tellUpdate = true;  // the console hears the records file's update
    bool tellMisses = true;  // the console hears the decisions that matched nothing
    bool holderTold = false; // the season's holder was told before the files were read
};

// What a trigger keeps from one run to the next; a one-off run's is fresh.
struct RunMemory {
    // The season, held by the trigger for all its runs (a watch adds one line when it ends);
    // nullptr: each run holds it while it publishes and adds its own line.
    SeasonHold* season = nullptr;
    std::optional<SeasonDigest> seasonDigest; // the held season as read
    std::optional<ArchiveRead> archive;       // the archive as last read
};

struct RunDone {
    int status = ExitFailure;
    std::optional<ComputedRun> run; // nothing when nobody could be ranked
    PublishOutcome outcome;
};

// Runs the steps in one order: computes the run, holds the season and compares with it, reads
// the archive, publishes every output to the run's files and to `more` destinations, and tells
// what the organiser must hear. Every failure gets one line on `errors`.
RunDone runSteps(platform::Env& env, const RunOptions& options, RunRequest request,
                 RunMemory& memory, const std::vector<Destination*>& more, std::FILE* console,
                 std::FILE* errors);

// One console line for each decision of `league` that matched nothing in `run`, with why.
void tellDecisionMisses(const ComputedRun& run, const LeagueRules& league, std::FILE* console);

} // namespace kvr
