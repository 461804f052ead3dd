#include "simulate.h"

#include <cstdio>
#include <fstream>
#include <filesystem>
#include <iostream>
#include <list>
#include <mutex>
#include <thread>

#include "json_io.h"
#include "net.h"
#include "printer_model.h"
#include "snmp.h"
#include "transport.h"

namespace patmon {

namespace {

// The printer being simulated. A scenario file is read again whenever it
// changes, so a test or a user can change the printer's state while it runs.
class PrinterSource {
public:
    explicit PrinterSource(std::string scenario) : scenario_(std::move(scenario)) {}

    bool Load(std::string *error) {
        std::lock_guard<std::mutex> lock(mutex_);
        return Refresh(error);
    }

    PrinterModel Current() {
        std::lock_guard<std::mutex> lock(mutex_);
        std::string error;
        if (!Refresh(&error)) std::cerr << "patmon simulate: " << error << " (keeping the last state)\n";
        return printer_;
    }

private:
    bool Refresh(std::string *error) {
        if (std::optional<PrinterModel> builtIn = ScenarioPrinter(scenario_)) {
            printer_ = *builtIn;
            return true;
        }
        std::error_code ec;
        const auto stamp = std::filesystem::last_write_time(scenario_, ec);
        if (ec) {
            *error = "unknown scenario \"" + scenario_ + "\": neither a built-in name nor a readable file";
            return false;
        }
        if (loaded_ && stamp == stamp_) return true;
        std::optional<PrinterModel> read = ReadScenarioFile(scenario_, error);
        if (!read) return false;
        printer_ = *read;
        stamp_ = stamp;
        loaded_ = true;
        return true;
    }

    std::string scenario_;
    std::mutex mutex_;
    PrinterModel printer_;
    bool loaded_ = false;
    std::filesystem::file_time_type stamp_;
};

constexpr const char *kUel = "\x1b%-12345X";

// One connection: every complete @PJL line is answered as it arrives;
// other bytes are print data.
void Serve(net::Socket s, PrinterSource &source, const std::string &jobFile, const std::atomic<bool> &stop) {
    std::string pending;
    std::ofstream job;
    if (!jobFile.empty()) job.open(jobFile, std::ios::binary | std::ios::app);
    char buffer[16384];
    while (!stop.load()) {
        const long n = net::Receive(s, buffer, sizeof buffer, net::Clock::now() + std::chrono::milliseconds(200));
        if (n == -2) continue;
        if (n <= 0) break;
        pending.append(buffer, static_cast<size_t>(n));
        const PrinterModel printer = source.Current();
        std::string replies;
        for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
            std::string line = pending.substr(0, end + 1);
            pending.erase(0, end + 1);
            std::string command = line;
            for (size_t at; (at = command.find(kUel)) != std::string::npos;) command.erase(at, 9);
            if (command.rfind("@PJL", 0) != 0) {
                if (job.is_open()) job << line;
                continue;
            }
            if (printer.answers) replies += RepliesTo(printer, command);
        }
        // Data that is not a PJL line in the making goes to the job now.
        if (job.is_open() && pending.size() > 4096) {
            job << pending;
            pending.clear();
        }
        if (!replies.empty() && !net::SendAll(s, replies, net::Clock::now() + std::chrono::seconds(5))) break;
        if (job.is_open()) job.flush();
    }
    if (job.is_open()) job << pending;
    net::Close(s);
}

}  // namespace

int Simulate(const SimulateOptions &options, std::atomic<bool> &stop) {
    PrinterSource source(options.scenario);
    std::string error;
    if (!source.Load(&error)) {
        std::cerr << "patmon simulate: " << error << "\n";
        return 2;
    }
    const auto address = ParseHostPort(options.listen, 9100);
    if (!address) {
        std::cerr << "patmon simulate: bad --listen address \"" << options.listen << "\"\n";
        return 2;
    }
    uint16_t port = 0;
    net::Socket listener = net::Listen(address->first, address->second, &port, &error);
    if (listener == net::kNoSocket) {
        std::cerr << "patmon simulate: " << error << "\n";
        return 1;
    }
    std::list<std::thread> connections;
    std::thread acceptor([&] {
        while (!stop.load()) {
            net::Socket s = net::Accept(listener, std::chrono::milliseconds(200));
            if (s != net::kNoSocket) connections.emplace_back(Serve, s, std::ref(source), options.jobFile, std::cref(stop));
        }
    });
    auto announce = [&] {
        std::cout << "patmon simulate: scenario " << options.scenario << ", PJL on " << address->first << ":" << port;
        if (!options.snmp.empty()) std::cout << ", SNMP on " << options.snmp;
        std::cout << std::endl;
    };
    int status = 0;
    if (options.snmp.empty()) {
        announce();
        while (!stop.load()) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    } else if (!ServeDeviceId(options.snmp, [&] { return DeviceIdOf(source.Current()); }, stop, announce, &error)) {
        std::cerr << "patmon simulate: " << error << "\n";
        status = 1;
        stop.store(true);  // ends the acceptor
    }
    acceptor.join();
    for (std::thread &t : connections) t.join();
    net::Close(listener);
    return status;
}

}  // namespace patmon
