// The group's best times as the game's records file holds them: pure selection and packing.
#pragma once

#include "data/championship_tables.h"
#include "data/participant.h"

#include <cstddef>
#include <cstdint>

namespace kvr {

// One packed best-time entry of the records file, 8 bytes:
// 0-3 holder code (NUL-terminated), 4 vehicle byte (bits 0-5 vehicle, bit 6 set when the
// entry holds a time, bit 7 bit 0 of the time), 5-6 time >> 1 little-endian, 7 zero.
struct RecordEntry {
    uint8_t bytes[8];
};

constexpr size_t RecordEntrySize = 8;
constexpr size_t StageRecordCount = RallyCount * GameStageSlotsPerRally;  // 88
constexpr size_t ArcadeRecordCount = ArcadeEventCount;                    // 8
constexpr size_t StageRecordsSize = StageRecordCount * RecordEntrySize;   // 704
constexpr size_t ArcadeRecordsSize = ArcadeRecordCount * RecordEntrySize; // 64
constexpr size_t RecordTablesSize = StageRecordsSize + ArcadeRecordsSize; // 768

// Where the two tables lie in the game's records file.
constexpr uint64_t StageRecordsOffset = 1784;
constexpr uint64_t ArcadeRecordsOffset = 4820;
constexpr uint64_t MinimumRecordsFileSize = ArcadeRecordsOffset + ArcadeRecordsSize; // 4884

// The largest time an entry holds (17 bits); larger winning times are stored as this.
constexpr uint32_t MaximumRecordTime = 131071;

// The image of both tables as written: 88 stage entries, then 8 arcade entries.
struct RecordTables {
    RecordEntry entries[StageRecordCount + ArcadeRecordCount];

    RecordEntry& stage(int rally, int stage) {
        return entries[rally * GameStageSlotsPerRally + stage];
    }
    RecordEntry& arcade(int event) {
        return entries[StageRecordCount + static_cast<size_t>(event)];
    }
    const uint8_t* stageBytes() const { return entries[0].bytes; }
    const uint8_t* arcadeBytes() const { return entries[StageRecordCount].bytes; }
};

static_assert(sizeof(RecordTables) == RecordTablesSize, "");

// Writes one entry. A time of 0 gives the empty entry "dlr", 00h, 00h, C0h, 5Dh, 00h;
// otherwise the entry carries bits 0-5 of `vehicle`, the code (at most three characters)
// and the time, capped at MaximumRecordTime. Byte 7 is left as it was.
void packRecordEntry(RecordEntry& entry, uint8_t vehicle, const char (&code)[CodeSize],
                     uint32_t time);

// Zeroes `tables` and fills every stage and arcade entry with its holder: the smallest
// non-zero time of the slot over all participants, the earliest participant keeping a tie.
// With no participant every used entry is the empty entry.
void selectBestTimes(const ParticipantRecord* participants, int32_t count, RecordTables& tables);

} // namespace kvr
