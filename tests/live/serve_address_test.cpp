// The address --serve and the league file's `serve` take: a port, or an address with a port,
// and an address the network can reach only with --lan.
#include "live/serve_address.h"

#include <gtest/gtest.h>

namespace {

using namespace kvr;

TEST(ServeAddress, APortOrAnAddressWithAPortAndOnlyLoopbackWithoutLan) {
    const struct {
        const char* text;
        bool lan;
        const char* expected; // "host|port|lan", or the start of the error
    } cases[] = {
        {"8080", false, "|8080|0"},
        {"0", false, "|0|0"},
        {"127.0.0.1:9000", false, "127.0.0.1|9000|0"},
        {"[::1]:9000", false, "::1|9000|0"},
        {"8080", true, "|8080|1"},
        {"192.168.1.5:8080", true, "192.168.1.5|8080|1"},
        {"192.168.1.5:8080", false, "\"192.168.1.5\" can be reached from the network"},
        {"65536", false, "\"65536\": the port must be"},
        {"80a", false, "\"80a\": the port must be"},
        {"host:80", false, "\"host\" is not an IP address"},
        {"localhost:8080", false, "127.0.0.1|8080|0"},
        {"LocalHost:8080", true, "127.0.0.1|8080|1"},
        {"localhost.example:80", false, "\"localhost.example\" is not an IP address"},
        {"::1:80", false, "::1|80|0"},
        {"[::1", false, "\"[::1\": write an IPv6 address as"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        ServeAddress address;
        std::string error;
        const bool ok = parseServeAddress(c.text, c.lan, address, error);
        const std::string got =
            ok ? address.host + "|" + std::to_string(address.port) + "|" + (address.lan ? "1" : "0")
               : error;
        EXPECT_EQ(got.substr(0, std::string(c.expected).size()), c.expected) << got;
    }
}

} // namespace
