#include "poll/mib_meanings.h"

#include <algorithm>

namespace patmon::mib {

namespace {

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

}  // namespace

const char *SeverityWord(int severity) {
    return severity >= kCritical ? "critical" : severity == kWarning ? "warning" : "ok";
}

const AlertMeaning *AlertMeaningOf(const MibAlert &alert) {
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

MibPrinterState PrinterState(const MibReading &mib) {
    Reasons reasons;
    for (const ErrorBit &bit : kErrorBits) {
        if (mib.errorFlags.*bit.flag) reasons.Add(bit.keyword, bit.severity, bit.label, bit.text);
    }
    for (const MibAlert &alert : mib.alerts) {
        const AlertMeaning *meaning = AlertMeaningOf(alert);
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

}  // namespace patmon::mib

namespace patmon {

using namespace mib;

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

}  // namespace patmon
