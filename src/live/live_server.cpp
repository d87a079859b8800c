// The live board's transport, and the one source that includes Boost.Beast: connections,
// request heads, limits and event streams. What each request gets is live_routes.cpp's.
#include "live/live_server.h"

#include "live/live_routes.h"

#include <boost/asio/dispatch.hpp>
#include <boost/asio/ip/host_name.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <mutex>
#include <optional>
#include <thread>

namespace kvr {

namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;
using tcp = net::ip::tcp;

namespace {

constexpr size_t HeadLimit = 8 * 1024;
constexpr size_t ConnectionLimit = 64;
constexpr auto KeepOpenEvery = std::chrono::seconds(15);
// After an error answer, how long and how much of the rest of the request is read and dropped
// before the connection closes.
constexpr auto LingerFor = std::chrono::seconds(1);
constexpr size_t LingerBytes = 64 * 1024;

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

} // namespace

class Session;

struct LiveServer::Impl {
    // Sessions unregister themselves when destroyed, which the io_context's end may do: the
    // list outlives it.
    std::vector<Session*> sessions;
    std::mutex mutex; // guards `content`
    std::shared_ptr<const LiveContent> content;
    std::string hostName;
    std::string url;
    std::chrono::milliseconds headTimeout;
    net::io_context ioc{1};
    tcp::acceptor acceptor{ioc};
    std::thread thread;

    std::shared_ptr<const LiveContent> current() {
        std::lock_guard<std::mutex> lock(mutex);
        return content;
    }
    void accept();
    void admit(tcp::socket socket);
    size_t streams() const;
};

namespace {

using AnswerBody = http::span_body<char const>;

// The headers every answer has.
template <typename Body> void secure(http::response<Body>& response, LivePolicy policy) {
    response.set("Content-Security-Policy", policyText(policy));
    response.set("X-Content-Type-Options", "nosniff");
    response.set("Referrer-Policy", "no-referrer");
    response.set(http::field::cache_control, "no-store");
}

// `answer` as a response; its body is a view of the answer's, which must outlive it.
http::response<AnswerBody> responseOf(const LiveAnswer& answer) {
    http::response<AnswerBody> response(static_cast<http::status>(answer.status), 11);
    response.set(http::field::content_type, answer.type);
    secure(response, answer.policy);
    if (!answer.allow.empty()) {
        response.set(http::field::allow, answer.allow);
    }
    if (!answer.retryAfter.empty()) {
        response.set(http::field::retry_after, answer.retryAfter);
    }
    response.keep_alive(answer.keepAlive);
    const std::string_view body = answer.body();
    if (!answer.head) {
        response.body() = AnswerBody::value_type(body.data(), body.size());
    }
    response.content_length(body.size());
    return response;
}

} // namespace

// One connection: requests one after the other, or one event stream.
class Session : public std::enable_shared_from_this<Session> {
  public:
    Session(LiveServer::Impl& server, tcp::socket socket)
        : server_(server), stream_(std::move(socket)), timer_(stream_.get_executor()) {
        server_.sessions.push_back(this);
    }
    ~Session() {
        auto& all = server_.sessions;
        all.erase(std::remove(all.begin(), all.end(), this), all.end());
    }

    void start() {
        net::dispatch(stream_.get_executor(), [self = shared_from_this()] { self->readHead(); });
    }

    // Waiting for a request head: the first to give way to a new connection.
    bool waiting() const { return waiting_ && !closed_; }
    bool counted() const { return !closed_; }
    bool streaming() const { return streaming_ && !closed_; }
    std::chrono::steady_clock::time_point waitingSince() const { return since_; }

    void close() {
        if (closed_) {
            return;
        }
        closed_ = true;
        timer_.cancel();
        beast::error_code ignored;
        stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
        stream_.socket().close(ignored);
    }

    // A new run: a stream tells it when its last event is out.
    void tellRun() {
        if (streaming_ && !writing_) {
            sendEvents();
        }
    }

  private:
    void readHead() {
        waiting_ = true;
        since_ = std::chrono::steady_clock::now();
        parser_.emplace();
        parser_->header_limit(HeadLimit);
        stream_.expires_after(server_.headTimeout);
        http::async_read_header(
            stream_, buffer_, *parser_,
            [self = shared_from_this()](beast::error_code ec, size_t) { self->onHead(ec); });
    }

    void onHead(beast::error_code ec) {
        waiting_ = false;
        if (closed_) {
            return;
        }
        if (ec == http::error::header_limit) {
            return refuse(headTooLarge());
        }
        if (ec) {
            if (ec != beast::error::timeout && ec != http::error::end_of_stream &&
                ec != net::error::operation_aborted && ec != net::error::connection_reset &&
                ec != net::error::eof && buffer_.size() > 0) {
                return refuse(badRequest());
            }
            return close();
        }
        handle(parser_->get());
    }

    void handle(const http::request<http::empty_body>& request) {
        LiveRequest asked;
        asked.method = request.method_string();
        asked.target = request.target();
        if (const auto host = request.find(http::field::host); host != request.end()) {
            asked.host = host->value();
        }
        asked.keepAlive = request.keep_alive();
        asked.body =
            parser_->chunked() || (parser_->content_length() && *parser_->content_length() != 0);
        LiveNames names;
        names.hostName = server_.hostName;
        beast::error_code ec;
        const net::ip::address local = stream_.socket().local_endpoint(ec).address();
        if (!ec) {
            names.localAddress = local.to_string();
        }
        std::shared_ptr<const LiveContent> content = server_.current();
        LiveAnswer routed = routeRequest(asked, *content, names, server_.streams());
        head_ = routed.head;
        if (routed.eventStream) {
            return startStream(routed);
        }
        answer(std::move(routed), std::move(content));
    }

    // A head that cannot be read. After a HEAD on this connection, the answer goes without its
    // body too.
    void refuse(LiveAnswer given) {
        given.head = head_;
        answer(std::move(given), nullptr, true);
    }

    // Sends `given`, whose body views `content` (or text that lives for good, or its own): a
    // run's page and JSON go out from the published content itself, never copied.
    // A refusal lingers before it closes: the request may not have been read to its end.
    void answer(LiveAnswer given, std::shared_ptr<const LiveContent> content,
                bool refusal = false) {
        auto routed = std::make_shared<const LiveAnswer>(std::move(given));
        auto response = std::make_shared<http::response<AnswerBody>>(responseOf(*routed));
        stream_.expires_after(server_.headTimeout);
        http::async_write(stream_, *response,
                          [self = shared_from_this(), response, routed, content,
                           refusal](beast::error_code ec, size_t) {
                              if (!ec && refusal) {
                                  return self->lingerThenClose();
                              }
                              if (ec || !response->keep_alive()) {
                                  return self->close();
                              }
                              self->readHead();
                          });
    }

    // Closing with unread bytes of the request would reset the connection, and a client still
    // sending would lose the answer it has not read yet. So the answer is followed by the end
    // of sending, and the rest of the request is read and dropped, up to a second or 64 KiB,
    // before the close.
    void lingerThenClose() {
        if (closed_) {
            return;
        }
        beast::error_code ignored;
        stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
        stream_.expires_never();
        timer_.expires_after(LingerFor);
        timer_.async_wait([self = shared_from_this()](beast::error_code ec) {
            if (!ec) {
                self->close();
            }
        });
        lingered_ = 0;
        dropRest();
    }

    void dropRest() {
        stream_.socket().async_read_some(
            net::buffer(drain_), [self = shared_from_this()](beast::error_code ec, size_t n) {
                self->lingered_ += n;
                if (ec || self->lingered_ >= LingerBytes) {
                    return self->close();
                }
                self->dropRest();
            });
    }

    // Server-Sent Events: the header, then one event per run and a comment now and then, each
    // a chunk of its own.
    void startStream(const LiveAnswer& routed) {
        streaming_ = true;
        stream_.expires_never();
        header_.emplace(static_cast<http::status>(routed.status), 11);
        header_->set(http::field::content_type, routed.type);
        secure(*header_, routed.policy);
        header_->chunked(true);
        serializer_.emplace(*header_);
        writing_ = true;
        http::async_write_header(stream_, *serializer_,
                                 [self = shared_from_this()](beast::error_code ec, size_t) {
                                     self->writing_ = false;
                                     if (ec) {
                                         return self->close();
                                     }
                                     if (self->head_) {
                                         return self->close();
                                     }
                                     self->outgoing_ = "retry: 2000\n\n";
                                     self->sendEvents();
                                     self->watchClosing();
                                 });
    }

    // Sends what is due: the newest run not yet told, else the keep-open comment.
    void sendEvents() {
        if (closed_ || writing_) {
            return;
        }
        const std::shared_ptr<const LiveContent> content = server_.current();
        if (content->run != told_) {
            told_ = content->run;
            outgoing_ +=
                "id: " + std::to_string(*told_) + "\ndata: " + std::to_string(*told_) + "\n\n";
        }
        if (outgoing_.empty()) {
            return keepOpenLater();
        }
        writing_ = true;
        sending_ = std::move(outgoing_);
        outgoing_.clear();
        net::async_write(stream_.socket(), http::make_chunk(net::buffer(sending_)),
                         [self = shared_from_this()](beast::error_code ec, size_t) {
                             self->writing_ = false;
                             if (ec) {
                                 return self->close();
                             }
                             self->sendEvents();
                         });
    }

    void keepOpenLater() {
        timer_.expires_after(KeepOpenEvery);
        timer_.async_wait([self = shared_from_this()](beast::error_code ec) {
            if (ec || self->closed_) {
                return;
            }
            self->outgoing_ += ": still here\n\n";
            self->sendEvents();
        });
    }

    // A client that goes away ends the stream now, not at the next write.
    void watchClosing() {
        stream_.socket().async_read_some(net::buffer(drain_),
                                         [self = shared_from_this()](beast::error_code ec, size_t) {
                                             if (ec) {
                                                 return self->close();
                                             }
                                             self->watchClosing();
                                         });
    }

    LiveServer::Impl& server_;
    beast::tcp_stream stream_;
    net::steady_timer timer_;
    beast::flat_buffer buffer_{HeadLimit + 1024};
    std::optional<http::request_parser<http::empty_body>> parser_;
    std::optional<http::response<http::empty_body>> header_;
    std::optional<http::response_serializer<http::empty_body>> serializer_;
    std::string outgoing_;
    std::string sending_;
    char drain_[512];
    // The run this stream told last; none at first, so that a stream starts with the board's
    // run even before the first one (0): a page that comes back to a board started anew learns
    // at once what it shows.
    std::optional<uint64_t> told_;
    size_t lingered_ = 0; // bytes dropped after a refusal
    std::chrono::steady_clock::time_point since_;
    bool waiting_ = false;
    bool closed_ = false;
    bool streaming_ = false;
    bool writing_ = false;
    bool head_ = false;
};

size_t LiveServer::Impl::streams() const {
    return static_cast<size_t>(std::count_if(sessions.begin(), sessions.end(),
                                             [](const Session* s) { return s->streaming(); }));
}

void LiveServer::Impl::accept() {
    acceptor.async_accept([this](beast::error_code ec, tcp::socket socket) {
        if (ec == net::error::operation_aborted || !acceptor.is_open()) {
            return;
        }
        if (!ec) {
            admit(std::move(socket));
        }
        accept();
    });
}

// At the limit, the connection that has waited longest without a request gives way; when all
// are busy, the new one is told to come back.
void LiveServer::Impl::admit(tcp::socket socket) {
    size_t counted = 0;
    Session* oldest = nullptr;
    for (Session* s : sessions) {
        if (!s->counted()) {
            continue;
        }
        ++counted;
        if (s->waiting() && (oldest == nullptr || s->waitingSince() < oldest->waitingSince())) {
            oldest = s;
        }
    }
    if (counted >= ConnectionLimit) {
        if (oldest == nullptr) {
            auto busy = std::make_shared<const LiveAnswer>(tooBusy());
            auto response = std::make_shared<http::response<AnswerBody>>(responseOf(*busy));
            auto refused = std::make_shared<tcp::socket>(std::move(socket));
            http::async_write(*refused, *response,
                              [refused, response, busy](beast::error_code, size_t) {
                                  beast::error_code ignored;
                                  refused->shutdown(tcp::socket::shutdown_both, ignored);
                                  refused->close(ignored);
                              });
            return;
        }
        oldest->close();
    }
    std::make_shared<Session>(*this, std::move(socket))->start();
}

LiveServer::LiveServer(std::chrono::milliseconds headTimeout) : impl_(std::make_unique<Impl>()) {
    impl_->headTimeout = headTimeout;
}

LiveServer::~LiveServer() {
    stop();
}

bool LiveServer::start(const ServeAddress& address, std::string& error) {
    Impl& impl = *impl_;
    boost::system::error_code ec;
    impl.hostName = lowered(net::ip::host_name(ec));
    const std::string host =
        !address.host.empty() ? address.host : (address.lan ? "0.0.0.0" : "127.0.0.1");
    const net::ip::address ip = net::ip::make_address(host, ec);
    const tcp::endpoint endpoint(ip, address.port);
    impl.acceptor.open(endpoint.protocol(), ec);
    if (!ec) {
        impl.acceptor.set_option(net::socket_base::reuse_address(true), ec);
        ec = {};
        impl.acceptor.bind(endpoint, ec);
    }
    if (!ec) {
        impl.acceptor.listen(net::socket_base::max_listen_connections, ec);
    }
    if (ec) {
        error = host + ":" + std::to_string(address.port) + ": " + ec.message();
        impl.acceptor.close(ec);
        return false;
    }
    const uint16_t port = impl.acceptor.local_endpoint(ec).port();
    std::string shown = address.host.empty() && address.lan ? impl.hostName : host;
    if (ip.is_v6() && shown == host) {
        shown = "[" + shown + "]";
    }
    impl.url = "http://" + shown + ":" + std::to_string(port) + "/";
    if (!impl.content) {
        impl.content = std::make_shared<LiveContent>();
    }
    impl.accept();
    impl.thread = std::thread([&impl] { impl.ioc.run(); });
    return true;
}

std::string LiveServer::url() const {
    return impl_->url;
}

void LiveServer::publish(std::shared_ptr<const LiveContent> content) {
    Impl& impl = *impl_;
    {
        std::lock_guard<std::mutex> lock(impl.mutex);
        impl.content = std::move(content);
    }
    net::post(impl.ioc, [&impl] {
        for (Session* s : impl.sessions) {
            s->tellRun();
        }
    });
}

void LiveServer::stop() {
    Impl& impl = *impl_;
    if (!impl.thread.joinable()) {
        return;
    }
    net::post(impl.ioc, [&impl] {
        beast::error_code ignored;
        impl.acceptor.close(ignored);
        for (Session* s : std::vector<Session*>(impl.sessions)) {
            s->close();
        }
        impl.ioc.stop();
    });
    impl.thread.join();
}

} // namespace kvr
