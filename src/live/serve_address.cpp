// Includes Asio's address parser: see CMakeLists.txt for its Windows definitions.
#include "live/serve_address.h"

#include <boost/asio/ip/address.hpp>

#include <algorithm>
#include <cctype>

namespace kvr {

bool parseServeAddress(const std::string& text, bool lan, ServeAddress& address,
                       std::string& error) {
    std::string host;
    std::string port = text;
    if (!text.empty() && text.front() == '[') {
        const size_t end = text.find("]:");
        if (end == std::string::npos) {
            error = "\"" + text + "\": write an IPv6 address as [ADDRESS]:PORT";
            return false;
        }
        host = text.substr(1, end - 1);
        port = text.substr(end + 2);
    } else if (const size_t colon = text.rfind(':'); colon != std::string::npos) {
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
    }
    unsigned long value = 0;
    const bool digits =
        !port.empty() && port.size() <= 5 &&
        std::all_of(port.begin(), port.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
    if (digits) {
        value = std::stoul(port);
    }
    if (!digits || value > 65535) {
        error = "\"" + text + "\": the port must be a number from 0 to 65535";
        return false;
    }
    // "localhost" is this machine's loopback: 127.0.0.1, whatever a resolver would say.
    std::string lower = host;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower == "localhost") {
        host = "127.0.0.1";
    }
    if (!host.empty()) {
        boost::system::error_code ec;
        const boost::asio::ip::address ip = boost::asio::ip::make_address(host, ec);
        if (ec) {
            error = "\"" + host + "\" is not an IP address";
            return false;
        }
        if (!ip.is_loopback() && !lan) {
            error = "\"" + host + "\" can be reached from the network: add --lan to serve there";
            return false;
        }
    }
    address.host = host;
    address.port = static_cast<uint16_t>(value);
    address.lan = lan;
    return true;
}

} // namespace kvr
