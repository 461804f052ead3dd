// Processes and sockets for the patmon tests: the patmon program run with
// a hard time limit, long-running children (patmon simulate, snmpd), free
// loopback ports, and fake printers that answer a poll badly on purpose.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace patmontest {

using namespace std::chrono_literals;
using Milliseconds = std::chrono::milliseconds;

struct RunResult {
    int exitCode = -1;  // -1: killed by a signal (or at the time limit)
    bool timedOut = false;
    std::string out;
    std::string err;
    Milliseconds elapsed{0};
};

// Runs `program` with `args`, stdin from /dev/null, and collects its output;
// a child still running after `limit` is killed.
RunResult Run(const std::string &program, const std::vector<std::string> &args, Milliseconds limit = 30s);
// The patmon program of this build.
RunResult RunPatmon(const std::vector<std::string> &args, Milliseconds limit = 30s);

// A child that runs until stopped; its stdout and stderr go to `logFile`.
class Child {
public:
    Child() = default;
    ~Child() { Stop(); }
    Child(const Child &) = delete;
    Child &operator=(const Child &) = delete;

    // `environment`: NAME=VALUE entries added to this process's own.
    bool Start(const std::string &program, const std::vector<std::string> &args, const std::string &logFile,
               const std::vector<std::string> &environment = {});
    // Waits until the log holds a line starting with `prefix`; false when
    // the child ends or `wait` passes first.
    bool WaitForLine(const std::string &prefix, Milliseconds wait);
    // SIGTERM, then SIGKILL if the child has not ended within two seconds.
    // Returns its exit code, or -1 when it had to be killed or was not running.
    int Stop();
    bool Running() const { return pid_ > 0; }
    std::string Log() const;

private:
    pid_t pid_ = -1;
    std::string log_;
};

// A loopback port nobody listens on right now (bound to port 0, then freed).
uint16_t FreeTcpPort();
uint16_t FreeUdpPort();

// A directory under the temporary directory, removed with everything in it.
struct TempDir {
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    std::string File(const std::string &name) const { return path + "/" + name; }
    std::string path;
};

void WriteFile(const std::string &path, const std::string &text);

// A printer's PJL port on 127.0.0.1: a thread accepts each connection,
// reads the poll's query (up to its closing universal exit language
// sequence) and hands both to the behaviour, then closes the connection.
class FakePrinter {
public:
    using Behaviour = std::function<void(int connection, const std::string &query)>;
    explicit FakePrinter(Behaviour behaviour);
    ~FakePrinter();
    FakePrinter(const FakePrinter &) = delete;
    FakePrinter &operator=(const FakePrinter &) = delete;
    uint16_t port() const { return port_; }
    std::string Target() const { return "tcp://127.0.0.1:" + std::to_string(port_); }

private:
    int listener_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Behaviour helpers: send everything (false once the peer is gone), and
// hold the connection open until the peer closes it (at most `wait`).
bool SendAll(int connection, const std::string &data);
void HoldUntilClosed(int connection, Milliseconds wait = 10s);

// A UDP socket on 127.0.0.1 that never answers: an SNMP agent that is
// there but silent.
class SilentUdp {
public:
    SilentUdp();
    ~SilentUdp();
    SilentUdp(const SilentUdp &) = delete;
    SilentUdp &operator=(const SilentUdp &) = delete;
    uint16_t port() const { return port_; }

private:
    int socket_ = -1;
    uint16_t port_ = 0;
};

}  // namespace patmontest
