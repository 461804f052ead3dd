#include "serve/http_server.h"

#include <fcntl.h>
#include <malloc.h>
#include <microhttpd.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "serve/metrics.h"
#include "serve/serve_json.h"
#include "serve/status_page.h"

namespace patmon {

namespace {

constexpr const char *kText = "text/plain; charset=utf-8";
constexpr const char *kAllow = "GET, HEAD";

// Methods HTTP defines that this service does not take: 405 on its paths.
// Any other method is 501.
constexpr std::array<std::string_view, 7> kOtherMethods = {"POST",  "PUT",   "DELETE", "PATCH",
                                                           "OPTIONS", "TRACE", "CONNECT"};

enum class Route { kNone, kPage, kMetrics, kCards, kPrinters, kPrinter, kPicture };

struct Target {
    Route route = Route::kNone;
    std::string name;  // of kPrinter and kPicture
};

// A printer's name as one path segment: not empty, no slash.
bool IsSegment(std::string_view name) { return !name.empty() && name.find('/') == std::string_view::npos; }

// The route of a (decoded, query-free) path.
Target Match(std::string_view path) {
    if (path == "/") return {Route::kPage, {}};
    if (path == "/metrics") return {Route::kMetrics, {}};
    if (path == "/api/cards") return {Route::kCards, {}};
    if (path == "/api/printers") return {Route::kPrinters, {}};
    constexpr std::string_view printer = "/api/printers/";
    if (path.starts_with(printer) && IsSegment(path.substr(printer.size()))) {
        return {Route::kPrinter, std::string(path.substr(printer.size()))};
    }
    constexpr std::string_view pictureStart = "/printers/", pictureEnd = "/status.png";
    if (path.size() > pictureStart.size() + pictureEnd.size() && path.starts_with(pictureStart) &&
        path.ends_with(pictureEnd)) {
        const std::string_view name =
            path.substr(pictureStart.size(), path.size() - pictureStart.size() - pictureEnd.size());
        if (IsSegment(name)) return {Route::kPicture, std::string(name)};
    }
    return {};
}

using Header = std::pair<const char *, const char *>;

// Queues one whole response: a Range header is not honoured, every answer is
// made on request and sent whole. Every response says nosniff; an error
// closes the connection after it, so a client that sent something wrong (or
// a body nobody reads) cannot go on with the same connection.
MHD_Result Queue(MHD_Connection *connection, unsigned status, MHD_Response *response, const char *type,
                 std::initializer_list<Header> headers) {
    if (response == nullptr) return MHD_NO;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, type);
    MHD_add_response_header(response, "X-Content-Type-Options", "nosniff");
    for (const Header &header : headers) MHD_add_response_header(response, header.first, header.second);
    if (status >= 400) MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
    const MHD_Result queued = MHD_queue_response(connection, status, response);
    MHD_destroy_response(response);
    return queued;
}

MHD_Result Send(MHD_Connection *connection, unsigned status, const void *data, size_t size, const char *type,
                std::initializer_list<Header> headers = {}) {
    return Queue(connection, status,
                 MHD_create_response_from_buffer(size, const_cast<void *>(data), MHD_RESPMEM_MUST_COPY), type,
                 headers);
}

// A body made for this answer: the response takes it over instead of a
// copy (a large fleet's /metrics or /api/printers is megabytes).
MHD_Result Send(MHD_Connection *connection, unsigned status, std::string body, const char *type,
                std::initializer_list<Header> headers = {}) {
    auto *owned = new std::string(std::move(body));
    MHD_Response *response = MHD_create_response_from_buffer_with_free_callback_cls(
        owned->size(), owned->data(), [](void *text) { delete static_cast<std::string *>(text); }, owned);
    if (response == nullptr) delete owned;
    return Queue(connection, status, response, type, headers);
}

// An answer about the whole fleet copies every printer's view for a
// moment: thousands of small blocks, freed in the middle of the heap where
// glibc keeps their pages. They go back to the system once the body is
// made (a few milliseconds for a large fleet, once a scrape), so scrapes
// leave the service's size as it was.
void ReturnFreedMemory() { malloc_trim(0); }

MHD_Result NotFound(MHD_Connection *connection, const std::string &what) {
    return Send(connection, MHD_HTTP_NOT_FOUND, what + "\n", kText);
}

MHD_Result NoPrinter(MHD_Connection *connection, const std::string &name) {
    return NotFound(connection, "no printer named \"" + name + "\"");
}

// Whether the request announces a body (a length other than 0, or chunks).
bool HasBody(MHD_Connection *connection) {
    const char *length = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
    if (length != nullptr && std::string_view(length) != "0") return true;
    return MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_TRANSFER_ENCODING) != nullptr;
}

std::string ShownAddress(const std::string &host, uint16_t port) {
    const bool v6 = host.find(':') != std::string::npos;
    return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

}  // namespace

struct HttpService::Impl {
    Fleet &fleet;
    HttpLimits limits;
    int listenFd = -1;  // ours until the daemon takes it
    uint16_t port = 0;
    MHD_Daemon *daemon = nullptr;

    Impl(Fleet &f, const HttpLimits &l) : fleet(f), limits(l) {}

    // libmicrohttpd's request handler, on the service thread. The first
    // call comes once the request line and headers are in: a method or a
    // body this service does not take is refused then, before any body is
    // read (an answer that early also closes the connection after it).
    // Otherwise the answer comes on the second call, when the request is
    // complete, so the connection can stay open for the next one.
    static MHD_Result Answer(void *self, MHD_Connection *connection, const char *url, const char *method,
                             const char * /*version*/, const char * /*uploadData*/, size_t *uploadSize,
                             void **context) {
        static int headersSeen;
        if (*context == nullptr) {
            *context = &headersSeen;
            return Refuse(connection, Match(url), method);
        }
        if (*uploadSize != 0) {  // not announced as a body, yet some came: dropped
            *uploadSize = 0;
            return MHD_YES;
        }
        return static_cast<Impl *>(self)->Route(connection, Match(url));
    }

    // MHD_YES for a request to answer when complete; else the refusal.
    static MHD_Result Refuse(MHD_Connection *connection, const Target &target, std::string_view method) {
        if (method != "GET" && method != "HEAD") {
            bool known = false;
            for (std::string_view other : kOtherMethods) known = known || method == other;
            if (!known) return Send(connection, MHD_HTTP_NOT_IMPLEMENTED, "method not implemented\n", kText);
            if (target.route == Route::kNone) return NotFound(connection, "not found");
            return Send(connection, MHD_HTTP_METHOD_NOT_ALLOWED, "method not allowed\n", kText,
                        {{MHD_HTTP_HEADER_ALLOW, kAllow}});
        }
        if (HasBody(connection)) {
            return Send(connection, MHD_HTTP_CONTENT_TOO_LARGE, "a request body is not accepted\n", kText);
        }
        return MHD_YES;
    }

    MHD_Result Route(MHD_Connection *connection, const Target &target) {
        switch (target.route) {
        case Route::kPage: {
            const std::string_view page = StatusPageHtml();
            return Send(connection, MHD_HTTP_OK, page.data(), page.size(), "text/html; charset=utf-8");
        }
        case Route::kMetrics: {
            std::string text = MetricsText(fleet.Views(false), fleet.Counters());
            ReturnFreedMemory();
            return Send(connection, MHD_HTTP_OK, std::move(text), "text/plain; version=0.0.4; charset=utf-8");
        }
        case Route::kCards: {
            std::string cards = CardsDocument(fleet.Views(false));
            ReturnFreedMemory();
            return Send(connection, MHD_HTTP_OK, std::move(cards), "application/json",
                        {{MHD_HTTP_HEADER_CACHE_CONTROL, "no-store"}});
        }
        case Route::kPrinters: {
            std::string body = "[";
            for (const PrinterView &view : fleet.Views()) {
                if (view.document.empty()) continue;  // not polled yet
                if (body.size() > 1) body += ",";
                body += view.document;
            }
            body += "]";
            ReturnFreedMemory();
            return Send(connection, MHD_HTTP_OK, std::move(body), "application/json");
        }
        case Route::kPrinter: {
            const std::optional<PrinterView> view = fleet.View(target.name);
            if (!view) return NoPrinter(connection, target.name);
            if (view->document.empty()) {
                return Send(connection, MHD_HTTP_SERVICE_UNAVAILABLE, "not polled yet\n", kText,
                            {{MHD_HTTP_HEADER_RETRY_AFTER, "1"}});
            }
            return Send(connection, MHD_HTTP_OK, std::move(view->document), "application/json");
        }
        case Route::kPicture: {
            const std::optional<std::vector<uint8_t>> png = fleet.Picture(target.name);
            if (!png) return NoPrinter(connection, target.name);
            if (png->empty()) {
                return Send(connection, MHD_HTTP_INTERNAL_SERVER_ERROR, "the picture could not be made\n",
                            "text/plain");
            }
            return Send(connection, MHD_HTTP_OK, png->data(), png->size(), "image/png");
        }
        case Route::kNone:
            break;
        }
        return NotFound(connection, "not found");
    }
};

HttpService::HttpService(Fleet &fleet, const HttpLimits &limits) : impl_(std::make_unique<Impl>(fleet, limits)) {}

HttpService::~HttpService() {
    Stop();
    if (impl_->listenFd >= 0) close(impl_->listenFd);
}

bool HttpService::Listen(const std::string &host, uint16_t port, std::string *error) {
    const std::string shown = ShownAddress(host, port);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo *found = nullptr;
    const int looked = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (looked != 0) {
        *error = "cannot listen on " + shown + ": " + gai_strerror(looked);
        return false;
    }
    std::string reason = "no address";
    for (const addrinfo *address = found; address != nullptr; address = address->ai_next) {
        const int fd = socket(address->ai_family, address->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                              address->ai_protocol);
        if (fd < 0) {
            reason = std::strerror(errno);
            continue;
        }
        // Reuse of an address in TIME_WAIT only: a second service on the
        // same port fails here (no SO_REUSEPORT).
        const int on = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_storage bound{};
        socklen_t boundSize = sizeof bound;
        if (bind(fd, address->ai_addr, address->ai_addrlen) != 0 || listen(fd, SOMAXCONN) != 0 ||
            getsockname(fd, reinterpret_cast<sockaddr *>(&bound), &boundSize) != 0) {
            reason = std::strerror(errno);
            close(fd);
            continue;
        }
        impl_->listenFd = fd;
        impl_->port = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6 *>(&bound)->sin6_port
                                                        : reinterpret_cast<sockaddr_in *>(&bound)->sin_port);
        freeaddrinfo(found);
        return true;
    }
    freeaddrinfo(found);
    *error = "cannot listen on " + shown + ": " + reason;
    return false;
}

uint16_t HttpService::Port() const { return impl_->port; }

bool HttpService::Start(std::string *error) {
    if (impl_->listenFd < 0 || impl_->daemon != nullptr) {
        *error = "not listening";
        return false;
    }
    const HttpLimits &limits = impl_->limits;
    // One internal thread under epoll answers every connection; the wake-up
    // channel lets Stop end it at once. Strict parsing: an HTTP/1.1 request
    // without Host, or with spaces in the URL, is 400.
    impl_->daemon = MHD_start_daemon(MHD_USE_EPOLL_INTERNAL_THREAD | MHD_USE_ITC, 0, nullptr, nullptr,
                                     &Impl::Answer, impl_.get(),
                                     MHD_OPTION_LISTEN_SOCKET, static_cast<MHD_socket>(impl_->listenFd),
                                     MHD_OPTION_CONNECTION_LIMIT, static_cast<unsigned int>(limits.connections),
                                     MHD_OPTION_CONNECTION_TIMEOUT, static_cast<unsigned int>(limits.idleSeconds),
                                     MHD_OPTION_CONNECTION_MEMORY_LIMIT, limits.connectionMemory,
                                     MHD_OPTION_STRICT_FOR_CLIENT, 1,
                                     MHD_OPTION_END);
    if (impl_->daemon == nullptr) {
        // Closed by the daemon or still ours: close it only if still open.
        if (fcntl(impl_->listenFd, F_GETFD) != -1) close(impl_->listenFd);
        impl_->listenFd = -1;
        *error = "cannot start the HTTP service on port " + std::to_string(impl_->port);
        return false;
    }
    impl_->listenFd = -1;  // the daemon's now: it closes it when stopped
    return true;
}

void HttpService::Stop() {
    if (impl_->daemon == nullptr) return;
    MHD_stop_daemon(impl_->daemon);
    impl_->daemon = nullptr;
}

}  // namespace patmon
