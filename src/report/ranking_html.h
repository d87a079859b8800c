// The ranking as one self-contained HTML5 page, UTF-8: inline CSS, no script, nothing fetched.
// The driver standings come first, with a bar chart of the leading drivers' points, then every
// listed stage and arcade event in the report's order.
#pragma once

#include "model/run_results.h"
#include "model/tonight.h"
#include "report/output_sink.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kvr {

// How many drivers the bar chart of the standings shows at most.
constexpr size_t StandingsChartDriverCount = 20;

// What a live board adds to the page: its script (/live.js), and a line at the top on when the
// results last changed, with what is wrong meanwhile; and what changed since the board started.
struct LivePageParts {
    uint64_t run = 0;
    std::string changedAt;             // the local time of day, "20:14:03"
    std::vector<std::string> problems; // told until they are mended
    Tonight tonight;
    std::string language = "en"; // of the page before the first run, which has no league rules
};

// The page of the run. The model must hold the drivers' results.
void renderHtml(const RunResults& run, OutputSink& out);
// With `cardUrl`, the standings card's address on the web, a link to the page shows the card.
void renderHtml(const RunResults& run, OutputSink& out, const LivePageParts* live,
                std::string_view cardUrl = std::string_view());
// The live board's page before the first run: the page's head and style, its heading and the
// live line, no results.
void renderWaitingHtml(const LivePageParts& live, OutputSink& out);
// The page's one style element, as a policy names it by its hash: English's, and the one of
// every other language, which lets a long word break on a phone.
std::string htmlPageStyle(std::string_view language = "en");
std::string renderHtml(const RunResults& run);

} // namespace kvr
