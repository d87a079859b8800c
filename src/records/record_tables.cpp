#include "records/record_tables.h"

#include "data/events.h"
#include "data/little_endian.h"

#include <array>
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

} // namespace

void selectBestTimes(const ParticipantRecord* participants, int32_t count, RecordTables& tables) {
    std::memset(&tables, 0, sizeof tables);
    // Key = time - 1 (unsigned), so "no time" is the largest key and never holds the entry.
    // Only a strictly smaller key replaces the holder: the earliest participant keeps a tie.
    // Participant by participant, so that each record is read once, front to back.
    const std::array<Event, EventCount>& events = allEvents();
    std::array<uint32_t, EventCount> bestKey;
    std::array<int32_t, EventCount> holder;
    bestKey.fill(UINT32_MAX);
    holder.fill(-1);
    for (int32_t i = 0; i < count; ++i) {
        for (const Event& event : events) {
            const uint32_t key = event.resultOf(participants[i]).time - 1u;
            const auto n = static_cast<size_t>(event.number);
            if (key < bestKey[n]) {
                bestKey[n] = key;
                holder[n] = i;
            }
        }
    }
    for (const Event& event : events) {
        const int32_t h = holder[static_cast<size_t>(event.number)];
        RecordEntry& entry =
            event.isArcade() ? tables.arcade(event.index) : tables.stage(event.rally, event.index);
        if (h >= 0) {
            const ResultEntry& best = event.resultOf(participants[h]);
            packRecordEntry(entry, best.vehicle, participants[h].code, best.time);
        } else {
            packRecordEntry(entry, 0, EmptyHolderCode, 0);
        }
    }
}

} // namespace kvr
