// Writes the record tables into the game's records file.
#pragma once

#include "platform/env.h"

#include "platform/fs.h"
#include "records/record_tables.h"
#include <string>

namespace kvr {

constexpr const char* GameRecordsPath = "Configuration/gameinfo.rcf";

// Overwrites the stage table at StageRecordsOffset and the arcade table at
// ArcadeRecordsOffset of the existing file at `path`, and nothing else. The file must be a
// regular file of at least MinimumRecordsFileSize bytes not held by another program, reached
// through no link below the folder `within` (the game folder, which begins `path`; empty for a
// path relative to the working folder); otherwise not a byte is written. Succeeds only when
// both writes, the flush and the close succeeded.
platform::Status writeGameRecords(platform::Env& env, const RecordTables& tables, const char* path,
                                  const std::string& within = std::string());

} // namespace kvr
