// Fuzz target: the live board's routes on any request head. Input: a byte of flags (bit 0 the
// client keeps the connection, bit 1 a body follows, bit 2 no Host header, bit 3 a run with
// three standings and no card yet, bit 4 a machine without a name), a byte of open streams,
// then the method, the target and the Host value, separated by line feeds. Every answer is one
// the board promises, and its body is the content's, the overlay made from it or the card.
#include "fuzz_check.h"

#include "live/live_routes.h"
#include "report/live_board.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

using namespace kvr;
using kvrfuzz::require;

namespace {

LiveContent contentWith(size_t rows, bool card) {
    LiveContent content;
    if (card) {
        content.card = std::make_shared<const std::string>("\x89PNG\r\n\x1a\n card");
    }
    content.run = 7;
    content.page = "<!DOCTYPE html><title>page</title>";
    content.json = "{\"run\":7}";
    content.overlayHead = "<head>";
    for (size_t i = 0; i < rows; ++i) {
        content.overlayRows.push_back("<tr>" + std::to_string(i) + "</tr>");
    }
    content.overlayTail = "</tail>";
    return content;
}

// The next field of `input`, up to a line feed or its end.
std::string_view field(std::string_view& input) {
    const size_t end = input.find('\n');
    const std::string_view taken = input.substr(0, end);
    input = end == std::string_view::npos ? std::string_view() : input.substr(end + 1);
    return taken;
}

// Whether `body` is the overlay of `content` with 1 to MostOverlayRows of its rows (all, when
// it has fewer).
bool isOverlay(std::string_view body, const LiveContent& content) {
    std::string made = content.overlayHead;
    for (size_t rows = 0; rows < content.overlayRows.size() && rows < MostOverlayRows; ++rows) {
        made += content.overlayRows[rows];
        if (body == made + content.overlayTail) {
            return true;
        }
    }
    return content.overlayRows.empty() && body == made + content.overlayTail;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const LiveContent many = contentWith(120, true);
    static const LiveContent few = contentWith(3, false);
    if (size < 2) {
        return 0;
    }
    const uint8_t flags = data[0];
    const size_t streams = data[1];
    std::string_view input(reinterpret_cast<const char*>(data + 2), size - 2);
    LiveRequest request;
    request.keepAlive = (flags & 1) != 0;
    request.body = (flags & 2) != 0;
    request.method = field(input);
    request.target = field(input);
    const std::string_view host = field(input);
    if ((flags & 4) == 0) {
        request.host = host;
    }
    const LiveContent& content = (flags & 8) != 0 ? few : many;
    const LiveNames names =
        (flags & 16) != 0 ? LiveNames{"", ""} : LiveNames{"Kart-PC", "10.0.0.2"};

    const LiveAnswer answer = routeRequest(request, content, names, streams);
    const std::string_view body = answer.body();
    const bool getOrHead = request.method == "GET" || request.method == "HEAD";
    require(answer.head == (request.method == "HEAD"), "HEAD, and only HEAD, leaves out the body");
    require(!answer.type.empty() && !policyText(answer.policy).empty(), "a type and a policy");
    require(!answer.keepAlive || (request.keepAlive && !request.body),
            "a connection is kept only when the client keeps it and sent no body");
    require(answer.allow.empty() == (answer.status != 405), "Allow with a 405 only");
    require(answer.retryAfter.empty() == (answer.status != 503), "Retry-After with a 503 only");
    switch (answer.status) {
    case 200:
        require(getOrHead && request.host.has_value(), "200 to GET or HEAD with a Host");
        if (answer.eventStream) {
            require(body.empty() && !answer.keepAlive && streams < StreamLimit,
                    "a stream has no body, holds its connection, and has room");
        } else {
            require(body == content.page || body == content.json || body == LiveScript ||
                        isOverlay(body, content) || (content.card && body == *content.card),
                    "a 200 hands out the page, the JSON, the script, the overlay or the card");
            require(!content.card || body != *content.card || answer.type == "image/png",
                    "the card as a PNG");
            require(body != LiveScript || answer.policy == LivePolicy::Plain,
                    "the script under the plain policy");
        }
        break;
    case 404:
        require(getOrHead && (body == "not found\n" ||
                              (!content.card &&
                               body == "no card yet: no participant file has been imported\n")),
                "404 to GET or HEAD, one line");
        break;
    case 405:
        require(!getOrHead && answer.allow == "GET, HEAD" && body == "only GET and HEAD\n",
                "405 to any other method, with Allow");
        break;
    case 421:
        require(getOrHead && !answer.keepAlive && !body.empty() && body.back() == '\n',
                "421 to GET or HEAD, one line, closing");
        break;
    case 503:
        require(getOrHead && streams >= StreamLimit && !answer.keepAlive &&
                    body == "too many connections, try again soon\n",
                "503 only when the streams are full, closing");
        break;
    default:
        // The board's other statuses, 400 and 431, are the transport's: heads it cannot read.
        require(false, "200, 404, 405, 421 or 503 from the routes");
    }
    require(!answer.eventStream || answer.status == 200, "only a 200 starts a stream");
    return 0;
}
