// The ranking as one JSON object, UTF-8 (described in docs/file-formats.md).
#pragma once

#include "model/run_results.h"
#include "report/output_sink.h"

#include <string>

namespace kvr {

// The JSON text of the run, ended by a line end. The model must hold the drivers' results.
void renderJson(const RunResults& run, OutputSink& out);
std::string renderJson(const RunResults& run);

} // namespace kvr
