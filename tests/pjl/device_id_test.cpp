// The printer's device-ID string into PrnInfoEx.
#include "pjl/device_id.h"
#include "pjl/pjl_story.h"
#include "support/heap_hook.h"
#include "support/support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using namespace patprn;
using pattest::HostRecord;
using pjltest::ExpectListsConsistent;
using pjltest::Items;

uint32_t Parse(HostRecord &record, const std::string &id) { return DeviceIdParse(id.c_str(), id.size() + 1, record.get()); }

TEST(TakeField, ConsumesTheDelimiterAndStopsAtTheEnd) {
    const std::string text = "MFG:Maker;";
    const char *end = text.c_str() + text.size();
    char buffer[256];
    const char *next = TakeField(text.c_str(), end, buffer, sizeof buffer, ":");
    EXPECT_STREQ(buffer, "MFG");
    EXPECT_EQ(next, text.c_str() + 4);
    next = TakeField(next, end, buffer, sizeof buffer, ";");
    EXPECT_STREQ(buffer, "Maker");
    EXPECT_EQ(next, end);
    EXPECT_EQ(TakeField(next, end, buffer, sizeof buffer, ";"), end) << "never past the end";
    EXPECT_STREQ(buffer, "");
}

TEST(TakeField, CutFieldLosesOneCharacter) {
    const std::string text = "ABCDEFG;";
    char buffer[4];
    const char *next = TakeField(text.c_str(), text.c_str() + text.size(), buffer, sizeof buffer, ";");
    EXPECT_STREQ(buffer, "ABC");
    EXPECT_EQ(*next, 'E') << "D is lost, the rest is the next field";
}

TEST(TakeField, ReadsNoFurtherThanTheGivenEnd) {
    // A text without its terminator: the field ends with the text.
    char *bytes = new char[5];
    std::memcpy(bytes, "MFG:M", 5);
    char buffer[256];
    const char *next = TakeField(bytes + 4, bytes + 5, buffer, sizeof buffer, ";");
    EXPECT_STREQ(buffer, "M");
    EXPECT_EQ(next, bytes + 5);
    delete[] bytes;
}

TEST(DeviceIdParse, MakerModelDescription) {
    HostRecord record;
    record->bModelCode = 7;
    EXPECT_EQ(Parse(record, "MFG:Maker;MDL:Model 1;DES:Printer;"), 0u);
    EXPECT_STREQ(record->pMakerName, "Maker");
    EXPECT_STREQ(record->pModelName, "Model 1");
    EXPECT_STREQ(record->pDescription, "Printer");
    EXPECT_EQ(record->bModelCode, 255u);

    EXPECT_EQ(Parse(record, "XYZ:abc;MFG:M;"), 0u) << "unknown keys are skipped";
    EXPECT_STREQ(record->pMakerName, "M");
    EXPECT_STREQ(record->pModelName, "Model 1") << "strings not reported stay";
}

TEST(DeviceIdParse, EngineStatusCodesStateAndText) {
    HostRecord record;
    EXPECT_EQ(Parse(record, "STS:10001/40010,1,READY;"), 0u);
    auto items = Items(record->pEngineStatus);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0]->dwCode, 10001u);
    EXPECT_EQ(items[1]->dwCode, 40010u);
    EXPECT_EQ(items[1]->wCode, 40010u);
    EXPECT_STREQ(items[0]->szText, "READY");
    EXPECT_STREQ(items[1]->szText, "READY");
    EXPECT_EQ(record->bState, 1u);
    EXPECT_EQ(record->bNotState, 0u);
    EXPECT_EQ(record->bAttention, 1u);

    // A new status replaces the old list.
    EXPECT_EQ(Parse(record, "STS:10002,2;"), 0u);
    items = Items(record->pEngineStatus);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0]->dwCode, 10002u);
    EXPECT_STREQ(items[0]->szText, "");
    EXPECT_EQ(record->bState, 2u);
    EXPECT_EQ(record->bNotState, 1u);
    EXPECT_EQ(record->bAttention, 1u);
    ExpectListsConsistent(record.get());
}

TEST(DeviceIdParse, AttentionCodesAreErrorsAndOne) {
    struct Case {
        const char *codes;
        uint8_t attention;
    } cases[] = {{"40000", 0}, {"40001", 1}, {"49999", 1}, {"50000", 0}, {"10002", 1},
                 {"10001/30010", 0}, {"30010//10002/", 1}, {"", 0}};
    for (const Case &c : cases) {
        HostRecord record;
        record->bAttention = 7;
        EXPECT_EQ(Parse(record, std::string("STS:") + c.codes + ",1,X;"), 0u);
        EXPECT_EQ(record->bAttention, c.attention) << c.codes;
    }
    HostRecord record;
    Parse(record, "STS:30010//10002/,1,X;");
    EXPECT_EQ(record->nEngineStatus, 2u) << "empty pieces make no item";
}

TEST(DeviceIdParse, CounterAndNoSupplies) {
    HostRecord record;
    EXPECT_EQ(Parse(record, "KWZ:12345/80,70;"), 0u);
    ASSERT_EQ(record->nCounterInfo, 1u);
    EXPECT_EQ(record->pCounterInfo->wCounter, 1u);
    EXPECT_EQ(record->pCounterInfo->dwValue, 12345u);
    EXPECT_EQ(record->nSupplyInfo, 0u);
    EXPECT_EQ(Parse(record, "KWZ:12346;"), 0u);
    ASSERT_EQ(record->nCounterInfo, 1u) << "rebuilt, not added to";
    EXPECT_EQ(record->pCounterInfo->dwValue, 12346u);
}

TEST(DeviceIdParse, CommandSetsLeaveTheEmulationsOfTheFamily) {
    HostRecord record;
    auto *emul = reinterpret_cast<LoadedEmulItem *>(InfoItemAlloc(kLoadedEmulItemSize));
    emul->wEmul = 2;
    InfoListAppend(record.get(), "pLoadedEmul", reinterpret_cast<InfoItem *>(emul));
    EXPECT_EQ(Parse(record, "CMD:PJL,PCL,POSTSCRIPT;MFG:M;"), 0u);
    EXPECT_EQ(record->nLoadedEmul, 1u);
    EXPECT_EQ(record->pLoadedEmul, emul);
    EXPECT_STREQ(record->pMakerName, "M");
}

TEST(DeviceIdParse, OverlongValueIsCutAndLosesOneCharacter) {
    HostRecord record;
    const std::string maker = std::string(255, 'A') + "B" + "CD";
    EXPECT_EQ(Parse(record, "MFG:" + maker + ";MDL:X;"), 0u);
    EXPECT_EQ(std::string(record->pMakerName), std::string(255, 'A'));
    // "CD;MDL:X;" is read as the next field: key "CD;MDL", value "X".
    EXPECT_EQ(record->pModelName, nullptr);
}

TEST(DeviceIdParse, MalformedIdsEndQuietly) {
    for (const char *id : {"", "MFG", "MFG:", "MFG;MDL;", ":::", ";;;;", "STS:", "STS:10001", "KWZ:", "KWZ:/",
                           "STS:,,,,;", "STS:4x0010/,abc,;", "DES:no terminator"}) {
        HostRecord record;
        EXPECT_EQ(Parse(record, id), 0u) << id;
        ExpectListsConsistent(record.get());
    }
}

TEST(DeviceIdParse, NodeWithoutTerminatorIsReadToItsEnd) {
    HostRecord record;
    const std::string id = "MFG:Maker;MDL:Model";
    char *bytes = new char[id.size()];
    std::memcpy(bytes, id.data(), id.size());
    EXPECT_EQ(DeviceIdParse(bytes, id.size(), record.get()), 0u);
    delete[] bytes;
    EXPECT_STREQ(record->pMakerName, "Maker");
    EXPECT_STREQ(record->pModelName, "Model");
}

TEST(DeviceIdParse, MakerThatCannotBeStoredFails) {
    SKIP_WITHOUT_HEAP_HOOK();
    pattest::HeapHookGuard guard;
    HostRecord record;
    pattest::FailNthAllocation(1);
    EXPECT_EQ(Parse(record, "MFG:Maker;MDL:Model;"), 8u);
    EXPECT_EQ(record->pMakerName, nullptr);
    EXPECT_EQ(record->pModelName, nullptr) << "the walk stops at the failure";

    pattest::FailNthAllocation(1);
    EXPECT_EQ(Parse(record, "MDL:Model;DES:Printer;"), 0u) << "a model name that cannot be stored is no failure";
    EXPECT_EQ(record->pModelName, nullptr);
    EXPECT_EQ(record->bModelCode, 255u);
    EXPECT_STREQ(record->pDescription, "Printer");
}

// The walkers of the command-set and supply-code tables, with tables of a
// family that has rows.
TEST(CommandSetApply, RebuildsTheEmulationsFromTheNamedCommandSets) {
    const CodeTableRow table[] = {{"PCL", 18}, {"POSTSCRIPT", 2}, {nullptr, 0}};
    HostRecord record;
    auto *old = reinterpret_cast<LoadedEmulItem *>(InfoItemAlloc(kLoadedEmulItemSize));
    InfoListAppend(record.get(), "pLoadedEmul", reinterpret_cast<InfoItem *>(old));
    CommandSetApply(record.get(), "PJL,PCL,,POSTSCRIPT", table);
    auto items = Items(record->pLoadedEmul);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0]->wEmul, 0u);
    EXPECT_EQ(items[1]->wEmul, 18u);
    EXPECT_EQ(items[2]->wEmul, 2u);
    ExpectListsConsistent(record.get());
}

TEST(SupplyAmountsApply, PairsAmountsWithCodesInOrder) {
    const uint16_t codes[] = {7, 8, kSupplyCodeEnd};
    HostRecord record;
    SupplyAmountsApply(record.get(), "80,,70,60", codes);
    auto items = Items(record->pSupplyInfo);
    ASSERT_EQ(items.size(), 2u) << "stops at the end code; the empty amount takes no code";
    EXPECT_EQ(items[0]->wSupply, 7u);
    EXPECT_EQ(items[0]->dwValue, 80u);
    EXPECT_EQ(items[1]->wSupply, 8u);
    EXPECT_EQ(items[1]->dwValue, 70u);
}

}  // namespace
