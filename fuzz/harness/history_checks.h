// Checks of snapshots read from a history.
#pragma once

#include "history/snapshot.h"

namespace kvrfuzz {

// The same time, standings, records and class standings, field by field: what a history's
// digest gives back of a run.
void requireSameSnapshot(const kvr::history::Snapshot& a, const kvr::history::Snapshot& b);

// The same entrants, or changes of them, as two lines say them.
void requireSameEntrants(const kvr::history::Snapshot& a, const kvr::history::Snapshot& b);

} // namespace kvrfuzz
