#include "platform/wide_text.h"

#include <gtest/gtest.h>

namespace {

using kvr::platform::utf16FromUtf8;
using kvr::platform::utf8FromUtf16;

TEST(WideText, NamesConvertBothWaysUnchanged) {
    struct Case {
        const char* what;
        std::u16string utf16;
        std::string utf8;
    };
    const Case cases[] = {
        {"ASCII", u"anna.kvr", "anna.kvr"},
        {"Windows-1252 letter", u"Zo\u00EB", "Zo\xC3\xAB"},
        {"Polish", u"Za\u017C\u00F3\u0142\u0107", "Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87"},
        {"Chinese", u"\u674E\u5C0F\u9F8D", "\xE6\x9D\x8E\xE5\xB0\x8F\xE9\xBE\x8D"},
        {"beyond the BMP (pair)", u"\U0001F3CE", "\xF0\x9F\x8F\x8E"},
        {"lone high surrogate", std::u16string(1, char16_t(0xD83C)) + u"x", "\xED\xA0\xBCx"},
        {"lone low surrogate", u"x" + std::u16string(1, char16_t(0xDFCE)), "x\xED\xBF\x8E"},
        {"NUL inside", std::u16string(u"a\0b", 3), std::string("a\0b", 3)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(utf8FromUtf16(c.utf16), c.utf8) << c.what;
        EXPECT_EQ(utf16FromUtf8(c.utf8), c.utf16) << c.what;
    }
}

TEST(WideText, InvalidUtf8BecomesReplacementCharacters) {
    struct Case {
        const char* what;
        std::string utf8;
        std::u16string utf16;
    };
    const Case cases[] = {
        {"Windows-1252 byte alone", "Zo\xEB", u"Zo\uFFFD"},
        {"continuation byte alone", "\x80z", u"\uFFFDz"},
        {"cut sequence at the end", "a\xE6\x9D", u"a\uFFFD\uFFFD"},
        {"overlong slash", "\xC0\xAF", u"\uFFFD\uFFFD"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"lead byte followed by ASCII", "\xC3x", u"\uFFFDx"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(utf16FromUtf8(c.utf8), c.utf16) << c.what;
    }
}

} // namespace
