#include "cups/state_reasons.h"


namespace patmon {

namespace {

// The print system's severity suffix.
const char *Suffix(Severity severity) {
    switch (severity) {
        case Severity::Critical: return "-error";
        case Severity::Warning: return "-warning";
        case Severity::Ok: return "-report";
    }
    return "-report";
}

std::string ReasonOf(const StatusMeaning &meaning) {
    return meaning.reason == nullptr ? std::string() : meaning.reason + std::string(Suffix(meaning.severity));
}

}  // namespace

std::string ReasonOf(uint32_t code) { return ReasonOf(MeaningOf(code)); }

std::set<std::string> ReasonsOf(const std::vector<uint32_t> &codes) {
    std::set<std::string> reasons;
    for (uint32_t code : codes) {
        if (std::string reason = ReasonOf(code); !reason.empty()) reasons.insert(reason);
    }
    return reasons;
}

std::set<std::string> AllReasons() {
    std::set<std::string> all{ReasonOf(MeaningOf(0))};  // a code of no row
    for (const StatusMeaning &row : StatusMeanings()) {
        if (std::string reason = ReasonOf(row); !reason.empty()) all.insert(reason);
    }
    return all;
}

bool IsError(const std::string &reason) {
    const std::string suffix = "-error";
    return reason.size() > suffix.size() && reason.compare(reason.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::vector<Marker> MarkersOf(const std::vector<uint32_t> &codes) {
    // The queue's names and colours of the toners, in kTonerColours order.
    static const struct {
        const char *name;
        const char *colour;
    } kToners[] = {{"Black Toner", "#000000"}, {"Cyan Toner", "#00FFFF"}, {"Magenta Toner", "#FF00FF"},
                   {"Yellow Toner", "#FFFF00"}};
    const std::array<TonerState, 4> states = TonerStatesOf(codes);
    std::vector<Marker> markers;
    for (size_t i = 0; i < states.size(); ++i) {
        markers.push_back({kToners[i].name, kToners[i].colour, states[i] == TonerState::Empty ? 0 : -3,
                           states[i] == TonerState::Low, "toner", 0, 100});
    }
    return markers;
}

namespace {

// The print system's names for supply kinds and colours.
struct KindType {
    const char *kind;
    const char *type;
};
constexpr KindType kKindTypes[] = {
    {"toner", "toner"}, {"wasteToner", "waste-toner"}, {"ink", "ink"}, {"wasteInk", "waste-ink"},
    {"drum", "opc"},    {"developer", "developer"},   {"fuser", "fuser"}, {"transferUnit", "transfer-unit"},
};
struct ColourHex {
    const char *colour;
    const char *hex;
};
constexpr ColourHex kColourHex[] = {
    {"black", "#000000"}, {"cyan", "#00FFFF"}, {"magenta", "#FF00FF"}, {"yellow", "#FFFF00"},
};

}  // namespace

std::vector<Marker> MarkersOfSupplies(const std::vector<PollSupply> &supplies) {
    std::vector<Marker> markers;
    for (const PollSupply &supply : supplies) {
        Marker marker{supply.name, "none", -2, supply.state == "low", "other", 10, 100};
        for (const ColourHex &row : kColourHex) {
            if (supply.colour && *supply.colour == row.colour) marker.colour = row.hex;
        }
        for (const KindType &row : kKindTypes) {
            if (supply.kind == row.kind) marker.type = row.type;
        }
        const bool receptacle = supply.kind.rfind("waste", 0) == 0;
        if (receptacle) {
            marker.lowLevel = 0;
            marker.highLevel = 90;
        }
        if (supply.levelPercent) {
            marker.level = *supply.levelPercent;
        } else if (supply.state == "ok") {
            marker.level = -3;  // some left, amount unknown
        }
        markers.push_back(std::move(marker));
    }
    return markers;
}

std::set<std::string> MibReasonsOf(const PollReadings &readings) {
    const char *suffix = readings.severity == "critical" ? "-error" : "-warning";
    std::set<std::string> reasons;
    for (const std::string &reason : readings.reasons) {
        if (reason != "none") reasons.insert(reason + suffix);
    }
    return reasons;
}

}  // namespace patmon
