// Shared by the platform implementations: writing blocks so that a file holds all of them or
// none. Not part of the layer's interface.
#pragma once

#include "platform/fs.h"

#include <cstdint>
#include <vector>

namespace kvr::platform::detail {

// Reads the bytes each block replaces, then writes the blocks in order. When a write fails,
// the blocks already begun get their earlier bytes back: the file then holds either all new
// blocks or none. `readAt(offset, buffer, size)` and `writeAt(offset, data, size)` transfer
// exactly `size` bytes or return false.
template <typename ReadAt, typename WriteAt>
bool writeAllOrNone(const WriteBlock* blocks, size_t count, ReadAt readAt, WriteAt writeAt) {
    std::vector<std::vector<uint8_t>> earlier(count);
    for (size_t i = 0; i < count; ++i) {
        earlier[i].resize(blocks[i].size);
        if (!readAt(blocks[i].offset, earlier[i].data(), blocks[i].size)) {
            return false;
        }
    }
    size_t begun = 0; // blocks whose write was started
    bool ok = true;
    while (ok && begun < count) {
        ok = writeAt(blocks[begun].offset, blocks[begun].data, blocks[begun].size);
        ++begun;
    }
    if (!ok) {
        // The write has failed either way; a restore that fails too cannot be reported
        // beyond that.
        for (size_t i = 0; i < begun; ++i) {
            writeAt(blocks[i].offset, earlier[i].data(), earlier[i].size());
        }
    }
    return ok;
}

} // namespace kvr::platform::detail
