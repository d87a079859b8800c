#include "model/model_parts.h"

#include <algorithm>
#include <utility>

namespace kvr {

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

namespace ranking {

void markDecisions(RankingModel& model, const DecidedField& decided) {
    for (size_t i = 0; i < model.participants.size(); ++i) {
        model.participants[i].excludedBy = decided.excludedBy[i];
    }
    model.decisionEffects = decided.effects;
    model.changedTimes = decided.changedTimes;
}

int decisionOn(const DecidedField* decided, int32_t participant, const Event* event) {
    if (decided == nullptr) {
        return 0;
    }
    const int excluded = decided->excludedBy[static_cast<size_t>(participant)];
    if (excluded != 0) {
        return excluded;
    }
    for (const ChangedTime& change : decided->changedTimes) {
        if (change.participantIndex == participant && change.event == event) {
            return change.decisions.front();
        }
    }
    return 0;
}

} // namespace ranking

} // namespace kvr
