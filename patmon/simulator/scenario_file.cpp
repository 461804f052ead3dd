#include "simulator/scenario_file.h"

#include <fstream>

#include <nlohmann/json.hpp>

#include "outputs/json_keys.h"

namespace patmon {

using Json = nlohmann::ordered_json;

namespace {

template <typename T>
void Take(const Json &object, const char *key, T *value) {
    if (object.contains(key)) *value = object.at(key).get<T>();
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

PrinterModel ReadModel(const Json &doc) {
    CheckKeys(doc,
              {"base", "maker", "model", "description", "trays", "frontCoverTray", "outputBin", "duplex", "disk",
               "memoryBytes", "versions", "pageCount", "statusCodes", "state", "panelText", "answers"},
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
    Take(doc, "statusCodes", &printer.statusCodes);
    Take(doc, "state", &printer.state);
    Take(doc, "panelText", &printer.panelText);
    Take(doc, "answers", &printer.answers);
    return printer;
}

}  // namespace

std::optional<PrinterModel> ReadScenarioFile(const std::string &path, std::string *error) {
    std::ifstream in(path);
    if (!in) {
        *error = "cannot read scenario file " + path;
        return std::nullopt;
    }
    try {
        return ReadModel(Json::parse(in));
    } catch (const std::exception &e) {
        *error = "scenario file " + path + ": " + e.what();
        return std::nullopt;
    }
}

}  // namespace patmon
