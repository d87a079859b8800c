// Every output of a run, described once: its format (the renderer that makes its bytes) and how
// the command line and the league file name it. The command line, --new-league's refusals, the
// league file's [outputs], the collision check and the publishing loop all go through this
// table, so that an output added here is known to each of them. Where the bytes go is a
// destination's business (output/destination.h).
#pragma once

#include "model/run_results.h"
#include "records/record_tables.h"
#include "report/output_sink.h"
#include "report/standings_card.h"

#include <array>
#include <cstddef>
#include <future>
#include <string>
#include <string_view>

namespace kvr {

// In publishing order: the records file first (a failed update stops the run), the history
// last (a run counts in the season only once its other outputs are out).
enum class Output { Records, Report, Html, Json, Csv, Post, Card, History };
constexpr size_t OutputCount = 8;

// Everything a format is rendered from: the run's results and what was made of them, computed
// before any output and only read by the renderers.
struct Publication {
    explicit Publication(const RunResults& runResults) : results(runResults) {}

    const RunResults& results;
    const RecordTables* records = nullptr; // the game's best times
    std::string_view historyEntry;         // what the run adds to the season; empty: nothing
    std::string_view pageUrl;              // the page's address on the web; empty: unknown
    std::string_view cardUrl;              // the card's address on the web; empty: none
    const CardSettings* card = nullptr;    // the card's title and theme; nullptr: the defaults
    // The card's PNG, drawn beside the other outputs' rendering; nullptr: drawn when written.
    const std::shared_future<std::string>* cardPng = nullptr;
};

// Streams one format of a run.
using FormatRenderer = void (*)(const Publication& run, OutputSink& out);

// How a file destination puts a format's bytes in place.
enum class FileMode {
    InPlace, // overwrites blocks of an existing file (the game's records file)
    Replace, // a new file put in place of the earlier one only when complete
    Append,  // added to the end of the held season in one write
};

struct OutputKind {
    Output output;
    const char* option;      // on the command line; nullptr when there is none
    const char* help;        // the option's help text
    const char* leagueKey;   // in the league file's [outputs]; nullptr when there is none
    bool takesFile;          // the option and the key name a file; otherwise they are a switch
    bool showsDriverResults; // shows each driver's results and the checks
    FileMode file;           // how a file receives it
    const char* gameFile;    // the file of the game folder it is written to; nullptr: named
    const char* announce;    // told on the console before the file is written; nullptr: silent
    bool stopsOnFailure;     // a failure stops the run's publishing: nothing after it is written
    bool gatesSeason;        // the season's line is added only when this output was written
    bool needsGate;          // written only when every gating output was written
    FormatRenderer render;
};

const std::array<OutputKind, OutputCount>& outputTable();
const OutputKind& outputKind(Output output);

// A value per output, indexed by the table's order.
template <typename T> using PerOutput = std::array<T, OutputCount>;
constexpr size_t indexOf(Output output) {
    return static_cast<size_t>(output);
}

} // namespace kvr
