#include "cli/session.h"

#include "poll/languages.h"
#include "simulator/virtual_transport.h"
#include "transports/usb.h"

namespace patmon {

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

PollResult Session::Poll(PrinterRecord &record) const {
    PollResult result = patmon::Poll(*transport, record, options, textLanguage);
    if (!note.empty()) result.problem += (result.problem.empty() ? "" : "; ") + note;
    return result;
}

}  // namespace patmon
