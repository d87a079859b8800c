// A line of text set in the embedded font: glyphs placed on whole pixels, cut with an ellipsis
// to fit a width. Any character the font lacks is set as a box, never dropped, and each
// ill-formed part of the UTF-8 as U+FFFD.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kvr {

struct PlacedGlyph {
    int glyph; // in the font; 0: a box for a character the font lacks
    int x;     // the pen's position on the baseline, in pixels from the line's start
};

struct SetText {
    int px = 0;    // the size, in pixels to the em
    int width = 0; // from the line's start to the last glyph's advance, in pixels
    std::vector<PlacedGlyph> glyphs;
};

// The code points of `utf8`, each maximal ill-formed part as U+FFFD.
std::u32string decodeUtf8(std::string_view utf8);

// `text` at `px`, cut at the end with "…" so that it is at most `maxWidth` pixels wide
// (nothing at all when even the ellipsis does not fit).
SetText setText(std::string_view text, int px, int maxWidth);

} // namespace kvr
