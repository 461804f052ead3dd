// The virtual printer's standard MIBs: what its SNMP agent serves of the
// Printer MIB (RFC 3805) and Host Resources MIB (RFC 2790), made from the
// printer model so that supplies, trays, alerts and error bits always
// agree with the scenario's status codes and levels.
#pragma once

#include "poll/mib_reading.h"
#include "simulator/printer_model.h"

namespace patmon {

MibReading MibOf(const PrinterModel &printer);

}  // namespace patmon
