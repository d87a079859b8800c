// The live board's answers without a socket: each request of a stranger, a browser or OBS
// against what it must get. The transport's own part (headers on the wire, limits on
// connections and heads) is tested over real sockets in live_server_test.cpp.
#include "live/board_destination.h"
#include "live/content_hash.h"
#include "live/live_routes.h"
#include "report/live_board.h"
#include "report/ranking_html.h"
#include "support/participant_builder.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace kvr;

const LiveContent& run() {
    static const LiveContent content = [] {
        LiveContent made;
        made.run = 1;
        made.page = "<!DOCTYPE html><title>page 1</title>";
        made.json = "{\"run\":1}";
        made.overlayHead = "<head>";
        for (int i = 1; i <= 120; ++i) {
            made.overlayRows.push_back("<" + std::to_string(i) + ">");
        }
        made.overlayTail = "</tail>";
        made.card = std::make_shared<const std::string>("\x89PNG card");
        return made;
    }();
    return content;
}

// The overlay with its first `rows` rows.
std::string overlay(size_t rows) {
    std::string page = run().overlayHead;
    for (size_t i = 0; i < rows; ++i) {
        page += run().overlayRows[i];
    }
    return page + run().overlayTail;
}

const LiveNames Ours{"Kart-PC", "192.168.1.5"};
const LiveNames Nameless{"", ""};

const std::string Page = run().page;
const std::string Json = run().json;
const std::string Script = LiveScript;
const std::string Card = *run().card;
const std::string NotFound = "not found\n";
const std::string OnlyGetAndHead = "only GET and HEAD\n";
const std::string NotOurName = "this server answers only to its own names\n";
const std::string Busy = "too many connections, try again soon\n";
const char* const Missing = nullptr;

// The answers most rows expect, as shown().
const std::string PageKeep = "200 text/html; charset=utf-8 page keep";
const std::string OverlayKeep = "200 text/html; charset=utf-8 overlay keep";
const std::string NotFoundKeep = "404 text/plain; charset=utf-8 plain keep";
const std::string NotAllowedKeep = "405 text/plain; charset=utf-8 plain allow GET, HEAD keep";
const std::string Stranger = "421 text/plain; charset=utf-8 plain close";

// What an answer looks like in one line, so that a failing row shows all of it.
std::string shown(const LiveAnswer& a) {
    static const char* const Policies[] = {"page", "translated page", "overlay", "plain"};
    return std::to_string(a.status) + " " + std::string(a.type) + " " +
           Policies[static_cast<int>(a.policy)] + (a.allow.empty() ? "" : " allow ") +
           std::string(a.allow) + (a.retryAfter.empty() ? "" : " retry ") +
           std::string(a.retryAfter) + (a.keepAlive ? " keep" : " close") +
           (a.eventStream ? " stream" : "") + (a.head ? " head" : "");
}

TEST(LiveRoutes, EachRequestGetsItsAnswer) {
    const struct {
        const char* method;
        const char* target;
        const char* host; // Missing: no Host header
        bool keepAlive;
        bool withBody;
        size_t streams;
        std::string expected; // as shown()
        std::string sent;     // the body, or what its Content-Length counts
        const LiveNames* names = &Ours;
    } cases[] = {
        // The five addresses, and HEAD on each: the GET's answer, sent without its body.
        {"GET", "/", "localhost", true, false, 0, PageKeep, Page},
        {"HEAD", "/", "localhost", true, false, 0, "200 text/html; charset=utf-8 page keep head",
         Page},
        {"GET", "/ranking.json", "localhost:8080", true, false, 0,
         "200 application/json plain keep", Json},
        {"HEAD", "/ranking.json", "localhost", false, false, 0,
         "200 application/json plain close head", Json},
        {"GET", "/overlay", "127.0.0.1", true, false, 0, OverlayKeep, overlay(10)},
        {"HEAD", "/overlay?top=3", "127.0.0.1", true, false, 0,
         "200 text/html; charset=utf-8 overlay keep head", overlay(3)},
        {"GET", "/live.js", "localhost", true, false, 0,
         "200 text/javascript; charset=utf-8 plain keep", Script},
        {"GET", "/live.js?v=2", "localhost", true, false, 0,
         "200 text/javascript; charset=utf-8 plain keep", Script},
        {"GET", "/events", "localhost", true, false, 0, "200 text/event-stream plain close stream",
         ""},
        {"HEAD", "/events", "localhost", true, false, 31,
         "200 text/event-stream plain close stream head", ""},
        // The 33rd stream is told to come back, with or without a body.
        {"GET", "/events", "localhost", true, false, 32,
         "503 text/plain; charset=utf-8 plain retry 5 close", Busy},
        {"HEAD", "/events?x", "localhost", true, false, 40,
         "503 text/plain; charset=utf-8 plain retry 5 close head", Busy},
        // Other streams count only for /events.
        {"GET", "/", "localhost", true, false, 32, PageKeep, Page},
        // A query leaves the address as it is.
        {"GET", "/?x=1", "localhost", true, false, 0, PageKeep, Page},
        {"GET", "/ranking.json?y", "localhost", true, false, 0, "200 application/json plain keep",
         Json},
        // ?top=N: 1 to 100 rows, ten otherwise.
        {"GET", "/overlay?top=0", "localhost", true, false, 0, OverlayKeep, overlay(10)},
        {"GET", "/overlay?top=1", "localhost", true, false, 0, OverlayKeep, overlay(1)},
        {"GET", "/overlay?top=5", "localhost", true, false, 0, OverlayKeep, overlay(5)},
        {"GET", "/overlay?top=100", "localhost", true, false, 0, OverlayKeep, overlay(100)},
        {"GET", "/overlay?top=101", "localhost", true, false, 0, OverlayKeep, overlay(100)},
        {"GET", "/overlay?top=999", "localhost", true, false, 0, OverlayKeep, overlay(100)},
        {"GET", "/overlay?top=abc", "localhost", true, false, 0, OverlayKeep, overlay(10)},
        {"GET", "/overlay?top=x", "localhost", true, false, 0, OverlayKeep, overlay(10)},
        {"GET", "/overlay?top=-2", "localhost", true, false, 0, OverlayKeep, overlay(10)},
        {"GET", "/overlay?top=", "localhost", true, false, 0, OverlayKeep, overlay(10)},
        {"GET", "/overlay?a=1&top=2&top=7", "localhost", true, false, 0, OverlayKeep, overlay(2)},
        {"GET", "/overlay?top=abc&top=007", "localhost", true, false, 0, OverlayKeep, overlay(7)},
        {"GET", "/overlay?stop=3", "localhost", true, false, 0, OverlayKeep, overlay(10)},
        // No file from disk, no other address.
        {"GET", "/nope", "localhost", true, false, 0, NotFoundKeep, NotFound},
        {"HEAD", "/nope", "localhost", true, false, 0,
         "404 text/plain; charset=utf-8 plain keep head", NotFound},
        {"GET", "/../etc/passwd", "localhost", true, false, 0, NotFoundKeep, NotFound},
        {"GET", "/%2e%2e/", "localhost", true, false, 0, NotFoundKeep, NotFound},
        {"GET", "/ranking.txt", "localhost", true, false, 0, NotFoundKeep, NotFound},
        {"GET", "/index.html", "localhost", true, false, 0, NotFoundKeep, NotFound},
        {"GET", "/overlay/", "localhost", true, false, 0, NotFoundKeep, NotFound},
        {"GET", "/LIVE.JS", "localhost", true, false, 0, NotFoundKeep, NotFound},
        {"GET", "*", "localhost", true, false, 0, NotFoundKeep, NotFound},
        {"GET", "http://localhost/", "localhost", true, false, 0, NotFoundKeep, NotFound},
        // GET and HEAD only, as sent; before the Host is looked at. A request with a body ends its
        // connection.
        {"POST", "/", "localhost", true, true, 0,
         "405 text/plain; charset=utf-8 plain allow GET, HEAD close", OnlyGetAndHead},
        {"PUT", "/ranking.json", "localhost", true, false, 0, NotAllowedKeep, OnlyGetAndHead},
        {"DELETE", "/", "localhost", false, false, 0,
         "405 text/plain; charset=utf-8 plain allow GET, HEAD close", OnlyGetAndHead},
        {"get", "/", "localhost", true, false, 0, NotAllowedKeep, OnlyGetAndHead},
        {"OPTIONS", "*", "localhost", true, false, 0, NotAllowedKeep, OnlyGetAndHead},
        {"GET", "/card.png", "localhost", true, false, 0, "200 image/png plain keep", Card},
        {"HEAD", "/card.png?v=2", "localhost", true, false, 0, "200 image/png plain keep head",
         Card},
        {"BREW", "/events", "evil.example", true, false, 32, NotAllowedKeep, OnlyGetAndHead},
        {"", "/", "localhost", true, false, 0, NotAllowedKeep, OnlyGetAndHead},
        // A body, or a client that will not keep the connection, ends it after any answer.
        {"GET", "/", "localhost", true, true, 0, "200 text/html; charset=utf-8 page close", Page},
        {"GET", "/nope", "localhost", false, false, 0, "404 text/plain; charset=utf-8 plain close",
         NotFound},
        // Hosts that name this machine: localhost, loopback, its name (any case, also NAME.local),
        // the address the connection came in on.
        {"GET", "/", "LOCALHOST", true, false, 0, PageKeep, Page},
        {"GET", "/", "127.0.0.1:8080", true, false, 0, PageKeep, Page},
        {"GET", "/", "127.1.2.3", true, false, 0, PageKeep, Page},
        {"GET", "/", "[::1]", true, false, 0, PageKeep, Page},
        {"GET", "/", "[::1]:80", true, false, 0, PageKeep, Page},
        {"GET", "/", "[::ffff:127.0.0.1]:8080", true, false, 0, PageKeep, Page},
        {"GET", "/", "kart-pc", true, false, 0, PageKeep, Page},
        {"GET", "/", "KART-PC:8080", true, false, 0, PageKeep, Page},
        {"GET", "/", "kart-pc.local:8080", true, false, 0, PageKeep, Page},
        {"GET", "/", "192.168.1.5:8080", true, false, 0, PageKeep, Page},
        {"GET", "/", "[::ffff:192.168.1.5]", true, false, 0, PageKeep, Page},
        // Any other name or address is a stranger's (DNS rebinding), and ends the connection.
        {"GET", "/", "evil.example", true, false, 0, Stranger, NotOurName},
        {"GET", "/", "evil.example:8080", true, false, 0, Stranger, NotOurName},
        {"HEAD", "/", "evil.example", true, false, 0,
         "421 text/plain; charset=utf-8 plain close head", NotOurName},
        {"GET", "/", "10.11.12.13", true, false, 0, Stranger, NotOurName},
        {"GET", "/", "192.168.1.6", true, false, 0, Stranger, NotOurName},
        {"GET", "/", "kart-pc.lan", true, false, 0, Stranger, NotOurName},
        {"GET", "/", "kart-pc.local.evil.example", true, false, 0, Stranger, NotOurName},
        {"GET", "/", "localhost.evil.example", true, false, 0, Stranger, NotOurName},
        {"GET", "/", "127.0.0.1.evil.example", true, false, 0, Stranger, NotOurName},
        // Without brackets, an IPv6 Host ends at its last colon: "::ffff" is no loopback.
        {"GET", "/", "::ffff:127.0.0.1", true, false, 0, Stranger, NotOurName},
        {"GET", "/", "[::1", true, false, 0, Stranger, NotOurName},
        {"GET", "/", "", true, false, 0, Stranger, NotOurName},
        {"GET", "/nope", Missing, true, false, 0, Stranger, NotOurName},
        {"GET", "/events", Missing, true, false, 0, Stranger, NotOurName},
        // A machine whose name is unknown answers to no empty name, and to no address it cannot
        // tell.
        {"GET", "/", ":8080", true, false, 0, Stranger, NotOurName, &Nameless},
        {"GET", "/", ".local", true, false, 0, Stranger, NotOurName, &Nameless},
        {"GET", "/", "192.168.1.5", true, false, 0, Stranger, NotOurName, &Nameless},
        {"GET", "/", "localhost", true, false, 0, PageKeep, Page, &Nameless},
    };
    for (const auto& c : cases) {
        LiveRequest request;
        request.method = c.method;
        request.target = c.target;
        if (c.host != Missing) {
            request.host = c.host;
        }
        request.keepAlive = c.keepAlive;
        request.body = c.withBody;
        SCOPED_TRACE(std::string(c.method) + " " + c.target +
                     " Host: " + (c.host != Missing ? c.host : "(none)"));
        const LiveAnswer answer = routeRequest(request, run(), *c.names, c.streams);
        EXPECT_EQ(shown(answer), c.expected);
        EXPECT_EQ(answer.body(), c.sent);
    }
}

TEST(LiveRoutes, ThePageAndTheJsonGoOutFromTheContentItselfAndTheOverlayHasAFewRowsAtMost) {
    LiveRequest request;
    request.method = "GET";
    request.host = "localhost";
    request.target = "/";
    EXPECT_EQ(routeRequest(request, run(), Ours, 0).body().data(), run().page.data());
    request.target = "/ranking.json";
    EXPECT_EQ(routeRequest(request, run(), Ours, 0).body().data(), run().json.data());

    LiveContent few = run();
    few.overlayRows.resize(3);
    for (const char* target : {"/overlay", "/overlay?top=2", "/overlay?top=100"}) {
        SCOPED_TRACE(target);
        request.target = target;
        const size_t rows = std::string(target).find("top=2") != std::string::npos ? 2 : 3;
        std::string expected = few.overlayHead;
        for (size_t i = 0; i < rows; ++i) {
            expected += few.overlayRows[i];
        }
        EXPECT_EQ(routeRequest(request, few, Ours, 0).body(), expected + few.overlayTail);
    }
    // An answer that assembled its body keeps it when moved.
    request.target = "/overlay?top=1";
    LiveAnswer moved = routeRequest(request, run(), Ours, 0);
    const LiveAnswer kept = std::move(moved);
    EXPECT_EQ(kept.body(), overlay(1));
}

TEST(LiveRoutes, TheAnswersOfTheTransportAndThePolicies) {
    const struct {
        LiveAnswer answer;
        const char* expected;
        const char* body;
    } cases[] = {
        {tooBusy(), "503 text/plain; charset=utf-8 plain retry 5 close",
         "too many connections, try again soon\n"},
        {headTooLarge(), "431 text/plain; charset=utf-8 plain close", "request head too large\n"},
        {badRequest(), "400 text/plain; charset=utf-8 plain close", "bad request\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(shown(c.answer), c.expected);
        EXPECT_EQ(c.answer.body(), c.body);
    }
    // Each page may use its own style (by its hash: one off blocks it) and script, nothing
    // else; only the overlay may be framed, by a streaming program's browser source.
    const std::string page = policyText(LivePolicy::Page);
    const std::string overlayPolicy = policyText(LivePolicy::Overlay);
    EXPECT_NE(page.find("style-src " + cspHashSource(htmlPageStyle()) + ";"), std::string::npos);
    // Every other language's page has the same style, with a little more for longer words.
    EXPECT_NE(policyText(LivePolicy::TranslatedPage)
                  .find("style-src " + cspHashSource(htmlPageStyle("fi")) + ";"),
              std::string::npos);
    EXPECT_NE(htmlPageStyle("fi"), htmlPageStyle("en"));
    EXPECT_NE(overlayPolicy.find("style-src " + cspHashSource(overlayStyle()) + ";"),
              std::string::npos);
    for (LivePolicy policy :
         {LivePolicy::Page, LivePolicy::TranslatedPage, LivePolicy::Overlay, LivePolicy::Plain}) {
        const std::string& text = policyText(policy);
        SCOPED_TRACE(text);
        EXPECT_EQ(text.rfind("default-src 'none'; ", 0), 0U);
        EXPECT_EQ(text.find("unsafe"), std::string::npos);
        EXPECT_EQ(text.find("frame-ancestors 'none'") != std::string::npos,
                  policy != LivePolicy::Overlay);
    }
}

// The inline style elements of `html`, in order.
std::vector<std::string> stylesOf(std::string_view html) {
    std::vector<std::string> styles;
    for (size_t at = html.find("<style>"); at != std::string_view::npos;
         at = html.find("<style>", at)) {
        at += 7;
        const size_t end = html.find("</style>", at);
        styles.emplace_back(html.substr(at, end - at));
    }
    return styles;
}

// The live script replaces only the body: a page or overlay first served before any
// participant file must already carry the style of a run's, and its policy must allow it.
TEST(LiveRoutes, TheWaitingPageAndOverlayCarryARunsStyleWhichTheirPolicyAllows) {
    std::vector<ParticipantRecord> participants;
    for (const char* code : {"AA", "BB"}) {
        kvrtest::ParticipantFileBuilder file;
        file.code(code)
            .name(std::string("Driver ") + code)
            .stage(0, 0, 0, code[0] == 'A' ? 900 : 1000);
        participants.push_back(file.record());
    }
    RankingModel model =
        computeRankingModel(participants.data(), 2, {}, ReportTime{2026, 12, 7, 21, 14, 3});
    for (const char* language : {"en", "pl"}) {
        SCOPED_TRACE(language);
        model.league.language = language;
        const RunResults results(model);
        LiveContent ran;
        ran.run = 3;
        ran.language = language; // as the board's destination sets it
        LivePageParts parts;
        parts.run = 3;
        parts.changedAt = "21:14:03";
        StringSink page;
        renderHtml(results, page, &parts);
        ran.page = page.take();
        OverlayParts overlay = renderOverlay(results, 3, MostOverlayRows);
        ran.overlayHead = overlay.head;
        ran.overlayRows = overlay.rows;
        ran.overlayTail = overlay.tail;
        const std::shared_ptr<const LiveContent> waiting = waitingContent(language);

        LiveRequest request;
        request.method = "GET";
        request.host = "localhost";
        for (const char* target : {"/", "/overlay"}) {
            request.target = target;
            const LiveAnswer before = routeRequest(request, *waiting, Ours, 0);
            const LiveAnswer after = routeRequest(request, ran, Ours, 0);
            for (const LiveAnswer* answer : {&before, &after}) {
                SCOPED_TRACE(std::string(target) + (answer == &before ? " waiting" : " run 3"));
                const std::vector<std::string> styles = stylesOf(answer->body());
                ASSERT_EQ(styles.size(), 1U);
                const std::string& policy = policyText(answer->policy);
                const size_t styleSources = policy.find("style-src ");
                EXPECT_LT(styleSources, policy.find(cspHashSource(styles[0])));
                EXPECT_LT(policy.find(cspHashSource(styles[0])), policy.find(';', styleSources));
                // A style attribute would be refused by the policy.
                EXPECT_EQ(answer->body().find(" style="), std::string_view::npos);
                EXPECT_NE(answer->body().find("<script src=\"/live.js\" defer></script>"),
                          std::string_view::npos);
            }
            EXPECT_EQ(stylesOf(before.body()), stylesOf(after.body())) << target;
            EXPECT_EQ(before.policy, after.policy) << target;
        }
        EXPECT_NE(waiting->page.find(std::string("<html lang=\"") + language + "\">"),
                  std::string::npos);
        EXPECT_NE(waiting->overlayHead.find(std::string("<html lang=\"") + language + "\">"),
                  std::string::npos);
        // The note the script puts in the live line when the board stops, in the board's
        // language: before the first run, after run 3; and the overlay's word.
        const auto note = [](std::string_view html) {
            const size_t at = html.find(" data-offline=\"");
            const size_t from = at == std::string_view::npos ? html.size() : at + 15;
            return std::string(html.substr(from, html.find('"', from) - from));
        };
        const bool polish = language == std::string("pl");
        EXPECT_EQ(note(waiting->page),
                  polish ? "Offline od {time}: tablica zatrzyma\u0142a si\u0119 przed pierwszym "
                           "plikiem uczestnika."
                         : "Offline since {time}: the board stopped before the first participant "
                           "file.");
        EXPECT_EQ(note(ran.page),
                  polish ? "Offline od {time}: poni\u017Csze wyniki to ostatnie wys\u0142ane przez "
                           "tablic\u0119, zmienione o 21:14:03 (przebieg 3)."
                         : "Offline since {time}: the results below are the last the board sent, "
                           "changed at 21:14:03 (run 3).");
        EXPECT_EQ(note(ran.overlayHead), "offline");
    }
    // The waiting page's live line is where a run's is, for the script to mark it offline.
    const std::shared_ptr<const LiveContent> waiting = waitingContent();
    {
        // No card before the first run: a plain answer that says why.
        LiveRequest request;
        request.method = "GET";
        request.host = "localhost";
        request.target = "/card.png";
        const LiveAnswer before = routeRequest(request, *waiting, Ours, 0);
        EXPECT_EQ(shown(before), NotFoundKeep.substr(0, NotFoundKeep.size() - 5) + " close");
        EXPECT_EQ(before.body(), "no card yet: no participant file has been imported\n");
    }
    EXPECT_NE(waiting->page.find("<div id=\"live\" data-run=\"0\" "
                                 "data-offline=\"Offline since {time}: the board stopped "
                                 "before the first participant file.\" role=\"status\">\n<p "
                                 "class=\"when\">Live: waiting for the "
                                 "first participant file in kvr/.</p>"),
              std::string::npos);
    EXPECT_NE(
        waiting->overlayHead.find("<main id=\"overlay\" data-run=\"0\" data-offline=\"offline\">"),
        std::string::npos);
    EXPECT_TRUE(waiting->overlayRows.empty());
}

} // namespace
