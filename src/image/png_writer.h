// A canvas as a PNG file: RGB, 8 bits a channel, no chunk but the picture's own, so that the
// same pixels always give the same bytes.
#pragma once

#include "image/canvas.h"

#include <string>

namespace kvr {

std::string encodePng(const Canvas& canvas);

} // namespace kvr
