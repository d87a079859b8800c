#include "image/text_layout.h"

#include "image/font.h"
#include "platform/wide_text.h"

namespace kvr {

namespace {

constexpr char32_t Replacement = 0xFFFD;
constexpr char32_t Ellipsis = 0x2026;

// A box is as wide as a capital letter with room on each side.
int32_t boxAdvance64(int px) {
    return px * 64 * 3 / 5;
}

// Pen positions in 1/64 pixel, so that a line's width does not grow with rounding.
struct Pen {
    int px;
    int32_t at64 = 0;
    int previous = -1; // the glyph before, for kerning; -1 at the start and after a box

    int32_t advanceOf(int glyph) const {
        return glyph == 0 ? boxAdvance64(px) : font::advance64(glyph, px);
    }
    // Places `glyph` and returns where it stands.
    PlacedGlyph place(int glyph) {
        if (previous > 0 && glyph > 0) {
            at64 += font::kerning64(previous, glyph, px);
        }
        const PlacedGlyph placed{glyph, (at64 + 32) >> 6};
        at64 += advanceOf(glyph);
        previous = glyph;
        return placed;
    }
    int width() const { return (at64 + 63) >> 6; }
};

} // namespace

std::u32string decodeUtf8(std::string_view utf8) {
    std::u32string out;
    out.reserve(utf8.size());
    const auto* data = reinterpret_cast<const unsigned char*>(utf8.data());
    for (size_t i = 0; i < utf8.size();) {
        size_t illFormed = 0;
        const size_t length = platform::utf8SequenceLength(data + i, utf8.size() - i, illFormed);
        if (length == 0) {
            out.push_back(Replacement);
            i += illFormed;
            continue;
        }
        char32_t c = length == 1 ? data[i] : data[i] & (0xFFu >> (length + 1));
        for (size_t k = 1; k < length; ++k) {
            c = (c << 6) | (data[i + k] & 0x3Fu);
        }
        out.push_back(c);
        i += length;
    }
    return out;
}

SetText setText(std::string_view text, int px, int maxWidth) {
    SetText set;
    set.px = px;
    const std::u32string codepoints = decodeUtf8(text);
    std::vector<int> glyphs;
    glyphs.reserve(codepoints.size());
    for (char32_t c : codepoints) {
        // A control character would be drawn as nothing: it takes a box like any missing one.
        glyphs.push_back(c < 0x20 || (c >= 0x7F && c < 0xA0) ? 0 : font::glyphOf(c));
    }
    Pen pen{px};
    for (int glyph : glyphs) {
        set.glyphs.push_back(pen.place(glyph));
    }
    if (pen.width() <= maxWidth) {
        set.width = pen.width();
        return set;
    }
    // Too wide: the longest start that leaves room for the ellipsis.
    const int ellipsis = font::glyphOf(Ellipsis);
    set.glyphs.clear();
    Pen cut{px};
    std::vector<Pen> before; // the pen before each glyph kept
    for (int glyph : glyphs) {
        Pen tried = cut;
        tried.place(glyph);
        Pen withEllipsis = tried;
        withEllipsis.place(ellipsis);
        if (withEllipsis.width() > maxWidth) {
            break;
        }
        before.push_back(cut);
        set.glyphs.push_back(cut.place(glyph));
    }
    // "Red Foxes…", not "Red Foxes …".
    const int space = font::glyphOf(' ');
    while (!set.glyphs.empty() && set.glyphs.back().glyph == space) {
        set.glyphs.pop_back();
        cut = before.back();
        before.pop_back();
    }
    Pen end = cut;
    end.place(ellipsis);
    if (end.width() > maxWidth) {
        set.glyphs.clear();
        set.width = 0;
        return set;
    }
    set.glyphs.push_back(cut.place(ellipsis));
    set.width = cut.width();
    return set;
}

} // namespace kvr
