#include "data/participant.h"

#include "support/participant_builder.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

using namespace kvr;
using kvrtest::ParticipantFileBuilder;
using kvrtest::TempFolder;

ParticipantRecord filledRecord(uint8_t byte) {
    ParticipantRecord record;
    std::memset(&record, byte, sizeof record);
    return record;
}

bool sameRecord(const ParticipantRecord& a, const ParticipantRecord& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

uint32_t littleEndian(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

TEST(DecodeParticipant, CopiesEveryFieldFromItsOffset) {
    std::mt19937 random(7);
    std::vector<uint8_t> image(ParticipantFileSize);
    for (auto& byte : image) {
        byte = static_cast<uint8_t>(random());
    }
    ParticipantRecord record{};
    ASSERT_TRUE(decodeParticipant(image.data(), image.size(), record));

    EXPECT_EQ(0, std::memcmp(record.code, &image[16], 4));
    EXPECT_EQ(0, std::memcmp(record.date, &image[20], 4));
    EXPECT_EQ(0, std::memcmp(record.name, &image[28], 44));
    for (size_t slot = 0; slot < 96; ++slot) {
        const uint8_t* p = &image[468 + slot * 8];
        const ResultEntry& e = record.stageResults[slot];
        EXPECT_EQ(e.vehicle, p[0]);
        EXPECT_EQ(0, std::memcmp(e.ignored, p + 1, 3));
        EXPECT_EQ(e.time, littleEndian(p + 4)) << slot;
    }
    for (size_t slot = 0; slot < 8; ++slot) {
        const uint8_t* p = &image[1344 + slot * 8];
        EXPECT_EQ(record.arcadeResults[slot].vehicle, p[0]);
        EXPECT_EQ(record.arcadeResults[slot].time, littleEndian(p + 4));
    }
}

TEST(DecodeParticipant, IgnoredRangesChangeNothing) {
    auto base = [] {
        return ParticipantFileBuilder()
            .code("ABC")
            .name("Anna")
            .date(151, 10, 3)
            .stage(1, 2, 0x49, 6001);
    };
    ParticipantRecord plain = base().record();
    ParticipantRecord junked = base().junk(99).record();
    EXPECT_TRUE(sameRecord(plain, junked));
    EXPECT_EQ(plain.stageResults[14].time, 6001u);
}

TEST(Decoding, DateVehicleAndTransmissionRules) {
    const uint8_t date[4] = {151, 0x1A, 0xE3, 0x77};
    EXPECT_EQ(dateYear(date), 2001);
    EXPECT_EQ(dateMonth(date), 10);
    EXPECT_EQ(dateDay(date), 3);

    struct Case {
        uint8_t vehicle;
        int number;
        const char* label;
        const char* name;
    };
    const Case cases[] = {
        {0x45, 5, "AT", "kasuga rai alternate 1"},
        {0x85, 5, "MT", "kasuga rai alternate 1"},
        {0xC5, 5, "AT", "kasuga rai alternate 1"},
        {0x15, 21, "MT", "arden pacer mk1"},
        {0x16, 22, "MT", "unknown"},
        {0x7F, 63, "AT", "unknown"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(vehicleNumber(c.vehicle), c.number) << int(c.vehicle);
        EXPECT_STREQ(transmissionLabel(c.vehicle), c.label) << int(c.vehicle);
        EXPECT_STREQ(vehicleName(c.vehicle), c.name) << int(c.vehicle);
    }
    EXPECT_EQ(stageSlot(1, 2), 14);
    EXPECT_EQ(stageSlot(7, 10), 94);
}

TEST(Decoding, TextFieldsStopAtTheirNulOrOneShortOfTheirWidth) {
    struct Case {
        const char* code;
        size_t length;
    };
    const Case codes[] = {{"", 0}, {"A", 1}, {"AB", 2}, {"ABC", 3}, {"ABCD", 3}};
    for (const Case& c : codes) {
        ParticipantRecord record = ParticipantFileBuilder().code(c.code).record();
        EXPECT_EQ(codeLength(record.code), c.length) << c.code;
    }
    ParticipantRecord full = ParticipantFileBuilder().name(std::string(44, 'n')).record();
    EXPECT_EQ(nameLength(full.name), 43u);
    ParticipantRecord shortName = ParticipantFileBuilder().name("Bo").record();
    EXPECT_EQ(nameLength(shortName.name), 2u);
}

TEST(ReadParticipantFile, AcceptsOnlyFilesOfAtLeastTheFullSize) {
    struct Case {
        size_t size;
        bool imported;
    };
    const Case cases[] = {{1616, true}, {2000, true}, {1615, false}, {1, false}, {0, false}};
    TempFolder folder;
    for (const Case& c : cases) {
        ParticipantFileBuilder builder;
        builder.code("XY").name("Size test").stage(0, 0, 3, 1234).resize(c.size);
        auto path = folder / ("p" + std::to_string(c.size) + ".kvr");
        kvrtest::writeBytes(path, builder.bytes());

        ParticipantRecord record = filledRecord(0x5A);
        bool ok = readParticipantFile(platform::Env::system(), path.string().c_str(), record).ok();
        EXPECT_EQ(ok, c.imported) << c.size;
        if (c.imported) {
            ParticipantRecord expected =
                ParticipantFileBuilder().code("XY").name("Size test").stage(0, 0, 3, 1234).record();
            EXPECT_TRUE(sameRecord(record, expected)) << c.size;
        } else {
            EXPECT_TRUE(sameRecord(record, filledRecord(0x5A))) << c.size;
        }
    }
}

TEST(ReadParticipantFile, RefusesWhatIsNotAReadableRegularFile) {
    TempFolder folder;
    std::filesystem::create_directory(folder / "dir.kvr");
    ParticipantRecord record = filledRecord(0x33);
    EXPECT_FALSE(readParticipantFile(platform::Env::system(),
                                     (folder / "missing.kvr").string().c_str(), record));
    EXPECT_FALSE(readParticipantFile(platform::Env::system(), (folder / "dir.kvr").string().c_str(),
                                     record));
    EXPECT_TRUE(sameRecord(record, filledRecord(0x33)));
}

TEST(ReadParticipantFile, RefusesAFileHeldByAnotherProgram) {
    TempFolder folder;
    auto path = folder / "held.kvr";
    kvrtest::writeBytes(path, ParticipantFileBuilder().code("HLD").bytes());
    ParticipantRecord record = filledRecord(0x11);
    {
        kvrtest::ExclusiveHolder holder(path);
        ASSERT_TRUE(holder.holding());
        EXPECT_FALSE(readParticipantFile(platform::Env::system(), path.string().c_str(), record));
        EXPECT_TRUE(sameRecord(record, filledRecord(0x11)));
    }
    EXPECT_TRUE(readParticipantFile(platform::Env::system(), path.string().c_str(), record));
}

#ifndef _WIN32
TEST(ReadParticipantFile, RefusesAFifoAtOnce) {
    TempFolder folder;
    auto path = folder / "p.kvr";
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    ParticipantRecord record = filledRecord(0x22);
    // Would block forever on open or read if the FIFO were treated as a file.
    EXPECT_FALSE(readParticipantFile(platform::Env::system(), path.c_str(), record));
    EXPECT_TRUE(sameRecord(record, filledRecord(0x22)));
}
#endif

} // namespace
