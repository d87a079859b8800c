// The ranking as one self-contained HTML5 page, UTF-8: inline CSS, no script, nothing fetched.
// The driver standings come first, with a bar chart of the leading drivers' points, then every
// listed stage and arcade event in the report's order.
#pragma once

#include "model/run_results.h"
#include "report/output_sink.h"

#include <string>

namespace kvr {

// How many drivers the bar chart of the standings shows at most.
constexpr size_t StandingsChartDriverCount = 20;

// The page of the run. The model must hold the drivers' results.
void renderHtml(const RunResults& run, OutputSink& out);
std::string renderHtml(const RunResults& run);

} // namespace kvr
