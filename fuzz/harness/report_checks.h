// Checks of the records tables and of ranking.txt against the participants they were made from.
#pragma once

#include "data/participant.h"
#include "records/record_tables.h"

#include <string>
#include <vector>

namespace kvrfuzz {

// Every entry holds the fastest non-zero time of its slot, the earliest participant first;
// unused stage entries are zero.
void checkRecordTables(const kvr::RecordTables& tables,
                       const std::vector<kvr::ParticipantRecord>& participants);

// The report's structure: banner, one row per participant showing its fields, every listing
// with its places, and the driver ranking from high to low points.
void checkReport(const std::string& text, const std::vector<kvr::ParticipantRecord>& participants);

} // namespace kvrfuzz
