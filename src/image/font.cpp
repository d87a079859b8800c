#include "image/font.h"

#include "image/embedded_font.h"

#define STB_TRUETYPE_IMPLEMENTATION
#define STBTT_STATIC
#include <stb/stb_truetype.h>

#include <cmath>
#include <cstdlib>

namespace kvr::font {

namespace {

struct Embedded {
    stbtt_fontinfo info{};
    int unitsPerEm = 2048;
    int ascent = 0;
    int descent = 0;
    int capHeight = 0;

    Embedded() {
        // The font is part of the program; a build that could not read it would not have
        // passed a single test.
        if (stbtt_InitFont(&info, EmbeddedFont, stbtt_GetFontOffsetForIndex(EmbeddedFont, 0)) ==
            0) {
            std::abort();
        }
        const float emScale = stbtt_ScaleForMappingEmToPixels(&info, 1.0f);
        unitsPerEm = static_cast<int>(std::lround(1.0f / emScale));
        int lineGap = 0;
        stbtt_GetFontVMetrics(&info, &ascent, &descent, &lineGap);
        int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        capHeight = stbtt_GetCodepointBox(&info, 'H', &x0, &y0, &x1, &y1) != 0 ? y1 : ascent;
    }

    // Font units at `px` to the em, in 1/64 pixel, rounded half away from zero.
    int32_t scaled64(int units, int px) const {
        const int64_t value = int64_t{units} * px * 64;
        const int64_t half = unitsPerEm / 2;
        return static_cast<int32_t>(value >= 0 ? (value + half) / unitsPerEm
                                               : -((-value + half) / unitsPerEm));
    }
    int scaledPixels(int units, int px) const { return (scaled64(units, px) + 32) >> 6; }
    float scale(int px) const { return stbtt_ScaleForMappingEmToPixels(&info, float(px)); }
};

const Embedded& embedded() {
    static const Embedded font;
    return font;
}

} // namespace

int glyphOf(char32_t codepoint) {
    if (codepoint > 0x10FFFF) {
        return 0;
    }
    return stbtt_FindGlyphIndex(&embedded().info, static_cast<int>(codepoint));
}

int32_t advance64(int glyph, int px) {
    int advance = 0;
    int bearing = 0;
    stbtt_GetGlyphHMetrics(&embedded().info, glyph, &advance, &bearing);
    return embedded().scaled64(advance, px);
}

int32_t kerning64(int left, int right, int px) {
    return embedded().scaled64(stbtt_GetGlyphKernAdvance(&embedded().info, left, right), px);
}

LineMetrics lineMetrics(int px) {
    const Embedded& font = embedded();
    return {font.scaledPixels(font.ascent, px), -font.scaledPixels(font.descent, px),
            font.scaledPixels(font.capHeight, px)};
}

GlyphImage glyphImage(int glyph, int px) {
    const Embedded& font = embedded();
    const float scale = font.scale(px);
    GlyphImage image;
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    stbtt_GetGlyphBitmapBox(&font.info, glyph, scale, scale, &x0, &y0, &x1, &y1);
    if (x1 <= x0 || y1 <= y0) {
        return image; // a space
    }
    image.width = x1 - x0;
    image.height = y1 - y0;
    image.left = x0;
    image.top = y0;
    image.coverage.assign(static_cast<size_t>(image.width) * static_cast<size_t>(image.height), 0);
    stbtt_MakeGlyphBitmap(&font.info, image.coverage.data(), image.width, image.height, image.width,
                          scale, scale, glyph);
    return image;
}

} // namespace kvr::font
