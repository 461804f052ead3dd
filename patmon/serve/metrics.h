// The fleet in Prometheus' text exposition format.
#pragma once

#include <string>
#include <vector>

#include "serve/fleet.h"

namespace patmon {

std::string MetricsText(const std::vector<PrinterView> &views, const FleetCounters &counters);

}  // namespace patmon
