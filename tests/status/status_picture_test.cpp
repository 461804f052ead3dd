// The status picture: record lookup by exact key, pattern and fallback;
// the layer operations (unique entries, level removal, drawing order);
// the emulation and set rules; PatCreateBitmapInfo on a host's status tree
// and PatDisposeBitmapInfo on what it returns, also when allocations fail.
#include "status/status_picture.h"
#include "support/heap_hook.h"
#include "support/support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

using namespace patprn;
using pattest::AddDeviceCode;
using pattest::AddEmulationCode;
using pattest::AddStatusCode;
using pattest::HostRecord;
using pattest::MakeStatusTree;

namespace {

constexpr uint32_t kAlt = PAT_STATUS_ALT_SET | 1u;
constexpr uint16_t kTray2Unit = 105;
constexpr uint16_t kTray3Unit = 106;
constexpr uint16_t kPcl5e = 16;

using Steps = std::vector<std::string>;

std::string RopName(DWORD rop) {
    switch (rop) {
        case PAT_ROP_SRCCOPY: return "SRCCOPY";
        case PAT_ROP_SRCAND: return "SRCAND";
        case PAT_ROP_SRCPAINT: return "SRCPAINT";
        default: return "rop " + std::to_string(rop);
    }
}

// One draw step as text: "name x,y raster-operation level".
std::string Step(const std::string &name, int x, int y, DWORD rop, int level) {
    std::ostringstream text;
    text << name << ' ' << x << ',' << y << ' ' << RopName(rop) << ' ' << level;
    return text.str();
}

std::string StepText(const BitmapEntry &e) {
    const std::string name(e.szName, std::find(e.szName, e.szName + sizeof e.szName, '\0'));
    return Step(name, e.nX, e.nY, e.dwRop, e.bLevel);
}

// The draw steps of one bitmap: opaque, or its mask and then itself.
Steps Opaque(const std::string &name, int x, int y, int level) {
    return {Step(name, x, y, PAT_ROP_SRCCOPY, level)};
}
Steps Transparent(const std::string &name, int x, int y, int level) {
    return {Step(name + "_B", x, y, PAT_ROP_SRCAND, level), Step(name, x, y, PAT_ROP_SRCPAINT, level)};
}
Steps Then(Steps a, const Steps &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
const Steps kBase = Opaque("BM_BASE", 0, 0, 1);

BitmapEntry MakeEntry(const std::string &name, int32_t x, int32_t y, uint8_t level) {
    BitmapEntry e{};
    std::memcpy(e.szName, name.data(), std::min(name.size(), sizeof e.szName));
    e.nX = x;
    e.nY = y;
    e.bLevel = level;
    return e;
}

MemBlock *LayerOf(const std::vector<BitmapEntry> &entries) {
    MemBlock *layer = MemBlockCreate(kLayerBlockStep, 1);
    for (const BitmapEntry &e : entries) {
        MemBlockSeek(layer, 0, kSeekFromEnd);
        MemBlockWrite(layer, &e, sizeof e);
    }
    return layer;
}

// The layer's draw steps as PatCreateBitmapInfo orders them: into a block
// whose first step of 20 entries is the caller's.
struct OrderedSteps {
    BitmapEntry local[kLayerBlockStep / sizeof(BitmapEntry)];
    MemBlock block;
    int complete;
    explicit OrderedSteps(MemBlock *layer) {
        MemBlockInitLocal(&block, kLayerBlockStep, local, sizeof local);
        complete = OrderLayerInto(layer, &block);
    }
    ~OrderedSteps() { MemBlockRelease(&block); }
};

Steps StepsOf(MemBlock *layer) {
    Steps steps;
    for (uint32_t at = 0; at + sizeof(BitmapEntry) <= layer->length; at += sizeof(BitmapEntry)) {
        steps.push_back(StepText(*reinterpret_cast<const BitmapEntry *>(layer->data + at)));
    }
    return steps;
}

// A printer as the host describes it: the main record with the status
// codes, installed units and emulations; an empty supplement record.
struct Printer {
    HostRecord main;
    HostRecord supplement;
    QueryNode *tree = nullptr;
    Printer(std::initializer_list<DWORD> codes, std::initializer_list<uint16_t> devices = {},
            std::initializer_list<uint16_t> emulations = {}) {
        for (DWORD code : codes) AddStatusCode(main.get(), code);
        for (uint16_t device : devices) AddDeviceCode(main.get(), device);
        for (uint16_t emulation : emulations) AddEmulationCode(main.get(), emulation);
        tree = MakeStatusTree(main.get(), supplement.get());
    }
    ~Printer() { pattest::FreeTree(tree); }
};

// The steps of a picture's one layer, checking the record around them.
Steps LayerSteps(const BitmapInfo *info) {
    EXPECT_EQ(info->bTag, PAT_BITMAP_INFO_TAG);
    EXPECT_EQ(info->nLayers, 1u);
    EXPECT_EQ(info->dwLayerSize, 24u);
    const BitmapLayer &layer = info->pLayers[0];
    EXPECT_EQ(layer.bTag, PAT_BITMAP_LAYER_TAG);
    EXPECT_EQ(layer.dwEntrySize, 48u);
    EXPECT_NE(layer.pEntries, nullptr);
    Steps steps;
    for (DWORD i = 0; i < layer.nEntries; ++i) steps.push_back(StepText(layer.pEntries[i]));
    return steps;
}

// PatCreateBitmapInfo on the printer: the steps of its picture, which is
// then disposed of; a failure shows as the error code alone.
Steps Draw(Printer &printer, uint32_t status = 1) {
    pattest::PoisonLastError();
    BitmapInfo *info = PatCreateBitmapInfo(status, printer.tree, PAT_REVISION_STATUS);
    if (info == nullptr) return {"error " + std::to_string(GetLastError())};
    EXPECT_EQ(GetLastError(), 0u);
    Steps steps = LayerSteps(info);
    pattest::PoisonLastError();
    EXPECT_EQ(PatDisposeBitmapInfo(info), TRUE);
    EXPECT_EQ(GetLastError(), 0u);
    return steps;
}

Steps Draw(std::initializer_list<DWORD> codes, uint32_t status = 1, std::initializer_list<uint16_t> devices = {},
           std::initializer_list<uint16_t> emulations = {}) {
    Printer printer(codes, devices, emulations);
    return Draw(printer, status);
}

}  // namespace

TEST(FindPictureRecord, ExactKeyOrPatternElseTheLastFallbackPassedOver) {
    const PictureRecord *body = FindPictureSet(kBodyPictureSet);
    EXPECT_STREQ(FindPictureRecord(body, 46150, 1)->key, "461yy");
    // Without the pattern flag a pattern key is no key; nor does a pattern
    // match a code text of another length.
    EXPECT_STREQ(FindPictureRecord(body, 46150, 0)->key, "STATUS_DEFAULT_BMP");
    EXPECT_STREQ(FindPictureRecord(body, 461500, 1)->key, "STATUS_DEFAULT_BMP");

    PictureRecord records[5] = {};
    records[0].key = "STATUS_DEFAULT_BMP";
    records[1].key = "100";
    records[2].key = "STATUS_DEFAULT_BMP";
    records[3].key = "200";
    EXPECT_EQ(FindPictureRecord(records, 300, 1), &records[2]);
    EXPECT_EQ(FindPictureRecord(records, 200, 0), &records[3]);
    EXPECT_EQ(FindPictureRecord(records + 3, 300, 0), nullptr);
    EXPECT_EQ(FindPictureRecord(nullptr, 100, 0), nullptr);
}

TEST(IsExactPictureKey, AnyRecordOfAnySet) {
    EXPECT_EQ(IsExactPictureKey(40993), 1) << "a key of the tray 2 set only";
    EXPECT_EQ(IsExactPictureKey(PAT_STATUS_NO_RESPONSE), 1);
    EXPECT_EQ(IsExactPictureKey(41350), 0);
    EXPECT_EQ(IsExactPictureKey(46100), 0) << "a pattern key is no exact key";
}

TEST(LayerBlock, AnEntryIsAddedOncePerLevelPlaceAndName) {
    MemBlock *layer = LayerOf({MakeEntry("BM_POINT_6", 109, 28, 100)});
    // Bytes after the name's terminator do not count.
    BitmapEntry again = MakeEntry("BM_POINT_6", 109, 28, 100);
    again.szName[20] = 'x';
    EXPECT_EQ(AddUniqueEntry(layer, again), 0u);
    EXPECT_EQ(AddUniqueEntry(layer, MakeEntry("BM_POINT_6", 109, 28, 102)), 0u);
    EXPECT_EQ(AddUniqueEntry(layer, MakeEntry("BM_POINT_6", 110, 28, 100)), 0u);
    EXPECT_EQ(AddUniqueEntry(layer, MakeEntry("BM_POINT_6", 109, 29, 100)), 0u);
    EXPECT_EQ(AddUniqueEntry(layer, MakeEntry("BM_POINT_5", 109, 28, 100)), 0u);
    EXPECT_EQ(AddRecordEntries(layer, nullptr), 0u);
    EXPECT_EQ(layer->length, 5 * sizeof(BitmapEntry));
    MemBlockFree(layer);
}

TEST(LayerBlock, RemoveLevelTakesNeighboursOfTheSameLevelToo) {
    MemBlock *layer = LayerOf({MakeEntry("A", 0, 0, 230), MakeEntry("B", 0, 0, 230), MakeEntry("C", 0, 0, 1),
                               MakeEntry("D", 0, 0, 230), MakeEntry("E", 0, 0, 240), MakeEntry("F", 0, 0, 230)});
    RemoveLevel(layer, 230);
    EXPECT_EQ(StepsOf(layer), (Steps{"C 0,0 rop 0 1", "E 0,0 rop 0 240"}));
    RemoveLevel(layer, 7);
    EXPECT_EQ(StepsOf(layer).size(), 2u);
    MemBlockFree(layer);
}

TEST(OrderLayerInto, LevelsAscendingEntriesInArrivalOrderMasksBeforeImages) {
    MemBlock *layer = LayerOf({MakeEntry("A", 1, 2, 108), MakeEntry("B", 0, 0, 1), MakeEntry("C", 5, 5, 0),
                               MakeEntry("D", 3, 4, 255), MakeEntry("E", 7, 8, 108), MakeEntry("F", 0, 0, 20),
                               MakeEntry("G", 9, 9, 251)});
    const Steps before = StepsOf(layer);
    OrderedSteps ordered(layer);
    ASSERT_EQ(ordered.complete, 1);
    EXPECT_EQ(StepsOf(&ordered.block), (Steps{"B 0,0 SRCCOPY 1", "F_B 0,0 SRCAND 20", "F 0,0 SRCPAINT 20",
                                              "A_B 1,2 SRCAND 108", "A 1,2 SRCPAINT 108", "E_B 7,8 SRCAND 108",
                                              "E 7,8 SRCPAINT 108", "G 9,9 SRCCOPY 251", "D 3,4 SRCCOPY 255"}))
        << "level 0 is never drawn";
    EXPECT_EQ(StepsOf(layer), before) << "the input keeps its entries and raster operations";
    MemBlockFree(layer);
}

TEST(OrderLayerInto, AMaskNameMustFitTheNameField) {
    const std::string name29(29, 'N');
    const std::string name30(30, 'N');
    MemBlock *layer = LayerOf({MakeEntry(name29, 0, 0, 2), MakeEntry(name30, 0, 0, 3)});
    {
        OrderedSteps ordered(layer);
        EXPECT_EQ(ordered.complete, 1) << "29 characters and \"_B\" fit; an odd level needs no mask";
        EXPECT_EQ(StepsOf(&ordered.block), (Steps{name29 + "_B 0,0 SRCAND 2", name29 + " 0,0 SRCPAINT 2",
                                                  name30 + " 0,0 SRCCOPY 3"}));
    }
    MemBlockFree(layer);

    for (size_t length : {size_t{30}, size_t{32}}) {  // 32: no terminator in the field at all
        const long live = pattest::LiveHeapBlocks();
        layer = LayerOf({MakeEntry("BM_BASE", 0, 0, 1), MakeEntry(std::string(length, 'N'), 0, 0, 4)});
        {
            OrderedSteps ordered(layer);
            EXPECT_EQ(ordered.complete, 0) << length;
        }
        MemBlockFree(layer);
        EXPECT_EQ(pattest::LiveHeapBlocks(), live) << length;
    }
}

// The rules over a layer holding one entry at every level they concern:
// what each combination of emulation and status argument keeps.
TEST(ComposePicture, EmulationAndSetRulesKeepTheirLevels) {
    const std::vector<uint8_t> levels = {1, 220, 224, 226, 230, 232, 234, 236, 240, 242, 244, 246, 248, 250};
    struct Case {
        bool pcl;
        uint32_t status;
        std::vector<int> kept;
    };
    const Case cases[] = {
        {false, 1, {1, 220, 230, 232, 250}},
        {true, 1, {1, 224, 226, 234, 236, 250}},
        {false, kAlt, {1, 220, 240, 242, 248, 250}},
        {true, kAlt, {1, 224, 226, 244, 248, 250}},
    };
    for (const Case &c : cases) {
        HostRecord record;
        if (c.pcl) AddEmulationCode(record.get(), kPcl5e);
        std::vector<BitmapEntry> entries;
        for (uint8_t level : levels) entries.push_back(MakeEntry("L", 0, 0, level));
        ElemList *layers = ElemListCreate(sizeof(MemBlock *), kLayerPointersPerStep, 1);
        MemBlock *layer = LayerOf(entries);
        ElemListAppend(layers, &layer);
        ResolvedCodes *codes = ElemListCreate(kResolvedCodeSize, kResolvedCodesPerStep, kResolvedCodesInitialSteps);

        EXPECT_EQ(ComposePicture(StatusContext{c.status, record.get()}, codes, layers), 0u);
        std::vector<int> kept;
        for (uint32_t at = 0; at < layer->length; at += sizeof(BitmapEntry)) {
            kept.push_back(reinterpret_cast<const BitmapEntry *>(layer->data + at)->bLevel);
        }
        EXPECT_EQ(kept, c.kept) << "PCL " << c.pcl << ", status " << std::hex << c.status;
        ElemListFree(codes);
        MemBlockFree(layer);
        ElemListFree(layers);
    }
}

TEST(PatCreateBitmapInfo, MarkerOfATrayToLoad) {
    const Steps point2 = Transparent("BM_POINT_2", 113, 69, 108);
    EXPECT_EQ(Draw({40991}), Then(kBase, point2));
    // The tray 2 unit has no record of 40991, an exact key elsewhere: it
    // shows its fallback, the unit itself.
    EXPECT_EQ(Draw({40991}, 1, {kTray2Unit}), Then(Then(kBase, Transparent("BM_TRAY2", 0, 0, 20)), point2));
    // 41350 is nobody's exact key: patterns apply in every set.
    EXPECT_EQ(Draw({41350}, 1, {kTray2Unit}),
              Then(Then(kBase, Transparent("BM_TRAY2", 0, 0, 20)), Transparent("BM_POINT_1", 114, 138, 114)));
    EXPECT_EQ(Draw({41350}), kBase);
    // Each installed unit consults its own set.
    EXPECT_EQ(Draw({40994}, 1, {kTray3Unit, kTray2Unit}),
              Then(Then(Then(kBase, Transparent("BM_TRAY2", 0, 0, 20)), Transparent("BM_TRAY3", 0, 0, 30)),
                   Transparent("BM_POINT_1", 114, 160, 116)));
    // Devices without a picture set add nothing.
    EXPECT_EQ(Draw({40991}, 1, {1, 3, 16}), Then(kBase, point2));
}

TEST(PatCreateBitmapInfo, SignsChosenByEmulationAndAlternateSet) {
    EXPECT_EQ(Draw({40141}, 1), Then(kBase, Transparent("BM_SERVICE", 0, 0, 230)));
    EXPECT_EQ(Draw({40141}, kAlt), Then(kBase, Transparent("BM_SERVICE", 0, 0, 240)));
    EXPECT_EQ(Draw({40141}, 1, {}, {kPcl5e}), Then(kBase, Transparent("BM_POINT_5", 75, 72, 234)));
    EXPECT_EQ(Draw({40141}, kAlt, {}, {2, kPcl5e}), Then(kBase, Transparent("BM_POINT_5", 75, 72, 244)));

    EXPECT_EQ(Draw({50101}, 1), kBase);
    EXPECT_EQ(Draw({50101}, kAlt), Then(kBase, Transparent("BM_CAUTION", 0, 0, 248)));
    EXPECT_EQ(Draw({30400}, 1), kBase);
    EXPECT_EQ(Draw({30400}, kAlt), Then(kBase, Transparent("BM_SERVICE", 0, 0, 240)));
    // Drawing order is by level, not by the record's slot order.
    EXPECT_EQ(Draw({40100}, 1, {}, {kPcl5e}),
              Then(Then(kBase, Transparent("BM_POINT_7", 200, 53, 224)), Transparent("BM_POINT_3", 106, 63, 226)));
    EXPECT_EQ(Draw({40100}, 1), Then(kBase, Transparent("BM_SERVICE", 0, 0, 220)));
}

TEST(PatCreateBitmapInfo, SharedEntriesOnceAndNoResponseOverEverything) {
    // 40015 and 40014 share their priority and both their entries.
    EXPECT_EQ(Draw({40015, 40014}), Then(kBase, Transparent("BM_POINT_6", 109, 28, 100)));
    // 42000 and 42004 have no priority of their own: both stay and their
    // common entries appear once.
    EXPECT_EQ(Draw({42004, 42000}),
              Then(Then(kBase, Transparent("BM_POINT_7", 200, 53, 104)), Transparent("BM_POINT_3", 106, 63, 106)));

    for (uint32_t status : {1u, kAlt}) {
        Printer printer({50101, 40991}, {kTray2Unit}, {kPcl5e});
        printer.main->bNoResponse = 1;
        EXPECT_EQ(Draw(printer, status),
                  Then(Then(kBase, Transparent("BM_TRAY2", 0, 0, 20)), Transparent("BM_POWEROFF", 0, 0, 250)));
    }
}

TEST(PatCreateBitmapInfo, NoCurrentCodeOrNoPriorityTableGivesAnEmptyLayer) {
    EXPECT_EQ(Draw({}), Steps{});
    EXPECT_EQ(Draw({40991}, 0x10001), Steps{});
    EXPECT_EQ(Draw({40991}, 0x40000001u), Steps{}) << "high bits other than bit 31";

    HostRecord main;
    HostRecord supplement;
    AddStatusCode(main.get(), 40991);
    QueryNode *tree = MakeStatusTree(main.get(), supplement.get(), 4, 4);  // main child named by the root
    pattest::PoisonLastError();
    BitmapInfo *info = PatCreateBitmapInfo(PAT_STATUS_SOURCE_PM, tree, 0x103);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(GetLastError(), 0u);
    EXPECT_EQ(LayerSteps(info), Steps{});
    EXPECT_EQ(PatDisposeBitmapInfo(info), TRUE);
    pattest::FreeTree(tree);
}

TEST(PatDisposeBitmapInfo, ALoneLayerOrAPictureWhoseLayersAreAllTagged) {
    const long live = pattest::LiveHeapBlocks();
    auto *layer = static_cast<BitmapLayer *>(GlobalAlloc(GPTR, sizeof(BitmapLayer)));
    layer->bTag = PAT_BITMAP_LAYER_TAG;
    layer->pEntries = static_cast<BitmapEntry *>(GlobalAlloc(GPTR, 2 * sizeof(BitmapEntry)));
    pattest::PoisonLastError();
    EXPECT_EQ(PatDisposeBitmapInfo(layer), TRUE);
    EXPECT_EQ(GetLastError(), 0u);
    EXPECT_EQ(pattest::LiveHeapBlocks(), live);

    // A picture with a second layer that is not one: refused before any
    // layer is released, so the host still holds a whole record.
    auto *info = static_cast<BitmapInfo *>(GlobalAlloc(GPTR, sizeof(BitmapInfo)));
    info->bTag = PAT_BITMAP_INFO_TAG;
    info->nLayers = 2;
    info->pLayers = static_cast<BitmapLayer *>(GlobalAlloc(GPTR, 2 * sizeof(BitmapLayer)));
    info->pLayers[0].bTag = PAT_BITMAP_LAYER_TAG;
    info->pLayers[0].pEntries = static_cast<BitmapEntry *>(GlobalAlloc(GPTR, sizeof(BitmapEntry)));
    info->pLayers[1].bTag = PAT_BITMAP_INFO_TAG;
    const long whole = pattest::LiveHeapBlocks();
    pattest::PoisonLastError();
    EXPECT_EQ(PatDisposeBitmapInfo(info), FALSE);
    EXPECT_EQ(GetLastError(), 87u);
    EXPECT_EQ(pattest::LiveHeapBlocks(), whole);
    EXPECT_EQ(info->pLayers[0].bTag, PAT_BITMAP_LAYER_TAG);

    info->pLayers[1].bTag = PAT_BITMAP_LAYER_TAG;  // without entries
    EXPECT_EQ(PatDisposeBitmapInfo(info), TRUE);
    EXPECT_EQ(pattest::LiveHeapBlocks(), live);

    // Only the tag byte counts; other tags and null are refused.
    uint8_t other[24] = {};
    for (uint8_t tag : {uint8_t{0}, uint8_t{202}}) {
        other[0] = tag;
        pattest::PoisonLastError();
        EXPECT_EQ(PatDisposeBitmapInfo(other), FALSE) << int{tag};
        EXPECT_EQ(GetLastError(), 87u);
    }
    pattest::PoisonLastError();
    EXPECT_EQ(PatDisposeBitmapInfo(nullptr), FALSE);
    EXPECT_EQ(GetLastError(), 87u);
}

// A tagged record is read only as far as its block reaches, and a record
// whose blocks the heap does not know is not reported as released.
TEST(PatDisposeBitmapInfo, ShortBlocksAndForeignBlocksAreRefused) {
    auto *tiny = static_cast<uint8_t *>(GlobalAlloc(GPTR, 1));
    *tiny = PAT_BITMAP_INFO_TAG;
    pattest::PoisonLastError();
    EXPECT_EQ(PatDisposeBitmapInfo(tiny), FALSE);
    EXPECT_EQ(GetLastError(), 87u);
    EXPECT_EQ(GlobalFree(tiny), nullptr) << "a refused block stays the host's";

    // A layer array shorter than the layers the picture claims.
    auto *info = static_cast<BitmapInfo *>(GlobalAlloc(GPTR, sizeof(BitmapInfo)));
    info->bTag = PAT_BITMAP_INFO_TAG;
    info->nLayers = 3;
    info->pLayers = static_cast<BitmapLayer *>(GlobalAlloc(GPTR, sizeof(BitmapLayer)));
    info->pLayers[0].bTag = PAT_BITMAP_LAYER_TAG;
    pattest::PoisonLastError();
    EXPECT_EQ(PatDisposeBitmapInfo(info), FALSE);
    EXPECT_EQ(GetLastError(), 87u);

    // Entries that are no block of the heap: the rest is released, the
    // failure reported.
    auto *host = static_cast<uint8_t *>(GlobalAlloc(GPTR, 256));
    info->nLayers = 1;
    info->pLayers[0].pEntries = reinterpret_cast<BitmapEntry *>(host + 64);
    const long before = pattest::LiveHeapBlocks();
    pattest::PoisonLastError();
    EXPECT_EQ(PatDisposeBitmapInfo(info), FALSE);
    EXPECT_EQ(GetLastError(), 87u);
    if (before >= 0) {
        EXPECT_EQ(pattest::LiveHeapBlocks(), before - 2);
    }
    GlobalFree(host);
}

// Every allocation of a picture made to fail in turn, until a run makes
// none: each run that hit a failure returns null with 8, nothing leaks,
// and the run without one gives the whole picture.
TEST(PatCreateBitmapInfo, EveryAllocationFailureIsReportedAndReleased) {
    SKIP_WITHOUT_HEAP_HOOK();
    pattest::HeapHookGuard guard;
    std::vector<DWORD> manyCodes;  // more codes than the code list's first step holds
    for (DWORD code = 1; code <= 25; ++code) manyCodes.push_back(code);
    struct Scenario {
        const char *name;
        std::vector<DWORD> codes;
        uint32_t status;
        Steps expected;
    };
    const Scenario scenarios[] = {
        {"tray to load", {40991}, 1,
         Then(Then(kBase, Transparent("BM_TRAY2", 0, 0, 20)), Transparent("BM_POINT_2", 113, 69, 108))},
        {"no codes", {}, 1, {}},
        {"no priority table", {40991}, 0x10001, {}},
        {"25 codes", manyCodes, 1, Then(kBase, Transparent("BM_TRAY2", 0, 0, 20))},
    };
    for (const Scenario &s : scenarios) {
        HostRecord main;
        HostRecord supplement;
        for (DWORD code : s.codes) AddStatusCode(main.get(), code);
        AddDeviceCode(supplement.get(), kTray2Unit);
        QueryNode *tree = MakeStatusTree(main.get(), supplement.get());
        for (unsigned n = 1;; ++n) {
            const long live = pattest::LiveHeapBlocks();
            pattest::FailNthAllocation(n);
            pattest::PoisonLastError();
            BitmapInfo *info = PatCreateBitmapInfo(s.status, tree, 3);
            const DWORD error = GetLastError();
            const bool struck = pattest::ArmedFailureStruck(n);
            if (struck) {
                EXPECT_EQ(info, nullptr) << s.name << ": success after failed allocation " << n;
                EXPECT_EQ(error, 8u) << s.name << " " << n;
            } else {
                ASSERT_NE(info, nullptr) << s.name;
                EXPECT_EQ(error, 0u);
                EXPECT_EQ(LayerSteps(info), s.expected) << s.name;
                // Disposing allocates nothing and releases every block.
                pattest::FailNthAllocation(1);
                EXPECT_EQ(PatDisposeBitmapInfo(info), TRUE);
                EXPECT_FALSE(pattest::ArmedFailureStruck(1));
                info = nullptr;
            }
            if (info != nullptr) PatDisposeBitmapInfo(info);
            EXPECT_EQ(pattest::LiveHeapBlocks(), live) << s.name << ": leak after failed allocation " << n;
            if (!struck) break;
            ASSERT_LT(n, 100u) << s.name;
        }
        pattest::FreeTree(tree);
    }
}

// The working lists and blocks of a picture live on the stack: a picture
// of a few codes allocates only the three blocks it hands out, and the
// entry array is a block of whole layer steps as before.
TEST(PatCreateBitmapInfo, OnlyWhatIsHandedOutComesFromTheHeap) {
    SKIP_WITHOUT_HEAP_HOOK();
    pattest::HeapHookGuard guard;
    for (const std::vector<DWORD> &codes : {std::vector<DWORD>{40012, 40013, 40014, 40015}, std::vector<DWORD>{}}) {
        HostRecord main;
        HostRecord supplement;
        for (DWORD code : codes) AddStatusCode(main.get(), code);
        QueryNode *tree = MakeStatusTree(main.get(), supplement.get());
        const long live = pattest::LiveHeapBlocks();
        pattest::FailNthAllocation(4);
        BitmapInfo *info = PatCreateBitmapInfo(1, tree, 3);
        EXPECT_FALSE(pattest::ArmedFailureStruck(4)) << codes.size();
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(pattest::LiveHeapBlocks(), live + 3);
        EXPECT_EQ(GlobalSize(info->pLayers[0].pEntries), kLayerBlockStep) << "one step, even when empty";
        EXPECT_EQ(PatDisposeBitmapInfo(info), TRUE);
        pattest::FreeTree(tree);
    }
}

TEST(LayerBlock, GrowthFailuresLeaveTheLayerAsItWas) {
    SKIP_WITHOUT_HEAP_HOOK();
    pattest::HeapHookGuard guard;
    // A full first step (20 entries): the next entry needs the block to grow.
    std::vector<BitmapEntry> entries;
    for (uint8_t i = 0; i < 20; ++i) {
        // Appended to a named string: "E" + to_string makes GCC 12 at -O3
        // report a false overlapping copy.
        std::string name = "E";
        name += std::to_string(i);
        entries.push_back(MakeEntry(name, i, 0, 100));
    }
    MemBlock *layer = LayerOf(entries);
    pattest::FailNthAllocation(1);
    EXPECT_EQ(AddUniqueEntry(layer, MakeEntry("X", 0, 0, 100)), 8u);
    EXPECT_EQ(layer->length, 20 * sizeof(BitmapEntry));
    pattest::FailNthAllocation(1);
    EXPECT_EQ(AddRecordEntries(layer, FindPictureRecord(FindPictureSet(kBodyPictureSet), 40991, 0)), 8u)
        << "stops at the first failure";
    EXPECT_EQ(layer->length, 20 * sizeof(BitmapEntry));

    // Composing into the full layer: the failure reaches the caller.
    HostRecord record;
    AddDeviceCode(record.get(), kTray2Unit);
    ElemList *layers = ElemListCreate(sizeof(MemBlock *), kLayerPointersPerStep, 1);
    ElemListAppend(layers, &layer);
    ResolvedCodes *codes = ElemListCreate(kResolvedCodeSize, kResolvedCodesPerStep, kResolvedCodesInitialSteps);
    const uint32_t code = 40991;
    ElemListAppend(codes, &code);
    pattest::FailNthAllocation(1);
    EXPECT_EQ(ComposePicture(StatusContext{1, record.get()}, codes, layers), 8u);
    EXPECT_TRUE(pattest::ArmedFailureStruck(1));
    ElemListFree(codes);
    ElemListFree(layers);

    // Ordering 20 even-level entries needs 40 steps: the output outgrows
    // its first 20 entries once, onto the heap.
    {
        const long live = pattest::LiveHeapBlocks();
        pattest::FailNthAllocation(1);
        {
            OrderedSteps ordered(layer);
            EXPECT_EQ(ordered.complete, 0);
            EXPECT_TRUE(pattest::ArmedFailureStruck(1));
        }
        EXPECT_EQ(pattest::LiveHeapBlocks(), live);
        OrderedSteps ordered(layer);
        EXPECT_EQ(ordered.complete, 1);
        EXPECT_EQ(ordered.block.length, 40 * sizeof(BitmapEntry));
    }
    MemBlockFree(layer);
}

// The sets' indexes find, for every code and both modes, the record the
// row-by-row search of a copy of the set finds, and the exact keys of all
// sets together.
TEST(FindPictureRecord, IndexAgreesWithTheRowSearch) {
    std::vector<uint32_t> codes = {0, 1, 9, 4294967295u, STATUS_NO_RESPONSE, 461990u, 4619u};
    for (uint32_t code = 10000; code < 100000; ++code) codes.push_back(code);
    for (const PictureSet *set = PictureSetTable; set->key != kPictureSetEnd; ++set) {
        std::vector<PictureRecord> copy;
        for (const PictureRecord *record = set->records;; ++record) {
            copy.push_back(*record);
            if (record->key == nullptr) break;
        }
        for (uint32_t code : codes) {
            for (int pattern : {0, 1}) {
                const PictureRecord *indexed = FindPictureRecord(set->records, code, pattern);
                const PictureRecord *searched = FindPictureRecord(copy.data(), code, pattern);
                ASSERT_EQ(indexed == nullptr ? -1 : indexed - set->records,
                          searched == nullptr ? -1 : searched - copy.data())
                    << "set " << set->key << " code " << code << " pattern " << pattern;
            }
        }
    }
    for (uint32_t code : codes) {
        char text[kStatusCodeTextSize];
        StatusCodeText(code, text);
        int keyed = 0;
        for (const PictureSet *set = PictureSetTable; set->key != kPictureSetEnd; ++set) {
            for (const PictureRecord *record = set->records; record->key != nullptr; ++record) {
                if (std::strcmp(record->key, text) == 0) keyed = 1;
            }
        }
        ASSERT_EQ(IsExactPictureKey(code), keyed) << code;
    }
}
