// A host's round trip through the real library: its configuration and
// status records into PrnInfoEx, then PrnInfoEx flattened into PrnInfo,
// every field read back at its byte offset.
#include "patprn/patprn.h"
#include "support/pm_records.h"
#include "support/support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using pattest::AddTray;
using pattest::PMGroupOf;

DWORD WordAt(const std::vector<uint8_t> &bytes, size_t offset) {
    DWORD value;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

std::string TextAt(const std::vector<uint8_t> &bytes, size_t offset, size_t width) {
    const char *text = reinterpret_cast<const char *>(bytes.data() + offset);
    return std::string(text, strnlen(text, width));
}

TEST(PMRoundTrip, ConfigurationAndStatusIntoTheFlatRecord) {
    pattest::HostRecord record(512);

    // Configuration, as the host gathered it.
    PMGeneral general{"Colour Laser 9", "SYS 1.20", 128u * 1024 * 1024, 0, "Maker Ltd"};
    DWORD ext = 0x100;  // red
    PMGroupOf<PMTray> trays;
    PMTray &tray1 = AddTray(trays, "Tray 1");
    tray1.dwWidth = 210, tray1.dwLength = 297, tray1.dwLevel = 0x800, tray1.dwMedia = 0x1, tray1.dwFlags = 1;
    PMTray &tray2 = AddTray(trays, "Tray 2");
    tray2.dwWidth = 216, tray2.dwLength = 279, tray2.dwLevel = 0x2, tray2.dwMedia = 0x800000, tray2.pMediaExt = &ext;
    PMGroupOf<PMTrayShort> shortTrays;
    PMTrayShort &bypass = AddTray(shortTrays, "Bypass Tray");
    bypass.dwFlags = 0x100, bypass.dwMedia = 0x800;
    PMGroupOf<PMOutBin> bins;
    bins.Add() = {"Standard Tray", 1};
    PMGroupOf<PMDevice> devices;
    for (DWORD n : {628u, 629u, 626u}) devices.Add().dwNumber = n;
    PMInfoConfig config{&general, trays.get(), bins.get(), {}, devices.get(), {}, shortTrays.get()};
    pattest::PoisonLastError();
    ASSERT_EQ(PatPMInfoToPrnInfoEx(PAT_STATUS_SOURCE_PM, &config, PAT_REVISION_PM_CONFIG,
                                   PAT_PMINFO_GENERAL | PAT_PMINFO_TRAYS | PAT_PMINFO_TRAYS_SHORT | PAT_PMINFO_OUTBINS |
                                       PAT_PMINFO_DEVICES,
                                   record.get()),
              TRUE);
    EXPECT_EQ(GetLastError(), 0u);

    // Status.
    DWORD word = PAT_PM_STATUS_STATE | PAT_PM_STATUS_PRINTING;
    PMGroupOf<PMEngineStatus> engine;
    engine.Add() = {0, 30119, "Toner low", 2};
    PMGroupOf<PMEmulation> emuls;
    emuls.Add() = {{}, "2.05", "WENK"};
    emuls.Add() = {{}, "3010.107", "Adobe PostScript 3"};
    emuls.Add() = {{}, "1.0", "PCL 6 Emulation"};
    PMGroupOf<PMFont> fonts;
    fonts.Add().pName = "Courier";
    PMInfoStatus status{&word, fonts.get(), emuls.get(), {}, engine.get()};
    pattest::PoisonLastError();
    ASSERT_EQ(PatPMInfoToPrnInfoEx(PAT_STATUS_SOURCE_PJL, &status, PAT_REVISION_PM_STATUS, 0xF, record.get()), TRUE);
    EXPECT_EQ(GetLastError(), 0u);

    std::vector<uint8_t> flat(2400, 0xA5);
    pattest::PoisonLastError();
    ASSERT_EQ(PatPrnInfoExToPrnInfo(record.get(), reinterpret_cast<PrnInfo *>(flat.data()), 0xFFFFFFFF), TRUE);
    EXPECT_EQ(GetLastError(), 0u);

    // Every 32-bit field at its offset: engine status (10023 from the word,
    // then the host's 30119), state, system, emulations, fonts, trays (long
    // layout first), output bins, devices.
    const std::pair<size_t, DWORD> words[] = {
        {0, (((10023u + 30119u) & 0xFFFF) << 16) | 107u}, {1720, 10023}, {1724, 30119}, {1848, 2},
        {4, 1}, {1856, 0}, {16, 131072},
        {68, 0}, {72, 1}, {76, 2}, {80, 17}, {200, 3}, {204, 0}, {332, 1},
        {336, 3}, {340, 8}, {344, 4}, {348, 22}, {352, 1}, {356, 2}, {848, 3},        // (tray, paper size)
        {1424, 3}, {1428, 75}, {1432, 4}, {1436, 0}, {1440, 1}, {1444, 100}, {1552, 3}, // (tray, level)
        {1864, 3}, {1868, 1}, {1872, 4}, {1876, 33}, {1880, 1}, {1884, 3}, {8, 0},    // (tray, media)
        {1556, 1}, {1560, 2}, {1684, 1}, {1716, 255}, {1688, 1}, {1692, 0x10003}, {1384, 2400},
    };
    for (auto [offset, value] : words) EXPECT_EQ(WordAt(flat, offset), value) << "offset " << offset;
    const std::pair<size_t, uint8_t> bytes[] = {{1380, 255}, {1381, 0}, {1382, 0}, {1383, 1}};
    for (auto [offset, value] : bytes) EXPECT_EQ(flat[offset], value) << "offset " << offset;
    EXPECT_EQ(TextAt(flat, 20, 16), "SYS 1.20");
    EXPECT_EQ(TextAt(flat, 36, 16), "2.05");
    EXPECT_EQ(TextAt(flat, 52, 16), "3010.107");
    EXPECT_EQ(TextAt(flat, 852, 256), "Colour Laser 9");
    EXPECT_EQ(TextAt(flat, 1108, 16), "Maker Ltd");
    EXPECT_EQ(TextAt(flat, 1124, 256), "");
    EXPECT_EQ(record->pTrayInfo->dwFlags, 1u) << "the lock bit travels in the tray flags";
    // The gaps stay zero.
    for (auto [offset, length] : {std::pair<size_t, size_t>{12, 4}, {1388, 36}, {1696, 20}, {1852, 4}, {1860, 4},
                                  {2376, 24}}) {
        for (size_t i = 0; i < length; ++i) EXPECT_EQ(flat[offset + i], 0) << offset + i;
    }
}

}  // namespace
