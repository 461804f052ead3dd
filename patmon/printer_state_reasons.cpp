#include "printer_state_reasons.h"

#include <cstring>

namespace patmon {

namespace {

constexpr Severity R = Severity::Report;
constexpr Severity W = Severity::Warning;
constexpr Severity E = Severity::Error;

// Codes with the same reason share a line. 4xxxx codes stop the printer,
// 3xxxx codes ask for attention while it prints on, 1xxxx codes are states
// of a working printer, 5xxxx codes are faults of an interface or option.
const std::vector<ReasonRow> kRows = {
    {"4294967042", "offline", R},  // no answer at all: the backend retries the job
    {"40800", "other", E},         // service call
    {"42001", "media-jam", E}, {"42009", "media-jam", E}, {"42000", "media-jam", E}, {"42004", "media-jam", E},
    {"40100", "other", E},  // fusing unit not detected
    {"40141", "other", E},  // transfer unit not detected
    {"40152", "other", E}, {"40153", "other", E}, {"40154", "other", E}, {"40155", "other", E},  // PCU missing
    {"40132", "toner-empty", E}, {"40133", "toner-empty", E}, {"40134", "toner-empty", E},
    {"40135", "toner-empty", E},  // toner out or not set
    {"40159", "other", E},  // waste toner bottle not detected
    {"40206", "cover-open", E}, {"40208", "cover-open", E},
    {"40903", "other", E},  // paper left on the bypass tray
    {"40011", "marker-waste-full", E},
    {"40041", "opc-life-over", E}, {"40042", "opc-life-over", E},  // replace a PCU
    {"40020", "other", E}, {"40028", "other", E},  // replace maintenance kit, transfer unit
    {"40012", "toner-empty", E}, {"40013", "toner-empty", E}, {"40014", "toner-empty", E},
    {"40015", "toner-empty", E},
    {"40300", "output-area-full", E},
    {"41100", "input-tray-missing", E}, {"41200", "input-tray-missing", E}, {"41300", "input-tray-missing", E},
    {"41400", "input-tray-missing", E},
    {"411yy", "media-empty", E}, {"412yy", "media-empty", E}, {"413yy", "media-empty", E},
    {"414yy", "media-empty", E},
    // The selected tray holds the wrong paper: the printer needs other media.
    {"450yy", "media-needed", E}, {"461yy", "media-needed", E}, {"462yy", "media-needed", E},
    {"463yy", "media-needed", E}, {"464yy", "media-needed", E}, {"471yy", "media-needed", E},
    {"472yy", "media-needed", E}, {"473yy", "media-needed", E}, {"474yy", "media-needed", E},
    {"481yy", "media-needed", E}, {"482yy", "media-needed", E}, {"483yy", "media-needed", E},
    {"484yy", "media-needed", E},
    {"40991", "media-needed", E}, {"40992", "media-needed", E}, {"40993", "media-needed", E},
    {"40994", "media-needed", E},
    {"40979", "other", E},  // page-description-language error
    {"10002", "offline", E},
    // A colour toner out: the printer still prints black.
    {"30013", "toner-empty", W}, {"30014", "toner-empty", W}, {"30015", "toner-empty", W},
    {"30403", "opc-life-over", W}, {"30407", "opc-life-over", W},
    {"30400", "other", W}, {"30405", "other", W}, {"30409", "other", W},  // parts due for replacement
    {"10032", "marker-waste-almost-full", W},
    {"30991", "media-empty", W}, {"30992", "media-empty", W}, {"30993", "media-empty", W},
    {"30994", "media-empty", W},
    {"10072", "toner-low", W}, {"10073", "toner-low", W}, {"10074", "toner-low", W}, {"10075", "toner-low", W},
    {"30426", "opc-near-eol", W}, {"30429", "opc-near-eol", W},
    {"30427", "other", W}, {"30428", "other", W}, {"30440", "other", W},  // parts near end of life
    {"12201", "input-tray-missing", W}, {"12301", "input-tray-missing", W}, {"12401", "input-tray-missing", W},
    {"13200", "media-empty", W}, {"13300", "media-empty", W}, {"13400", "media-empty", W},
    {"30330", "output-area-full", W},
    {"30136", "other", W},  // toner of another supplier
    // Remote service and log data: nothing the user has to do now.
    {"30607", "other", R}, {"30608", "other", R}, {"30609", "other", R}, {"30610", "other", R},
    {"30616", "other", R}, {"30617", "other", R}, {"30619", "other", R}, {"30620", "other", R},
    {"30621", "other", R},
    {"501yy", "other", W},  // an interface, disk or option board fault
    {"10035", "other", R},  // hex dump mode
    {"10047", "other", W},  // jobs suspended
    {"10001", nullptr, R}, {"10003", nullptr, R}, {"10004", nullptr, R}, {"10023", nullptr, R},
    {"10033", nullptr, R}, {"10036", nullptr, R}, {"10037", nullptr, R},
    {"4yyyy", "other", E}, {"3yyyy", "other", W}, {"5yyyy", "other", W}, {"1yyyy", "other", R},
};

// Same length, and every character equal or a lowercase letter of the key.
bool Matches(const char *text, const char *key) {
    if (std::strlen(text) != std::strlen(key)) return false;
    for (; *key != '\0'; ++key, ++text) {
        if (*key != *text && !(*key >= 'a' && *key <= 'z')) return false;
    }
    return true;
}

const char *Suffix(Severity severity) {
    switch (severity) {
        case Severity::Error: return "-error";
        case Severity::Warning: return "-warning";
        case Severity::Report: return "-report";
    }
    return "-report";
}

}  // namespace

const std::vector<ReasonRow> &ReasonTable() { return kRows; }

std::string ReasonOf(uint32_t code) {
    const std::string text = std::to_string(code);
    for (const ReasonRow &row : kRows) {
        if (!Matches(text.c_str(), row.key)) continue;
        return row.keyword == nullptr ? std::string() : row.keyword + std::string(Suffix(row.severity));
    }
    return "other-warning";
}

std::set<std::string> ReasonsOf(const std::vector<uint32_t> &codes) {
    std::set<std::string> reasons;
    for (uint32_t code : codes) {
        if (std::string reason = ReasonOf(code); !reason.empty()) reasons.insert(reason);
    }
    return reasons;
}

std::set<std::string> AllReasons() {
    std::set<std::string> all{"other-warning"};
    for (const ReasonRow &row : kRows) {
        if (row.keyword != nullptr) all.insert(row.keyword + std::string(Suffix(row.severity)));
    }
    return all;
}

bool IsError(const std::string &reason) {
    const std::string suffix = "-error";
    return reason.size() > suffix.size() && reason.compare(reason.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::vector<Marker> MarkersOf(const std::vector<uint32_t> &codes) {
    // Per toner: the codes that say it is out, and the one that says it is low.
    struct Toner {
        const char *name;
        const char *colour;
        uint32_t out[3];
        uint32_t low;
    };
    static const Toner kToners[] = {
        {"Black Toner", "#000000", {40012, 40132, 0}, 10072},
        {"Cyan Toner", "#00FFFF", {40013, 40133, 30013}, 10073},
        {"Magenta Toner", "#FF00FF", {40014, 40134, 30014}, 10074},
        {"Yellow Toner", "#FFFF00", {40015, 40135, 30015}, 10075},
    };
    std::vector<Marker> markers;
    for (const Toner &toner : kToners) {
        Marker marker{toner.name, toner.colour, -3, false};
        for (uint32_t code : codes) {
            for (uint32_t out : toner.out) {
                if (out != 0 && code == out) marker.level = 0;
            }
            if (code == toner.low) marker.low = true;
        }
        markers.push_back(marker);
    }
    return markers;
}

}  // namespace patmon
