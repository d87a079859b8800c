#include "model/model_parts.h"

namespace kvr::ranking {

void addListing(std::vector<EventListing>& into, const Event& event,
                const std::vector<RankingItem>& items, const PlacePoints& places) {
    if (items.empty()) {
        return;
    }
    EventListing listed{&event, {}};
    listed.results.reserve(items.size());
    for (size_t k = 0; k < items.size(); ++k) {
        const RankingItem& item = items[k];
        listed.results.push_back({item.participantIndex, static_cast<uint8_t>(item.vehicle),
                                  item.key, item.key - items[0].key, places[k]});
    }
    into.push_back(std::move(listed));
}

// One pass over the participants offers each result to its event's leading ten: each record is
// read once, front to back, rather than once per event. A league's classes offer the results
// of their vehicles to leading tens of their own in the same pass.
void buildListings(const ParticipantRecord* participants, RankingModel& model) {
    const std::array<Event, EventCount>& events = allEvents();
    const std::vector<VehicleClass>& classes = model.league.classes;
    std::vector<LeadingItems> leading(events.size(), LeadingItems(listingLimit));
    // Each class's leading ten of each event, class by class.
    std::vector<LeadingItems> classLeading(classes.size() * events.size(),
                                           LeadingItems(listingLimit));
    const auto count = static_cast<int32_t>(model.participants.size());
    for (int32_t i = 0; i < count; ++i) {
        const ParticipantRecord& p = participants[i];
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
    const PlacePoints& places = model.league.places;
    for (const Event& event : events) {
        addListing(event.isArcade() ? model.arcade : model.stages, event,
                   leading[static_cast<size_t>(event.number)].items(), places);
    }
    model.classes.resize(classes.size());
    for (size_t c = 0; c < classes.size(); ++c) {
        ClassRanking& ranking = model.classes[c];
        for (const Event& event : events) {
            addListing(event.isArcade() ? ranking.arcade : ranking.stages, event,
                       classLeading[c * events.size() + static_cast<size_t>(event.number)].items(),
                       places);
        }
    }
}

} // namespace kvr::ranking
