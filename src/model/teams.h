// Team standings: each event gives a team the points of its best `counted` members there.
#pragma once

#include "data/championship_tables.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kvr {

struct RankingModel;

struct TeamStanding {
    size_t team;   // in the league's teams
    int32_t place; // from 1, distinct, as the drivers' places are
    int points;    // the counted members' listing points; decisions' points are a driver's own
    std::array<int, RallyCount> rallyPoints{}; // from each rally's stages
    int arcadePoints = 0;
    std::vector<int32_t> members; // participants in the team with a standing, in its order
};

// The team of each participant with a standing (by the roster's identity, or a team's member
// codes), in the league's teams; -1 for none and for every participant without points. Empty
// when the league has no teams.
std::vector<int32_t> teamsOfParticipants(const RankingModel& model);

// Every team of the league, most points first; equal totals in the league's tie-break: more
// counted wins first, then more second places and so on, or the league file's order.
// `teamOf` is teamsOfParticipants(model).
std::vector<TeamStanding> rankTeams(const RankingModel& model, const std::vector<int32_t>& teamOf);

} // namespace kvr
