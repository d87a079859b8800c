// The season on the HTML page (with --history): the move column of the standings, the records
// section with the records broken and each record's progression, and the points-over-runs
// chart.
#pragma once

#include "model/ranking_model.h"
#include "model/season_changes.h"
#include "report/html_text.h"
#include "report/output_sink.h"
#include "report/words.h"

#include <cstdint>
#include <vector>

namespace kvr {

// The move column of the standings: its header, and the cell of each standings entry.
constexpr HtmlColumn HtmlMoveColumn = {"Move", "move"};
void htmlMoveCell(OutputSink& out, const SeasonChanges& season, size_t standing,
                  const Words& words);

// The sections that follow the standings.
void htmlSeasonSections(const RankingModel& model, const SeasonChanges& season, OutputSink& out);

// The points-over-runs chart's marks on the points axis for points from 0 to `most`: 0 and
// round steps up to the first at or above `most`, 4 to 6 of them from a `most` of 3 on.
std::vector<int64_t> chartTicks(int64_t most);

// The chart draws its lines in this many styles, colour and dash, each a class "sN".
constexpr size_t ChartSeriesCount = 10;

// Links to those sections, for the page's navigation.
void htmlSeasonNavigation(const SeasonChanges& season, const Words& words, OutputSink& out);

} // namespace kvr
