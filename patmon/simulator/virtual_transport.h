// The `virtual:` target: the virtual printer asked in process, through the
// same transport interface as a real printer.
#pragma once

#include <memory>

#include "simulator/printer_model.h"
#include "simulator/printer_source.h"
#include "transports/transport.h"

namespace patmon {

std::unique_ptr<Transport> VirtualTransport(PrinterModel printer);
// Follows a scenario file as it changes (see PrinterSource).
std::unique_ptr<Transport> VirtualTransport(std::shared_ptr<PrinterSource> source);

}  // namespace patmon
