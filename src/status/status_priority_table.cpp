// The status priority table and its index.
//
// A printer reports many codes at once and the user is shown only the most
// urgent state; this table says how urgent each code is (lower = more
// urgent). Keys are code texts; a lowercase letter matches any one
// character ("411yy": tray 1 empty, whatever the media). Every key is
// unique and no code text matches two pattern keys, so the order of the
// rows changes no result; they are kept most urgent first, one row per key.
#include "status/code_index.h"
#include "status/status_resolution.h"

namespace patprn {

constexpr StatusPriorityRow StatusPriorityTable[] = {
    {"4294967042", 1},  // no response from the printer
    {"40800", 4800},    // service call
    {"42001", 4850},    // paper misfeed
    {"42009", 4850},
    {"40100", 4900},    // fusing unit not detected
    {"40141", 4950},    // transfer unit not detected
    {"40155", 5000},    // yellow, magenta, cyan, black PCU not detected
    {"40154", 5000},
    {"40153", 5000},
    {"40152", 5000},
    {"40135", 5050},    // toner out or not set (yellow, magenta, cyan, black)
    {"40134", 5050},
    {"40133", 5050},
    {"40132", 5050},
    {"40159", 5100},    // waste toner bottle not detected
    {"40208", 5150},    // cover open
    {"40206", 5150},
    {"40903", 5200},    // paper left on the bypass tray
    {"40011", 5250},    // waste toner bottle full
    {"40042", 5300},    // replace black PCU
    {"40041", 5350},    // replace color PCU
    {"40028", 5400},    // replace transfer unit
    {"40020", 5450},    // replace maintenance kit
    {"40015", 5500},    // toner run out (yellow, magenta, cyan, black)
    {"40014", 5500},
    {"40013", 5500},
    {"40012", 5500},
    {"40300", 5550},    // indicated output tray full
    {"41100", 5600},    // selected input tray not detected
    {"41200", 5600},
    {"41300", 5600},
    {"41400", 5600},
    {"411yy", 5650},    // selected input tray empty
    {"412yy", 5650},
    {"413yy", 5650},
    {"414yy", 5650},
    {"450yy", 5700},    // paper type and size mismatch, no tray indicated
    {"481yy", 5750},    // paper type and size mismatch in a tray
    {"482yy", 5750},
    {"483yy", 5750},
    {"484yy", 5750},
    {"471yy", 5800},    // paper size mismatch in a tray
    {"472yy", 5800},
    {"473yy", 5800},
    {"474yy", 5800},
    {"461yy", 5850},    // paper type mismatch in a tray
    {"462yy", 5850},
    {"463yy", 5850},
    {"464yy", 5850},
    {"40991", 5900},    // load paper in the indicated tray
    {"40992", 5900},
    {"40993", 5900},
    {"40994", 5900},
    {"40979", 5950},    // page-description-language error
    {"10002", 6600},    // offline
    {"30015", 6650},    // yellow, magenta, cyan toner run out
    {"30014", 6650},
    {"30013", 6650},
    {"30403", 6700},    // replace color PCU
    {"30407", 6750},    // replace black PCU
    {"30409", 6800},    // transfer unit needs replacing
    {"30400", 6850},    // maintenance kit needs replacing
    {"30609", 6900},    // supplies order failed
    {"10023", 6950},    // printing
    {"30607", 7700},    // SD card authentication failed
    {"30610", 7750},    // remote certificate renewal failed
    {"10032", 7800},    // waste toner bottle almost full
    {"30991", 7850},    // listed tray(s) empty
    {"30992", 7850},
    {"30993", 7850},
    {"30994", 7850},
    {"30621", 7870},    // log data transfer failed
    {"30620", 7880},    // log data capacity full
    {"30619", 7890},    // log data capacity nearly full
    {"10075", 7900},    // toner low (yellow, magenta, cyan, black)
    {"10074", 7900},
    {"10073", 7900},
    {"10072", 7900},
    {"30405", 7950},    // fusing unit should be replaced
    {"30426", 8000},    // black PCU near end of life
    {"30429", 8050},    // color PCU near end of life
    {"30440", 8100},    // maintenance kit near end of life
    {"30428", 8200},    // transfer unit near end of life
    {"12201", 8250},    // tray 1, 2, 3 not installed properly
    {"12301", 8250},
    {"12401", 8250},
    {"13200", 8300},    // tray 1, 2, 3 empty
    {"13300", 8300},
    {"13400", 8300},
    {"30330", 8350},    // listed output tray(s) full
    {"30616", 8400},    // remote diagnostics center unreachable
    {"30617", 8450},    // proxy authentication rejected
    {"30608", 8500},    // remote-service gateway connection error
    {"30136", 8550},    // toner of another supplier set
    {"50114", 8600},    // USB interface error
    {"50105", 8650},    // hard disk error
    {"50109", 8700},    // IEEE 1394 error
    {"50113", 8750},    // wireless board error
    {"50112", 8800},    // wireless card error
    {"50111", 8850},    // wireless card error
    {"50110", 8900},    // wireless card error
    {"50108", 8950},    // Ethernet board error
    {"50115", 9000},    // optional font error
    {"50102", 9050},    // parallel interface error
    {"50101", 9100},    // option RAM error
    {"10004", 9150},    // warming up
    {"10037", 9200},    // warming up
    {"10036", 9250},    // warming up
    {"10003", 9350},    // warming up
    {"10035", 9400},    // hex dump mode
    {"10047", 9450},    // jobs suspended
    {"10033", 9500},    // energy saver mode
    {"10001", 10000},   // ready
    {nullptr, PRIORITY_NONE},
};

namespace {
constexpr auto kPriorityIndex = BuildCodeIndex(StatusPriorityTable);
}  // namespace

const CodeIndexView StatusPriorityIndex = kPriorityIndex.View();

// Only the status source 1, with or without the alternate set, ranks codes.
const PriorityIndexRow PriorityTableIndex[] = {
    {0x00000001u, StatusPriorityTable},
    {0x80000001u, StatusPriorityTable},
    {0xFFFFFFFFu, nullptr},
};

}  // namespace patprn
