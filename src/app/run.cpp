#include "app/run.h"

#include "app/run_compute.h"
#include "app/run_publish.h"
#include "data/text.h"
#include "platform/console.h"
#include "platform/fs.h"
#include "report/decision_text.h"
#include "report/review_text.h"

#include <optional>

namespace kvr {

void tellDecisionMisses(const ComputedRun& run, const LeagueRules& league, std::FILE* console) {
    for (size_t d = 0; d < league.decisions.size() && d < run.decided.effects.size(); ++d) {
        if (!run.decided.effects[d].matched) {
            platform::writeConsole(console, safeText(decisionMissText(d + 1, league.decisions[d],
                                                                      run.decided.effects[d])) +
                                                "\n");
        }
    }
}

int runKvrRank(platform::Env& env, std::FILE* console, std::FILE* errors,
               const RunOptions& options) {
    std::optional<ComputedRun> run = computeRun(env, options, console, errors);
    if (!run) {
        return ExitFailure;
    }
    // The season is held before anything is written, until the last output is in place: a run
    // that cannot have it writes nothing, and two runs publish one after the other, each with
    // its season.
    const std::string& historyPath = options.file(Output::History);
    std::optional<SeasonHold> season;
    if (!historyPath.empty()) {
        season.emplace();
        if (!season->take(env, historyPath, options.seasonWait)) {
            complain(errors, historyPath, seasonHeldReason(options.seasonWait));
            return ExitFailure;
        }
        compareWithSeason(season->read(), *run);
        season->forgetContent();
    }
    if (!options.archive.empty()) {
        addAllTime(options, readArchive(env, options, *run, errors), *run);
    }
    const int status = publishRun(env, *run, options, season ? &*season : nullptr, console, errors);
    // After the run's own lines, where the organiser looks last.
    tellDecisionMisses(*run, options.league, console);
    return status;
}

int reviewKvrRank(platform::Env& env, std::FILE* console, std::FILE* errors,
                  const RunOptions& options) {
    RunOptions looking = options;
    looking.reviewOnly = true;
    std::optional<ComputedRun> run = computeRun(env, looking, nullptr, errors);
    if (!run) {
        return ExitFailure;
    }
    platform::writeConsole(console, reviewListing(run->model));
    tellDecisionMisses(*run, options.league, console);
    return ExitSuccess;
}

} // namespace kvr
