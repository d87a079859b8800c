// The comparison of this run with the earlier runs of the season: movement in the standings,
// records broken, each record's progression and the leading drivers' points over the runs.
// Pure: a digest of the history and this run's ranking give the changes the exports show.
#pragma once

#include "history/snapshot.h"
#include "model/ranking_model.h"
#include "model/season_changes.h"

namespace kvr::history {

// The drivers the points-over-runs chart follows: the first of this run's standings.
constexpr size_t SeasonChartDriverCount = 10;
// The runs the chart shows, this one included: the last of the season.
constexpr size_t ChartRunCount = 20;

// What changed since the history's runs. `entrants`: this run's against the last run, when
// already worked out for the line (`entrantChange`).
SeasonChanges compareSeason(const HistoryDigest& history, const RankingModel& model,
                            const EntrantChange* entrants = nullptr);

} // namespace kvr::history
