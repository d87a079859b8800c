#include "app/run.h"

#include "app/run_compute.h"
#include "app/run_steps.h"
#include "platform/console.h"
#include "report/review_text.h"

namespace kvr {

int runKvrRank(platform::Env& env, std::FILE* console, std::FILE* errors, const RunOptions& options,
               const ReportTime& now) {
    RunRequest request;
    // A season held by another kvrrank is the first thing said, before the files' lines.
    const std::string& season = options.file(Output::History);
    request.holderTold =
        !season.empty() && tellSeasonHolder(env, season, options.seasonWait, console);
    if (!importFolder(env, options, request.imported, console, errors)) {
        return ExitFailure;
    }
    request.now = now;
    RunMemory memory;
    return runSteps(env, options, std::move(request), memory, {}, console, errors).status;
}

int reviewKvrRank(platform::Env& env, std::FILE* console, std::FILE* errors,
                  const RunOptions& options, const ReportTime& now) {
    RunOptions looking = options;
    looking.reviewOnly = true;
    ImportedFolder imported;
    if (!importFolder(env, looking, imported, nullptr, errors)) {
        return ExitFailure;
    }
    std::optional<ComputedRun> run = computeImported(looking, std::move(imported), now, errors);
    if (!run) {
        return ExitFailure;
    }
    platform::writeConsole(console, reviewListing(run->model));
    tellDecisionMisses(*run, options.league, console);
    return ExitSuccess;
}

} // namespace kvr
