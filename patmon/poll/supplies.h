// The numbers of a printer's standard MIBs (poll/mib_reading.h) as people
// read them: each supply's name, colour, kind, level in percent and state;
// each tray and output bin likewise; and the printer's state (severity,
// label, message, IPP printer-state-reasons) from the MIB alone, for a
// printer of any maker. Uses only the C++ standard library.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "poll/mib_reading.h"

namespace patmon {

// A supply at or below this level (in percent) is "low", unless the
// printer's own alerts or error bits say otherwise.
constexpr int kLowSupplyPercent = 10;
// A receptacle (waste toner bottle ...) at or above this fill level is
// nearly full: its state is "low" (little space left).
constexpr int kNearlyFullPercent = 90;
// A tray at or below this level is "low".
constexpr int kLowTrayPercent = 20;

struct SupplyReading {
    int32_t index = 0;                 // prtMarkerSuppliesIndex
    std::string name;                  // the cleaned description, or "supply N"
    std::optional<std::string> colour;  // "black", "cyan" ... (lower case); none without a colorant
    std::string kind;                  // "toner", "wasteToner", "drum", "fuser", "ink", "other" ...
    bool receptacle = false;           // filled as the printer works (waste toner ...)
    // A supply: how much is left. A receptacle: how full it is (0 = empty bin).
    std::optional<int> levelPercent;
    // "ok", "low", "empty", "full", "unknown". A consumed supply is never
    // "full"; a receptacle is never "empty" and is "low" when nearly full.
    std::string state;
};

struct TrayReading {
    int32_t index = 0;  // prtInputIndex
    std::string id;     // "input1", "input2" ... (by position)
    std::string name;
    std::optional<int> levelPercent;
    std::string state;  // "ok", "low", "empty", "unknown"
    std::string paper;  // prtInputMediaName, cleaned; may be empty
    std::string size;   // "A4", "Letter" ... from the declared dimensions; empty when none matches
    std::optional<int32_t> maxSheets, sheets;  // capacity and level when known (>= 0)
};

struct OutputReading {
    int32_t index = 0;
    std::string id;  // "output1" ...
    std::string name;
    std::optional<int> levelPercent;  // how full
    std::string state;                // "ok", "almost full", "full", "unknown"
};

struct MibPrinterState {
    std::string severity = "ok";  // "ok", "warning", "critical"
    std::string label;            // a few words: "Ready", "Paper jam" ...
    std::string message;          // sentences, English
    std::vector<std::string> reasons;  // IPP printer-state-reasons keywords, each once, most severe first
};

struct MibReadings {
    std::vector<SupplyReading> supplies;
    std::vector<TrayReading> trays;
    std::vector<OutputReading> outputs;
    MibPrinterState state;
    std::optional<uint32_t> pageCount;
    std::string serialNumber;
};

MibReadings InterpretMib(const MibReading &mib);

// Level in percent of `max`: none unless both are known and max > 0;
// clamped to 0-100, and 1 at least while any is left. A level of 0 is 0
// whatever the max.
std::optional<int> PercentOf(std::optional<int32_t> level, std::optional<int32_t> max);

// The stable word for a prtMarkerSuppliesType ("other" for codes unknown here).
std::string SupplyKind(std::optional<int32_t> type);

}  // namespace patmon
