#include "prninfo/device_number_table.h"

namespace patprn {

const NumberTableRow DeviceNumberTable[] = {
    {625, 16},   // manual-feed (bypass) tray input
    {626, 105},  // tray 2 unit
    {627, 106},  // tray 3 unit
    {628, 1},    // duplex unit
    {629, 3},    // hard disk
    {kNumberTableEnd, 0},
};

}  // namespace patprn
