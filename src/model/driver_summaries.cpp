#include "model/model_parts.h"

#include <algorithm>

namespace kvr::ranking {

namespace {

// Shown time, then participant order: the listings' order as one number.
uint64_t fieldKey(uint32_t shown, size_t participant) {
    return uint64_t{shown} << 32 | participant;
}

// One event's drivers: their sort keys in the listings' order, and who they are.
struct EventField {
    const Event* event = nullptr;
    std::vector<uint64_t> keys;
    // The drivers' times cut into buckets of 2^shift hundredths from the first: each bucket's
    // first driver, so that a result finds its place among the drivers at once rather than by
    // a search of them all.
    uint32_t firstTime = 0;
    int shift = 0;
    std::vector<uint32_t> bucketStart; // one more entry than buckets: the end

    void indexBuckets() {
        if (keys.empty()) {
            return;
        }
        firstTime = static_cast<uint32_t>(keys.front() >> 32);
        const uint32_t span = static_cast<uint32_t>(keys.back() >> 32) - firstTime;
        while ((span >> shift) >= 4 * keys.size()) {
            ++shift;
        }
        const size_t buckets = (span >> shift) + 1u;
        bucketStart.assign(buckets + 1, static_cast<uint32_t>(keys.size()));
        for (size_t j = keys.size(); j-- > 0;) {
            bucketStart[bucketOf(static_cast<uint32_t>(keys[j] >> 32))] = static_cast<uint32_t>(j);
        }
        for (size_t b = buckets; b-- > 0;) { // empty buckets start where the next does
            bucketStart[b] = std::min(bucketStart[b], bucketStart[b + 1]);
        }
    }
    size_t bucketOf(uint32_t time) const { return (time - firstTime) >> shift; }

    // The first driver whose key follows `key`, which is below the last driver's key.
    size_t firstDriverAfter(uint64_t key) const {
        const auto time = static_cast<uint32_t>(key >> 32);
        if (time < firstTime) {
            return 0;
        }
        const size_t b = bucketOf(time);
        auto from = keys.begin() + bucketStart[b], to = keys.begin() + bucketStart[b + 1];
        return static_cast<size_t>(std::upper_bound(from, to, key) - keys.begin());
    }

    std::vector<size_t> drivers;           // the driver (index into the standings) of each key
    std::vector<int32_t> preceding;        // results whose first later driver key is this one
    std::vector<uint32_t> latestPreceding; // the latest time among them
    uint32_t best = NoTime;
    int32_t field = 0;
};

EventField eventField(const ParticipantRecord* participants, const RankingModel& model,
                      const Event& event) {
    EventField f;
    f.event = &event;
    std::vector<std::pair<uint64_t, size_t>> keyed;
    for (size_t d = 0; d < model.standings.size(); ++d) {
        auto participant = static_cast<size_t>(model.standings[d].participantIndex);
        ResultEntry result = event.resultOf(participants[participant]);
        if (result.time != 0) {
            keyed.emplace_back(fieldKey(result.time - 1u, participant), d);
        }
    }
    std::sort(keyed.begin(), keyed.end());
    for (const auto& k : keyed) {
        f.keys.push_back(k.first);
        f.drivers.push_back(k.second);
    }
    f.preceding.assign(f.keys.size(), 0);
    f.latestPreceding.assign(f.keys.size(), 0);
    f.indexBuckets();
    return f;
}

// Each driver's rivals: the standings just before and after.
void rivals(RankingModel& model) {
    const size_t count = model.standings.size();
    for (size_t d = 0; d < count; ++d) {
        const Standing& standing = model.standings[d];
        DriverSummary& driver = model.drivers[d];
        driver.participantIndex = standing.participantIndex;
        if (d > 0) {
            const Standing& before = model.standings[d - 1];
            driver.ahead = Rival{before.participantIndex, before.points - standing.points};
        }
        if (d + 1 < count) {
            const Standing& after = model.standings[d + 1];
            driver.behind = Rival{after.participantIndex, standing.points - after.points};
        }
    }
}

// Counts, participant by participant so that each record is read once, front to back, the
// results of the whole field that precede each driver's result in each event.
void countPreceding(const ParticipantRecord* participants, size_t count,
                    std::vector<EventField>& fields) {
    for (size_t i = 0; i < count; ++i) {
        const ParticipantRecord& p = participants[i];
        for (EventField& f : fields) {
            ResultEntry result = f.event->resultOf(p);
            if (result.time == 0) {
                continue;
            }
            uint32_t shown = result.time - 1u;
            ++f.field;
            f.best = std::min(f.best, shown);
            uint64_t key = fieldKey(shown, i);
            if (f.keys.empty() || key >= f.keys.back()) {
                continue; // precedes no driver of the event
            }
            const size_t next = f.firstDriverAfter(key);
            ++f.preceding[next];
            f.latestPreceding[next] = std::max(f.latestPreceding[next], shown);
        }
    }
}

// Each driver's result in one event, from the counts, added to the driver's summary.
void addResults(const EventField& f, RankingModel& model) {
    int32_t ahead = 0;
    for (size_t j = 0; j < f.keys.size(); ++j) {
        ahead += f.preceding[j];
        DriverResult result{
            f.event, static_cast<uint32_t>(f.keys[j] >> 32), 0, ahead + 1, f.field, 0, 0};
        result.gap = result.time - f.best;
        // The place ahead: the latest other result before this one, or the driver before.
        if (f.preceding[j] > 0) {
            result.toNextPlace = result.time - f.latestPreceding[j];
        } else if (j > 0) {
            result.toNextPlace = result.time - static_cast<uint32_t>(f.keys[j - 1] >> 32);
        }
        if (result.placeInField <= listingLimit) {
            result.points = model.league.places[static_cast<size_t>(result.placeInField - 1)];
        }
        DriverSummary& driver = model.drivers[f.drivers[j]];
        driver.wins += result.placeInField == 1 ? 1 : 0;
        driver.podiums += result.placeInField <= 3 ? 1 : 0;
        driver.timeToGain += result.gap;
        (f.event->isArcade() ? driver.arcadePoints : driver.rallyPoints[f.event->rally]) +=
            result.points;
        driver.results.push_back(result);
    }
}

} // namespace

// A driver's place is one plus the number of results that precede theirs, so each event's
// driver times are sorted once, and one pass over the field counts, by binary search, the
// driver times each result precedes.
void buildDriverSummaries(const ParticipantRecord* participants, RankingModel& model) {
    model.drivers.assign(model.standings.size(), DriverSummary{});
    rivals(model);
    if (model.standings.empty()) {
        return;
    }
    std::vector<EventField> fields;
    fields.reserve(static_cast<size_t>(EventCount));
    for (const Event& event : allEvents()) {
        fields.push_back(eventField(participants, model, event));
    }
    countPreceding(participants, model.participants.size(), fields);
    for (const EventField& f : fields) {
        addResults(f, model);
    }
}

} // namespace kvr::ranking
