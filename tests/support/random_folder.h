// Random participant lists for the ranking tests: few distinct times, so that listings and
// point totals are full of ties, and names with any byte but NUL.
#pragma once

#include "data/participant.h"

#include <cstdint>
#include <vector>

namespace kvrtest {

struct RandomFolderShape {
    size_t participants = 20;
    uint32_t distinctTimes = 4;  // how many different times there are: many ties
    unsigned resultPercent = 60; // chance that a participant has a result in an event
    bool oddNames = true;        // names of random bytes (controls, Windows-1252), else ASCII
    uint32_t timeStep = 6037;    // between two distinct times: 60.37 s reaches minutes
};

// Codes are distinct letters-only (up to 3), and every name starts with a distinct "P<i> ".
std::vector<kvr::ParticipantRecord> randomParticipants(uint32_t seed,
                                                       const RandomFolderShape& shape = {});

} // namespace kvrtest
