// Text from strangers' files made safe to show: on a terminal, in the report, on stderr, and
// as UTF-8 in the exports.
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

// Game text (Windows-1252 bytes) as UTF-8, made safe as safeText makes it: a control byte
// becomes '?', and each of the five bytes that Windows-1252 leaves undefined (81h, 8Dh, 8Fh,
// 90h, 9Dh) becomes U+FFFD.
std::string windows1252ToUtf8(const char* text, size_t length);
inline std::string windows1252ToUtf8(const std::string& text) {
    return windows1252ToUtf8(text.data(), text.size());
}

// `bytes` taken as UTF-8: well-formed sequences stay, and each maximal ill-formed part
// (a stray byte, a cut sequence, an overlong form, a surrogate, beyond U+10FFFF) becomes
// U+FFFD.
std::string validUtf8(const std::string& bytes);

} // namespace kvr
