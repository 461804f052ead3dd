// The status shape of the printer-management record into PrnInfoEx:
// argument checks, status word, engine status, emulations, fonts.
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
constexpr DWORD kRevision = PAT_REVISION_PM_STATUS;

std::vector<DWORD> EngineCodes(PrnInfoEx *info) {
    std::vector<DWORD> codes;
    for (EngineStatusItem *s = info->pEngineStatus; s != nullptr; s = reinterpret_cast<EngineStatusItem *>(s->next))
        codes.push_back(s->dwCode);
    EXPECT_EQ(info->nEngineStatus, codes.size());
    return codes;
}

BOOL Convert(DWORD source, const PMInfoStatus &pm, DWORD flags, HostRecord &record) {
    pattest::PoisonLastError();
    return PatPMInfoToPrnInfoEx(source, &pm, kRevision, flags, record.get());
}

TEST(PMStatusArguments, RejectedCallsLeaveTheRecordUntouched) {
    DWORD word = 0x08000001;
    PMInfoStatus pm{};
    pm.pStatusWord = &word;
    struct Case {
        DWORD source;
        const void *pm;
        DWORD revision;
        DWORD size;
    } cases[] = {
        {kSource, nullptr, kRevision, 404},
        {kSource, PMINFO_POINTER_NOT_AVAILABLE, kRevision, 404},
        {2, &pm, kRevision, 404},
        {kSource, &pm, kRevision, 403},
        {kSource, &pm, PAT_REVISION_PM_CONFIG, 404},
        {PAT_STATUS_SOURCE_PM, &pm, PAT_REVISION_PM_STATUS, 404},
    };
    for (const Case &c : cases) {
        HostRecord record(c.size);
        record->bAttention = 7;
        const std::vector<uint8_t> before = record.bytes;
        pattest::PoisonLastError();
        EXPECT_EQ(PatPMInfoToPrnInfoEx(c.source, c.pm, c.revision, 0x3, record.get()), FALSE);
        EXPECT_EQ(GetLastError(), 87u);
        EXPECT_EQ(record.bytes, before);
    }
    pattest::PoisonLastError();
    EXPECT_EQ(PatPMInfoToPrnInfoEx(kSource, &pm, kRevision, 0x3, nullptr), FALSE);
    EXPECT_EQ(GetLastError(), 87u);

    HostRecord record(404);
    const std::vector<uint8_t> before = record.bytes;
    EXPECT_EQ(PatPMInfoToPrnInfoEx(0x10001, &pm, 0x164, 0, record.get()), TRUE) << "low bits only; flags 0";
    EXPECT_EQ(GetLastError(), 0u);
    EXPECT_EQ(record.bytes, before);
}

TEST(PMStatusEngineList, EmptyOrMissingGroupReadsReady) {
    PMGroupOf<PMEngineStatus> empty;
    PMGroup noCount{PMINFO_VALUE_NOT_AVAILABLE, 0, nullptr};
    PMGroup noArray{1, 0, NotAvailable<void *>()};
    struct Case {
        PMGroup *group;
        uint8_t attention;  // bAttention afterwards, from 5
    } cases[] = {{empty.get(), 0}, {nullptr, 5}, {NotAvailable<PMGroup>(), 5}, {&noCount, 5}, {&noArray, 5}};
    for (const Case &c : cases) {
        HostRecord record;
        patprn::InfoAddEngineStatus(record.get(), 40000);
        record->bAttention = 5;
        PMInfoStatus pm{};
        pm.pEngineGroup = c.group;
        ASSERT_EQ(Convert(kSource, pm, PMINFO_ENGINE_STATUS, record), TRUE);
        EXPECT_EQ(EngineCodes(record.get()), std::vector<DWORD>{10001});
        EXPECT_EQ(record->bAttention, c.attention);
    }
}

TEST(PMStatusEngineList, ElementsFollowTheStatusWordCodes) {
    DWORD word = 0x00000080;
    PMGroupOf<PMEngineStatus> engine;
    const std::string longText(300, 'x');
    PMEngineStatus &first = engine.Add();
    first = {0, 10023, longText.c_str(), 1};
    engine.AddPointer(nullptr);  // an element the host could not fill is skipped
    engine.Add() = {0, 0x12345678, NotAvailable<const char>(), 2};
    PMInfoStatus pm{};
    pm.pStatusWord = &word;
    pm.pEngineGroup = engine.get();
    HostRecord record;
    record->bAttention = 1;
    ASSERT_EQ(Convert(kSource, pm, PMINFO_STATUS_WORD | PMINFO_ENGINE_STATUS, record), TRUE);
    EXPECT_EQ(EngineCodes(record.get()), (std::vector<DWORD>{10003, 10023, 0x12345678}));
    EXPECT_EQ(record->bAttention, 0) << "kinds 1 and 2 need no operator";
    auto *second = reinterpret_cast<EngineStatusItem *>(record->pEngineStatus->next);
    EXPECT_EQ(second->wCode, 10023);
    EXPECT_EQ(std::string(second->szText), longText.substr(0, 259));
    auto *third = reinterpret_cast<EngineStatusItem *>(second->next);
    EXPECT_EQ(third->wCode, 0x5678);
    EXPECT_EQ(third->szText[0], '\0');

    for (DWORD kind : {3u, 0xFFFFFFFFu}) {
        engine.elements[1].dwKind = kind;
        ASSERT_EQ(Convert(kSource, pm, PMINFO_ENGINE_STATUS, record), TRUE);
        EXPECT_EQ(record->bAttention, 1) << kind;
    }
}

TEST(PMStatusWord, FlagsAndCodesFromTheWord) {
    struct Case {
        DWORD source;
        DWORD word;
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
        PMInfoStatus pm{};
        pm.pStatusWord = &word;
        HostRecord record;
        ASSERT_EQ(Convert(c.source, pm, PMINFO_STATUS_WORD, record), TRUE);
        EXPECT_EQ(GetLastError(), 0u);
        EXPECT_EQ(record->bState, c.state);
        EXPECT_EQ(record->bNotState, c.notState);
        EXPECT_EQ(record->bPrinting, c.printing);
        EXPECT_EQ(record->bNoResponse, c.noResponse);
        EXPECT_EQ(EngineCodes(record.get()), c.codes) << "no ready code without the engine list flag";
    }
}

TEST(PMStatusWord, WordNotAvailableChangesNoFlag) {
    DWORD notAvailable = PMINFO_VALUE_NOT_AVAILABLE;
    for (DWORD *pointer : {&notAvailable, static_cast<DWORD *>(nullptr), NotAvailable<DWORD>()}) {
        PMInfoStatus pm{};
        pm.pStatusWord = pointer;
        HostRecord record;
        record->bState = 1;
        record->bPrinting = 1;
        ASSERT_EQ(Convert(kSource, pm, PMINFO_STATUS_WORD, record), TRUE);
        EXPECT_EQ(record->bState, 1);
        EXPECT_EQ(record->bNotState, 0);
        EXPECT_EQ(record->bPrinting, 1);
        EXPECT_EQ(record->nEngineStatus, 0u);
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
    emuls.Add() = {{}, "PCL", "PCL XL Emulation"};
    PMInfoStatus pm{};
    pm.pEmulGroup = emuls.get();
    HostRecord record;
    patprn::InfoStringSet(record.get(), "pMainProgVersion", "old main");
    record->dwEmulExtra = 9;
    ASSERT_EQ(Convert(kSource, pm, PMINFO_EMULATIONS, record), TRUE);

    struct Expected {
        uint16_t emul;
        std::string version;
    } expected[] = {{15, "V1.5"}, {1, ""}, {2, longVersion.substr(0, 17)}, {0, "2.0"}, {0, "3.0"}, {17, "PCL"}};
    ASSERT_EQ(record->nLoadedEmul, std::size(expected));
    const LoadedEmulItem *item = record->pLoadedEmul;
    for (const Expected &e : expected) {
        EXPECT_EQ(item->wEmul, e.emul);
        EXPECT_EQ(std::string(item->szVersion), e.version);
        item = reinterpret_cast<const LoadedEmulItem *>(item->next);
    }
    EXPECT_STREQ(record->pMainProgVersion, "old main") << "code 1 without a version keeps the old one";
    EXPECT_EQ(std::string(record->pVPSVersion), longVersion) << "the named string is not cut";
    EXPECT_EQ(record->dwEmulExtra, 0u);
}

TEST(PMStatusFonts, EveryFontIsCodeZero) {
    PMGroupOf<PMFont> fonts;
    fonts.Add().pName = "Courier";
    fonts.Add().pName = nullptr;
    PMInfoStatus pm{};
    pm.pFontGroup = fonts.get();
    HostRecord record;
    ASSERT_EQ(Convert(kSource, pm, PMINFO_FONTS, record), TRUE);
    ASSERT_EQ(record->nLoadedFont, 2u);
    EXPECT_EQ(record->pLoadedFont->wFont, 0);
}

// A record whose every pointer is "not available" converts without error;
// only the ready code is added.
TEST(PMStatusNotAvailable, EveryPointerSkipped) {
    for (int fill : {0x00, 0xFF}) {
        PMInfoStatus pm;
        std::memset(&pm, fill, sizeof pm);
        HostRecord record;
        record->bState = 1;
        ASSERT_EQ(Convert(kSource, pm, 0xFFFFFFFF, record), TRUE);
        EXPECT_EQ(GetLastError(), 0u);
        EXPECT_EQ(record->bState, 1);
        EXPECT_EQ(EngineCodes(record.get()), std::vector<DWORD>{10001});
        EXPECT_EQ(record->nLoadedEmul + record->nLoadedFont, 0u);
    }
}

// Each allocation of a conversion in turn fails: the call reports 8, the
// record stays walkable with counts matching its lists, nothing leaks.
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
        DWORD word;
        DWORD flags;
        unsigned allocations;
    } scenarios[] = {
        // 3 codes from the word, 2 emulations with their 2 strings, 1 font, 1 engine item
        {0x08400081, 0xF, 9},
        // no code from the word and no engine element: only the ready code
        {0x00000001, PMINFO_STATUS_WORD | PMINFO_ENGINE_STATUS, 1},
    };
    for (const Scenario &s : scenarios) {
        DWORD word = s.word;
        PMInfoStatus pm{&word, fonts.get(), emuls.get(), {}, s.allocations == 1 ? nullptr : engine.get()};
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
            EXPECT_EQ(pattest::ChainLength(record->pLoadedFont), record->nLoadedFont);
            record.ReleaseLists();
            EXPECT_EQ(pattest::LiveHeapBlocks(), live) << n;
        }
    }
}

}  // namespace
