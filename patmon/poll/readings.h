// A poll in the terms of the people and programs that watch a printer:
// names instead of codes, a severity for the printer and for each status
// code, tray levels that are unknown when the printer does not report them.
// Made once per poll from the record and read by every output.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "patprn/patprn.h"

namespace patmon {

struct PollCode {
    uint32_t code = 0;
    std::string text;      // the library's message for this code alone, UTF-8, on one line
    std::string severity;  // "ok", "warning", "critical"
};

struct PollTray {
    uint16_t code = 0;                // the record's tray code
    std::string id;                   // stable: "bypass", "tray1" ...
    std::string name;                 // as the status text names it, UTF-8
    std::string paper;                // "A4", "Letter" ...
    std::string media;                // "plain" ...
    std::optional<int> levelPercent;  // none when the printer does not report it
    std::string state;                // "ok", "low", "empty", "unknown"
    bool locked = false;
    bool frontCover = false;  // front-cover printing is done from this tray
};

struct PollBin {
    uint16_t code = 0;
    std::string id;
    std::string name;
    std::string state;  // "ok", "paper present", "full", "unknown"
};

struct PollEmulation {
    uint16_t code = 0;
    std::string name;  // "PostScript 3"; "emulation N" for a code without a name
    std::string version;
};

struct PrinterFacts {
    std::string model, maker, description, firmware;
    std::optional<uint32_t> pageCount;
    uint32_t memoryKB = 0;
};

struct PollSupply {
    std::string name;
    std::optional<std::string> colour;  // "black" ...; none without a colorant
    std::string kind;                   // "toner", "wasteToner", "drum" ...
    std::optional<int> levelPercent;    // a supply: how much is left; a receptacle: how full
    std::string state;                  // "ok", "low", "empty", "full", "unknown"
};

struct PollReadings {
    std::string severity = "unknown";  // "ok", "warning", "critical"; "unknown" when it did not answer
    std::vector<PollCode> codes;
    PrinterFacts printer;
    std::vector<PollTray> trays;
    std::vector<PollBin> bins;
    std::vector<std::string> options;
    std::vector<PollEmulation> emulations;
    std::vector<PollSupply> supplies;  // from the printer's standard MIB, when read
    std::vector<std::string> reasons;  // the MIB's printer-state-reasons keywords, when read
    std::string serialNumber;          // from the MIB, when read
};

struct MibReadings;
// Adds what the printer's standard MIB says to a poll of this family: its
// supplies, its tray levels where the library's replies have none or only
// steps of a fifth, its page count where the device ID has none, its state
// reasons. The library's status text, codes and picture stay first.
void MergeMib(PollReadings &readings, const MibReadings &mib);

// A poll of a printer of any maker, from its standard MIB alone: severity,
// trays, bins, supplies and page count.
PollReadings ReadingsOfMib(const MibReadings &mib, const std::string &model, const std::string &description);

// A tray at or below this level is "low".
constexpr int kLowPaperPercent = 20;

// Reads the record after a poll; `codes` are the poll's status codes, texts
// are asked in the language selected with PatSetLocale and converted to
// UTF-8 with the code page of `language`.
class PrinterRecord;
PollReadings ReadRecord(const PrinterRecord &record, bool responded, const std::vector<uint32_t> &codes,
                        const std::string &language);

}  // namespace patmon
