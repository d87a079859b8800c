// The all-time table: every driver over the league's earlier seasons and this one, from each
// season's last run. Plain data computed beside the ranking model from the archived histories.
#pragma once

#include "data/participant.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kvr {

struct AllTimeSeason {
    std::string name;                       // the history file's name without ".jsonl"
    std::optional<DriverIdentity> champion; // a finished season's place 1 at its last run
    std::optional<DriverIdentity> leader;   // the running season's place 1 so far
    bool current = false;                   // this run's season, the last, still running
};

struct AllTimeDriver {
    DriverIdentity driver;                            // as the roster names them
    int seasons = 0;                                  // seasons with a final standing
    int titles = 0;                                   // place 1 of a finished season
    int podiums = 0;                                  // final place 1 to 3
    int32_t bestPlace = 0;                            // the best final place
    long long points = 0;                             // over every season
    std::vector<std::optional<int32_t>> seasonPoints; // per season, in the seasons' order
};

// An archived season that could not be used, and why.
struct UnreadSeason {
    std::string file; // as the league file or the command line named it
    std::string reason;
};

struct AllTime {
    std::vector<AllTimeSeason> seasons; // the archive's that were read, in its order; then this
    // Most titles first, then podiums, points and best place; then as first met.
    std::vector<AllTimeDriver> drivers;
    std::vector<UnreadSeason> unread; // in the archive's order
};

} // namespace kvr
