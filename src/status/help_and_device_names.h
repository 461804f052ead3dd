// The help file name of the printer's current status, and the localized
// names of input trays, output bins and optional devices.
#pragma once

#include <cstdint>

namespace patprn {

// Buffer size of a device name.
constexpr uint32_t kDeviceNameSize = 256;

}  // namespace patprn
