#include "model/head_to_head.h"

#include "model/ranking_model.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <map>

namespace kvr {

std::vector<HeadToHead> headToHead(const RankingModel& model) {
    const size_t drivers =
        model.standings.size() <= HeadToHeadAllPairs ? model.standings.size() : HeadToHeadLeaders;
    // Each driver's listing points per event: only the first ten of a listing earn any.
    std::map<int32_t, size_t> row;
    for (size_t d = 0; d < drivers; ++d) {
        row.emplace(model.standings[d].participantIndex, d);
    }
    std::vector<std::array<int, EventCount>> points(drivers);
    for (const std::vector<EventListing>* listings : {&model.stages, &model.arcade}) {
        for (const EventListing& listed : *listings) {
            for (const ListedResult& result : listed.results) {
                const auto found = row.find(result.participantIndex);
                if (found != row.end()) {
                    points[found->second][static_cast<size_t>(listed.event->number)] +=
                        result.points;
                }
            }
        }
    }
    std::vector<HeadToHead> pairs;
    pairs.reserve(drivers * (drivers > 0 ? drivers - 1 : 0) / 2);
    for (size_t x = 0; x < drivers; ++x) {
        for (size_t y = x + 1; y < drivers; ++y) {
            HeadToHead pair;
            pair.a = model.standings[x].participantIndex;
            pair.b = model.standings[y].participantIndex;
            const RankedParticipant& a = model.participants[static_cast<size_t>(pair.a)];
            const RankedParticipant& b = model.participants[static_cast<size_t>(pair.b)];
            for (const Event& event : allEvents()) {
                const uint32_t ta = a.time(event);
                const uint32_t tb = b.time(event);
                if (ta == NoTime || tb == NoTime) {
                    continue;
                }
                ++pair.events;
                pair.aFaster += ta < tb ? 1 : 0;
                pair.bFaster += tb < ta ? 1 : 0;
                pair.equal += ta == tb ? 1 : 0;
                pair.aPoints += points[x][static_cast<size_t>(event.number)];
                pair.bPoints += points[y][static_cast<size_t>(event.number)];
            }
            pairs.push_back(pair);
        }
    }
    return pairs;
}

std::vector<int32_t> closestRivals(const RankingModel& model,
                                   const std::vector<HeadToHead>& pairs) {
    std::map<int32_t, size_t> standingOf;
    for (size_t s = 0; s < model.standings.size(); ++s) {
        standingOf.emplace(model.standings[s].participantIndex, s);
    }
    std::vector<int32_t> closest(model.standings.size(), -1);
    auto closer = [&pairs](const HeadToHead& candidate, int32_t best) {
        if (best < 0) {
            return true;
        }
        const HeadToHead& held = pairs[static_cast<size_t>(best)];
        const int apart = std::abs(candidate.aFaster - candidate.bFaster);
        const int heldApart = std::abs(held.aFaster - held.bFaster);
        return apart < heldApart || (apart == heldApart && candidate.events > held.events);
    };
    for (size_t p = 0; p < pairs.size(); ++p) {
        const HeadToHead& pair = pairs[p];
        if (pair.events == 0) {
            continue;
        }
        for (int32_t driver : {pair.a, pair.b}) {
            int32_t& best = closest[standingOf.at(driver)];
            if (closer(pair, best)) {
                best = static_cast<int32_t>(p);
            }
        }
    }
    return closest;
}

} // namespace kvr
