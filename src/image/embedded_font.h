// The font the program draws text with, DejaVu Sans, made part of the program at build time
// (cmake/embed-file.cmake). Its licence: docs/font-licence.txt.
#pragma once

#include <cstddef>

namespace kvr {

extern const unsigned char EmbeddedFont[];
extern const size_t EmbeddedFontSize;

} // namespace kvr
