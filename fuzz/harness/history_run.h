// The run that the history targets compare with any history: a fixed ranking of three drivers,
// its line in the history and that line as read back. The seed maker ranks the same drivers
// with other times to write earlier runs.
#pragma once

#include "data/participant.h"
#include "history/snapshot.h"
#include "model/ranking_model.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kvrfuzz {

// Three drivers with results in a stage and an arcade event; their codes and names need
// escapes in JSON and conversion from Windows-1252. `slower` hundredths are added to every
// time (at least -2990).
std::vector<kvr::ParticipantRecord> historyGroup(int32_t slower = 0);

struct HistoryRun {
    kvr::RankingModel model;
    std::string line; // ended by a line feed
    kvr::history::Snapshot snapshot;
};

// The run of historyGroup(), made and checked once: its line must read back as a snapshot
// with its standings and the place 1 of each of its listings.
const HistoryRun& historyRun();

} // namespace kvrfuzz
