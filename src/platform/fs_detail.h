// Shared by the platform implementations: the names of temporary files. Not part of the
// layer's interface.
#pragma once

#include "platform/fs.h"

#include <cstdint>
#include <string>

namespace kvr::platform {

// The temporary file that replaces `base` (a bare file name) is ".<base>.kvrrank-<16 hex
// digits>.tmp" beside it: hidden on POSIX, and a pattern that no file of a player's has.
std::string temporaryName(const std::string& base, uint64_t number);
bool isTemporaryName(const std::string& name, const std::string& base);
// A number for a temporary name, different on every call and in every process.
uint64_t uniqueNumber();

} // namespace kvr::platform
