#include "data/championship_tables.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace kvr;

// The rally order and the arcade order differ; mixing them up would misfile every result.
TEST(ChampionshipTables, RallyAndArcadeOrdersAreDistinct) {
    EXPECT_EQ(std::string(rallyNames[0]), "Finland");
    EXPECT_EQ(std::string(arcadeNames[0]), "Italy");
    EXPECT_EQ(std::string(rallyNames[7]), "United Kingdom");
    EXPECT_EQ(stageCounts[7], 11);
    EXPECT_EQ(std::string(arcadeNames[7]), "United Kingdom");
    EXPECT_EQ(std::string(vehicleNames[0]), "arden vela");
    EXPECT_EQ(std::string(vehicleNames[VehicleCount - 1]), "arden pacer mk1");
}

TEST(ChampionshipTables, PointsEndAtTheSixthPlace) {
    int total = 0;
    for (int place = 0; place < listingLimit; ++place) {
        total += placePoints[place];
    }
    EXPECT_EQ(total, 33);
    EXPECT_EQ(placePoints[5], 1);
    EXPECT_EQ(placePoints[6], 0);
    EXPECT_EQ(placePoints[9], 0);
}

} // namespace
