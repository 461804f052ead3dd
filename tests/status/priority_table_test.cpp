// The priority table against a listing of its rows kept here, typed
// separately and grouped by priority: same keys, same priorities, same
// order; and the properties that make the row order irrelevant.
#include "status/status_resolution.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

using namespace patprn;

namespace {

struct PriorityGroup {
    uint16_t priority;
    std::vector<std::string> keys;
};

const std::vector<PriorityGroup> kExpectedRows = {
    {1, {"4294967042"}}, {4800, {"40800"}}, {4850, {"42001", "42009"}}, {4900, {"40100"}}, {4950, {"40141"}},
    {5000, {"40155", "40154", "40153", "40152"}}, {5050, {"40135", "40134", "40133", "40132"}}, {5100, {"40159"}},
    {5150, {"40208", "40206"}}, {5200, {"40903"}}, {5250, {"40011"}}, {5300, {"40042"}}, {5350, {"40041"}},
    {5400, {"40028"}}, {5450, {"40020"}}, {5500, {"40015", "40014", "40013", "40012"}}, {5550, {"40300"}},
    {5600, {"41100", "41200", "41300", "41400"}}, {5650, {"411yy", "412yy", "413yy", "414yy"}}, {5700, {"450yy"}},
    {5750, {"481yy", "482yy", "483yy", "484yy"}}, {5800, {"471yy", "472yy", "473yy", "474yy"}},
    {5850, {"461yy", "462yy", "463yy", "464yy"}}, {5900, {"40991", "40992", "40993", "40994"}}, {5950, {"40979"}},
    {6600, {"10002"}}, {6650, {"30015", "30014", "30013"}}, {6700, {"30403"}}, {6750, {"30407"}}, {6800, {"30409"}},
    {6850, {"30400"}}, {6900, {"30609"}}, {6950, {"10023"}}, {7700, {"30607"}}, {7750, {"30610"}},
    {7800, {"10032"}}, {7850, {"30991", "30992", "30993", "30994"}}, {7870, {"30621"}}, {7880, {"30620"}},
    {7890, {"30619"}}, {7900, {"10075", "10074", "10073", "10072"}}, {7950, {"30405"}}, {8000, {"30426"}},
    {8050, {"30429"}}, {8100, {"30440"}}, {8200, {"30428"}}, {8250, {"12201", "12301", "12401"}},
    {8300, {"13200", "13300", "13400"}}, {8350, {"30330"}}, {8400, {"30616"}}, {8450, {"30617"}}, {8500, {"30608"}},
    {8550, {"30136"}}, {8600, {"50114"}}, {8650, {"50105"}}, {8700, {"50109"}}, {8750, {"50113"}},
    {8800, {"50112"}}, {8850, {"50111"}}, {8900, {"50110"}}, {8950, {"50108"}}, {9000, {"50115"}},
    {9050, {"50102"}}, {9100, {"50101"}}, {9150, {"10004"}}, {9200, {"10037"}}, {9250, {"10036"}},
    {9350, {"10003"}}, {9400, {"10035"}}, {9450, {"10047"}}, {9500, {"10033"}}, {10000, {"10001"}},
};

bool HasWildcard(const std::string &key) {
    for (char c : key) {
        if (c >= 'a' && c <= 'z') return true;
    }
    return false;
}

// Whether some code text matches both pattern keys: same length, and at
// every position the characters agree or one of them is a wildcard.
bool PatternsOverlap(const std::string &a, const std::string &b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const bool wild = (a[i] >= 'a' && a[i] <= 'z') || (b[i] >= 'a' && b[i] <= 'z');
        if (a[i] != b[i] && !wild) return false;
    }
    return true;
}

}  // namespace

TEST(PriorityTable, RowsMatchTheListingInOrder) {
    size_t row = 0;
    for (const PriorityGroup &group : kExpectedRows) {
        for (const std::string &key : group.keys) {
            ASSERT_NE(StatusPriorityTable[row].key, nullptr) << "table ends before " << key;
            EXPECT_EQ(StatusPriorityTable[row].key, key) << "row " << row;
            EXPECT_EQ(StatusPriorityTable[row].priority, group.priority) << key;
            ++row;
        }
    }
    EXPECT_EQ(row, 113u);
    EXPECT_EQ(StatusPriorityTable[row].key, nullptr) << "extra rows after the listing";
}

TEST(PriorityTable, KeysAreUniqueAndNoCodeMatchesTwoPatterns) {
    std::set<std::string> keys;
    std::vector<std::string> patterns;
    for (const StatusPriorityRow *row = StatusPriorityTable; row->key != nullptr; ++row) {
        EXPECT_TRUE(keys.insert(row->key).second) << "duplicate key " << row->key;
        EXPECT_NE(row->priority, PRIORITY_NONE) << row->key;
        if (HasWildcard(row->key)) patterns.push_back(row->key);
    }
    EXPECT_EQ(keys.size(), 113u);
    EXPECT_EQ(patterns.size(), 17u);
    for (size_t i = 0; i < patterns.size(); ++i) {
        for (size_t j = i + 1; j < patterns.size(); ++j) {
            EXPECT_FALSE(PatternsOverlap(patterns[i], patterns[j])) << patterns[i] << " / " << patterns[j];
        }
    }
}
