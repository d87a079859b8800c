// Shared by the platform implementations: writing blocks so that a file holds all of them or
// none, reasons of our own, and the names of temporary files. Not part of the layer's interface.
#pragma once

#include "platform/fs.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kvr::platform::detail {

// Reads the bytes each block replaces, then writes the blocks in order. When a write fails,
// the blocks already begun get their earlier bytes back: the file then holds either all new
// blocks or none. `readAt(offset, buffer, size)` and `writeAt(offset, data, size)` transfer
// exactly `size` bytes or fail.
template <typename ReadAt, typename WriteAt>
Status writeAllOrNone(const WriteBlock* blocks, size_t count, ReadAt readAt, WriteAt writeAt) {
    std::vector<std::vector<uint8_t>> earlier(count);
    for (size_t i = 0; i < count; ++i) {
        earlier[i].resize(blocks[i].size);
        Status status = readAt(blocks[i].offset, earlier[i].data(), blocks[i].size);
        if (!status) {
            return status;
        }
    }
    size_t begun = 0; // blocks whose write was started
    Status status;
    while (status && begun < count) {
        status = writeAt(blocks[begun].offset, blocks[begun].data, blocks[begun].size);
        ++begun;
    }
    if (!status) {
        // The write has failed either way; a restore that fails too cannot be reported
        // beyond that.
        for (size_t i = 0; i < begun; ++i) {
            writeAt(blocks[i].offset, earlier[i].data(), earlier[i].size());
        }
    }
    return status;
}

} // namespace kvr::platform::detail

namespace kvr::platform {

// The temporary file that replaces `base` (a bare file name) is ".<base>.kvrrank-<16 hex
// digits>.tmp" beside it: hidden on POSIX, and a pattern that no file of a player's has.
std::string temporaryName(const std::string& base, uint64_t number);
bool isTemporaryName(const std::string& name, const std::string& base);
// A number for a temporary name, different on every call and in every process.
uint64_t uniqueNumber();

} // namespace kvr::platform
