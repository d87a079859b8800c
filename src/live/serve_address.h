// Where the live board serves, as the command line or the league file gives it.
#pragma once

#include <cstdint>
#include <string>

namespace kvr {

// Where to serve: "[ADDRESS:]PORT" as given, and whether the network may reach it.
struct ServeAddress {
    std::string host; // empty: 127.0.0.1, or every interface with `lan`
    uint16_t port = 0;
    bool lan = false;
};

// Reads "[ADDRESS:]PORT" ("8080", "127.0.0.1:8080", "[::1]:8080", "localhost:8080", which is
// 127.0.0.1). False with the reason. An address that is not a loopback one needs `lan`.
bool parseServeAddress(const std::string& text, bool lan, ServeAddress& address,
                       std::string& error);

} // namespace kvr
