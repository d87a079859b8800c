// The run driver: import every participant file, update the game's records, write the report.
#pragma once

#include "model/league_rules.h"
#include "platform/env.h"

#include <cstddef>
#include <cstdio>
#include <map>
#include <string>

namespace kvr {

constexpr const char* ParticipantFolder = "kvr";
constexpr const char* ParticipantExtension = ".kvr";

// Exit statuses of a run.
constexpr int ExitSuccess = 0;
constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2; // a bad command line; nothing was touched

// "kvr/" followed by `name`, of any length: the platform layer has no path limit of its own.
std::string participantPath(const std::string& name);

// What a run writes beyond the import.
struct RunOptions {
    bool updateRecords = true; // false: the records file is neither needed nor touched
    // Exports of the ranking, written after ranking.txt; empty: not written.
    std::string htmlPath;
    std::string jsonPath;
    std::string csvPath;
    std::string postPath; // the post for the group's chat
    // The season's history: read before the report, compared with in the exports, and given
    // this run's snapshot once ranking.txt is written; empty: none.
    std::string historyPath;
    // The game folder as given on the command line, named in messages about its participant
    // folder; empty when the run is in the folder it was started in.
    std::string gameFolder;
    // The points rules and classes of the ranking: a league file's, or the fixed ones.
    LeagueRules league;
    // The league file read (absolute), empty when none; and the outputs it gave, by their
    // option, as messages name them ("--html" -> "html in kvrrank.toml").
    std::string leagueFilePath;
    std::map<std::string, std::string> namedBy;
};

// One line on the error stream for a failure: "kvrrank: PATH: reason", made terminal-safe.
void complain(std::FILE* errors, const std::string& path, const std::string& reason);

// One whole run in the current working folder. Console texts go to `console`, each piece
// flushed as it is written; a console that cannot be written changes nothing. Every failure
// gets one line "kvrrank: PATH: reason" on `errors`. Returns 0 when the import, the update
// and the report all succeeded, 1 otherwise.
int runKvrRank(platform::Env& env, std::FILE* console, std::FILE* errors,
               const RunOptions& options = RunOptions());

} // namespace kvr
