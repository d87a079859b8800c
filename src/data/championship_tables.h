// The championship's fixed shape: rallies, arcade events, vehicles, labels, points.
#pragma once

#include <cstdint>

namespace kvr {

constexpr int RallyCount = 8;
constexpr int ArcadeEventCount = 8;
constexpr int StageSlotsPerRally = 12;     // stage slots per rally in a participant file
constexpr int GameStageSlotsPerRally = 11; // stage entries per rally in the game's records file
constexpr int VehicleCount = 22;
constexpr int listingLimit = 10; // places listed per stage and arcade event

constexpr const char* rallyNames[RallyCount] = {
    "Finland", "Greece", "France", "Sweden", "Australia", "Kenya", "Italy", "United Kingdom",
};

constexpr int stageCounts[RallyCount] = {10, 11, 10, 11, 10, 11, 10, 11};

constexpr const char* arcadeNames[ArcadeEventCount] = {
    "Italy", "Sweden", "Greece", "Australia", "Finland", "France", "Kenya", "United Kingdom",
};

constexpr const char* vehicleNames[VehicleCount] = {
    "arden vela",
    "arden vela 1999",
    "arden vela alternate 1",
    "arden vela alternate 2",
    "kasuga rai",
    "kasuga rai alternate 1",
    "kasuga rai alternate 2",
    "kasuga rai road car",
    "hoshin arc",
    "tenzan gale",
    "marlet 140",
    "olvera brisa",
    "corsetti duo",
    "corsetti duo alternate 1",
    "corsetti duo alternate 2",
    "arden kestrel rs",
    "pico runner s",
    "brant civita 6x4",
    "corsetti falco",
    "marlet 120 turbo",
    "arden racing lynx",
    "arden pacer mk1",
};

// Indexed by the transmission flag (bit 6 of a result's vehicle byte).
constexpr const char* transmissionLabels[2] = {"MT", "AT"};

// Indexed by the listed place counted from 0.
constexpr int placePoints[listingLimit] = {12, 8, 6, 4, 2, 1, 0, 0, 0, 0};

constexpr int totalStageCount() {
    int total = 0;
    for (int count : stageCounts) {
        total += count;
    }
    return total;
}

constexpr int StageCount = totalStageCount();

static_assert(StageCount == 84, "the championship has 84 stages");
static_assert(GameStageSlotsPerRally < StageSlotsPerRally, "");

constexpr bool stageCountsFitGameTable() {
    for (int count : stageCounts) {
        if (count > GameStageSlotsPerRally) {
            return false;
        }
    }
    return true;
}
static_assert(stageCountsFitGameTable(), "a rally must not reach into the next rally's entries");

} // namespace kvr
