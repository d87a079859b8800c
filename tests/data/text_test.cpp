#include "data/text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace kvr;

const std::string R = "\xEF\xBF\xBD"; // U+FFFD

struct Conversion {
    std::string in;
    std::string out;
};

TEST(Windows1252ToUtf8, ConvertsEveryKindOfByte) {
    const Conversion cases[] = {
        {"Ana Example", "Ana Example"},
        {"J\xF6rg", "J\xC3\xB6rg"},                  // Latin-1 range: U+00F6
        {"\xA0\xFF", "\xC2\xA0\xC3\xBF"},            // first and last of the upper half
        {"\x80", "\xE2\x82\xAC"},                    // euro sign U+20AC
        {"\x8A\x9F", "\xC5\xA0\xC5\xB8"},            // U+0160, U+0178
        {"\x99", "\xE2\x84\xA2"},                    // trade mark U+2122
        {"\x81\x8D\x8F\x90\x9D", R + R + R + R + R}, // undefined in Windows-1252
        {"a\nb\rc\x1F\x7F"
         "d",
         "a?b?c??d"},       // control bytes
        {"\x7E\x20", "~ "}, // the last and first shown ASCII bytes
    };
    for (const Conversion& c : cases) {
        EXPECT_EQ(windows1252ToUtf8(c.in), c.out) << c.in;
    }
}

TEST(Windows1252ToUtf8, EveryByteGivesValidUtf8OfOneCharacter) {
    for (int b = 0; b < 256; ++b) {
        std::string in(1, static_cast<char>(b));
        std::string out = windows1252ToUtf8(in);
        EXPECT_EQ(validUtf8(out), out) << b;
        if (b < 0x20 || b == 0x7F) {
            EXPECT_EQ(out, "?") << b;
        } else if (b < 0x80) {
            EXPECT_EQ(out, in) << b;
        } else if (b >= 0xA0) {
            ASSERT_EQ(out.size(), 2u) << b;
            EXPECT_EQ(((out[0] & 0x1F) << 6) | (out[1] & 0x3F), b);
        } else {
            EXPECT_TRUE(out.size() == 2 || out.size() == 3) << b;
        }
    }
}

TEST(ValidUtf8, KeepsWellFormedTextAndReplacesEachIllFormedPart) {
    const Conversion cases[] = {
        {"", ""},
        {"plain.kvr", "plain.kvr"},
        {"J\xC3\xB6rg \xE2\x82\xAC \xF0\x9F\x8F\x81", "J\xC3\xB6rg \xE2\x82\xAC \xF0\x9F\x8F\x81"},
        {"\xED\x9F\xBF\xEE\x80\x80\xF4\x8F\xBF\xBF", "\xED\x9F\xBF\xEE\x80\x80\xF4\x8F\xBF\xBF"},
        {"a\xF6"
         "b",
         "a" + R + "b"},                     // a Windows-1252 byte on its own
        {"\x80", R},                         // a stray continuation byte
        {"\xC0\xAF", R + R},                 // overlong: C0 never starts a sequence
        {"\xE0\x80\xAF", R + R + R},         // overlong three-byte form
        {"\xED\xA0\x80", R + R + R},         // a surrogate
        {"\xF4\x90\x80\x80", R + R + R + R}, // beyond U+10FFFF
        {"\xF5\x80", R + R},                 // a lead byte that is never valid
        {"\xE2\x82", R},                     // a cut sequence is one ill-formed part
        {"\xE2\x82x", R + "x"},              // ... also when something follows
        {"\xF0\x9F\x8F", R},
        {"\xF0\x9F\x8Fz\xC3", R + "z" + R},
    };
    for (const Conversion& c : cases) {
        EXPECT_EQ(validUtf8(c.in), c.out) << c.in;
    }
}

TEST(SafeText, ReplacesControlBytesOnly) {
    EXPECT_EQ(safeText(std::string("a\tb\x7F\xF6\x80 ~", 8)), "a?b?\xF6\x80 ~");
    EXPECT_EQ(safeText("x\0y", 3), "x?y");
}

} // namespace
