// Transports: how a poll's questions reach a printer and its answers come
// back. A transport sends the library's PJL text, collects the replies
// until every category asked has its reply ended by a form feed, and reads
// the device ID; the poll turns what comes back into an answer tree.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "printer_model.h"

namespace patmon {

struct Exchange {
    bool answered = false;  // false: nothing usable came back in time
    std::string replies;    // every byte of PJL reply received
    std::optional<std::string> deviceId;
    std::string problem;    // why it was not answered, or what was left out
};

class Transport {
public:
    virtual ~Transport() = default;
    // Whether a device ID can be had; a poll leaves the device-ID request
    // out of its query otherwise.
    virtual bool CanReadDeviceId() const = 0;
    virtual Exchange Ask(const std::string &pjl, bool wantDeviceId, std::chrono::milliseconds timeout) = 0;
};

// Most bytes taken from a printer in one poll.
constexpr size_t kMaxReplyBytes = 1 << 20;

// True once every INFO or INQUIRE category of `query` has its echoed
// command line in `replies` with a form feed somewhere after it.
bool RepliesComplete(const std::string &query, const std::string &replies);

// Reads replies with `receive` (as net::Receive answers) until they are
// complete for `query`; returns what went wrong, empty when complete.
std::string CollectReplies(const std::string &query, const std::function<long(char *, size_t)> &receive,
                           std::string *replies);

// What a TARGET names: "virtual[:SCENARIO]", "tcp://HOST[:PORT]" or
// "usb:DEVICE".
struct Target {
    enum class Kind { Virtual, Tcp, Usb } kind = Kind::Virtual;
    std::string scenario = "ready";  // virtual: a built-in name or a scenario file
    std::string host;                // tcp
    uint16_t port = 9100;            // tcp
    std::string device;              // usb
};
// Parses a target; nullopt with `error` set for a malformed one.
std::optional<Target> ParseTarget(const std::string &text, std::string *error);
// Parses "HOST[:PORT]" (IPv6 in brackets); nullopt when malformed.
std::optional<std::pair<std::string, uint16_t>> ParseHostPort(const std::string &text, uint16_t defaultPort);

struct SnmpSource {
    std::string host;
    uint16_t port = 161;
    std::string community = "public";
};

class PrinterSource;
std::unique_ptr<Transport> VirtualTransport(PrinterModel printer);
// Follows a scenario file as it changes (see PrinterSource).
std::unique_ptr<Transport> VirtualTransport(std::shared_ptr<PrinterSource> source);
// `snmp` empty: no SNMP (the device ID then comes from `deviceId` or not at all).
std::unique_ptr<Transport> TcpTransport(const Target &target, std::optional<SnmpSource> snmp);
std::unique_ptr<Transport> UsbTransport(const Target &target);

}  // namespace patmon
