#include "transports/transport.h"

#include "transports/net.h"
#include "transports/reply_exchange.h"
#include "transports/snmp.h"

namespace patmon {

namespace {

class Tcp : public Transport {
public:
    Tcp(Target target, std::optional<SnmpSource> snmp) : target_(std::move(target)), snmp_(std::move(snmp)) {}
    bool CanReadDeviceId() const override { return snmp_.has_value() && SnmpAvailable(); }
    Exchange Ask(const std::string &pjl, bool wantDeviceId, std::chrono::milliseconds timeout) override {
        const auto deadline = net::Clock::now() + timeout;
        Exchange exchange;
        const std::string where = target_.host + ":" + std::to_string(target_.port);
        std::string error;
        net::Socket s = net::Connect(target_.host, target_.port, deadline, &error);
        if (s == net::kNoSocket) {
            // A failed lookup says so itself; anything else is the PJL port's.
            exchange.problem = error.rfind("the name lookup", 0) == 0 ? error : "the printer's PJL port: " + error;
            return exchange;
        }
        if (!net::SendAll(s, pjl, deadline)) {
            exchange.problem = "the query could not be sent";
        } else {
            exchange.problem = CollectReplies(
                pjl, [&](char *buffer, size_t size) { return net::Receive(s, buffer, size, deadline); },
                &exchange.replies);
        }
        net::Close(s);
        if (!exchange.problem.empty()) {
            exchange.problem = "the printer's PJL port at " + where + ": " + exchange.problem;
            return exchange;
        }
        if (wantDeviceId) {
            std::string snmpError;
            exchange.deviceId = ReadDeviceId(*snmp_, deadline, &snmpError);
            if (!exchange.deviceId) {
                // The PJL port answered: the device ID's agent is what failed
                // (its address, port or community).
                exchange.problem = snmpError + " (check the agent's address, port and community); the printer's PJL "
                                               "port at " + where + " answered";
                return exchange;
            }
        }
        exchange.answered = true;
        return exchange;
    }

private:
    Target target_;
    std::optional<SnmpSource> snmp_;
};

}  // namespace

PollResult Poll(Transport &transport, PrinterRecord &record, const PollOptions &options,
                const std::string &language) {
    const auto ask = [&](const std::string &pjl, bool wantDeviceId) {
        return transport.Ask(pjl, wantDeviceId, options.timeout);
    };
    return Poll(ask, transport.CanReadDeviceId(), record, options, language);
}

std::optional<std::pair<std::string, uint16_t>> ParseHostPort(const std::string &text, uint16_t defaultPort) {
    std::string host = text, port;
    bool portGiven = false;  // a ':' after the host: a port must follow
    if (!text.empty() && text[0] == '[') {
        const size_t close = text.find(']');
        if (close == std::string::npos) return std::nullopt;
        host = text.substr(1, close - 1);
        if (close + 1 < text.size()) {
            if (text[close + 1] != ':') return std::nullopt;
            port = text.substr(close + 2);
            portGiven = true;
        }
    } else if (const size_t colon = text.rfind(':'); colon != std::string::npos) {
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
        portGiven = true;
        if (host.find(':') != std::string::npos) return std::nullopt;  // IPv6 needs brackets
    }
    // A name made only of dots names no host (and breaks every URL it is put in).
    if (host.empty() || host.find_first_not_of('.') == std::string::npos) return std::nullopt;
    if (!portGiven) return std::make_pair(host, defaultPort);
    if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    const unsigned long value = std::stoul(port);
    if (value == 0 || value > 65535) return std::nullopt;
    return std::make_pair(host, static_cast<uint16_t>(value));
}

std::optional<Target> ParseTarget(const std::string &text, std::string *error) {
    Target target;
    if (text == "virtual" || text.rfind("virtual:", 0) == 0) {
        target.kind = Target::Kind::Virtual;
        if (text.size() > 8) target.scenario = text.substr(8);
        return target;
    }
    if (text.rfind("tcp://", 0) == 0) {
        std::string rest = text.substr(6);
        if (!rest.empty() && rest.back() == '/') rest.pop_back();
        const auto hostPort = ParseHostPort(rest, 9100);
        if (!hostPort) {
            *error = "bad tcp target \"" + text + "\" (tcp://HOST[:PORT])";
            return std::nullopt;
        }
        target.kind = Target::Kind::Tcp;
        std::tie(target.host, target.port) = *hostPort;
        return target;
    }
    if (text.rfind("snmp://", 0) == 0) {
        std::string rest = text.substr(7);
        if (!rest.empty() && rest.back() == '/') rest.pop_back();
        const auto hostPort = ParseHostPort(rest, 161);
        if (!hostPort) {
            *error = "bad snmp target \"" + text + "\" (snmp://HOST[:PORT])";
            return std::nullopt;
        }
        target.kind = Target::Kind::Snmp;
        std::tie(target.host, target.port) = *hostPort;
        return target;
    }
    if (text.rfind("usb:", 0) == 0 && text.size() > 4) {
        target.kind = Target::Kind::Usb;
        target.device = text.substr(4);
        return target;
    }
    *error = "unknown target \"" + text + "\" (virtual[:SCENARIO], tcp://HOST[:PORT], snmp://HOST[:PORT] or usb:DEVICE)";
    return std::nullopt;
}

std::string SnmpSourceProblem(const SnmpSource &source) {
    if (source.version != 1 && source.version != 2 && source.version != 3) {
        return "the SNMP version must be 1, 2c or 3";
    }
    if (source.version != 3) {
        if (!source.user.empty() || !source.auth.empty() || !source.priv.empty()) {
            return "a user, --auth and --priv need SNMP version 3";
        }
        return {};
    }
    if (source.user.empty()) return "SNMP version 3 needs a user";
    static const char *const kAuth[] = {"MD5", "SHA", "SHA-224", "SHA-256", "SHA-384", "SHA-512"};
    static const char *const kPriv[] = {"DES", "AES"};
    auto check = [](const std::string &setting, const char *name, auto &protocols) -> std::string {
        if (setting.empty()) return {};
        const size_t colon = setting.find(':');
        const std::string protocol = setting.substr(0, colon);
        bool known = false;
        std::string list;
        for (const char *p : protocols) {
            known = known || protocol == p;
            list += (list.empty() ? "" : ", ") + std::string(p);
        }
        if (colon == std::string::npos || !known) {
            return std::string(name) + " must be PROTOCOL:PASSPHRASE with PROTOCOL one of " + list;
        }
        if (setting.size() - colon - 1 < 8) return std::string(name) + " passphrase must have at least 8 characters";
        return {};
    };
    if (std::string problem = check(source.auth, "--auth", kAuth); !problem.empty()) return problem;
    if (std::string problem = check(source.priv, "--priv", kPriv); !problem.empty()) return problem;
    if (!source.priv.empty() && source.auth.empty()) return "--priv needs --auth (privacy without authentication does not exist)";
    return {};
}

std::unique_ptr<Transport> TcpTransport(const Target &target, std::optional<SnmpSource> snmp) {
    return std::make_unique<Tcp>(target, std::move(snmp));
}

}  // namespace patmon
