#include "image/png_writer.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>

namespace kvr {

namespace {

void append(void* context, void* data, int size) {
    static_cast<std::string*>(context)->append(static_cast<const char*>(data),
                                               static_cast<size_t>(size));
}

// zlib's default level of effort, set once before any write (the level is this file's own).
[[maybe_unused]] const bool DefaultLevel = (stbi_write_png_compression_level = 6, true);

} // namespace

std::string encodePng(const Canvas& canvas) {
    std::string png;
    if (canvas.width() == 0 || canvas.height() == 0) {
        return png;
    }
    if (stbi_write_png_to_func(append, &png, canvas.width(), canvas.height(), 3,
                               canvas.pixels().data(), canvas.width() * 3) == 0) {
        png.clear(); // out of memory
    }
    return png;
}

} // namespace kvr
