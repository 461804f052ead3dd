// The configuration shape of the printer-management record into PrnInfoEx:
// general data, trays of both layouts, output bins, devices.
#include "prninfo/paper_size_table.h"
#include "prninfo/pm_config.h"

#include "support/heap_hook.h"
#include "support/pm_records.h"
#include "support/support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace {

using pattest::AddTray;
using pattest::HostRecord;
using pattest::NotAvailable;
using pattest::PMGroupOf;

constexpr DWORD NA = PAT_PMINFO_VALUE_NOT_AVAILABLE;

BOOL Convert(const PMInfoConfig &pm, DWORD flags, HostRecord &record) {
    pattest::PoisonLastError();
    return PatPMInfoToPrnInfoEx(PAT_STATUS_SOURCE_PM, &pm, PAT_REVISION_PM_CONFIG, flags, record.get());
}

std::vector<const TrayInfoItem *> Trays(PrnInfoEx *info) {
    std::vector<const TrayInfoItem *> trays;
    for (auto *t = info->pTrayInfo; t != nullptr; t = reinterpret_cast<TrayInfoItem *>(t->next)) trays.push_back(t);
    EXPECT_EQ(info->nTrayInfo, trays.size());
    return trays;
}

// The printer's paper sizes as its documentation lists them, width x length
// = code, U for "width not available"; typed apart from the library's table.
const char kPaperSizeListing[] = R"(
1189x841=90  841x594=91  594x841=88  594x420=72  420x594=86  420x297=5
297x420=4  1030x728=92  728x515=93  515x728=89  515x364=73  364x515=87
364x257=7  257x364=6  297x210=9  210x297=8  257x182=11  182x257=10
210x148=13  148x210=12  148x105=17  105x148=16  182x128=15  128x182=14
148x100=34  431x279=58  279x431=57  355x215=21  215x355=20  279x215=23
215x279=22  215x139=27  139x215=26  266x184=25  184x266=24  330x203=60
330x215=62  330x209=28  241x104=53  104x241=79  190x98=52  98x190=80
229x162=31  162x229=81  162x114=33  114x162=82  220x110=32  110x220=83
390x267=64  267x195=66  195x267=65  304x228=103  457x304=69  304x457=76
609x457=104  457x609=105  863x558=106  558x863=107  914x609=108  609x914=109
1066x762=110  1117x863=111  1219x914=112  148x100=34  148x200=71  200x148=70
558x431=75  431x558=74  Ux841=257  Ux594=258  Ux420=259  Ux297=260
Ux210=261  Ux728=270  Ux515=271  Ux364=272  Ux257=273  Ux215=274
Ux228=275  Ux279=276  Ux304=277  Ux431=278  Ux457=279  Ux558=280
Ux609=281  Ux762=282  Ux863=283  Ux914=284  Ux0=2
)";

TEST(PaperSizeTable, MatchesThePrintersListingRowForRow) {
    std::istringstream listing(kPaperSizeListing);
    std::string entry;
    size_t row = 0;
    bool ended = false;
    while (listing >> entry) {
        ASSERT_FALSE(ended) << "rows after the end row";
        const size_t x = entry.find('x'), eq = entry.find('=');
        const std::string width = entry.substr(0, x);
        const uint32_t w = width == "U" ? 0xFFFFFFFFu : static_cast<uint32_t>(std::stoul(width));
        const uint32_t l = static_cast<uint32_t>(std::stoul(entry.substr(x + 1, eq - x - 1)));
        const patprn::PaperSizeRow &r = patprn::PaperSizeTable[row];
        EXPECT_EQ(r.width, w) << "row " << row + 1;
        EXPECT_EQ(r.length, l) << "row " << row + 1;
        EXPECT_EQ(r.code, std::stoul(entry.substr(eq + 1))) << "row " << row + 1;
        ended = r.width == 0xFFFFFFFFu && r.length == 0;
        ++row;
    }
    EXPECT_EQ(row, 89u);
    EXPECT_TRUE(ended) << "the last row is U x 0";
    EXPECT_EQ(patprn::PaperSizeTable[88].code, 2);
}

TEST(PaperSizeFind, ToleranceAndMissingDimensions) {
    struct Case {
        uint32_t width, length;
        uint16_t code;
    } cases[] = {
        {210, 297, 8},   {297, 210, 9},   {211, 296, 8},  {208, 299, 8},  // within 2 mm
        {213, 297, 2},   {210, 300, 2},                                   // 3 mm off: no row
        {NA, 297, 260},  {NA, 0, 2},      {NA, NA, 41},   {210, NA, 41},
        {0, 297, 2},     {1, 297, 2},     {0, 0, 2},      {0xFFFFFFFEu, 297, 2},  // wrapped bounds
        {1219, 914, 112}, {98, 190, 80},
    };
    for (const Case &c : cases) EXPECT_EQ(patprn::PaperSizeFind(c.width, c.length), c.code) << c.width << "x" << c.length;
}

TEST(PaperLevelFromBits, FirstRuleWins) {
    const std::pair<DWORD, uint16_t> cases[] = {{NA, 100},   {0x2, 0},    {0x10, 0},  {0x12, 0},  {0x300, 10},
                                                {0x200, 25}, {0x400, 50}, {0x800, 75}, {0xC00, 50}, {0x1000, 100},
                                                {0, 100},    {0x102, 0}};
    for (auto [bits, level] : cases) EXPECT_EQ(patprn::PaperLevelFromBits(bits), level) << std::hex << bits;
}

TEST(PMConfigTrays, BothLayoutsConvertTheSameData) {
    DWORD ext = 0x4;
    PMGroupOf<PMTray> longTrays;
    PMTray &a4 = AddTray(longTrays, "Tray 2");
    a4.dwWidth = 210, a4.dwLength = 297, a4.dwLevel = 0x400, a4.dwMedia = 0x1, a4.dwFlags = 0;
    PMTray &custom = AddTray(longTrays, "Bypass Tray");
    custom.dwWidth = 210, custom.dwLength = 297, custom.dwFlags = 0x101, custom.dwMedia = 0x800000;
    custom.pMediaExt = &ext;
    PMTray &noExt = AddTray(longTrays, "tray 1");
    noExt.dwMedia = 0x800000;
    noExt.pMediaExt = NotAvailable<DWORD>();
    longTrays.AddPointer(NotAvailable<void>());
    PMGroupOf<PMTrayShort> shortTrays;
    PMTrayShort &s1 = AddTray(shortTrays, "Tray 3");
    s1.dwWidth = 297, s1.dwLength = 210, s1.dwFlags = 0x100, s1.dwMedia = 0x800000, s1.dwLevel = 0x12;
    PMTrayShort &s2 = AddTray(shortTrays, nullptr);
    s2.dwMedia = 0x3;
    s2.pMediaName = "Plain";
    PMTrayShort &s3 = AddTray(shortTrays, "Tray 1");
    s3.pMediaName = "Plain";
    s3.dwWidth = 148, s3.dwLength = 210, s3.dwMedia = 0x400000;

    PMInfoConfig pm{nullptr, longTrays.get(), nullptr, {}, nullptr, {}, shortTrays.get()};
    HostRecord record;
    record->dwTrayExtra = 7;
    ASSERT_EQ(Convert(pm, PAT_PMINFO_TRAYS | PAT_PMINFO_TRAYS_SHORT, record), TRUE);
    EXPECT_EQ(GetLastError(), 0u);
    struct Expected {
        uint16_t tray, size, level, media;
        uint32_t flags;
    } expected[] = {
        {4, 8, 50, 1, 0},            // an A4 tray
        {1, 2, 100, 27, 0x1},        // custom size: no search, bit cleared in the long layout
        {0, 41, 100, 0, NA},         // name in other letter case; extended media not available
        {5, 2, 0, 0, 0x100},         // short layout keeps the custom bit, has no extended media
        {0, 41, 100, 0, NA},         // two media bits match no row
        {3, 12, 100, 25, NA},
    };
    const auto trays = Trays(record.get());
    ASSERT_EQ(trays.size(), std::size(expected)) << "long trays first, the unavailable element skipped";
    for (size_t i = 0; i < trays.size(); ++i) {
        EXPECT_EQ(trays[i]->wTray, expected[i].tray) << i;
        EXPECT_EQ(trays[i]->wPaperSize, expected[i].size) << i;
        EXPECT_EQ(trays[i]->wPaperLevel, expected[i].level) << i;
        EXPECT_EQ(trays[i]->wMediaType, expected[i].media) << i;
        EXPECT_EQ(trays[i]->dwFlags, expected[i].flags) << i;
    }
    EXPECT_EQ(record->dwTrayExtra, 0u);
}

TEST(PMConfigBinsAndDevices, CodesFromTheirTables) {
    PMGroupOf<PMOutBin> bins;
    bins.Add() = {"Standard Tray", 1};
    bins.Add() = {nullptr, 0};
    bins.Add() = {"Standard Tray", NA};
    bins.Add() = {"Face Up", 2};
    PMGroupOf<PMDevice> devices;
    const DWORD numbers[] = {628, 629, 630, NA, 625, 626, 627};
    for (DWORD n : numbers) devices.Add().dwNumber = n;
    PMInfoConfig pm{nullptr, nullptr, bins.get(), {}, devices.get(), {}, nullptr};
    HostRecord record;
    ASSERT_EQ(Convert(pm, PAT_PMINFO_OUTBINS | PAT_PMINFO_DEVICES, record), TRUE);
    std::vector<std::pair<int, int>> gotBins;
    for (auto *b = record->pOutBinInfo; b; b = reinterpret_cast<OutBinInfoItem *>(b->next))
        gotBins.emplace_back(b->wBin, b->wBinState);
    EXPECT_EQ(gotBins, (std::vector<std::pair<int, int>>{{1, 2}, {255, 0}, {1, 0}, {255, 0}}));
    EXPECT_EQ(record->dwOutBinExtra, 255u);
    std::vector<int> gotDevices;
    for (auto *d = record->pDeviceInfo; d; d = reinterpret_cast<DeviceInfoItem *>(d->next)) gotDevices.push_back(d->wDevice);
    EXPECT_EQ(gotDevices, (std::vector<int>{1, 3, 0, 0, 16, 105, 106}));
}

TEST(PMConfigGeneral, NamesMemoryAndDescription) {
    PMGeneral general{"Model X", "SYS 2.1", 67108864, 0, "Maker"};
    PMInfoConfig pm{&general, nullptr, nullptr, {}, nullptr, {}, nullptr};
    HostRecord record;
    patprn::InfoStringSet(record.get(), patprn::InfoString::Description, "old description");
    ASSERT_EQ(Convert(pm, PAT_PMINFO_GENERAL, record), TRUE);
    EXPECT_STREQ(record->pModelName, "Model X");
    EXPECT_STREQ(record->pSYSVersion, "SYS 2.1");
    EXPECT_STREQ(record->pMakerName, "Maker");
    EXPECT_EQ(record->bModelCode, 255);
    EXPECT_EQ(record->dwMemorySize, 65536u);
    EXPECT_EQ(record->pDescription, nullptr) << "released, as the leak check shows";

    general = {nullptr, NotAvailable<const char>(), NA, 0, nullptr};
    record->bModelCode = 9;
    ASSERT_EQ(Convert(pm, PAT_PMINFO_GENERAL, record), TRUE);
    EXPECT_STREQ(record->pModelName, "Model X");
    EXPECT_EQ(record->bModelCode, 9) << "no model name: the code stays";
    EXPECT_EQ(record->dwMemorySize, 65536u);
}

// Every pointer "not available": no error, nothing dereferenced; the tray
// flags still empty the tray list, whose travelling value stays.
TEST(PMConfigNotAvailable, EveryPointerSkipped) {
    for (int fill : {0x00, 0xFF}) {
        PMInfoConfig pm;
        std::memset(&pm, fill, sizeof pm);
        HostRecord record;
        patprn::InfoListAppend(record.get(), patprn::InfoList::TrayInfo, patprn::InfoItemAlloc(sizeof(TrayInfoItem)));
        record->dwMemorySize = 3, record->dwTrayExtra = 7;
        ASSERT_EQ(Convert(pm, 0xFFFFFFFF, record), TRUE);
        EXPECT_EQ(GetLastError(), 0u);
        EXPECT_EQ(record->pTrayInfo, nullptr);
        EXPECT_EQ(record->nTrayInfo, 0u);
        EXPECT_EQ(record->dwTrayExtra, 7u);
        EXPECT_EQ(record->dwMemorySize, 3u);
        EXPECT_EQ(record->dwOutBinExtra, 0u);
    }
}

TEST(PMConfigHeap, TrayFailuresReport87OthersReport8) {
    SKIP_WITHOUT_HEAP_HOOK();
    pattest::HeapHookGuard guard;
    PMGeneral general{"M", "S", 1024, 0, "K"};
    PMGroupOf<PMTray> trays;
    AddTray(trays, "Tray 1");
    AddTray(trays, "Tray 2");
    PMGroupOf<PMOutBin> bins;
    bins.Add() = {"Standard Tray", 0};
    PMGroupOf<PMDevice> devices;
    devices.Add().dwNumber = 629;
    PMInfoConfig pm{&general, trays.get(), bins.get(), {}, devices.get(), {}, nullptr};
    // 3 strings, 2 trays, 1 bin, 1 device
    const DWORD expected[] = {8, 8, 8, 87, 87, 8, 8, 0};
    for (unsigned n = 1; n <= std::size(expected); ++n) {
        HostRecord record;
        const long live = pattest::LiveHeapBlocks();
        pattest::FailNthAllocation(n);
        const BOOL ok = Convert(pm, 0x47, record);
        pattest::FailNthAllocation(0);
        EXPECT_EQ(GetLastError(), expected[n - 1]) << n;
        EXPECT_EQ(ok, expected[n - 1] == 0 ? TRUE : FALSE) << n;
        if (n == 1) {
            EXPECT_EQ(record->bModelCode, 255) << "a model name that cannot be stored";
        }
        EXPECT_EQ(pattest::ChainLength(record->pTrayInfo), record->nTrayInfo);
        EXPECT_EQ(pattest::ChainLength(record->pOutBinInfo), record->nOutBinInfo);
        EXPECT_EQ(pattest::ChainLength(record->pDeviceInfo), record->nDeviceInfo);
        record.ReleaseLists();
        EXPECT_EQ(pattest::LiveHeapBlocks(), live) << n;
    }
}

}  // namespace
