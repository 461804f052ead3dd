// usb:DEVICE — a printer on the Linux USB printer class driver
// (/dev/usb/lpN): the device ID by ioctl, PJL by write and read.
#include "transports/usb.h"

#include "transports/reply_exchange.h"

#include <optional>

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

// The driver's request for the IEEE 1284 device ID into a buffer of `len`.
#define LPIOC_GET_DEVICE_ID(len) _IOC(_IOC_READ, 'P', 1, len)
#endif

namespace patmon {

std::optional<std::string> DeviceIdFromIoctl(const unsigned char *buffer, size_t size) {
    // The length counts its own two bytes and is big-endian; some devices
    // send it little-endian, so a length that cannot be right is tried
    // the other way round.
    if (size < 2) return std::nullopt;
    auto plausible = [size](size_t length) { return length >= 14 && length <= size; };
    size_t length = static_cast<size_t>(buffer[0]) << 8 | buffer[1];
    if (!plausible(length)) length = static_cast<size_t>(buffer[1]) << 8 | buffer[0];
    if (!plausible(length)) return std::nullopt;
    const char *text = reinterpret_cast<const char *>(buffer + 2);
    size_t n = 0;
    while (n < length - 2 && text[n] != '\0') ++n;
    return std::string(text, n);
}

#ifndef _WIN32

namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsUntil(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(left);
}

class Usb : public Transport {
public:
    explicit Usb(std::string device) : device_(std::move(device)) {}
    bool CanReadDeviceId() const override { return true; }
    Exchange Ask(const std::string &pjl, bool wantDeviceId, std::chrono::milliseconds timeout) override {
        const auto deadline = Clock::now() + timeout;
        Exchange exchange;
        const int fd = open(device_.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            exchange.problem = "the USB device " + device_ + " cannot be opened: " + std::strerror(errno);
            return exchange;
        }
        if (wantDeviceId) {
            unsigned char buffer[1024] = {};
            if (ioctl(fd, LPIOC_GET_DEVICE_ID(sizeof buffer), buffer) < 0) {
                exchange.problem = "the USB device " + device_ + " gives no device ID: " + std::strerror(errno);
            } else if (!(exchange.deviceId = DeviceIdFromIoctl(buffer, sizeof buffer))) {
                exchange.problem = "the USB device " + device_ + " gives a device ID of nonsense length";
            }
        }
        if (exchange.problem.empty()) exchange.problem = Talk(fd, pjl, deadline, &exchange.replies);
        close(fd);
        exchange.answered = exchange.problem.empty();
        return exchange;
    }

private:
    std::string Talk(int fd, const std::string &pjl, Clock::time_point deadline, std::string *replies) {
        for (size_t sent = 0; sent < pjl.size();) {
            pollfd entry{fd, POLLOUT, 0};
            if (poll(&entry, 1, MillisecondsUntil(deadline)) <= 0) return device_ + " does not take the query";
            const ssize_t n = write(fd, pjl.data() + sent, pjl.size() - sent);
            if (n < 0 && errno != EAGAIN && errno != EINTR) return device_ + ": " + std::strerror(errno);
            if (n > 0) sent += static_cast<size_t>(n);
        }
        const std::string problem = CollectReplies(
            pjl,
            [&](char *buffer, size_t size) -> long {
                for (;;) {
                    pollfd entry{fd, POLLIN, 0};
                    const int ready = poll(&entry, 1, MillisecondsUntil(deadline));
                    if (ready == 0) return -2;
                    if (ready < 0 && errno != EINTR) return -1;
                    const ssize_t n = read(fd, buffer, size);
                    if (n >= 0 || (errno != EAGAIN && errno != EINTR)) return n;
                }
            },
            replies);
        return problem.empty() ? problem : device_ + ": " + problem;
    }

    std::string device_;
};

}  // namespace

std::unique_ptr<Transport> UsbTransport(const Target &target) { return std::make_unique<Usb>(target.device); }

#else

namespace {
class NoUsb : public Transport {
public:
    bool CanReadDeviceId() const override { return false; }
    Exchange Ask(const std::string &, bool, std::chrono::milliseconds) override {
        Exchange exchange;
        exchange.problem = "usb targets are read through the Linux printer class driver only";
        return exchange;
    }
};
}  // namespace

std::unique_ptr<Transport> UsbTransport(const Target &) { return std::make_unique<NoUsb>(); }

#endif

}  // namespace patmon
