// Device numbers of the printer-management record to the device codes
// (wDevice) the PJL path stores for installed options.
#pragma once

#include "prninfo/number_table.h"

namespace patprn {

// 625 manual feed, 626/627 tray 2/3 unit, 628 duplex, 629 hard disk; any
// other number 0.
extern const NumberTableRow DeviceNumberTable[];

}  // namespace patprn
