// What a run writes and where, and under which rules: resolved once, by the command line and the
// league file, before anything is touched.
#pragma once

#include "model/league_rules.h"
#include "output/output_table.h"

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

namespace kvr {

constexpr const char* ParticipantFolder = "kvr";
constexpr const char* ParticipantExtension = ".kvr";

// Exit statuses of a run.
constexpr int ExitSuccess = 0;
constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2; // a bad command line; nothing was touched

// "kvr/" followed by `name`, of any length: the platform layer has no path limit of its own.
// Messages name a participant file so, relative to the game folder.
std::string participantPath(const std::string& name);

// One line on the error stream for a failure: "kvrrank: PATH: reason", made terminal-safe.
void complain(std::FILE* errors, const std::string& path, const std::string& reason);
// One line on the error stream that names no path: "kvrrank: what", made terminal-safe.
void complain(std::FILE* errors, const std::string& what);

// Where the game folder's files are. Resolved once, at the command line: the program never
// changes its working folder.
struct GamePlaces {
    std::string folder; // the game folder (absolute); empty: the working folder
    std::string shown;  // as the command line named it; empty when none was named

    // A file or folder of the game folder, as it is opened; `relative` is how messages name it.
    std::string path(const std::string& relative) const;
    // A file or folder of the game folder as the user knows it: under the game folder they
    // named, or as it is when they named none ("kvrrank.toml", "games/dl/kvrrank.toml").
    std::string shownPath(const std::string& relative) const;
    // The participant folder as the user knows it.
    std::string shownParticipantFolder() const { return shownPath(ParticipantFolder); }
};

// What a run writes beyond the import, and under which rules.
struct RunOptions {
    bool updateRecords = true; // false: the records file is neither needed nor touched
    // Per output that names a file (the exports and the history): its path, absolute; empty
    // when it is not written. Exports are written after ranking.txt; the history is read
    // before the report, compared with in the exports, and given this run's snapshot last.
    PerOutput<std::string> files;
    // How messages name an output that the league file gave ("html in kvrrank.toml"); empty:
    // by its option.
    PerOutput<std::string> namedBy;
    GamePlaces game;
    // The points rules and classes of the ranking: a league file's, or the fixed ones.
    LeagueRules league;
    // Earlier seasons' history files (absolute), read only, for the all-time table; and each
    // as messages name it.
    std::vector<std::string> archive;
    std::vector<std::string> archiveShown;
    // Where the page is published, which the post links; empty: no link.
    std::string pageUrl;
    // The card's title and theme.
    CardSettings card;
    // The league file read (absolute), empty when none.
    std::string leagueFilePath;
    // Only list what is under review, each with a decision ready to paste; write nothing.
    bool reviewOnly = false;
    // A live board shows the page: the drivers' results are worked out whatever is written.
    bool live = false;
    // How long a run waits for a season that another run holds.
    std::chrono::milliseconds seasonWait{10000};

    const std::string& file(Output output) const { return files[indexOf(output)]; }
    std::string& file(Output output) { return files[indexOf(output)]; }
    // The output as messages name it: "--html", or what gave it ("html in kvrrank.toml").
    std::string label(Output output) const;
    // Where the card is on the web: the page's folder and the card's file name; empty without
    // a page address or a card.
    std::string cardUrl() const;
};

} // namespace kvr
