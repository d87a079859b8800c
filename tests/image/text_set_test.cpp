// Text set in the embedded font: every character drawn (a box when the font lacks it), a cut
// that keeps the line inside its width, and drawing that stays inside its box.
#include "image/canvas.h"
#include "image/font.h"
#include "image/text_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

using namespace kvr;

const int Ellipsis = font::glyphOf(0x2026);

TEST(TextSet, IllFormedUtf8BecomesOneReplacementAPart) {
    const std::pair<std::string, std::u32string> cases[] = {
        {"Anna", U"Anna"},
        {"J\xC3\xB6rg \xE2\x96\xB2", U"J\u00F6rg \u25B2"},
        {"\xF0\x9F\x9A\x80", U"\U0001F680"},
        {"a\xC3", U"a\uFFFD"},                   // cut at the end
        {"\xE2\x96x", U"\uFFFDx"},               // cut before an ASCII byte: one part
        {"\xC0\xAF", U"\uFFFD\uFFFD"},           // overlong
        {"\xED\xA0\x80", U"\uFFFD\uFFFD\uFFFD"}, // a surrogate
        {"\xFF\x80", U"\uFFFD\uFFFD"},
        {std::string("a\0b", 3), std::u32string(U"a\0b", 3)},
    };
    for (const auto& [bytes, expected] : cases) {
        EXPECT_EQ(decodeUtf8(bytes), expected) << bytes;
    }
}

TEST(TextSet, EveryCharacterIsDrawnAndALongLineIsCutToItsWidth) {
    struct Case {
        std::string text;
        int maxWidth;
        size_t boxes; // characters set as a box
        bool cut;     // ends in an ellipsis
    };
    const std::string longName(43, 'W');
    const Case cases[] = {
        {"Anna Berg", 1000, 0, false},
        {"Anna \xF0\x9F\x9A\x80 Berg", 1000, 1, false}, // no rocket in the font
        {"\x01\x7F\xC2\x85", 1000, 3, false},           // control characters
        {"\xE4\xB8\xAD\xE6\x96\x87", 1000, 2, false},   // no CJK in the font
        {"\xFF\xFE", 1000, 0, false},                   // U+FFFD is in the font
        {longName, 300, 0, true},
        {"\xF0\x9F\x9A\x80\xF0\x9F\x9A\x80\xF0\x9F\x9A\x80\xF0\x9F\x9A\x80", 75, 2, true},
        {longName, 10, 0, false}, // not even the ellipsis fits: nothing
        {"", 100, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const SetText set = setText(c.text, 32, c.maxWidth);
        EXPECT_LE(set.width, c.maxWidth);
        EXPECT_EQ(
            static_cast<size_t>(std::count_if(set.glyphs.begin(), set.glyphs.end(),
                                              [](const PlacedGlyph& g) { return g.glyph == 0; })),
            c.boxes);
        EXPECT_EQ(!set.glyphs.empty() && set.glyphs.back().glyph == Ellipsis, c.cut);
        if (!c.cut && c.maxWidth >= 1000) {
            EXPECT_EQ(set.glyphs.size(), decodeUtf8(c.text).size());
        }
        // Pens only move forward, and the last advance ends within the width.
        for (size_t i = 1; i < set.glyphs.size(); ++i) {
            EXPECT_GE(set.glyphs[i].x, set.glyphs[i - 1].x);
        }
    }
    // A cut at any width drops the spaces before the ellipsis.
    for (int width = 60; width < 400; ++width) {
        const SetText words = setText("Red  Foxes of the Northern Forest", 24, width);
        ASSERT_GE(words.glyphs.size(), 2u) << width;
        EXPECT_NE(words.glyphs[words.glyphs.size() - 2].glyph, font::glyphOf(' ')) << width;
    }
    // Figures are tabular: points line up under each other.
    EXPECT_EQ(setText("1111", 32, 1000).width, setText("8888", 32, 1000).width);
}

TEST(Canvas, DrawingChangesNoPixelOutsideItsBox) {
    const Rgb background{10, 20, 30};
    const Rgb ink{250, 240, 230};
    // A line wider than its box, boxes among it, drawn across the box's edges on every side.
    const SetText text = setText("Wjg\xF0\x9F\x9A\x80|\xC3\x85Q\xF0\x9F\x9A\x80Wjg", 40, 2000);
    for (const Box clip : {Box{20, 10, 90, 45}, Box{0, 0, 120, 60}, Box{-5, -5, 30, 300}}) {
        Canvas canvas(120, 60, background);
        canvas.draw(text, -7, 40, ink, clip);
        canvas.fill({100, 50, 500, 500}, ink);
        const Box filled{100, 50, 120, 60};
        int inked = 0;
        for (int y = 0; y < canvas.height(); ++y) {
            for (int x = 0; x < canvas.width(); ++x) {
                const uint8_t* p = &canvas.pixels()[(size_t(y) * 120 + size_t(x)) * 3];
                const bool untouched = p[0] == 10 && p[1] == 20 && p[2] == 30;
                const Box at{x, y, x + 1, y + 1};
                if (!clip.contains(at) && !filled.contains(at)) {
                    EXPECT_TRUE(untouched) << x << "," << y;
                } else if (!untouched && clip.contains(at)) {
                    ++inked;
                }
            }
        }
        EXPECT_GT(inked, 50); // the text was drawn where it may be
    }
}

} // namespace
