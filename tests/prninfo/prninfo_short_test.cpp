// PrnInfoEx flattened into the 2400-byte PrnInfo: argument checks, cuts at
// the array and text sizes, the engine status summary.
#include "prninfo/prninfo.h"

#include "support/support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

using pattest::HostRecord;

template <typename Item>
Item *Append(HostRecord &record, patprn::InfoList list) {
    auto *item = reinterpret_cast<Item *>(patprn::InfoItemAlloc(sizeof(Item)));
    patprn::InfoListAppend(record.get(), list, reinterpret_cast<InfoItem *>(item));
    return item;
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
    HostRecord small(403), ok;
    Output out;
    const Output untouched;
    EXPECT_EQ(out.Flatten(small, 0xFFFFFFFF), FALSE);
    EXPECT_EQ(GetLastError(), 87u);
    EXPECT_EQ(PatPrnInfoExToPrnInfo(nullptr, &out.info, 0), FALSE);
    EXPECT_EQ(PatPrnInfoExToPrnInfo(ok.get(), nullptr, 0), FALSE);
    EXPECT_EQ(GetLastError(), 87u);
    EXPECT_EQ(std::memcmp(&untouched.info, &out.info, sizeof out.info), 0);
}

TEST(PrnInfoCategories, FlagsZeroKeepsOnlySizeAndHardDisk) {
    HostRecord record;
    record->bState = 1;
    Append<DeviceInfoItem>(record, patprn::InfoList::DeviceInfo)->wDevice = 1;
    Output out;
    ASSERT_EQ(out.Flatten(record, 0), TRUE);
    EXPECT_EQ(GetLastError(), 0u);
    EXPECT_EQ(out.info.dwSize, 2400u);
    EXPECT_TRUE(out.ZeroFrom(0, 1384));
    EXPECT_TRUE(out.ZeroFrom(1388, 2400 - 1388)) << "no duplex flag without its request";

    Append<DeviceInfoItem>(record, patprn::InfoList::DeviceInfo)->wDevice = 3;
    ASSERT_EQ(out.Flatten(record, 0), TRUE);
    EXPECT_EQ(out.info.dwHasHardDisk, 0x10003u);
}

// More than 16 trays: aTrayLevel holds the first 16 and nTrayLevel counts
// exactly those; every other list and text stops at its field's size.
TEST(PrnInfoCuts, LongListsAndTextsAreCut) {
    HostRecord record;
    for (int i = 1; i <= 70; ++i) {
        auto *t = Append<TrayInfoItem>(record, patprn::InfoList::TrayInfo);
        t->wTray = static_cast<uint16_t>(i), t->wPaperLevel = 50, t->wMediaType = 1;
    }
    for (int i = 0; i < 20; ++i) Append<OutBinInfoItem>(record, patprn::InfoList::OutBinInfo)->wBin = 1;
    for (int i = 1; i <= 33; ++i) Append<LoadedEmulItem>(record, patprn::InfoList::LoadedEmul)->wEmul = static_cast<uint16_t>(i);
    for (int i = 0; i < 40; ++i) Append<LoadedFontItem>(record, patprn::InfoList::LoadedFont)->wFont = 0xFFFF;
    patprn::InfoStringSet(record.get(), patprn::InfoString::MakerName, "ABCDEFGHIJKLMNOPQRST");
    patprn::InfoStringSet(record.get(), patprn::InfoString::SYSVersion, "0123456789abcdefXYZ");
    Output out;
    ASSERT_EQ(out.Flatten(record, PAT_PRNINFO_TRAYS | PAT_PRNINFO_OUTBINS | PAT_PRNINFO_EMULATIONS | PAT_PRNINFO_FONTS |
                                      PAT_PRNINFO_IDENTITY | PAT_PRNINFO_SYSTEM),
              TRUE);
    EXPECT_EQ(out.info.nTrayPaper, 64u);
    EXPECT_EQ(out.info.nTrayLevel, 16u);
    EXPECT_EQ(out.info.aTrayLevel[15].dwCode, 16u);
    EXPECT_EQ(out.info.aTrayMedia[63].dwCode, 64u);
    EXPECT_TRUE(out.ZeroFrom(1388, 36)) << "nothing written before aTrayLevel";
    EXPECT_TRUE(out.ZeroFrom(2376, 24)) << "nothing written after aTrayMedia";
    EXPECT_EQ(out.info.nOutBin, 16u);
    EXPECT_EQ(out.info.nEmul, 32u);
    EXPECT_EQ(out.info.adwEmul[31], 32u);
    EXPECT_EQ(out.info.nFont, 32u);
    EXPECT_EQ(out.info.adwFont[0], 0xFFFFu) << "widened without sign";
    EXPECT_STREQ(out.info.szMakerName, "ABCDEFGHIJKLMNO");
    EXPECT_STREQ(out.info.szSYSVersion, "0123456789abcde");
    EXPECT_STREQ(out.info.szDescription, "") << "no description";
}

TEST(PrnInfoEngineStatus, SummaryOfOneSeveralOrNone) {
    std::vector<DWORD> forty;
    DWORD sum = 0;
    for (DWORD i = 0; i < 40; ++i) forty.push_back(30000 + i), sum += i < 32 ? 30000 + i : 0;
    struct Case {
        std::vector<DWORD> codes;
        DWORD statusCode, nStatus;
    } cases[] = {
        {{0xFFFFFF02}, 0xFF02, 1},  // one code: its low half, not listed
        {{10001, 10023}, 0x4E38006B, 2},
        {{}, 107, 0},
        {forty, ((sum & 0xFFFFu) << 16) | 107u, 32},
    };
    for (const Case &c : cases) {
        HostRecord record;
        for (DWORD code : c.codes) patprn::InfoAddEngineStatus(record.get(), code);
        record->bAttention = 1;
        Output out;
        ASSERT_EQ(out.Flatten(record, PAT_PRNINFO_ENGINE_STATUS), TRUE);
        EXPECT_EQ(out.info.dwStatusCode, c.statusCode);
        EXPECT_EQ(out.info.nStatus, c.nStatus);
        EXPECT_EQ(out.info.bAttention, 1);
        for (size_t i = 0; i < 32; ++i) {
            EXPECT_EQ(out.info.adwStatus[i], c.codes.size() > 1 && i < c.codes.size() ? c.codes[i] : 0u) << i;
        }
    }
}

}  // namespace
