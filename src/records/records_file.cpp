#include "records/records_file.h"

#include "platform/fs.h"

namespace kvr {

platform::Status writeGameRecords(platform::Env& env, const RecordTables& tables, const char* path,
                                  const std::string& within) {
    const platform::WriteBlock blocks[] = {
        {StageRecordsOffset, tables.stageBytes(), StageRecordsSize},
        {ArcadeRecordsOffset, tables.arcadeBytes(), ArcadeRecordsSize},
    };
    return platform::writeBlocksInPlace(env, path, blocks, 2, MinimumRecordsFileSize, within);
}

} // namespace kvr
