// Pieces shared by the sections of the HTML page.
#pragma once

#include "report/output_sink.h"

#include <string>
#include <string_view>

namespace kvr {

// Text as element content or attribute value; game text must be converted to UTF-8 first.
std::string escapeHtml(std::string_view text);

// A code or name in the game's bytes, as HTML text.
std::string gameTextHtml(const std::string& bytes);

// A table cell holding `html`, and one holding a number, right-aligned.
void htmlCell(OutputSink& out, std::string_view html);
void htmlNumberCell(OutputSink& out, long long value);

} // namespace kvr
