// The status picture as a host sees it through the real library: it
// builds a status tree over its printer records, asks for the picture,
// reads the draw steps byte by byte, loads every bitmap they name and
// hands the picture back.
#include "patprn/patprn.h"
#include "support/support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using pattest::AddDeviceCode;
using pattest::AddEmulationCode;
using pattest::AddStatusCode;
using pattest::HostRecord;
using pattest::MakeStatusTree;

uint32_t Read32(const uint8_t *p) {
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <typename T>
T *ReadPointer(const uint8_t *p) {
    T *v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

struct Step {
    std::string name;
    int32_t x, y;
    uint32_t rop;
    uint8_t level;
};

// The significant bytes of a 48-byte draw step: the name through its
// terminator, then x, y, raster operation and level.
void ExpectStepBytes(const uint8_t *entry, const Step &step, size_t index) {
    EXPECT_EQ(std::memcmp(entry, step.name.c_str(), step.name.size() + 1), 0) << "name of step " << index;
    EXPECT_EQ(Read32(entry + 32), static_cast<uint32_t>(step.x)) << step.name;
    EXPECT_EQ(Read32(entry + 36), static_cast<uint32_t>(step.y)) << step.name;
    EXPECT_EQ(Read32(entry + 40), step.rop) << step.name;
    EXPECT_EQ(entry[44], step.level) << step.name;
}

// The picture's one layer as raw bytes: count and entry array.
struct RawLayer {
    uint32_t count = 0;
    const uint8_t *entries = nullptr;
};

RawLayer ReadPicture(const BitmapInfo *info) {
    const auto *bytes = reinterpret_cast<const uint8_t *>(info);
    EXPECT_EQ(bytes[0], 0xC9) << "picture tag 201";
    EXPECT_EQ(Read32(bytes + 4), 1u) << "one layer";
    EXPECT_EQ(Read32(bytes + 8), 24u);
    const uint8_t *layer = ReadPointer<const uint8_t>(bytes + 16);
    if (layer == nullptr) return {};
    EXPECT_EQ(layer[0], 0xC8) << "layer tag 200";
    EXPECT_EQ(Read32(layer + 8), 48u);
    return {Read32(layer + 4), ReadPointer<const uint8_t>(layer + 16)};
}

}  // namespace

TEST(StatusPicture, TrayToLoadWithTheTray2UnitInstalled) {
    HostRecord main;
    HostRecord supplement;
    AddStatusCode(main.get(), 10001);
    AddStatusCode(main.get(), 40991, "LOAD TRAY 1");
    AddEmulationCode(main.get(), 2);
    AddDeviceCode(supplement.get(), 105);
    QueryNode *tree = MakeStatusTree(main.get(), supplement.get());

    pattest::PoisonLastError();
    BitmapInfo *info = PatCreateBitmapInfo(PAT_STATUS_SOURCE_PJL, tree, PAT_REVISION_STATUS);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(GetLastError(), 0u);

    const std::vector<Step> expected = {
        {"BM_BASE", 0, 0, 0x00CC0020u, 1},        {"BM_TRAY2_B", 0, 0, 0x008800C6u, 20},
        {"BM_TRAY2", 0, 0, 0x00EE0086u, 20},      {"BM_POINT_2_B", 113, 69, 0x008800C6u, 108},
        {"BM_POINT_2", 113, 69, 0x00EE0086u, 108},
    };
    const RawLayer layer = ReadPicture(info);
    ASSERT_EQ(layer.count, expected.size());
    ASSERT_NE(layer.entries, nullptr);
    for (size_t i = 0; i < expected.size(); ++i) {
        ExpectStepBytes(layer.entries + 48 * i, expected[i], i);
        // Every step names a bitmap the library stores.
        const char *name = reinterpret_cast<const char *>(layer.entries + 48 * i);
        EXPECT_NE(PatLoadDIBitmap(name), nullptr) << name;
    }

    pattest::PoisonLastError();
    EXPECT_EQ(PatDisposeBitmapInfo(info), TRUE);
    EXPECT_EQ(GetLastError(), 0u);
    pattest::FreeTree(tree);
}

TEST(StatusPicture, RefusedCallsSetInvalidParameter) {
    HostRecord main;
    HostRecord supplement;
    HostRecord small(PAT_PRNINFOEX_MIN_SIZE - 1);
    QueryNode *tree = MakeStatusTree(main.get(), supplement.get());
    QueryNode *noSupplement = MakeStatusTree(main.get(), nullptr);
    QueryNode *smallSupplement = MakeStatusTree(main.get(), small.get());
    const struct {
        DWORD status;
        const QueryNode *tree;
        DWORD revision;
    } calls[] = {{1, nullptr, 3},        {1, tree, 2},           {1, tree, 0x104},
                 {0x8001, tree, 3},      {0, tree, 3},           {1, noSupplement, 3},
                 {1, smallSupplement, 3}};
    for (const auto &c : calls) {
        pattest::PoisonLastError();
        EXPECT_EQ(PatCreateBitmapInfo(c.status, c.tree, c.revision), nullptr);
        EXPECT_EQ(GetLastError(), 87u) << c.status << " " << c.revision;
    }
    for (QueryNode *t : {tree, noSupplement, smallSupplement}) pattest::FreeTree(t);

    uint8_t notAPicture[24] = {7};
    for (void *record : {static_cast<void *>(nullptr), static_cast<void *>(notAPicture)}) {
        pattest::PoisonLastError();
        EXPECT_EQ(PatDisposeBitmapInfo(record), FALSE);
        EXPECT_EQ(GetLastError(), 87u);
    }
}
