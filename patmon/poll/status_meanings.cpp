#include "poll/status_meanings.h"

#include <algorithm>
#include <cstring>
#include <string>


namespace patmon {

namespace {

constexpr Severity O = Severity::Ok;
constexpr Severity W = Severity::Warning;
constexpr Severity C = Severity::Critical;

constexpr const char *K = "black";
constexpr const char *Cy = "cyan";
constexpr const char *M = "magenta";
constexpr const char *Y = "yellow";

// 4xxxx codes stop the printer, 3xxxx codes ask for attention while it
// prints on, 1xxxx codes are states of a working printer, 5xxxx codes are
// faults of an interface or option. The PCU is the drum unit of a colour.
constexpr StatusMeaning kMeanings[] = {
    // key           severity reason                      part               colour
    {"4294967042", O, "offline", nullptr, nullptr},  // no answer at all: the backend retries the job
    {"40800", C, "other", "printer", nullptr},       // service call
    {"42001", C, "media-jam", "paper", nullptr},
    {"42009", C, "media-jam", "paper", nullptr},
    {"42000", C, "media-jam", "paper", nullptr},
    {"42004", C, "media-jam", "paper", nullptr},
    {"40100", C, "other", "fuser", nullptr},          // fusing unit not detected
    {"40141", C, "other", "transfer-unit", nullptr},  // transfer unit not detected
    {"40152", C, "other", "drum", K},                 // PCU not detected
    {"40153", C, "other", "drum", Cy},
    {"40154", C, "other", "drum", M},
    {"40155", C, "other", "drum", Y},
    {"40132", C, "toner-empty", "toner", K},  // toner out or not set
    {"40133", C, "toner-empty", "toner", Cy},
    {"40134", C, "toner-empty", "toner", M},
    {"40135", C, "toner-empty", "toner", Y},
    {"40159", C, "other", "waste-toner", nullptr},  // waste toner bottle not detected
    {"40206", C, "cover-open", "cover", nullptr},
    {"40208", C, "cover-open", "cover", nullptr},
    {"40903", C, "other", "paper", nullptr},  // paper left on the bypass tray
    {"40011", C, "marker-waste-full", "waste-toner", nullptr},
    {"40041", C, "opc-life-over", "drum", nullptr},  // replace the colour PCU
    {"40042", C, "opc-life-over", "drum", K},        // replace the black PCU
    {"40020", C, "other", "maintenance-kit", nullptr},
    {"40028", C, "other", "transfer-unit", nullptr},
    {"40012", C, "toner-empty", "toner", K},
    {"40013", C, "toner-empty", "toner", Cy},
    {"40014", C, "toner-empty", "toner", M},
    {"40015", C, "toner-empty", "toner", Y},
    {"40300", C, "output-area-full", "output-bin", nullptr},
    {"41100", C, "input-tray-missing", "tray", nullptr},
    {"41200", C, "input-tray-missing", "tray", nullptr},
    {"41300", C, "input-tray-missing", "tray", nullptr},
    {"41400", C, "input-tray-missing", "tray", nullptr},
    {"411yy", C, "media-empty", "paper", nullptr},
    {"412yy", C, "media-empty", "paper", nullptr},
    {"413yy", C, "media-empty", "paper", nullptr},
    {"414yy", C, "media-empty", "paper", nullptr},
    // The selected tray holds the wrong paper: the printer needs other media.
    {"450yy", C, "media-needed", "paper", nullptr},
    {"461yy", C, "media-needed", "paper", nullptr},
    {"462yy", C, "media-needed", "paper", nullptr},
    {"463yy", C, "media-needed", "paper", nullptr},
    {"464yy", C, "media-needed", "paper", nullptr},
    {"471yy", C, "media-needed", "paper", nullptr},
    {"472yy", C, "media-needed", "paper", nullptr},
    {"473yy", C, "media-needed", "paper", nullptr},
    {"474yy", C, "media-needed", "paper", nullptr},
    {"481yy", C, "media-needed", "paper", nullptr},
    {"482yy", C, "media-needed", "paper", nullptr},
    {"483yy", C, "media-needed", "paper", nullptr},
    {"484yy", C, "media-needed", "paper", nullptr},
    {"40991", C, "media-needed", "paper", nullptr},
    {"40992", C, "media-needed", "paper", nullptr},
    {"40993", C, "media-needed", "paper", nullptr},
    {"40994", C, "media-needed", "paper", nullptr},
    {"40979", C, "other", nullptr, nullptr},  // page-description-language error
    {"10002", C, "offline", nullptr, nullptr},
    // A colour toner out: the printer still prints black.
    {"30013", W, "toner-empty", "toner", Cy},
    {"30014", W, "toner-empty", "toner", M},
    {"30015", W, "toner-empty", "toner", Y},
    {"30403", W, "opc-life-over", "drum", nullptr},  // colour PCU
    {"30407", W, "opc-life-over", "drum", K},
    {"30400", W, "other", "maintenance-kit", nullptr},
    {"30405", W, "other", "fuser", nullptr},
    {"30409", W, "other", "transfer-unit", nullptr},
    {"10032", W, "marker-waste-almost-full", "waste-toner", nullptr},
    {"30991", W, "media-empty", "paper", nullptr},
    {"30992", W, "media-empty", "paper", nullptr},
    {"30993", W, "media-empty", "paper", nullptr},
    {"30994", W, "media-empty", "paper", nullptr},
    {"10072", W, "toner-low", "toner", K},
    {"10073", W, "toner-low", "toner", Cy},
    {"10074", W, "toner-low", "toner", M},
    {"10075", W, "toner-low", "toner", Y},
    {"30426", W, "opc-near-eol", "drum", K},
    {"30429", W, "opc-near-eol", "drum", nullptr},  // colour PCU
    {"30427", W, "other", "fuser", nullptr},
    {"30428", W, "other", "transfer-unit", nullptr},
    {"30440", W, "other", "maintenance-kit", nullptr},
    {"12201", W, "input-tray-missing", "tray", nullptr},
    {"12301", W, "input-tray-missing", "tray", nullptr},
    {"12401", W, "input-tray-missing", "tray", nullptr},
    {"13200", W, "media-empty", "paper", nullptr},
    {"13300", W, "media-empty", "paper", nullptr},
    {"13400", W, "media-empty", "paper", nullptr},
    {"30330", W, "output-area-full", "output-bin", nullptr},
    {"30136", W, "other", "toner", nullptr},  // toner of another supplier
    // Remote service and log data: nothing the user has to do now.
    {"30607", O, "other", nullptr, nullptr},
    {"30608", O, "other", nullptr, nullptr},
    {"30609", O, "other", nullptr, nullptr},
    {"30610", O, "other", nullptr, nullptr},
    {"30616", O, "other", nullptr, nullptr},
    {"30617", O, "other", nullptr, nullptr},
    {"30619", O, "other", nullptr, nullptr},
    {"30620", O, "other", nullptr, nullptr},
    {"30621", O, "other", nullptr, nullptr},
    {"501yy", W, "other", "interface", nullptr},  // an interface, disk or option board fault
    {"10035", O, "other", nullptr, nullptr},      // hex dump mode
    {"10047", W, "other", nullptr, nullptr},      // jobs suspended
    {"10001", O, nullptr, nullptr, nullptr},
    {"10003", O, nullptr, nullptr, nullptr},
    {"10004", O, nullptr, nullptr, nullptr},
    {"10023", O, nullptr, nullptr, nullptr},
    {"10033", O, nullptr, nullptr, nullptr},
    {"10036", O, nullptr, nullptr, nullptr},
    {"10037", O, nullptr, nullptr, nullptr},
    {"4yyyy", C, "other", nullptr, nullptr},
    {"3yyyy", W, "other", nullptr, nullptr},
    {"5yyyy", W, "other", nullptr, nullptr},
    {"1yyyy", O, "other", nullptr, nullptr},
};

// A code that no row names.
constexpr StatusMeaning kUnknown = {"", W, "other", nullptr, nullptr};

// Same length, and every character equal or a lowercase letter of the key.
bool Matches(const char *text, const char *key) {
    if (std::strlen(text) != std::strlen(key)) return false;
    for (; *key != '\0'; ++key, ++text) {
        if (*key != *text && !(*key >= 'a' && *key <= 'z')) return false;
    }
    return true;
}

}  // namespace

const char *SeverityName(Severity severity) {
    switch (severity) {
        case Severity::Ok: return "ok";
        case Severity::Warning: return "warning";
        case Severity::Critical: return "critical";
    }
    return "critical";
}

std::span<const StatusMeaning> StatusMeanings() { return kMeanings; }

const StatusMeaning &MeaningOf(uint32_t code) {
    const std::string text = std::to_string(code);
    for (const StatusMeaning &row : kMeanings) {
        if (Matches(text.c_str(), row.key)) return row;
    }
    return kUnknown;
}

Severity SeverityOf(const std::vector<uint32_t> &codes) {
    Severity worst = Severity::Ok;
    for (uint32_t code : codes) worst = std::max(worst, MeaningOf(code).severity);
    return worst;
}

std::array<TonerState, 4> TonerStatesOf(const std::vector<uint32_t> &codes) {
    std::array<TonerState, 4> states{};
    states.fill(TonerState::Fine);
    for (uint32_t code : codes) {
        const StatusMeaning &row = MeaningOf(code);
        if (row.part == nullptr || std::strcmp(row.part, "toner") != 0 || row.colour == nullptr) continue;
        const TonerState state = std::strcmp(row.reason, "toner-empty") == 0 ? TonerState::Empty
                                 : std::strcmp(row.reason, "toner-low") == 0 ? TonerState::Low
                                                                             : TonerState::Fine;
        for (size_t i = 0; i < states.size(); ++i) {
            if (std::strcmp(row.colour, kTonerColours[i]) == 0) states[i] = std::max(states[i], state);
        }
    }
    return states;
}

}  // namespace patmon
