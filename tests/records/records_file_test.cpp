#include "records/records_file.h"

#include "support/participant_builder.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace kvr;
using kvrtest::TempFolder;
namespace fs = std::filesystem;

RecordTables patternTables() {
    RecordTables tables;
    for (size_t i = 0; i < sizeof tables; ++i) {
        reinterpret_cast<uint8_t*>(&tables)[i] = static_cast<uint8_t>(i * 31 + 1);
    }
    return tables;
}

TEST(WriteGameRecords, ChangesExactlyTheTwoRanges) {
    for (size_t size : {size_t{4884}, size_t{6000}}) {
        TempFolder folder;
        auto path = folder / "gameinfo.rcf";
        std::vector<uint8_t> before = kvrtest::syntheticRecordsFile(size);
        kvrtest::writeBytes(path, before);

        RecordTables tables = patternTables();
        ASSERT_TRUE(writeGameRecords(platform::Env::system(), tables, path.string().c_str()))
            << size;

        std::vector<uint8_t> expected = before;
        std::memcpy(&expected[1784], tables.stageBytes(), 704);
        std::memcpy(&expected[4820], tables.arcadeBytes(), 64);
        EXPECT_EQ(kvrtest::readBytes(path), expected) << size;
    }
}

TEST(WriteGameRecords, FailsWithoutWritingAByte) {
    TempFolder folder;
    RecordTables tables = patternTables();

    EXPECT_FALSE(writeGameRecords(platform::Env::system(), tables,
                                  (folder / "missing.rcf").string().c_str()));
    EXPECT_FALSE(fs::exists(folder / "missing.rcf"));

    fs::create_directory(folder / "folder.rcf");
    EXPECT_FALSE(writeGameRecords(platform::Env::system(), tables,
                                  (folder / "folder.rcf").string().c_str()));

    for (size_t size : {size_t{0}, size_t{2000}, size_t{4883}}) {
        auto path = folder / ("short" + std::to_string(size) + ".rcf");
        std::vector<uint8_t> before = kvrtest::syntheticRecordsFile(size);
        kvrtest::writeBytes(path, before);
        EXPECT_FALSE(writeGameRecords(platform::Env::system(), tables, path.string().c_str()))
            << size;
        EXPECT_EQ(kvrtest::readBytes(path), before) << size;
    }

    auto held = folder / "held.rcf";
    std::vector<uint8_t> before = kvrtest::syntheticRecordsFile(5000);
    kvrtest::writeBytes(held, before);
    {
        kvrtest::ExclusiveHolder holder(held);
        ASSERT_TRUE(holder.holding());
        EXPECT_FALSE(writeGameRecords(platform::Env::system(), tables, held.string().c_str()));
    }
    EXPECT_EQ(kvrtest::readBytes(held), before);
}

} // namespace
