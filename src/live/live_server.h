// The live board's web server: hands out, from memory, what the watch last published. Its
// threads never touch a model; each run publishes one immutable LiveContent.
#pragma once

#include "live/live_content.h"
#include "live/serve_address.h"

#include <chrono>
#include <memory>
#include <string>

namespace kvr {

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
