// Checks of rendered text, independent of the product's own text functions.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kvrfuzz {

// Well-formed UTF-8: no stray or missing continuation byte, no overlong form, no surrogate,
// nothing beyond U+10FFFF.
bool isUtf8(std::string_view text);

// The keys of the JSON object that `text` holds, surrounded by whitespace alone; nothing when
// it holds anything else. Read without building the document, which would cost far more than
// rendering it.
std::optional<std::vector<std::string>> jsonObjectKeys(std::string_view text);

// The messages of a chat post (split by a line "---" between blank lines) each hold at most
// `limit` characters, and the post ends with one line feed.
bool postMessagesFit(std::string_view post, size_t limit);

} // namespace kvrfuzz
