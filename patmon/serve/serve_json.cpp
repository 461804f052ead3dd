#include "serve/serve_json.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <fstream>
#include <set>

#include "outputs/json_output.h"
#include "outputs/json_keys.h"
#include "transports/transport.h"

namespace patmon {

namespace {

using Json = nlohmann::json;

// A name goes into URLs and metric labels as it is: one path segment of
// unreserved ASCII characters, and not "." or ".." (or any other name of
// dots only), which a browser or proxy would take for a move up the path.
bool GoodName(const std::string &name) {
    if (name.empty() || name.size() > 64) return false;
    if (name.find_first_not_of('.') == std::string::npos) return false;
    for (char c : name) {
        const bool ascii = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!ascii && c != '-' && c != '_' && c != '.') return false;
    }
    return true;
}

double Seconds(const Json &entry, const char *key, double fallback, double low, double high,
               const std::string &where) {
    if (!entry.contains(key)) return fallback;
    const double value = entry.at(key).get<double>();
    if (!(value >= low && value <= high)) {
        throw std::runtime_error(std::string(key) + " of " + where + " must be " + std::to_string(low) + " to " +
                                 std::to_string(high) + " s");
    }
    return value;
}

FleetPrinterConfig ReadPrinter(const Json &entry, const std::string &language, size_t index) {
    const std::string where = "printer " + std::to_string(index + 1);
    CheckKeys(entry,
              {"name", "target", "interval", "timeout", "mibInterval", "language", "snmp", "community", "snmpVersion",
               "user", "auth", "priv", "deviceId"},
              where);
    if (!entry.contains("name")) throw std::runtime_error(where + " has no name");
    if (!entry.contains("target")) throw std::runtime_error(where + " has no target");
    FleetPrinterConfig printer;
    printer.name = entry.at("name").get<std::string>();
    if (!GoodName(printer.name)) {
        throw std::runtime_error("bad printer name \"" + printer.name +
                                 "\" (1 to 64 letters, digits, '-', '_' or '.', not dots only)");
    }
    const std::string named = "printer \"" + printer.name + "\"";
    printer.target = entry.at("target").get<std::string>();
    std::string error;
    if (!ParseTarget(printer.target, &error)) throw std::runtime_error(named + ": " + error);
    printer.intervalSeconds = Seconds(entry, "interval", 10, 0.1, 86400, named);
    printer.timeoutSeconds = Seconds(entry, "timeout", 5, 0.05, 3600, named);
    printer.mibIntervalSeconds = Seconds(entry, "mibInterval", 60, 1, 86400, named);
    printer.language = entry.value("language", language);
    if (entry.contains("snmp")) {
        printer.snmp = entry.at("snmp").get<std::string>();
        if (!ParseHostPort(printer.snmp, 161)) throw std::runtime_error(named + ": bad snmp address");
    }
    printer.community = entry.value("community", printer.community);
    const std::string version = entry.value("snmpVersion", std::string("2c"));
    printer.snmpVersion = version == "1" ? 1 : version == "2c" ? 2 : version == "3" ? 3 : 0;
    printer.user = entry.value("user", std::string());
    printer.auth = entry.value("auth", std::string());
    printer.priv = entry.value("priv", std::string());
    SnmpSource check;
    check.version = printer.snmpVersion;
    check.user = printer.user;
    check.auth = printer.auth;
    check.priv = printer.priv;
    if (const std::string problem = SnmpSourceProblem(check); !problem.empty()) {
        throw std::runtime_error(named + ": " + (printer.snmpVersion == 0 ? "snmpVersion must be \"1\", \"2c\" or \"3\""
                                                                          : problem));
    }
    if (entry.contains("deviceId")) printer.deviceId = entry.at("deviceId").get<std::string>();
    return printer;
}

}  // namespace

std::optional<ServeConfig> ReadServeConfig(const std::string &path, std::string *error) {
    std::ifstream in(path);
    if (!in) {
        *error = "cannot read config file " + path;
        return std::nullopt;
    }
    try {
        const Json doc = Json::parse(in);
        CheckKeys(doc, {"listen", "language", "printers"}, "the config");
        ServeConfig config;
        config.listen = doc.value("listen", std::string());
        config.language = doc.value("language", std::string("EN"));
        if (!doc.contains("printers") || !doc.at("printers").is_array()) {
            throw std::runtime_error("the config needs a \"printers\" list");
        }
        std::set<std::string> names;
        for (const Json &entry : doc.at("printers")) {
            FleetPrinterConfig printer = ReadPrinter(entry, config.language, config.printers.size());
            if (!names.insert(printer.name).second) {
                throw std::runtime_error("duplicate printer name \"" + printer.name + "\"");
            }
            config.printers.push_back(std::move(printer));
        }
        return config;
    } catch (const std::exception &e) {
        *error = "config file " + path + ": " + e.what();
        return std::nullopt;
    }
}

std::string PrinterDocument(const std::string &name, const std::string &pollJson, double lastPoll,
                            const std::string &lastError) {
    // The fields go in front of the poll's object as text: parsing it again
    // would double the cost of every poll.
    const auto when = std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(std::chrono::duration<double>(lastPoll)));
    const Json extra = {{"name", name},
                        {"lastPoll", lastPoll},
                        {"lastError", lastError.empty() ? Json(nullptr) : Json(lastError)},
                        {"time", Rfc3339(when)}};
    std::string doc = extra.dump(-1, ' ', false, Json::error_handler_t::replace);
    doc.pop_back();  // the closing brace
    return doc + "," + pollJson.substr(1);
}

namespace {

// The supplies a card shows as bars.
Json SuppliesOf(const PrinterView &view) {
    Json list = Json::array();
    for (const PollSupply &s : view.supplies) {
        list.push_back({{"name", s.name},
                        {"colour", s.colour ? Json(*s.colour) : Json(nullptr)},
                        {"kind", s.kind},
                        {"levelPercent", s.levelPercent ? Json(*s.levelPercent) : Json(nullptr)},
                        {"state", s.state}});
    }
    return list;
}

}  // namespace

std::string CardsDocument(const std::vector<PrinterView> &views) {
    Json list = Json::array();
    for (const PrinterView &view : views) {
        list.push_back({{"name", view.name},
                        {"polled", view.polled},
                        {"responded", view.responded},
                        {"severity", view.severity},
                        {"supplies", SuppliesOf(view)},
                        {"attention", view.attention},
                        {"label", view.label},
                        {"message", view.message},
                        {"lastPoll", view.lastPoll},
                        {"lastError", view.lastError},
                        {"picture", view.pictureVersion},
                        {"nextPollIn", view.nextPollIn}});
    }
    return list.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace patmon
