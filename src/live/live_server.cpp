// The one source that includes Boost.Beast and Boost.Asio, so that they are compiled once.
#include "live/live_server.h"

#include "live/content_hash.h"
#include "report/live_board.h"
#include "report/ranking_html.h"

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
#include <thread>

namespace kvr {

namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;
using tcp = net::ip::tcp;

namespace {

constexpr size_t HeadLimit = 8 * 1024;
constexpr size_t ConnectionLimit = 64;
constexpr size_t StreamLimit = 32;
constexpr auto KeepOpenEvery = std::chrono::seconds(15);
constexpr size_t DefaultOverlayRows = 10;
constexpr size_t MostOverlayRows = 100;

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The host of a Host header, without its port and brackets.
std::string hostOf(std::string_view header) {
    if (!header.empty() && header.front() == '[') {
        const size_t end = header.find(']');
        return end == std::string_view::npos ? std::string()
                                             : std::string(header.substr(1, end - 1));
    }
    const size_t colon = header.rfind(':');
    return std::string(colon == std::string_view::npos ? header : header.substr(0, colon));
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

} // namespace

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
    if (!host.empty()) {
        boost::system::error_code ec;
        const net::ip::address ip = net::ip::make_address(host, ec);
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

class Session;

struct LiveServer::Impl {
    // Sessions unregister themselves when destroyed, which the io_context's end may do: the
    // list outlives it.
    std::vector<Session*> sessions;
    std::mutex mutex; // guards `content`
    std::shared_ptr<const LiveContent> content;
    std::string pagePolicy;
    std::string overlayPolicy;
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

// The headers every answer has.
template <typename Body> void secure(http::response<Body>& response, const std::string& policy) {
    response.set("Content-Security-Policy", policy);
    response.set("X-Content-Type-Options", "nosniff");
    response.set("Referrer-Policy", "no-referrer");
    response.set(http::field::cache_control, "no-store");
}

const char* const PlainPolicy = "default-src 'none'; frame-ancestors 'none'";

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
            return answer(http::status::request_header_fields_too_large, "request head too large\n",
                          nullptr, "text/plain; charset=utf-8", PlainPolicy, false);
        }
        if (ec) {
            if (ec != beast::error::timeout && ec != http::error::end_of_stream &&
                ec != net::error::operation_aborted && ec != net::error::connection_reset &&
                ec != net::error::eof && buffer_.size() > 0) {
                return answer(http::status::bad_request, "bad request\n", nullptr,
                              "text/plain; charset=utf-8", PlainPolicy, false);
            }
            return close();
        }
        handle(parser_->get());
    }

    bool hostIsOurs(const http::request<http::empty_body>& request) const {
        const auto found = request.find(http::field::host);
        if (found == request.end()) {
            return false;
        }
        const std::string host = lowered(hostOf(found->value()));
        const std::string& name = server_.hostName;
        if (host == "localhost" || (!name.empty() && (host == name || host == name + ".local"))) {
            return true;
        }
        boost::system::error_code ec;
        net::ip::address ip = net::ip::make_address(host, ec);
        if (ec) {
            return false;
        }
        if (ip.is_v6() && ip.to_v6().is_v4_mapped()) {
            ip = net::ip::make_address_v4(net::ip::v4_mapped, ip.to_v6());
        }
        if (ip.is_loopback()) {
            return true;
        }
        net::ip::address local = stream_.socket().local_endpoint(ec).address();
        if (!ec && local.is_v6() && local.to_v6().is_v4_mapped()) {
            local = net::ip::make_address_v4(net::ip::v4_mapped, local.to_v6());
        }
        return !ec && ip == local;
    }

    void handle(const http::request<http::empty_body>& request) {
        keepAlive_ = request.keep_alive() && !parser_->chunked() &&
                     (!parser_->content_length() || *parser_->content_length() == 0);
        head_ = request.method() == http::verb::head;
        if (request.method() != http::verb::get && !head_) {
            return answer(http::status::method_not_allowed, "only GET and HEAD\n", nullptr,
                          "text/plain; charset=utf-8", PlainPolicy, keepAlive_, true);
        }
        if (!hostIsOurs(request)) {
            return answer(http::status::misdirected_request,
                          "this server answers only to its own "
                          "names\n",
                          nullptr, "text/plain; charset=utf-8", PlainPolicy, false);
        }
        const std::string_view target(request.target().data(), request.target().size());
        const size_t question = target.find('?');
        const std::string_view path = target.substr(0, question);
        const std::string_view query =
            question == std::string_view::npos ? std::string_view() : target.substr(question + 1);
        const std::shared_ptr<const LiveContent> content = server_.current();
        if (path == "/") {
            return answer(http::status::ok, content->page, content, "text/html; charset=utf-8",
                          server_.pagePolicy, keepAlive_);
        }
        if (path == "/live.js") {
            return answer(http::status::ok, LiveScript, nullptr, "text/javascript; charset=utf-8",
                          PlainPolicy, keepAlive_);
        }
        if (path == "/ranking.json") {
            return answer(http::status::ok, content->json, content, "application/json", PlainPolicy,
                          keepAlive_);
        }
        if (path == "/overlay") {
            auto page = std::make_shared<std::string>(content->overlayHead);
            const size_t rows = std::min(overlayRows(query), content->overlayRows.size());
            for (size_t i = 0; i < rows; ++i) {
                *page += content->overlayRows[i];
            }
            *page += content->overlayTail;
            return answer(http::status::ok, *page, page, "text/html; charset=utf-8",
                          server_.overlayPolicy, keepAlive_);
        }
        if (path == "/events") {
            if (server_.streams() >= StreamLimit) {
                return busy();
            }
            return startStream();
        }
        answer(http::status::not_found, "not found\n", nullptr, "text/plain; charset=utf-8",
               PlainPolicy, keepAlive_);
    }

    // Answers with `body`, which stays alive as long as `keep` (or for good, without one): a run's
    // page and JSON go out from the published content itself, never copied.
    void answer(http::status status, std::string_view body, std::shared_ptr<const void> keep,
                const char* type, const std::string& policy, bool keepAlive, bool allow = false) {
        using Body = http::span_body<char const>;
        auto response = std::make_shared<http::response<Body>>(status, 11);
        response->set(http::field::content_type, type);
        secure(*response, policy);
        if (allow) {
            response->set(http::field::allow, "GET, HEAD");
        }
        if (status == http::status::service_unavailable) {
            response->set(http::field::retry_after, "5");
        }
        response->keep_alive(keepAlive);
        if (!head_) {
            response->body() = Body::value_type(body.data(), body.size());
        }
        response->content_length(body.size());
        stream_.expires_after(server_.headTimeout);
        http::async_write(
            stream_, *response,
            [self = shared_from_this(), response, keep](beast::error_code ec, size_t) {
                if (ec || !response->keep_alive()) {
                    return self->close();
                }
                self->readHead();
            });
    }

    void busy() {
        answer(http::status::service_unavailable, "too many connections, try again soon\n", nullptr,
               "text/plain; charset=utf-8", PlainPolicy, false);
    }

    // Server-Sent Events: the header, then one event per run and a comment now and then, each
    // a chunk of its own.
    void startStream() {
        streaming_ = true;
        stream_.expires_never();
        header_.emplace(http::status::ok, 11);
        header_->set(http::field::content_type, "text/event-stream");
        secure(*header_, PlainPolicy);
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
                "id: " + std::to_string(told_) + "\ndata: " + std::to_string(told_) + "\n\n";
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
    uint64_t told_ = 0;
    std::chrono::steady_clock::time_point since_;
    bool waiting_ = false;
    bool closed_ = false;
    bool streaming_ = false;
    bool writing_ = false;
    bool keepAlive_ = false;
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
            auto response = std::make_shared<http::response<http::string_body>>(
                http::status::service_unavailable, 11);
            response->set(http::field::content_type, "text/plain; charset=utf-8");
            secure(*response, PlainPolicy);
            response->set(http::field::retry_after, "5");
            response->keep_alive(false);
            response->body() = "too many connections, try again soon\n";
            response->prepare_payload();
            auto refused = std::make_shared<tcp::socket>(std::move(socket));
            http::async_write(*refused, *response, [refused, response](beast::error_code, size_t) {
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
    impl.pagePolicy = "default-src 'none'; script-src 'self'; style-src " +
                      cspHashSource(htmlPageStyle()) +
                      "; connect-src 'self'; base-uri 'none'; form-action 'none'; "
                      "frame-ancestors 'none'";
    impl.overlayPolicy = "default-src 'none'; script-src 'self'; style-src " +
                         cspHashSource(overlayStyle()) +
                         "; connect-src 'self'; base-uri 'none'; form-action 'none'";
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
