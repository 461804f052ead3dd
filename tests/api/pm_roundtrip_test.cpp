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
                                   PMINFO_GENERAL | PMINFO_TRAYS | PMINFO_TRAYS_SHORT | PMINFO_OUTBINS |
                                       PMINFO_DEVICES,
                                   record.get()),
              TRUE);
    EXPECT_EQ(GetLastError(), 0u);

    // Status.
    DWORD word = PM_STATUS_STATE | PM_STATUS_PRINTING;
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

    // Engine status: 10023 from the word, then the host's 30119.
    EXPECT_EQ(WordAt(flat, 0), (((10023u + 30119u) & 0xFFFF) << 16) | 107u);
    EXPECT_EQ(WordAt(flat, 1720), 10023u);
    EXPECT_EQ(WordAt(flat, 1724), 30119u);
    EXPECT_EQ(WordAt(flat, 1848), 2u);
    EXPECT_EQ(flat[1382], 0) << "bAttention: kind 2 needs no operator";
    // State.
    EXPECT_EQ(WordAt(flat, 4), 1u);
    EXPECT_EQ(flat[1381], 0);
    EXPECT_EQ(flat[1383], 1);
    EXPECT_EQ(WordAt(flat, 1856), 0u);
    // System and identity.
    EXPECT_EQ(WordAt(flat, 16), 131072u);
    EXPECT_EQ(TextAt(flat, 20, 16), "SYS 1.20");
    EXPECT_EQ(TextAt(flat, 852, 256), "Colour Laser 9");
    EXPECT_EQ(TextAt(flat, 1108, 16), "Maker Ltd");
    EXPECT_EQ(TextAt(flat, 1124, 256), "");
    EXPECT_EQ(flat[1380], 255);
    // Emulations and fonts.
    EXPECT_EQ(TextAt(flat, 36, 16), "2.05");
    EXPECT_EQ(TextAt(flat, 52, 16), "3010.107");
    EXPECT_EQ(WordAt(flat, 68), 0u);
    EXPECT_EQ(WordAt(flat, 72), 1u);
    EXPECT_EQ(WordAt(flat, 76), 2u);
    EXPECT_EQ(WordAt(flat, 80), 17u);
    EXPECT_EQ(WordAt(flat, 200), 3u);
    EXPECT_EQ(WordAt(flat, 204), 0u);
    EXPECT_EQ(WordAt(flat, 332), 1u);
    // Trays: (tray, size), (tray, level), (tray, media); long layout first.
    const DWORD paper[][2] = {{3, 8}, {4, 22}, {1, 2}};
    const DWORD level[][2] = {{3, 75}, {4, 0}, {1, 100}};
    const DWORD media[][2] = {{3, 1}, {4, 33}, {1, 3}};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(WordAt(flat, 336 + 8 * i), paper[i][0]) << i;
        EXPECT_EQ(WordAt(flat, 340 + 8 * i), paper[i][1]) << i;
        EXPECT_EQ(WordAt(flat, 1424 + 8 * i), level[i][0]) << i;
        EXPECT_EQ(WordAt(flat, 1428 + 8 * i), level[i][1]) << i;
        EXPECT_EQ(WordAt(flat, 1864 + 8 * i), media[i][0]) << i;
        EXPECT_EQ(WordAt(flat, 1868 + 8 * i), media[i][1]) << i;
    }
    EXPECT_EQ(WordAt(flat, 848), 3u);
    EXPECT_EQ(WordAt(flat, 1552), 3u);
    EXPECT_EQ(WordAt(flat, 8), 0u);
    EXPECT_EQ(record->pTrayInfo->dwFlags, 1u) << "the lock bit travels in the tray flags";
    // Output bins and devices.
    EXPECT_EQ(WordAt(flat, 1556), 1u);
    EXPECT_EQ(WordAt(flat, 1560), 2u);
    EXPECT_EQ(WordAt(flat, 1684), 1u);
    EXPECT_EQ(WordAt(flat, 1716), 255u);
    EXPECT_EQ(WordAt(flat, 1688), 1u);
    EXPECT_EQ(WordAt(flat, 1692), 0x10003u);
    EXPECT_EQ(WordAt(flat, 1384), 2400u);
    // The gaps stay zero.
    for (auto [offset, length] : {std::pair<size_t, size_t>{12, 4}, {1388, 36}, {1696, 20}, {1852, 4}, {1860, 4},
                                  {2376, 24}}) {
        for (size_t i = 0; i < length; ++i) EXPECT_EQ(flat[offset + i], 0) << offset + i;
    }
}

}  // namespace
