// The status shape of the printer-management record into PrnInfoEx.
#include "prninfo/pm_status.h"

#include "support/heap_hook.h"
#include "support/pm_records.h"
#include "support/support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using pattest::HostRecord;
using pattest::NotAvailable;
using pattest::PMGroupOf;

constexpr DWORD kSource = PAT_STATUS_SOURCE_PJL;

std::vector<DWORD> EngineCodes(PrnInfoEx *info) {
    std::vector<DWORD> codes;
    for (auto *s = info->pEngineStatus; s != nullptr; s = reinterpret_cast<EngineStatusItem *>(s->next))
        codes.push_back(s->dwCode);
    EXPECT_EQ(info->nEngineStatus, codes.size());
    return codes;
}

BOOL Convert(DWORD source, const PMInfoStatus &pm, DWORD flags, HostRecord &record) {
    pattest::PoisonLastError();
    return PatPMInfoToPrnInfoEx(source, &pm, PAT_REVISION_PM_STATUS, flags, record.get());
}

TEST(PMStatusArguments, RejectedCallsLeaveTheRecordUntouched) {
    DWORD word = 0x08000001;
    PMInfoStatus pm{&word, nullptr, nullptr, {}, nullptr};
    struct Case {
        DWORD source;
        const void *pm;
        DWORD revision, size;
    } cases[] = {{kSource, nullptr, 100, 404},     {kSource, PAT_PMINFO_POINTER_NOT_AVAILABLE, 100, 404},
                 {2, &pm, 100, 404},               {kSource, &pm, 100, 403},
                 {kSource, &pm, 104, 404},         {PAT_STATUS_SOURCE_PM, &pm, 100, 404}};
    for (const Case &c : cases) {
        HostRecord record(c.size);
        const std::vector<uint8_t> before = record.bytes;
        pattest::PoisonLastError();
        EXPECT_EQ(PatPMInfoToPrnInfoEx(c.source, c.pm, c.revision, 0x3, record.get()), FALSE);
        EXPECT_EQ(GetLastError(), 87u);
        EXPECT_EQ(record.bytes, before);
    }
    EXPECT_EQ(PatPMInfoToPrnInfoEx(kSource, &pm, 100, 0x3, nullptr), FALSE);
    HostRecord record;
    const std::vector<uint8_t> before = record.bytes;
    EXPECT_EQ(PatPMInfoToPrnInfoEx(0x10001, &pm, 0x164, 0, record.get()), TRUE) << "low bits only; flags 0";
    EXPECT_EQ(GetLastError(), 0u);
    EXPECT_EQ(record.bytes, before);
}

// Missing groups in every form, and a status word that is not available,
// are skipped without error; an empty engine list reads ready.
TEST(PMStatusNotAvailable, SkippedAndReadsReady) {
    PMGroupOf<PMEngineStatus> empty;
    PMGroup noCount{PAT_PMINFO_VALUE_NOT_AVAILABLE, 0, nullptr}, noArray{1, 0, NotAvailable<void *>()};
    DWORD noWord = PAT_PMINFO_VALUE_NOT_AVAILABLE;
    struct Case {
        DWORD *word;
        PMGroup *groups;  // used for all three groups
        uint8_t attention;
    } cases[] = {{&noWord, empty.get(), 0}, {nullptr, nullptr, 5},  {NotAvailable<DWORD>(), NotAvailable<PMGroup>(), 5},
                 {&noWord, &noCount, 5},     {&noWord, &noArray, 5}};
    for (const Case &c : cases) {
        HostRecord record;
        patprn::InfoAddEngineStatus(record.get(), 40000);
        record->bAttention = 5, record->bState = 1, record->dwEmulExtra = 7;
        PMInfoStatus pm{c.word, c.groups, c.groups, {}, c.groups};
        ASSERT_EQ(Convert(kSource, pm, 0xFFFFFFFF, record), TRUE);
        EXPECT_EQ(EngineCodes(record.get()), std::vector<DWORD>{10001});
        EXPECT_EQ(record->bAttention, c.attention);
        EXPECT_EQ(record->bState, 1);
        EXPECT_EQ(record->dwEmulExtra, c.attention == 0 ? 0u : 7u) << "an empty group still sets it";
    }
}

TEST(PMStatusWord, FlagsAndCodesFromTheWord) {
    struct Case {
        DWORD source, word;
        uint8_t state, notState, printing, noResponse;
        std::vector<DWORD> codes;
    } cases[] = {
        {kSource, 0x08000000, 0, 1, 0, 1, {PAT_STATUS_NO_RESPONSE}},
        {kSource, 0x00400081, 1, 0, 1, 0, {10003, 10023}},
        {kSource | PAT_STATUS_ALT_SET, 0x00400081, 1, 0, 1, 0, {}},
        {kSource | PAT_STATUS_ALT_SET, 0x08400080, 0, 1, 1, 1, {PAT_STATUS_NO_RESPONSE}},
    };
    for (const Case &c : cases) {
        DWORD word = c.word;
        PMInfoStatus pm{&word, nullptr, nullptr, {}, nullptr};
        HostRecord record;
        ASSERT_EQ(Convert(c.source, pm, PAT_PMINFO_STATUS_WORD, record), TRUE);
        EXPECT_EQ(record->bState, c.state);
        EXPECT_EQ(record->bNotState, c.notState);
        EXPECT_EQ(record->bPrinting, c.printing);
        EXPECT_EQ(record->bNoResponse, c.noResponse);
        EXPECT_EQ(EngineCodes(record.get()), c.codes) << "no ready code without the engine list flag";
    }
}

TEST(PMStatusEngineList, ElementsFollowTheStatusWordCodes) {
    DWORD word = 0x00000080;
    const std::string longText(300, 'x');
    PMGroupOf<PMEngineStatus> engine;
    engine.Add() = {0, 10023, longText.c_str(), 1};
    engine.AddPointer(nullptr);  // an element the host could not fill is skipped
    PMEngineStatus &last = engine.Add() = {0, 0x12345678, NotAvailable<const char>(), 2};
    PMInfoStatus pm{&word, nullptr, nullptr, {}, engine.get()};
    HostRecord record;
    record->bAttention = 1;
    ASSERT_EQ(Convert(kSource, pm, PAT_PMINFO_STATUS_WORD | PAT_PMINFO_ENGINE_STATUS, record), TRUE);
    EXPECT_EQ(EngineCodes(record.get()), (std::vector<DWORD>{10003, 10023, 0x12345678}));
    EXPECT_EQ(record->bAttention, 0);
    auto *second = reinterpret_cast<EngineStatusItem *>(record->pEngineStatus->next);
    EXPECT_EQ(std::string(second->szText), longText.substr(0, 259));
    EXPECT_EQ(reinterpret_cast<EngineStatusItem *>(second->next)->wCode, 0x5678);
    for (DWORD kind : {3u, 0xFFFFFFFFu}) {
        last.dwKind = kind;
        ASSERT_EQ(Convert(kSource, pm, PAT_PMINFO_ENGINE_STATUS, record), TRUE);
        EXPECT_EQ(record->bAttention, 1) << kind;
    }
}

TEST(PMStatusEmulations, CodesVersionsAndNamedStrings) {
    const std::string longVersion = "0123456789ABCDEFGHIJ";
    PMGroupOf<PMEmulation> emuls;
    emuls.Add() = {{}, "V1.5", "TOLV"};
    emuls.Add() = {{}, nullptr, "WENK"};
    emuls.Add() = {{}, longVersion.c_str(), "Adobe PostScript 3"};
    emuls.Add() = {{}, "2.0", "tolv"};
    emuls.Add() = {{}, "3.0", NotAvailable<const char>()};
    PMInfoStatus pm{nullptr, nullptr, emuls.get(), {}, nullptr};
    HostRecord record;
    patprn::InfoStringSet(record.get(), patprn::InfoString::MainProgVersion, "old main");
    ASSERT_EQ(Convert(kSource, pm, PAT_PMINFO_EMULATIONS, record), TRUE);
    const std::pair<uint16_t, std::string> expected[] = {
        {15, "V1.5"}, {1, ""}, {2, longVersion.substr(0, 17)}, {0, "2.0"}, {0, "3.0"}};
    ASSERT_EQ(record->nLoadedEmul, std::size(expected));
    const LoadedEmulItem *item = record->pLoadedEmul;
    for (const auto &[emul, version] : expected) {
        EXPECT_EQ(item->wEmul, emul);
        EXPECT_EQ(std::string(item->szVersion), version);
        item = reinterpret_cast<const LoadedEmulItem *>(item->next);
    }
    EXPECT_STREQ(record->pMainProgVersion, "old main") << "code 1 without a version keeps the old one";
    EXPECT_EQ(std::string(record->pVPSVersion), longVersion) << "the named string is not cut";
}

// Each allocation in turn fails: 8 is reported, the counts match the
// lists, nothing leaks.
TEST(PMStatusHeap, EveryAllocationFailureIsReported) {
    SKIP_WITHOUT_HEAP_HOOK();
    pattest::HeapHookGuard guard;
    PMGroupOf<PMEmulation> emuls;
    emuls.Add() = {{}, "1.0", "WENK"};
    emuls.Add() = {{}, "3.0", "Adobe PostScript 3"};
    PMGroupOf<PMFont> fonts;
    fonts.Add().pName = "Roman";
    PMGroupOf<PMEngineStatus> engine;
    engine.Add() = {0, 40000, "jam", 3};
    struct Scenario {
        DWORD word, flags;
        PMGroup *engine;
        unsigned allocations;
    } scenarios[] = {
        {0x08400081, 0xF, engine.get(), 9},  // 3 word codes, 2 emulations + 2 strings, 1 font, 1 engine item
        {0x00000001, 0x3, nullptr, 1},       // the ready code alone
    };
    for (const Scenario &s : scenarios) {
        DWORD word = s.word;
        PMInfoStatus pm{&word, fonts.get(), emuls.get(), {}, s.engine};
        for (unsigned n = 1; n <= s.allocations + 1; ++n) {
            HostRecord record;
            const long live = pattest::LiveHeapBlocks();
            pattest::FailNthAllocation(n);
            const BOOL ok = Convert(kSource, pm, s.flags, record);
            pattest::FailNthAllocation(0);
            EXPECT_EQ(ok, n > s.allocations ? TRUE : FALSE) << n;
            EXPECT_EQ(GetLastError(), n > s.allocations ? 0u : 8u) << n;
            EXPECT_EQ(pattest::ChainLength(record->pEngineStatus), record->nEngineStatus);
            EXPECT_EQ(pattest::ChainLength(record->pLoadedEmul), record->nLoadedEmul);
            record.ReleaseLists();
            EXPECT_EQ(pattest::LiveHeapBlocks(), live) << n;
        }
    }
}

}  // namespace
