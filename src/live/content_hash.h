// SHA-256, for the hashes a Content-Security-Policy names an inline style by.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kvr {

std::array<uint8_t, 32> sha256(std::string_view data);

// Base64 with padding, as a policy's 'sha256-...' source takes it.
std::string base64(const uint8_t* data, size_t size);

// "'sha256-BASE64'" of `text`.
std::string cspHashSource(std::string_view text);

} // namespace kvr
