// The watch's judgement of a participant folder over looks: which files are read, when, and
// what the run then counts.
#include "live/watched_folder.h"

#include <gtest/gtest.h>

namespace {

using namespace kvr;
using Clock = WatchedFolder::Clock;
using platform::StampedEntry;

StampedEntry file(const std::string& name, uint64_t size, int64_t modified) {
    StampedEntry entry;
    entry.name = name;
    entry.stamp.size = size;
    entry.stamp.modified = modified;
    return entry;
}

std::string joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) {
        text += (text.empty() ? "" : " ") + name;
    }
    return text;
}

ParticipantRecord recordOf(const char* code) {
    ParticipantRecord record{};
    std::snprintf(record.code, sizeof record.code, "%s", code);
    return record;
}

constexpr uint64_t Full = ParticipantFileSize;

// One look: at `ms` after the start, after the system told `news`, the folder holds `entries`;
// the files read are told as `read`, those said to be still copying as `waiting`, the files
// gone that had counted as `removed`.
struct Step {
    int ms;
    std::vector<StampedEntry> entries;
    const char* read;
    const char* waiting;
    const char* removed = "";
    std::vector<platform::FileNews> news = {};
};

platform::FileNews writing(const char* name) {
    return {name, false};
}
platform::FileNews closed(const char* name) {
    return {name, true};
}

TEST(WatchedFolder, AFileIsReadOnceItSettledByTwoLooksOrByItsWritersClose) {
    const struct {
        const char* name;
        bool closesTold; // the system tells a writer's close
        std::vector<Step> steps;
    } cases[] = {
        {"the first run reads everything as it is",
         false,
         {{0, {file("a.kvr", Full, 1), file("half.kvr", 800, 1)}, "a.kvr half.kvr", ""}}},
        {"a new whole file waits for a second look a second later",
         false,
         {{0, {file("a.kvr", Full, 1)}, "a.kvr", ""},
          {100, {file("a.kvr", Full, 1), file("b.kvr", Full, 5)}, "", ""},
          {900, {file("a.kvr", Full, 1), file("b.kvr", Full, 5)}, "", ""},
          {1100, {file("a.kvr", Full, 1), file("b.kvr", Full, 5)}, "b.kvr", ""},
          {2200, {file("a.kvr", Full, 1), file("b.kvr", Full, 5)}, "", ""}}},
        {"a half that settles is read, to be told as cut, and read again when whole",
         false,
         {{0, {}, "", ""},
          {100, {file("b.kvr", 808, 5)}, "", ""},
          {1200, {file("b.kvr", 808, 5)}, "b.kvr", ""},
          {2300, {file("b.kvr", 808, 5)}, "", ""},
          {3000, {file("b.kvr", Full, 9)}, "", "b.kvr"},
          {3500, {file("b.kvr", Full, 9)}, "", ""},
          {4000, {file("b.kvr", Full, 9)}, "b.kvr", ""}}},
        {"a file that keeps changing is told once, then read when it stops",
         false,
         {{0, {file("a.kvr", Full, 1)}, "a.kvr", ""},
          {1000, {file("a.kvr", Full, 2)}, "", "a.kvr"},
          {2000, {file("a.kvr", Full, 3)}, "", ""},
          {3000, {file("a.kvr", Full, 3)}, "a.kvr", ""},
          {4000, {file("a.kvr", Full, 4)}, "", "a.kvr"}}},
        {"an empty file that settles is read once, to be told as cut",
         false,
         {{0, {}, "", ""},
          {100, {file("e.kvr", 0, 5)}, "", ""},
          {1200, {file("e.kvr", 0, 5)}, "e.kvr", ""},
          {5000, {file("e.kvr", 0, 5)}, "", ""}}},
        {"a removed file counts as removed only once it counted",
         false,
         {{0, {file("a.kvr", Full, 1)}, "a.kvr", ""},
          {100, {file("a.kvr", Full, 1), file("b.kvr", Full, 5)}, "", ""},
          {500, {}, "", "", "a.kvr"}}},
        {"a file its writer closed is read at once, a short one too",
         true,
         {{0, {}, "", ""},
          {100, {file("b.kvr", 808, 5)}, "", "b.kvr", "", {writing("b.kvr")}},
          {150, {file("b.kvr", 808, 5)}, "b.kvr", "", "", {closed("b.kvr")}},
          {300, {file("b.kvr", Full, 6)}, "", "b.kvr", "", {writing("b.kvr")}},
          {350, {file("b.kvr", Full, 7)}, "b.kvr", "", "", {writing("b.kvr"), closed("b.kvr")}}}},
        {"a whole file its writer holds open is never read, however long, until its close",
         true,
         {{0, {file("a.kvr", Full, 1)}, "a.kvr", ""},
          {100,
           {file("a.kvr", Full, 1), file("h.kvr", Full, 5)},
           "",
           "h.kvr",
           "",
           {writing("h.kvr")}},
          {1200, {file("a.kvr", Full, 1), file("h.kvr", Full, 5)}, "", ""},
          {5000, {file("a.kvr", Full, 1), file("h.kvr", Full, 6)}, "", "", "", {writing("h.kvr")}},
          {5100,
           {file("a.kvr", Full, 1), file("h.kvr", Full, 6)},
           "h.kvr",
           "",
           "",
           {closed("h.kvr")}}}},
        {"a file moved in is read at once; one the news never named settles by two looks",
         true,
         {{0, {}, "", ""},
          {100,
           {file("m.kvr", Full, 5), file("x.kvr", Full, 5)},
           "m.kvr",
           "",
           "",
           {closed("m.kvr")}},
          {600, {file("m.kvr", Full, 5), file("x.kvr", Full, 5)}, "", ""},
          {1100, {file("m.kvr", Full, 5), file("x.kvr", Full, 5)}, "x.kvr", ""}}},
        {"without the system's closes, the news is not believed",
         false,
         {{0, {}, "", ""},
          {100, {file("h.kvr", Full, 5)}, "", "", "", {writing("h.kvr")}},
          {1100, {file("h.kvr", Full, 5)}, "h.kvr", ""}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WatchedFolder folder;
        const Clock::time_point start{};
        for (size_t i = 0; i < c.steps.size(); ++i) {
            const Step& step = c.steps[i];
            SCOPED_TRACE("look " + std::to_string(i + 1));
            folder.heard(step.news);
            WatchedFolder::Look look = folder.look(
                step.entries, start + std::chrono::milliseconds(step.ms), i == 0, c.closesTold);
            EXPECT_EQ(joined(look.toRead), step.read);
            EXPECT_EQ(joined(look.waiting), step.waiting);
            EXPECT_EQ(joined(look.removed), step.removed);
            for (const std::string& name : look.toRead) {
                folder.read(name, platform::Status(), recordOf("X"));
            }
        }
    }
}

TEST(WatchedFolder, TheRunCountsReadFilesInTheFoldersSortedOrderAndKeepsFailuresUntilTheyChange) {
    WatchedFolder folder;
    const Clock::time_point t0{};
    const auto at = [&](int ms) { return t0 + std::chrono::milliseconds(ms); };
    std::vector<StampedEntry> entries = {file("c.kvr", Full, 1), file("a.kvr", Full, 1),
                                         file("bad.kvr", Full, 1)};
    WatchedFolder::Look look = folder.look(entries, at(0), true);
    ASSERT_EQ(joined(look.toRead), "a.kvr bad.kvr c.kvr");
    folder.read("c.kvr", platform::Status(), recordOf("CCC"));
    folder.read("a.kvr", platform::Status(), recordOf("AAA"));
    folder.read("bad.kvr",
                platform::Status::failure(platform::StatusKind::BadInput, "not a participant file"),
                {});

    ImportedFolder imported = folder.imported();
    ASSERT_EQ(imported.records.size(), 2u);
    EXPECT_STREQ(imported.records[0].code, "AAA");
    EXPECT_STREQ(imported.records[1].code, "CCC");
    EXPECT_EQ(joined(imported.files), "a.kvr c.kvr");
    ASSERT_EQ(imported.notImported.size(), 1u);
    EXPECT_EQ(imported.notImported[0].file, "bad.kvr");

    // Unchanged, the failure is not tried again; changed and settled, it is.
    EXPECT_EQ(joined(folder.look(entries, at(2000)).toRead), "");
    entries[2].stamp.modified = 2;
    EXPECT_EQ(joined(folder.look(entries, at(3000)).toRead), "");
    EXPECT_EQ(joined(folder.look(entries, at(4000)).toRead), "bad.kvr");
    EXPECT_TRUE(folder.wasRead("bad.kvr"));
    folder.read("bad.kvr", platform::Status(), recordOf("BBB"));
    imported = folder.imported();
    EXPECT_EQ(joined(imported.files), "a.kvr bad.kvr c.kvr");
    EXPECT_TRUE(imported.notImported.empty());

    // A changed file that has not settled keeps its last record in the run.
    entries[0].stamp.modified = 7;
    EXPECT_EQ(joined(folder.look(entries, at(5000)).toRead), "");
    EXPECT_EQ(folder.imported().records.size(), 3u);
}

TEST(WatchedFolder, AFileThatAnotherProgramHoldsIsTriedAgainAtTheNextLook) {
    WatchedFolder folder;
    const Clock::time_point t0{};
    const std::vector<StampedEntry> entries = {file("a.kvr", Full, 1)};
    ASSERT_EQ(joined(folder.look(entries, t0, true).toRead), "a.kvr");
    folder.read(
        "a.kvr",
        platform::Status::failure(platform::StatusKind::Held, platform::HeldByAnotherProgram), {});
    EXPECT_FALSE(folder.wasRead("a.kvr"));
    EXPECT_TRUE(folder.imported().notImported.empty());
    EXPECT_EQ(joined(folder.look(entries, t0 + std::chrono::seconds(1)).toRead), "a.kvr");
}

} // namespace
