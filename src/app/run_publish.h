// Publishing a computed run: the records update, ranking.txt, each export and the history's
// line, all under the season's lock when a season is kept.
#pragma once

#include "app/run.h"
#include "app/run_compute.h"
#include "platform/fs.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace kvr {

// The season's history, held from before the run is computed until its last output is in
// place: a second run waits for it, and never replaces an output of the run that holds it.
// Why a run that waited `wait` for its season wrote nothing: "held by another program: waited
// 10 s, nothing written".
std::string seasonHeldReason(std::chrono::milliseconds wait);

class SeasonHold {
  public:
    // Opens and locks the history at `path` (created when missing) and reads it. Another run
    // holding it is waited for, up to `wait`; false then, with nothing else done. Any other
    // failure is kept in `read().problem` (the run goes on without the season) and gives true.
    bool take(platform::Env& env, const std::string& path, std::chrono::milliseconds wait);
    const SeasonRead& read() const { return read_; }
    // Frees the history's text once the run is computed.
    void forgetContent();
    // Adds `entry` in one write and releases the lock.
    platform::Status append(const std::string& entry);
    bool held() const { return file_ != nullptr; }

  private:
    std::unique_ptr<platform::AppendOnlyFile> file_;
    SeasonRead read_;
};

// What publishing a run came to, for a caller that shows it beyond the error stream.
struct PublishOutcome {
    bool recordsUpdated = false;       // the records file has this run's best times
    bool reported = false;             // ranking.txt is this run's
    std::vector<std::string> problems; // "PATH: reason", one for each failure
};

// Writes the run out: the records file (unless switched off; a failed update stops here),
// ranking.txt, each export, and the history's line into `season` when it is held. Each file is
// attempted on its own: a failed one keeps its earlier version, says why, and fails the run.
// Returns the exit status.
int publishRun(platform::Env& env, const ComputedRun& run, const RunOptions& options,
               SeasonHold* season, std::FILE* console, std::FILE* errors,
               PublishOutcome* outcome = nullptr);

} // namespace kvr
