// The watch driven through the Env: a fake clock, a fake folder listing and a fake wake, so that
// an evening of files arriving runs in a moment, with no process started and no real wait. The
// files' bytes are real; only what the looks see of them is scripted.
#include "app/watch.h"

#include "model/ranking_model.h"
#include "support/participant_builder.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>

namespace {

using namespace kvr;
using kvrtest::ParticipantFileBuilder;
using std::chrono::milliseconds;
namespace fs = std::filesystem;

class FakeWake;

// The system's file steps, with the clock, the listing, the stamps and the waits faked.
class FakeEnv final : public platform::EnvWrapper {
  public:
    explicit FakeEnv(platform::StopToken& stop)
        : EnvWrapper(platform::Env::system()), stop_(stop) {}

    // What happens at a moment of the evening, in milliseconds from the start.
    void at(int64_t ms, std::function<void()> step) { script_.emplace(ms, std::move(step)); }
    // The folder's listing as the looks see it.
    void list(const std::string& name, uint64_t size, int64_t modified) {
        listing_[name] = {size, modified};
    }
    void unlist(const std::string& name) { listing_.erase(name); }
    int64_t nowMs() const { return now_; }

    std::chrono::steady_clock::time_point steadyNow() override {
        return std::chrono::steady_clock::time_point(milliseconds(now_));
    }
    platform::LocalTime localNow() override {
        platform::LocalTime time;
        time.year = 2026;
        time.month = 12;
        time.day = 10;
        time.hour = 20;
        time.minute = static_cast<int>(now_ / 60000);
        time.second = static_cast<int>(now_ / 1000 % 60);
        return time;
    }
    void sleepFor(milliseconds duration) override { advance(duration.count()); }
    platform::Status lookAtFolder(const std::string&, const char*,
                                  std::vector<platform::StampedEntry>& entries) override {
        entries.clear();
        for (const auto& [name, stamp] : listing_) {
            platform::StampedEntry entry;
            entry.name = name;
            entry.stamp = stamp;
            entries.push_back(entry);
        }
        return platform::Status();
    }
    platform::Status stampOf(const std::string&, platform::FileStamp&) override {
        return platform::Status::failure(platform::StatusKind::NotFound, "not there");
    }
    std::unique_ptr<platform::FolderWake> folderWake() override;

    // Moves the clock on, running each scripted step it passes; past the last, asks to stop.
    void advance(int64_t ms) {
        const int64_t until = now_ + ms;
        while (!script_.empty() && script_.begin()->first <= until) {
            now_ = std::max(now_, script_.begin()->first);
            auto step = std::move(script_.begin()->second);
            script_.erase(script_.begin());
            step();
        }
        now_ = until;
        if (script_.empty() && now_ >= stopAt) {
            stop_.request();
        }
    }

    int64_t stopAt = 0;

  private:
    platform::StopToken& stop_;
    int64_t now_ = 0;
    std::multimap<int64_t, std::function<void()>> script_;
    std::map<std::string, platform::FileStamp> listing_;
};

class FakeWake final : public platform::FolderWake {
  public:
    explicit FakeWake(FakeEnv& env) : env_(env) {}
    bool watch(const std::string&) override { return true; }
    bool wait(milliseconds timeout, const platform::StopToken& stop) override {
        if (!stop.requested()) {
            env_.advance(timeout.count());
        }
        return false;
    }

  private:
    FakeEnv& env_;
};

std::unique_ptr<platform::FolderWake> FakeEnv::folderWake() {
    return std::make_unique<FakeWake>(*this);
}

// The part of each console line after the time: "run 2: 1 file new; 2 drivers; ...".
std::vector<std::string> runLines(const std::string& console) {
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < console.size()) {
        const size_t end = console.find('\n', at);
        std::string line = console.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        at = end == std::string::npos ? console.size() : end + 1;
        const size_t run = line.find(" run ");
        lines.push_back(run != std::string::npos && line.size() > 8 && line[2] == ':'
                            ? line.substr(run + 1, line.find(';', run) - run - 1)
                            : line);
    }
    return lines;
}

TEST(WatchThroughTheEnv, AnEveningOfFilesRunsOnTheFakeClockWithNoRealWait) {
    kvrtest::TempFolder game;
    fs::create_directories(game / "kvr");
    const auto write = [&](const std::string& name, const std::string& code, size_t size) {
        ParticipantFileBuilder builder;
        builder.code(code).name("Driver " + code).stage(0, 0, 1, 6000 + code[0]);
        if (size != ParticipantFileSize) {
            builder.resize(size);
        }
        kvrtest::writeBytes(game / "kvr" / name, builder.bytes());
    };
    platform::StopToken stop;
    FakeEnv env(stop);
    const uint64_t Full = ParticipantFileSize;
    // The first run: one file. Then one that settles, one copied in two halves with a pause (its
    // half settles and is told as cut), one whose look sees it whole while its bytes are cut,
    // mended later, and one removed. The fake wake tells no closes: two looks settle a file.
    write("a.kvr", "AAA", Full);
    env.list("a.kvr", Full, 1);
    env.at(1500, [&] {
        write("b.kvr", "BBB", Full);
        env.list("b.kvr", Full, 2);
    });
    env.at(4000, [&] {
        write("c.kvr", "CCC", 800);
        env.list("c.kvr", 800, 3);
    });
    env.at(6000, [&] {
        write("c.kvr", "CCC", Full);
        env.list("c.kvr", Full, 4);
    });
    env.at(9000, [&] {
        write("d.kvr", "DDD", 1000);
        env.list("d.kvr", Full, 5); // the look sees it whole; the read finds it cut
    });
    env.at(12000, [&] {
        write("d.kvr", "DDD", Full);
        env.list("d.kvr", Full, 6);
    });
    env.at(15000, [&] {
        fs::remove(game / "kvr" / "a.kvr");
        env.unlist("a.kvr");
    });
    env.stopAt = 18000;

    WatchSettings settings;
    settings.options.updateRecords = false;
    settings.options.game.folder = game.path().string();
    const auto started = std::chrono::steady_clock::now();
    const kvrtest::ConsoleRun run =
        kvrtest::captureConsole([&](std::FILE* console, std::FILE* errors) {
            return watchGameFolder(env, console, errors, settings, stop);
        });
    const auto took = std::chrono::steady_clock::now() - started;

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(runLines(run.console),
              (std::vector<std::string>{
                  "importing a.kvr ... ok!", "run 1: 1 file", "run 2: 1 file new (b.kvr)",
                  "run 3: 1 file new (c.kvr)", "waiting for kvr/c.kvr to finish copying",
                  "run 4: 1 changed (c.kvr)", "run 5: 1 file new (d.kvr)",
                  "waiting for kvr/d.kvr to finish copying", "run 6: 1 changed (d.kvr)",
                  "run 7: 1 removed (a.kvr)", "Stopped after 7 runs"}));
    // A cut file that settled is told as a plain run tells it, once until it changes.
    // Captured in the process: line ends as written, on every platform.
    EXPECT_EQ(run.errors, "kvrrank: kvr/c.kvr: too short: 800 bytes, at least 1616 needed\n"
                          "kvrrank: kvr/d.kvr: too short: 1000 bytes, at least 1616 needed\n");
    EXPECT_GE(env.nowMs(), 18000);
    // The last run ranks b, c and d; a was removed.
    const std::string report = kvrtest::readText(game / "ranking.txt");
    EXPECT_EQ(report.find("AAA"), std::string::npos);
    for (const char* code : {"BBB", "CCC", "DDD"}) {
        EXPECT_NE(report.find(code), std::string::npos) << code;
    }
    EXPECT_LT(took, std::chrono::seconds(3)) << "the fake clock waited for real";
}

} // namespace
