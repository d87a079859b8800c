// The page's head (its one style element, and what a chat shows of a link to it) and the live
// board's line at the top of it.
#pragma once

#include "report/output_sink.h"
#include "report/ranking_html.h"
#include "report/words.h"

#include <string>
#include <string_view>

namespace kvr {

// The document up to its body, titled `title` (HTML); with `live`, the board's script.
void pageStart(OutputSink& out, const Words& words, std::string_view title, bool live,
               std::string_view cardUrl = std::string_view());

// The live board's line: `said` (HTML), and what is wrong until mended; and the note the page
// shows in its place should the board stop.
void liveStatus(OutputSink& out, const LivePageParts& live, const std::string& said,
                const Words& words);

} // namespace kvr
