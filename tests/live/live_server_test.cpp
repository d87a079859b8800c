// The live board's server as a stranger meets it: every request over a real loopback socket.
// Which request gets which answer is live_routes_test.cpp's; here, that the answers reach the
// wire whole, with the headers every answer has, and the limits on connections and heads.
#include "live/live_server.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/ip/host_name.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/write.hpp>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

namespace {

using namespace kvr;
namespace net = boost::asio;
using tcp = net::ip::tcp;
using namespace std::chrono_literals;

std::shared_ptr<const LiveContent> content(uint64_t run) {
    auto made = std::make_shared<LiveContent>();
    made->run = run;
    made->page = "<!DOCTYPE html><title>page " + std::to_string(run) + "</title>";
    made->json = "{\"run\":" + std::to_string(run) + "}";
    made->overlayHead = "<head>";
    made->overlayRows = {"<1>", "<2>", "<3>"};
    made->overlayTail = "</tail>";
    return made;
}

struct Server {
    LiveServer server;
    uint16_t port = 0;

    explicit Server(std::chrono::milliseconds headTimeout = 10s) : server(headTimeout) {
        server.publish(content(1));
        ServeAddress address;
        std::string error;
        EXPECT_TRUE(server.start(address, error)) << error;
        const std::string url = server.url();
        port = static_cast<uint16_t>(std::stoi(url.substr(url.rfind(':') + 1)));
    }
};

// A connection of the test's own: sends, and reads what comes within a time.
struct Client {
    net::io_context ioc;
    tcp::socket socket{ioc};
    std::string received;
    bool closed = false;

    explicit Client(uint16_t port) { socket.connect({net::ip::make_address("127.0.0.1"), port}); }

    // A server may answer and close before the whole request is written (a head too large):
    // a failed write is no failure here, the answer is read after it.
    void send(const std::string& text) {
        boost::system::error_code ignored;
        net::write(socket, net::buffer(text), ignored);
    }

    // Reads until the server closes, `enough` holds, or `limit` passes.
    const std::string& read(std::chrono::milliseconds limit,
                            std::function<bool(const std::string&)> enough = nullptr) {
        char buffer[16384];
        std::function<void()> more = [&] {
            socket.async_read_some(net::buffer(buffer),
                                   [&](boost::system::error_code ec, size_t n) {
                                       received.append(buffer, n);
                                       if (ec) {
                                           closed = true;
                                           ioc.stop();
                                       } else if (enough && enough(received)) {
                                           ioc.stop();
                                       } else {
                                           more();
                                       }
                                   });
        };
        more();
        ioc.restart();
        ioc.run_for(limit);
        return received;
    }
};

int statusOf(const std::string& reply) {
    return reply.size() > 12 && reply.compare(0, 9, "HTTP/1.1 ") == 0
               ? std::stoi(reply.substr(9, 3))
               : 0;
}

std::string headerOf(const std::string& reply, const std::string& name) {
    const size_t at = reply.find("\r\n" + name + ": ");
    if (at == std::string::npos || at > reply.find("\r\n\r\n")) {
        return "(none)";
    }
    const size_t from = at + name.size() + 4;
    return reply.substr(from, reply.find("\r\n", from) - from);
}

std::string bodyOf(const std::string& reply) {
    const size_t end = reply.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : reply.substr(end + 4);
}

std::string get(const std::string& target, const std::string& host = "127.0.0.1") {
    return "GET " + target + " HTTP/1.1\r\nHost: " + host + "\r\nConnection: close\r\n\r\n";
}

TEST(LiveServer, AnswersOnlyItsRoutesToItsOwnNamesWithTheStatusEachRequestEarns) {
    Server s;
    const std::string big(64 * 1024, 'x');
    const struct {
        std::string request;
        int status;
        const char* header;
        const char* value;
        const char* body;
    } cases[] = {
        {get("/"), 200, "Content-Type", "text/html; charset=utf-8", "<!DOCTYPE html><title>page 1"},
        {get("/ranking.json", "localhost:8080"), 200, "Content-Type", "application/json",
         "{\"run\":1}"},
        {get("/overlay?top=2"), 200, nullptr, nullptr, "<head><1><2></tail>"},
        {get("/live.js"), 200, "Content-Type", "text/javascript; charset=utf-8", nullptr},
        {get("/", "[::1]:80"), 200, "X-Content-Type-Options", "nosniff", nullptr},
        {get("/", "LOCALHOST"), 200, "Referrer-Policy", "no-referrer", nullptr},
        // This machine's own name, and its name on the local network.
        {get("/ranking.json", net::ip::host_name()), 200, nullptr, nullptr, nullptr},
        {get("/ranking.json", net::ip::host_name() + ".local:8080"), 200, nullptr, nullptr,
         nullptr},
        {"POST / HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 3\r\n\r\nabc", 405, "Allow",
         "GET, HEAD", nullptr},
        {get("/../etc/passwd"), 404, "Cache-Control", "no-store", nullptr},
        {get("/", "evil.example"), 421, nullptr, nullptr, nullptr},
        {"GET / HTTP/1.1\r\nConnection: close\r\n\r\n", 421, nullptr, nullptr, nullptr},
        {"GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Big: " + big + "\r\n\r\n", 431, nullptr, nullptr,
         nullptr},
        {"HELLO\r\n\r\n", 400, nullptr, nullptr, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.request.substr(0, 60));
        Client client(s.port);
        client.send(c.request);
        const std::string& reply = client.read(5s);
        EXPECT_EQ(statusOf(reply), c.status) << reply.substr(0, 200);
        EXPECT_TRUE(client.closed) << "the connection is closed after a request that says so";
        if (c.header != nullptr) {
            EXPECT_EQ(headerOf(reply, c.header), c.value);
        }
        if (c.body != nullptr) {
            EXPECT_EQ(bodyOf(reply).substr(0, std::string(c.body).size()), c.body);
        }
        // Every answer's policy allows nothing unsafe; the page's only its own script and style.
        if (c.status == 200) {
            const std::string policy = headerOf(reply, "Content-Security-Policy");
            EXPECT_NE(policy.find("default-src 'none'"), std::string::npos) << policy;
            EXPECT_EQ(policy.find("unsafe"), std::string::npos) << policy;
            if (c.request.rfind("GET / ", 0) == 0) {
                EXPECT_NE(policy.find("script-src 'self'"), std::string::npos) << policy;
                EXPECT_NE(policy.find("style-src 'sha256-"), std::string::npos) << policy;
            }
        }
    }
}

std::string headOf(const std::string& reply) {
    return reply.substr(0, reply.find("\r\n\r\n") + 4);
}

TEST(LiveServer, HeadAnswersWithTheHeadersOfGetAndNoBody) {
    Server s;
    for (const char* target : {"/", "/ranking.json", "/overlay", "/overlay?top=2"}) {
        SCOPED_TRACE(target);
        Client get(s.port);
        get.send("GET " + std::string(target) +
                 " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
        const std::string& full = get.read(5s);
        Client head(s.port);
        head.send("HEAD " + std::string(target) +
                  " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
        const std::string& bare = head.read(5s);
        ASSERT_EQ(statusOf(full), 200);
        EXPECT_EQ(headerOf(full, "Content-Length"), std::to_string(bodyOf(full).size()));
        EXPECT_NE(bodyOf(full), "");
        EXPECT_EQ(headOf(bare), headOf(full));
        EXPECT_EQ(bodyOf(bare), "");
        EXPECT_TRUE(head.closed);
    }
    // On a kept connection, the next answer follows the bodiless one at once.
    Client kept(s.port);
    kept.send("HEAD / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n" + get("/ranking.json"));
    const std::string& both = kept.read(5s);
    const std::string second = both.substr(headOf(both).size());
    EXPECT_EQ(statusOf(second), 200) << both;
    EXPECT_EQ(bodyOf(second), "{\"run\":1}");
}

TEST(LiveServer, AtSixtyFourConnectionsTheOneThatWaitedLongestGivesWay) {
    Server s;
    // 64 connections that send nothing, each accepted before the next.
    std::vector<std::unique_ptr<Client>> idle;
    for (int i = 0; i < 64; ++i) {
        idle.push_back(std::make_unique<Client>(s.port));
        std::this_thread::sleep_for(5ms);
    }
    std::this_thread::sleep_for(200ms);
    const auto stillOpen = [](Client& client) {
        client.read(30ms);
        return !client.closed;
    };
    for (int newer = 0; newer < 2; ++newer) {
        SCOPED_TRACE(newer);
        // A 65th (and a 66th) is answered, and stays open for its next request.
        auto more = std::make_unique<Client>(s.port);
        more->send("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
        more->read(5s, [](const std::string& got) { return got.find("</title>") != got.npos; });
        EXPECT_EQ(statusOf(more->received), 200);
        EXPECT_FALSE(more->closed);
        // The oldest idle one was closed without a word; every other one is open.
        idle[0]->read(2s);
        EXPECT_TRUE(idle[0]->closed);
        EXPECT_EQ(idle[0]->received, "");
        idle.erase(idle.begin());
        size_t open = 0;
        for (auto& client : idle) {
            open += stillOpen(*client);
        }
        EXPECT_EQ(open, 63U);
        // The one just answered waits now too, as the newest.
        idle.push_back(std::move(more));
    }
}

TEST(LiveServer, KeepsAnsweringWhileStrangersHoldConnectionsOrSendAHeadByteByByte) {
    Server s(1500ms);
    // A head sent one byte at a time is cut off when its time is up.
    Client slow(s.port);
    const std::string head = get("/");
    std::thread dribble([&] {
        for (size_t i = 0; i < head.size() && i < 6; ++i) {
            boost::system::error_code ec;
            net::write(slow.socket, net::buffer(&head[i], 1), ec);
            std::this_thread::sleep_for(400ms);
        }
    });
    // 100 connections that send nothing.
    std::vector<std::unique_ptr<Client>> idle;
    for (int i = 0; i < 100; ++i) {
        idle.push_back(std::make_unique<Client>(s.port));
    }
    for (int round = 0; round < 3; ++round) {
        Client normal(s.port);
        normal.send(get("/"));
        EXPECT_EQ(statusOf(normal.read(5s)), 200) << "round " << round;
        std::this_thread::sleep_for(300ms);
    }
    dribble.join();
    slow.read(3s);
    EXPECT_TRUE(slow.closed);
    EXPECT_EQ(slow.received.find("200 OK"), std::string::npos);
}

// A client still writing its request when the server refuses it reads the refusal, not a
// reset: the server stops sending and drops the rest of the request before it closes, for a
// second at most.
TEST(LiveServer, AClientStillWritingARefusedRequestReadsTheAnswer) {
    Server s;
    const struct {
        const char* what;
        std::string head;
        int status;
    } cases[] = {
        {"a head too large",
         "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Pad: " + std::string(20 * 1024, 'x') + "\r\n\r\n",
         431},
        {"a bad head",
         "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nno colon here\r\nX-Pad: " +
             std::string(20 * 1024, 'x') + "\r\n\r\n",
         400},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Client client(s.port);
        // 1 KiB every 20 ms: the refusal comes while most of the head is still to be sent, and
        // the rest goes out without a reset.
        boost::system::error_code sent;
        for (size_t at = 0; at < c.head.size() && !sent; at += 1024) {
            net::write(client.socket, net::buffer(c.head.substr(at, 1024)), sent);
            std::this_thread::sleep_for(20ms);
        }
        EXPECT_FALSE(sent) << sent.message();
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(statusOf(client.read(5s)), c.status) << client.received;
        EXPECT_TRUE(client.closed);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    }
    // One that never stops sending is closed after 64 KiB or a second.
    Client endless(s.port);
    endless.send("GET / HTTP/1.1\r\nX-Pad: " + std::string(16 * 1024, 'x'));
    const auto start = std::chrono::steady_clock::now();
    boost::system::error_code ec;
    while (!ec && std::chrono::steady_clock::now() - start < 5s) {
        net::write(endless.socket, net::buffer(std::string(4096, 'y')), ec);
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_TRUE(ec) << "still open after 5 s";
}

// A page that comes back to a board started anew must learn at once which run the board has,
// even before its first: so every stream starts with the current run, 0 included.
TEST(LiveServer, AStreamStartsWithTheBoardsRunEvenBeforeTheFirst) {
    Server s;
    s.server.publish(content(0));
    Client stream(s.port);
    stream.send("GET /events HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    stream.read(5s, [](const std::string& got) {
        return got.find("\n\n", got.find("data: ")) != std::string::npos;
    });
    EXPECT_NE(stream.received.find("id: 0\ndata: 0\n\n"), std::string::npos) << stream.received;
    s.server.publish(content(1));
    stream.read(
        5s, [](const std::string& got) { return got.find("data: 1\n\n") != std::string::npos; });
    EXPECT_NE(stream.received.find("id: 1\ndata: 1\n\n"), std::string::npos);
    EXPECT_EQ(stream.received.find("data: 0\n\n"), stream.received.rfind("data: 0\n\n"));
}

TEST(LiveServer, EventStreamsTellEachRunAndTheThirtyThirdIsToldToComeBack) {
    Server s;
    std::vector<std::unique_ptr<Client>> streams;
    for (int i = 0; i < 32; ++i) {
        streams.push_back(std::make_unique<Client>(s.port));
        streams.back()->send("GET /events HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
        streams.back()->read(5s, [](const std::string& got) {
            return got.find("data: 1\n\n") != std::string::npos;
        });
        ASSERT_NE(streams.back()->received.find("data: 1\n\n"), std::string::npos) << i;
    }
    EXPECT_EQ(headerOf(streams[0]->received, "Content-Type"), "text/event-stream");
    EXPECT_EQ(headerOf(streams[0]->received, "Transfer-Encoding"), "chunked");

    Client refused(s.port);
    refused.send(get("/events"));
    const std::string& reply = refused.read(5s);
    EXPECT_EQ(statusOf(reply), 503);
    EXPECT_EQ(headerOf(reply, "Retry-After"), "5");

    s.server.publish(content(2));
    for (auto& stream : streams) {
        stream->read(5s, [](const std::string& got) {
            return got.find("data: 2\n\n") != std::string::npos;
        });
        EXPECT_NE(stream->received.find("data: 2\n\n"), std::string::npos);
    }
    // A stream that goes away frees its place.
    streams.pop_back();
    std::this_thread::sleep_for(200ms);
    Client again(s.port);
    again.send("GET /events HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    again.read(5s, [](const std::string& got) { return got.find("data: 2") != std::string::npos; });
    EXPECT_EQ(statusOf(again.received), 200);
}

TEST(LiveServer, UnderABoundedLoadEveryRequestIsAnsweredWhole) {
    Server s;
    auto big = std::make_shared<LiveContent>(*content(2));
    big->json = "[" + std::string(300 * 1024, '7') + "]";
    s.server.publish(big);
    std::vector<std::unique_ptr<Client>> streams;
    for (int i = 0; i < 32; ++i) {
        streams.push_back(std::make_unique<Client>(s.port));
        streams.back()->send("GET /events HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    }
    const auto start = std::chrono::steady_clock::now();
    std::atomic<int> whole{0};
    std::vector<std::thread> clients;
    for (int t = 0; t < 4; ++t) {
        clients.emplace_back([&] {
            for (int i = 0; i < 500; ++i) {
                Client client(s.port);
                client.send(get("/ranking.json"));
                const std::string& reply = client.read(5s);
                whole += statusOf(reply) == 200 && bodyOf(reply) == big->json;
            }
        });
    }
    for (std::thread& t : clients) {
        t.join();
    }
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(whole.load(), 2000);
    EXPECT_LT(took, 10s);
    // The streams are still there, and still told.
    s.server.publish(content(3));
    for (auto& stream : streams) {
        stream->read(5s, [](const std::string& got) {
            return got.find("data: 3\n\n") != std::string::npos;
        });
        EXPECT_NE(stream->received.find("data: 3\n\n"), std::string::npos);
    }
}

} // namespace
