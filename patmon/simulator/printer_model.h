// The virtual printer: a model of one printer of this family (trays, output
// bin, options, memory, versions, page counter, engine status), the
// built-in scenarios that set it up, and the writer of its replies.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace patmon {

// One paper source. `pjlName` is the tray's word in PJL inquiries: "1", "2",
// "3" (INTRAY1SIZE ...) or "M" for the multi-purpose tray (INTRAYMSIZE).
struct TrayModel {
    std::string pjlName;
    bool installed = true;
    std::string size = "A4SRT";  // PJL paper size word
    std::string level = "FULL";  // END, 1/5 ... 4/5, FULL
    std::string media = "PLAIN";
    bool locked = false;
};

// One supply of the marker: the four toners ("black", "cyan", "magenta",
// "yellow"), the waste toner bottle ("wasteToner") and the drum ("drum").
// `level` in percent, 0 to 100: how much is left, and for the waste toner
// bottle how full it is; -3 some left (how much unknown), -2 unknown.
struct SupplyModel {
    std::string supply;
    int level = 100;
};

struct PrinterModel {
    std::string maker = "Patprn";
    std::string model = "Colour Laser 500";
    std::string description = "Colour laser printer";
    std::vector<TrayModel> trays;   // multi-purpose tray, tray 1, tray 2, tray 3
    std::string frontCoverTray = "NONE";
    std::string outputBin = "READY";  // READY, PAPEREXIST, FULL
    bool duplex = true;
    bool disk = false;
    uint64_t memoryBytes = 268435456;
    std::vector<std::pair<std::string, std::string>> versions;  // FIRMWARE, WENK, POSTSCRIPT, PCL ...
    uint32_t pageCount = 18324;
    std::string serialNumber = "PAT5000123";
    std::vector<SupplyModel> supplies;  // in the order the MIB lists them
    std::vector<uint32_t> statusCodes{10001};
    int state = 1;                  // 1 ready; other values need the user
    std::string panelText = "READY";
    bool answers = true;            // false: the printer never answers
};

// The printer as it leaves the factory: every tray, no feed units, ready.
PrinterModel DefaultPrinter();

struct Scenario {
    const char *name;
    const char *summary;
};
// The built-in scenarios in listing order.
const std::vector<Scenario> &BuiltInScenarios();
// The printer of a built-in scenario; nullopt for an unknown name.
std::optional<PrinterModel> ScenarioPrinter(const std::string &name);

// The printer's IEEE 1284 device ID: MFG, CMD, MDL, CLS, DES, STS, KWZ.
std::string DeviceIdOf(const PrinterModel &printer);

// What the printer sends back for a PJL text it received: one reply for
// every INFO and INQUIRE line, each echoing its command line and ended by
// a form feed. Other lines (and the job data around them) get no reply.
std::string RepliesTo(const PrinterModel &printer, const std::string &pjl);

}  // namespace patmon
