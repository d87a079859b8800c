// UTF-8 and UTF-16, as the Windows API needs its names, without any OS call: the rest of the
// program sees UTF-8 names on every platform.
#pragma once

#include <cstddef>
#include <string>

namespace kvr::platform {

// U+FFFD, shown in place of what cannot be read as text.
constexpr char32_t Replacement = 0xFFFD;

// The length of the UTF-8 sequence at `at` (of `available` bytes, at least one), or 0 when
// none starts there; then `illFormed` is the length of its maximal ill-formed part (at least
// 1). Overlong forms and values beyond U+10FFFF are ill-formed, and so are surrogates unless
// `surrogates` allows them (WTF-8, as Windows names may hold them).
size_t utf8SequenceLength(const unsigned char* at, size_t available, size_t& illFormed,
                          bool surrogates = false);

// Appends the UTF-8 encoding of the code point `c` (up to U+10FFFF).
void appendUtf8(std::string& out, char32_t c);

// UTF-16 as UTF-8. A lone surrogate, which a Windows file name may hold, becomes the three
// bytes that encode its value (as in WTF-8), so every name converts back to itself.
std::string utf8FromUtf16(const std::u16string& text);

// UTF-8 (with lone surrogates as above) as UTF-16. A byte that starts no valid sequence
// becomes U+FFFD.
std::u16string utf16FromUtf8(const std::string& text);

} // namespace kvr::platform
