// The two readers of a snapshot line: a fast one for the compact line this program writes, and
// a general one for any JSON object. They must read every line alike where both read it.
#pragma once

#include "history/snapshot.h"

#include <optional>
#include <string_view>

namespace kvr::history {

// Reads the compact line this program writes, byte by byte, far faster than a general JSON
// parser. False, with `snapshot` left in any state, on anything else it meets (spaces, \u
// escapes, other key orders, negative or large numbers): the general reader then decides.
bool readCompactSnapshot(std::string_view line, Snapshot& snapshot);

// Any JSON object with "kvrrank_history": 1, field by field; nothing for anything else.
std::optional<Snapshot> parseGeneralSnapshot(std::string_view line);

} // namespace kvr::history
