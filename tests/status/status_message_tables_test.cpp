// The message tables and the placeholder item table against listings kept
// here, typed separately: same rows, same order, same items; every message
// key has its texts in the message catalogues and every item its name.
#include "status/string_catalogue.h"
#include "status/status_text.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

using namespace patprn;

namespace {

// Rows as "key" or "key/item".
const char kPrimaryListing[] =
    "10001 4294967042 10002 10033 10023 10047 10035 10003 10036 10037 10004 50101 50102 50115 50108 50110 "
    "50111 50112 50113 50109 50105 50114 30136 30608 30617 30616 30330/5 13200/1 13300/2 13400/3 12201/1 "
    "12301/2 12401/3 30428 30427 30440 30429 30426 30405 10075/12 10074/11 10073/10 10072/13 30991/4 30992/1 "
    "30993/2 30994/3 10032 30610 30607 30407 30403 30015/12 30014/11 30013/10 30609 40979 40991/4 40992/1 "
    "40993/2 40994/3 461yy/4 462yy/1 463yy/2 464yy/3 471yy/4 472yy/1 473yy/2 474yy/3 481yy/4 482yy/1 483yy/2 "
    "484yy/3 450yy 411yy/4 412yy/1 413yy/2 414yy/3 41100/4 41200/1 41300/2 41400/3 40300/5 40015/8 40015/12 "
    "40014/8 40014/11 40013/8 40013/10 40012/8 40012/13 40028 40020 40041 40042 40011/9 40903 40208/8 40206/7 "
    "40206/9 40159/9 40135/8 40135/12 40134/8 40134/11 40133/8 40133/10 40132/8 40132/13 40155/9 40154/9 "
    "40153/9 40152/9 42000/6 42001/6 42004/7 42004/6 42009/7 40800 30619 30620 30621";

const char kAlternateListing[] =
    "10001 4294967042 50101 50102 50115 50108 50112 50113 50109 50105 50114 30428 30427 30440 10075/12 "
    "10074/11 10073/10 10072/13 10032 30610 30607 30015/12 30014/11 30013/10 30609 40015/8 40015/12 40014/8 "
    "40014/11 40013/8 40013/10 40012/8 40012/13 40028 40020 40011/9 40800";

struct ListedRow {
    std::string key;
    uint32_t item;
};

std::vector<ListedRow> Parse(const char *listing) {
    std::vector<ListedRow> rows;
    std::istringstream in(listing);
    std::string token;
    while (in >> token) {
        const size_t slash = token.find('/');
        rows.push_back({token.substr(0, slash),
                        slash == std::string::npos ? 0u : static_cast<uint32_t>(std::stoul(token.substr(slash + 1)))});
    }
    return rows;
}

// The message key a code key gives: the code, a pattern with its letters
// read as zeros, 1041100-1041400 for the plain tray-not-detected keys.
uint32_t ExpectedMessageKey(const std::string &key) {
    std::string digits = key;
    for (char &c : digits) {
        if (c >= 'a' && c <= 'z') c = '0';
    }
    const unsigned long value = std::stoul(digits);
    if (key == "41100" || key == "41200" || key == "41300" || key == "41400") return 1000000 + value;
    return static_cast<uint32_t>(value);
}

void ExpectTable(const StatusMessageRow *table, const char *listing, size_t rowCount, uint32_t group) {
    const std::vector<ListedRow> expected = Parse(listing);
    ASSERT_EQ(expected.size(), rowCount);
    const StringCatalogue *shortTexts = FindStringCatalogue(group, kCatalogueShort);
    const StringCatalogue *messages = FindStringCatalogue(group, kCatalogueDetailed);
    const StringCatalogue *items = FindStringCatalogue(kCatalogueItems, kCatalogueShort);
    size_t i = 0;
    for (const StatusMessageRow *row = table; row->key != nullptr; ++row, ++i) {
        ASSERT_LT(i, expected.size()) << "rows after the listing: " << row->key;
        SCOPED_TRACE(expected[i].key + " row " + std::to_string(i + 1));
        EXPECT_EQ(row->key, expected[i].key);
        EXPECT_EQ(row->item, expected[i].item);
        EXPECT_EQ(row->messageKey, ExpectedMessageKey(expected[i].key));
        EXPECT_NE(FindCatalogueRow(shortTexts, row->messageKey), nullptr) << "no short label";
        EXPECT_NE(FindCatalogueRow(messages, row->messageKey), nullptr) << "no detailed message";
        if (row->item != 0) {
            EXPECT_NE(FindCatalogueRow(items, row->item), nullptr) << "item without a name";
        }
    }
    EXPECT_EQ(i, rowCount);
}

}  // namespace

TEST(StatusMessageTables, PrimaryRowsMatchTheListing) {
    ExpectTable(StatusMessageTable, kPrimaryListing, 122, kCatalogueMessages);
}

TEST(StatusMessageTables, AlternateRowsMatchTheListing) {
    ExpectTable(AltStatusMessageTable, kAlternateListing, 37, kCatalogueAltMessages);
}

TEST(StatusMessageTables, PlaceholderItemTableWordByWord) {
    // The toner keys: the top cover fills the first place, the colour the second.
    const std::vector<uint32_t> expected = {
        40015, 8, 0, 12, 0, 0, 40014, 8, 0, 11, 0, 0, 40013, 8, 0, 10, 0, 0, 40012, 8, 0, 13, 0, 0,
        40135, 8, 0, 12, 0, 0, 40134, 8, 0, 11, 0, 0, 40133, 8, 0, 10, 0, 0, 40132, 8, 0, 13, 0, 0, 0,
    };
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(PlaceholderItemTable[i], expected[i]) << "word " << i;
}
