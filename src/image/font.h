// Text drawn in the one font embedded in the program. No other font is ever read: a font
// parser is not safe on a stranger's file, and a run must draw the same pixels everywhere.
#pragma once

#include <cstdint>
#include <vector>

namespace kvr::font {

// The glyph of `codepoint`; 0 when the font has none (the caller draws a box instead).
int glyphOf(char32_t codepoint);

// Distances at a size of `px` pixels to the em, in 1/64 pixel.
int32_t advance64(int glyph, int px);
int32_t kerning64(int left, int right, int px);

// The line's measures at `px` pixels to the em, in whole pixels.
struct LineMetrics {
    int ascent;    // above the baseline
    int descent;   // below it, positive
    int capHeight; // the height of a capital letter, for the box of a missing glyph
};
LineMetrics lineMetrics(int px);

// A glyph's coverage, 0 to 255 a pixel, row by row; `left` and `top` place its first pixel
// from the pen on the baseline (top is negative above the baseline).
struct GlyphImage {
    int width = 0;
    int height = 0;
    int left = 0;
    int top = 0;
    std::vector<uint8_t> coverage;
};
GlyphImage glyphImage(int glyph, int px);

} // namespace kvr::font
