// What changed on the live board since its first run: who arrived, the records broken and the
// biggest moves in the standings. Computed from a summary kept of the board's first run and
// the current model, so the page renders it as data.
#pragma once

#include "data/participant.h"
#include "model/ranking_model.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kvr {

// How many moves the section lists at most.
constexpr size_t MostTonightMoves = 5;

// A listing's place 1 as a run saw it.
struct EventRecord {
    int event = -1; // Event::number
    uint32_t time = 0;
    DriverIdentity holder;
};

// What the board keeps of its first run: its drivers, each standing's driver and place, and
// each event's record.
struct BoardStart {
    std::vector<DriverIdentity> drivers;                    // every participant, points or not
    std::vector<std::pair<DriverIdentity, int32_t>> places; // in standings order
    std::vector<EventRecord> records;                       // by event number
};

// A driver who was not in the board's first run, and the time of day of the run that brought
// them.
struct Arrival {
    DriverIdentity driver;
    std::string at; // "20:14:03"
};

struct BrokenRecord {
    int event = -1;
    std::string eventTitle;
    uint32_t time = 0;
    DriverIdentity holder;
    bool hadRecord = false; // false: the first time in the event
    uint32_t beatenTime = 0;
    DriverIdentity beatenHolder;
};

struct TonightMove {
    DriverIdentity driver;
    int32_t from = 0;
    int32_t to = 0;
    int32_t places() const { return from - to; } // positive: up
};

struct Tonight {
    bool changed = false; // false before the board's second run
    std::vector<Arrival> arrivals;
    std::vector<BrokenRecord> records;
    std::vector<TonightMove> moves;
};

BoardStart summarizeBoardStart(const RankingModel& model);

// The drivers of `model` that neither `start` nor `known` holds: the arrivals a run brings, in
// standings order, then those without points in participant order.
std::vector<DriverIdentity> newDrivers(const BoardStart& start, const std::vector<Arrival>& known,
                                       const RankingModel& model);

// The records broken and the moves since `start`, with the arrivals kept so far. Moves are
// ordered by the number of places, then by current place.
Tonight compareTonight(const BoardStart& start, const RankingModel& now,
                       std::vector<Arrival> arrivals);

} // namespace kvr
