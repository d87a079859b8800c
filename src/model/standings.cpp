#include "model/model_parts.h"

#include <algorithm>

namespace kvr::ranking {

namespace {

// What a driver earned on a set of listings.
struct Tally {
    int32_t participantIndex = 0;
    int rallyPoints[RallyCount] = {};
    int arcadePoints = 0;
    PlacePoints placesHeld = {}; // how often the driver holds each place, 1 to 10
    int points = 0;              // the total that counts
    int adjustment = 0;          // added by decisions, part of `points`
    uint8_t countedRallies = 0;
};

// The rallies with points whose totals count: all of them, or the `best` highest (of equal
// totals the earlier rally).
uint8_t countedRallies(const int (&rallyPoints)[RallyCount], int best) {
    std::array<int, RallyCount> order{};
    for (int r = 0; r < RallyCount; ++r) {
        order[static_cast<size_t>(r)] = r;
    }
    if (best > 0) {
        std::stable_sort(order.begin(), order.end(),
                         [&](int a, int b) { return rallyPoints[a] > rallyPoints[b]; });
    }
    const size_t counted = best > 0 && best < RallyCount ? static_cast<size_t>(best) : order.size();
    uint8_t mask = 0;
    for (size_t k = 0; k < counted; ++k) {
        if (rallyPoints[order[k]] > 0) {
            mask = static_cast<uint8_t>(mask | 1u << order[k]);
        }
    }
    return mask;
}

// Every listed driver's tally, and every driver with an adjustment, in participant order.
std::vector<Tally> tallies(const std::vector<EventListing>& stages,
                           const std::vector<EventListing>& arcade,
                           const std::vector<int>* adjustments) {
    struct Earned {
        int32_t participantIndex;
        int rally; // -1 for an arcade event
        size_t place;
        int points;
    };
    std::vector<Earned> earned;
    // A driver with an adjustment stands in the standings even without a listed place.
    constexpr size_t NoPlace = listingLimit;
    if (adjustments != nullptr) {
        for (size_t i = 0; i < adjustments->size(); ++i) {
            if ((*adjustments)[i] != 0) {
                earned.push_back({static_cast<int32_t>(i), -1, NoPlace, 0});
            }
        }
    }
    for (const std::vector<EventListing>* listings : {&stages, &arcade}) {
        for (const EventListing& listed : *listings) {
            for (size_t k = 0; k < listed.results.size(); ++k) {
                const ListedResult& result = listed.results[k];
                earned.push_back({result.participantIndex, listed.event->rally, k, result.points});
            }
        }
    }
    std::sort(earned.begin(), earned.end(), [](const Earned& a, const Earned& b) {
        return a.participantIndex < b.participantIndex;
    });

    std::vector<Tally> found;
    for (const Earned& e : earned) {
        if (found.empty() || found.back().participantIndex != e.participantIndex) {
            found.emplace_back();
            found.back().participantIndex = e.participantIndex;
        }
        Tally& tally = found.back();
        (e.rally < 0 ? tally.arcadePoints : tally.rallyPoints[e.rally]) += e.points;
        if (e.place != NoPlace) {
            ++tally.placesHeld[e.place];
        }
    }
    return found;
}

} // namespace

// Equal totals by the tie-break, then in participant order. Only listed drivers earn points,
// so only they are looked at, whatever the size of the field.
std::vector<Standing> rankDrivers(const std::vector<EventListing>& stages,
                                  const std::vector<EventListing>& arcade, const LeagueRules& rules,
                                  const std::vector<int>* adjustments) {
    std::vector<Tally> ranked;
    for (Tally& tally : tallies(stages, arcade, adjustments)) {
        tally.countedRallies = countedRallies(tally.rallyPoints, rules.bestRallies);
        tally.points = tally.arcadePoints;
        for (int r = 0; r < RallyCount; ++r) {
            tally.points += (tally.countedRallies >> r & 1u) != 0 ? tally.rallyPoints[r] : 0;
        }
        if (adjustments != nullptr) {
            tally.adjustment = (*adjustments)[static_cast<size_t>(tally.participantIndex)];
            tally.points += tally.adjustment;
        }
        if (tally.points > 0) {
            ranked.push_back(tally);
        }
    }
    // The tallies are in participant order already: a stable sort keeps it for equal drivers.
    const bool countBack = rules.tieBreak == TieBreak::CountBack;
    std::stable_sort(ranked.begin(), ranked.end(), [countBack](const Tally& a, const Tally& b) {
        if (a.points != b.points) {
            return a.points > b.points;
        }
        return countBack && a.placesHeld > b.placesHeld;
    });
    std::vector<Standing> standings;
    standings.reserve(ranked.size());
    for (size_t p = 0; p < ranked.size(); ++p) {
        Standing standing{static_cast<int32_t>(p + 1), ranked[p].participantIndex, ranked[p].points,
                          ranked[p].adjustment, ranked[p].countedRallies};
        std::copy(std::begin(ranked[p].rallyPoints), std::end(ranked[p].rallyPoints),
                  standing.rallyPoints.begin());
        standing.arcadePoints = ranked[p].arcadePoints;
        standings.push_back(standing);
    }
    return standings;
}

void buildStandings(RankingModel& model, const DecidedField* decided) {
    model.standings = rankDrivers(model.stages, model.arcade, model.league,
                                  decided != nullptr ? &decided->adjustments : nullptr);
    for (const Standing& standing : model.standings) {
        RankedParticipant& participant =
            model.participants[static_cast<size_t>(standing.participantIndex)];
        participant.place = standing.place;
        participant.points = standing.points;
    }
    for (size_t c = 0; c < model.classes.size(); ++c) {
        ClassRanking& ranking = model.classes[c];
        if (decided == nullptr) {
            ranking.standings = rankDrivers(ranking.stages, ranking.arcade, model.league);
            continue;
        }
        // An adjustment for every standings counts in a class the driver is listed in; one
        // that names the class counts there in any case.
        std::vector<int> adjustments(decided->adjustments.size(), 0);
        for (const auto* listings : {&ranking.stages, &ranking.arcade}) {
            for (const EventListing& listed : *listings) {
                for (const ListedResult& result : listed.results) {
                    const auto i = static_cast<size_t>(result.participantIndex);
                    adjustments[i] = decided->adjustments[i];
                }
            }
        }
        for (const ClassAdjustments& named : decided->classAdjustments) {
            if (c < model.league.classes.size() &&
                named.className == model.league.classes[c].name) {
                for (size_t i = 0; i < adjustments.size(); ++i) {
                    adjustments[i] += named.points[i];
                }
            }
        }
        ranking.standings = rankDrivers(ranking.stages, ranking.arcade, model.league, &adjustments);
    }
}

} // namespace kvr::ranking

namespace kvr {

bool nameShared(const RankingModel& model, int32_t participant) {
    const RankedParticipant& driver = model.participants[static_cast<size_t>(participant)];
    return std::any_of(model.standings.begin(), model.standings.end(), [&](const Standing& s) {
        const RankedParticipant& other =
            model.participants[static_cast<size_t>(s.participantIndex)];
        return other.name == driver.name && other.code != driver.code;
    });
}

} // namespace kvr
