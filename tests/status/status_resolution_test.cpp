// Status resolution as the status exports use it: the view merged from a
// host's status tree, the priority lookup of single codes, and the codes of
// the most urgent priority in ascending order.
#include "status/status_resolution.h"
#include "support/heap_hook.h"
#include "support/support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace patprn;
using pattest::AddStatusCode;
using pattest::HostRecord;
using pattest::MakeStatusTree;

namespace {

// A record for the view tests, whose pointers are never followed: they
// only show where the view took each field from.
struct ViewRecord {
    explicit ViewRecord(DWORD size) { get()->dwSize = size; }
    PrnInfoEx *get() { return reinterpret_cast<PrnInfoEx *>(bytes); }
    PrnInfoEx *operator->() { return get(); }
    alignas(8) uint8_t bytes[PAT_PRNINFOEX_MIN_SIZE] = {};
};

template <typename T>
T *Fake(uintptr_t n) {
    return reinterpret_cast<T *>(0x10000 + 0x100 * n);
}

// Main record with every one of its 280 bytes set, so that any byte the
// view takes from the wrong record shows.
void FillMain(ViewRecord &main) {
    for (size_t i = 0; i < sizeof(PrnInfoEx); ++i) main.bytes[i] = static_cast<uint8_t>(0x80 + i);
    main->dwSize = 500;
}

struct Resolution {
    DWORD code;
    std::vector<uint32_t> codes;
};

Resolution Resolve(uint32_t status, const PrnInfoEx *record) {
    ResolvedCodes *list = ElemListCreate(kResolvedCodeSize, kResolvedCodesPerStep, kResolvedCodesInitialSteps);
    Resolution r{ResolveStatusCodes(StatusContext{status, record}, list), {}};
    uint32_t code;
    ListCursor cursor;
    for (ListCursorInit(list, &cursor); ListCursorNext(&cursor, &code);) r.codes.push_back(code);
    ElemListFree(list);
    return r;
}

Resolution ResolveCodes(std::initializer_list<uint32_t> codes, bool noResponse = false, uint32_t status = 1) {
    HostRecord record;
    for (uint32_t code : codes) AddStatusCode(record.get(), code);
    record->bNoResponse = noResponse ? 1 : 0;
    return Resolve(status, record.get());
}

using Codes = std::vector<uint32_t>;

}  // namespace

TEST(BuildStatusView, MergesTheSupplementOverTheMainRecord) {
    ViewRecord main(0);
    FillMain(main);
    ViewRecord supplement(404);
    supplement->nEngineStatus = 3;
    supplement->pEngineStatus = Fake<EngineStatusItem>(1);
    supplement->pModelName = Fake<char>(2);
    supplement->pVPSVersion = Fake<char>(3);
    supplement->dwMemorySize = 0;  // taken even when zero
    supplement->bModelCode = 9;
    supplement->bNoResponse = 1;   // never taken
    supplement->bState = 7;        // never taken
    supplement->nLoadedEmul = 2;
    supplement->pLoadedEmul = Fake<LoadedEmulItem>(4);
    supplement->nTrayInfo = 0;
    supplement->pTrayInfo = Fake<TrayInfoItem>(5);  // count and head go together
    supplement->dwTrayExtra = 6;                    // not part of the list
    supplement->nEmulUniqInfo = 1;
    supplement->pEmulUniqInfo = Fake<EmulUniqInfoItem>(6);
    supplement->nCounterInfo = 4;
    supplement->pCounterInfo = Fake<CounterInfoItem>(7);  // never taken

    PrnInfoEx expected;
    std::memcpy(&expected, main.bytes, sizeof expected);
    expected.nEngineStatus = 3;
    expected.pEngineStatus = Fake<EngineStatusItem>(1);
    expected.pModelName = Fake<char>(2);
    expected.pVPSVersion = Fake<char>(3);
    expected.dwMemorySize = 0;
    expected.bModelCode = 9;
    expected.nLoadedEmul = 2;
    expected.pLoadedEmul = Fake<LoadedEmulItem>(4);
    expected.nTrayInfo = 0;
    expected.pTrayInfo = Fake<TrayInfoItem>(5);
    expected.nEmulUniqInfo = 1;
    expected.pEmulUniqInfo = Fake<EmulUniqInfoItem>(6);

    QueryNode *tree = MakeStatusTree(main.get(), supplement.get());
    StatusView view;
    ASSERT_EQ(BuildStatusView(1, tree, &view), 0u);
    EXPECT_EQ(std::memcmp(&view, &expected, sizeof view), 0);
    EXPECT_EQ(view.dwSize, 500u);

    // Without a head of its own the supplement's count is not taken either.
    supplement->pEngineStatus = nullptr;
    supplement->nEngineStatus = 5;
    ASSERT_EQ(BuildStatusView(0x80000001u, tree, &view), 0u);
    EXPECT_EQ(view.nEngineStatus, main->nEngineStatus);
    EXPECT_EQ(view.pEngineStatus, main->pEngineStatus);
    pattest::FreeTree(tree);
}

TEST(BuildStatusView, ManagementSourceTakesTheMainChildTypeFromTheRootLength) {
    ViewRecord main(600);
    ViewRecord other(700);
    ViewRecord supplement(404);
    QueryNode *tree = MakeStatusTree(main.get(), supplement.get(), 4, 4);
    const PrnInfoEx *decoy = other.get();
    pattest::AppendChild(tree, pattest::MakeNode(1, &decoy, sizeof decoy));
    StatusView view;
    ASSERT_EQ(BuildStatusView(0x8000, tree, &view), 0u);
    EXPECT_EQ(view.dwSize, 600u);
    EXPECT_EQ(BuildStatusView(1, tree, &view), 0u);  // the PJL source's main child is type 1
    EXPECT_EQ(view.dwSize, 700u);
    pattest::FreeTree(tree);
}

TEST(BuildStatusView, MalformedInputFailsWithoutWritingTheView) {
    ViewRecord main(404);
    ViewRecord supplement(404);
    ViewRecord small(403);
    // A status tree whose root type and supplement data size are as given.
    auto tree = [](int32_t rootType, const PrnInfoEx *main, const PrnInfoEx *supplement, uint32_t supplementSize = 8) {
        QueryNode *t = MakeStatusTree(main, nullptr);
        t->nType = rootType;
        pattest::AppendChild(t, pattest::MakeNode(2, &supplement, supplementSize));
        return t;
    };
    const struct {
        const char *what;
        uint32_t status;
        QueryNode *tree;
    } cases[] = {
        {"source 2", 2, tree(10, main.get(), supplement.get())},
        {"null root", 1, nullptr},
        {"root of type 2", 1, tree(2, main.get(), supplement.get())},
        {"supplement of 4 bytes", 1, tree(10, main.get(), supplement.get(), 4)},
        {"null supplement pointer", 1, tree(10, main.get(), nullptr)},
        {"no supplement", 1, MakeStatusTree(main.get(), nullptr)},
        {"no main", 1, MakeStatusTree(nullptr, supplement.get())},
        {"main of 403 bytes", 1, tree(10, small.get(), supplement.get())},
        {"supplement of 403 bytes", 1, tree(10, main.get(), small.get())},
        {"no child of the root's length", 0x8000, MakeStatusTree(main.get(), supplement.get(), 1, 4)},
    };
    for (const auto &c : cases) {
        StatusView view;
        std::memset(&view, 0xAB, sizeof view);
        EXPECT_EQ(BuildStatusView(c.status, c.tree, &view), 87u) << c.what;
        EXPECT_EQ(view.dwSize, 0xABABABABu) << c.what;
        pattest::FreeTree(c.tree);
    }
}

TEST(StatusCodes, TextAndPatterns) {
    char text[kStatusCodeTextSize];
    StatusCodeText(STATUS_NO_RESPONSE, text);
    EXPECT_STREQ(text, "4294967042");
    StatusCodeText(0xFFFFFFFFu, text);
    EXPECT_STREQ(text, "4294967295");
    StatusCodeText(0, text);
    EXPECT_STREQ(text, "0");

    EXPECT_TRUE(CodePatternMatch("41199", "411yy"));
    EXPECT_TRUE(CodePatternMatch("41199", "41199"));
    EXPECT_TRUE(CodePatternMatch("4a1b9", "4a1b9"));
    EXPECT_FALSE(CodePatternMatch("411", "411yy"));
    EXPECT_FALSE(CodePatternMatch("411999", "411yy"));
    EXPECT_FALSE(CodePatternMatch("41199", "411YY"));
    EXPECT_FALSE(CodePatternMatch("41299", "411yy"));
    EXPECT_FALSE(CodePatternMatch("", "y"));
    EXPECT_FALSE(CodePatternMatch(nullptr, "411yy"));
    EXPECT_FALSE(CodePatternMatch("41199", nullptr));
}

TEST(StatusCodes, ExactKeyBeatsPattern) {
    uint16_t priority = 0;
    EXPECT_EQ(LookupStatusPriority(StatusPriorityTable, 41100, &priority), 1);
    EXPECT_EQ(priority, 5600);
    EXPECT_EQ(LookupStatusPriority(StatusPriorityTable, 41105, &priority), 1);
    EXPECT_EQ(priority, 5650);
    EXPECT_EQ(LookupStatusPriority(StatusPriorityTable, 411000, &priority), 0);
    EXPECT_EQ(priority, PRIORITY_NONE);
    EXPECT_EQ(LookupStatusPriority(StatusPriorityTable, STATUS_NO_RESPONSE, &priority), 1);
    EXPECT_EQ(priority, 1);
    priority = 0;
    EXPECT_EQ(LookupStatusPriority(nullptr, 10001, &priority), 0);
    EXPECT_EQ(priority, PRIORITY_NONE);

    // Even where the pattern row comes first.
    const StatusPriorityRow patternFirst[] = {{"411yy", 20}, {"41100", 10}, {nullptr, PRIORITY_NONE}};
    EXPECT_EQ(LookupStatusPriority(patternFirst, 41100, &priority), 1);
    EXPECT_EQ(priority, 10);
}

TEST(ResolveStatusCodes, KeepsTheMostUrgentCodesAscending) {
    EXPECT_EQ(ResolveCodes({10001, 40015, 40014}).codes, (Codes{40014, 40015}));
    EXPECT_EQ(ResolveCodes({40015, 10001, 40015}).codes, (Codes{40015, 40015}));
    EXPECT_EQ(ResolveCodes({41105, 41100, 10001}).codes, (Codes{41100}));
    EXPECT_EQ(ResolveCodes({41105, 10001, 41299}).codes, (Codes{41105, 41299}));
    // No code has a row: all keep PRIORITY_NONE and stay, in unsigned order.
    EXPECT_EQ(ResolveCodes({12345, 99}).codes, (Codes{99, 12345}));
    EXPECT_EQ(ResolveCodes({0x90000000u, 411000, 99}).codes, (Codes{99, 411000, 0x90000000u}));
    // A code with a row outranks every code without one.
    EXPECT_EQ(ResolveCodes({99, 10001}).codes, (Codes{10001}));

    const Resolution none = ResolveCodes({});
    EXPECT_EQ(none.code, 0u);
    EXPECT_TRUE(none.codes.empty());
}

TEST(ResolveStatusCodes, NoResponseOutranksEverything) {
    EXPECT_EQ(ResolveCodes({10001, 40800}, true).codes, (Codes{STATUS_NO_RESPONSE}));
    EXPECT_EQ(ResolveCodes({}, true).codes, (Codes{STATUS_NO_RESPONSE}));
    EXPECT_EQ(ResolveCodes({STATUS_NO_RESPONSE, 10001}, true).codes, (Codes{STATUS_NO_RESPONSE, STATUS_NO_RESPONSE}));
}

TEST(ResolveStatusCodes, OnlyTheFirstSourceHasAPriorityTable) {
    EXPECT_EQ(ResolveCodes({10001, 40015}, false, 0x80000001u).codes, (Codes{40015}));
    for (uint32_t status : {0x10001u, 0x8000u, 0x80008000u}) {
        const Resolution r = ResolveCodes({10001}, true, status);
        EXPECT_EQ(r.code, PAT_ERROR_NOT_FOUND) << std::hex << status;
        EXPECT_TRUE(r.codes.empty());
    }
    EXPECT_EQ(Resolve(1, nullptr).code, 87u);
    EXPECT_EQ(Resolve(0x10001, nullptr).code, PAT_ERROR_NOT_FOUND);
}

TEST(ResolveStatusCodes, ListThatCannotGrowIsReportedNotShown) {
    SKIP_WITHOUT_HEAP_HOOK();
    pattest::HeapHookGuard guard;
    HostRecord record;
    for (uint32_t code = 1; code <= kResolvedCodesPerStep + 1; ++code) AddStatusCode(record.get(), code);
    ResolvedCodes *list = ElemListCreate(kResolvedCodeSize, kResolvedCodesPerStep, kResolvedCodesInitialSteps);
    pattest::FailNthAllocation(1);
    EXPECT_EQ(ResolveStatusCodes(StatusContext{1, record.get()}, list), 8u);
    EXPECT_EQ(ElemListCount(list), kResolvedCodesPerStep);
    ElemListFree(list);
}

// The priority table's index ranks every code as the row-by-row search of
// a copy of the table does (exact key first, else the first pattern).
TEST(StatusPriority, IndexAgreesWithTheRowSearch) {
    std::vector<StatusPriorityRow> copy;
    for (const StatusPriorityRow *row = StatusPriorityTable;; ++row) {
        copy.push_back(*row);
        if (row->key == nullptr) break;
    }
    std::vector<uint32_t> codes = {0, 1, 9, 4294967295u, STATUS_NO_RESPONSE, 411990u, 4119u, 1041100u};
    for (uint32_t code = 10000; code < 100000; ++code) codes.push_back(code);
    for (uint32_t code : codes) {
        uint16_t indexed = 0;
        uint16_t searched = 0;
        ASSERT_EQ(LookupStatusPriority(StatusPriorityTable, code, &indexed),
                  LookupStatusPriority(copy.data(), code, &searched))
            << code;
        ASSERT_EQ(indexed, searched) << code;
    }
}

// A record with more codes than one pass keeps the ranks of: the codes on
// either side of that boundary are still ranked alike.
TEST(ResolveStatusCodes, ManyCodesRankedAlikeOnBothSidesOfTheKeptRanks) {
    for (uint32_t urgentAt : {0u, 63u, 64u, 65u, 99u}) {
        HostRecord record;
        for (uint32_t i = 0; i < 100; ++i) AddStatusCode(record.get(), i == urgentAt || i == 99 - urgentAt / 2 ? 40015 : 10001);
        record->bNoResponse = 0;
        const Resolution r = Resolve(1, record.get());
        EXPECT_EQ(r.code, 0u);
        EXPECT_EQ(r.codes, (Codes(urgentAt == 99 - urgentAt / 2 ? 1 : 2, 40015))) << urgentAt;
    }
}
