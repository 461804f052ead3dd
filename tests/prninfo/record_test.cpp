// The PrnInfoEx record's lists and strings, reached through their slots.
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
    ASSERT_EQ(InfoListAppend(record.get(), InfoList::TrayInfo, first), 1);
    EXPECT_EQ(reinterpret_cast<InfoItem *>(record->pTrayInfo), first);
    EXPECT_EQ(record->nTrayInfo, 1u);

    InfoItem *second = NewTray(4);
    ASSERT_EQ(InfoListAppend(record.get(), InfoList::TrayInfo, second), 1);
    EXPECT_EQ(reinterpret_cast<InfoItem *>(record->pTrayInfo), first) << "head unchanged";
    EXPECT_EQ(first->next, second);
    EXPECT_EQ(record->nTrayInfo, 2u);
    EXPECT_EQ(InfoListFind(record.get(), InfoList::TrayInfo, 4), second);
    EXPECT_EQ(InfoListFind(record.get(), InfoList::TrayInfo, 5), nullptr);
}

TEST(InfoListAppend, EveryListReachesItsOwnSlots) {
    struct Slot {
        InfoList list;
        size_t count;
        size_t head;
    } slots[] = {
        {InfoList::EngineStatus, 8, 16},     {InfoList::LoadedEmul, 88, 96},    {InfoList::LoadedFont, 104, 112},
        {InfoList::TrayInfo, 124, 128},      {InfoList::OutBinInfo, 140, 144},  {InfoList::DeviceInfo, 152, 160},
        {InfoList::EmulUniqInfo, 168, 176},  {InfoList::CounterInfo, 220, 224}, {InfoList::SupplyInfo, 232, 240},
        {InfoList::ColorCorrection, 248, 256}, {InfoList::CustomMediaInfo, 264, 272},
    };
    for (const Slot &slot : slots) {
        HostRecord record;
        InfoItem *item = InfoItemAlloc(16);
        ASSERT_EQ(InfoListAppend(record.get(), slot.list, item), 1) << slot.head;
        InfoItem *head;
        uint32_t count;
        std::memcpy(&head, record.bytes.data() + slot.head, sizeof head);
        std::memcpy(&count, record.bytes.data() + slot.count, sizeof count);
        EXPECT_EQ(head, item) << slot.head;
        EXPECT_EQ(count, 1u) << slot.head;
        InfoListClear(record.get(), slot.list);
    }
}

// A host chain that loops back on itself is walked no further than the
// list's count: finding, appending and clearing all end.
TEST(InfoList, CyclicChainsAreWalkedOnlyToTheirCount) {
    HostRecord record;
    TrayInfoItem trays[2] = {};
    trays[0].next = reinterpret_cast<InfoItem *>(&trays[1]);
    trays[1].next = reinterpret_cast<InfoItem *>(&trays[0]);
    trays[0].wTray = 3;
    trays[1].wTray = 4;
    record->pTrayInfo = &trays[0];
    record->nTrayInfo = 2;
    EXPECT_EQ(InfoListFind(record.get(), InfoList::TrayInfo, 4), reinterpret_cast<InfoItem *>(&trays[1]));
    EXPECT_EQ(InfoListFind(record.get(), InfoList::TrayInfo, 5), nullptr);

    InfoItem *added = NewTray(5);
    ASSERT_EQ(InfoListAppend(record.get(), InfoList::TrayInfo, added), 1);
    EXPECT_EQ(trays[1].next, added) << "linked behind the last counted item";
    EXPECT_EQ(record->nTrayInfo, 3u);
    EXPECT_EQ(InfoListFind(record.get(), InfoList::TrayInfo, 5), added);
    trays[1].next = nullptr;
    GlobalFree(added);

    // A count larger than the chain ends at the chain's end.
    record->nTrayInfo = 50;
    EXPECT_EQ(InfoListFind(record.get(), InfoList::TrayInfo, 9), nullptr);
    record->pTrayInfo = nullptr;
    record->nTrayInfo = 0;
}

TEST(InfoListClear, ReleasesTheChainAndEmptiesTheSlots) {
    HostRecord record;
    InfoListClear(record.get(), InfoList::TrayInfo);
    EXPECT_EQ(record->pTrayInfo, nullptr);
    const long before = pattest::LiveHeapBlocks();
    InfoListAppend(record.get(), InfoList::TrayInfo, NewTray(3));
    InfoListAppend(record.get(), InfoList::TrayInfo, NewTray(4));
    InfoListClear(record.get(), InfoList::TrayInfo);
    EXPECT_EQ(record->pTrayInfo, nullptr);
    EXPECT_EQ(record->nTrayInfo, 0u);
    EXPECT_EQ(pattest::LiveHeapBlocks(), before);
}

TEST(InfoStringSet, StoresFreshCopiesAndReplacesTheOldOne) {
    HostRecord record;
    ASSERT_EQ(InfoStringSet(record.get(), InfoString::ModelName, ""), 1);
    ASSERT_NE(record->pModelName, nullptr) << "an empty text is stored, not null";
    EXPECT_EQ(GlobalSize(record->pModelName), 1u);

    char text[] = "Colour Laser 700";
    ASSERT_EQ(InfoStringSet(record.get(), InfoString::ModelName, text), 1);
    EXPECT_NE(record->pModelName, text);
    EXPECT_STREQ(record->pModelName, "Colour Laser 700");
    text[0] = 'X';
    EXPECT_STREQ(record->pModelName, "Colour Laser 700") << "the record holds its own copy";

    // Setting a string to its own current value keeps the text.
    ASSERT_EQ(InfoStringSet(record.get(), InfoString::ModelName, record->pModelName), 1);
    EXPECT_STREQ(record->pModelName, "Colour Laser 700");

    const InfoString others[] = {InfoString::MakerName, InfoString::Description, InfoString::SYSVersion,
                                 InfoString::MainProgVersion, InfoString::VPSVersion};
    for (InfoString string : others) EXPECT_EQ(InfoStringSet(record.get(), string, "x"), 1);
    EXPECT_STREQ(record->pMakerName, "x");
    EXPECT_STREQ(record->pDescription, "x");
    EXPECT_STREQ(record->pSYSVersion, "x");
    EXPECT_STREQ(record->pMainProgVersion, "x");
    EXPECT_STREQ(record->pVPSVersion, "x");
    EXPECT_EQ(InfoStringSet(record.get(), InfoString::ModelName, nullptr), 0);
}

TEST(InfoStringSet, FailedCopyLeavesTheSlotNull) {
    SKIP_WITHOUT_HEAP_HOOK();
    pattest::HeapHookGuard guard;
    HostRecord record;
    ASSERT_EQ(InfoStringSet(record.get(), InfoString::Description, "old"), 1);
    pattest::FailNthAllocation(1);
    EXPECT_EQ(InfoStringSet(record.get(), InfoString::Description, "new"), 0);
    EXPECT_EQ(record->pDescription, nullptr);
}

// A slot that already holds the text keeps its block without asking the
// heap; any other text, a prefix or an extension of it too, is copied.
TEST(InfoStringSet, TheSameTextKeepsItsBlockAnotherTextIsCopied) {
    SKIP_WITHOUT_HEAP_HOOK();
    pattest::HeapHookGuard guard;
    HostRecord record;
    ASSERT_EQ(InfoStringSet(record.get(), InfoString::ModelName, "Colour Laser 500"), 1);
    const char *held = record->pModelName;
    const std::string same = "Colour Laser 500";
    pattest::FailNthAllocation(1);
    EXPECT_EQ(InfoStringSet(record.get(), InfoString::ModelName, same.c_str()), 1);
    EXPECT_FALSE(pattest::ArmedFailureStruck(1)) << "no allocation";
    EXPECT_EQ(record->pModelName, held);
    EXPECT_EQ(InfoStringSet(record.get(), InfoString::ModelName, record->pModelName), 1) << "the slot's own text";
    EXPECT_EQ(record->pModelName, held);

    for (const char *text : {"Colour Laser", "Colour Laser 5000", "", "Colour Laser 700"}) {
        const long live = pattest::LiveHeapBlocks();
        EXPECT_EQ(InfoStringSet(record.get(), InfoString::ModelName, text), 1);
        EXPECT_STREQ(record->pModelName, text);
        EXPECT_EQ(GlobalSize(record->pModelName), std::strlen(text) + 1) << "a block of the new text's size";
        EXPECT_EQ(pattest::LiveHeapBlocks(), live) << "the old block released";
    }
}

namespace {

// Engine-status items with `count` codes, each text filled.
void StatusList(PrnInfoEx *record, uint32_t count) {
    for (uint32_t code = 1; code <= count; ++code) {
        ASSERT_EQ(InfoAddEngineStatus(record, code), 1);
    }
    for (InfoItem *item = reinterpret_cast<InfoItem *>(record->pEngineStatus); item != nullptr; item = item->next) {
        std::memset(reinterpret_cast<EngineStatusItem *>(item)->szText, 'x', 20);
    }
}

}  // namespace

// The items of a list being rebuilt come back in chain order, each exactly
// as a new item is; an item of another size is released, not handed out,
// and when the spares run out the heap is asked.
TEST(InfoItemSpares, RefilledInOrderAsNewItemsAreAndTheRestReleased) {
    SKIP_WITHOUT_HEAP_HOOK();
    pattest::HeapHookGuard guard;
    HostRecord record;
    const long before = pattest::LiveHeapBlocks();
    StatusList(record.get(), 3);
    InfoItem *odd = InfoItemAlloc(16);  // counted, but not a status item
    InfoItem *chain[3];
    chain[0] = reinterpret_cast<InfoItem *>(record->pEngineStatus);
    chain[1] = chain[0]->next;
    chain[2] = chain[1]->next;
    odd->next = chain[2];
    chain[1]->next = odd;
    record->nEngineStatus = 4;

    InfoItemSpares spares;
    InfoListTakeItems(record.get(), InfoList::EngineStatus, &spares);
    EXPECT_EQ(record->pEngineStatus, nullptr);
    EXPECT_EQ(record->nEngineStatus, 0u);
    InfoItem *fresh = InfoItemAlloc(kEngineStatusItemSize);
    for (InfoItem *expected : chain) {
        InfoItem *item = InfoItemTake(&spares, kEngineStatusItemSize);
        EXPECT_EQ(item, expected);
        EXPECT_EQ(std::memcmp(item, fresh, kEngineStatusItemSize), 0) << "zero-filled, head set";
    }
    EXPECT_EQ(pattest::LiveHeapBlocks(), before + 4) << "the odd item released on the way";
    pattest::FailNthAllocation(1);
    EXPECT_EQ(InfoItemTake(&spares, kEngineStatusItemSize), nullptr) << "no spare left: the heap";
    InfoItemSparesFree(&spares);
    for (InfoItem *item : chain) GlobalFree(item);
    GlobalFree(fresh);
    EXPECT_EQ(pattest::LiveHeapBlocks(), before);

    // Spares not taken are released; a null set of spares allocates.
    StatusList(record.get(), 2);
    InfoListTakeItems(record.get(), InfoList::EngineStatus, &spares);
    InfoItemSparesFree(&spares);
    EXPECT_EQ(pattest::LiveHeapBlocks(), before);
    InfoItem *item = InfoItemTake(nullptr, kCounterInfoItemSize);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->cbItem, kCounterInfoItemSize);
    GlobalFree(item);
}

// Past the spare slots items are released at once; a chain that comes
// back to an item it passed is walked no further, so nothing is released
// twice.
TEST(InfoItemSpares, LongAndCyclicChainsReleaseEachBlockOnce) {
    SKIP_WITHOUT_HEAP_HOOK();
    HostRecord record;
    const long before = pattest::LiveHeapBlocks();
    StatusList(record.get(), kInfoItemSpareSlots + 4);
    InfoItemSpares spares;
    InfoListTakeItems(record.get(), InfoList::EngineStatus, &spares);
    EXPECT_EQ(spares.count, kInfoItemSpareSlots);
    EXPECT_EQ(pattest::LiveHeapBlocks(), before + static_cast<long>(kInfoItemSpareSlots));
    InfoItemSparesFree(&spares);
    EXPECT_EQ(pattest::LiveHeapBlocks(), before);

    StatusList(record.get(), 2);
    record->pEngineStatus->next->next = reinterpret_cast<InfoItem *>(record->pEngineStatus);  // back to the first
    record->nEngineStatus = 7;
    InfoListTakeItems(record.get(), InfoList::EngineStatus, &spares);
    EXPECT_EQ(spares.count, 2u);
    InfoItemSparesFree(&spares);
    EXPECT_EQ(pattest::LiveHeapBlocks(), before);
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
    // A soft hyphen or a control character weighs nothing in a locale
    // comparison; here it makes another text.
    EXPECT_EQ(CodeTableLookup("A4\xAD", table), 41u);
    EXPECT_EQ(CodeTableLookup("A\x01" "4", table), 41u);
}

TEST(InfoHasDevice, SearchesTheDeviceList) {
    HostRecord record;
    EXPECT_EQ(InfoHasDevice(record.get(), 1), 0);
    auto *duplex = reinterpret_cast<DeviceInfoItem *>(InfoItemAlloc(kDeviceInfoItemSize));
    duplex->wDevice = 1;
    InfoListAppend(record.get(), InfoList::DeviceInfo, reinterpret_cast<InfoItem *>(duplex));
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
