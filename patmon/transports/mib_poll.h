// Polls through a printer's standard MIB (transports/printer_mib): added to
// a poll of this family, or the whole poll of a printer of any maker
// (snmp:// targets).
#pragma once

#include <chrono>
#include <string>

#include "poll/poll.h"
#include "transports/printer_mib.h"
#include "transports/transport.h"

namespace patmon {

// How to reach the agent of `source` for its MIB.
PrinterMibSource MibSourceOf(const SnmpSource &source);

// Reads the MIB before `deadline` and merges it into a successful poll of
// this family; a MIB that cannot be read leaves the poll as it was, with a
// note.
void AddPrinterMib(const SnmpSource &source, std::chrono::steady_clock::time_point deadline, PollResult &result);

// The poll of a printer of any maker from its MIB alone: state, label and
// message (English) from its error bits and alerts, trays, bins, supplies.
PollResult PollPrinterMib(const SnmpSource &source, std::chrono::milliseconds timeout);
// The same from a reading already made (none: the agent did not answer,
// for the reason in `error`).
PollResult ResultOfMib(const std::optional<MibReading> &mib, const std::string &error);

}  // namespace patmon
