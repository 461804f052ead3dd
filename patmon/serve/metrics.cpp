#include "serve/metrics.h"

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "poll/status_meanings.h"

namespace patmon {

namespace {

// A sample value as the format writes it.
std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.15g", value);
    if (std::strtod(text, nullptr) != value) std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

// Label values are escaped even though printer names are plain words.
std::string Escaped(const std::string &value) {
    std::string out;
    for (char c : value) {
        if (c == '\\' || c == '"') out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out += c;
    }
    return out;
}

// Writes the families into one string, which the answer then takes over:
// a large fleet's text (about 1 KB a printer) is held once, not copied.
class Writer {
public:
    // One family: its help, its type, then `samples` writes its series.
    void Family(const char *name, const char *type, const char *help, const std::function<void()> &samples) {
        ((((out_ += "# HELP ") += name) += ' ') += help) += '\n';
        ((((out_ += "# TYPE ") += name) += ' ') += type) += '\n';
        name_ = name;
        samples();
    }
    void Sample(const std::string &labels, double value, const char *suffix = "") {
        (out_ += name_) += suffix;
        if (!labels.empty()) ((out_ += '{') += labels) += '}';
        ((out_ += ' ') += Number(value)) += '\n';
    }
    std::string Take() { return std::move(out_); }

private:
    std::string out_;
    std::string name_;
};

std::string Printer(const PrinterView &view) { return "printer=\"" + Escaped(view.name) + "\""; }

// A tray's labels: its stable id and the name the status text gives it.
std::string Tray(const PollTray &tray) {
    return "tray=\"" + Escaped(tray.id) + "\",name=\"" + Escaped(tray.name) + "\"";
}

constexpr const char *kSupplyStates[] = {"ok", "low", "empty", "full", "unknown"};

// A supply's labels: its name, colour and kind.
std::string Supply(const PollSupply &supply) {
    return "supply=\"" + Escaped(supply.name) + "\",colour=\"" + Escaped(supply.colour.value_or("")) +
           "\",kind=\"" + Escaped(supply.kind) + "\"";
}

int SeverityNumber(const std::string &severity) {
    return severity == "ok" ? 0 : severity == "warning" ? 1 : 2;
}

// Samples of every printer (or only those that answered) for one family.
std::function<void()> Each(const std::vector<PrinterView> &views, std::function<void(const PrinterView &)> sample,
                           bool respondedOnly) {
    return [&views, sample = std::move(sample), respondedOnly] {
        for (const PrinterView &view : views) {
            if (!respondedOnly || view.responded) sample(view);
        }
    };
}

// Whether each printer answers and how it is.
void StatusFamilies(Writer &w, const std::vector<PrinterView> &views) {
    auto each = [&views](std::function<void(const PrinterView &)> sample, bool respondedOnly) {
        return Each(views, std::move(sample), respondedOnly);
    };
    w.Family("patmon_up", "gauge", "Whether the printer answered its last poll (1) or not (0).",
             each([&w](const PrinterView &v) { w.Sample(Printer(v), v.responded ? 1 : 0); }, false));
    w.Family("patmon_poll_duration_seconds", "gauge", "How long the printer's last poll took.",
             each([&w](const PrinterView &v) { if (v.polled) w.Sample(Printer(v), v.pollSeconds); }, false));
    w.Family("patmon_last_poll_timestamp_seconds", "gauge", "When the printer was last polled (Unix time).",
             each([&w](const PrinterView &v) { if (v.polled) w.Sample(Printer(v), v.lastPoll); }, false));
    w.Family("patmon_status_code", "gauge",
             "The printer's status codes, one series each (always 1), with how urgent each is.",
             each([&w](const PrinterView &v) {
                 for (uint32_t code : v.codes) {
                     w.Sample(Printer(v) + ",code=\"" + std::to_string(code) + "\",severity=\"" +
                                  SeverityName(MeaningOf(code).severity) + "\"",
                              1);
                 }
             }, false));
    w.Family("patmon_severity", "gauge",
             "How urgent the printer's state is: 0 ok, 1 warning (prints on), 2 critical (stopped).",
             each([&w](const PrinterView &v) { w.Sample(Printer(v), SeverityNumber(v.severity)); }, true));
    w.Family("patmon_attention", "gauge", "Whether the printer needs the user's attention.",
             each([&w](const PrinterView &v) { w.Sample(Printer(v), v.attention ? 1 : 0); }, true));
}

// Paper: the trays and output bins.
void PaperFamilies(Writer &w, const std::vector<PrinterView> &views) {
    auto each = [&views](std::function<void(const PrinterView &)> sample, bool respondedOnly) {
        return Each(views, std::move(sample), respondedOnly);
    };
    // A tray whose level the printer does not report has no level series
    // (a series at 0 would say it is empty).
    w.Family("patmon_tray_level_percent", "gauge", "Paper left in each tray, in percent.",
             each([&w](const PrinterView &v) {
                 for (const PollTray &t : v.trays) {
                     if (t.levelPercent) w.Sample(Printer(v) + "," + Tray(t), *t.levelPercent);
                 }
             }, true));
    w.Family("patmon_tray_info", "gauge", "Each tray's paper and media (always 1).",
             each([&w](const PrinterView &v) {
                 for (const PollTray &t : v.trays) {
                     w.Sample(Printer(v) + "," + Tray(t) + ",paper=\"" + Escaped(t.paper) + "\",media=\"" +
                                  Escaped(t.media) + "\",state=\"" + t.state + "\"",
                              1);
                 }
             }, true));
    w.Family("patmon_bin_full", "gauge", "Whether each output bin is full.",
             each([&w](const PrinterView &v) {
                 for (const PollBin &b : v.bins) {
                     w.Sample(Printer(v) + ",bin=\"" + Escaped(b.id) + "\",name=\"" + Escaped(b.name) + "\"",
                              b.state == "full" ? 1 : 0);
                 }
             }, true));
}

// Supplies, alerts, toners and the page count.
void SupplyFamilies(Writer &w, const std::vector<PrinterView> &views) {
    auto each = [&views](std::function<void(const PrinterView &)> sample, bool respondedOnly) {
        return Each(views, std::move(sample), respondedOnly);
    };
    // Supplies as the printer's standard MIB tells of them: a level only
    // where it is known; the state as a set, one series per state.
    w.Family("patmon_supply_level_percent", "gauge",
             "Each supply's level in percent (a waste receptacle: how full it is), where the printer reports it.",
             each([&w](const PrinterView &v) {
                 for (const PollSupply &s : v.supplies) {
                     if (s.levelPercent) w.Sample(Printer(v) + "," + Supply(s), *s.levelPercent);
                 }
             }, true));
    w.Family("patmon_supply_state", "gauge", "Each supply's state, one series per state: 1 for the one it is in.",
             each([&w](const PrinterView &v) {
                 for (const PollSupply &s : v.supplies) {
                     for (const char *state : kSupplyStates) {
                         w.Sample(Printer(v) + "," + Supply(s) + ",state=\"" + state + "\"", s.state == state ? 1 : 0);
                     }
                 }
             }, true));
    w.Family("patmon_alert", "gauge",
             "What the printer's standard MIB reports, as printer-state-reasons keywords, one series each (always 1).",
             each([&w](const PrinterView &v) {
                 for (const std::string &reason : v.reasons) {
                     w.Sample(Printer(v) + ",reason=\"" + Escaped(reason) + "\"", 1);
                 }
             }, true));
    // Untyped: the name is fixed by users' dashboards, and a typed family
    // may not end in _count.
    w.Family("patmon_page_count", "untyped", "The printer's page counter.",
             each([&w](const PrinterView &v) { if (v.pageCount) w.Sample(Printer(v), *v.pageCount); }, true));
    w.Family("patmon_toner_state", "gauge", "Toner per colour as the status says it: 0 fine, 1 low, 2 run out.",
             each([&w](const PrinterView &v) {
                 for (int c = 0; c < 4; ++c) {
                     w.Sample(Printer(v) + ",colour=\"" + kTonerColours[c] + "\"", v.toner[c]);
                 }
             }, true));
}

// The service itself: its printers, polls and how late they start.
void ProcessFamilies(Writer &w, size_t printers, const FleetCounters &counters) {
    w.Family("patmon_printers", "gauge", "Printers this service watches.",
             [&] { w.Sample("", static_cast<double>(printers)); });
    w.Family("patmon_polls_total", "counter", "Polls made since the service started.",
             [&] { w.Sample("", static_cast<double>(counters.polls)); });
    w.Family("patmon_poll_errors_total", "counter", "Polls whose printer did not answer.",
             [&] { w.Sample("", static_cast<double>(counters.errors)); });
    w.Family("patmon_poll_lag_seconds", "histogram", "How late polls start against their schedule.", [&] {
        uint64_t cumulative = 0;
        for (size_t b = 0; b < std::size(FleetCounters::kLagBuckets); ++b) {
            cumulative += counters.lagCounts[b];
            w.Sample("le=\"" + Number(FleetCounters::kLagBuckets[b]) + "\"", static_cast<double>(cumulative), "_bucket");
        }
        cumulative += counters.lagCounts[std::size(FleetCounters::kLagBuckets)];
        w.Sample("le=\"+Inf\"", static_cast<double>(cumulative), "_bucket");
        w.Sample("", counters.lagSum, "_sum");
        w.Sample("", static_cast<double>(cumulative), "_count");
    });
    w.Family("patmon_poll_lag_max_seconds", "gauge", "The latest start of any poll since the service started.",
             [&] { w.Sample("", counters.lagMax); });
}

}  // namespace

std::string MetricsText(const std::vector<PrinterView> &views, const FleetCounters &counters) {
    Writer w;
    StatusFamilies(w, views);
    PaperFamilies(w, views);
    SupplyFamilies(w, views);
    ProcessFamilies(w, views.size(), counters);
    return w.Take();
}

}  // namespace patmon
