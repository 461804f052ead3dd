#include "poll/supplies.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <iterator>

namespace patmon {

namespace {

enum Severity { kOk = 0, kWarning = 1, kCritical = 2 };

const char *SeverityWord(int severity) {
    return severity >= kCritical ? "critical" : severity == kWarning ? "warning" : "ok";
}

// ---- hrPrinterDetectedErrorState: one row per bit ----

struct ErrorBit {
    int bit;
    const char *name;
    bool PrinterErrorFlags::*flag;
    const char *keyword;  // IPP printer-state-reason
    Severity severity;
    const char *label;
    const char *text;
};

const ErrorBit kErrorBits[] = {
    {0, "lowPaper", &PrinterErrorFlags::lowPaper, "media-low", kWarning, "Paper low", "Paper is low."},
    {1, "noPaper", &PrinterErrorFlags::noPaper, "media-empty", kCritical, "Out of paper", "The printer is out of paper."},
    {2, "lowToner", &PrinterErrorFlags::lowToner, "toner-low", kWarning, "Toner low", "Toner is low."},
    {3, "noToner", &PrinterErrorFlags::noToner, "toner-empty", kCritical, "Toner empty", "Toner is empty."},
    {4, "doorOpen", &PrinterErrorFlags::doorOpen, "door-open", kCritical, "Door open", "A door is open."},
    {5, "jammed", &PrinterErrorFlags::jammed, "media-jam", kCritical, "Paper jam", "Paper is jammed."},
    {6, "offline", &PrinterErrorFlags::offline, "offline", kCritical, "Offline", "The printer is offline."},
    {7, "serviceRequested", &PrinterErrorFlags::serviceRequested, "other", kCritical, "Service needed",
     "The printer needs service."},
    {8, "inputTrayMissing", &PrinterErrorFlags::inputTrayMissing, "input-tray-missing", kCritical, "Tray missing",
     "A paper tray is missing."},
    {9, "outputTrayMissing", &PrinterErrorFlags::outputTrayMissing, "output-tray-missing", kCritical,
     "Output tray missing", "An output tray is missing."},
    {10, "markerSupplyMissing", &PrinterErrorFlags::markerSupplyMissing, "marker-supply-missing", kCritical,
     "Supply missing", "A supply is missing."},
    {11, "outputNearFull", &PrinterErrorFlags::outputNearFull, "output-area-almost-full", kWarning,
     "Output bin nearly full", "The output bin is nearly full."},
    {12, "outputFull", &PrinterErrorFlags::outputFull, "output-area-full", kCritical, "Output bin full",
     "The output bin is full."},
    {13, "inputTrayEmpty", &PrinterErrorFlags::inputTrayEmpty, "media-empty", kWarning, "Tray empty",
     "A paper tray is empty."},
    {14, "overduePreventMaint", &PrinterErrorFlags::overduePreventMaint, "other", kWarning, "Maintenance due",
     "Preventive maintenance is overdue."},
};

// ---- prtAlertTable: what an alert code means (RFC 3805 PrtAlertCodeTC) ----

// What an alert says about the row of its group it names.
enum class Effect { kNone, kLow, kEmpty, kNearlyFull, kFull, kMissing };

constexpr int kGroupInput = 8, kGroupOutput = 9, kGroupMarkerSupplies = 11;
constexpr int kAnyGroup = 0;

struct AlertMeaning {
    int code;
    int group;            // kAnyGroup: whatever the alert's group
    const char *keyword;  // nullptr: a notice, no state reason
    Severity severity;    // when the alert's own severity level says neither critical nor warning
    Effect effect;
    const char *kind;  // the supply kind the code is about, for alerts that name no row
    const char *label;
    const char *text;
};

const AlertMeaning kAlertMeanings[] = {
    {3, kAnyGroup, "cover-open", kCritical, Effect::kNone, nullptr, "Cover open", "A cover is open."},
    {4, kAnyGroup, nullptr, kOk, Effect::kNone, nullptr, "", ""},  // coverClosed
    {5, kAnyGroup, "interlock-open", kCritical, Effect::kNone, nullptr, "Interlock open", "An interlock is open."},
    {6, kAnyGroup, nullptr, kOk, Effect::kNone, nullptr, "", ""},  // interlockClosed
    {7, kAnyGroup, nullptr, kOk, Effect::kNone, nullptr, "", ""},  // configurationChange
    {8, kAnyGroup, "media-jam", kCritical, Effect::kNone, nullptr, "Paper jam", "Paper is jammed."},
    {9, kGroupInput, "input-tray-missing", kCritical, Effect::kMissing, nullptr, "Tray missing", "A paper tray is missing."},
    {9, kGroupOutput, "output-tray-missing", kCritical, Effect::kMissing, nullptr, "Output tray missing",
     "An output tray is missing."},
    {9, kGroupMarkerSupplies, "marker-supply-missing", kCritical, Effect::kMissing, nullptr, "Supply missing",
     "A supply is missing."},
    {10, kGroupMarkerSupplies, "marker-supply-low", kWarning, Effect::kLow, nullptr, "Supply nearly worn out",
     "A supply is nearly worn out."},
    {11, kGroupMarkerSupplies, "marker-supply-empty", kCritical, Effect::kEmpty, nullptr, "Supply worn out",
     "A supply is worn out."},
    {12, kGroupInput, "media-low", kWarning, Effect::kLow, nullptr, "Paper low", "Paper is low."},
    {12, kGroupMarkerSupplies, "marker-supply-low", kWarning, Effect::kLow, nullptr, "Supply low", "A supply is low."},
    {13, kGroupInput, "media-empty", kCritical, Effect::kEmpty, nullptr, "Tray empty", "A paper tray is empty."},
    {13, kGroupMarkerSupplies, "marker-supply-empty", kCritical, Effect::kEmpty, nullptr, "Supply empty",
     "A supply is empty."},
    {14, kGroupOutput, "output-area-almost-full", kWarning, Effect::kNearlyFull, nullptr, "Output bin nearly full",
     "The output bin is nearly full."},
    {14, kGroupMarkerSupplies, "marker-waste-almost-full", kWarning, Effect::kNearlyFull, nullptr,
     "Waste nearly full", "A waste container is nearly full."},
    {15, kGroupOutput, "output-area-full", kCritical, Effect::kFull, nullptr, "Output bin full", "The output bin is full."},
    {15, kGroupMarkerSupplies, "marker-waste-full", kCritical, Effect::kFull, nullptr, "Waste full",
     "A waste container is full."},
    {19, kAnyGroup, nullptr, kOk, Effect::kNone, nullptr, "", ""},  // subunitClosed
    {20, kAnyGroup, nullptr, kOk, Effect::kNone, nullptr, "", ""},  // subunitTurnedOn
    {22, kAnyGroup, "offline", kCritical, Effect::kNone, nullptr, "Offline", "The printer is offline."},
    {23, kAnyGroup, nullptr, kOk, Effect::kNone, nullptr, "", ""},  // subunitPowerSaver
    {24, kAnyGroup, nullptr, kOk, Effect::kNone, nullptr, "", ""},  // subunitWarmingUp
    {25, kAnyGroup, nullptr, kOk, Effect::kNone, nullptr, "", ""},  // subunitAdded
    {26, kAnyGroup, nullptr, kOk, Effect::kNone, nullptr, "", ""},  // subunitRemoved
    {27, kAnyGroup, nullptr, kOk, Effect::kNone, nullptr, "", ""},  // subunitResourceAdded
    {28, kAnyGroup, nullptr, kOk, Effect::kNone, nullptr, "", ""},  // subunitResourceRemoved
    {501, kAnyGroup, "door-open", kCritical, Effect::kNone, nullptr, "Door open", "A door is open."},
    {502, kAnyGroup, nullptr, kOk, Effect::kNone, nullptr, "", ""},  // doorClosed
    {503, kAnyGroup, nullptr, kOk, Effect::kNone, nullptr, "", ""},  // powerUp
    {504, kAnyGroup, nullptr, kOk, Effect::kNone, nullptr, "", ""},  // powerDown
    {505, kAnyGroup, nullptr, kOk, Effect::kNone, nullptr, "", ""},  // printerNMSReset
    {506, kAnyGroup, nullptr, kOk, Effect::kNone, nullptr, "", ""},  // printerManualReset
    {507, kAnyGroup, nullptr, kOk, Effect::kNone, nullptr, "", ""},  // printerReadyToPrint
    {801, kAnyGroup, "input-tray-missing", kCritical, Effect::kMissing, nullptr, "Tray missing", "A paper tray is missing."},
    {802, kAnyGroup, nullptr, kOk, Effect::kNone, nullptr, "", ""},  // inputMediaSizeChange
    {803, kAnyGroup, nullptr, kOk, Effect::kNone, nullptr, "", ""},  // ... WeightChange
    {804, kAnyGroup, nullptr, kOk, Effect::kNone, nullptr, "", ""},  // ... TypeChange
    {805, kAnyGroup, nullptr, kOk, Effect::kNone, nullptr, "", ""},  // ... ColorChange
    {806, kAnyGroup, nullptr, kOk, Effect::kNone, nullptr, "", ""},  // ... FormPartsChange
    {807, kAnyGroup, "media-low", kWarning, Effect::kLow, nullptr, "Paper low", "Paper is low."},
    {808, kAnyGroup, "media-empty", kCritical, Effect::kEmpty, nullptr, "Tray empty", "A paper tray is empty."},
    {809, kAnyGroup, "media-needed", kWarning, Effect::kNone, nullptr, "Paper needed", "The printer asks for paper."},
    {810, kAnyGroup, "media-needed", kWarning, Effect::kNone, nullptr, "Paper needed",
     "The printer asks for paper to be fed by hand."},
    {901, kAnyGroup, "output-tray-missing", kCritical, Effect::kMissing, nullptr, "Output tray missing",
     "An output tray is missing."},
    {902, kAnyGroup, "output-area-almost-full", kWarning, Effect::kNearlyFull, nullptr, "Output bin nearly full",
     "The output bin is nearly full."},
    {903, kAnyGroup, "output-area-full", kCritical, Effect::kFull, nullptr, "Output bin full", "The output bin is full."},
    {1001, kAnyGroup, "fuser-under-temp", kWarning, Effect::kNone, nullptr, "Fuser too cold", "The fuser is too cold."},
    {1002, kAnyGroup, "fuser-over-temp", kCritical, Effect::kNone, nullptr, "Fuser too hot", "The fuser is too hot."},
    {1005, kAnyGroup, nullptr, kOk, Effect::kNone, nullptr, "", ""},  // markerAdjustingPrintQuality
    {1101, kAnyGroup, "toner-empty", kCritical, Effect::kEmpty, "toner", "Toner empty", "Toner is empty."},
    {1102, kAnyGroup, "marker-supply-empty", kCritical, Effect::kEmpty, "ink", "Ink empty", "Ink is empty."},
    {1103, kAnyGroup, "marker-supply-empty", kCritical, Effect::kEmpty, "inkRibbon", "Ribbon empty",
     "The ribbon is used up."},
    {1104, kAnyGroup, "toner-low", kWarning, Effect::kLow, "toner", "Toner low", "Toner is low."},
    {1105, kAnyGroup, "marker-supply-low", kWarning, Effect::kLow, "ink", "Ink low", "Ink is low."},
    {1106, kAnyGroup, "marker-supply-low", kWarning, Effect::kLow, "inkRibbon", "Ribbon low",
     "The ribbon is nearly used up."},
    {1107, kAnyGroup, "marker-waste-almost-full", kWarning, Effect::kNearlyFull, "wasteToner",
     "Waste toner nearly full", "The waste toner container is nearly full."},
    {1108, kAnyGroup, "marker-waste-almost-full", kWarning, Effect::kNearlyFull, "wasteInk", "Waste ink nearly full",
     "The waste ink container is nearly full."},
    {1109, kAnyGroup, "marker-waste-full", kCritical, Effect::kFull, "wasteToner", "Waste toner full",
     "The waste toner container is full."},
    {1110, kAnyGroup, "marker-waste-full", kCritical, Effect::kFull, "wasteInk", "Waste ink full",
     "The waste ink container is full."},
    {1111, kAnyGroup, "opc-near-eol", kWarning, Effect::kLow, "drum", "Drum nearly worn out",
     "The drum is nearly worn out."},
    {1112, kAnyGroup, "opc-life-over", kCritical, Effect::kEmpty, "drum", "Drum worn out", "The drum is worn out."},
    {1113, kAnyGroup, "developer-low", kWarning, Effect::kLow, "developer", "Developer low", "Developer is low."},
    {1114, kAnyGroup, "developer-empty", kCritical, Effect::kEmpty, "developer", "Developer empty",
     "Developer is empty."},
    {1115, kAnyGroup, "marker-supply-missing", kCritical, Effect::kMissing, "toner", "Toner missing",
     "A toner cartridge is missing."},
    {1801, kAnyGroup, nullptr, kOk, Effect::kNone, nullptr, "", ""},  // alertRemovalOfBinaryChangeEntry
};

const AlertMeaning *MeaningOf(const MibAlert &alert) {
    if (!alert.code) return nullptr;
    const AlertMeaning *any = nullptr;
    for (const AlertMeaning &m : kAlertMeanings) {
        if (m.code != *alert.code) continue;
        if (m.group == kAnyGroup) any = &m;
        else if (alert.group && *alert.group == m.group) return &m;
    }
    return any;
}

// The alert's severity: the printer's own level when it gives one.
int AlertSeverity(const MibAlert &alert, Severity fallback) {
    if (alert.severity && *alert.severity == 3) return kCritical;
    if (alert.severity && (*alert.severity == 4 || *alert.severity == 5)) return kWarning;
    return fallback;
}

// ---- supply types (PrtMarkerSuppliesTypeTC) ----

const char *const kSupplyKinds[] = {
    nullptr,        "other",         "other",        "toner",          "wasteToner",   // 0-4
    "ink",          "ink",           "inkRibbon",    "wasteInk",       "drum",         // 5-9
    "developer",    "fuserOil",      "solidWax",     "ribbonWax",      "wasteWax",     // 10-14
    "fuser",        "coronaWire",    "fuserOilWick", "cleanerUnit",    "fuserCleaningPad",  // 15-19
    "transferUnit", "toner",         "fuserOiler",   "water",          "wasteWater",   // 20-24
    "glueWaterAdditive", "wastePaper", "bindingSupply", "bandingSupply", "stitchingWire",  // 25-29
    "shrinkWrap",   "paperWrap",     "staples",      "inserts",        "covers",       // 30-34
};

bool WasteType(std::optional<int32_t> type) {
    return type && (*type == 4 || *type == 8 || *type == 14 || *type == 24 || *type == 26);
}

// ---- text ----

void AppendUtf8(std::string &out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xc0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3f));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xe0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (cp & 0x3f));
    } else {
        out += static_cast<char>(0xf0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3f));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (cp & 0x3f));
    }
}

// The next character of `s` at `i` (advanced past it); a byte that does
// not start a well-formed UTF-8 sequence is read as Latin-1.
uint32_t NextChar(std::string_view s, size_t &i) {
    const auto byte = [&](size_t k) { return static_cast<uint8_t>(s[k]); };
    const uint8_t b = byte(i);
    size_t length = b >= 0xf0 && b < 0xf5 ? 4 : b >= 0xe0 ? 3 : b >= 0xc2 && b < 0xe0 ? 2 : 1;
    if (b < 0x80 || length == 1 || i + length > s.size()) {
        ++i;
        return b;
    }
    uint32_t cp = b & (0x7f >> length);
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xc0) != 0x80) {
            ++i;
            return b;
        }
        cp = (cp << 6) | (byte(i + k) & 0x3f);
    }
    const uint32_t least = length == 3 ? 0x800 : length == 4 ? 0x10000 : 0x80;
    if (cp < least || cp > 0x10ffff || (cp >= 0xd800 && cp < 0xe000)) {
        ++i;
        return b;
    }
    i += length;
    return cp;
}

constexpr uint32_t kReplacement = 0xfffd;

// A name nobody can read: nothing, or as many unreadable characters as
// letters and digits.
bool Garbled(const std::string &cleaned) {
    size_t readable = 0, unreadable = 0;
    for (size_t i = 0; i < cleaned.size();) {
        const uint32_t cp = NextChar(cleaned, i);
        if (cp == kReplacement) ++unreadable;
        else if ((cp < 0x80 && std::isalnum(static_cast<int>(cp))) || cp >= 0xc0) ++readable;
    }
    return readable == 0 || unreadable >= readable;
}

std::string Lower(std::string s) {
    for (char &c : s) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}

// ---- paper sizes from declared dimensions ----

struct PaperSize {
    const char *name;
    double shortMm, longMm;
};
const PaperSize kPaperSizes[] = {
    {"A3", 297, 420},     {"A4", 210, 297},     {"A5", 148, 210},         {"A6", 105, 148},
    {"B4", 257, 364},     {"B5", 182, 257},     {"Letter", 215.9, 279.4}, {"Legal", 215.9, 355.6},
    {"Executive", 184.2, 266.7}, {"Tabloid", 279.4, 431.8}, {"Statement", 139.7, 215.9},
};

std::string SizeName(const MibInput &input) {
    if (!input.dimUnit || !input.mediaFeedDim || !input.mediaXFeedDim) return "";
    if (*input.mediaFeedDim <= 0 || *input.mediaXFeedDim <= 0) return "";
    double scale = 0;
    if (*input.dimUnit == 3) scale = 25.4 / 10000;  // ten-thousandths of inches
    if (*input.dimUnit == 4) scale = 1.0 / 1000;    // micrometres
    if (scale == 0) return "";
    const double a = *input.mediaFeedDim * scale, b = *input.mediaXFeedDim * scale;
    const double shortSide = std::min(a, b), longSide = std::max(a, b);
    for (const PaperSize &size : kPaperSizes) {
        if (std::abs(shortSide - size.shortMm) <= 2 && std::abs(longSide - size.longMm) <= 2) return size.name;
    }
    return "";
}

// ---- states ----

int Rank(const std::string &state) {
    if (state == "low") return 1;
    if (state == "empty" || state == "full") return 2;
    return state == "ok" ? 0 : -1;  // unknown
}

// Takes the worse of the state so far and what an alert or error bit says.
void Worsen(std::string &state, const std::string &said) {
    if (Rank(said) > Rank(state)) state = said;
}

// The alert's row: alerts of `group` whose group index names a row.
bool NamesRow(const MibAlert &alert, int group, int32_t deviceIndex, int32_t index) {
    return alert.group && *alert.group == group && alert.groupIndex && *alert.groupIndex == index &&
           (alert.deviceIndex == 0 || deviceIndex == 0 || alert.deviceIndex == deviceIndex);
}
bool NamesNoRow(const MibAlert &alert) { return !alert.groupIndex || *alert.groupIndex <= 0; }

SupplyReading ReadSupply(const MibSupply &s) {
    SupplyReading out;
    out.index = s.index;
    out.name = Garbled(s.description) ? "supply " + std::to_string(s.index) : s.description;
    if (s.colorant) {
        const std::string colour = Lower(*s.colorant);
        if (!colour.empty() && !Garbled(colour)) out.colour = colour;
    }
    out.kind = SupplyKind(s.type);
    out.receptacle = s.supplyClass ? *s.supplyClass == 4 : WasteType(s.type);
    const std::optional<int32_t> level = s.level;
    if (!level || (*level < 0 && *level != -3)) {
        out.state = "unknown";
    } else if (*level == -3) {
        out.state = "ok";
    } else if (const std::optional<int> percent = PercentOf(level, s.maxCapacity)) {
        if (out.receptacle) {
            out.levelPercent = 100 - *percent;
            out.state = *out.levelPercent >= 100 ? "full" : *out.levelPercent >= kNearlyFullPercent ? "low" : "ok";
        } else {
            out.levelPercent = percent;
            out.state = *percent == 0 ? "empty" : *percent <= kLowSupplyPercent ? "low" : "ok";
        }
    } else {
        out.state = "ok";  // some left (or some space), how much unknown
    }
    return out;
}

void ApplyEffect(SupplyReading &supply, Effect effect) {
    switch (effect) {
        case Effect::kLow:
            if (!supply.receptacle) Worsen(supply.state, "low");
            break;
        case Effect::kEmpty:
        case Effect::kMissing:
            Worsen(supply.state, supply.receptacle ? "full" : "empty");
            break;
        case Effect::kNearlyFull:
            if (supply.receptacle) Worsen(supply.state, "low");
            break;
        case Effect::kFull:
            if (supply.receptacle) Worsen(supply.state, "full");
            break;
        case Effect::kNone:
            break;
    }
}

struct Reasons {
    struct Entry {
        std::string keyword, label, text;
        int severity;
    };
    std::vector<Entry> entries;
    void Add(const std::string &keyword, int severity, const std::string &label, const std::string &text) {
        for (Entry &e : entries) {
            if (e.keyword != keyword) continue;
            e.severity = std::max(e.severity, severity);
            if (text != e.text && e.text.find(text) == std::string::npos && keyword == "other") e.text += " " + text;
            return;
        }
        entries.push_back({keyword, label, text, severity});
    }
};

MibPrinterState PrinterState(const MibReading &mib) {
    Reasons reasons;
    for (const ErrorBit &bit : kErrorBits) {
        if (mib.errorFlags.*bit.flag) reasons.Add(bit.keyword, bit.severity, bit.label, bit.text);
    }
    for (const MibAlert &alert : mib.alerts) {
        const AlertMeaning *meaning = MeaningOf(alert);
        if (meaning != nullptr && meaning->keyword == nullptr) continue;  // a notice
        if (meaning != nullptr) {
            reasons.Add(meaning->keyword, AlertSeverity(alert, meaning->severity), meaning->label, meaning->text);
            continue;
        }
        // A code not known here: reported only when the printer calls it a problem.
        const int severity = AlertSeverity(alert, kOk);
        if (severity == kOk) continue;
        const std::string text = !alert.description.empty()
                                     ? alert.description + (alert.description.back() == '.' ? "" : ".")
                                     : "The printer reports a problem (alert code " +
                                           std::to_string(alert.code.value_or(0)) + ").";
        reasons.Add("other", severity, "Printer alert", text);
    }
    std::stable_sort(reasons.entries.begin(), reasons.entries.end(),
                     [](const Reasons::Entry &a, const Reasons::Entry &b) { return a.severity > b.severity; });

    MibPrinterState state;
    int severity = kOk;
    std::string label, message;
    for (const Reasons::Entry &e : reasons.entries) {
        state.reasons.push_back(e.keyword);
        severity = std::max(severity, e.severity);
        message += (message.empty() ? "" : " ") + e.text;
    }
    if (!reasons.entries.empty()) label = reasons.entries.front().label;
    const int device = mib.deviceStatus.value_or(0), printer = mib.printerStatus.value_or(0);
    if (device == 5) {
        severity = kCritical;
        if (label.empty()) label = "Down";
        if (reasons.entries.empty()) message = "The printer is down.";
    } else if (device == 3 || device == 4) {
        severity = std::max(severity, static_cast<int>(kWarning));
        if (label.empty()) label = device == 4 ? "Testing" : "Warning";
        if (reasons.entries.empty()) message = device == 4 ? "The printer is testing itself." : "The printer reports a warning.";
    }
    if (label.empty()) {
        if (printer == 5) {
            label = "Warming up";
            message = "The printer is warming up.";
        } else if (printer == 4) {
            label = "Printing";
            message = "The printer is printing.";
        } else if (printer == 3 || device == 2) {
            label = "Ready";
            message = "The printer is ready.";
        } else {
            label = "Unknown";
            message = "The printer does not report its state.";
        }
    }
    state.severity = SeverityWord(severity);
    state.label = label;
    state.message = message;
    return state;
}

}  // namespace

PrinterErrorFlags DecodeErrorState(std::string_view octets) {
    PrinterErrorFlags flags;
    for (const ErrorBit &bit : kErrorBits) {
        const size_t octet = static_cast<size_t>(bit.bit / 8);
        if (octet < octets.size() && (static_cast<uint8_t>(octets[octet]) & (0x80 >> (bit.bit % 8))) != 0) {
            flags.*bit.flag = true;
        }
    }
    return flags;
}

std::string EncodeErrorState(const PrinterErrorFlags &flags) {
    std::string octets(2, '\0');
    for (const ErrorBit &bit : kErrorBits) {
        if (flags.*bit.flag) octets[static_cast<size_t>(bit.bit / 8)] |= static_cast<char>(0x80 >> (bit.bit % 8));
    }
    return octets;
}

std::vector<std::string> ErrorFlagNames(const PrinterErrorFlags &flags) {
    std::vector<std::string> names;
    for (const ErrorBit &bit : kErrorBits) {
        if (flags.*bit.flag) names.push_back(bit.name);
    }
    return names;
}

std::string CleanMibText(std::string_view raw, size_t maxBytes) {
    while (!raw.empty() && raw.back() == '\0') raw.remove_suffix(1);
    std::string out;
    bool space = false;
    for (size_t i = 0; i < raw.size() && out.size() < maxBytes + 4;) {
        uint32_t cp = NextChar(raw, i);
        if (cp == '\t' || cp == '\n' || cp == '\r' || cp == '\v' || cp == '\f' || cp == ' ') {
            space = true;
            continue;
        }
        if (cp < 0x20 || cp == 0x7f || (cp >= 0x80 && cp < 0xa0)) cp = kReplacement;
        if (space && !out.empty()) out += ' ';
        space = false;
        AppendUtf8(out, cp);
    }
    if (out.size() > maxBytes) {
        size_t cut = maxBytes;
        while (cut > 0 && (static_cast<uint8_t>(out[cut]) & 0xc0) == 0x80) --cut;
        out.resize(cut);
        while (!out.empty() && out.back() == ' ') out.pop_back();
    }
    return out;
}

std::optional<int> PercentOf(std::optional<int32_t> level, std::optional<int32_t> max) {
    if (!level || *level < 0) return std::nullopt;
    if (*level == 0) return 0;
    if (!max || *max <= 0) return std::nullopt;
    // Rounded down, but never to 0 while some is left: 0 means empty.
    const int64_t percent = static_cast<int64_t>(*level) * 100 / *max;
    return static_cast<int>(std::clamp<int64_t>(percent, 1, 100));
}

std::string SupplyKind(std::optional<int32_t> type) {
    if (!type || *type < 1 || *type >= static_cast<int32_t>(std::size(kSupplyKinds))) return "other";
    return kSupplyKinds[*type];
}

MibReadings InterpretMib(const MibReading &mib) {
    MibReadings out;
    out.pageCount = mib.pageCount;
    out.serialNumber = mib.serialNumber;

    // Supplies: the level first, then what the printer itself says.
    for (const MibSupply &s : mib.supplies) out.supplies.push_back(ReadSupply(s));
    for (const MibAlert &alert : mib.alerts) {
        const AlertMeaning *meaning = MeaningOf(alert);
        if (meaning == nullptr || meaning->effect == Effect::kNone) continue;
        const bool supplyAlert = (alert.group && *alert.group == kGroupMarkerSupplies) ||
                                 (!alert.group && meaning->kind != nullptr);
        if (!supplyAlert) continue;
        if (!NamesNoRow(alert)) {
            for (size_t i = 0; i < mib.supplies.size(); ++i) {
                if (NamesRow(alert, kGroupMarkerSupplies, mib.supplies[i].deviceIndex, mib.supplies[i].index) ||
                    (!alert.group && alert.groupIndex == mib.supplies[i].index)) {
                    ApplyEffect(out.supplies[i], meaning->effect);
                }
            }
        } else if (meaning->kind != nullptr) {
            // No row named: the one supply of the kind the code is about, if only one.
            SupplyReading *only = nullptr;
            int count = 0;
            for (SupplyReading &supply : out.supplies) {
                if (supply.kind == meaning->kind) {
                    only = &supply;
                    ++count;
                }
            }
            if (count == 1) ApplyEffect(*only, meaning->effect);
        }
    }
    // The error bits name no supply: they count for a printer with one toner.
    {
        SupplyReading *toner = nullptr;
        int count = 0;
        for (SupplyReading &supply : out.supplies) {
            if (supply.kind == "toner") {
                toner = &supply;
                ++count;
            }
        }
        if (count == 1 && mib.errorFlags.noToner) Worsen(toner->state, "empty");
        if (count == 1 && mib.errorFlags.lowToner) Worsen(toner->state, "low");
    }

    // Trays.
    for (const MibInput &in : mib.inputs) {
        TrayReading tray;
        tray.index = in.index;
        tray.id = "input" + std::to_string(in.index);
        tray.name = !Garbled(in.name)          ? in.name
                    : !Garbled(in.description) ? in.description
                                               : "input " + std::to_string(in.index);
        tray.paper = in.mediaName;
        tray.size = SizeName(in);
        if (in.maxCapacity && *in.maxCapacity >= 0) tray.maxSheets = in.maxCapacity;
        if (in.currentLevel && *in.currentLevel >= 0) tray.sheets = in.currentLevel;
        if (!in.currentLevel || (*in.currentLevel < 0 && *in.currentLevel != -3)) {
            tray.state = "unknown";
        } else if (*in.currentLevel == -3) {
            tray.state = "ok";
        } else {
            tray.levelPercent = PercentOf(in.currentLevel, in.maxCapacity);
            tray.state = *in.currentLevel == 0                                         ? "empty"
                         : tray.levelPercent && *tray.levelPercent <= kLowTrayPercent ? "low"
                                                                                        : "ok";
        }
        for (const MibAlert &alert : mib.alerts) {
            if (!NamesRow(alert, kGroupInput, in.deviceIndex, in.index)) continue;
            const AlertMeaning *meaning = MeaningOf(alert);
            if (meaning == nullptr) continue;
            if (meaning->effect == Effect::kEmpty) Worsen(tray.state, "empty");
            if (meaning->effect == Effect::kLow) Worsen(tray.state, "low");
            if (meaning->effect == Effect::kMissing) {
                tray.state = "unknown";
                tray.levelPercent.reset();
            }
        }
        out.trays.push_back(tray);
    }
    if (out.trays.size() == 1 && (mib.errorFlags.noPaper || mib.errorFlags.inputTrayEmpty)) {
        Worsen(out.trays[0].state, "empty");
    }
    if (out.trays.size() == 1 && mib.errorFlags.lowPaper) Worsen(out.trays[0].state, "low");

    // Output bins: how full.
    for (const MibOutput &o : mib.outputs) {
        OutputReading bin;
        bin.index = o.index;
        bin.id = "output" + std::to_string(o.index);
        bin.name = !Garbled(o.name) ? o.name : !Garbled(o.description) ? o.description : "output " + std::to_string(o.index);
        int rank = 0;  // 0 ok, 1 almost full, 2 full, -1 unknown
        if (!o.remainingCapacity || (*o.remainingCapacity < 0 && *o.remainingCapacity != -3)) {
            rank = -1;
        } else if (const std::optional<int> left = PercentOf(o.remainingCapacity, o.maxCapacity);
                   left && *o.remainingCapacity != -3) {
            bin.levelPercent = 100 - *left;
            rank = *bin.levelPercent >= 100 ? 2 : *bin.levelPercent >= kNearlyFullPercent ? 1 : 0;
        }
        for (const MibAlert &alert : mib.alerts) {
            if (!NamesRow(alert, kGroupOutput, o.deviceIndex, o.index)) continue;
            const AlertMeaning *meaning = MeaningOf(alert);
            if (meaning != nullptr && meaning->effect == Effect::kFull) rank = 2;
            if (meaning != nullptr && meaning->effect == Effect::kNearlyFull) rank = std::max(rank, 1);
        }
        if (mib.outputs.size() == 1 && mib.errorFlags.outputFull) rank = 2;
        if (mib.outputs.size() == 1 && mib.errorFlags.outputNearFull) rank = std::max(rank, 1);
        bin.state = rank == 2 ? "full" : rank == 1 ? "almost full" : rank == 0 ? "ok" : "unknown";
        out.outputs.push_back(bin);
    }

    out.state = PrinterState(mib);
    return out;
}

}  // namespace patmon
