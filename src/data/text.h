// Text from strangers' files made safe to show: on a terminal, in the report, on stderr.
#pragma once

#include <cstddef>
#include <string>

namespace kvr {

// A byte that a terminal or a line-based file would act on: below 0x20, or 0x7F.
inline bool isControlByte(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

// `length` bytes of `text` with every control byte written as '?'; every other byte stays.
std::string safeText(const char* text, size_t length);
inline std::string safeText(const std::string& text) {
    return safeText(text.data(), text.size());
}

} // namespace kvr
