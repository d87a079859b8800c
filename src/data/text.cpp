#include "data/text.h"

#include "platform/wide_text.h"

#include <cstdint>

namespace kvr {

std::string safeText(const char* text, size_t length) {
    std::string safe(text, length);
    for (char& c : safe) {
        if (isControlByte(static_cast<unsigned char>(c))) {
            c = '?';
        }
    }
    return safe;
}

namespace {

using platform::Replacement;

// Windows-1252 at 80h to 9Fh; 0 marks the bytes it leaves undefined. The rest of the upper
// half is Latin-1, the same code points as the byte values.
constexpr char16_t windows1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

} // namespace

std::string windows1252ToUtf8(const char* text, size_t length) {
    std::string out;
    out.reserve(length + length / 2);
    for (size_t i = 0; i < length; ++i) {
        // Runs of printable ASCII, by far the most of any name, go over as they are.
        size_t ascii = i;
        while (ascii < length && text[ascii] >= 0x20 && text[ascii] < 0x7F) {
            ++ascii;
        }
        out.append(text + i, ascii - i);
        if ((i = ascii) == length) {
            break;
        }
        auto c = static_cast<unsigned char>(text[i]);
        if (isControlByte(c)) {
            out += '?';
        } else if (c >= 0x80 && c < 0xA0) {
            char16_t mapped = windows1252High[c - 0x80];
            platform::appendUtf8(out, mapped != 0 ? char32_t{mapped} : Replacement);
        } else {
            platform::appendUtf8(out, c);
        }
    }
    return out;
}

std::string validUtf8(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size());
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    for (size_t i = 0; i < bytes.size();) {
        // Runs of ASCII, by far the most of any name, go over as they are.
        size_t ascii = i;
        while (ascii < bytes.size() && data[ascii] < 0x80) {
            ++ascii;
        }
        out.append(bytes, i, ascii - i);
        if ((i = ascii) == bytes.size()) {
            break;
        }
        size_t consumed = 0;
        size_t length = platform::utf8SequenceLength(data + i, bytes.size() - i, consumed);
        if (length > 0) {
            out.append(bytes, i, length);
            i += length;
        } else {
            platform::appendUtf8(out, Replacement);
            i += consumed;
        }
    }
    return out;
}

} // namespace kvr
