// The status text's inner steps: codes become message candidates, names
// are listed per placeholder in catalogue order, messages are filled within
// their bounds; and PatGetStatusString releases every working list and
// never reports success when an allocation failed.
#include "allocation_failures.h"
#include "frame/language_guard.h"
#include "status/status_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

using namespace patprn;
using pattest::AddStatusCode;
using pattest::HostRecord;

namespace {

using Entries = std::vector<std::pair<uint32_t, uint32_t>>;  // (key, item)

// An entry list owned by a test.
struct EntryList {
    explicit EntryList(const Entries &entries = {})
        : list(ElemListCreate(sizeof(StatusEntry), kStatusEntriesPerStep, kStatusEntriesInitialSteps)) {
        for (const auto &[key, item] : entries) {
            const StatusEntry entry{key, item, ""};
            ElemListAppend(list, &entry);
        }
    }
    ~EntryList() { ElemListFree(list); }
    Entries Pairs() const {
        Entries pairs;
        StatusEntry entry;
        ListCursor cursor;
        for (ListCursorInit(list, &cursor); ListCursorNext(&cursor, &entry);) pairs.emplace_back(entry.key, entry.item);
        return pairs;
    }
    ElemList *list;
};

class StatusText : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(PatSetLocale("EN"), TRUE); }
    pattest::LanguageGuard language;
};

const Entries kTonerEntries = {{40012, 8}, {40012, 13}, {40013, 8}, {40013, 10},
                               {40014, 8}, {40014, 11}, {40015, 8}, {40015, 12}};

}  // namespace

TEST_F(StatusText, CandidatesOfTheMostUrgentCodes) {
    HostRecord printer;
    for (DWORD code : {40015u, 10001u, 40013u, 40012u, 40014u}) AddStatusCode(printer.get(), code);
    EntryList entries;
    ASSERT_EQ(BuildStatusEntries({1, printer.get()}, entries.list), 0u);
    EXPECT_EQ(entries.Pairs(), kTonerEntries);

    HostRecord plain;
    HostRecord pcl;
    pattest::AddEmulationCode(pcl.get(), 17);
    AddStatusCode(plain.get(), 40800, "ENGINE SC 541");
    AddStatusCode(plain.get(), 40800, "ENGINE SC 999");
    const std::vector<std::tuple<const PrnInfoEx *, uint32_t, uint32_t, Entries>> cases = {
        {pcl.get(), 1, 40100, {{1040100, 6}}},
        {pcl.get(), 1 | STATUS_ALT_SET, 30400, {{1030400, 0}}},
        {plain.get(), 1, 30409, {{30409, 0}}},
        {plain.get(), 1, 40800, {{40800, 0}}},
        {plain.get(), 1, 41100, {{1041100, 4}}},  // its own row, not also "411yy"
        {plain.get(), 1, 411000, {}},  // six digits match no five-character pattern
        {plain.get(), 1 | STATUS_ALT_SET, 10002, {}},
    };
    for (const auto &[record, status, code, expected] : cases) {
        EntryList list;
        EXPECT_EQ(ExpandStatusCode({status, record}, code, list.list), 0u);
        EXPECT_EQ(list.Pairs(), expected) << code;
    }
    // The service code comes from the first 40800 item's text.
    EntryList service;
    ExpandStatusCode({1, plain.get()}, 40800, service.list);
    EXPECT_STREQ(static_cast<const StatusEntry *>(ElemListAt(service.list, 1))->text, "SC 541");
}

TEST(ServiceCode, FromTheLastScToTheEnd) {
    char out[16];
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"Call SC 541", "SC 541"}, {"SC1 then SC2 x", "SC2 x"}, {"no code", ""}, {"S", ""}, {"SC", "SC"},
        {"sc 541", ""},
    };
    for (const auto &[text, expected] : cases) {
        EXPECT_EQ(ExtractServiceCode(text.c_str(), 260, out, sizeof out), 0u);
        EXPECT_STREQ(out, expected.c_str()) << text;
    }
    EXPECT_EQ(ExtractServiceCode("SC 5419", 260, out, 4), 0u);
    EXPECT_STREQ(out, "SC ");
    // A status text filling its 260 bytes without a terminator is read no further.
    char full[260];
    std::memset(full, 'x', sizeof full);
    std::memcpy(full + sizeof full - 3, "SC9", 3);
    EXPECT_EQ(ExtractServiceCode(full, sizeof full, out, sizeof out), 0u);
    EXPECT_STREQ(out, "SC9");
    EXPECT_EQ(ExtractServiceCode(nullptr, 260, out, sizeof out), 87u);
}

TEST_F(StatusText, NamesPerPlaceholderInCatalogueOrder) {
    char out[256];
    EntryList toner(kTonerEntries);
    const char *tonerLists[] = {"Top Cover", "Black, Cyan, Magenta, Yellow", ""};
    for (uint32_t ordinal = 1; ordinal <= 3; ++ordinal) {
        ASSERT_EQ(BuildItemList(toner.list, ordinal, out, sizeof out), 0u);
        EXPECT_STREQ(out, tonerLists[ordinal - 1]) << ordinal;
    }
    // Keys without a placeholder row: every item in every place, each once.
    EntryList trays({{1041300, 2}, {41100, 4}, {1041200, 1}, {1041300, 2}, {40300, 0}});
    ASSERT_EQ(BuildItemList(trays.list, 7, out, sizeof out), 0u);
    EXPECT_STREQ(out, "Tray 1, Tray 2, Bypass Tray");
    // Names that do not fit are reported, not cut.
    EXPECT_EQ(BuildItemList(trays.list, 1, out, 27), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_STREQ(out, "");
}

TEST_F(StatusText, MessagesFilledWithinTheirBounds) {
    EntryList toner(kTonerEntries);
    char out[kStatusTextSize];
    ASSERT_EQ(FillPlaceholders("100% %d %s|%s|%s.", toner.list, out, sizeof out), 0u);
    EXPECT_STREQ(out, "100% %d Top Cover|Black, Cyan, Magenta, Yellow|.");
    // A list that does not fit is dropped; the text goes on.
    ASSERT_EQ(FillPlaceholders("%s:%s", toner.list, out, 12), 0u);
    EXPECT_STREQ(out, "Top Cover:");
    // Ordinary characters beyond the capacity are cut off.
    const std::string longText(700, 'a');
    ASSERT_EQ(FillPlaceholders(longText.c_str(), toner.list, out, sizeof out), 0u);
    EXPECT_EQ(std::string(out), longText.substr(0, sizeof out - 1));
}

// 50 tray-empty codes give 50 candidates, so the lists also grow.
TEST_F(StatusText, EveryFailedAllocationIsReportedAndReleased) {
    SKIP_WITHOUT_HEAP_HOOK();
    HostRecord printer;
    HostRecord supplement;
    AddStatusCode(printer.get(), 10001);
    for (DWORD i = 1; i <= 25; ++i) {
        AddStatusCode(printer.get(), 41100 + i);
        AddStatusCode(printer.get(), 41200 + i);
    }
    QueryNode *tree = pattest::MakeStatusTree(printer.get(), supplement.get());
    char out[kStatusTextSize];
    DWORD length = 0;
    const unsigned runs = pattest::ExpectEveryAllocationFailureReported("status text", [&] {
        std::strcpy(out, "untouched");
        length = sizeof out;
        const BOOL ok = PatGetStatusString(1, tree, 3, 2, out, &length);
        EXPECT_TRUE(ok || (std::strcmp(out, "untouched") == 0 && length == sizeof out)) << "failures write nothing";
        return ok;
    });
    EXPECT_STREQ(out, "Load paper in the indicated paper source tray.\nTray 1, Bypass Tray");
    // The code and entry lists start on the stack: only their growth past
    // the first step (50 codes, 50 candidates) takes from the heap, four
    // allocations; the names' work lists and string loads take nothing.
    EXPECT_GE(runs, 4u);
    // A few codes fit the stack: the text takes nothing from the heap.
    HostRecord toner;
    for (DWORD code : {40012u, 40013u, 40014u, 40015u}) AddStatusCode(toner.get(), code);
    QueryNode *few = pattest::MakeStatusTree(toner.get(), supplement.get());
    EXPECT_EQ(pattest::ExpectEveryAllocationFailureReported("four toner codes", [&] {
        length = sizeof out;
        return PatGetStatusString(1, few, 3, 2, out, &length);
    }), 1u);
    pattest::FreeTree(few);
    pattest::FreeTree(tree);
}

namespace {

// The candidates of a code by comparing its text with every row, the way
// the message tables are defined: every exactly equal row in table order,
// else every row whose pattern matches.
Entries MessageRowsByText(const StatusMessageRow *table, uint32_t code) {
    char text[kStatusCodeTextSize];
    StatusCodeText(code, text);
    Entries exact;
    Entries patterns;
    for (const StatusMessageRow *row = table; row->key != nullptr; ++row) {
        if (std::strcmp(row->key, text) == 0) exact.emplace_back(row->messageKey, row->item);
        if (CodePatternMatch(text, row->key)) patterns.emplace_back(row->messageKey, row->item);
    }
    return exact.empty() ? patterns : exact;
}

}  // namespace

// The indexed lookup gives every code, keyed or not, the rows the text
// comparison gives, in the same order, in both tables.
TEST(MessageRows, IndexAgreesWithTheTextOfEveryRow) {
    std::vector<uint32_t> codes = {0, 1, 9, 10, 4294967295u, STATUS_NO_RESPONSE, 429496704u};
    for (uint32_t code = 10000; code < 100000; ++code) codes.push_back(code);
    for (uint32_t code : {41100u, 46199u, 40015u, 45000u}) {
        codes.push_back(code * 10);
        codes.push_back(code + 1000000);
    }
    for (uint32_t status : {1u, 1u | STATUS_ALT_SET}) {
        const StatusContext context{status, nullptr};
        for (uint32_t code : codes) {
            EntryList entries;
            ASSERT_EQ(MatchMessageRows(context, code, entries.list), 0u);
            ASSERT_EQ(entries.Pairs(), MessageRowsByText(StatusMessageTableFor(status), code))
                << "code " << code << " status " << status;
        }
    }
}
