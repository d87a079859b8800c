// The parts of the ranking's JSON beside the ranking itself: the all-time table, the checks,
// the league's decisions and the season's history. Only the JSON renderer writes them, each as
// one member of the document's object.
#pragma once

#include "model/run_results.h"
#include "report/json_writer.h"

#include <optional>

namespace kvr::json {

// The value, or null when there is none.
template <typename T> Json optional(const std::optional<T>& value) {
    return value ? Json(*value) : Json();
}

// "all_time": the seasons, every driver over them and the archived seasons that were not read.
void allTime(JsonWriter& out, const AllTime& table);

// "checks": the duplicates, the outliers, the implausible files, what is under review, the files
// not imported, and the history's skipped lines and the unread archived seasons when they were
// asked for.
void checks(JsonWriter& out, const RunResults& run);

// "decisions": the league's decisions in its order, each with what it did.
void decisions(JsonWriter& out, const RankingModel& model);

// "history": what changed since the season's earlier runs.
void history(JsonWriter& out, const RankingModel& model, const SeasonChanges& season);

} // namespace kvr::json
