// Every output of a run, described once. The command line, --new-league's refusals, the league
// file's [outputs], the collision check and the publishing loop all go through this table, so
// that an output added here is known to each of them.
#pragma once

#include "model/run_results.h"
#include "report/output_sink.h"

#include <array>
#include <cstddef>
#include <string>

namespace kvr {

// In publishing order: the records file first (a failed update stops the run), the history
// last (a run counts in the season only once its other outputs are out).
enum class Output { Records, Report, Html, Json, Csv, Post, History };
constexpr size_t OutputCount = 7;

// Streams one export of a run. `pageName` is the page's address on the web, which the post
// links; empty when the league gives none.
using ExportRenderer = void (*)(const RunResults& run, const std::string& pageName,
                                OutputSink& out);

struct OutputKind {
    Output output;
    const char* option;      // on the command line; nullptr when there is none
    const char* help;        // the option's help text
    const char* leagueKey;   // in the league file's [outputs]; nullptr when there is none
    bool takesFile;          // the option and the key name a file; otherwise they are a switch
    bool showsDriverResults; // shows each driver's results and the checks
    bool showsSeason;        // shows what changed since the season's earlier runs
    ExportRenderer render;   // an export's renderer; nullptr for the others
};

const std::array<OutputKind, OutputCount>& outputTable();
const OutputKind& outputKind(Output output);

// A value per output, indexed by the table's order.
template <typename T> using PerOutput = std::array<T, OutputCount>;
constexpr size_t indexOf(Output output) {
    return static_cast<size_t>(output);
}

} // namespace kvr
