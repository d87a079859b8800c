// The ranking as one JSON object, UTF-8 (described in docs/file-formats.md).
#pragma once

#include "report/output_sink.h"
#include "report/ranking_model.h"

#include <string>

namespace kvr {

// The JSON text of `model`, ended by a line end.
void renderJson(const RankingModel& model, OutputSink& out);
std::string renderJson(const RankingModel& model);

} // namespace kvr
