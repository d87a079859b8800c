// Who holds the season: a line of text beside the history ("season.jsonl.owner") that the
// holder writes when it takes the season and removes before it lets go, so that a run that finds
// the season held can say at once by whom. The season's lock keeps runs apart; the record only
// tells, and is believed only while its process still runs.
#pragma once

#include "platform/env.h"

#include <chrono>
#include <optional>
#include <string>

namespace kvr {

enum class SeasonHolder { Board, Run };

struct SeasonOwner {
    long pid = 0;
    SeasonHolder kind = SeasonHolder::Run;
    platform::LocalTime since; // hour, minute and second
};

// The record's name for the history at `season`.
std::string seasonOwnerPath(const std::string& season);

// "4711 board 20:01:05\n": the process id, "board" or "run", and the local time it took the
// season.
std::string formatSeasonOwner(const SeasonOwner& owner);
// The record in `text`; nothing when it is not one.
std::optional<SeasonOwner> parseSeasonOwner(const std::string& text);

// Writes this process's record for `season`; false when it could not be written (the run goes on).
bool writeSeasonOwner(platform::Env& env, const std::string& season, SeasonHolder kind);
// The holder the record names, when there is a record and its process still runs.
std::optional<SeasonOwner> readSeasonOwner(platform::Env& env, const std::string& season);
// Removes the record, unless it is no longer this process's; false when it could not be.
bool removeSeasonOwner(platform::Env& env, const std::string& season);

// "season.jsonl is held by the kvrrank board (process 4711) since 20:01; waiting up to 10 s".
std::string seasonHolderLine(const std::string& season, const SeasonOwner& owner,
                             std::chrono::milliseconds wait);

} // namespace kvr
