// The run as a post for the group's chat: Markdown, UTF-8, LF line ends, in messages of at most
// PostMessageLimit characters.
#pragma once

#include "model/run_results.h"
#include "report/output_sink.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kvr {

constexpr size_t PostMessageLimit = 2000; // characters (code points) in one chat message
constexpr const char* PostMessageSeparator = "---";

// `text` from a stranger (a code, a name, a file name) made inert in chat Markdown: spaces at
// its edges dropped, every control character given a backslash, '@' a zero-width space after it
// (no mention), "://" broken (no link), and a leading list marker escaped.
std::string chatText(std::string_view text);

// `lines` packed into messages of at most `limit` characters each, split only at line ends;
// a line longer than `limit` stands alone. Blank lines at a message's edges are dropped.
std::vector<std::string> chatMessages(const std::vector<std::string>& lines, size_t limit);

// The post: the title, the podium, the decisions, what is under review and, with a season,
// the biggest movers, the records broken, the drivers with first points or back in the
// standings and the drivers who left, then a link to the page (`pageName`, its web address;
// empty: none). Each line followed by another ends in two spaces, a hard line break, so that
// a CommonMark reader keeps it a line of its own. Messages are separated by a line holding
// only PostMessageSeparator between blank lines.
// With `cardUrl`, the standings card's address, the post ends with it on a line of its own.
void renderPost(const RunResults& run, const std::string& pageName, OutputSink& out,
                const std::string& cardUrl = std::string());
std::string renderPost(const RunResults& run, const std::string& pageName = std::string());

} // namespace kvr
