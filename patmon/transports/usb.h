#pragma once

#include <optional>
#include <string>

#include "transports/transport.h"

namespace patmon {

// The device ID in a LPIOC_GET_DEVICE_ID buffer of `size` bytes; nullopt
// when its length makes no sense either way round.
std::optional<std::string> DeviceIdFromIoctl(const unsigned char *buffer, size_t size);

}  // namespace patmon
