#include "harness.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

extern char **environ;

namespace patmontest {

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char *kUel = "\x1b%-12345X";

int MillisecondsUntil(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<Milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(left);
}

std::vector<char *> Argv(const std::string &program, const std::vector<std::string> &args) {
    std::vector<char *> argv{const_cast<char *>(program.c_str())};
    for (const std::string &arg : args) argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);
    return argv;
}

// Status of an ended child: its exit code, or -1 after a signal.
int ExitCode(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

uint16_t BoundPort(int s) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    getsockname(s, reinterpret_cast<sockaddr *>(&address), &length);
    return ntohs(address.sin_port);
}

// A socket of `type` bound to 127.0.0.1 on a port the system picks.
int BindLoopback(int type, uint16_t *port) {
    const int s = socket(AF_INET, type | SOCK_CLOEXEC, 0);
    if (s < 0) return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(s, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        close(s);
        return -1;
    }
    *port = BoundPort(s);
    return s;
}

uint16_t FreePort(int type) {
    uint16_t port = 0;
    const int s = BindLoopback(type, &port);
    if (s >= 0) close(s);
    return port;
}

// Reads a poll's query: everything up to its closing universal exit
// language sequence (the query opens with one too).
std::string ReadQuery(int connection) {
    std::string query;
    const auto deadline = Clock::now() + 5s;
    char buffer[4096];
    auto sequences = [&query] {
        size_t count = 0;
        for (size_t at = query.find(kUel); at != std::string::npos; at = query.find(kUel, at + 1)) ++count;
        return count;
    };
    while (sequences() < 2) {
        pollfd entry{connection, POLLIN, 0};
        if (poll(&entry, 1, MillisecondsUntil(deadline)) <= 0) break;
        const ssize_t n = recv(connection, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        query.append(buffer, static_cast<size_t>(n));
    }
    return query;
}

}  // namespace

RunResult Run(const std::string &program, const std::vector<std::string> &args, Milliseconds limit) {
    RunResult result;
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0) return result;
    if (pipe2(err, O_CLOEXEC) != 0) {
        close(out[0]);
        close(out[1]);
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    std::vector<char *> argv = Argv(program, args);
    const auto started = Clock::now();
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    if (spawned != 0) {
        close(out[0]);
        close(err[0]);
        result.err = "cannot start " + program;
        return result;
    }
    const auto deadline = started + limit;
    std::string *sinks[2] = {&result.out, &result.err};
    pollfd entries[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    int open = 2;
    char buffer[8192];
    while (open > 0) {
        const int ready = poll(entries, 2, result.timedOut ? 1000 : MillisecondsUntil(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) {
            if (result.timedOut) break;  // killed, yet something keeps the pipes open
            result.timedOut = true;
            kill(pid, SIGKILL);
            continue;
        }
        for (int i = 0; i < 2; ++i) {
            if (entries[i].fd < 0 || entries[i].revents == 0) continue;
            const ssize_t n = read(entries[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                close(entries[i].fd);
                entries[i].fd = -1;
                --open;
            }
        }
    }
    for (const pollfd &entry : entries) {
        if (entry.fd >= 0) close(entry.fd);
    }
    int status = 0;
    if (result.timedOut) kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    result.elapsed = std::chrono::duration_cast<Milliseconds>(Clock::now() - started);
    result.exitCode = result.timedOut ? -1 : ExitCode(status);
    return result;
}

RunResult RunPatmon(const std::vector<std::string> &args, Milliseconds limit) {
    return Run(PATMON_PROGRAM, args, limit);
}

bool Child::Start(const std::string &program, const std::vector<std::string> &args, const std::string &logFile,
                  const std::vector<std::string> &environment) {
    Stop();
    log_ = logFile;
    const int log = open(logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (log < 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, log, 1);
    posix_spawn_file_actions_adddup2(&actions, log, 2);
    std::vector<char *> env;
    for (char **e = environ; *e != nullptr; ++e) env.push_back(*e);
    for (const std::string &entry : environment) env.push_back(const_cast<char *>(entry.c_str()));
    env.push_back(nullptr);
    std::vector<char *> argv = Argv(program, args);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    close(log);
    pid_ = spawned == 0 ? pid : -1;
    return spawned == 0;
}

std::string Child::Log() const {
    std::ifstream in(log_);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool Child::WaitForLine(const std::string &prefix, Milliseconds wait) {
    const auto deadline = Clock::now() + wait;
    for (;;) {
        std::istringstream lines(Log());
        for (std::string line; std::getline(lines, line);) {
            if (line.rfind(prefix, 0) == 0) return true;
        }
        int status = 0;
        if (pid_ <= 0 || waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return false;
        }
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(20ms);
    }
}

int Child::Stop() {
    if (pid_ <= 0) return -1;
    kill(pid_, SIGTERM);
    int status = 0;
    const auto deadline = Clock::now() + 2s;
    pid_t ended = 0;
    while ((ended = waitpid(pid_, &status, WNOHANG)) == 0 && Clock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
    }
    if (ended == 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
        status = -1;
    }
    pid_ = -1;
    return status == -1 ? -1 : ExitCode(status);
}

uint16_t FreeTcpPort() { return FreePort(SOCK_STREAM); }
uint16_t FreeUdpPort() { return FreePort(SOCK_DGRAM); }

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "patmon-test-XXXXXX").string();
    path = mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
}

TempDir::~TempDir() {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
}

void WriteFile(const std::string &path, const std::string &text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

FakePrinter::FakePrinter(Behaviour behaviour) {
    listener_ = BindLoopback(SOCK_STREAM, &port_);
    if (listener_ < 0 || listen(listener_, 8) != 0) return;
    thread_ = std::thread([this, behaviour = std::move(behaviour)] {
        while (!stop_.load()) {
            pollfd entry{listener_, POLLIN, 0};
            if (poll(&entry, 1, 100) <= 0) continue;
            const int connection = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (connection < 0) continue;
            const std::string query = ReadQuery(connection);
            behaviour(connection, query);
            close(connection);
        }
    });
}

FakePrinter::~FakePrinter() {
    stop_.store(true);
    if (thread_.joinable()) thread_.join();
    if (listener_ >= 0) close(listener_);
}

bool SendAll(int connection, const std::string &data) {
    for (size_t sent = 0; sent < data.size();) {
        const ssize_t n = send(connection, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

void HoldUntilClosed(int connection, Milliseconds wait) {
    const auto deadline = Clock::now() + wait;
    char buffer[4096];
    for (;;) {
        pollfd entry{connection, POLLIN, 0};
        if (poll(&entry, 1, MillisecondsUntil(deadline)) <= 0) return;
        if (recv(connection, buffer, sizeof buffer, 0) <= 0) return;
    }
}

SilentUdp::SilentUdp() { socket_ = BindLoopback(SOCK_DGRAM, &port_); }

SilentUdp::~SilentUdp() {
    if (socket_ >= 0) close(socket_);
}

}  // namespace patmontest
