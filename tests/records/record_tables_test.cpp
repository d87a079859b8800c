#include "records/record_tables.h"

#include "support/participant_builder.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

namespace {

using namespace kvr;
using kvrtest::ParticipantFileBuilder;
using Bytes = std::array<uint8_t, 8>;

constexpr Bytes EmptyEntry = {'d', 'l', 'r', 0, 0x00, 0xC0, 0x5D, 0};
constexpr Bytes ZeroEntry = {0, 0, 0, 0, 0, 0, 0, 0};

Bytes bytesOf(const RecordEntry& entry) {
    Bytes b;
    std::memcpy(b.data(), entry.bytes, 8);
    return b;
}

Bytes packed(uint8_t vehicle, const char* codeText, size_t codeSize, uint32_t time) {
    char code[CodeSize] = {};
    std::memcpy(code, codeText, codeSize);
    RecordEntry entry{};
    packRecordEntry(entry, vehicle, code, time);
    return bytesOf(entry);
}

TEST(PackRecordEntry, PacksVehicleCodeAndSeventeenBitTime) {
    struct Case {
        const char* what;
        uint8_t vehicle;
        const char* code;
        size_t codeSize;
        uint32_t time;
        Bytes expected;
    };
    const Case cases[] = {
        {"example", 0x49, "ABC", 4, 6001, {'A', 'B', 'C', 0, 0xC9, 0xB8, 0x0B, 0}},
        {"even time", 0x09, "ABC", 4, 6000, {'A', 'B', 'C', 0, 0x49, 0xB8, 0x0B, 0}},
        {"largest", 0x15, "Z", 2, 131071, {'Z', 0, 0, 0, 0xD5, 0xFF, 0xFF, 0}},
        {"capped", 0x15, "Z", 2, 131072, {'Z', 0, 0, 0, 0xD5, 0xFF, 0xFF, 0}},
        {"capped max", 0x00, "Z", 2, 0xFFFFFFFF, {'Z', 0, 0, 0, 0xC0, 0xFF, 0xFF, 0}},
        {"time 1", 0x00, "AB", 3, 1, {'A', 'B', 0, 0, 0xC0, 0x00, 0x00, 0}},
        {"two-letter code, junk after NUL", 0x02, "AB\0Q", 4, 2, {'A', 'B', 0, 0, 0x42, 1, 0, 0}},
        {"code without NUL", 0x02, "ABCD", 4, 2, {'A', 'B', 'C', 0, 0x42, 1, 0, 0}},
        {"AT flag and bit 7 not carried",
         0xC9,
         "ABC",
         4,
         6001,
         {'A', 'B', 'C', 0, 0xC9, 0xB8, 0x0B, 0}},
        {"no time", 0x49, "dlr", 4, 0, EmptyEntry},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(packed(c.vehicle, c.code, c.codeSize, c.time), c.expected) << c.what;
    }
    // The transmission flag is not carried: MT and AT pack alike.
    EXPECT_EQ(packed(0x09, "ABC", 4, 6001), packed(0x49, "ABC", 4, 6001));
}

RecordTables select(const std::vector<ParticipantRecord>& participants) {
    RecordTables tables;
    std::memset(&tables, 0xEE, sizeof tables);
    selectBestTimes(participants.data(), static_cast<int32_t>(participants.size()), tables);
    return tables;
}

TEST(SelectBestTimes, SmallestNonZeroTimeHoldsAndTheEarliestKeepsATie) {
    std::vector<ParticipantRecord> participants = {
        ParticipantFileBuilder().code("AAA").stage(0, 0, 1, 0).stage(0, 1, 1, 500).record(),
        ParticipantFileBuilder().code("BBB").stage(0, 0, 2, 900).stage(0, 1, 2, 500).record(),
        ParticipantFileBuilder().code("CCC").stage(0, 0, 3, 901).stage(0, 1, 3, 499).record(),
        ParticipantFileBuilder().code("DDD").stage(0, 0, 4, 900).stage(0, 1, 4, 499).record(),
    };
    RecordTables tables = select(participants);
    // A first participant without a time never holds; BBB's 900 beats CCC's 901, DDD ties.
    EXPECT_EQ(bytesOf(tables.stage(0, 0)), packed(2, "BBB", 4, 900));
    // CCC's 499 beats the earlier 500s; DDD's equal 499 does not replace CCC.
    EXPECT_EQ(bytesOf(tables.stage(0, 1)), packed(3, "CCC", 4, 499));
}

TEST(SelectBestTimes, FillsEveryTableEntryFromItsOwnSlot) {
    // Each stage and arcade event gets a distinct time, so a misplaced slot shows.
    ParticipantFileBuilder only;
    only.code("ONE");
    for (int r = 0; r < RallyCount; ++r) {
        for (int s = 0; s < stageCounts[r]; ++s) {
            only.stage(r, s, static_cast<uint8_t>(s), static_cast<uint32_t>(1000 + r * 20 + s));
        }
        only.arcade(r, static_cast<uint8_t>(r), static_cast<uint32_t>(5000 + r));
    }
    only.stage(0, 2, 0, 0); // one stage with no time at all
    RecordTables tables = select({only.record()});

    for (int r = 0; r < RallyCount; ++r) {
        for (int s = 0; s < GameStageSlotsPerRally; ++s) {
            Bytes expected = ZeroEntry; // the eleventh entry of a ten-stage rally
            if (r == 0 && s == 2) {
                expected = EmptyEntry;
            } else if (s < stageCounts[r]) {
                expected = packed(static_cast<uint8_t>(s), "ONE", 4,
                                  static_cast<uint32_t>(1000 + r * 20 + s));
            }
            EXPECT_EQ(bytesOf(tables.stage(r, s)), expected) << r << "/" << s;
        }
        EXPECT_EQ(bytesOf(tables.arcade(r)),
                  packed(static_cast<uint8_t>(r), "ONE", 4, static_cast<uint32_t>(5000 + r)));
    }
    EXPECT_EQ(bytesOf(tables.entries[0]), bytesOf(tables.stage(0, 0)));
    EXPECT_EQ(bytesOf(tables.entries[88]), bytesOf(tables.arcade(0)));
}

TEST(SelectBestTimes, UnusedParticipantSlotsHaveNoEffect) {
    ParticipantFileBuilder builder;
    builder.code("UNU");
    for (int slot : {10, 11, 23, 34, 35, 47, 95}) {
        builder.stageSlot(slot, 5, 77);
    }
    RecordTables tables = select({builder.record()});
    for (int r = 0; r < RallyCount; ++r) {
        for (int s = 0; s < GameStageSlotsPerRally; ++s) {
            EXPECT_EQ(bytesOf(tables.stage(r, s)), s < stageCounts[r] ? EmptyEntry : ZeroEntry)
                << r << "/" << s;
        }
    }
}

TEST(SelectBestTimes, NoParticipantGivesEmptyEntries) {
    RecordTables tables = select({});
    EXPECT_EQ(bytesOf(tables.stage(1, 10)), EmptyEntry);
    EXPECT_EQ(bytesOf(tables.stage(0, 10)), ZeroEntry);
    EXPECT_EQ(bytesOf(tables.arcade(7)), EmptyEntry);
}

TEST(SelectBestTimes, ComparesFullTimesBeforeCapping) {
    std::vector<ParticipantRecord> participants = {
        ParticipantFileBuilder().code("BIG").arcade(3, 1, 200000).record(),
        ParticipantFileBuilder().code("LOW").arcade(3, 2, 131073).record(),
    };
    RecordTables tables = select(participants);
    EXPECT_EQ(bytesOf(tables.arcade(3)), packed(2, "LOW", 4, 131071));
}

} // namespace
