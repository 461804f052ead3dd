#include "cli/commands.h"

#include <chrono>
#include <ctime>
#include <iostream>
#include <map>
#include <thread>

#include "outputs/json_output.h"
#include "outputs/picture.h"
#include "poll/poll.h"
#include "simulator/virtual_transport.h"
#include "cli/report.h"
#include "transports/transport.h"

namespace patmon {

namespace {

// Everything a poll command needs, checked before the first poll.
struct Session {
    std::unique_ptr<Transport> transport;
    PollOptions options;
};

// Builds the session; returns an exit status on a usage error.
std::optional<int> Prepare(const PollCommand &command, Session *session) {
    auto usage = [](const std::string &message) {
        std::cerr << "patmon: " << message << "\n";
        return std::optional<int>(kExitUsage);
    };
    if (!PatSetLocale(command.language.c_str())) return usage("unknown language \"" + command.language + "\"");
    if (!(command.timeoutSeconds > 0 && command.timeoutSeconds <= 3600)) return usage("--timeout must be 0 to 3600 s");
    session->options.timeout =
        std::chrono::milliseconds(static_cast<long long>(command.timeoutSeconds * 1000 + 0.5));
    session->options.deviceId = command.deviceId;
    std::string error;
    const std::optional<Target> target = ParseTarget(command.target, &error);
    if (!target) return usage(error);
    switch (target->kind) {
        case Target::Kind::Virtual: {
            auto source = std::make_shared<PrinterSource>(target->scenario);
            if (!source->Load(&error)) return usage(error);
            session->transport = VirtualTransport(source);
            break;
        }
        case Target::Kind::Tcp: {
            SnmpSource snmp{target->host, 161, command.community};
            if (!command.snmp.empty()) {
                const auto hostPort = ParseHostPort(command.snmp, 161);
                if (!hostPort) return usage("bad --snmp address \"" + command.snmp + "\"");
                std::tie(snmp.host, snmp.port) = *hostPort;
            }
            session->transport = TcpTransport(*target, snmp);
            break;
        }
        case Target::Kind::Usb:
            session->transport = UsbTransport(*target);
            break;
    }
    return std::nullopt;
}

void PrintText(const PollResult &result, const PrinterRecord &record, const std::string &language) {
    std::cout << TerminalText(result.label) << "\n" << TerminalText(result.message, true) << "\n\n";
    for (const std::string &line : SummaryLines(result, record, language)) std::cout << line << "\n";
}

// The picture file, when asked for; false (and a message) if it cannot be written.
bool WritePicture(const PollCommand &command, const PollResult &result) {
    if (command.picture.empty()) return true;
    std::vector<std::string> missing;
    const Image image = ComposePicture(result.picture, &missing);
    for (const std::string &name : missing) std::cerr << "patmon: bitmap " << name << " did not load\n";
    std::string error;
    if (!WritePng(image, command.picture, &error)) {
        std::cerr << "patmon: " << error << "\n";
        return false;
    }
    return true;
}

std::string Now() {
    const std::time_t now = std::time(nullptr);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", std::localtime(&now));
    return text;
}

}  // namespace

int RunPoll(const PollCommand &command) {
    Session session;
    if (std::optional<int> status = Prepare(command, &session)) return *status;
    PrinterRecord record;
    const PollResult result = Poll(*session.transport, record, session.options, command.language);
    if (command.json) {
        std::cout << ResultJson(result, record) << "\n";
    } else {
        PrintText(result, record, command.language);
    }
    const bool pictureWritten = WritePicture(command, result);
    if (!result.responded) {
        std::cerr << "patmon: " << TerminalText(result.problem) << "\n";
        return kExitNotPolled;
    }
    return pictureWritten ? kExitOk : kExitNotPolled;
}

int RunWatch(const PollCommand &command, const std::atomic<bool> &stop) {
    Session session;
    if (std::optional<int> status = Prepare(command, &session)) return *status;
    if (!(command.intervalSeconds >= 0.1)) {
        std::cerr << "patmon: --interval must be at least 0.1 s\n";
        return kExitUsage;
    }
    if (command.count < 0) {
        std::cerr << "patmon: --count must be 0 (no end) or more\n";
        return kExitUsage;
    }
    PrinterRecord record;
    std::vector<std::string> shown;
    bool lastResponded = true;
    for (long polls = 0; !stop.load() && (command.count == 0 || polls < command.count); ++polls) {
        const auto started = std::chrono::steady_clock::now();
        const PollResult result = Poll(*session.transport, record, session.options, command.language);
        std::vector<std::string> lines{"label: " + TerminalText(result.label),
                                       "message: " + TerminalText(result.message, true)};
        for (const std::string &line : SummaryLines(result, record, command.language)) lines.push_back(line);
        // Only lines that are new or changed since the last poll.
        std::map<std::string, bool> before;
        for (const std::string &line : shown) before[line] = true;
        bool header = false;
        for (const std::string &line : lines) {
            if (before.count(line) != 0) continue;
            if (!header) std::cout << "== " << Now() << "\n";
            header = true;
            std::cout << line << "\n";
        }
        std::cout.flush();
        shown = lines;
        if (!result.responded && lastResponded) std::cerr << "patmon: " << TerminalText(result.problem) << "\n";
        lastResponded = result.responded;
        const auto next = started + std::chrono::milliseconds(static_cast<long long>(command.intervalSeconds * 1000));
        while (!stop.load() && std::chrono::steady_clock::now() < next &&
               (command.count == 0 || polls + 1 < command.count)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    return lastResponded ? kExitOk : kExitNotPolled;
}

int RunScenarios() {
    for (const Scenario &scenario : BuiltInScenarios()) {
        std::cout << scenario.name << std::string(20 - std::min<size_t>(19, std::string(scenario.name).size()), ' ')
                  << scenario.summary << "\n";
    }
    return kExitOk;
}

}  // namespace patmon
