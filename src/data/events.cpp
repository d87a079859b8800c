#include "data/events.h"

namespace kvr {

namespace {

struct EventTable {
    std::array<Event, EventCount> events;
    std::array<std::string, EventCount> keys;
    std::array<std::string, EventCount> titles;
    std::array<int, RallyCount> firstStage;

    EventTable() {
        int n = 0;
        for (int r = 0; r < RallyCount; ++r) {
            firstStage[static_cast<size_t>(r)] = n;
            for (int s = 0; s < stageCounts[r]; ++s, ++n) {
                add(n, {n, r, s, stageSlot(r, s)},
                    "rally-" + std::to_string(r + 1) + "-stage-" + std::to_string(s + 1),
                    std::string(rallyNames[r]) + " " + std::to_string(s + 1));
            }
        }
        for (int a = 0; a < ArcadeEventCount; ++a, ++n) {
            add(n, {n, -1, a, a}, "arcade-" + std::to_string(a + 1),
                std::string("Arcade ") + arcadeNames[a]);
        }
    }

    void add(int n, const Event& event, std::string key, std::string title) {
        const auto at = static_cast<size_t>(n);
        events[at] = event;
        keys[at] = std::move(key);
        titles[at] = std::move(title);
    }
};

const EventTable& table() {
    static const EventTable events;
    return events;
}

// A number from 1 to `most` without a leading zero, filling `text`; -1 otherwise.
int smallNumber(std::string_view text, int most) {
    if (text.empty() || text.size() > 2 || text[0] < '1' || text[0] > '9') {
        return -1;
    }
    int n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return -1;
        }
        n = n * 10 + (c - '0');
    }
    return n <= most ? n : -1;
}

} // namespace

const std::string& Event::key() const {
    return table().keys[static_cast<size_t>(number)];
}

const std::string& Event::title() const {
    return table().titles[static_cast<size_t>(number)];
}

const std::array<Event, EventCount>& allEvents() {
    return table().events;
}

const Event& eventOf(int rally, int index) {
    const EventTable& t = table();
    const int n = rally < 0 ? StageCount + index : t.firstStage[static_cast<size_t>(rally)] + index;
    return t.events[static_cast<size_t>(n)];
}

const Event* eventOfKey(std::string_view key) {
    constexpr std::string_view Rally = "rally-", Stage = "-stage-", Arcade = "arcade-";
    if (key.substr(0, Arcade.size()) == Arcade) {
        const int a = smallNumber(key.substr(Arcade.size()), ArcadeEventCount);
        return a < 0 ? nullptr : &eventOf(-1, a - 1);
    }
    if (key.substr(0, Rally.size()) != Rally || key.size() < Rally.size() + 1 + Stage.size()) {
        return nullptr;
    }
    const int r = smallNumber(key.substr(Rally.size(), 1), RallyCount);
    if (r < 0 || key.substr(Rally.size() + 1, Stage.size()) != Stage) {
        return nullptr;
    }
    const int s = smallNumber(key.substr(Rally.size() + 1 + Stage.size()), stageCounts[r - 1]);
    return s < 0 ? nullptr : &eventOf(r - 1, s - 1);
}

} // namespace kvr
