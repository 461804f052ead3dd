// Checks of the device ID a printer (or the user) gave, before the library
// reads it: a device ID whose status cannot be read would otherwise pass as
// a printer with no status at all.
#pragma once

#include <string>

namespace patmon {

// Empty when the device ID's status field ("STS:codes,state,text;") holds
// one or more status codes the library can take; else what is wrong, as a
// sentence. The library reads the device ID up to its first NUL, so that
// is all that is looked at. A code must be a decimal number from 1 to
// 4294967295, and never the host's own no-response code.
std::string DeviceIdStatusProblem(const std::string &deviceId);

}  // namespace patmon
