// What a live board serves beside the page: the standings as a stream overlay, and the script
// that keeps a page or an overlay up to date in place.
#pragma once

#include "model/run_results.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kvr {

// The overlay in parts, so that a server can hand out the first N rows without the model:
// head, then rows[0..N), then tail.
struct OverlayParts {
    std::string head;
    std::vector<std::string> rows; // one standing each, from first place
    std::string tail;
};

// The standings for a stream: transparent background and large type, for a browser source of
// 1920x1080. At most `rowLimit` rows.
OverlayParts renderOverlay(const RunResults& run, uint64_t runNumber, size_t rowLimit);
// The overlay before the first run: its head and style, no standings.
OverlayParts renderWaitingOverlay(std::string_view language = "en");
// The overlay's one style element.
std::string overlayStyle();

// Where a live board serves LiveScript, which its page and its overlay load.
constexpr std::string_view LiveScriptPath = "/live.js";

// The element that loads LiveScript, for a page's head.
std::string liveScriptElement();

// /live.js: on each new run told by /events, fetches its page again and puts the new content
// in place, keeping what the reader was looking at where it was and the sections they opened;
// when the board stops, marks the page or overlay offline and keeps the last results.
extern const char* const LiveScript;

} // namespace kvr
