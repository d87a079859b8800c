// The rules a league sets for its championship: the points of each listed place, how equal
// totals are split, how many rally totals count, and the classes of vehicles ranked on their
// own. Without a league file they are the fixed rules: 12-8-6-4-2-1, equal totals in file
// order, every rally counts, no classes.
#pragma once

#include "data/championship_tables.h"
#include "data/decisions.h"
#include "data/participant.h"
#include "model/roster.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kvr {

enum class TieBreak {
    FileOrder, // equal totals in participant order
    CountBack, // more wins first, then more second places, ... down to tenth places
};

constexpr int AnyTransmission = -1;
constexpr uint64_t AnyVehicle = ~uint64_t{0};

// A group of vehicles and gearboxes whose times are ranked on their own.
struct VehicleClass {
    std::string name;
    int transmission = AnyTransmission; // the flag of a result's vehicle byte: 0 MT, 1 AT
    uint64_t vehicles = AnyVehicle;     // bit n set: vehicle number n belongs (0 to 63)

    bool accepts(uint8_t vehicle) const {
        return (vehicles >> vehicleNumber(vehicle) & 1u) != 0 &&
               (transmission == AnyTransmission || transmission == transmissionFlag(vehicle));
    }
};

using PlacePoints = std::array<int, listingLimit>;

constexpr PlacePoints fixedPlacePoints() {
    PlacePoints points{};
    for (int k = 0; k < listingLimit; ++k) {
        points[static_cast<size_t>(k)] = placePoints[k];
    }
    return points;
}

struct LeagueRules {
    std::string file;                        // as named; empty when none is used
    PlacePoints places = fixedPlacePoints(); // points of places 1 to 10
    TieBreak tieBreak = TieBreak::FileOrder;
    int bestRallies = 0; // how many of a driver's rally totals count, the best; 0: all
    std::vector<VehicleClass> classes;
    std::vector<Decision> decisions; // the organiser's, in the file's order
    Roster roster;                   // the league's drivers and teams
    // The language of what the players read (the page, the board, the post, the review
    // listing's words), by its code: "[page] language" or --language; checked when read.
    std::string language = "en";

    bool inUse() const { return !file.empty(); }
};

} // namespace kvr
