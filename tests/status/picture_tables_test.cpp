// The picture tables against a listing kept here, typed separately and
// grouped by what the records draw: same sets, same keys in the same
// order, same entries; and every bitmap they name (with the mask of each
// transparent one) stored as a bitmap resource.
#include "frame/result.h"
#include "platform/win32.h"
#include "status/status_picture.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

using namespace patprn;

namespace {

struct Drawn {
    std::string name;
    int32_t x, y;
    int level;
    bool operator==(const Drawn &) const = default;
};

std::ostream &operator<<(std::ostream &out, const Drawn &d) {
    return out << d.name << " (" << d.x << ", " << d.y << ") " << d.level;
}

struct Group {
    uint16_t set;
    std::vector<Drawn> entries;
    std::vector<std::string> keys;
};

const Drawn kBase{"BM_BASE", 0, 0, 1};

const std::vector<Group> kGroups = {
    {0xFFFE, {kBase}, {"STATUS_DEFAULT_BMP"}},
    {0xFFFE, {kBase, {"BM_POWEROFF", 0, 0, 250}}, {"4294967042"}},
    {0xFFFE, {kBase, {"BM_CAUTION", 0, 0, 250}}, {"40979", "450yy", "40028", "40020", "40041", "40042", "40903"}},
    {0xFFFE, {kBase, {"BM_POINT_2", 113, 69, 108}}, {"40991", "461yy", "471yy", "481yy", "411yy", "41100"}},
    {0xFFFE, {kBase, {"BM_POINT_8", 114, 112, 112}}, {"40992", "462yy", "472yy", "482yy", "412yy", "41200"}},
    {0xFFFE, {kBase, {"BM_POINT_4", 124, 25, 102}}, {"40300"}},
    {0xFFFE,
     {kBase, {"BM_POINT_6", 109, 28, 100}},
     {"40015", "40014", "40013", "40012", "40208", "40135", "40134", "40133", "40132"}},
    {0xFFFE, {kBase, {"BM_POINT_5", 75, 72, 110}}, {"40011", "40159", "40155", "40154", "40153", "40152"}},
    {0xFFFE, {kBase, {"BM_POINT_3", 106, 63, 106}, {"BM_POINT_5", 75, 72, 110}}, {"40206"}},
    {0xFFFE,
     {kBase, {"BM_SERVICE", 0, 0, 230}, {"BM_POINT_5", 75, 72, 234}, {"BM_SERVICE", 0, 0, 240},
      {"BM_POINT_5", 75, 72, 244}},
     {"40141"}},
    {0xFFFE, {kBase, {"BM_SERVICE", 0, 0, 220}, {"BM_POINT_3", 106, 63, 226}, {"BM_POINT_7", 200, 53, 224}}, {"40100"}},
    {0xFFFE, {kBase, {"BM_POINT_3", 106, 63, 106}, {"BM_POINT_7", 200, 53, 104}}, {"42000", "42001", "42004"}},
    {0xFFFE, {kBase, {"BM_POINT_3", 106, 63, 106}}, {"42009"}},
    {0xFFFE, {kBase, {"BM_SERVICE", 0, 0, 250}}, {"40800"}},
    {0xFFFE,
     {kBase, {"BM_CAUTION", 0, 0, 248}},
     {"50101", "50102", "50115", "50108", "50112", "50113", "50109", "50105", "50114", "30428", "30427",
      "30440", "10075", "10074", "10073", "10072", "10032", "30607", "30015", "30014", "30013"}},
    {0xFFFE, {kBase, {"BM_SERVICE", 0, 0, 248}}, {"30610", "30609"}},
    {0xFFFE, {kBase, {"BM_SERVICE", 0, 0, 240}, {"BM_CAUTION", 0, 0, 244}}, {"30400", "30409"}},
    {105, {{"BM_TRAY2", 0, 0, 20}}, {"STATUS_DEFAULT_BMP"}},
    {105,
     {{"BM_TRAY2", 0, 0, 20}, {"BM_POINT_1", 114, 138, 114}},
     {"40993", "463yy", "473yy", "483yy", "413yy", "41300"}},
    {106, {{"BM_TRAY3", 0, 0, 30}}, {"STATUS_DEFAULT_BMP"}},
    {106,
     {{"BM_TRAY3", 0, 0, 30}, {"BM_POINT_1", 114, 160, 116}},
     {"40994", "464yy", "474yy", "484yy", "414yy", "41400"}},
};

// The order of each set's records. The feed-unit sets list their fallback
// first, then their keys in the order of the groups above.
const std::vector<std::string> kBodyOrder = {
    "STATUS_DEFAULT_BMP", "4294967042", "40979", "40991", "40992", "461yy", "462yy", "471yy", "472yy", "481yy",
    "482yy", "450yy", "411yy", "412yy", "41100", "41200", "40300", "40015", "40014", "40013", "40012", "40028",
    "40020", "40041", "40042", "40011", "40903", "40208", "40206", "40159", "40135", "40134", "40133", "40132",
    "40155", "40154", "40153", "40152", "40141", "40100", "42000", "42001", "42004", "42009", "40800", "50101",
    "50102", "50115", "50108", "50112", "50113", "50109", "50105", "50114", "30428", "30427", "30440", "10075",
    "10074", "10073", "10072", "10032", "30610", "30607", "30400", "30409", "30015", "30014", "30013", "30609",
};

std::vector<std::string> KeysOf(const PictureRecord *records) {
    std::vector<std::string> keys;
    for (const PictureRecord *r = records; r->key != nullptr; ++r) keys.push_back(r->key);
    return keys;
}

// The entries of a record up to its first empty slot; the slots after it
// must all be empty too, and every raster operation 0.
std::vector<Drawn> EntriesOf(const PictureRecord &record) {
    std::vector<Drawn> entries;
    size_t slot = 0;
    for (; slot < kPictureSlots && record.slots[slot].szName[0] != '\0'; ++slot) {
        const BitmapEntry &e = record.slots[slot];
        EXPECT_EQ(e.dwRop, 0u) << record.key;
        entries.push_back({e.szName, e.nX, e.nY, e.bLevel});
    }
    EXPECT_LT(slot, kPictureSlots) << record.key << ": the last slot stays empty";
    for (; slot < kPictureSlots; ++slot) EXPECT_EQ(record.slots[slot].szName[0], '\0') << record.key;
    return entries;
}

}  // namespace

TEST(PictureTables, SetsInOrderWithTheirRecordCounts) {
    const std::vector<std::pair<uint16_t, size_t>> expected = {{0xFFFE, 70}, {105, 7}, {106, 7}};
    size_t row = 0;
    for (const auto &[key, count] : expected) {
        ASSERT_NE(PictureSetTable[row].key, kPictureSetEnd) << "table ends before set " << key;
        EXPECT_EQ(PictureSetTable[row].key, key);
        EXPECT_EQ(KeysOf(PictureSetTable[row].records).size(), count) << key;
        EXPECT_EQ(FindPictureSet(key), PictureSetTable[row].records);
        ++row;
    }
    EXPECT_EQ(PictureSetTable[row].key, 0xFFFF) << "extra sets after the listing";
    // Device codes without a picture, and the end key itself, find nothing.
    for (uint16_t key : {uint16_t{1}, uint16_t{3}, uint16_t{16}, uint16_t{107}, uint16_t{0}, uint16_t{0xFFFF}}) {
        EXPECT_EQ(FindPictureSet(key), nullptr) << key;
    }
}

TEST(PictureTables, KeysInTheListedOrder) {
    EXPECT_EQ(KeysOf(FindPictureSet(0xFFFE)), kBodyOrder);
    for (uint16_t set : {uint16_t{105}, uint16_t{106}}) {
        std::vector<std::string> expected;
        for (const Group &g : kGroups) {
            if (g.set == set) expected.insert(expected.end(), g.keys.begin(), g.keys.end());
        }
        EXPECT_EQ(KeysOf(FindPictureSet(set)), expected) << set;
    }
}

TEST(PictureTables, EveryRecordDrawsItsGroupsEntries) {
    std::map<std::pair<uint16_t, std::string>, std::vector<Drawn>> expected;
    for (const Group &g : kGroups) {
        for (const std::string &key : g.keys) EXPECT_TRUE(expected.insert({{g.set, key}, g.entries}).second) << key;
    }
    size_t checked = 0;
    for (const PictureSet *set = PictureSetTable; set->key != kPictureSetEnd; ++set) {
        for (const PictureRecord *r = set->records; r->key != nullptr; ++r) {
            const auto it = expected.find({set->key, r->key});
            ASSERT_NE(it, expected.end()) << set->key << " " << r->key;
            EXPECT_EQ(EntriesOf(*r), it->second) << set->key << " " << r->key;
            ++checked;
        }
    }
    EXPECT_EQ(checked, expected.size());
    EXPECT_EQ(checked, 84u);
}

TEST(PictureTables, EveryNamedBitmapAndMaskIsStored) {
    std::set<std::string> names;
    for (const PictureSet *set = PictureSetTable; set->key != kPictureSetEnd; ++set) {
        for (const PictureRecord *r = set->records; r->key != nullptr; ++r) {
            for (const BitmapEntry &e : r->slots) {
                if (e.szName[0] == '\0') break;
                names.insert(e.szName);
                // Even levels are drawn through their mask.
                if (e.bLevel % 2 == 0) names.insert(std::string(e.szName) + "_B");
            }
        }
    }
    EXPECT_EQ(names.size(), 27u) << "every stored bitmap is used, BM_BASE without a mask";
    for (const std::string &name : names) {
        EXPECT_NE(FindResourceA(ModuleInstance(), name.c_str(), RT_BITMAP), nullptr) << name;
    }
}
