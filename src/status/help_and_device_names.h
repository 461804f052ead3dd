// The help file name of the printer's current status, and the localized
// names of input trays, output bins and optional devices.
#pragma once

#include "status/status_resolution.h"

#include <cstdint>

namespace patprn {

// Buffer sizes of the help file name and of a device name.
constexpr uint32_t kHelpNameSize = 512;
constexpr uint32_t kDeviceNameSize = 256;

// The per-model step that may write the name of the help file explaining
// the resolved codes into `buffer` (capacity bytes, "" on entry). This
// printer family has no help files: it writes nothing and returns 0. A
// non-zero result would fail PatGetStatusHelpFileName with that code.
DWORD HelpNameHook(const StatusContext &context, const ResolvedCodes *codes, char *buffer, uint32_t capacity);

}  // namespace patprn
