// The run driver: a run is computed from the game folder as a value, then published.
#pragma once

#include "model/ranking_model.h"
#include "output/run_options.h"
#include "platform/env.h"

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

namespace kvr {

// One whole run at the local time `now`: imports the participant folder, computes the run, holds
// the season (waiting for a run that holds it) and publishes it. Console texts go to `console`,
// each piece flushed as it is written; a console that cannot be written changes nothing. Every
// failure gets one line "kvrrank: PATH: reason" on `errors`. Returns 0 when the import, the update
// and every output succeeded, 1 otherwise.
int runKvrRank(platform::Env& env, std::FILE* console, std::FILE* errors, const RunOptions& options,
               const ReportTime& now);

// --review: imports quietly and lists on `console` each flagged result that no decision
// covers, with a [[decision]] block ready to paste; then the decisions that matched nothing.
// Writes no file. Returns 0, or 1 when there is nothing to import.
int reviewKvrRank(platform::Env& env, std::FILE* console, std::FILE* errors,
                  const RunOptions& options, const ReportTime& now);

} // namespace kvr
