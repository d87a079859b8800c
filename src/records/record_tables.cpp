#include "records/record_tables.h"

#include "data/events.h"
#include "data/little_endian.h"

#include <cstring>

namespace kvr {

void packRecordEntry(RecordEntry& entry, uint8_t vehicle, const char (&code)[CodeSize],
                     uint32_t time) {
    uint8_t* bytes = entry.bytes;
    if (time != 0) {
        uint32_t stored = time < MaximumRecordTime ? time : MaximumRecordTime;
        bytes[4] = static_cast<uint8_t>((vehicle & 0x3F) | 0x40 | ((stored & 1u) << 7));
        storeU16LE(bytes + 5, static_cast<uint16_t>(stored >> 1));
    } else {
        bytes[4] = 0;
        storeU16LE(bytes + 5, 24000);
    }
    // The code and its NUL; bytes after the NUL are zero, and a code without a NUL keeps
    // its first three characters.
    size_t length = codeLength(code);
    std::memset(bytes, 0, 4);
    std::memcpy(bytes, code, length);
}

namespace {

constexpr char EmptyHolderCode[CodeSize] = {'d', 'l', 'r', '\0'};

// Packs the entry of one event: the smallest time of the field, the earliest participant
// keeping a tie.
void selectEvent(const ParticipantRecord* participants, int32_t count, const Event& event,
                 RecordEntry& entry) {
    // Key = time - 1 (unsigned), so "no time" is the largest key and never holds the entry.
    // Only a strictly smaller key replaces the holder: the earliest participant keeps a tie.
    const ResultEntry* best = nullptr;
    int32_t holder = -1;
    uint32_t bestKey = UINT32_MAX;
    for (int32_t i = 0; i < count; ++i) {
        const ResultEntry& result = event.resultOf(participants[i]);
        uint32_t key = result.time - 1u;
        if (key < bestKey) {
            best = &result;
            bestKey = key;
            holder = i;
        }
    }
    if (best != nullptr) {
        packRecordEntry(entry, best->vehicle, participants[holder].code, best->time);
    } else {
        packRecordEntry(entry, 0, EmptyHolderCode, 0);
    }
}

} // namespace

void selectBestTimes(const ParticipantRecord* participants, int32_t count, RecordTables& tables) {
    std::memset(&tables, 0, sizeof tables);
    for (const Event& event : allEvents()) {
        selectEvent(participants, count, event,
                    event.isArcade() ? tables.arcade(event.index)
                                     : tables.stage(event.rally, event.index));
    }
}

} // namespace kvr
