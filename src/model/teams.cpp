#include "model/teams.h"

#include "model/ranking_model.h"

#include <algorithm>
#include <map>
#include <string>

namespace kvr {

std::vector<int32_t> teamsOfParticipants(const RankingModel& model) {
    const Roster& roster = model.league.roster;
    if (roster.teams.empty()) {
        return {};
    }
    std::map<std::string, int32_t> byName;
    std::map<std::string, int32_t> byCode;
    for (size_t t = 0; t < roster.teams.size(); ++t) {
        byName.emplace(roster.teams[t].name, static_cast<int32_t>(t));
        for (const std::string& code : roster.teams[t].memberCodes) {
            byCode.emplace(code, static_cast<int32_t>(t));
        }
    }
    std::map<DriverIdentity, int32_t> byDriver;
    for (const RosterDriver& driver : roster.drivers) {
        const auto team = byName.find(driver.team);
        if (team != byName.end()) {
            byDriver.emplace(driver.identity, team->second);
        }
    }
    // Only drivers with points count for a team or stand beside one: at a million files,
    // a thousand at most.
    std::vector<int32_t> teamOf(model.participants.size(), -1);
    for (const Standing& s : model.standings) {
        const RankedParticipant& p = model.participants[static_cast<size_t>(s.participantIndex)];
        const auto driver = byDriver.find(p);
        const auto code = byCode.find(p.code);
        teamOf[static_cast<size_t>(s.participantIndex)] = driver != byDriver.end() ? driver->second
                                                          : code != byCode.end()   ? code->second
                                                                                   : -1;
    }
    return teamOf;
}

namespace {

struct TeamTally {
    TeamStanding standing;
    std::array<int, listingLimit> placesHeld{}; // counted results per place, for count-back
};

// Adds to each team the points of its first `counted` members in a listing: the listing is in
// place order, so they are its best.
void countListing(const EventListing& listed, const std::vector<int32_t>& teamOf,
                  const Roster& roster, std::vector<TeamTally>& tallies) {
    std::vector<int> taken(tallies.size(), 0);
    for (size_t k = 0; k < listed.results.size(); ++k) {
        const ListedResult& result = listed.results[k];
        const int32_t team = teamOf[static_cast<size_t>(result.participantIndex)];
        if (team < 0) {
            continue;
        }
        const auto t = static_cast<size_t>(team);
        if (taken[t] == roster.teams[t].counted) {
            continue;
        }
        ++taken[t];
        TeamTally& tally = tallies[t];
        tally.standing.points += result.points;
        if (listed.event->isArcade()) {
            tally.standing.arcadePoints += result.points;
        } else {
            tally.standing.rallyPoints[static_cast<size_t>(listed.event->rally)] += result.points;
        }
        ++tally.placesHeld[k];
    }
}

} // namespace

std::vector<TeamStanding> rankTeams(const RankingModel& model, const std::vector<int32_t>& teamOf) {
    const Roster& roster = model.league.roster;
    std::vector<TeamTally> tallies(roster.teams.size());
    for (size_t t = 0; t < tallies.size(); ++t) {
        tallies[t].standing.team = t;
    }
    for (const std::vector<EventListing>* listings : {&model.stages, &model.arcade}) {
        for (const EventListing& listed : *listings) {
            countListing(listed, teamOf, roster, tallies);
        }
    }
    for (const Standing& s : model.standings) {
        const int32_t team = teamOf[static_cast<size_t>(s.participantIndex)];
        if (team >= 0) {
            tallies[static_cast<size_t>(team)].standing.members.push_back(s.participantIndex);
        }
    }
    const bool countBack = model.league.tieBreak == TieBreak::CountBack;
    std::stable_sort(tallies.begin(), tallies.end(),
                     [countBack](const TeamTally& a, const TeamTally& b) {
                         if (a.standing.points != b.standing.points) {
                             return a.standing.points > b.standing.points;
                         }
                         return countBack && a.placesHeld > b.placesHeld;
                     });
    std::vector<TeamStanding> standings;
    for (size_t k = 0; k < tallies.size(); ++k) {
        tallies[k].standing.place = static_cast<int32_t>(k + 1);
        standings.push_back(std::move(tallies[k].standing));
    }
    return standings;
}

} // namespace kvr
