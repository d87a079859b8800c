// The league's drivers across files and seasons: a roster of drivers, each known by one
// identity and by the other identities their files carry, and the teams they drive for.
#pragma once

#include "data/participant.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kvr {

struct RosterDriver {
    DriverIdentity identity;          // as the outputs show the driver
    std::vector<DriverIdentity> also; // identities in files that are this driver
    std::string team;                 // the team's name; empty: none
};

// A team: each event gives it the points of its best `counted` members.
struct Team {
    std::string name;
    int counted = 2;
    std::vector<std::string> memberCodes; // members named by code, beside the roster's
};

struct Roster {
    std::vector<RosterDriver> drivers;
    std::vector<Team> teams;
    // Without a roster driver for them, files with the same code and name are one driver.
    bool mergeCopies = false;

    bool empty() const { return drivers.empty() && teams.empty() && !mergeCopies; }
    // Each alias to its driver's identity.
    std::map<DriverIdentity, DriverIdentity> aliases() const;
};

// Longest code and name a roster driver may have: what a participant file holds.
constexpr size_t RosterCodeLimit = CodeSize - 1;
constexpr size_t RosterNameLimit = NameSize - 1;

// `utf8` in the game's bytes, when every character is printable Latin-1 (which the game's
// code page holds at the same numbers); false otherwise.
bool toGameText(const std::string& utf8, std::string& bytes);

// Files that are one driver, as their first file: `primary[i]` is the participant that holds
// participant i's times (i itself for a driver's first file).
struct MergedDrivers {
    std::vector<int32_t> primary;
    bool merged = false; // some file was merged into another, or renamed
};

// Makes each driver's files one participant, in place: the first file takes the best time of
// every event over the driver's files and the roster's code and name; the others keep their
// identity (so the checks still see them) but lose their times, and with them every listing,
// standing and record. Files that match no roster driver stay as they are, unless the roster
// merges copies.
MergedDrivers mergeDrivers(const Roster& roster, std::vector<ParticipantRecord>& records);

} // namespace kvr
