// The live board's answers: what each request gets, decided without a socket. The server
// (live_server.cpp) carries requests in and these answers out, and adds the headers every
// answer has.
#pragma once

#include "live/live_content.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kvr {

// /overlay shows DefaultOverlayRows standings, or ?top=N up to MostOverlayRows.
constexpr size_t DefaultOverlayRows = 10;
constexpr size_t MostOverlayRows = 100;
// Event streams open at once; one more is told to come back.
constexpr size_t StreamLimit = 32;

// A request head, as far as the routes look at it.
struct LiveRequest {
    std::string_view method;              // as sent: "GET", "HEAD", "get", "BREW"
    std::string_view target;              // "/overlay?top=5"
    std::optional<std::string_view> host; // the Host header, when there is one
    bool keepAlive = false;               // the client would keep the connection open
    bool body = false;                    // a body follows the head (chunked, or a length above 0)
};

// The names this machine answers to besides localhost and loopback addresses.
struct LiveNames {
    std::string hostName;     // the machine's name (case does not matter)
    std::string localAddress; // the connection's local address ("192.168.1.5"); empty: unknown
};

// Which Content-Security-Policy an answer carries. A page in a language other than English has
// a style of its own (longer words), which its policy allows.
enum class LivePolicy { Page, TranslatedPage, Overlay, Plain };

struct LiveAnswer {
    int status = 200;
    std::string_view type; // Content-Type
    LivePolicy policy = LivePolicy::Plain;
    std::string_view allow;      // the Allow header; empty: none
    std::string_view retryAfter; // the Retry-After header; empty: none
    bool keepAlive = false;      // the connection reads the next request after this answer
    bool eventStream = false;    // the head of a Server-Sent Events stream, sent chunked
    bool head = false;           // HEAD: the GET's headers and Content-Length, no body
    // The body: a view into the content it was routed from (the page, the JSON) or into text
    // that lives for good; or text of its own (the overlay).
    std::string_view view;
    std::optional<std::string> text;

    std::string_view body() const { return text ? std::string_view(*text) : view; }
};

// The answer to `request` from `content`, while `openStreams` event streams are open. Only GET
// and HEAD, only to a Host that names this machine (against DNS rebinding).
LiveAnswer routeRequest(const LiveRequest& request, const LiveContent& content,
                        const LiveNames& names, size_t openStreams);

// 503: no room for another connection or event stream.
LiveAnswer tooBusy();
// 431 and 400: a request head too large, or one that is not HTTP.
LiveAnswer headTooLarge();
LiveAnswer badRequest();

// The Content-Security-Policy header of `policy`.
const std::string& policyText(LivePolicy policy);

} // namespace kvr
