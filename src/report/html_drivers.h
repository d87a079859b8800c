// The page's sections on the drivers: the points grid by rally, each driver's own results,
// and the checks on the imported files.
#pragma once

#include "report/output_sink.h"
#include "report/ranking_model.h"

#include <string>

namespace kvr {

// Style rules of these sections, light and dark.
extern const char* const DriverStyle;

// The id of a driver's section, "driver-INDEX" with the participant's number from 1.
std::string driverSectionId(int32_t participantIndex);

// A table of every standings entry: place, code, name, the points of each rally, the arcade
// points and the total.
void renderPointsGrid(const RankingModel& model, OutputSink& out);

// One section per driver, in standings order; nothing without drivers.
void renderDriverSections(const RankingModel& model, OutputSink& out);

// The duplicate files and the outlying best times, each table with its header even when empty.
void renderChecks(const RankingModel& model, OutputSink& out);

} // namespace kvr
