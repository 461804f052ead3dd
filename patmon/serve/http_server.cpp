#include "serve/http_server.h"

#include <httplib.h>

#include <thread>

#include "serve/metrics.h"
#include "serve/serve_json.h"
#include "serve/status_page.h"

namespace patmon {

namespace {

// Threads answering requests; polling has its own, so a flood of requests
// slows only the answers.
constexpr size_t kHttpThreads = 4;

void NotFound(httplib::Response &response, const std::string &what) {
    response.status = 404;
    response.set_content(what + "\n", "text/plain; charset=utf-8");
}

}  // namespace

struct HttpService::Impl {
    Fleet &fleet;
    httplib::Server server;
    uint16_t port = 0;
    std::thread thread;

    explicit Impl(Fleet &f) : fleet(f) {
        server.new_task_queue = [] { return new httplib::ThreadPool(kHttpThreads); };
        server.set_payload_max_length(64 * 1024);
        server.set_read_timeout(5, 0);
        server.set_write_timeout(5, 0);
        server.set_keep_alive_max_count(100);

        server.Get("/", [](const httplib::Request &, httplib::Response &response) {
            response.set_content(StatusPageHtml(), "text/html; charset=utf-8");
        });
        server.Get("/metrics", [this](const httplib::Request &, httplib::Response &response) {
            response.set_content(MetricsText(fleet.Views(), fleet.Counters()), "text/plain; version=0.0.4; charset=utf-8");
        });
        server.Get("/api/cards", [this](const httplib::Request &, httplib::Response &response) {
            response.set_header("Cache-Control", "no-store");
            response.set_content(CardsDocument(fleet.Views()), "application/json");
        });
        server.Get("/api/printers", [this](const httplib::Request &, httplib::Response &response) {
            std::string body = "[";
            for (const PrinterView &view : fleet.Views()) {
                if (view.document.empty()) continue;  // not polled yet
                if (body.size() > 1) body += ",";
                body += view.document;
            }
            response.set_content(body + "]", "application/json");
        });
        server.Get(R"(/api/printers/([^/]+))", [this](const httplib::Request &request, httplib::Response &response) {
            const std::optional<PrinterView> view = fleet.View(request.matches[1]);
            if (!view) return NotFound(response, "no printer named \"" + std::string(request.matches[1]) + "\"");
            if (view->document.empty()) {
                response.status = 503;
                response.set_header("Retry-After", "1");
                return response.set_content("not polled yet\n", "text/plain; charset=utf-8");
            }
            response.set_content(view->document, "application/json");
        });
        server.Get(R"(/printers/([^/]+)/status\.png)",
                   [this](const httplib::Request &request, httplib::Response &response) {
                       const auto png = fleet.Picture(request.matches[1]);
                       if (!png) return NotFound(response, "no printer named \"" + std::string(request.matches[1]) + "\"");
                       if (png->empty()) {
                           response.status = 500;
                           return response.set_content("the picture could not be made\n", "text/plain");
                       }
                       response.set_content(reinterpret_cast<const char *>(png->data()), png->size(), "image/png");
                   });
        server.set_error_handler([](const httplib::Request &, httplib::Response &response) {
            if (response.status == 404 && response.body.empty()) NotFound(response, "not found");
        });
    }
};

HttpService::HttpService(Fleet &fleet) : impl_(std::make_unique<Impl>(fleet)) {}

HttpService::~HttpService() { Stop(); }

bool HttpService::Bind(const std::string &host, uint16_t port, std::string *error) {
    if (port == 0) {
        const int bound = impl_->server.bind_to_any_port(host.c_str());
        if (bound <= 0) {
            *error = "cannot listen on " + host;
            return false;
        }
        impl_->port = static_cast<uint16_t>(bound);
        return true;
    }
    if (!impl_->server.bind_to_port(host.c_str(), port)) {
        *error = "cannot listen on " + host + ":" + std::to_string(port);
        return false;
    }
    impl_->port = port;
    return true;
}

uint16_t HttpService::Port() const { return impl_->port; }

void HttpService::Start() {
    impl_->thread = std::thread([this] { impl_->server.listen_after_bind(); });
}

void HttpService::Stop() {
    if (!impl_->thread.joinable()) return;
    impl_->server.stop();
    impl_->thread.join();
}

}  // namespace patmon
