// PrnInfoEx flattened into the 2400-byte PrnInfo: categories, cuts at the
// array and text sizes, the engine status summary.
#include "prninfo/prninfo.h"

#include "support/support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

using pattest::HostRecord;

template <typename Item>
Item *Append(HostRecord &record, const char *list) {
    auto *item = reinterpret_cast<Item *>(patprn::InfoItemAlloc(sizeof(Item)));
    patprn::InfoListAppend(record.get(), list, reinterpret_cast<InfoItem *>(item));
    return item;
}

void AddTrays(HostRecord &record, int count) {
    for (int i = 0; i < count; ++i) {
        auto *t = Append<TrayInfoItem>(record, "pTrayInfo");
        t->wTray = static_cast<uint16_t>(i + 1), t->wPaperSize = 8, t->wPaperLevel = 50, t->wMediaType = 1;
    }
}

struct Output {
    Output() { std::memset(&info, 0xA5, sizeof info); }
    BOOL Flatten(HostRecord &record, DWORD flags) {
        pattest::PoisonLastError();
        return PatPrnInfoExToPrnInfo(record.get(), &info, flags);
    }
    bool ZeroFrom(size_t offset, size_t length) const {
        const auto *bytes = reinterpret_cast<const uint8_t *>(&info) + offset;
        return std::all_of(bytes, bytes + length, [](uint8_t b) { return b == 0; });
    }
    PrnInfo info;
};

TEST(PrnInfoArguments, RejectedCallsLeaveTheOutputUntouched) {
    HostRecord small(403);
    HostRecord ok;
    Output out;
    const std::vector<uint8_t> before(reinterpret_cast<uint8_t *>(&out.info),
                                      reinterpret_cast<uint8_t *>(&out.info) + sizeof out.info);
    EXPECT_EQ(out.Flatten(small, 0xFFFFFFFF), FALSE);
    EXPECT_EQ(GetLastError(), 87u);
    EXPECT_EQ(PatPrnInfoExToPrnInfo(nullptr, &out.info, 0), FALSE);
    EXPECT_EQ(PatPrnInfoExToPrnInfo(ok.get(), nullptr, 0), FALSE);
    EXPECT_EQ(GetLastError(), 87u);
    EXPECT_EQ(std::memcmp(before.data(), &out.info, sizeof out.info), 0);
}

TEST(PrnInfoCategories, FlagsZeroKeepsOnlySizeAndHardDisk) {
    HostRecord record;
    record->bState = 1;
    Append<DeviceInfoItem>(record, "pDeviceInfo")->wDevice = 1;
    Output out;
    ASSERT_EQ(out.Flatten(record, 0), TRUE);
    EXPECT_EQ(GetLastError(), 0u);
    EXPECT_EQ(out.info.dwSize, 2400u);
    EXPECT_EQ(out.info.dwHasDuplex, 0u) << "duplex only on request";
    EXPECT_TRUE(out.ZeroFrom(0, 1384));
    EXPECT_TRUE(out.ZeroFrom(1388, 2400 - 1388));

    Append<DeviceInfoItem>(record, "pDeviceInfo")->wDevice = 3;
    ASSERT_EQ(out.Flatten(record, 0), TRUE);
    EXPECT_EQ(out.info.dwHasHardDisk, 0x10003u);
    ASSERT_EQ(out.Flatten(record, PRNINFO_DUPLEX), TRUE);
    EXPECT_EQ(out.info.dwHasDuplex, 1u);
}

TEST(PrnInfoCategories, StateIdentitySystemEmulationsFonts) {
    HostRecord record;
    record->bState = 1, record->bNotState = 0, record->bPrinting = 1, record->bNoResponse = 1;
    record->bModelCode = 255, record->dwMemorySize = 65536, record->dwEmulExtra = 4;
    patprn::InfoStringSet(record.get(), "pModelName", "Model X");
    patprn::InfoStringSet(record.get(), "pMakerName", "ABCDEFGHIJKLMNOPQRST");
    patprn::InfoStringSet(record.get(), "pSYSVersion", "0123456789abcdefXYZ");
    patprn::InfoStringSet(record.get(), "pMainProgVersion", "1.0");
    for (int i = 0; i < 33; ++i) Append<LoadedEmulItem>(record, "pLoadedEmul")->wEmul = static_cast<uint16_t>(i + 1);
    for (int i = 0; i < 40; ++i) Append<LoadedFontItem>(record, "pLoadedFont")->wFont = 0xFFFF;
    Output out;
    ASSERT_EQ(out.Flatten(record, PRNINFO_STATE | PRNINFO_IDENTITY | PRNINFO_SYSTEM | PRNINFO_EMULATIONS |
                                      PRNINFO_FONTS),
              TRUE);
    EXPECT_EQ(out.info.dwState, 1u);
    EXPECT_EQ(out.info.bPrinting, 1);
    EXPECT_EQ(out.info.dwNoResponse, 1u);
    EXPECT_STREQ(out.info.szModelName, "Model X");
    EXPECT_STREQ(out.info.szMakerName, "ABCDEFGHIJKLMNO");
    EXPECT_STREQ(out.info.szDescription, "") << "no description";
    EXPECT_EQ(out.info.bModelCode, 255);
    EXPECT_STREQ(out.info.szSYSVersion, "0123456789abcde");
    EXPECT_EQ(out.info.dwMemorySize, 65536u);
    EXPECT_STREQ(out.info.szMainProgVersion, "1.0");
    EXPECT_STREQ(out.info.szVPSVersion, "");
    EXPECT_EQ(out.info.nEmul, 32u);
    EXPECT_EQ(out.info.adwEmul[31], 32u);
    EXPECT_EQ(out.info.dwEmulExtra, 4u);
    EXPECT_EQ(out.info.nFont, 32u);
    EXPECT_EQ(out.info.adwFont[0], 0xFFFFu) << "widened without sign";
}

TEST(PrnInfoTrays, ThreeTraysInEveryArray) {
    HostRecord record;
    const uint16_t codes[] = {3, 4, 1};
    for (uint16_t code : codes) {
        auto *t = Append<TrayInfoItem>(record, "pTrayInfo");
        t->wTray = code, t->wPaperSize = static_cast<uint16_t>(code + 10), t->wPaperLevel = 75,
        t->wMediaType = static_cast<uint16_t>(code + 20);
    }
    record->dwTrayExtra = 6;
    Output out;
    ASSERT_EQ(out.Flatten(record, PRNINFO_TRAYS), TRUE);
    EXPECT_EQ(out.info.nTrayPaper, 3u);
    EXPECT_EQ(out.info.nTrayLevel, 3u);
    EXPECT_EQ(out.info.dwTrayExtra, 6u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(out.info.aTrayPaper[i].dwCode, codes[i]);
        EXPECT_EQ(out.info.aTrayPaper[i].dwValue, codes[i] + 10u);
        EXPECT_EQ(out.info.aTrayLevel[i].dwCode, codes[i]);
        EXPECT_EQ(out.info.aTrayLevel[i].dwValue, 75u);
        EXPECT_EQ(out.info.aTrayMedia[i].dwValue, codes[i] + 20u);
    }
}

// More than 16 trays: aTrayLevel holds the first 16 and nTrayLevel counts
// them; the 64-tray arrays stop at 64.
TEST(PrnInfoTrays, LongListsAreCutAtTheirArrays) {
    HostRecord record;
    AddTrays(record, 70);
    for (int i = 0; i < 20; ++i) Append<OutBinInfoItem>(record, "pOutBinInfo")->wBin = 1;
    Output out;
    ASSERT_EQ(out.Flatten(record, PRNINFO_TRAYS | PRNINFO_OUTBINS), TRUE);
    EXPECT_EQ(out.info.nTrayPaper, 64u);
    EXPECT_EQ(out.info.nTrayLevel, 16u);
    EXPECT_EQ(out.info.aTrayLevel[15].dwCode, 16u);
    EXPECT_EQ(out.info.aTrayMedia[63].dwCode, 64u);
    EXPECT_EQ(out.info.nOutBin, 16u);
    EXPECT_TRUE(out.ZeroFrom(1388, 36)) << "nothing written before aTrayLevel";
    EXPECT_TRUE(out.ZeroFrom(2376, 24)) << "nothing written after aTrayMedia";
}

TEST(PrnInfoEngineStatus, SummaryOfOneSeveralOrNone) {
    struct Case {
        std::vector<DWORD> codes;
        DWORD statusCode;
        DWORD nStatus;
        bool listed;
    } cases[] = {
        {{0xFFFFFF02}, 0xFF02, 1, false},
        {{10001, 10023}, 0x4E38006B, 2, true},
        {{}, 107, 0, true},
    };
    for (const Case &c : cases) {
        HostRecord record;
        for (DWORD code : c.codes) patprn::InfoAddEngineStatus(record.get(), code);
        record->bAttention = 1;
        Output out;
        ASSERT_EQ(out.Flatten(record, PRNINFO_ENGINE_STATUS), TRUE);
        EXPECT_EQ(out.info.dwStatusCode, c.statusCode);
        EXPECT_EQ(out.info.nStatus, c.nStatus);
        EXPECT_EQ(out.info.bAttention, 1);
        for (size_t i = 0; i < 32; ++i) {
            EXPECT_EQ(out.info.adwStatus[i], c.listed && i < c.codes.size() ? c.codes[i] : 0u) << i;
        }
    }
}

TEST(PrnInfoEngineStatus, FortyCodesSumTheFirst32) {
    HostRecord record;
    DWORD sum = 0;
    for (DWORD i = 0; i < 40; ++i) {
        patprn::InfoAddEngineStatus(record.get(), 30000 + i);
        if (i < 32) sum += 30000 + i;
    }
    Output out;
    ASSERT_EQ(out.Flatten(record, PRNINFO_ENGINE_STATUS), TRUE);
    EXPECT_EQ(out.info.nStatus, 32u);
    EXPECT_EQ(out.info.adwStatus[31], 30031u);
    EXPECT_EQ(out.info.dwStatusCode, ((sum & 0xFFFFu) << 16) | 107u);
}

}  // namespace
