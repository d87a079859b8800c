// The league file, kvrrank.toml: a league's points rules, classes and outputs, written by
// people in TOML. Read whole and checked against the keys it may have before the run touches
// any file: a typo must not change results silently.
#pragma once

#include "model/league_rules.h"
#include "model/time_text.h"
#include "output/output_table.h"
#include "platform/env.h"

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kvr {

struct GamePlaces;
struct RunOptions;

constexpr const char* LeagueFileName = "kvrrank.toml";
// A league file is a few lines; anything near this size is not one.
constexpr size_t LeagueFileLimit = 1024 * 1024;

// The [outputs] of a league file, as written there.
struct LeagueOutputs {
    PerOutput<std::optional<std::string>> files; // by output, for those that name a file
    std::optional<bool> records;
    std::optional<std::string> pageUrl; // where the page is published, for the post's link
};

// The [live] table: a board that a double-click starts.
struct LeagueLive {
    std::optional<bool> watch;
    std::optional<std::string> serve; // "[ADDRESS:]PORT" as written
    std::optional<bool> lan;
};

struct LeagueFile {
    LeagueRules rules; // rules.file is left empty
    LeagueOutputs outputs;
    LeagueLive live;
    CardSettings card;
    std::vector<std::string> archive; // earlier seasons' history files, as written
    bool empty = true;                // no key at all: the same as no league file
};

// Parses and checks the text of a league file. On failure returns false with one message
// "NAME:LINE:COL: what", `name` being the file as it is to be shown. A decision dated after
// `today` is a mistake; a `today` of all zeros is unknown, and no date is checked.
bool parseLeagueFile(std::string_view text, const std::string& name, LeagueFile& league,
                     std::string& error, const ReportTime& today = ReportTime());

// Reads and checks the league file and merges it into `options`, before anything else
// happens. `path` is the file that --league named, made absolute, and `named` the name as
// given, which messages, the page and the JSON show; both are empty for kvrrank.toml in the
// game folder, which need not exist. The command line wins: an output it gives keeps its
// path, and --no-records keeps the records file alone. The file's paths are taken from its
// folder. False, with the line told on `errors`, when the file cannot be read or is not a good
// league file. Its decisions are checked against `today` as parseLeagueFile does: the caller
// reads the clock. Its [live] table goes to `live` when asked for.
bool applyLeagueFile(platform::Env& env, const std::string& path, const std::string& named,
                     RunOptions& options, std::FILE* errors, const ReportTime& today,
                     LeagueLive* live = nullptr);
// The same, with the line kept in `error` instead of told.
bool applyLeagueFile(platform::Env& env, const std::string& path, const std::string& named,
                     RunOptions& options, std::string& error, const ReportTime& today,
                     LeagueLive* live = nullptr);

// The starting league file that --new-league writes: every key, commented out, with a line
// of explanation each. Lines end in "\n".
std::string_view newLeagueText();

// Writes newLeagueText() as kvrrank.toml in the game folder, with the platform's line ends,
// unless a file of that name is there already. Returns the exit status.
int writeNewLeagueFile(platform::Env& env, const GamePlaces& game, std::FILE* console,
                       std::FILE* errors);

} // namespace kvr
