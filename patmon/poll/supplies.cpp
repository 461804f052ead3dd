#include "poll/supplies.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>

#include "poll/mib_meanings.h"
#include "poll/mib_text.h"

namespace patmon {

using namespace mib;

namespace {

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
    out.name = GarbledMibText(s.description) ? "supply " + std::to_string(s.index) : s.description;
    if (s.colorant) {
        const std::string colour = LowerAscii(*s.colorant);
        if (!colour.empty() && !GarbledMibText(colour)) out.colour = colour;
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

}  // namespace

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

namespace {

// Each supply: its level first, then what the printer itself says of it.
std::vector<SupplyReading> SuppliesOf(const MibReading &mib) {
    std::vector<SupplyReading> supplies;
    for (const MibSupply &s : mib.supplies) supplies.push_back(ReadSupply(s));
    for (const MibAlert &alert : mib.alerts) {
        const AlertMeaning *meaning = AlertMeaningOf(alert);
        if (meaning == nullptr || meaning->effect == Effect::kNone) continue;
        const bool supplyAlert = (alert.group && *alert.group == kGroupMarkerSupplies) ||
                                 (!alert.group && meaning->kind != nullptr);
        if (!supplyAlert) continue;
        if (!NamesNoRow(alert)) {
            for (size_t i = 0; i < mib.supplies.size(); ++i) {
                if (NamesRow(alert, kGroupMarkerSupplies, mib.supplies[i].deviceIndex, mib.supplies[i].index) ||
                    (!alert.group && alert.groupIndex == mib.supplies[i].index)) {
                    ApplyEffect(supplies[i], meaning->effect);
                }
            }
        } else if (meaning->kind != nullptr) {
            // No row named: the one supply of the kind the code is about, if only one.
            SupplyReading *only = nullptr;
            int count = 0;
            for (SupplyReading &supply : supplies) {
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
        for (SupplyReading &supply : supplies) {
            if (supply.kind == "toner") {
                toner = &supply;
                ++count;
            }
        }
        if (count == 1 && mib.errorFlags.noToner) Worsen(toner->state, "empty");
        if (count == 1 && mib.errorFlags.lowToner) Worsen(toner->state, "low");
    }

    return supplies;
}

// Each tray: its level, then its alerts and (for a printer of one tray)
// the error bits.
std::vector<TrayReading> TraysOf(const MibReading &mib) {
    std::vector<TrayReading> trays;
    for (const MibInput &in : mib.inputs) {
        TrayReading tray;
        tray.index = in.index;
        tray.id = "input" + std::to_string(in.index);
        tray.name = !GarbledMibText(in.name)          ? in.name
                    : !GarbledMibText(in.description) ? in.description
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
            const AlertMeaning *meaning = AlertMeaningOf(alert);
            if (meaning == nullptr) continue;
            if (meaning->effect == Effect::kEmpty) Worsen(tray.state, "empty");
            if (meaning->effect == Effect::kLow) Worsen(tray.state, "low");
            if (meaning->effect == Effect::kMissing) {
                tray.state = "unknown";
                tray.levelPercent.reset();
            }
        }
        trays.push_back(tray);
    }
    if (trays.size() == 1 && (mib.errorFlags.noPaper || mib.errorFlags.inputTrayEmpty)) {
        Worsen(trays[0].state, "empty");
    }
    if (trays.size() == 1 && mib.errorFlags.lowPaper) Worsen(trays[0].state, "low");

    return trays;
}

// Each output bin: how full it is.
std::vector<OutputReading> OutputsOf(const MibReading &mib) {
    std::vector<OutputReading> outputs;
    for (const MibOutput &o : mib.outputs) {
        OutputReading bin;
        bin.index = o.index;
        bin.id = "output" + std::to_string(o.index);
        bin.name = !GarbledMibText(o.name) ? o.name : !GarbledMibText(o.description) ? o.description : "output " + std::to_string(o.index);
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
            const AlertMeaning *meaning = AlertMeaningOf(alert);
            if (meaning != nullptr && meaning->effect == Effect::kFull) rank = 2;
            if (meaning != nullptr && meaning->effect == Effect::kNearlyFull) rank = std::max(rank, 1);
        }
        if (mib.outputs.size() == 1 && mib.errorFlags.outputFull) rank = 2;
        if (mib.outputs.size() == 1 && mib.errorFlags.outputNearFull) rank = std::max(rank, 1);
        bin.state = rank == 2 ? "full" : rank == 1 ? "almost full" : rank == 0 ? "ok" : "unknown";
        outputs.push_back(bin);
    }

    return outputs;
}

}  // namespace

MibReadings InterpretMib(const MibReading &mib) {
    MibReadings out;
    out.pageCount = mib.pageCount;
    out.serialNumber = mib.serialNumber;
    out.supplies = SuppliesOf(mib);
    out.trays = TraysOf(mib);
    out.outputs = OutputsOf(mib);
    out.state = PrinterState(mib);
    return out;
}

}  // namespace patmon
