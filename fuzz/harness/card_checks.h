// What every standings card must hold, whatever it shows: each text inside its column and the
// card, no two columns of a row over each other, and no pixel drawn outside the boxes the
// layout names.
#pragma once

#include "report/standings_card.h"

namespace kvrfuzz {

// The first invariant `layout` breaks, painted; nullptr when it holds them all.
const char* cardLayoutFault(const kvr::CardLayout& layout);

} // namespace kvrfuzz
