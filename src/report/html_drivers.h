// The page's sections on the drivers: the points grid by rally, each driver's own results,
// and the checks on the imported files.
#pragma once

#include "model/ranking_model.h"
#include "model/run_results.h"
#include "report/output_sink.h"

#include <string>

namespace kvr {

// Style rules of these sections, light and dark.
extern const char* const DriverStyle;

// The id of a driver's section, "driver-INDEX" with the participant's number from 1.
std::string driverSectionId(int32_t participantIndex);

// A table of every standings entry: place, code, name, the points of each rally, the arcade
// points and the total.
void renderPointsGrid(const RankingModel& model, OutputSink& out);

// One folded section per driver, in standings order; nothing without drivers.
void renderDriverSections(const RankingModel& model, OutputSink& out);

// One line that counts what the checks found, each count a link to its check; nothing when
// every check came out empty.
void renderCheckSummary(const RunResults& run, OutputSink& out);

// The files not imported, the duplicate files, the outlying best times and, with a season,
// the history's lines that are not runs: each a table, or a line saying there is none.
void renderChecks(const RunResults& run, OutputSink& out);

} // namespace kvr
