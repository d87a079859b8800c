// Includes Asio's address parser for the Host check: see CMakeLists.txt for its Windows
// definitions.
#include "live/live_routes.h"

#include "live/content_hash.h"
#include "report/live_board.h"
#include "report/ranking_html.h"
#include "report/words.h"

#include <boost/asio/ip/address.hpp>

#include <algorithm>
#include <cctype>

namespace kvr {

namespace ip = boost::asio::ip;

namespace {

constexpr std::string_view PlainText = "text/plain; charset=utf-8";
constexpr std::string_view HtmlText = "text/html; charset=utf-8";

std::string lowered(std::string_view text) {
    std::string low(text);
    std::transform(low.begin(), low.end(), low.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return low;
}

// The host of a Host header, without its port and brackets.
std::string_view hostOf(std::string_view header) {
    if (!header.empty() && header.front() == '[') {
        const size_t end = header.find(']');
        return end == std::string_view::npos ? std::string_view() : header.substr(1, end - 1);
    }
    return header.substr(0, header.rfind(':'));
}

// An IPv4 address written as IPv6 (::ffff:127.0.0.1) is the IPv4 one.
ip::address unmapped(const ip::address& address) {
    if (address.is_v6() && address.to_v6().is_v4_mapped()) {
        return ip::make_address_v4(ip::v4_mapped, address.to_v6());
    }
    return address;
}

// localhost, this machine's name (also on the local network, NAME.local), a loopback
// address, or the address the connection came in on.
bool hostIsOurs(std::optional<std::string_view> header, const LiveNames& names) {
    if (!header) {
        return false;
    }
    const std::string host = lowered(hostOf(*header));
    const std::string name = lowered(names.hostName);
    if (host == "localhost" || (!name.empty() && (host == name || host == name + ".local"))) {
        return true;
    }
    boost::system::error_code ec;
    const ip::address address = unmapped(ip::make_address(host, ec));
    if (ec) {
        return false;
    }
    if (address.is_loopback()) {
        return true;
    }
    const ip::address local = ip::make_address(names.localAddress, ec);
    return !ec && address == unmapped(local);
}

// `?top=N` of the overlay: 1 to MostOverlayRows, DefaultOverlayRows otherwise.
size_t overlayRows(std::string_view query) {
    size_t at = 0;
    while (at <= query.size()) {
        const size_t end = std::min(query.find('&', at), query.size());
        const std::string_view part = query.substr(at, end - at);
        if (part.substr(0, 4) == "top=" && part.size() > 4 && part.size() <= 7) {
            size_t n = 0;
            bool digits = true;
            for (char c : part.substr(4)) {
                digits = digits && std::isdigit(static_cast<unsigned char>(c)) != 0;
                n = n * 10 + static_cast<size_t>(c - '0');
            }
            if (digits && n >= 1) {
                return std::min(n, MostOverlayRows);
            }
        }
        at = end + 1;
    }
    return DefaultOverlayRows;
}

LiveAnswer plain(int status, std::string_view body, bool keepAlive) {
    LiveAnswer answer;
    answer.status = status;
    answer.type = PlainText;
    answer.keepAlive = keepAlive;
    answer.view = body;
    return answer;
}

LiveAnswer found(std::string_view type, LivePolicy policy, std::string_view body, bool keepAlive) {
    LiveAnswer answer;
    answer.type = type;
    answer.policy = policy;
    answer.keepAlive = keepAlive;
    answer.view = body;
    return answer;
}

LiveAnswer route(const LiveRequest& request, const LiveContent& content, const LiveNames& names,
                 size_t openStreams) {
    // A connection whose request has a body is not read further: its body would be taken for
    // the next request.
    const bool keepAlive = request.keepAlive && !request.body;
    if (request.method != "GET" && request.method != "HEAD") {
        LiveAnswer answer = plain(405, "only GET and HEAD\n", keepAlive);
        answer.allow = "GET, HEAD";
        return answer;
    }
    if (!hostIsOurs(request.host, names)) {
        return plain(421, "this server answers only to its own names\n", false);
    }
    const size_t question = request.target.find('?');
    const std::string_view path = request.target.substr(0, question);
    const std::string_view query = question == std::string_view::npos
                                       ? std::string_view()
                                       : request.target.substr(question + 1);
    if (path == "/") {
        return found(HtmlText,
                     content.language == DefaultLanguage ? LivePolicy::Page
                                                         : LivePolicy::TranslatedPage,
                     content.page, keepAlive);
    }
    if (path == LiveScriptPath) {
        return found("text/javascript; charset=utf-8", LivePolicy::Plain, LiveScript, keepAlive);
    }
    if (path == "/ranking.json") {
        return found("application/json", LivePolicy::Plain, content.json, keepAlive);
    }
    if (path == "/overlay") {
        LiveAnswer answer = found(HtmlText, LivePolicy::Overlay, {}, keepAlive);
        std::string& page = answer.text.emplace(content.overlayHead);
        const size_t rows = std::min(overlayRows(query), content.overlayRows.size());
        for (size_t i = 0; i < rows; ++i) {
            page += content.overlayRows[i];
        }
        page += content.overlayTail;
        return answer;
    }
    if (path == "/card.png") {
        if (!content.card) {
            return plain(404, "no card yet: no participant file has been imported\n", keepAlive);
        }
        return found("image/png", LivePolicy::Plain, *content.card, keepAlive);
    }
    if (path == "/events") {
        if (openStreams >= StreamLimit) {
            return tooBusy();
        }
        LiveAnswer answer = found("text/event-stream", LivePolicy::Plain, {}, false);
        answer.eventStream = true;
        return answer;
    }
    return plain(404, "not found\n", keepAlive);
}

} // namespace

LiveAnswer routeRequest(const LiveRequest& request, const LiveContent& content,
                        const LiveNames& names, size_t openStreams) {
    LiveAnswer answer = route(request, content, names, openStreams);
    answer.head = request.method == "HEAD";
    return answer;
}

LiveAnswer tooBusy() {
    LiveAnswer answer = plain(503, "too many connections, try again soon\n", false);
    answer.retryAfter = "5";
    return answer;
}

LiveAnswer headTooLarge() {
    return plain(431, "request head too large\n", false);
}

LiveAnswer badRequest() {
    return plain(400, "bad request\n", false);
}

const std::string& policyText(LivePolicy policy) {
    const auto pagePolicy = [](std::string_view language) {
        return "default-src 'none'; script-src 'self'; style-src " +
               cspHashSource(htmlPageStyle(language)) +
               "; connect-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";
    };
    static const std::string page = pagePolicy(DefaultLanguage);
    // Every language but English has the same style.
    static const std::string translatedPage = pagePolicy("de");
    static const std::string overlay = "default-src 'none'; script-src 'self'; style-src " +
                                       cspHashSource(overlayStyle()) +
                                       "; connect-src 'self'; base-uri 'none'; form-action 'none'";
    static const std::string plainPolicy = "default-src 'none'; frame-ancestors 'none'";
    switch (policy) {
    case LivePolicy::Page:
        return page;
    case LivePolicy::TranslatedPage:
        return translatedPage;
    case LivePolicy::Overlay:
        return overlay;
    case LivePolicy::Plain:
        break;
    }
    return plainPolicy;
}

} // namespace kvr
