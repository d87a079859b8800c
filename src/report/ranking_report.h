// The ranking report ranking.txt: participants, the ten best of every event, and the driver
// ranking, rendered from the ranking model in the game's own bytes.
#pragma once

#include "data/participant.h"
#include "platform/fs.h"
#include "report/ranking_model.h"

#include <cstdint>
#include <string>

namespace kvr {

constexpr const char* RankingReportPath = "ranking.txt";

// The whole report text of `model`, "\n" line ends. Names and codes keep their bytes, but a
// control byte in them is shown as '?', so that no name can start a line of its own.
std::string renderText(const RankingModel& model);

// The whole report text for the participant list, "\n" line ends.
std::string formatRankingReport(const ParticipantRecord* participants, int32_t count,
                                const ReportTime& time);

// Now, in local time; all zero when the clock or the time zone cannot tell.
ReportTime currentLocalTime();

// Writes the report of `model` to `path` with the platform's line ends, replacing any earlier
// report only once the new one is complete. On any failure the earlier report is left as it
// was.
platform::Status writeRankingReport(const RankingModel& model, const char* path);

// The same for the participant list at the current local time.
platform::Status writeRankingReport(const ParticipantRecord* participants, int32_t count,
                                    const char* path);

} // namespace kvr
