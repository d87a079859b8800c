// The season's history: a JSON Lines file with one snapshot of the ranking per run. Making this
// run's line, and reading the lines of the earlier runs into what the comparison needs. Pure:
// the file itself is read and appended by the run driver.
#pragma once

#include "data/events.h"
#include "model/ranking_model.h"
#include "model/season_changes.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kvr::history {

// The member that marks a line as a snapshot, with the value 1.
constexpr const char* SnapshotFormatKey = "kvrrank_history";

struct SnapshotStanding {
    int32_t place = 0;
    std::string code;
    std::string name;
    int32_t points = 0;
};

// A league class's standings in one run, under the class's name.
struct ClassSnapshot {
    std::string name;
    std::vector<SnapshotStanding> standings;
};

// Who had a file in a run. A line holds all of them, or what changed since the run before it;
// lines of earlier versions hold neither.
enum class EntrantsHeld { None, All, Changes };

struct Snapshot {
    std::optional<std::string> at;
    std::vector<SnapshotStanding> standings;
    // By event number. A line's "time" text is checked, not kept: the hundredths say it.
    std::array<std::optional<RecordHolder>, EventCount> records;
    std::vector<int32_t> decisions; // the league's decisions that matched in that run, from 1
    std::vector<ClassSnapshot> classes;
    EntrantsHeld entrantsHeld = EntrantsHeld::None;
    std::vector<DriverIdentity> entered; // All: every entrant; Changes: those new since
    std::vector<DriverIdentity> gone;    // Changes: the run before's entrants without a file
};

// This run's entrants against the last run of the history, as the line will hold them.
struct EntrantChange {
    bool all = true; // the last run's entrants are not known: `entered` is every entrant
    std::vector<DriverIdentity> entered;
    std::vector<DriverIdentity> gone;
};

// The snapshot on one line (without its line end); nothing when the line is not a JSON object
// with "kvrrank_history": 1. Standings and records entries that lack a field, or have one of
// the wrong type, are left out; so are records of unknown events, and repeats of an event.
std::optional<Snapshot> parseSnapshot(std::string_view line);

// This run's snapshot: one compact JSON line, ended by a line feed. Without `entrants`, the
// line holds every entrant.
std::string snapshotLine(const RankingModel& model, const EntrantChange* entrants = nullptr);

// What is appended to a history that holds `existing`: `line`, after a line feed when the
// history does not end with one, so that a torn last line stays on a line of its own.
std::string textToAppend(std::string_view existing, const std::string& line);

// Whether a file is a history, from its first bytes `head` (the whole file when `whole`): its
// first line is a snapshot. A first line longer than `head` counts when it begins as this
// program writes one.
bool beginsAsHistory(std::string_view head, bool whole);

struct RecordChangeRead {
    std::optional<std::string> at;
    RecordHolder holder;
};

// A run of the history as numbers: each driver by their number in the digest's table, so that
// a long season of large fields holds every name once.
struct RunStanding {
    int32_t place = 0;
    int32_t points = 0;
    uint32_t driver = 0;
};

struct RunRecord {
    uint32_t hundredths = 0;
    uint32_t driver = 0;
};

struct ClassRun {
    std::string name;
    std::vector<RunStanding> standings;
};

struct HistoryRun {
    std::optional<std::string> at;
    std::vector<RunStanding> standings;                       // in the line's order
    std::array<std::optional<RunRecord>, EventCount> records; // by event number
    std::vector<int32_t> decisions;
    std::vector<ClassRun> classes; // empty in lines of earlier versions, and without classes
};

// What a history file holds. Moved, never copied: the driver table refers into itself.
class HistoryDigest {
  public:
    HistoryDigest() = default;
    HistoryDigest(HistoryDigest&&) = default;
    HistoryDigest& operator=(HistoryDigest&&) = default;
    HistoryDigest(const HistoryDigest&) = delete;
    HistoryDigest& operator=(const HistoryDigest&) = delete;

    // Every run, in file order: the last is the previous run.
    std::vector<HistoryRun> runs;
    // Lines that are neither snapshots nor empty, in file order, with why.
    std::vector<SkippedLine> skipped;
    bool tornSnapshot = false; // a skipped line that begins as a snapshot does
    // Each event's record whenever it changed, in file order.
    std::array<std::vector<RecordChangeRead>, EventCount> recordLog;
    // The drivers with a file in the last run, by number, ascending; nothing when its line, or
    // a line it builds on, does not say.
    std::optional<std::vector<uint32_t>> lastEntrants;
    // Every run says who had a file: a driver that no run names is then new to the season.
    bool everyRunHasEntrants = true;

    // A file with lines of its own but no snapshot, not even a torn one, is no history.
    bool isHistory() const { return !runs.empty() || skipped.empty() || tornSnapshot; }

    // The drivers the runs name, each once, numbered in the order first named.
    const DriverIdentity& driver(uint32_t number) const { return *drivers_[number]; }
    size_t driverCount() const { return drivers_.size(); }
    // The number of a driver; nothing for a driver no run names.
    std::optional<uint32_t> driverNumber(const DriverIdentity& driver) const;
    // A run as its line said it, with the drivers' texts.
    Snapshot snapshot(size_t run) const;

    // Adds a snapshot as the last run.
    void add(Snapshot&& snapshot);

  private:
    uint32_t number(std::string&& code, std::string&& name);
    std::vector<RunStanding> numbered(std::vector<SnapshotStanding>& standings);
    void addEntrants(Snapshot& snapshot);

    struct IdentityHash {
        size_t operator()(const DriverIdentity& driver) const {
            const std::hash<std::string> hash;
            return hash(driver.code) * 31 ^ hash(driver.name);
        }
    };
    // Hashed: a season of large fields names a hundred thousand drivers.
    std::unordered_map<DriverIdentity, uint32_t, IdentityHash> numbers_;
    std::vector<const DriverIdentity*> drivers_; // the keys of numbers_, by number
};

// Reads every line of a history file's text ("\n" line ends; a "\r" before one is allowed).
// A driver that `aliases` holds is read as the identity it maps to: the roster's name for them.
HistoryDigest readHistory(std::string_view text,
                          const std::map<DriverIdentity, DriverIdentity>* aliases = nullptr);

// This run's entrants, each driver once, against the history's last run: what changed when its
// entrants are known, else all of them.
EntrantChange entrantChange(const HistoryDigest& history, const RankingModel& model);

} // namespace kvr::history
