#include "output/season_hold.h"
#include "output/season_owner.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using kvr::SeasonHolder;
using kvr::SeasonOwner;

// The system, with the id of this process and the processes that run chosen by the test.
class PidEnv final : public kvr::platform::EnvWrapper {
  public:
    PidEnv() : EnvWrapper(kvr::platform::Env::system()) {}
    long processId() override { return self; }
    bool processRuns(long pid) override { return running.count(pid) != 0; }
    kvr::platform::LocalTime localNow() override {
        kvr::platform::LocalTime time;
        time.hour = 20;
        time.minute = 1;
        time.second = 5;
        return time;
    }
    long self = 4711;
    std::set<long> running{4711};
};

TEST(SeasonOwner, RecordReadsBackAsWritten) {
    const struct {
        const char* text;
        bool valid;
        long pid;
        SeasonHolder kind;
    } cases[] = {
        {"4711 board 20:01:05\n", true, 4711, SeasonHolder::Board},
        {"12 run 00:00:00", true, 12, SeasonHolder::Run},
        {"", false, 0, SeasonHolder::Run},
        {"4711 board", false, 0, SeasonHolder::Run},
        {"4711 watcher 20:01:05\n", false, 0, SeasonHolder::Run},
        {"-3 run 20:01:05\n", false, 0, SeasonHolder::Run},
        {"0 run 20:01:05\n", false, 0, SeasonHolder::Run},
        {"4711 run 25:01:05\n", false, 0, SeasonHolder::Run},
        {"4711 run 20:1:5\n", false, 0, SeasonHolder::Run},
        {"4711 run 20:01:05 extra\n", false, 0, SeasonHolder::Run},
        {"\x01\xff garbage", false, 0, SeasonHolder::Run},
    };
    for (const auto& c : cases) {
        const std::optional<SeasonOwner> owner = kvr::parseSeasonOwner(c.text);
        ASSERT_EQ(owner.has_value(), c.valid) << c.text;
        if (owner) {
            EXPECT_EQ(owner->pid, c.pid) << c.text;
            EXPECT_EQ(owner->kind, c.kind) << c.text;
            EXPECT_EQ(kvr::formatSeasonOwner(*owner), std::string(c.text).substr(0, 19) + "\n");
        }
    }
}

TEST(SeasonOwner, WrittenReadBackStaleAndRemoved) {
    kvrtest::TempFolder folder;
    const std::string season = (folder / "season.jsonl").string();
    PidEnv env;
    ASSERT_TRUE(kvr::writeSeasonOwner(env, season, SeasonHolder::Board));
    EXPECT_EQ(kvrtest::readText(folder / "season.jsonl.owner"), "4711 board 20:01:05\n");

    std::optional<SeasonOwner> owner = kvr::readSeasonOwner(env, season);
    ASSERT_TRUE(owner.has_value());
    EXPECT_EQ(kvr::seasonHolderLine("season.jsonl", *owner, 10s),
              "season.jsonl is held by the kvrrank board (process 4711) since 20:01; waiting up "
              "to 10 s");
    owner->kind = SeasonHolder::Run;
    EXPECT_EQ(kvr::seasonHolderLine("season.jsonl", *owner, 250ms),
              "season.jsonl is held by another kvrrank run (process 4711) since 20:01:05; "
              "waiting up to 250 ms");

    // The process gone: the record is not believed.
    env.running.clear();
    EXPECT_FALSE(kvr::readSeasonOwner(env, season).has_value());

    // Another process's record stays; this process's own goes.
    env.self = 99;
    EXPECT_FALSE(kvr::removeSeasonOwner(env, season));
    EXPECT_TRUE(fs::exists(folder / "season.jsonl.owner"));
    env.self = 4711;
    EXPECT_TRUE(kvr::removeSeasonOwner(env, season));
    EXPECT_FALSE(fs::exists(folder / "season.jsonl.owner"));
    EXPECT_FALSE(kvr::readSeasonOwner(env, season).has_value());

    // A garbled record, even with a running process's id in it, is ignored.
    kvrtest::writeText(folder / "season.jsonl.owner", "4711 board twenty past eight\n");
    env.running = {4711};
    EXPECT_FALSE(kvr::readSeasonOwner(env, season).has_value());
}

TEST(SeasonOwner, HoldWritesTheRecordAndRemovesItAtRelease) {
    kvrtest::TempFolder folder;
    const std::string season = (folder / "season.jsonl").string();
    const fs::path record = folder / "season.jsonl.owner";
    PidEnv env;
    // A stale record of a holder that crashed is replaced.
    kvrtest::writeText(record, "31337 run 19:00:00\n");
    {
        kvr::SeasonHold hold;
        hold.announce(SeasonHolder::Run, nullptr);
        ASSERT_TRUE(hold.take(env, season, 0ms));
        EXPECT_EQ(kvrtest::readText(record), "4711 run 20:01:05\n");
        ASSERT_TRUE(hold.append("{}\n"));
        EXPECT_FALSE(fs::exists(record));
    }
    {
        kvr::SeasonHold hold;
        hold.announce(SeasonHolder::Board, nullptr);
        ASSERT_TRUE(hold.take(env, season, 0ms));
        EXPECT_EQ(kvrtest::readText(record), "4711 board 20:01:05\n");
    }
    EXPECT_FALSE(fs::exists(record));
}

} // namespace
