#include "image/canvas.h"

#include <algorithm>

namespace kvr {

Canvas::Canvas(int width, int height, Rgb background)
    : width_(std::max(width, 0)), height_(std::max(height, 0)),
      pixels_(static_cast<size_t>(width_) * static_cast<size_t>(height_) * 3) {
    fill({0, 0, width_, height_}, background);
}

void Canvas::fill(Box box, Rgb colour) {
    box.left = std::max(box.left, 0);
    box.top = std::max(box.top, 0);
    box.right = std::min(box.right, width_);
    box.bottom = std::min(box.bottom, height_);
    for (int y = box.top; y < box.bottom; ++y) {
        for (int x = box.left; x < box.right; ++x) {
            uint8_t* p = &pixels_[(static_cast<size_t>(y) * static_cast<size_t>(width_) +
                                   static_cast<size_t>(x)) *
                                  3];
            p[0] = colour.r;
            p[1] = colour.g;
            p[2] = colour.b;
        }
    }
}

void Canvas::blend(int x, int y, Rgb colour, unsigned coverage, const Box& clip) {
    if (coverage == 0 || x < std::max(clip.left, 0) || x >= std::min(clip.right, width_) ||
        y < std::max(clip.top, 0) || y >= std::min(clip.bottom, height_)) {
        return;
    }
    uint8_t* p =
        &pixels_[(static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)) *
                 3];
    // Integer arithmetic, so that every build gives the same pixels.
    const auto mix = [coverage](uint8_t under, uint8_t over) {
        return static_cast<uint8_t>((under * (255u - coverage) + over * coverage + 127u) / 255u);
    };
    p[0] = mix(p[0], colour.r);
    p[1] = mix(p[1], colour.g);
    p[2] = mix(p[2], colour.b);
}

const font::GlyphImage& Canvas::glyph(int glyph, int px) {
    const auto key = std::make_pair(glyph, px);
    auto found = glyphs_.find(key);
    if (found == glyphs_.end()) {
        found = glyphs_.emplace(key, font::glyphImage(glyph, px)).first;
    }
    return found->second;
}

// An outline as tall as a capital letter, for a character the font lacks.
void Canvas::drawBox(int x, int baseline, int px, Rgb colour, const Box& clip) {
    const int capHeight = font::lineMetrics(px).capHeight;
    const int stroke = std::max(1, px / 16);
    const int left = x + std::max(1, px / 10);
    const int right = x + px * 3 / 5 - std::max(1, px / 10);
    const int top = baseline - capHeight;
    for (int y = top; y < baseline; ++y) {
        for (int dx = left; dx < right; ++dx) {
            const bool edge = y < top + stroke || y >= baseline - stroke || dx < left + stroke ||
                              dx >= right - stroke;
            if (edge) {
                blend(dx, y, colour, 255, clip);
            }
        }
    }
}

void Canvas::draw(const SetText& text, int x, int baseline, Rgb colour, Box clip) {
    for (const PlacedGlyph& placed : text.glyphs) {
        const int penX = x + placed.x;
        if (placed.glyph == 0) {
            drawBox(penX, baseline, text.px, colour, clip);
            continue;
        }
        const font::GlyphImage& image = glyph(placed.glyph, text.px);
        for (int row = 0; row < image.height; ++row) {
            for (int column = 0; column < image.width; ++column) {
                blend(penX + image.left + column, baseline + image.top + row, colour,
                      image.coverage[static_cast<size_t>(row) * static_cast<size_t>(image.width) +
                                     static_cast<size_t>(column)],
                      clip);
            }
        }
    }
}

} // namespace kvr
