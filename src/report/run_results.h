// What one run renders: the ranking, and beside it what changed since the earlier runs of the
// season when a history was read. Both are computed before any output and only read after.
#pragma once

#include "history/season_changes.h"
#include "report/ranking_model.h"

namespace kvr {

struct RunResults {
    RunResults(const RankingModel& rankingModel, const SeasonChanges* seasonChanges = nullptr)
        : ranking(rankingModel), season(seasonChanges) {}

    const RankingModel& ranking;
    const SeasonChanges* season; // nullptr: no season was kept
};

} // namespace kvr
