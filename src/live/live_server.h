// The live board's web server: hands out, from memory, what the watch last published. Its
// threads never touch a model; each run publishes one immutable LiveContent.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kvr {

// Everything the server hands out for one run.
struct LiveContent {
    uint64_t run = 0;
    std::string page; // the page with its live parts
    std::string json; // the --json document
    std::string overlayHead;
    std::vector<std::string> overlayRows; // one standing each
    std::string overlayTail;
};

// Where to serve: "[ADDRESS:]PORT" as given, and whether the network may reach it.
struct ServeAddress {
    std::string host; // empty: 127.0.0.1, or every interface with `lan`
    uint16_t port = 0;
    bool lan = false;
};

// Reads "[ADDRESS:]PORT" ("8080", "127.0.0.1:8080", "[::1]:8080"). False with the reason.
// An address that is not a loopback one needs `lan`.
bool parseServeAddress(const std::string& text, bool lan, ServeAddress& address,
                       std::string& error);

class LiveServer {
  public:
    // A request head must arrive within `headTimeout` of the connection or the last answer.
    explicit LiveServer(std::chrono::milliseconds headTimeout = std::chrono::seconds(10));
    ~LiveServer(); // stops it
    LiveServer(const LiveServer&) = delete;
    LiveServer& operator=(const LiveServer&) = delete;

    // Binds and serves on a thread of its own. False, with the reason, when it cannot bind.
    bool start(const ServeAddress& address, std::string& error);
    // The address to open, "http://127.0.0.1:8080/".
    std::string url() const;
    // Hands out `content` from now on, and tells every event stream.
    void publish(std::shared_ptr<const LiveContent> content);
    // Closes every connection and the listener; waits for its thread.
    void stop();

    struct Impl; // the server's state, seen only by its source

  private:
    std::unique_ptr<Impl> impl_;
};

} // namespace kvr
