// The code vocabulary of PrnInfoEx that several modules write or read:
// trays, output bins, installed devices, emulations. One place, so that the
// reply handlers, the management conversions, the short record and the
// status presentation cannot drift apart.
#pragma once

#include <cstdint>

namespace patprn {

// wTray of a TrayInfoItem.
constexpr uint16_t kTrayUnknown = 0;
constexpr uint16_t kTrayBypass = 1;
constexpr uint16_t kTray1 = 3;
constexpr uint16_t kTray2 = 4;
constexpr uint16_t kTray3 = 5;

// wBin of an OutBinInfoItem, and its wBinState.
constexpr uint16_t kBinStandard = 1;
constexpr uint16_t kBinUnknown = 255;
constexpr uint16_t kBinReady = 0;
constexpr uint16_t kBinPaperPresent = 1;
constexpr uint16_t kBinFull = 2;

// wDevice of a DeviceInfoItem.
constexpr uint16_t kDeviceDuplex = 1;
constexpr uint16_t kDeviceHardDisk = 3;
constexpr uint16_t kDeviceManualFeed = 16;
constexpr uint16_t kDeviceTray2Unit = 105;
constexpr uint16_t kDeviceTray3Unit = 106;

// wEmul of a LoadedEmulItem. The main program's and the PostScript
// emulation's versions are also kept as the record's version strings.
constexpr uint16_t kEmulMainProgram = 1;
constexpr uint16_t kEmulPostScript = 2;
constexpr uint16_t kEmulPcl5e = 16;
constexpr uint16_t kEmulPcl6 = 17;
constexpr uint16_t kEmulPcl5c = 18;

// wCounter of the device ID's page counter.
constexpr uint16_t kCounterPages = 1;

}  // namespace patprn
