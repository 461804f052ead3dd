// What a host is told to ask the printer, through the real library.
#include "patprn/patprn.h"
#include "pjl/pjl_story.h"
#include "support/support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using pattest::HostRecord;
using pjltest::ChildText;
using pjltest::ChildTypes;

const std::string kOpening = "\x1B%-12345X@PJL\r\n";
const std::string kClosing = "\x1B%-12345X";
const std::string kConfig = "@PJL INFO CONFIG\r\n";
const std::string kFrontCover = "@PJL INQUIRE FRONTCOVERPRINTTRAY\r\n";
const std::string kOutBins = "@PJL INFO OUTBINSTATUS\r\n";
const std::string kTray1 =
    "@PJL INQUIRE INTRAY1SIZE\r\n@PJL INQUIRE INTRAY1QUANT\r\n@PJL INQUIRE INTRAY1MEDIA\r\n@PJL INQUIRE INTRAY1\r\n";
const std::string kTray2 =
    "@PJL INQUIRE INTRAY2SIZE\r\n@PJL INQUIRE INTRAY2QUANT\r\n@PJL INQUIRE INTRAY2MEDIA\r\n@PJL INQUIRE INTRAY2\r\n";
const std::string kTray3 =
    "@PJL INQUIRE INTRAY3SIZE\r\n@PJL INQUIRE INTRAY3QUANT\r\n@PJL INQUIRE INTRAY3MEDIA\r\n@PJL INQUIRE INTRAY3\r\n";
const std::string kTrayMulti = "@PJL INQUIRE INTRAYMSIZE\r\n@PJL INQUIRE INTRAYMMEDIA\r\n@PJL INQUIRE INTRAYMULTI\r\n";

// A query as the host receives it; released node by node at the end.
struct Query {
    QueryNode *root;
    DWORD error;
    Query(PrnInfoEx *info, DWORD revision, DWORD flags) {
        pattest::PoisonLastError();
        root = PatCreateQueryInfo(info, revision, flags);
        error = GetLastError();
    }
    ~Query() { pattest::FreeTree(root); }
    std::string Text() const { return ChildText(root, QNODE_PJL_TEXT); }
};

void AddTray(HostRecord &record, uint16_t tray) {
    auto *item = static_cast<TrayInfoItem *>(GlobalAlloc(GPTR, sizeof(TrayInfoItem)));
    item->cbItem = sizeof(TrayInfoItem);
    item->wTray = tray;
    InfoItem **slot = reinterpret_cast<InfoItem **>(&record->pTrayInfo);
    while (*slot != nullptr) slot = &(*slot)->next;
    *slot = reinterpret_cast<InfoItem *>(item);
    record->nTrayInfo += 1;
}

TEST(PatCreateQueryInfo, NoRequestGivesAnEmptyRoot) {
    HostRecord record;
    Query q(record.get(), PAT_REVISION_PJL, 0);
    ASSERT_NE(q.root, nullptr);
    EXPECT_EQ(q.error, 0u);
    EXPECT_EQ(q.root->nType, QNODE_QUERY_ROOT);
    EXPECT_EQ(q.root->dwLength, 0u);
    EXPECT_EQ(q.root->pFirstChild, nullptr);
    EXPECT_EQ(q.root->pParent, nullptr);
}

TEST(PatCreateQueryInfo, DeviceIdRequestAlone) {
    HostRecord record;
    for (DWORD flags : {PAT_QUERY_DEVICE_ID, PAT_QUERY_DEVICE_ID_ALT1, PAT_QUERY_DEVICE_ID_ALT2}) {
        Query q(record.get(), PAT_REVISION_PJL, flags);
        ASSERT_NE(q.root, nullptr);
        EXPECT_EQ(ChildTypes(q.root), std::vector<int32_t>{QNODE_DEVICE_ID}) << flags;
        EXPECT_EQ(q.root->pFirstChild->dwLength, 0u);
        EXPECT_EQ(q.root->pFirstChild->pParent, q.root);
    }
}

TEST(PatCreateQueryInfo, EachRequestAddsItsTextInFixedOrder) {
    HostRecord record;
    EXPECT_EQ(Query(record.get(), 2, PAT_QUERY_OUTBINS).Text(), kOpening + kOutBins + kClosing);
    for (DWORD flags : {PAT_QUERY_CONFIG, PAT_QUERY_CONFIG_ALT1, PAT_QUERY_CONFIG_ALT2}) {
        EXPECT_EQ(Query(record.get(), 2, flags).Text(), kOpening + kConfig + kClosing) << flags;
    }
    // With no trays known, the trays every printer has: tray 1, then the
    // multi-purpose tray.
    EXPECT_EQ(Query(record.get(), 2, 0x18).Text(), kOpening + kFrontCover + kTray1 + kTrayMulti + kOutBins + kClosing);

    Query all(record.get(), 2, 0x8051E);
    EXPECT_EQ(ChildTypes(all.root), (std::vector<int32_t>{QNODE_DEVICE_ID, QNODE_PJL_TEXT}));
    const std::string text = all.Text();
    EXPECT_EQ(text, kOpening + kConfig + kFrontCover + kTray1 + kTrayMulti + kOutBins + kClosing);
    EXPECT_EQ(all.root->pLastChild->dwLength, text.size() + 1) << "the length counts the terminating zero";
}

TEST(PatCreateQueryInfo, TraysAskedInTheRecordsOrder) {
    HostRecord record;
    AddTray(record, 4);
    AddTray(record, 1);
    EXPECT_EQ(Query(record.get(), 2, PAT_QUERY_TRAYS).Text(), kOpening + kFrontCover + kTray2 + kTrayMulti + kClosing);

    HostRecord unknown;
    AddTray(unknown, 2);  // no inquiry exists for this code
    EXPECT_EQ(Query(unknown.get(), 2, PAT_QUERY_TRAYS).Text(), kOpening + kFrontCover + kClosing);
}

TEST(PatCreateQueryInfo, EveryTrayOnceHowEverOftenTheListRepeatsIt) {
    // 1000 items naming the four trays over and over: the text asks each
    // tray once and stays within its buffer.
    HostRecord record;
    const uint16_t codes[] = {5, 3, 1, 4};
    for (int i = 0; i < 1000; ++i) AddTray(record, codes[i % 4]);
    Query q(record.get(), 2, 0x1C);
    ASSERT_NE(q.root, nullptr);
    const std::string text = q.Text();
    EXPECT_EQ(text, kOpening + kConfig + kFrontCover + kTray3 + kTray1 + kTrayMulti + kTray2 + kOutBins + kClosing);
    EXPECT_EQ(text.size(), 485u) << "the longest query text";
}

TEST(PatCreateQueryInfo, RejectsBadArgumentsFirst) {
    HostRecord record;
    EXPECT_NE(Query(record.get(), 0x102, PAT_QUERY_CONFIG).root, nullptr) << "only the low byte counts";

    Query wrongRevision(record.get(), 3, PAT_QUERY_CONFIG);
    EXPECT_EQ(wrongRevision.root, nullptr);
    EXPECT_EQ(wrongRevision.error, 87u);

    Query noRecord(nullptr, 2, PAT_QUERY_CONFIG);
    EXPECT_EQ(noRecord.root, nullptr);
    EXPECT_EQ(noRecord.error, 87u);

    HostRecord small(PRNINFOEX_MIN_SIZE - 1);
    Query tooSmall(small.get(), 2, PAT_QUERY_CONFIG);
    EXPECT_EQ(tooSmall.root, nullptr);
    EXPECT_EQ(tooSmall.error, 87u);

    HostRecord exact(PRNINFOEX_MIN_SIZE);
    EXPECT_NE(Query(exact.get(), 2, PAT_QUERY_CONFIG).root, nullptr);
}

TEST(PatCreateEmulUniqQueryInfo, TolvQueryText) {
    HostRecord record;
    for (DWORD kind : {15u, 0x0001000Fu, 0xFFFF000Fu}) {
        pattest::PoisonLastError();
        QueryNode *root = PatCreateEmulUniqQueryInfo(record.get(), 2, kind, 0xDEADBEEF);
        ASSERT_NE(root, nullptr) << kind;
        EXPECT_EQ(GetLastError(), 0u);
        EXPECT_EQ(ChildTypes(root), std::vector<int32_t>{QNODE_PJL_TEXT});
        EXPECT_EQ(root->pFirstChild->dwLength, 41u);
        EXPECT_EQ(ChildText(root, QNODE_PJL_TEXT), kOpening + "@PJL INFO TOLV\r\n" + kClosing);
        pattest::FreeTree(root);
    }
}

TEST(PatCreateEmulUniqQueryInfo, RejectsOtherKindsAndBadArguments) {
    HostRecord record;
    struct Case {
        PrnInfoEx *info;
        DWORD revision;
        DWORD kind;
    } cases[] = {{record.get(), 2, 14}, {record.get(), 2, 0x10}, {nullptr, 2, 15}, {record.get(), 1, 15}};
    for (const Case &c : cases) {
        pattest::PoisonLastError();
        EXPECT_EQ(PatCreateEmulUniqQueryInfo(c.info, c.revision, c.kind, 0), nullptr);
        EXPECT_EQ(GetLastError(), 87u);
    }
}

}  // namespace
