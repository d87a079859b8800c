// The season's history file, held by the run that adds to it.
#pragma once

#include "output/season_owner.h"
#include "platform/fs.h"

#include <cstdio>

#include <chrono>
#include <memory>
#include <string>

namespace kvr {

// The season's history as a run read it.
struct SeasonRead {
    std::string content; // the whole file
    std::string problem; // why it could not be read or used; empty when it could
};

// Why a run that waited `wait` for its season wrote nothing: "held by another program: waited
// 10 s, nothing written".
std::string seasonHeldReason(std::chrono::milliseconds wait);

// Tells on `console` who holds the season at `path`, when its owner record names a kvrrank
// that still runs: a run looks before it reads its files, so that this is its first line.
// True when told.
bool tellSeasonHolder(platform::Env& env, const std::string& path, std::chrono::milliseconds wait,
                      std::FILE* console);

// The season's history, held from before a run publishes until its line is added: a second run
// waits for it, and never replaces an output of the run that holds it.
class SeasonHold {
  public:
    SeasonHold() = default;
    // Lets go of the season, its owner record first.
    ~SeasonHold();
    SeasonHold(const SeasonHold&) = delete;
    SeasonHold& operator=(const SeasonHold&) = delete;

    // What the owner record says of this holder, and where a run that finds the season held by
    // another kvrrank tells so before it waits (nowhere when null).
    void announce(SeasonHolder kind, std::FILE* console) {
        kind_ = kind;
        console_ = console;
    }
    // Opens and locks the history at `path` (created when missing) and reads it. Another run
    // holding it is waited for, up to `wait`; false then, with nothing else done. Any other
    // failure is kept in `read().problem` (the run goes on without the season) and gives true.
    bool take(platform::Env& env, const std::string& path, std::chrono::milliseconds wait);
    const SeasonRead& read() const { return read_; }
    // Frees the history's text once the run is compared with it.
    void forgetContent();
    // Adds `entry` in one write and releases the lock.
    platform::Status append(const std::string& entry);
    bool held() const { return file_ != nullptr; }

  private:
    void dropOwner();

    platform::Env* env_ = nullptr;
    std::string path_;
    SeasonHolder kind_ = SeasonHolder::Run;
    std::FILE* console_ = nullptr;
    bool ownerWritten_ = false;
    std::unique_ptr<platform::AppendOnlyFile> file_;
    SeasonRead read_;
};

} // namespace kvr
