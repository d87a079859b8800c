// The season on the HTML page (with --history): the move column of the standings, the records
// section with the records broken and each record's progression, and the points-over-runs
// chart.
#pragma once

#include "report/output_sink.h"
#include "report/ranking_model.h"

namespace kvr {

// The header cell and, per standings entry, the cell of the move column.
void htmlMoveHeader(OutputSink& out);
void htmlMoveCell(OutputSink& out, const SeasonChanges& season, size_t standing);

// The sections that follow the standings; nothing without a season.
void htmlSeasonSections(const RankingModel& model, OutputSink& out);

// Links to those sections, for the page's navigation.
void htmlSeasonNavigation(const RankingModel& model, OutputSink& out);

} // namespace kvr
