// The string catalogues: their lookup, their rows against the numbering of
// the string tables, and the texts they lead to.
#include "status/string_catalogue.h"

#include "frame/localized_string.h"
#include "frame/language_guard.h"
#include "support/support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <set>
#include <string>

namespace {

using pattest::LanguageGuard;
using namespace patprn;

size_t RowCount(const StringCatalogue *catalogue) {
    size_t n = 0;
    while (catalogue[n].key != kCatalogueEnd) ++n;
    return n;
}

TEST(FindStringCatalogue, MatchesGroupAndLowByteOfVariant) {
    const StringCatalogue *detailed = FindStringCatalogue(1, 2);
    ASSERT_NE(detailed, nullptr);
    EXPECT_EQ(FindStringCatalogue(1, 0x102), detailed);
    EXPECT_NE(FindStringCatalogue(1, 1), detailed);
    EXPECT_EQ(FindStringCatalogue(3, 2), nullptr);  // items have only variant 1
    EXPECT_EQ(FindStringCatalogue(1, 3), nullptr);
    EXPECT_EQ(FindStringCatalogue(0, 0), nullptr);  // the end row is never a match
    EXPECT_EQ(FindStringCatalogue(5, 1), nullptr);
}

TEST(StringCatalogue, RowsNumberTheStringsOfTheirGroup) {
    const struct {
        uint32_t group, variant;
        size_t rows;
        uint32_t first, last;  // string numbers of the first and last row
    } catalogues[] = {
        {1, 2, 120, 2000, 2119}, {1, 1, 120, 1000, 1119}, {2, 2, 41, 2500, 2540},
        {2, 1, 41, 1500, 1540},  {3, 1, 13, 3000, 3012},  {4, 1, 9, 4000, 4009},
    };
    for (const auto &c : catalogues) {
        const StringCatalogue *catalogue = FindStringCatalogue(c.group, c.variant);
        ASSERT_NE(catalogue, nullptr) << c.group << "," << c.variant;
        ASSERT_EQ(RowCount(catalogue), c.rows) << c.group << "," << c.variant;
        EXPECT_EQ(catalogue[0].number, c.first) << c.group << "," << c.variant;
        EXPECT_EQ(catalogue[c.rows - 1].number, c.last) << c.group << "," << c.variant;
        // A repeated key would hide every later row with that key.
        std::set<uint32_t> keys;
        for (size_t i = 0; i < c.rows; ++i) keys.insert(catalogue[i].key);
        EXPECT_EQ(keys.size(), c.rows) << c.group << "," << c.variant;
    }
}

TEST(StringCatalogue, KeysLeadToTheNumbersTheMessagesUse) {
    const StringCatalogue *messages = FindStringCatalogue(1, 2);
    const StringCatalogue *altMessages = FindStringCatalogue(2, 2);
    const struct {
        const StringCatalogue *catalogue;
        uint32_t key, number;
    } rows[] = {
        {messages, 40012, 2088},    {messages, 40800, 2112},      {messages, 1040141, 2115},
        {messages, 40141, 2106},    {messages, 41100, 2076},      {messages, 1041200, 2081},
        {messages, 42004, 2110},    {messages, 0xFFFFFF02, 2001}, {altMessages, 10001, 2500},
        {altMessages, 1040100, 2540},
    };
    for (const auto &r : rows) {
        const StringCatalogue *row = FindCatalogueRow(r.catalogue, r.key);
        ASSERT_NE(row, nullptr) << r.key;
        EXPECT_EQ(row->number, r.number) << r.key;
    }
    // Item names: black is listed tenth although its code is 13.
    const StringCatalogue *items = FindStringCatalogue(3, 1);
    const StringCatalogue *black = FindCatalogueRow(items, 13);
    ASSERT_NE(black, nullptr);
    EXPECT_EQ(black - items + 1, 10);
    EXPECT_EQ(black->number, 3009u);
    // The duplex unit has a name (4002) but no row.
    const StringCatalogue *devices = FindStringCatalogue(4, 1);
    EXPECT_EQ(FindCatalogueRow(devices, 628), nullptr);
    EXPECT_EQ(FindCatalogueRow(devices, 629)->number, 4003u);
    EXPECT_EQ(FindCatalogueRow(nullptr, 629), nullptr);
}

// The message keys in the order that fixes their string numbers, typed
// separately from the message tables they are derived from.
const uint32_t kMessageKeyOrder[] = {
    10001, 0xFFFFFF02, 10002, 10033, 10023, 10047, 10035, 10003, 10036, 10037, 10004, 50101, 50102, 50115,
    50108, 50110, 50111, 50112, 50113, 50109, 50105, 50114, 30136, 30608, 30617, 30616, 30330, 13200, 13300,
    13400, 12201, 12301, 12401, 30428, 30427, 30440, 30429, 30426, 30405, 10075, 10074, 10073, 10072, 30991,
    30992, 30993, 30994, 10032, 30610, 30607, 30400, 30409, 30407, 30403, 30015, 30014, 30013, 30609, 40979,
    40991, 40992, 40993, 40994, 46100, 46200, 46300, 46400, 47100, 47200, 47300, 47400, 48100, 48200, 48300,
    48400, 45000, 41100, 41200, 41300, 41400, 1041100, 1041200, 1041300, 1041400, 40300, 40015, 40014, 40013,
    40012, 40028, 40020, 40041, 40042, 40011, 40903, 40208, 40206, 40159, 40135, 40134, 40133, 40132, 40155,
    40154, 40153, 40152, 40141, 40100, 42000, 42001, 42004, 42009, 40800, 1030400, 1030409, 1040141, 1040100,
    30619, 30620, 30621,
};
const uint32_t kAltMessageKeyOrder[] = {
    10001, 0xFFFFFF02, 50101, 50102, 50115, 50108, 50112, 50113, 50109, 50105, 50114, 30428, 30427, 30440,
    10075, 10074, 10073, 10072, 10032, 30610, 30607, 30400, 30409, 30015, 30014, 30013, 30609, 40015, 40014,
    40013, 40012, 40028, 40020, 40011, 40141, 40100, 40800, 1030400, 1030409, 1040141, 1040100,
};

TEST(StringCatalogue, MessageKeysKeepTheirPlaces) {
    const struct {
        uint32_t group, variant, first;
        const uint32_t *keys;
        size_t count;
    } catalogues[] = {
        {1, 1, 1000, kMessageKeyOrder, std::size(kMessageKeyOrder)},
        {1, 2, 2000, kMessageKeyOrder, std::size(kMessageKeyOrder)},
        {2, 1, 1500, kAltMessageKeyOrder, std::size(kAltMessageKeyOrder)},
        {2, 2, 2500, kAltMessageKeyOrder, std::size(kAltMessageKeyOrder)},
    };
    for (const auto &c : catalogues) {
        const StringCatalogue *catalogue = FindStringCatalogue(c.group, c.variant);
        ASSERT_NE(catalogue, nullptr);
        ASSERT_EQ(RowCount(catalogue), c.count) << c.group << "," << c.variant;
        for (size_t n = 0; n < c.count; ++n) {
            EXPECT_EQ(catalogue[n].key, c.keys[n]) << c.group << "," << c.variant << " row " << n + 1;
            EXPECT_EQ(catalogue[n].number, c.first + n) << c.group << "," << c.variant << " row " << n + 1;
        }
    }
}

// The result of LoadCatalogueString into a buffer pre-filled with 'Q'.
struct Loaded {
    DWORD error;
    std::string buffer;
};

Loaded LoadFrom(const StringCatalogue *catalogue, uint32_t key, DWORD capacity = 256) {
    Loaded out{0, std::string(capacity, 'Q')};
    out.error = LoadCatalogueString(catalogue, key, out.buffer.data(), capacity);
    return out;
}

std::string Text(const Loaded &loaded) { return loaded.buffer.substr(0, loaded.buffer.find('\0')); }

TEST(LoadCatalogueString, FailuresLeaveAnEmptyString) {
    LanguageGuard guard;
    ASSERT_EQ(PatSetLocale("EN"), TRUE);
    const StringCatalogue *devices = FindStringCatalogue(4, 1);
    const StringCatalogue *items = FindStringCatalogue(3, 1);
    const Loaded notInCatalogue = LoadFrom(devices, 628);
    EXPECT_EQ(notInCatalogue.error, PAT_ERROR_NOT_FOUND);
    EXPECT_EQ(notInCatalogue.buffer[0], '\0');
    const Loaded noCatalogue = LoadFrom(nullptr, 629);
    EXPECT_EQ(noCatalogue.error, PAT_ERROR_NOT_FOUND);
    EXPECT_EQ(noCatalogue.buffer[0], '\0');
    // The loader's failure: "Black" needs six bytes.
    const Loaded tooSmall = LoadFrom(items, 13, 5);
    EXPECT_EQ(tooSmall.error, PAT_ERROR_NOT_FOUND);
    EXPECT_EQ(tooSmall.buffer, std::string("\0QQQQ", 5));
    // Capacity 0: nothing may be written at all.
    char untouched = 'Q';
    EXPECT_EQ(LoadCatalogueString(devices, 629, &untouched, 0), PAT_ERROR_NOT_FOUND);
    EXPECT_EQ(untouched, 'Q');
}

// One string of the selected language; "<error N>" when it fails.
std::string LoadText(uint32_t number) {
    char text[512];
    std::fill(std::begin(text), std::end(text), 'Q');
    const DWORD error = LoadLocalizedString(number, text, sizeof text);
    if (error != 0) return "<error " + std::to_string(error) + ">";
    return std::string(text, strnlen(text, sizeof text));
}

TEST(LoadCatalogueString, KeysReachTheirTexts) {
    LanguageGuard guard;
    ASSERT_EQ(PatSetLocale("EN"), TRUE);
    const Loaded black = LoadFrom(FindStringCatalogue(3, 1), 13, 6);
    EXPECT_EQ(black.error, 0u);
    EXPECT_EQ(Text(black), "Black");
    EXPECT_EQ(Text(LoadFrom(FindStringCatalogue(4, 1), 910)), "Gigabit Ethernet Board");
    EXPECT_EQ(Text(LoadFrom(FindStringCatalogue(1, 2), 40012, 512)),
              "The following toner has run out. \nOpen the indicated cover, and then replace the Toner "
              "Cartridge. \n%s:%s");
    // The alternate set's first key names the empty strings 1500 and 2500.
    for (uint32_t variant : {1u, 2u}) {
        const Loaded ready = LoadFrom(FindStringCatalogue(2, variant), 10001);
        EXPECT_EQ(ready.error, 0u);
        EXPECT_EQ(Text(ready), "");
    }
    EXPECT_EQ(LoadText(3500), ", ");
    ASSERT_EQ(PatSetLocale("de"), TRUE);
    EXPECT_EQ(LoadText(3009), "Schwarz");
}
}  // namespace
