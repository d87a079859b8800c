// Before a run touches anything: no output may overwrite another output or an input.
#pragma once

#include "app/run.h"

#include <optional>
#include <string>

namespace kvr {

// Why the outputs of `options` cannot be written as given, as one "PATH: reason" text for the
// error stream; nothing when they can. Checked, in the game folder (the working folder): the
// report, the exports and the history name distinct files; no export or history names the
// game's records file or a file in the participant folder; no export names an existing history
// file. Paths are compared as files: after resolving them, by device and file where they exist.
std::optional<std::string> findOutputClash(platform::Env& env, const RunOptions& options);

} // namespace kvr
