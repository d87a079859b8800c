// The ranking as one self-contained HTML5 page, UTF-8: inline CSS, no script, nothing fetched.
// The driver standings come first, with a bar chart of the leading drivers' points, then every
// listed stage and arcade event in the report's order.
#pragma once

#include "report/output_sink.h"
#include "report/ranking_model.h"

#include <string>

namespace kvr {

// How many drivers the points chart shows at most.
constexpr size_t ChartDriverCount = 20;

void renderHtml(const RankingModel& model, OutputSink& out);
std::string renderHtml(const RankingModel& model);

} // namespace kvr
