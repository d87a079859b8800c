#include "harness/card_checks.h"

#include <algorithm>
#include <vector>

namespace kvrfuzz {

using namespace kvr;

namespace {

bool apart(const Box& a, const Box& b) {
    return a.right <= b.left || b.right <= a.left || a.bottom <= b.top || b.bottom <= a.top;
}

} // namespace

const char* cardLayoutFault(const CardLayout& layout) {
    const Box card{0, 0, layout.width, layout.height};
    for (size_t i = 0; i < layout.texts.size(); ++i) {
        const CardText& t = layout.texts[i];
        if (!card.contains(t.clip)) {
            return "a text's box lies outside the card";
        }
        if (t.x < t.clip.left || t.x + t.text.width > t.clip.right) {
            return "a text is wider than its box";
        }
        for (size_t k = 0; k < i; ++k) {
            if (!apart(layout.texts[k].clip, t.clip)) {
                return "two texts' boxes overlap";
            }
        }
    }
    const Canvas canvas = paintCard(layout);
    if (canvas.width() != layout.width || canvas.height() != layout.height) {
        return "the picture is not the layout's size";
    }
    // The pixels the layout lets anything touch; every other keeps the background.
    std::vector<bool> allowed(static_cast<size_t>(canvas.width()) *
                              static_cast<size_t>(canvas.height()));
    auto allow = [&](const Box& box) {
        for (int y = std::max(box.top, 0); y < std::min(box.bottom, canvas.height()); ++y) {
            for (int x = std::max(box.left, 0); x < std::min(box.right, canvas.width()); ++x) {
                allowed[static_cast<size_t>(y) * static_cast<size_t>(canvas.width()) +
                        static_cast<size_t>(x)] = true;
            }
        }
    };
    for (const CardText& t : layout.texts) {
        allow(t.clip);
    }
    for (const CardFill& f : layout.fills) {
        allow(f.box);
    }
    const Rgb bg = layout.background;
    for (size_t i = 0; i < allowed.size(); ++i) {
        const uint8_t* p = &canvas.pixels()[i * 3];
        if (!allowed[i] && (p[0] != bg.r || p[1] != bg.g || p[2] != bg.b)) {
            return "a pixel outside every box was drawn";
        }
    }
    return nullptr;
}

} // namespace kvrfuzz
