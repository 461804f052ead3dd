#include "cli/session.h"

#include <algorithm>

#include "poll/languages.h"
#include "transports/mib_poll.h"
#include "simulator/virtual_transport.h"
#include "transports/usb.h"

namespace patmon {

namespace {

// The SNMP settings of the command line for an agent at `host`:`port`.
SnmpSource SnmpOf(const PollCommand &command, const std::string &host, uint16_t port) {
    SnmpSource snmp;
    snmp.host = host;
    snmp.port = port;
    snmp.community = command.community;
    snmp.version = command.snmpVersion == "1" ? 1 : command.snmpVersion == "3" ? 3
                   : command.snmpVersion == "2c" || command.snmpVersion == "2" ? 2 : 0;
    snmp.user = command.user;
    snmp.auth = command.auth;
    snmp.priv = command.priv;
    return snmp;
}

}  // namespace

std::optional<std::string> Session::Prepare(const PollCommand &command) {
    Session *session = this;
    auto usage = [](const std::string &message) { return std::optional<std::string>(message); };
    const std::optional<std::string> code = LanguageCode(command.language);
    if (!code) return usage("unknown language \"" + command.language + "\" (one of " + LanguageList() + ")");
    const Language &language = *FindLanguage(*code);
    session->language = language.code;
    session->textLanguage = language.hasTexts ? language.code : kFallbackLanguage;
    if (!language.hasTexts) {
        session->note = "the library has no " + std::string(language.name) + " texts: they are shown in English";
    }
    PatSetLocale(session->textLanguage.c_str());
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
            SnmpSource snmp = SnmpOf(command, target->host, 161);
            if (!command.snmp.empty()) {
                const auto hostPort = ParseHostPort(command.snmp, 161);
                if (!hostPort) return usage("bad --snmp address \"" + command.snmp + "\"");
                std::tie(snmp.host, snmp.port) = *hostPort;
            }
            if (std::string problem = SnmpSourceProblem(snmp); !problem.empty()) return usage(problem);
            session->transport = TcpTransport(*target, snmp);
            session->mib = snmp;
            break;
        }
        case Target::Kind::Snmp: {
            SnmpSource snmp = SnmpOf(command, target->host, target->port);
            if (std::string problem = SnmpSourceProblem(snmp); !problem.empty()) return usage(problem);
            session->mib = snmp;
            session->mibOnly = true;
            break;
        }
        case Target::Kind::Usb:
            session->transport = UsbTransport(*target);
            break;
    }
    return std::nullopt;
}

PollResult Session::Poll(PrinterRecord &record) const {
    if (mibOnly) return PollPrinterMib(*mib, options.timeout);
    const auto deadline = std::chrono::steady_clock::now() + options.timeout;
    PollResult result = patmon::Poll(*transport, record, options, textLanguage);
    // The MIB gets what time the poll left, and at least a second.
    if (mib) AddPrinterMib(*mib, std::max(deadline, std::chrono::steady_clock::now() + std::chrono::seconds(1)), result);
    if (!note.empty()) result.problem += (result.problem.empty() ? "" : "; ") + note;
    return result;
}

}  // namespace patmon
