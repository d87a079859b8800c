// The ranking report ranking.txt: participants, the ten best of every event, and the driver
// ranking, rendered from the ranking model in the game's own bytes.
#pragma once

#include "data/participant.h"
#include "model/ranking_model.h"
#include "report/output_sink.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace kvr {

// The report of `model`, each line ended by `lineEnd`. Names and codes keep their bytes, but a
// control byte in them is shown as '?', so that no name can start a line of its own.
void renderText(const RankingModel& model, OutputSink& out, std::string_view lineEnd = "\n");
std::string renderText(const RankingModel& model, std::string_view lineEnd = "\n");

// The whole report text for the participant list, "\n" line ends.
std::string formatRankingReport(const ParticipantRecord* participants, int32_t count,
                                const ReportTime& time);

} // namespace kvr
