#include "simulator/scenario_file.h"

#include <cstdint>
#include <algorithm>
#include <fstream>
#include <iterator>
#include <limits>
#include <type_traits>
#include <utility>

#include <nlohmann/json.hpp>

#include "outputs/json_keys.h"

namespace patmon {

using Json = nlohmann::ordered_json;

namespace {

// A whole number that fits T; anything else (a fraction, 1e30, a value
// past T's range) is an error rather than a silently wrapped number.
template <typename T>
T Whole(const Json &number, const char *key) {
    const bool fits = number.is_number_unsigned()
                          ? std::cmp_less_equal(number.get<uint64_t>(), std::numeric_limits<T>::max())
                          : number.is_number_integer() &&
                                std::in_range<T>(number.get<int64_t>());
    if (!fits) {
        throw std::runtime_error("\"" + std::string(key) + "\" must be a whole number from " +
                                 std::to_string(std::numeric_limits<T>::min()) + " to " +
                                 std::to_string(std::numeric_limits<T>::max()));
    }
    return number.get<T>();
}

template <typename T>
void Take(const Json &object, const char *key, T *value) {
    if (!object.contains(key)) return;
    const Json &found = object.at(key);
    if constexpr (std::is_integral_v<T> && !std::is_same_v<T, bool>) {
        *value = Whole<T>(found, key);
    } else if constexpr (std::is_same_v<T, std::vector<uint32_t>>) {
        if (!found.is_array()) throw std::runtime_error("\"" + std::string(key) + "\" must be a list");
        value->clear();
        for (const Json &item : found) value->push_back(Whole<uint32_t>(item, key));
    } else {
        *value = found.get<T>();
    }
}

void ReadTray(const Json &entry, PrinterModel &printer) {
    CheckKeys(entry, {"tray", "installed", "size", "level", "media", "locked"}, "a tray");
    const std::string name = entry.at("tray").get<std::string>();
    for (TrayModel &tray : printer.trays) {
        if (tray.pjlName != name) continue;
        Take(entry, "installed", &tray.installed);
        Take(entry, "size", &tray.size);
        Take(entry, "level", &tray.level);
        Take(entry, "media", &tray.media);
        Take(entry, "locked", &tray.locked);
        return;
    }
    throw std::runtime_error("unknown tray \"" + name + "\" (M, 1, 2 or 3)");
}

void ReadSupply(const Json &entry, PrinterModel &printer) {
    CheckKeys(entry, {"supply", "level"}, "a supply");
    const std::string name = entry.at("supply").get<std::string>();
    for (SupplyModel &supply : printer.supplies) {
        if (supply.supply != name) continue;
        if (entry.contains("level")) {
            const int level = Whole<int>(entry.at("level"), "level");
            if (level < -3 || level > 100 || level == -1) {
                throw std::runtime_error("\"level\" of supply \"" + name +
                                         "\" must be 0 to 100 (percent), -3 (some left) or -2 (unknown)");
            }
            supply.level = level;
        }
        return;
    }
    throw std::runtime_error("unknown supply \"" + name + "\" (black, cyan, magenta, yellow, wasteToner or drum)");
}

PrinterModel ReadModel(const Json &doc) {
    CheckKeys(doc,
              {"base", "maker", "model", "description", "trays", "frontCoverTray", "outputBin", "duplex", "disk",
               "memoryBytes", "versions", "pageCount", "serialNumber", "supplies", "statusCodes", "state", "panelText",
               "answers"},
              "the scenario");
    const std::string base = doc.value("base", std::string("ready"));
    std::optional<PrinterModel> start = ScenarioPrinter(base);
    if (!start) throw std::runtime_error("unknown base scenario \"" + base + "\"");
    PrinterModel printer = *start;
    Take(doc, "maker", &printer.maker);
    Take(doc, "model", &printer.model);
    Take(doc, "description", &printer.description);
    if (doc.contains("trays")) {
        for (const Json &entry : doc.at("trays")) ReadTray(entry, printer);
    }
    Take(doc, "frontCoverTray", &printer.frontCoverTray);
    Take(doc, "outputBin", &printer.outputBin);
    Take(doc, "duplex", &printer.duplex);
    Take(doc, "disk", &printer.disk);
    Take(doc, "memoryBytes", &printer.memoryBytes);
    if (doc.contains("versions")) {
        printer.versions.clear();
        for (const auto &[name, version] : doc.at("versions").items()) {
            printer.versions.emplace_back(name, version.get<std::string>());
        }
    }
    Take(doc, "pageCount", &printer.pageCount);
    Take(doc, "serialNumber", &printer.serialNumber);
    if (doc.contains("supplies")) {
        if (!doc.at("supplies").is_array()) throw std::runtime_error("\"supplies\" must be a list");
        for (const Json &entry : doc.at("supplies")) ReadSupply(entry, printer);
    }
    Take(doc, "statusCodes", &printer.statusCodes);
    Take(doc, "state", &printer.state);
    Take(doc, "panelText", &printer.panelText);
    Take(doc, "answers", &printer.answers);
    return printer;
}

}  // namespace

std::optional<PrinterModel> ReadScenarioFile(const std::string &path, std::string *error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = "cannot read scenario file " + path;
        return std::nullopt;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    try {
        return ReadModel(Json::parse(text));
    } catch (const Json::parse_error &e) {
        // Where the JSON went wrong, as an editor shows it.
        const size_t at = std::min(e.byte == 0 ? 0 : e.byte - 1, text.size());
        size_t line = 1, column = 1;
        for (size_t i = 0; i < at; ++i) {
            if (text[i] == '\n') {
                ++line;
                column = 1;
            } else {
                ++column;
            }
        }
        *error = "scenario file " + path + " is not valid JSON at line " + std::to_string(line) + ", column " +
                 std::to_string(column) + (at >= text.size() ? " (the text ends too early)" : "");
        return std::nullopt;
    } catch (const Json::exception &e) {
        // A value of the wrong type: nlohmann's message names the type.
        std::string what = e.what();
        const size_t bracket = what.find("] ");
        *error = "scenario file " + path + ": " + (bracket != std::string::npos ? what.substr(bracket + 2) : what);
        return std::nullopt;
    } catch (const std::exception &e) {
        *error = "scenario file " + path + ": " + e.what();
        return std::nullopt;
    }
}

std::string ScenarioFileOf(const PrinterModel &printer, const std::string &base) {
    Json doc;
    doc["base"] = base;
    doc["maker"] = printer.maker;
    doc["model"] = printer.model;
    doc["description"] = printer.description;
    Json trays = Json::array();
    for (const TrayModel &tray : printer.trays) {
        trays.push_back({{"tray", tray.pjlName},
                         {"installed", tray.installed},
                         {"size", tray.size},
                         {"level", tray.level},
                         {"media", tray.media},
                         {"locked", tray.locked}});
    }
    doc["trays"] = trays;
    doc["frontCoverTray"] = printer.frontCoverTray;
    doc["outputBin"] = printer.outputBin;
    doc["duplex"] = printer.duplex;
    doc["disk"] = printer.disk;
    doc["memoryBytes"] = printer.memoryBytes;
    Json versions = Json::object();
    for (const auto &[name, version] : printer.versions) versions[name] = version;
    doc["versions"] = versions;
    doc["pageCount"] = printer.pageCount;
    doc["serialNumber"] = printer.serialNumber;
    Json supplies = Json::array();
    for (const SupplyModel &supply : printer.supplies) supplies.push_back({{"supply", supply.supply}, {"level", supply.level}});
    doc["supplies"] = supplies;
    doc["statusCodes"] = printer.statusCodes;
    doc["state"] = printer.state;
    doc["panelText"] = printer.panelText;
    doc["answers"] = printer.answers;
    return doc.dump(2) + "\n";
}

}  // namespace patmon
