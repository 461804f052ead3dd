#include "transport.h"

#include <sstream>

#include "net.h"
#include "printer_source.h"
#include "snmp.h"

namespace patmon {

namespace {

// The command lines of a PJL text that the printer answers.
std::vector<std::string> AnsweredCommands(const std::string &query) {
    std::vector<std::string> commands;
    std::istringstream lines(query);
    for (std::string line; std::getline(lines, line);) {
        const size_t at = line.find("@PJL ");
        if (at == std::string::npos) continue;
        line.erase(0, at);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        std::istringstream words(line);
        std::string prefix, command, category;
        words >> prefix >> command >> category;
        if ((command == "INFO" || command == "INQUIRE") && !category.empty()) {
            commands.push_back(prefix + " " + command + " " + category);
        }
    }
    return commands;
}

class Virtual : public Transport {
public:
    explicit Virtual(std::shared_ptr<PrinterSource> source) : source_(std::move(source)) {}
    bool CanReadDeviceId() const override { return true; }
    Exchange Ask(const std::string &pjl, bool wantDeviceId, std::chrono::milliseconds timeout) override {
        Exchange exchange;
        const PrinterModel printer = source_->Current();
        if (!printer.answers) {
            exchange.problem = "the printer did not answer within " + std::to_string(timeout.count()) + " ms";
            return exchange;
        }
        exchange.answered = true;
        exchange.replies = RepliesTo(printer, pjl);
        if (wantDeviceId) exchange.deviceId = DeviceIdOf(printer);
        return exchange;
    }

private:
    std::shared_ptr<PrinterSource> source_;
};

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
            exchange.problem = error;
            return exchange;
        }
        if (!net::SendAll(s, pjl, deadline)) {
            exchange.problem = "cannot send the query to " + where;
        } else {
            exchange.problem = CollectReplies(
                pjl, [&](char *buffer, size_t size) { return net::Receive(s, buffer, size, deadline); },
                &exchange.replies);
        }
        net::Close(s);
        if (!exchange.problem.empty()) {
            exchange.problem = "printer at " + where + ": " + exchange.problem;
            return exchange;
        }
        if (wantDeviceId) {
            std::string snmpError;
            exchange.deviceId = ReadDeviceId(*snmp_, deadline, &snmpError);
            if (!exchange.deviceId) {
                exchange.problem = snmpError;
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

std::string CollectReplies(const std::string &query, const std::function<long(char *, size_t)> &receive,
                           std::string *replies) {
    char buffer[16384];
    while (!RepliesComplete(query, *replies)) {
        const long n = receive(buffer, sizeof buffer);
        if (n == -2) return replies->empty() ? "no answer in time" : "the replies stopped before they were complete";
        if (n == 0) return "the connection closed before the replies were complete";
        if (n < 0) return "reading the replies failed";
        if (replies->size() + static_cast<size_t>(n) > kMaxReplyBytes) return "more than 1 MB of replies";
        replies->append(buffer, static_cast<size_t>(n));
    }
    return {};
}

bool RepliesComplete(const std::string &query, const std::string &replies) {
    for (const std::string &command : AnsweredCommands(query)) {
        bool found = false;
        for (size_t at = replies.find(command); at != std::string::npos && !found;
             at = replies.find(command, at + 1)) {
            const size_t end = at + command.size();
            // The echo must be the whole command, not the start of a longer one.
            if (end < replies.size() && replies[end] != '\r' && replies[end] != '\n') continue;
            found = replies.find('\f', end) != std::string::npos;
        }
        if (!found) return false;
    }
    return true;
}

std::optional<std::pair<std::string, uint16_t>> ParseHostPort(const std::string &text, uint16_t defaultPort) {
    std::string host = text, port;
    if (!text.empty() && text[0] == '[') {
        const size_t close = text.find(']');
        if (close == std::string::npos) return std::nullopt;
        host = text.substr(1, close - 1);
        if (close + 1 < text.size()) {
            if (text[close + 1] != ':') return std::nullopt;
            port = text.substr(close + 2);
        }
    } else if (const size_t colon = text.rfind(':'); colon != std::string::npos) {
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
        if (host.find(':') != std::string::npos) return std::nullopt;  // IPv6 needs brackets
    }
    if (host.empty()) return std::nullopt;
    if (port.empty() && text.find(':') == std::string::npos) return std::make_pair(host, defaultPort);
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
    if (text.rfind("usb:", 0) == 0 && text.size() > 4) {
        target.kind = Target::Kind::Usb;
        target.device = text.substr(4);
        return target;
    }
    *error = "unknown target \"" + text + "\" (virtual[:SCENARIO], tcp://HOST[:PORT] or usb:DEVICE)";
    return std::nullopt;
}

std::unique_ptr<Transport> VirtualTransport(PrinterModel printer) {
    return std::make_unique<Virtual>(std::make_shared<PrinterSource>(std::move(printer)));
}

std::unique_ptr<Transport> VirtualTransport(std::shared_ptr<PrinterSource> source) {
    return std::make_unique<Virtual>(std::move(source));
}

std::unique_ptr<Transport> TcpTransport(const Target &target, std::optional<SnmpSource> snmp) {
    return std::make_unique<Tcp>(target, std::move(snmp));
}

}  // namespace patmon
