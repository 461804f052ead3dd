// What an adversarial host hands the status exports: huge lists of one
// code, chains that loop back on themselves, records shorter than they
// must be, names that only a locale-aware comparison would take as equal.
#include "status/help_and_device_names.h"
#include "status/status_resolution.h"
#include "support/support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

using pattest::HostRecord;
using pattest::MakeStatusTree;

namespace {

// `count` engine-status items of the codes given in turn, in one host
// array linked as a chain, hung into `record`.
std::vector<EngineStatusItem> ChainOfCodes(PrnInfoEx *record, size_t count, std::vector<DWORD> codes) {
    std::vector<EngineStatusItem> items(count);
    for (size_t i = 0; i < count; ++i) {
        items[i].cbItem = sizeof(EngineStatusItem);
        items[i].dwCode = codes[i % codes.size()];
        items[i].wCode = static_cast<uint16_t>(items[i].dwCode);
        items[i].next = i + 1 < count ? reinterpret_cast<InfoItem *>(&items[i + 1]) : nullptr;
    }
    record->pEngineStatus = items.data();
    record->nEngineStatus = static_cast<DWORD>(count);
    return items;
}

void Unhang(PrnInfoEx *record) {
    record->pEngineStatus = nullptr;
    record->nEngineStatus = 0;
}

}  // namespace

// The most urgent codes are sorted in O(n log n): a record of 100,000
// engine-status items, most of one code, resolves well within a second,
// ascending with duplicates kept.
TEST(HostileHost, AHundredThousandStatusCodesResolveQuickly) {
    HostRecord printer;
    auto items = ChainOfCodes(printer.get(), 100000, {40012, 40012, 40012, 40011});
    patprn::ResolvedCodes *codes = patprn::ElemListCreate(patprn::kResolvedCodeSize, patprn::kResolvedCodesPerStep,
                                                          patprn::kResolvedCodesInitialSteps);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(patprn::ResolveStatusCodes({1, printer.get()}, codes), 0u);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 1.0);
    const uint32_t kept = patprn::ElemListCount(codes);
    ASSERT_GT(kept, 0u);
    uint32_t previous = 0;
    for (uint32_t i = 1; i <= kept; ++i) {
        uint32_t code = 0;
        patprn::ElemListGet(codes, i, &code);
        EXPECT_LE(previous, code);
        previous = code;
    }
    patprn::ElemListFree(codes);
    Unhang(printer.get());
}

// An engine-status list that loops back on itself is read to its count; a
// status tree whose children loop is refused with 13.
TEST(HostileHost, CyclicListsEndAtTheirCountAndCyclicTreesAreRefused) {
    HostRecord printer;
    auto items = ChainOfCodes(printer.get(), 3, {40012, 10001, 40012});
    items[2].next = reinterpret_cast<InfoItem *>(&items[0]);
    QueryNode *tree = MakeStatusTree(printer.get(), printer.get());
    char out[512];
    DWORD length = sizeof out;
    pattest::PoisonLastError();
    EXPECT_EQ(PatGetStatusString(1, tree, 3, PAT_STATUS_TEXT_SHORT, out, &length), TRUE);
    EXPECT_EQ(GetLastError(), 0u);

    QueryNode *last = tree->pFirstChild;
    while (last->pNextSibling != nullptr) last = last->pNextSibling;
    last->pNextSibling = tree->pFirstChild;
    length = sizeof out;
    pattest::PoisonLastError();
    EXPECT_EQ(PatGetStatusString(1, tree, 3, PAT_STATUS_TEXT_SHORT, out, &length), FALSE);
    EXPECT_EQ(GetLastError(), 13u);
    pattest::PoisonLastError();
    EXPECT_EQ(PatCreateBitmapInfo(1, tree, 3), nullptr);
    EXPECT_EQ(GetLastError(), 13u);
    last->pNextSibling = nullptr;
    pattest::FreeTree(tree);
    Unhang(printer.get());
}

// The help file name reads the host's record only when its size says it
// may: a record below 404 bytes is refused with 87, whatever follows it.
TEST(HostileHost, HelpFileNameRefusesShortRecords) {
    for (DWORD size : {0u, 4u, 403u}) {
        auto *block = static_cast<DWORD *>(GlobalAlloc(GPTR, sizeof(DWORD)));
        *block = size;
        char out[16] = "untouched";
        DWORD length = sizeof out;
        pattest::PoisonLastError();
        EXPECT_EQ(PatGetStatusHelpFileName(1, reinterpret_cast<const PrnInfoEx *>(block), 0, out, &length), FALSE);
        EXPECT_EQ(GetLastError(), 87u) << size;
        EXPECT_STREQ(out, "untouched");
        GlobalFree(block);
    }
}

// Names are matched byte for byte. Windows' lstrcmpA compares by locale and
// weighs a soft hyphen or a control character as nothing, so it would take
// these keys for "Tray 1", "Standard Tray" and "EN"; the library does not,
// on either platform.
TEST(HostileHost, NamesDifferingOnlyInIgnorableCharactersDoNotMatch) {
    char out[256];
    DWORD length = sizeof out;
    ASSERT_EQ(PatGetDeviceName(PAT_DEVICE_INPUT_TRAY, "Tray 1", DEVICE_KEY_TEXT, out, &length), TRUE);
    for (const char *key : {"Tray\xAD 1", "Tray 1\x01", "\xADStandard Tray"}) {
        const DWORD kind = key[1] == 'S' ? PAT_DEVICE_OUTPUT_BIN : PAT_DEVICE_INPUT_TRAY;
        length = sizeof out;
        pattest::PoisonLastError();
        EXPECT_EQ(PatGetDeviceName(kind, key, DEVICE_KEY_TEXT, out, &length), FALSE) << key;
        EXPECT_EQ(GetLastError(), 87u);
    }
    pattest::PoisonLastError();
    EXPECT_EQ(PatSetLocale("EN\xAD"), FALSE);
    EXPECT_EQ(GetLastError(), PAT_ERROR_LANGUAGE);
}
