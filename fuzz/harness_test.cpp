// The fuzz harness: its checks fail on broken output, and its compact input reads back.
#include "fuzz_check.h"
#include "harness/history_checks.h"
#include "harness/report_checks.h"
#include "harness/text_checks.h"
#include "support/participant_builder.h"
#include "under_test.h"

#include "data/text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using kvrtest::ParticipantFileBuilder;

namespace {

TEST(FuzzHarness, Utf8CheckTellsWellFormedTextAsTheProductDoes) {
    const struct {
        std::string text;
        bool wellFormed;
    } cases[] = {
        {"", true},
        {"plain\n", true},
        {"\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8F\x81", true},
        {"\xF4\x8F\xBF\xBF", true},      // U+10FFFF
        {"\xC3", false},                 // cut at the end
        {"\xE2\x82", false},             // cut at the end
        {"\xA9", false},                 // a stray continuation byte
        {"\xE2(\xAC", false},            // a missing continuation byte
        {"\xC0\xAF", false},             // overlong
        {"\xE0\x80\xAF", false},         // overlong
        {"\xF0\x8F\xBF\xBF", false},     // overlong
        {"\xED\xA0\x80", false},         // a surrogate
        {"\xF4\x90\x80\x80", false},     // beyond U+10FFFF
        {"\xF8\x88\x80\x80\x80", false}, // no such lead byte
    };
    for (const auto& c : cases) {
        EXPECT_EQ(kvrfuzz::isUtf8(c.text), c.wellFormed) << c.text;
        EXPECT_EQ(kvr::validUtf8(c.text) == c.text, c.wellFormed) << c.text;
    }
}

TEST(FuzzHarness, JsonCheckTakesOneWholeObject) {
    EXPECT_EQ(kvrfuzz::jsonObjectKeys(" {\"a\": [1, {\"b\": 2}], \"\xC3\xA9\": {\"c\": null}}\n"),
              (std::vector<std::string>{"a", "\xC3\xA9"}));
    EXPECT_EQ(kvrfuzz::jsonObjectKeys("{}"), std::vector<std::string>{});
    for (const char* broken : {"", "{\"a\": 1", "{} {}", "{\"a\": \"\xC3\"}", "{\"a\": 1,}",
                               "[{\"a\": 1}]", "\"a\"", "1"}) {
        EXPECT_FALSE(kvrfuzz::jsonObjectKeys(broken).has_value()) << broken;
    }
}

std::vector<kvr::ParticipantRecord> someDrivers() {
    std::vector<kvr::ParticipantRecord> drivers;
    for (uint32_t i = 0; i < 12; ++i) {
        ParticipantFileBuilder driver;
        driver.code(std::string(3, static_cast<char>('A' + i))).name("Driver\x01");
        driver.stage(0, 0, 1, 5000 + 7 * i).stage(2, 4, 2, 9000 - 3 * i).arcade(i % 8, 3, 4000);
        drivers.push_back(driver.record());
    }
    return drivers;
}

// Replaces the first `what` in `text` with `with`.
std::string replaced(std::string text, const std::string& what, const std::string& with) {
    const size_t at = text.find(what);
    EXPECT_NE(at, std::string::npos) << what;
    return at == std::string::npos ? text : text.replace(at, what.size(), with);
}

TEST(FuzzHarnessDeathTest, ReportChecksFailOnBrokenOutput) {
    const std::vector<kvr::ParticipantRecord> drivers = someDrivers();
    kvr::RecordTables tables;
    kvr::selectBestTimes(drivers.data(), static_cast<int32_t>(drivers.size()), tables);
    kvrfuzz::checkRecordTables(tables, drivers);
    kvr::RecordTables wrongTime = tables;
    wrongTime.entries[0].bytes[5] ^= 1;
    EXPECT_DEATH(kvrfuzz::checkRecordTables(wrongTime, drivers), "the holder's time");
    kvr::RecordTables wrongHolder = tables;
    wrongHolder.entries[0].bytes[0] = 'B';
    EXPECT_DEATH(kvrfuzz::checkRecordTables(wrongHolder, drivers), "the holder's code");

    const std::string report = kvrfuzz::reportOf(drivers, {2026, 12, 7, 20, 30, 5});
    kvrfuzz::checkReport(report, drivers);
    const struct {
        std::string report;
        const char* invariant;
    } broken[] = {
        {replaced(report, "Driver?", "Driver\x01"), "a participant row shows its fields"},
        {replaced(report, "    02 ", "    03 "), "a listing numbers its places"},
        {replaced(report, "\n    10 ", "\n    10 x\n    11 "), "a listing has at most ten lines"},
        {report.substr(0, report.size() - 1), "the report ends with a line end"},
        {report + "  99 1pnt\n", "one ranking line per participant at most"},
    };
    for (const auto& b : broken) {
        EXPECT_DEATH(kvrfuzz::checkReport(b.report, drivers), b.invariant);
    }
}

TEST(FuzzHarnessDeathTest, SnapshotCheckFailsOnAnyDifference) {
    kvr::history::Snapshot snapshot;
    snapshot.at = "2026-01-02T03:04:05";
    snapshot.standings.push_back({1, "AAA", "A", 40});
    snapshot.records[3] = kvr::RecordHolder{5000, "AAA", "A"};
    kvrfuzz::requireSameSnapshot(snapshot, snapshot);

    kvr::history::Snapshot otherTime = snapshot, otherPoints = snapshot, otherRecord = snapshot;
    otherTime.at.reset();
    otherPoints.standings[0].points = 41;
    otherRecord.records[3]->name = "B";
    EXPECT_DEATH(kvrfuzz::requireSameSnapshot(snapshot, otherTime), "the same time");
    EXPECT_DEATH(kvrfuzz::requireSameSnapshot(snapshot, otherPoints), "the same standing");
    EXPECT_DEATH(kvrfuzz::requireSameSnapshot(snapshot, otherRecord), "the same record");
}

} // namespace
