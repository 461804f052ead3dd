#include "simulator/simulate.h"

#include <cstdio>
#include <fstream>
#include <filesystem>
#include <iostream>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

#include "transports/net.h"
#include "simulator/model_mib.h"
#include "simulator/printer_model.h"
#include "simulator/printer_source.h"
#include "simulator/snmp_agent.h"
#include "transports/transport.h"

namespace patmon {

namespace {

constexpr char kUel[] = "\x1b%-12345X";
constexpr size_t kUelSize = sizeof kUel - 1;
constexpr char kPrefix[] = "@PJL";
constexpr size_t kPrefixSize = sizeof kPrefix - 1;
// A connection that sends nothing for this long is closed, as a printer does.
constexpr std::chrono::seconds kIdleConnection{60};
// A PJL line longer than this is not one: it is print data.
constexpr size_t kMaxCommandLine = 65536;

// What arrives on the port, as a printer reads it. After a universal exit
// language (and at the start of a connection) it is in PJL mode: lines
// beginning "@PJL" are commands. Anything else, or ENTER LANGUAGE, starts
// print data, which runs unchanged, whatever bytes it holds, up to the next
// universal exit language.
class PortReader {
public:
    // Takes `bytes`; complete command lines go to `command`, print data to `data`.
    template <typename Command, typename Data>
    void Take(const char *bytes, size_t size, Command command, Data data) {
        pending_.append(bytes, size);
        for (bool more = true; more;) {
            more = printData_ ? TakeData(data) : TakeCommand(command);
        }
    }
    // The connection ended: print data not ended by a universal exit
    // language (in PJL mode what is left is an unfinished command).
    std::string Rest() {
        std::string rest = printData_ ? pending_ : std::string();
        pending_.clear();
        return rest;
    }

private:
    static bool StartsOrPrefix(const std::string &text, const char *word, size_t size) {
        return text.compare(0, std::min(text.size(), size), word, std::min(text.size(), size)) == 0;
    }

    template <typename Command>
    bool TakeCommand(Command command) {
        if (pending_.compare(0, kUelSize, kUel) == 0) {
            pending_.erase(0, kUelSize);
            return true;
        }
        if (pending_.empty()) return false;
        // Too little to tell a command or a universal exit language from data yet.
        if ((pending_.size() < kUelSize && StartsOrPrefix(pending_, kUel, kUelSize)) ||
            (pending_.size() < kPrefixSize && StartsOrPrefix(pending_, kPrefix, kPrefixSize))) {
            return false;
        }
        if (pending_.compare(0, kPrefixSize, kPrefix) != 0) {
            printData_ = true;
            return true;
        }
        const size_t end = pending_.find('\n');
        if (end == std::string::npos) {
            if (pending_.size() > kMaxCommandLine) printData_ = true;
            return pending_.size() > kMaxCommandLine;
        }
        const std::string line = pending_.substr(0, end + 1);
        pending_.erase(0, end + 1);
        command(line);
        if (line.rfind("@PJL ENTER LANGUAGE", 0) == 0) printData_ = true;
        return true;
    }

    template <typename Data>
    bool TakeData(Data data) {
        const size_t uel = pending_.find(kUel);
        if (uel != std::string::npos) {
            if (uel != 0) data(pending_.substr(0, uel));
            pending_.erase(0, uel + kUelSize);
            printData_ = false;
            return true;
        }
        // Keep a tail that may be the start of a universal exit language.
        if (pending_.size() >= kUelSize) {
            const size_t keep = kUelSize - 1;
            data(pending_.substr(0, pending_.size() - keep));
            pending_.erase(0, pending_.size() - keep);
        }
        return false;
    }

    std::string pending_;
    bool printData_ = false;
};

// One connection: every PJL command line is answered as it arrives; print
// data goes to the job file byte for byte.
void Serve(net::Socket s, PrinterSource &source, const std::string &jobFile, const std::atomic<bool> &stop) {
    PortReader reader;
    std::ofstream job;
    if (!jobFile.empty()) job.open(jobFile, std::ios::binary | std::ios::app);
    auto toJob = [&job](const std::string &data) {
        if (job.is_open()) job.write(data.data(), static_cast<std::streamsize>(data.size()));
    };
    char buffer[16384];
    auto lastHeard = net::Clock::now();
    while (!stop.load()) {
        const long n = net::Receive(s, buffer, sizeof buffer, net::Clock::now() + std::chrono::milliseconds(200));
        if (n == -2 && net::Clock::now() - lastHeard > kIdleConnection) break;  // a client that went quiet
        if (n == -2) continue;
        lastHeard = net::Clock::now();
        if (n <= 0) break;
        const PrinterModel printer = source.Current();
        std::string replies;
        reader.Take(
            buffer, static_cast<size_t>(n),
            [&](const std::string &line) {
                if (printer.answers) replies += RepliesTo(printer, line);
            },
            toJob);
        if (!replies.empty() && !net::SendAll(s, replies, net::Clock::now() + std::chrono::seconds(5))) break;
        if (job.is_open()) job.flush();
    }
    toJob(reader.Rest());
    net::Close(s);
}

// The connections being served: a thread each, joined as soon as it ends,
// and at most kMaxConnections at once (a further one is closed unread, as a
// busy printer refuses it), so a fleet polling for months costs no more
// threads or memory than a few polls at once.
class Connections {
public:
    static constexpr size_t kMaxConnections = 64;

    void Start(net::Socket s, PrinterSource &source, const std::string &jobFile, const std::atomic<bool> &stop) {
        Reap();
        if (threads_.size() >= kMaxConnections) {
            net::Close(s);
            return;
        }
        auto done = std::make_shared<std::atomic<bool>>(false);
        threads_.push_back({std::thread([=, &source, &stop] {
                                Serve(s, source, jobFile, stop);
                                done->store(true);
                            }),
                            done});
    }
    void JoinAll() {
        for (Entry &entry : threads_) entry.thread.join();
        threads_.clear();
    }
    size_t Count() const { return threads_.size(); }

private:
    struct Entry {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    void Reap() {
        for (auto it = threads_.begin(); it != threads_.end();) {
            if (it->done->load()) {
                it->thread.join();
                it = threads_.erase(it);
            } else {
                ++it;
            }
        }
    }
    std::list<Entry> threads_;
};

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
    Connections connections;
    std::thread acceptor([&] {
        while (!stop.load()) {
            net::Socket s = net::Accept(listener, std::chrono::milliseconds(200));
            if (s != net::kNoSocket) connections.Start(s, source, options.jobFile, stop);
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
    } else if (!ServePrinter(
                   options.snmp, [&] { return DeviceIdOf(source.Current()); },
                   [&] { return MibOf(source.Current()); }, stop, announce, &error)) {
        std::cerr << "patmon simulate: " << error << "\n";
        status = 1;
        stop.store(true);  // ends the acceptor
    }
    acceptor.join();
    connections.JoinAll();
    net::Close(listener);
    return status;
}

}  // namespace patmon
