// What changed since the earlier runs of the season: plain data computed beside the ranking
// model from the history, and shown by the exports as they word it. Codes and names are the
// exports' texts (UTF-8); times are hundredths.
#pragma once

#include "data/events.h"
#include "data/participant.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kvr {

// Place 1 of an event in one run.
struct RecordHolder {
    uint32_t hundredths = 0;
    std::string code;
    std::string name;
};

// An event whose place 1 is faster than at the previous run, or that had no record then.
struct NewRecord {
    const Event* event = nullptr;
    RecordHolder now;
    std::optional<RecordHolder> previous;
    std::optional<uint32_t> marginHundredths; // previous minus now
    bool underReview = false;                 // set by a flagged result that no decision covers
};

struct RecordChange {
    std::string at; // the run's time, "YYYY-MM-DDTHH:MM:SS"
    RecordHolder holder;
    // Slower than the change before: the faster time was taken away (excluded by a decision,
    // or its file removed), so this is no record broken.
    bool annulled = false;
};

// The holders of one event's record over the runs, a new entry whenever it changed hands or
// time; this run's is the last.
struct RecordProgression {
    const Event* event = nullptr;
    std::vector<RecordChange> changes;
};

// A standings entry against the previous run.
struct StandingMovement {
    std::optional<int32_t> previousPlace;
    std::optional<int32_t> movement; // previous place minus place: a climb is positive
    bool firstPoints = false;        // in no earlier run's standings of the season
};

// One driver's points over the charted runs, oldest first; nothing for a run without them.
struct PointsOverRuns {
    int32_t participantIndex = 0;
    std::vector<std::optional<int32_t>> points;
};

// A line of the history that is not a run.
struct SkippedLine {
    size_t line = 0; // from 1, counting every line of the file
    std::string reason;
};

// Why a line was skipped.
constexpr const char* CutShortSnapshot = "a snapshot cut short";
constexpr const char* NotASnapshot = "not a snapshot";

struct SeasonChanges {
    size_t runs = 1;                          // the runs read plus this one
    bool hasPrevious = false;                 // a run was read to compare with
    std::optional<std::string> previousAt;    // the previous run's time
    std::vector<SkippedLine> skippedLines;    // lines of the history that were not runs
    std::vector<StandingMovement> movements;  // one per standings entry, in its order
    std::vector<NewRecord> newRecords;        // in the report's order
    std::vector<RecordProgression> recordLog; // every event listed in this run, in order
    // The recordLog entries whose record this run annulled (its last change), in its order.
    std::vector<size_t> annulledNow;
    // The drivers with a file in the previous run and none now; when the history does not say
    // who had a file, those of the previous run's standings, in its order.
    std::vector<DriverIdentity> left;
    // Whether every earlier run says who had a file; then `newDrivers` is known.
    bool entrantsKnown = false;
    // Participants whose driver has a file for the first time in the season: those with points
    // in standings order, then the others in participant order; each driver once.
    std::vector<int32_t> newDrivers;
    // One per league class: each class standing's movement as `movements`; nothing when the
    // previous run kept no standings of a class by that name.
    std::vector<std::optional<std::vector<StandingMovement>>> classMovements;
    // The league's decisions (from 1) that matched in this run and in no earlier one.
    std::vector<int> firstDecisions;
    std::vector<std::string> chartRuns; // the charted runs' times, oldest first
    std::vector<PointsOverRuns> chart;  // the leading drivers
};

} // namespace kvr
