// Rivalries: for pairs of drivers near the top of the standings, the events both have a time
// in, who was faster in how many, and the points each took from them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kvr {

struct RankingModel;

// All pairs in a field of up to this many drivers with points; beyond it, the pairs of the
// first HeadToHeadLeaders only, so that the table stays at 45 pairs whatever the field.
constexpr size_t HeadToHeadAllPairs = 30;
constexpr size_t HeadToHeadLeaders = 10;

struct HeadToHead {
    int32_t a; // participants: `a` stands ahead of `b`
    int32_t b;
    int events = 0; // events both have a time in
    int aFaster = 0;
    int bFaster = 0;
    int equal = 0;
    int aPoints = 0; // listing points each took in those events
    int bPoints = 0;
};

// The pairs in standings order: (1, 2), (1, 3), ..., (2, 3), ...
std::vector<HeadToHead> headToHead(const RankingModel& model);

// Per standing: the pair (in `pairs`) of the driver's closest rival: of the pairs that met in
// at least one event, the one with the fewest wins between them, then the most events, then
// the first; -1 when none met.
std::vector<int32_t> closestRivals(const RankingModel& model, const std::vector<HeadToHead>& pairs);

} // namespace kvr
