// The ranking as a CSV grid (RFC 4180, UTF-8, CR LF rows): one row per participant with the
// standings and every shown time (described in docs/file-formats.md).
#pragma once

#include "report/output_sink.h"
#include "report/ranking_model.h"

#include <string>

namespace kvr {

void renderCsv(const RankingModel& model, OutputSink& out);
std::string renderCsv(const RankingModel& model);

} // namespace kvr
