#include "platform/wide_text.h"

namespace kvr::platform {

namespace {

bool isHighSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

bool isLowSurrogate(char32_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

void appendUtf16(std::u16string& out, char32_t c) {
    if (c < 0x10000) {
        out += static_cast<char16_t>(c);
    } else {
        c -= 0x10000;
        out += static_cast<char16_t>(0xD800 | (c >> 10));
        out += static_cast<char16_t>(0xDC00 | (c & 0x3FF));
    }
}

// The code point of the sequence at `text[i]`, advancing `i` past it; U+FFFD and one byte
// for anything that is not the shortest encoding of a value up to U+10FFFF.
char32_t decodeUtf8(const std::string& text, size_t& i) {
    const auto* at = reinterpret_cast<const unsigned char*>(text.data()) + i;
    size_t illFormed = 0;
    const size_t length = utf8SequenceLength(at, text.size() - i, illFormed, true);
    if (length == 0) {
        ++i;
        return Replacement;
    }
    i += length;
    if (length == 1) {
        return at[0];
    }
    char32_t c = at[0] & (0x7Fu >> length);
    for (size_t k = 1; k < length; ++k) {
        c = (c << 6) | (at[k] & 0x3Fu);
    }
    return c;
}

} // namespace

size_t utf8SequenceLength(const unsigned char* at, size_t available, size_t& illFormed,
                          bool surrogates) {
    const unsigned char lead = at[0];
    size_t length = 0;
    unsigned char low = 0x80;  // the range of the second byte: it excludes overlong forms,
    unsigned char high = 0xBF; // surrogates and values beyond U+10FFFF
    if (lead < 0x80) {
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED && !surrogates ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        illFormed = 1;
        return 0;
    }
    for (size_t i = 1; i < length; ++i) {
        const bool fits =
            i < available && at[i] >= (i == 1 ? low : 0x80) && at[i] <= (i == 1 ? high : 0xBF);
        if (!fits) {
            illFormed = i;
            return 0;
        }
    }
    return length;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string utf8FromUtf16(const std::u16string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (isHighSurrogate(c) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00u);
            ++i;
        }
        appendUtf8(out, c);
    }
    return out;
}

std::u16string utf16FromUtf8(const std::string& text) {
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        appendUtf16(out, decodeUtf8(text, i));
    }
    return out;
}

} // namespace kvr::platform
