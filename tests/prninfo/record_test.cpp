// The PrnInfoEx record's lists and strings, reached by name.
#include "prninfo/prninfo.h"
#include "support/heap_hook.h"
#include "support/support.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace patprn;
using pattest::HostRecord;

InfoItem *NewTray(uint16_t tray) {
    auto *item = reinterpret_cast<TrayInfoItem *>(InfoItemAlloc(kTrayInfoItemSize));
    item->wTray = tray;
    return reinterpret_cast<InfoItem *>(item);
}

TEST(InfoItemAlloc, ZeroFilledWithHeadSet) {
    auto *item = reinterpret_cast<EngineStatusItem *>(InfoItemAlloc(kEngineStatusItemSize));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->next, nullptr);
    EXPECT_EQ(item->cbItem, 280u);
    EXPECT_EQ(GlobalSize(item), 280u);
    EXPECT_EQ(item->dwCode, 0u);
    EXPECT_STREQ(item->szText, "");
    GlobalFree(item);
}

TEST(InfoListAppend, KeepsArrivalOrderAndCounts) {
    HostRecord record;
    InfoItem *first = NewTray(3);
    ASSERT_EQ(InfoListAppend(record.get(), "pTrayInfo", first), 1);
    EXPECT_EQ(reinterpret_cast<InfoItem *>(record->pTrayInfo), first);
    EXPECT_EQ(record->nTrayInfo, 1u);

    InfoItem *second = NewTray(4);
    ASSERT_EQ(InfoListAppend(record.get(), "pTrayInfo", second), 1);
    EXPECT_EQ(reinterpret_cast<InfoItem *>(record->pTrayInfo), first) << "head unchanged";
    EXPECT_EQ(first->next, second);
    EXPECT_EQ(record->nTrayInfo, 2u);
    EXPECT_EQ(InfoItemChainFind(first, 4), second);
    EXPECT_EQ(InfoItemChainFind(first, 5), nullptr);
}

TEST(InfoListAppend, EveryListNameReachesItsOwnSlots) {
    struct Slot {
        const char *name;
        size_t count;
        size_t head;
    } slots[] = {
        {"pEngineStatus", 8, 16},     {"pLoadedEmul", 88, 96},    {"pLoadedFont", 104, 112},
        {"pTrayInfo", 124, 128},      {"pOutBinInfo", 140, 144},  {"pDeviceInfo", 152, 160},
        {"pEmulUniqInfo", 168, 176},  {"pCounterInfo", 220, 224}, {"pSupplyInfo", 232, 240},
        {"pColorCorrection", 248, 256}, {"pCustomMediaInfo", 264, 272},
    };
    for (const Slot &slot : slots) {
        HostRecord record;
        InfoItem *item = InfoItemAlloc(16);
        ASSERT_EQ(InfoListAppend(record.get(), slot.name, item), 1) << slot.name;
        InfoItem *head;
        uint32_t count;
        std::memcpy(&head, record.bytes.data() + slot.head, sizeof head);
        std::memcpy(&count, record.bytes.data() + slot.count, sizeof count);
        EXPECT_EQ(head, item) << slot.name;
        EXPECT_EQ(count, 1u) << slot.name;
        InfoListClear(record.get(), slot.name);
    }
}

TEST(InfoListAppend, UnknownOrMiscasedNamesChangeNothing) {
    HostRecord record;
    const std::vector<uint8_t> before = record.bytes;
    InfoItem *item = NewTray(3);
    EXPECT_EQ(InfoListAppend(record.get(), "ptrayinfo", item), 0);
    EXPECT_EQ(InfoListAppend(record.get(), "pTrayInfoX", item), 0);
    EXPECT_EQ(InfoListClear(record.get(), "PTRAYINFO"), 0);
    EXPECT_EQ(InfoStringSet(record.get(), "pmodelname", "x"), 0);
    EXPECT_EQ(record.bytes, before);
    GlobalFree(item);
}

TEST(InfoListClear, ReleasesTheChainAndEmptiesTheSlots) {
    HostRecord record;
    EXPECT_EQ(InfoListClear(record.get(), "pTrayInfo"), 1) << "clearing an empty list succeeds";
    EXPECT_EQ(record->pTrayInfo, nullptr);
    const long before = pattest::LiveHeapBlocks();
    InfoListAppend(record.get(), "pTrayInfo", NewTray(3));
    InfoListAppend(record.get(), "pTrayInfo", NewTray(4));
    EXPECT_EQ(InfoListClear(record.get(), "pTrayInfo"), 1);
    EXPECT_EQ(record->pTrayInfo, nullptr);
    EXPECT_EQ(record->nTrayInfo, 0u);
    EXPECT_EQ(pattest::LiveHeapBlocks(), before);
}

TEST(InfoStringSet, StoresFreshCopiesAndReplacesTheOldOne) {
    HostRecord record;
    ASSERT_EQ(InfoStringSet(record.get(), "pModelName", ""), 1);
    ASSERT_NE(record->pModelName, nullptr) << "an empty text is stored, not null";
    EXPECT_EQ(GlobalSize(record->pModelName), 1u);

    char text[] = "Colour Laser 700";
    ASSERT_EQ(InfoStringSet(record.get(), "pModelName", text), 1);
    EXPECT_NE(record->pModelName, text);
    EXPECT_STREQ(record->pModelName, "Colour Laser 700");
    text[0] = 'X';
    EXPECT_STREQ(record->pModelName, "Colour Laser 700") << "the record holds its own copy";

    // Setting a string to its own current value keeps the text.
    ASSERT_EQ(InfoStringSet(record.get(), "pModelName", record->pModelName), 1);
    EXPECT_STREQ(record->pModelName, "Colour Laser 700");

    const char *names[] = {"pMakerName", "pDescription", "pSYSVersion", "pMainProgVersion", "pVPSVersion"};
    for (const char *name : names) EXPECT_EQ(InfoStringSet(record.get(), name, name), 1) << name;
    EXPECT_STREQ(record->pVPSVersion, "pVPSVersion");
    EXPECT_STREQ(record->pSYSVersion, "pSYSVersion");
}

TEST(InfoStringSet, FailedCopyLeavesTheSlotNull) {
    SKIP_WITHOUT_HEAP_HOOK();
    pattest::HeapHookGuard guard;
    HostRecord record;
    ASSERT_EQ(InfoStringSet(record.get(), "pDescription", "old"), 1);
    pattest::FailNthAllocation(1);
    EXPECT_EQ(InfoStringSet(record.get(), "pDescription", "new"), 0);
    EXPECT_EQ(record->pDescription, nullptr);
}

TEST(CodeTableLookup, ExactCaseSensitiveMatchElseTheDefault) {
    const CodeTableRow table[] = {{"LETTER", 2}, {"A4", 26}, {"A4X", 27}, {nullptr, 41}};
    EXPECT_EQ(CodeTableLookup("A4", table), 26u);
    EXPECT_EQ(CodeTableLookup("A4X", table), 27u);
    EXPECT_EQ(CodeTableLookup("a4", table), 41u);
    EXPECT_EQ(CodeTableLookup("A", table), 41u) << "a prefix is no match";
    EXPECT_EQ(CodeTableLookup(nullptr, table), 0xFFFFFFFFu);
    EXPECT_EQ(CodeTableLookup("A4", nullptr), 0xFFFFFFFFu);
    EXPECT_EQ(CodeTableLookup("any model", ModelNameTable), 255u);
    EXPECT_EQ(CodeTableLookup("", ModelNameTable), 255u);
}

TEST(InfoHasDevice, SearchesTheDeviceList) {
    HostRecord record;
    EXPECT_EQ(InfoHasDevice(record.get(), 1), 0);
    auto *duplex = reinterpret_cast<DeviceInfoItem *>(InfoItemAlloc(kDeviceInfoItemSize));
    duplex->wDevice = 1;
    InfoListAppend(record.get(), "pDeviceInfo", reinterpret_cast<InfoItem *>(duplex));
    EXPECT_EQ(InfoHasDevice(record.get(), 1), 1);
    EXPECT_EQ(InfoHasDevice(record.get(), 3), 0);
}

TEST(InfoAddEngineStatus, StoresLowWordAndFullCode) {
    HostRecord record;
    ASSERT_EQ(InfoAddEngineStatus(record.get(), PAT_STATUS_NO_RESPONSE), 1);
    ASSERT_EQ(InfoAddEngineStatus(record.get(), 10001), 1);
    EXPECT_EQ(record->nEngineStatus, 2u);
    const EngineStatusItem *first = record->pEngineStatus;
    EXPECT_EQ(first->wCode, 0xFF02u);
    EXPECT_EQ(first->dwCode, 0xFFFFFF02u);
    EXPECT_STREQ(first->szText, "");
    EXPECT_EQ(reinterpret_cast<const EngineStatusItem *>(first->next)->dwCode, 10001u);
}

TEST(InfoAddEngineStatus, FailedAllocationChangesNothing) {
    SKIP_WITHOUT_HEAP_HOOK();
    pattest::HeapHookGuard guard;
    HostRecord record;
    pattest::FailNthAllocation(1);
    EXPECT_EQ(InfoAddEngineStatus(record.get(), 10001), 0);
    EXPECT_EQ(record->nEngineStatus, 0u);
    EXPECT_EQ(record->pEngineStatus, nullptr);
}

}  // namespace
