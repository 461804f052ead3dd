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
                           states[i] == TonerState::Low});
    }
    return markers;
}

}  // namespace patmon
