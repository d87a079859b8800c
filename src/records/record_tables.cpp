#include "records/record_tables.h"

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

// Packs the entry of one slot; `slotOf` picks the slot's result out of a participant.
template <typename SlotOf>
void selectSlot(const ParticipantRecord* participants, int32_t count, SlotOf slotOf,
                RecordEntry& entry) {
    // Key = time - 1 (unsigned), so "no time" is the largest key and never holds the entry.
    // Only a strictly smaller key replaces the holder: the earliest participant keeps a tie.
    const ResultEntry* best = nullptr;
    int32_t holder = -1;
    uint32_t bestKey = UINT32_MAX;
    for (int32_t i = 0; i < count; ++i) {
        const ResultEntry& result = slotOf(participants[i]);
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
    for (int r = 0; r < RallyCount; ++r) {
        for (int s = 0; s < stageCounts[r]; ++s) {
            int slot = stageSlot(r, s);
            selectSlot(
                participants, count,
                [slot](const ParticipantRecord& p) -> const ResultEntry& {
                    return p.stageResults[slot];
                },
                tables.stage(r, s));
        }
        selectSlot(
            participants, count,
            [r](const ParticipantRecord& p) -> const ResultEntry& { return p.arcadeResults[r]; },
            tables.arcade(r));
    }
}

} // namespace kvr
