#include "cups/job_sink.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "transports/net.h"

namespace patmon {

namespace {

using Clock = JobSink::Clock;

class TcpSink : public JobSink {
public:
    explicit TcpSink(const Target &target) : target_(target) {}
    ~TcpSink() override { net::Close(socket_); }
    bool Open(Clock::time_point deadline, std::string *error) override {
        socket_ = net::Connect(target_.host, target_.port, deadline, error);
        return socket_ != net::kNoSocket;
    }
    long Write(const char *data, size_t size, Clock::time_point deadline) override {
        pollfd entry{socket_, POLLOUT | POLLIN, 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        const int ready = poll(&entry, 1, left < 0 ? 0 : static_cast<int>(left));
        if (ready == 0) return -2;
        if (ready < 0) return errno == EINTR ? -2 : -1;
        if ((entry.revents & POLLIN) != 0) {
            // Whatever the printer says on its own (status lines) is not
            // for us; reading it keeps the printer from blocking on it.
            // The echo that confirms the job cannot come before its request
            // has been sent whole.
            char discard[4096];
            const ssize_t n = recv(socket_, discard, sizeof discard, MSG_DONTWAIT);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) return -1;
        }
        if ((entry.revents & (POLLERR | POLLHUP)) != 0) return -1;
        if ((entry.revents & POLLOUT) == 0) return -2;
        const ssize_t n = send(socket_, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? -2 : -1;
        return static_cast<long>(n);
    }
    Confirmation Confirm(const std::string &echo, Clock::time_point deadline) override {
        char buffer[4096];
        while (!failed_) {
            if (received_.find(echo) != std::string::npos) return Confirmation::Confirmed;
            const long n = net::Receive(socket_, buffer, sizeof buffer, deadline);
            if (n == -2) return Confirmation::Waiting;
            if (n <= 0) {
                failed_ = true;  // closed or reset before the echo came
                break;
            }
            received_.append(buffer, static_cast<size_t>(n));
            // Only the tail can still hold the start of the echo.
            if (received_.size() > 2 * kMaxKept) received_.erase(0, received_.size() - kMaxKept);
        }
        return Confirmation::Failed;
    }
    bool PollsWhileOpen() const override { return true; }

private:
    static constexpr size_t kMaxKept = 4096;
    Target target_;
    net::Socket socket_ = net::kNoSocket;
    std::string received_;
    bool failed_ = false;
};

class UsbSink : public JobSink {
public:
    explicit UsbSink(std::string device) : device_(std::move(device)) {}
    ~UsbSink() override {
        if (fd_ >= 0) close(fd_);
    }
    bool Open(Clock::time_point, std::string *error) override {
        fd_ = open(device_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0) *error = "cannot open " + device_ + ": " + std::strerror(errno);
        return fd_ >= 0;
    }
    long Write(const char *data, size_t size, Clock::time_point deadline) override {
        pollfd entry{fd_, POLLOUT, 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        const int ready = poll(&entry, 1, left < 0 ? 0 : static_cast<int>(left));
        if (ready <= 0) return ready == 0 || errno == EINTR ? -2 : -1;
        const ssize_t n = write(fd_, data, size);
        if (n < 0) return errno == EAGAIN || errno == EINTR ? -2 : -1;
        return static_cast<long>(n);
    }
    // The USB printer class driver's writes complete only once the printer
    // has taken the data; a close that reports no error ends the job.
    Confirmation Confirm(const std::string &, Clock::time_point) override {
        const bool closed = fd_ >= 0 && close(fd_) == 0;
        fd_ = -1;
        return closed ? Confirmation::Confirmed : Confirmation::Failed;
    }
    bool PollsWhileOpen() const override { return false; }

private:
    std::string device_;
    int fd_ = -1;
};

}  // namespace

std::unique_ptr<JobSink> JobSinkFor(const Target &target) {
    if (target.kind == Target::Kind::Tcp) return std::make_unique<TcpSink>(target);
    return std::make_unique<UsbSink>(target.device);
}

}  // namespace patmon
