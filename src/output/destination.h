// Where a run's formats go. A destination asks for the formats it takes; publishing renders each
// format once, in the table's order, and hands the same bytes to every destination that asked.
#pragma once

#include "output/output_table.h"
#include "output/run_options.h"
#include "output/season_hold.h"
#include "platform/env.h"
#include "platform/fs.h"
#include "report/output_sink.h"

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kvr {

class Destination {
  public:
    Destination() = default;
    virtual ~Destination() = default;
    Destination(const Destination&) = delete;
    Destination& operator=(const Destination&) = delete;

    // The sink for the bytes of `kind`, or nullptr when this destination does not take it.
    virtual OutputSink* open(const OutputKind& kind) = 0;
    // Every byte is in the sink: puts them in place.
    virtual platform::Status close(const OutputKind& kind) = 0;
    // How messages name where `kind` went ("ranking.txt", a path).
    virtual std::string shown(const OutputKind& kind) const = 0;
    // After the last format, with the run and the failures told meanwhile ("PATH: reason").
    virtual void finish(const Publication& run, const std::vector<std::string>& problems) {
        (void)run;
        (void)problems;
    }
};

// The run's files: the game's records file and ranking.txt, the exports the options name, and
// the season's line into the history that `season` holds (none: the line is not written here).
class FileDestination final : public Destination {
  public:
    FileDestination(platform::Env& env, const RunOptions& options, SeasonHold* season);
    ~FileDestination() override;

    OutputSink* open(const OutputKind& kind) override;
    platform::Status close(const OutputKind& kind) override;
    std::string shown(const OutputKind& kind) const override;

  private:
    std::string path(const OutputKind& kind) const;

    platform::Env& env_;
    const RunOptions& options_;
    SeasonHold* season_;
    struct Open;
    std::unique_ptr<Open> open_;
};

// What publishing a run came to.
struct PublishOutcome {
    bool ok = true;                    // every output was written
    bool stopped = false;              // an output that stops the run failed: nothing after it
    PerOutput<bool> written{};         // by output: every destination that took it has it
    std::vector<std::string> problems; // "PATH: reason", one for each failure, in order
};

// Renders each format of the table that a destination asks for, once, and hands it to each of
// them. A failed destination keeps its earlier file, is told on `errors` and fails the outcome;
// the others go on, except after an output that stops the run. `console` (may be null) hears
// what the table announces. `proceeding`, when given, is called once the outputs that can
// stop the run are written. `table` is the output table, or a test's own.
using OutputTable = std::array<OutputKind, OutputCount>;
PublishOutcome publishRun(const Publication& run, const std::vector<Destination*>& destinations,
                          std::FILE* console, std::FILE* errors,
                          const std::function<void(PublishOutcome&)>& proceeding = {},
                          const OutputTable& table = outputTable());

} // namespace kvr
