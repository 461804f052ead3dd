// Transports: how a poll's questions reach a printer and its answers come
// back. A transport sends the library's PJL text, collects the replies
// until every category asked has its reply ended by a form feed, and reads
// the device ID; the poll turns what comes back into an answer tree.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "poll/poll.h"

namespace patmon {

class Transport {
public:
    virtual ~Transport() = default;
    // Whether a device ID can be had; a poll leaves the device-ID request
    // out of its query otherwise.
    virtual bool CanReadDeviceId() const = 0;
    virtual Exchange Ask(const std::string &pjl, bool wantDeviceId, std::chrono::milliseconds timeout) = 0;
};

// Polls once into `record` through `transport` (see the poll's Poll).
PollResult Poll(Transport &transport, PrinterRecord &record, const PollOptions &options,
                const std::string &language);

// What a TARGET names: "virtual[:SCENARIO]", "tcp://HOST[:PORT]",
// "snmp://HOST[:PORT]" (a printer of any maker, through the Printer MIB
// alone) or "usb:DEVICE".
struct Target {
    enum class Kind { Virtual, Tcp, Snmp, Usb } kind = Kind::Virtual;
    std::string scenario = "ready";  // virtual: a built-in name or a scenario file
    std::string host;                // tcp, snmp
    uint16_t port = 9100;            // tcp (9100), snmp (161)
    std::string device;              // usb
};
// Parses a target; nullopt with `error` set for a malformed one.
std::optional<Target> ParseTarget(const std::string &text, std::string *error);
// Parses "HOST[:PORT]" (IPv6 in brackets); nullopt when malformed.
std::optional<std::pair<std::string, uint16_t>> ParseHostPort(const std::string &text, uint16_t defaultPort);

// An SNMP agent and how to speak to it: v1 or v2c with a community, or v3
// with a user and, optionally, authentication and privacy
// ("SHA:passphrase", "AES:passphrase").
struct SnmpSource {
    std::string host;
    uint16_t port = 161;
    std::string community = "public";
    int version = 2;  // 1, 2 (v2c) or 3
    std::string user;
    std::string auth;  // PROTOCOL:PASSPHRASE (MD5, SHA, SHA-224, SHA-256, SHA-384, SHA-512); empty: none
    std::string priv;  // PROTOCOL:PASSPHRASE (DES, AES); empty: none
};

// Checks the version, user, auth and priv settings; empty when usable,
// else what is wrong.
std::string SnmpSourceProblem(const SnmpSource &source);

// `snmp` empty: no SNMP (the device ID then comes from `deviceId` or not at all).
std::unique_ptr<Transport> TcpTransport(const Target &target, std::optional<SnmpSource> snmp);
std::unique_ptr<Transport> UsbTransport(const Target &target);

}  // namespace patmon
