#include "model/ranking_model.h"

#include "data/text.h"

#include <algorithm>

namespace kvr {

std::string_view RankedParticipant::gameCode() const {
    return record != nullptr ? std::string_view(record->code, codeLength(record->code))
                             : std::string_view();
}

std::string_view RankedParticipant::gameName() const {
    return record != nullptr ? std::string_view(record->name, nameLength(record->name))
                             : std::string_view();
}

namespace {

RankedParticipant describe(const ParticipantRecord& p, std::string&& file) {
    RankedParticipant r;
    r.file = std::move(file);
    r.record = &p;
    r.file = validUtf8(r.file);
    r.code = windows1252ToUtf8(p.code, codeLength(p.code));
    r.name = windows1252ToUtf8(p.name, nameLength(p.name));
    r.year = dateYear(p.date);
    r.month = dateMonth(p.date);
    r.day = dateDay(p.date);
    return r;
}

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

// The standings earned on `stages` and `arcade`: the drivers with points, most points first;
// equal totals by the tie-break, then in participant order. Only listed drivers earn points,
// so only they are looked at, whatever the size of the field.
// `adjustments`, when given, holds points that decisions add to each participant's total.
std::vector<Standing> rankDrivers(const std::vector<EventListing>& stages,
                                  const std::vector<EventListing>& arcade, const LeagueRules& rules,
                                  const std::vector<int>* adjustments = nullptr) {
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

    std::vector<Tally> tallies;
    for (const Earned& e : earned) {
        if (tallies.empty() || tallies.back().participantIndex != e.participantIndex) {
            tallies.emplace_back();
            tallies.back().participantIndex = e.participantIndex;
        }
        Tally& tally = tallies.back();
        (e.rally < 0 ? tally.arcadePoints : tally.rallyPoints[e.rally]) += e.points;
        if (e.place != NoPlace) {
            ++tally.placesHeld[e.place];
        }
    }
    std::vector<Tally> ranked;
    for (Tally& tally : tallies) {
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
        standings.push_back({static_cast<int32_t>(p + 1), ranked[p].participantIndex,
                             ranked[p].points, ranked[p].adjustment, ranked[p].countedRallies});
    }
    return standings;
}

class ModelBuilder {
  public:
    ModelBuilder(const ParticipantRecord* participants, RankingModel& model,
                 const DecidedField* decided, const ParticipantRecord* imported)
        : participants_(participants), model_(model), decided_(decided), imported_(imported) {}

    // One pass over the participants offers each result to its event's leading ten: each
    // record is read once, front to back, rather than once per event. A league's classes
    // offer the results of their vehicles to leading tens of their own in the same pass.
    void listings() {
        const std::array<Event, EventCount>& events = allEvents();
        const std::vector<VehicleClass>& classes = model_.league.classes;
        std::vector<LeadingItems> leading(events.size(), LeadingItems(listingLimit));
        // Each class's leading ten of each event, class by class.
        std::vector<LeadingItems> classLeading(classes.size() * events.size(),
                                               LeadingItems(listingLimit));
        const auto count = static_cast<int32_t>(model_.participants.size());
        for (int32_t i = 0; i < count; ++i) {
            const ParticipantRecord& p = participants_[i];
            for (const Event& event : events) {
                const ResultEntry& result = event.resultOf(p);
                if (result.time == 0) {
                    continue;
                }
                const RankingItem item{result.time - 1u, i, result.vehicle};
                const auto e = static_cast<size_t>(event.number);
                leading[e].offer(item);
                for (size_t c = 0; c < classes.size(); ++c) {
                    if (classes[c].accepts(result.vehicle)) {
                        classLeading[c * events.size() + e].offer(item);
                    }
                }
            }
        }
        for (const Event& event : events) {
            listing(event.isArcade() ? model_.arcade : model_.stages, event,
                    leading[static_cast<size_t>(event.number)].items());
        }
        model_.classes.resize(classes.size());
        for (size_t c = 0; c < classes.size(); ++c) {
            ClassRanking& ranking = model_.classes[c];
            for (const Event& event : events) {
                listing(
                    event.isArcade() ? ranking.arcade : ranking.stages, event,
                    classLeading[c * events.size() + static_cast<size_t>(event.number)].items());
            }
        }
    }

    // The standings of the whole field and of each class. Each driver's total and place in the
    // whole field go to the participant too.
    void standings() {
        model_.standings = rankDrivers(model_.stages, model_.arcade, model_.league,
                                       decided_ != nullptr ? &decided_->adjustments : nullptr);
        for (const Standing& standing : model_.standings) {
            RankedParticipant& participant =
                model_.participants[static_cast<size_t>(standing.participantIndex)];
            participant.place = standing.place;
            participant.points = standing.points;
        }
        for (ClassRanking& ranking : model_.classes) {
            ranking.standings = rankDrivers(ranking.stages, ranking.arcade, model_.league);
        }
    }

    // Every driver's place in the field of each event. A driver's place is one plus the number
    // of results that precede theirs, so each event's driver times are sorted once, and one
    // pass over the field counts, by binary search, the driver times each result precedes.
    void drivers() {
        const size_t count = model_.standings.size();
        model_.drivers.assign(count, DriverSummary{});
        for (size_t d = 0; d < count; ++d) {
            const Standing& standing = model_.standings[d];
            DriverSummary& driver = model_.drivers[d];
            driver.participantIndex = standing.participantIndex;
            if (d > 0) {
                const Standing& before = model_.standings[d - 1];
                driver.ahead = Rival{before.participantIndex, before.points - standing.points};
            }
            if (d + 1 < count) {
                const Standing& after = model_.standings[d + 1];
                driver.behind = Rival{after.participantIndex, standing.points - after.points};
            }
        }
        if (count == 0) {
            return;
        }
        std::vector<EventField> fields;
        fields.reserve(static_cast<size_t>(EventCount));
        for (const Event& event : allEvents()) {
            fields.push_back(eventField(event));
        }

        // Participant by participant, so that each record is read once, front to back.
        for (size_t i = 0; i < model_.participants.size(); ++i) {
            const ParticipantRecord& p = participants_[i];
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

        for (const EventField& f : fields) {
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
                    result.points =
                        model_.league.places[static_cast<size_t>(result.placeInField - 1)];
                }
                DriverSummary& driver = model_.drivers[f.drivers[j]];
                driver.wins += result.placeInField == 1 ? 1 : 0;
                driver.podiums += result.placeInField <= 3 ? 1 : 0;
                driver.timeToGain += result.gap;
                (f.event->isArcade() ? driver.arcadePoints : driver.rallyPoints[f.event->rally]) +=
                    result.points;
                driver.results.push_back(result);
            }
        }
    }

    // Duplicates by the code and name as the exports show them; outliers from the listings.
    void checks() {
        // A 32-bit hash of the texts above the participant's index, 8 bytes a participant:
        // sorted, equal hashes stand together in participant order.
        std::vector<uint64_t> byName(model_.participants.size());
        for (size_t i = 0; i < byName.size(); ++i) {
            byName[i] = uint64_t{codeAndNameHash(model_.participants[i])} << 32 | i;
        }
        std::sort(byName.begin(), byName.end());
        for (size_t run = 0; run < byName.size();) {
            size_t end = run + 1;
            while (end < byName.size() && byName[end] >> 32 == byName[run] >> 32) {
                ++end;
            }
            if (end - run > 1) {
                duplicateGroups(byName, run, end);
            }
            run = end;
        }
        std::vector<std::vector<int32_t>>& groups = model_.checks.duplicates;
        std::sort(groups.begin(), groups.end(),
                  [](const auto& a, const auto& b) { return a.front() < b.front(); });

        for (const std::vector<int32_t>& group : groups) {
            int decision = 0;
            for (int32_t member : group) {
                const int by = decisionOn(member, nullptr);
                decision = decision == 0 || (by != 0 && by < decision) ? by : decision;
            }
            model_.checks.duplicateDecisions.push_back(decision);
        }

        // Outliers among the times as imported: one that a decision excluded is still shown.
        std::vector<EventListing> leaders;
        if (imported_ != nullptr) {
            leaders = importedLeaders();
        }
        const std::vector<const std::vector<EventListing>*> sources =
            imported_ != nullptr
                ? std::vector<const std::vector<EventListing>*>{&leaders}
                : std::vector<const std::vector<EventListing>*>{&model_.stages, &model_.arcade};
        for (const std::vector<EventListing>* listings : sources) {
            for (const EventListing& listed : *listings) {
                if (listed.results.size() < 2) {
                    continue;
                }
                const ListedResult& first = listed.results[0];
                const ListedResult& second = listed.results[1];
                if (5u * uint64_t{first.time} < 4u * uint64_t{second.time}) {
                    model_.checks.outliers.push_back(
                        {listed.event, first.participantIndex, first.time, second.time,
                         decisionOn(first.participantIndex, listed.event)});
                }
            }
        }
    }

  private:
    // One event's drivers: their sort keys in the listings' order, and who they are.
    struct EventField {
        const Event* event = nullptr;
        std::vector<uint64_t> keys;
        // The drivers' times cut into buckets of 2^shift hundredths from the first: each
        // bucket's first driver, so that a result finds its place among the drivers at once
        // rather than by a search of them all.
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
                bucketStart[bucketOf(static_cast<uint32_t>(keys[j] >> 32))] =
                    static_cast<uint32_t>(j);
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

    // Groups the participants of byName[run, end), whose hashes are equal, by the text itself:
    // almost always one group.
    void duplicateGroups(const std::vector<uint64_t>& byName, size_t run, size_t end) {
        std::vector<std::pair<std::string, int32_t>> same;
        for (size_t k = run; k < end; ++k) {
            const auto participant = static_cast<uint32_t>(byName[k]);
            same.emplace_back(shownCodeAndName(participant), static_cast<int32_t>(participant));
        }
        std::stable_sort(same.begin(), same.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        for (size_t k = 0; k < same.size();) {
            size_t last = k + 1;
            while (last < same.size() && same[last].first == same[k].first) {
                ++last;
            }
            if (last - k > 1) {
                std::vector<int32_t> group;
                for (size_t m = k; m < last; ++m) {
                    group.push_back(same[m].second);
                }
                model_.checks.duplicates.push_back(std::move(group));
            }
            k = last;
        }
    }

    // Shown time, then participant order: the listings' order as one number.
    static uint64_t fieldKey(uint32_t shown, size_t participant) {
        return uint64_t{shown} << 32 | participant;
    }

    EventField eventField(const Event& event) const {
        EventField f;
        f.event = &event;
        std::vector<std::pair<uint64_t, size_t>> keyed;
        for (size_t d = 0; d < model_.standings.size(); ++d) {
            auto participant = static_cast<size_t>(model_.standings[d].participantIndex);
            ResultEntry result = event.resultOf(participants_[participant]);
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

    std::string shownCodeAndName(size_t participant) const {
        const RankedParticipant& p = model_.participants[participant];
        return p.code + '\0' + p.name;
    }

    // FNV-1a, 64 bits, folded to 32, of the code, a NUL and the name: the text that
    // shownCodeAndName makes, hashed without making it.
    static uint32_t codeAndNameHash(const RankedParticipant& p) {
        uint64_t hash = 14695981039346656037u;
        auto add = [&hash](char c) {
            hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211u;
        };
        for (char c : p.code) {
            add(c);
        }
        add('\0');
        for (char c : p.name) {
            add(c);
        }
        return static_cast<uint32_t>(hash ^ hash >> 32);
    }

    // The listing of an event from its leading items, with each place's points.
    void listing(std::vector<EventListing>& into, const Event& event,
                 const std::vector<RankingItem>& items) const {
        if (items.empty()) {
            return;
        }
        EventListing listed{&event, {}};
        listed.results.reserve(items.size());
        for (size_t k = 0; k < items.size(); ++k) {
            const RankingItem& item = items[k];
            listed.results.push_back({item.participantIndex, static_cast<uint8_t>(item.vehicle),
                                      item.key, item.key - items[0].key, model_.league.places[k]});
        }
        into.push_back(std::move(listed));
    }

    // The place 1 and 2 of each event, from the records as imported.
    std::vector<EventListing> importedLeaders() const {
        const std::array<Event, EventCount>& events = allEvents();
        std::vector<LeadingItems> leading(events.size(), LeadingItems(2));
        for (size_t i = 0; i < model_.participants.size(); ++i) {
            for (const Event& event : events) {
                const ResultEntry& result = event.resultOf(imported_[i]);
                if (result.time != 0) {
                    leading[static_cast<size_t>(event.number)].offer(
                        {result.time - 1u, static_cast<int32_t>(i), result.vehicle});
                }
            }
        }
        std::vector<EventListing> leaders;
        for (const Event& event : events) {
            listing(leaders, event, leading[static_cast<size_t>(event.number)].items());
        }
        return leaders;
    }

    // The matched decision that acted on a participant's time in an event: the one that
    // excluded the file, else the first that excluded or penalised the time; 0 none.
    int decisionOn(int32_t participant, const Event* event) const {
        if (decided_ == nullptr) {
            return 0;
        }
        const int excluded = decided_->excludedBy[static_cast<size_t>(participant)];
        if (excluded != 0) {
            return excluded;
        }
        for (const ChangedTime& change : decided_->changedTimes) {
            if (change.participantIndex == participant && change.event == event) {
                return change.decisions.front();
            }
        }
        return 0;
    }

    const ParticipantRecord* participants_;
    RankingModel& model_;
    const DecidedField* decided_;
    const ParticipantRecord* imported_;
};

} // namespace

const ChangedTime* changedTime(const RankingModel& model, int32_t participant, const Event& event) {
    const auto at = std::lower_bound(
        model.changedTimes.begin(), model.changedTimes.end(), std::pair(participant, event.number),
        [](const ChangedTime& c, const std::pair<int32_t, int>& key) {
            return std::pair(c.participantIndex, c.event->number) < key;
        });
    return at != model.changedTimes.end() && at->participantIndex == participant &&
                   at->event == &event
               ? &*at
               : nullptr;
}

RankingModel computeRankingModel(const ParticipantRecord* participants, int32_t count,
                                 std::vector<std::string> fileNames, const ReportTime& time,
                                 const RankingOptions& options) {
    RankingModel model;
    model.time = time;
    size_t size = count > 0 ? static_cast<size_t>(count) : 0;
    model.participants.reserve(size);
    for (size_t i = 0; i < size; ++i) {
        model.participants.push_back(describe(
            participants[i], i < fileNames.size() ? std::move(fileNames[i]) : std::string()));
    }
    model.league = options.league;
    model.league.file = validUtf8(model.league.file); // shown in the exports
    if (options.decided != nullptr) {
        for (size_t i = 0; i < model.participants.size(); ++i) {
            model.participants[i].excludedBy = options.decided->excludedBy[i];
        }
        model.decisionMatched = options.decided->matched;
        model.decisionEffects = options.decided->effects;
        model.changedTimes = options.decided->changedTimes;
    }
    ModelBuilder builder(participants, model, options.decided,
                         options.decided != nullptr ? options.imported : nullptr);
    builder.listings();
    builder.standings();
    if (options.driverResults) {
        builder.drivers();
    }
    if (options.checks) {
        builder.checks();
    }
    return model;
}

} // namespace kvr
