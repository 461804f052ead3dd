// The backend's device URI and the language of a job.
#include "cups/cups_backend.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "poll/languages.h"

namespace patmon {

namespace {

std::string PercentDecoded(const std::string &text, bool *ok) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size() || !std::isxdigit(static_cast<unsigned char>(text[i + 1])) ||
            !std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            *ok = false;
            return out;
        }
        out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
        i += 2;
    }
    return out;
}

}  // namespace

std::optional<DeviceUri> ParseDeviceUri(const std::string &uri, std::string *error) {
    // The options may hold the SNMP community: the message, which the print
    // system logs, shows the URI without them.
    const size_t query = uri.find('?');
    const std::string shown = OneLine(uri.substr(0, query)) + (query != std::string::npos ? "?..." : "");
    auto bad = [&](const std::string &why) {
        *error = "bad device URI \"" + shown + "\": " + why;
        return std::nullopt;
    };
    if (uri.rfind(kScheme, 0) != 0) return bad("it does not start with patprn:");
    DeviceUri result;
    const std::string rest = uri.substr(std::strlen(kScheme));
    if (rest.rfind("//", 0) != 0) {
        if (rest.rfind("/dev/", 0) != 0 || rest.size() <= 5 || rest.find_first_of("?#") != std::string::npos) {
            return bad("expected patprn://HOST[:PORT]/ or patprn:/dev/usb/lpN");
        }
        result.target.kind = Target::Kind::Usb;
        result.target.device = rest;
        return result;
    }
    const std::string authority = rest.substr(2, rest.find_first_of("/?", 2) - 2);
    std::string tail = rest.substr(2 + authority.size());
    if (!tail.empty() && tail[0] == '/') tail.erase(0, 1);
    if (!tail.empty() && tail[0] != '?') return bad("nothing may follow the printer's address but ?options");
    const auto hostPort = ParseHostPort(authority, 9100);
    if (!hostPort) return bad("expected HOST[:PORT] after patprn://");
    result.target.kind = Target::Kind::Tcp;
    std::tie(result.target.host, result.target.port) = *hostPort;
    SnmpSource snmp;
    snmp.host = result.target.host;

    std::istringstream options(tail.empty() ? "" : tail.substr(1));
    for (std::string option; std::getline(options, option, '&');) {
        if (option.empty()) continue;
        const size_t equals = option.find('=');
        bool ok = true;
        const std::string name = option.substr(0, equals);
        const std::string value = equals == std::string::npos ? "" : PercentDecoded(option.substr(equals + 1), &ok);
        if (!ok || value.empty()) return bad("option \"" + name + "\" needs a value");
        if (name == "snmp") {
            const auto address = ParseHostPort(value, 161);
            if (!address) return bad("snmp= expects HOST[:PORT]");
            std::tie(snmp.host, snmp.port) = *address;
        } else if (name == "community") {
            snmp.community = value;
        } else if (name == "lang") {
            std::string code;
            for (char c : value) code += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            if (!PatSetLocale(code.c_str())) return bad("unknown language \"" + value + "\"");
            result.language = code;
        } else if (name == "contimeout") {
            if (value.size() > 7 || value.find_first_not_of("0123456789") != std::string::npos || std::stol(value) == 0) {
                return bad("contimeout= expects seconds, 1 or more");
            }
            result.contimeout = std::chrono::seconds(std::stol(value));
        } else {
            return bad("unknown option \"" + name + "\" (snmp, community, lang, contimeout)");
        }
    }
    result.snmp = snmp;
    return result;
}

std::string LanguageOfLocale(const std::string &locale) {
    return LanguageCode(locale).value_or(kFallbackLanguage);
}

std::string JobLanguage() {
    for (const char *name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char *value = std::getenv(name);
        if (value != nullptr && *value != '\0') return LanguageOfLocale(value);
    }
    return "EN";
}

bool IsBackendInvocation(const char *argv0) {
    if (argv0 == nullptr) return false;
    const std::string name = argv0;
    if (name.rfind(kScheme, 0) == 0) return true;
    const size_t slash = name.rfind('/');
    return name.substr(slash == std::string::npos ? 0 : slash + 1) == "patprn";
}

}  // namespace patmon
