#include "cli/check.h"

#include <algorithm>
#include <cctype>
#include <iostream>

#include "cli/report.h"
#include "cli/session.h"

namespace patmon {

namespace {

constexpr const char *kStateNames[] = {"OK", "WARNING", "CRITICAL", "UNKNOWN"};

int StatusOfSeverity(const std::string &severity) {
    if (severity == "ok") return kCheckOk;
    if (severity == "warning") return kCheckWarning;
    return kCheckCritical;
}

// A performance-data label: letters, digits, '_' and '-' need no quotes.
std::string PerfLabel(const std::string &id) {
    for (char c : id) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-') return "'" + id + "'";
    }
    return id;
}

std::string Threshold(int level) { return level >= 0 ? std::to_string(level) : ""; }

// The status line's text: no '|' (it starts the performance data) and one line.
std::string PluginText(const std::string &text) {
    std::string out;
    for (char c : TerminalText(text, true)) {
        if (c == '\n') {
            if (!out.empty() && out.back() != ' ') out += ' ';
        } else {
            out += c == '|' ? '/' : c;
        }
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

}  // namespace

CheckOutcome CheckOf(const PollResult &result, const CheckCommand &command) {
    const PollReadings &r = result.readings;
    CheckOutcome outcome;
    // A printer that does not answer cannot print: critical, not unknown
    // (unknown is for a check that could not be made at all).
    outcome.status = result.responded ? StatusOfSeverity(r.severity) : kCheckCritical;
    std::string perf;
    auto add = [&perf](const std::string &item) { perf += (perf.empty() ? "" : " ") + item; };
    if (r.printer.pageCount) add("pages=" + std::to_string(*r.printer.pageCount) + "c");
    std::string low;
    for (const PollTray &tray : r.trays) {
        if (!tray.levelPercent) continue;
        const int level = *tray.levelPercent;
        add(PerfLabel(tray.id) + "=" + std::to_string(level) + "%;" + Threshold(command.warningLevel) + ";" +
            Threshold(command.criticalLevel) + ";0;100");
        int state = kCheckOk;
        if (command.criticalLevel >= 0 && level <= command.criticalLevel) {
            state = kCheckCritical;
        } else if (command.warningLevel >= 0 && level <= command.warningLevel) {
            state = kCheckWarning;
        }
        if (state != kCheckOk) low += (low.empty() ? "" : ", ") + tray.name + " " + std::to_string(level) + " %";
        outcome.status = std::max(outcome.status, state);
    }
    for (const PollSupply &supply : r.supplies) {
        if (!supply.levelPercent) continue;
        add(PerfLabel(supply.name) + "=" + std::to_string(*supply.levelPercent) + "%;;;0;100");
        // The printer's own word on its supplies: "low" warns, "empty" or
        // a full waste bin stops it.
        const int state = supply.state == "empty" || supply.state == "full" ? kCheckCritical
                          : supply.state == "low"                           ? kCheckWarning
                                                                            : kCheckOk;
        if (state != kCheckOk) low += (low.empty() ? "" : ", ") + supply.name + " " + supply.state;
        outcome.status = std::max(outcome.status, state);
    }
    std::string text = PluginText(result.label) + ": " +
                       PluginText(result.responded ? result.message : result.problem);
    if (!low.empty()) text += " (" + PluginText(low) + ")";
    outcome.line = "PATMON " + std::string(kStateNames[outcome.status]) + " - " + text + (perf.empty() ? "" : " | " + perf);
    return outcome;
}

int RunCheck(const CheckCommand &command) {
    Session session;
    if (const std::optional<std::string> error = session.Prepare(command.poll)) {
        std::cout << "PATMON UNKNOWN - " << PluginText(*error) << "\n";
        return kCheckUnknown;
    }
    if (command.criticalLevel > 100 || command.warningLevel > 100) {
        std::cout << "PATMON UNKNOWN - --warning-level and --critical-level are percentages (0 to 100)\n";
        return kCheckUnknown;
    }
    PrinterRecord record;
    const CheckOutcome outcome = CheckOf(session.Poll(record), command);
    std::cout << outcome.line << "\n";
    return outcome.status;
}

}  // namespace patmon
