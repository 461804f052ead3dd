#include "serve/serve.h"

#include <malloc.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <thread>

#include "serve/fleet.h"
#include "serve/http_server.h"
#include "simulator/printer_model.h"
#include "serve/serve_json.h"
#include "transports/transport.h"

namespace patmon {

namespace {

constexpr const char *kDefaultListen = "127.0.0.1:9464";

int Usage(const std::string &message) {
    std::cerr << "patmon serve: " << message << "\n";
    return 2;
}

// N virtual printers, the built-in scenarios in turn (not answering
// included), for demonstrations and load tests.
std::vector<FleetPrinterConfig> SimulatedFleet(const ServeOptions &options) {
    const std::vector<Scenario> &scenarios = BuiltInScenarios();
    std::vector<FleetPrinterConfig> printers;
    for (int i = 0; i < options.simulate; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "sim-%04d", i + 1);
        FleetPrinterConfig printer;
        printer.name = name;
        printer.target = std::string("virtual:") + scenarios[static_cast<size_t>(i) % scenarios.size()].name;
        printer.intervalSeconds = options.intervalSeconds > 0 ? options.intervalSeconds : 10;
        printer.language = options.language;
        printers.push_back(printer);
    }
    return printers;
}

// A large fleet has many connections open at once (and one UDP socket per
// device-ID request), and HTTP clients each hold one: take all the
// descriptors the system allows, keep what the fleet may need and let HTTP
// have the rest, up to kHttpConnections.
HttpLimits HttpLimitsFor(size_t printers) {
    constexpr rlim_t kHttpConnections = 8192, kKept = 256;
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) != 0) files.rlim_cur = files.rlim_max = 1024;
    if (files.rlim_cur < files.rlim_max) {
        const rlimit raised{files.rlim_max, files.rlim_max};
        if (setrlimit(RLIMIT_NOFILE, &raised) == 0) files.rlim_cur = files.rlim_max;
    }
    const rlim_t kept = kKept + printers;
    HttpLimits limits;
    limits.connections = static_cast<unsigned>(
        files.rlim_cur > kept + 64 ? std::min(files.rlim_cur - kept, kHttpConnections) : 64);
    return limits;
}

// The answers to /metrics and /api/printers are megabytes for a large
// fleet and live for one request. glibc would raise its mmap threshold to
// the largest of them once it is freed, and serve the next ones from the
// heap, which keeps the pages; a fixed threshold gives them back at once.
void KeepLargeAnswersOutOfTheHeap() {
    constexpr int kMmapThreshold = 256 * 1024;
    mallopt(M_MMAP_THRESHOLD, kMmapThreshold);
}

}  // namespace

int Serve(const ServeOptions &options, const std::atomic<bool> &stop) {
    if (options.config.empty() == (options.simulate == 0)) return Usage("give either --config FILE or --simulate N");
    if (!(options.simulate >= 0 && options.simulate <= 100000)) return Usage("--simulate must be 1 to 100000");
    if (options.intervalSeconds != 0 && !(options.intervalSeconds >= 0.1 && options.intervalSeconds <= 86400)) {
        return Usage("--interval must be 0.1 to 86400 seconds");
    }
    if (!(options.workers >= 1 && options.workers <= 64)) return Usage("--workers must be 1 to 64");
    KeepLargeAnswersOutOfTheHeap();
    std::vector<FleetPrinterConfig> printers;
    std::string listen = options.listen, error;
    if (!options.config.empty()) {
        std::optional<ServeConfig> config = ReadServeConfig(options.config, &error);
        if (!config) return Usage(error);
        printers = std::move(config->printers);
        if (listen.empty()) listen = config->listen;
    } else {
        printers = SimulatedFleet(options);
    }
    if (listen.empty()) listen = kDefaultListen;
    auto address = ParseHostPort(listen, 9464);
    if (!address && listen.size() > 2 && listen.ends_with(":0")) {
        // Port 0: any free port (tests), announced on stdout.
        address = ParseHostPort(listen.substr(0, listen.size() - 2), 9464);
        if (address) address->second = 0;
    }
    if (!address) return Usage("bad listen address \"" + listen + "\"");

    std::unique_ptr<Fleet> fleet = Fleet::Create(printers, options.workers, &error);
    if (!fleet) return Usage(error);
    const size_t count = printers.size();
    std::vector<FleetPrinterConfig>().swap(printers);  // the fleet keeps its own copy
    HttpService http(*fleet, HttpLimitsFor(count));
    if (!http.Listen(address->first, address->second, &error)) return Usage(error);
    fleet->Start();
    if (!http.Start(&error)) {
        fleet->Stop();
        std::cerr << "patmon serve: " << error << "\n";
        return 1;
    }
    const bool v6 = address->first.find(':') != std::string::npos;
    std::cout << "patmon serve: " << count << (count == 1 ? " printer" : " printers") << ", http://"
              << (v6 ? "[" + address->first + "]" : address->first) << ":" << http.Port() << "/" << std::endl;
    while (!stop.load()) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    http.Stop();
    fleet->Stop();
    return 0;
}

}  // namespace patmon
