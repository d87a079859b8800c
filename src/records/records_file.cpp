#include "records/records_file.h"

#include "platform/fs.h"

namespace kvr {

platform::Status writeGameRecords(const RecordTables& tables, const char* path) {
    const platform::WriteBlock blocks[] = {
        {StageRecordsOffset, tables.stageBytes(), StageRecordsSize},
        {ArcadeRecordsOffset, tables.arcadeBytes(), ArcadeRecordsSize},
    };
    return platform::writeBlocksInPlace(path, blocks, 2, MinimumRecordsFileSize);
}

} // namespace kvr
