// Every event of the championship, once: each stage of each rally in order, then each arcade
// event. An event's number, its slot in a participant file, its key in the exports and the
// history ("rally-2-stage-3", "arcade-1") and its title ("Greece 3", "Arcade Italy") come
// from here, and every loop over the events visits this table.
#pragma once

#include "data/championship_tables.h"
#include "data/participant.h"

#include <array>
#include <string>
#include <string_view>

namespace kvr {

constexpr int EventCount = StageCount + ArcadeEventCount;

struct Event {
    int number; // from 0: the stages rally by rally, then the arcade events
    int rally;  // from 0; -1 for an arcade event
    int index;  // the stage within its rally, or the arcade event, from 0
    int slot;   // the result's slot in a participant file: stageSlot(rally, index), or index

    bool isArcade() const { return rally < 0; }
    // The participant's result in this event.
    const ResultEntry& resultOf(const ParticipantRecord& p) const {
        return rally < 0 ? p.arcadeResults[slot] : p.stageResults[slot];
    }
    const std::string& key() const;
    const std::string& title() const;
};

// The events in order.
const std::array<Event, EventCount>& allEvents();

// The event of a stage (rally from 0) or, with rally -1, of an arcade event.
const Event& eventOf(int rally, int index);

// The event a key names; nullptr for any other text (a leading zero, a stage the rally does
// not have, anything more).
const Event* eventOfKey(std::string_view key);

} // namespace kvr
