// A picture in memory, RGB, that text and boxes are drawn on. Every drawing names the box it
// may touch, and no pixel outside that box changes.
#pragma once

#include "image/font.h"
#include "image/text_layout.h"

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace kvr {

struct Rgb {
    uint8_t r, g, b;
};

// Pixels from `left` to `right` and `top` to `bottom`, the ends excluded.
struct Box {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool contains(const Box& other) const {
        return other.left >= left && other.top >= top && other.right <= right &&
               other.bottom <= bottom;
    }
};

class Canvas {
  public:
    Canvas(int width, int height, Rgb background);

    int width() const { return width_; }
    int height() const { return height_; }
    // Row by row, three bytes a pixel.
    const std::vector<uint8_t>& pixels() const { return pixels_; }

    void fill(Box box, Rgb colour);
    // `text` with its start at `x` and its baseline at `baseline`, only inside `clip`.
    void draw(const SetText& text, int x, int baseline, Rgb colour, Box clip);

  private:
    // Blends `colour` into the pixel at (x, y) by `coverage` (0 to 255) when it lies in `clip`.
    void blend(int x, int y, Rgb colour, unsigned coverage, const Box& clip);
    void drawBox(int x, int baseline, int px, Rgb colour, const Box& clip);
    const font::GlyphImage& glyph(int glyph, int px);

    int width_;
    int height_;
    std::vector<uint8_t> pixels_;
    std::map<std::pair<int, int>, font::GlyphImage> glyphs_; // by glyph and size
};

} // namespace kvr
