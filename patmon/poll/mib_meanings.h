// What the codes of a printer's standard MIB mean (RFC 2790, RFC 3805):
// each bit of hrPrinterDetectedErrorState and each alert code, as data,
// and the printer's state made from them. Used by poll/supplies; the
// rest of patmon reads the results through poll/supplies.h.
#pragma once

#include <string>

#include "poll/mib_reading.h"
#include "poll/supplies.h"

namespace patmon::mib {

enum Severity { kOk = 0, kWarning = 1, kCritical = 2 };

// "ok", "warning", "critical".
const char *SeverityWord(int severity);

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

// The row of an alert's code (and group); nullptr for a code not known here.
const AlertMeaning *AlertMeaningOf(const MibAlert &alert);

// The alert's severity: the printer's own level when it gives one, else
// `fallback`.
int AlertSeverity(const MibAlert &alert, Severity fallback);

// The printer's state (severity, label, message, reasons) from its error
// bits, alerts and Host Resources status.
MibPrinterState PrinterState(const MibReading &mib);

}  // namespace patmon::mib
