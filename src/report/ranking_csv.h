// The ranking as a CSV grid (RFC 4180, UTF-8, CR LF rows): one row per participant with the
// standings and every shown time (described in docs/file-formats.md).
#pragma once

#include "model/run_results.h"
#include "report/output_sink.h"

#include <string>

namespace kvr {

// The grid of the run's ranking; the season adds nothing to it.
void renderCsv(const RunResults& run, OutputSink& out);
std::string renderCsv(const RunResults& run);

} // namespace kvr
