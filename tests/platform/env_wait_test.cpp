#include "platform/env.h"
#include "platform/folder_watch.h"
#include "platform/wait.h"

#include "support/faulty_env.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace kvr::platform;
using namespace std::chrono_literals;
using kvrtest::TempFolder;
using Clock = std::chrono::steady_clock;

// An Env whose clock only moves when it sleeps, and whose look at a folder gives what the test
// sets.
class ScriptedEnv : public EnvWrapper {
  public:
    ScriptedEnv() : EnvWrapper(Env::system()) {}

    Clock::time_point steadyNow() override { return now; }
    void sleepFor(std::chrono::milliseconds duration) override {
        now += duration;
        slept.push_back(duration);
    }
    Status lookAtFolder(const std::string& folder, const char*,
                        std::vector<StampedEntry>& entries) override {
        looked = folder;
        entries = found;
        return lookResult;
    }
    Status stampOf(const std::string& path, FileStamp& stamp) override {
        looked = path;
        stamp = found.empty() ? FileStamp() : found.front().stamp;
        return lookResult;
    }

    Clock::time_point now{};
    std::vector<std::chrono::milliseconds> slept;
    std::vector<StampedEntry> found;
    Status lookResult;
    std::string looked;
};

Status held() {
    return Status::failure(StatusKind::Held, HeldByAnotherProgram);
}

TEST(RetryWhileHeld, TriesAgainOnlyWhileHeldAndUntilTheTimeout) {
    struct Case {
        const char* what;
        std::vector<Status> results; // of the tries in turn; the last one repeats
        std::chrono::milliseconds timeout;
        std::chrono::milliseconds every;
        size_t tries;
        StatusKind kind;
    };
    const Case cases[] = {
        {"free on the third try", {held(), held(), Status()}, 1000ms, 50ms, 3, StatusKind::Ok},
        {"held past the timeout", {held()}, 1000ms, 50ms, 21, StatusKind::Held},
        {"held past a timeout between sleeps", {held()}, 120ms, 50ms, 4, StatusKind::Held},
        {"no timeout: one try", {held()}, 0ms, 50ms, 1, StatusKind::Held},
        {"missing: given up at once",
         {Status::failure(StatusKind::NotFound, "gone")},
         1000ms,
         50ms,
         1,
         StatusKind::NotFound},
        {"held, then a device error",
         {held(), Status::failure(StatusKind::IoError, "device")},
         1000ms,
         10ms,
         2,
         StatusKind::IoError},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedEnv env;
        size_t tries = 0;
        const Status status = retryWhileHeld(
            env, c.timeout,
            [&] {
                ++tries;
                return c.results[std::min(tries, c.results.size()) - 1];
            },
            c.every);
        EXPECT_EQ(tries, c.tries);
        EXPECT_EQ(status.kind(), c.kind);
        ASSERT_EQ(env.slept.size(), c.tries - 1);
        for (auto slept : env.slept) {
            EXPECT_EQ(slept, c.every);
        }
    }
}

TEST(RetryWhileHeld, WaitsFiftyMillisecondsByDefault) {
    ScriptedEnv env;
    int tries = 0;
    const Status status = retryWhileHeld(env, 1s, [&] { return ++tries < 2 ? held() : Status(); });
    EXPECT_TRUE(status);
    EXPECT_EQ(env.slept, std::vector<std::chrono::milliseconds>{50ms});
}

TEST(LookAtFolder, GoesThroughTheEnvAndSortsIntoListingOrder) {
    ScriptedEnv scripted;
    scripted.found = {{"b.kvr", false, {3, 30}}, {"A.kvr", false, {1, 10}}, {"a.kvr", true, {}}};
    // Through a wrapper too: every step of the look is forwarded.
    kvrtest::FaultyEnv env(scripted);
    std::vector<StampedEntry> entries = {{"stale.kvr", false, {}}};
    ASSERT_TRUE(lookAtFolder(env, "Participants", ".kvr", entries));
    EXPECT_EQ(scripted.looked, "Participants");
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].name, "A.kvr");
    EXPECT_EQ(entries[0].stamp, (FileStamp{1, 10}));
    EXPECT_EQ(entries[1].name, "a.kvr");
    EXPECT_TRUE(entries[1].isFolder);
    EXPECT_EQ(entries[2].name, "b.kvr");

    FileStamp stamp;
    ASSERT_TRUE(stampOf(env, "kvrrank.toml", stamp));
    EXPECT_EQ(scripted.looked, "kvrrank.toml");
    EXPECT_EQ(stamp, (FileStamp{3, 30}));

    // A failed look leaves no entries, whatever the Env left behind.
    scripted.lookResult = Status::failure(StatusKind::NotFound, "gone");
    EXPECT_EQ(lookAtFolder(env, "Participants", ".kvr", entries).kind(), StatusKind::NotFound);
    EXPECT_TRUE(entries.empty());
}

TEST(LookAtFolder, TheSystemsLookGivesSizesAndFoldersAndFailsOnAMissingFolder) {
    TempFolder folder;
    kvrtest::writeText(folder / "b.kvr", "12345");
    kvrtest::writeText(folder / "a.KVR", "1");
    kvrtest::writeText(folder / "notes.txt", "x");
    std::filesystem::create_directory(folder / "c.kvr");
    std::vector<StampedEntry> entries;
    ASSERT_TRUE(lookAtFolder(Env::system(), folder.path().u8string().c_str(), ".kvr", entries));
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].name, "a.KVR");
    EXPECT_EQ(entries[0].stamp.size, 1u);
    EXPECT_EQ(entries[1].name, "b.kvr");
    EXPECT_EQ(entries[1].stamp.size, 5u);
    EXPECT_NE(entries[1].stamp.modified, 0);
    EXPECT_TRUE(entries[2].isFolder);

    FileStamp stamp;
    ASSERT_TRUE(stampOf(Env::system(), (folder / "b.kvr").u8string().c_str(), stamp));
    EXPECT_EQ(stamp, entries[1].stamp);
    EXPECT_EQ(stampOf(Env::system(), (folder / "none.kvr").u8string().c_str(), stamp).kind(),
              StatusKind::NotFound);
    EXPECT_EQ(
        lookAtFolder(Env::system(), (folder / "none").u8string().c_str(), ".kvr", entries).kind(),
        StatusKind::NotFound);
    EXPECT_TRUE(entries.empty());
}

TEST(SystemEnv, TellsTheLocalTimeAndSleeps) {
    const LocalTime now = Env::system().localNow();
    EXPECT_GE(now.year, 2024);
    EXPECT_TRUE(now.month >= 1 && now.month <= 12) << now.month;
    EXPECT_TRUE(now.day >= 1 && now.day <= 31) << now.day;
    EXPECT_TRUE(now.hour >= 0 && now.hour <= 23) << now.hour;
    const auto before = Env::system().steadyNow();
    Env::system().sleepFor(20ms);
    EXPECT_GE(Env::system().steadyNow() - before, 20ms);
}

TEST(StopToken, IsRequestedUntilCleared) {
    StopToken token;
    EXPECT_FALSE(token.requested());
    token.request();
    token.request();
    EXPECT_TRUE(token.requested());
    token.clear();
    EXPECT_FALSE(token.requested());
}

TEST(FolderWake, TheSystemsWaitEndsEarlyOnAStopFromAnotherThread) {
    for (const bool watched : {true, false}) {
        SCOPED_TRACE(watched ? "watching a folder" : "watching nothing");
        TempFolder folder;
        const std::unique_ptr<FolderWake> wake = Env::system().folderWake();
        ASSERT_NE(wake, nullptr);
        if (watched) {
            wake->watch(folder.path().u8string());
        }
        StopToken stop;
        const auto start = Clock::now();
        std::thread stopper([&stop] {
            std::this_thread::sleep_for(150ms);
            stop.request();
        });
        EXPECT_FALSE(wake->wait(30s, stop));
        stopper.join();
        const auto took = Clock::now() - start;
        EXPECT_GE(took, 150ms);
        EXPECT_LT(took, 5s);
        // Already requested: no wait at all.
        EXPECT_FALSE(wake->wait(30s, stop));
        EXPECT_LT(Clock::now() - start, 6s);
    }
}

#if defined(__linux__) || defined(_WIN32)
TEST(FolderWake, TheSystemsWaitWakesWhenAFileArrives) {
    TempFolder folder;
    const std::unique_ptr<FolderWake> wake = Env::system().folderWake();
    ASSERT_TRUE(wake->watch(folder.path().u8string()));
    StopToken stop;
    // Nothing happens: the whole timeout passes.
    EXPECT_FALSE(wake->wait(150ms, stop));
    std::thread writer([&folder] {
        std::this_thread::sleep_for(100ms);
        kvrtest::writeText(folder / "a.kvr", "new");
    });
    const auto start = Clock::now();
    EXPECT_TRUE(wake->wait(30s, stop));
    EXPECT_LT(Clock::now() - start, 10s);
    writer.join();
}
#endif

} // namespace
