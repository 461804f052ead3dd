// What the backend tells the print queue: reasons, markers, the status text.
#include "cups/cups_backend.h"

#include "cups/state_reasons.h"

namespace patmon {

namespace {

std::string Join(const std::set<std::string> &items) {
    std::string out;
    for (const std::string &item : items) out += (out.empty() ? "" : ",") + item;
    return out;
}

}  // namespace

std::string OneLine(const std::string &text) {
    std::string out;
    for (char c : text) {
        if (c == '\r') continue;
        out += c == '\n' || c == '\t' ? ' ' : c;
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

void QueueReporter::Show(const std::set<std::string> &reasons) {
    // The first report also clears every reason the mapping can give that
    // the printer no longer reports: an earlier job's backend may have set it.
    std::set<std::string> gone;
    for (const std::string &reason : first_ ? AllReasons() : shown_) {
        if (reasons.count(reason) == 0) gone.insert(reason);
    }
    std::set<std::string> added;
    for (const std::string &reason : reasons) {
        if (shown_.count(reason) == 0 || first_) added.insert(reason);
    }
    if (!added.empty()) out_ << "STATE: +" << Join(added) << std::endl;
    if (!gone.empty()) out_ << "STATE: -" << Join(gone) << std::endl;
    first_ = false;
    shown_ = reasons;
}

void QueueReporter::Report(const PollResult &result) {
    std::set<std::string> reasons = ReasonsOf(result.codes);
    for (const std::string &reason : MibReasonsOf(result.readings)) reasons.insert(reason);
    Show(reasons);
    if (result.responded) {
        // The MIB's supplies with their levels where the printer has them,
        // else the toners as the status codes tell of them.
        const std::vector<Marker> markers =
            result.readings.supplies.empty() ? MarkersOf(result.codes) : MarkersOfSupplies(result.readings.supplies);
        std::string names, colours, levels, types, lows, highs;
        for (const Marker &marker : markers) {
            const char *comma = names.empty() ? "" : ",";
            names += comma + std::string("\"") + OneLine(marker.name) + "\"";
            colours += comma + marker.colour;
            levels += comma + std::to_string(marker.level);
            types += comma + marker.type;
            lows += comma + std::to_string(marker.lowLevel);
            highs += comma + std::to_string(marker.highLevel);
        }
        const std::string line = "ATTR: marker-colors=" + colours + " marker-levels=" + levels +
                                 " marker-low-levels=" + lows + " marker-high-levels=" + highs +
                                 " marker-names=" + names + " marker-types=" + types;
        if (line != markers_) out_ << line << std::endl;
        markers_ = line;
    }
    const std::string info = OneLine(result.message.empty() ? result.label : result.message);
    if (!info.empty() && info != info_) out_ << "INFO: " << info << std::endl;
    info_ = info;
}

void QueueReporter::Set(const std::string &reason, bool on) {
    out_ << "STATE: " << (on ? "+" : "-") << reason << std::endl;
}

}  // namespace patmon
