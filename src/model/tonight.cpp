#include "model/tonight.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>

namespace kvr {

namespace {

DriverIdentity identityOf(const RankingModel& model, int32_t participant) {
    const RankedParticipant& p = model.participants[static_cast<size_t>(participant)];
    return DriverIdentity{p.code, p.name};
}

std::vector<EventRecord> recordsOf(const RankingModel& model) {
    std::vector<EventRecord> records;
    for (const auto* listings : {&model.stages, &model.arcade}) {
        for (const EventListing& listing : *listings) {
            if (listing.results.empty()) {
                continue;
            }
            const ListedResult& best = listing.results.front();
            records.push_back(
                {listing.event->number, best.time, identityOf(model, best.participantIndex)});
        }
    }
    std::sort(records.begin(), records.end(),
              [](const EventRecord& a, const EventRecord& b) { return a.event < b.event; });
    return records;
}

const EventRecord* recordAt(const std::vector<EventRecord>& records, int event) {
    auto at = std::lower_bound(records.begin(), records.end(), event,
                               [](const EventRecord& r, int e) { return r.event < e; });
    return at != records.end() && at->event == event ? &*at : nullptr;
}

const Event* eventNumbered(const RankingModel& model, int number) {
    for (const auto* listings : {&model.stages, &model.arcade}) {
        for (const EventListing& listing : *listings) {
            if (listing.event->number == number) {
                return listing.event;
            }
        }
    }
    return nullptr;
}

} // namespace

BoardStart summarizeBoardStart(const RankingModel& model) {
    BoardStart start;
    for (const RankedParticipant& p : model.participants) {
        start.drivers.push_back(DriverIdentity{p.code, p.name});
    }
    for (const Standing& standing : model.standings) {
        start.places.emplace_back(identityOf(model, standing.participantIndex), standing.place);
    }
    start.records = recordsOf(model);
    return start;
}

std::vector<DriverIdentity> newDrivers(const BoardStart& start, const std::vector<Arrival>& known,
                                       const RankingModel& model) {
    std::set<DriverIdentity> seen(start.drivers.begin(), start.drivers.end());
    for (const Arrival& arrival : known) {
        seen.insert(arrival.driver);
    }
    std::vector<DriverIdentity> found;
    auto add = [&](int32_t participant) {
        DriverIdentity driver = identityOf(model, participant);
        if (seen.insert(driver).second) {
            found.push_back(std::move(driver));
        }
    };
    for (const Standing& standing : model.standings) {
        add(standing.participantIndex);
    }
    for (size_t i = 0; i < model.participants.size(); ++i) {
        if (model.participants[i].place == 0) {
            add(static_cast<int32_t>(i));
        }
    }
    return found;
}

Tonight compareTonight(const BoardStart& start, const RankingModel& now,
                       std::vector<Arrival> arrivals) {
    Tonight tonight;
    tonight.changed = true;
    tonight.arrivals = std::move(arrivals);
    for (const EventRecord& record : recordsOf(now)) {
        const EventRecord* before = recordAt(start.records, record.event);
        if (before != nullptr && record.time >= before->time) {
            continue;
        }
        BrokenRecord broken;
        broken.event = record.event;
        const Event* event = eventNumbered(now, record.event);
        broken.eventTitle = event != nullptr ? event->title() : std::string();
        broken.time = record.time;
        broken.holder = record.holder;
        if (before != nullptr) {
            broken.hadRecord = true;
            broken.beatenTime = before->time;
            broken.beatenHolder = before->holder;
        }
        tonight.records.push_back(std::move(broken));
    }
    const std::map<DriverIdentity, int32_t> startPlaces(start.places.begin(), start.places.end());
    for (const Standing& standing : now.standings) {
        DriverIdentity driver = identityOf(now, standing.participantIndex);
        auto was = startPlaces.find(driver);
        if (was == startPlaces.end() || was->second == standing.place) {
            continue;
        }
        tonight.moves.push_back({std::move(driver), was->second, standing.place});
    }
    // Standings order is kept among equal moves: the better current place first.
    std::stable_sort(tonight.moves.begin(), tonight.moves.end(),
                     [](const TonightMove& a, const TonightMove& b) {
                         return std::abs(a.places()) > std::abs(b.places());
                     });
    if (tonight.moves.size() > MostTonightMoves) {
        tonight.moves.resize(MostTonightMoves);
    }
    return tonight;
}

} // namespace kvr
