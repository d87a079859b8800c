// A standing's movement since the previous run as the page and the chat post show it.
#pragma once

#include "model/season_changes.h"

#include <cstdlib>
#include <string>
#include <string_view>

namespace kvr {

// "▲2" for a climb of two places, "▼1" for a fall, "=" for the same place, "new" for a driver
// the previous run did not have.
inline std::string movementText(const StandingMovement& move, std::string_view newWord = "new") {
    if (!move.movement) {
        return std::string(newWord);
    }
    if (*move.movement == 0) {
        return "=";
    }
    const std::string places = std::to_string(std::abs(static_cast<long long>(*move.movement)));
    return (*move.movement > 0 ? "\xE2\x96\xB2" : "\xE2\x96\xBC") + places; // U+25B2, U+25BC
}

} // namespace kvr
