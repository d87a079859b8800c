// The all-time table from the archived seasons' histories and this run.
#pragma once

#include "history/snapshot.h"
#include "model/all_time_table.h"
#include "model/ranking_model.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace kvr::history {

// A season's name from its history file's path: the last part, without ".jsonl".
std::string seasonName(std::string_view path);

// The final standings of a history file's text: its last run's, with each driver that
// `aliases` holds under the identity it maps to. A torn or foreign line is skipped as the
// season reader skips it. Nothing when the text is not a history; an empty list when it has no
// run yet.
std::optional<std::vector<SnapshotStanding>>
finalStandings(std::string_view text, const std::map<DriverIdentity, DriverIdentity>& aliases);

// One archived season: its name and its final standings.
struct ArchivedSeason {
    std::string name;
    std::vector<SnapshotStanding> standings;
};

// The table over `archived`, then this run's standings as the current season `currentName`.
AllTime buildAllTime(const std::vector<ArchivedSeason>& archived, const RankingModel& model,
                     const std::string& currentName, std::vector<UnreadSeason> unread);

} // namespace kvr::history
