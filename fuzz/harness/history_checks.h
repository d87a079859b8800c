// Checks of snapshots read from a history.
#pragma once

#include "history/snapshot.h"

namespace kvrfuzz {

// The same time, standings and records, field by field.
void requireSameSnapshot(const kvr::history::Snapshot& a, const kvr::history::Snapshot& b);

} // namespace kvrfuzz
