// A count with the noun that fits it, as every output words one.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kvr {

// "1 file", "2 files", "0 files".
inline std::string countText(size_t count, std::string_view one, std::string_view many) {
    std::string text = std::to_string(count);
    text += ' ';
    text += count == 1 ? one : many;
    return text;
}

} // namespace kvr
