// Whole polls through the real library: the host asks what to send, sends
// it, and hands the printer's replies and device ID back.
#include "patprn/patprn.h"
#include "pjl/pjl_story.h"
#include "support/support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using pattest::HostRecord;
using pjltest::AnswerTree;
using pjltest::Describe;
using pjltest::ReadFixture;

// One poll: the query for the record as it is (device ID, configuration,
// trays, output bins), then the answer tree with the query attached.
DWORD Poll(HostRecord &record, const std::string &replies, const std::string &deviceId, std::string *query = nullptr) {
    QueryNode *asked = PatCreateQueryInfo(record.get(), PAT_REVISION_PJL, 0x8051E);
    if (query != nullptr) *query = pjltest::ChildText(asked, QNODE_PJL_TEXT);
    AnswerTree answer(asked, replies.c_str(), deviceId.c_str());
    pattest::PoisonLastError();
    const BOOL ok = PatSetCentroDataTo(answer.root, 0, record.get(), PAT_REVISION_PJL);
    EXPECT_EQ(ok == TRUE, GetLastError() == 0u);
    return GetLastError();
}

TEST(PjlPoll, TwoPollsOfOnePrinter) {
    HostRecord record;
    std::string query;
    // First poll: nothing known, so tray 1 and the multi-purpose tray are
    // asked; the configuration reports three trays.
    ASSERT_EQ(Poll(record, ReadFixture("poll1_replies.pjl"), ReadFixture("poll1_device_id.txt"), &query), 0u);
    EXPECT_EQ(query.find("INTRAY2"), std::string::npos);
    EXPECT_EQ(Describe(record.get()),
              "trays 3:9/60/2/1 4:0/0/0/4 1:2/0/3/0; devices 105 16 1; bins/255 1:0; emuls 1=2.05 2=3.10 18=1.07; "
              "mem 262144; sys=1.20; main=2.05; vps=3.10; maker=Printer Maker; model=Colour Laser 500(255); "
              "desc=Colour laser printer with duplex unit; status 10001'READY'; state 1/0/0; counter 1:18324");
    const TrayInfoItem *tray = record->pTrayInfo;

    // Second poll: the three trays the record holds are asked and updated
    // in place; options, bin and emulations rebuilt; a version not reported
    // keeps its old string.
    ASSERT_EQ(Poll(record, ReadFixture("poll2_replies.pjl"), ReadFixture("poll2_device_id.txt"), &query), 0u);
    EXPECT_NE(query.find("INTRAY2QUANT"), std::string::npos);
    EXPECT_EQ(Describe(record.get()),
              "trays 3:9/0/1/4 4:21/100/6/5 1:53/0/36/0; devices 105 16 1 3; bins/255 1:2; emuls 1=2.06 18=1.07; "
              "mem 524288; sys=1.21; main=2.06; vps=3.10; maker=Printer Maker; model=Colour Laser 500(255); "
              "desc=Colour laser printer with duplex unit; status 10001'ADD PAPER TO TRAY 1' 41213'ADD PAPER TO TRAY 1'; "
              "state 3/1/1; counter 1:18411");
    EXPECT_EQ(record->pTrayInfo, tray);

    // A tray 3 unit fitted: four trays reported, the tray list rebuilt.
    std::string replies = ReadFixture("poll2_replies.pjl");
    const std::string trays = "IN TRAYS [3 ENUMERATED]\r\n\tINTRAY1\r\n";
    replies.replace(replies.find(trays), trays.size(), "IN TRAYS [4 ENUMERATED]\r\n\tINTRAY1\r\n\tINTRAY3\r\n");
    ASSERT_EQ(Poll(record, replies, ReadFixture("poll2_device_id.txt")), 0u);
    EXPECT_EQ(Describe(record.get()).substr(0, 70),
              "trays 3:9/0/1/4 5:0/0/0/0 4:21/100/6/1 1:53/0/36/0; devices 106 105 16");
}

TEST(PjlPoll, MissingRepliesWriteNothing) {
    HostRecord record;
    const std::string replies = ReadFixture("poll1_replies.pjl"), id = ReadFixture("poll1_device_id.txt");
    EXPECT_EQ(Poll(record, replies.substr(0, replies.rfind("@PJL")), id), PAT_ERROR_REPLY_MISSING);
    EXPECT_EQ(Poll(record, replies.substr(0, replies.size() - 1), id), PAT_ERROR_REPLY_MISSING) << "no last form feed";
    AnswerTree noId(PatCreateQueryInfo(record.get(), 2, 0x8051E), replies.c_str(), nullptr);
    EXPECT_EQ(PatSetCentroDataTo(noId.root, 0, record.get(), 2), FALSE);
    EXPECT_EQ(GetLastError(), PAT_ERROR_REPLY_MISSING) << "the device ID was asked for";
    EXPECT_EQ(Describe(record.get()), "");
}

TEST(PjlPoll, EmulationSpecificQuery) {
    HostRecord record;
    for (int round = 0; round < 2; ++round) {
        AnswerTree answer(PatCreateEmulUniqQueryInfo(record.get(), 2, PAT_EMUL_QUERY_TOLV, 0),
                          ReadFixture("tolv_reply.pjl").c_str(), nullptr, QNODE_EMUL_ANSWER_ROOT);
        pattest::PoisonLastError();
        EXPECT_EQ(PatSetCentroDataTo(answer.root, 0, record.get(), 2), TRUE);
        EXPECT_EQ(GetLastError(), 0u);
        EXPECT_EQ(Describe(record.get()), "tolv 15:1/Default settings/2") << "one item, updated in place";
    }
}

TEST(PatSetCentroDataTo, Rejections) {
    HostRecord record, small(PAT_PRNINFOEX_MIN_SIZE - 1);
    AnswerTree plain(nullptr, nullptr, nullptr), status(nullptr, nullptr, nullptr, QNODE_STATUS_ROOT);
    const uint32_t kinds[] = {14, 15};
    QueryNode *wrongKind = pattest::MakeNode(QNODE_EMUL_ANSWER_ROOT, &kinds[0], 4);
    QueryNode *longKind = pattest::MakeNode(QNODE_EMUL_ANSWER_ROOT, kinds, 8);
    AnswerTree emptyText(nullptr, "@PJL INFO CONFIG\r\nDUPLEX\r\n\f", nullptr);
    pattest::AppendChild(emptyText.root, pattest::MakeNode(QNODE_DEVICE_ID, nullptr, 0));
    pattest::AppendChild(emptyText.root, pattest::MakeTextNode(QNODE_DEVICE_ID, "MFG:M;"));
    struct Case {
        QueryNode *tree;
        PrnInfoEx *info;
        DWORD revision;
    } cases[] = {{nullptr, record.get(), 2},   {plain.root, nullptr, 2},    {plain.root, record.get(), 3},
                 {plain.root, small.get(), 2}, {status.root, record.get(), 2}, {wrongKind, record.get(), 2},
                 {longKind, record.get(), 2},  {emptyText.root, record.get(), 2}};
    for (const Case &c : cases) {
        pattest::PoisonLastError();
        EXPECT_EQ(PatSetCentroDataTo(c.tree, 0, c.info, c.revision), FALSE);
        EXPECT_EQ(GetLastError(), 87u);
    }
    EXPECT_EQ(Describe(record.get()), "devices 1") << "what came before the empty device ID stays";
    pattest::PoisonLastError();
    EXPECT_EQ(PatSetCentroDataTo(plain.root, 0x1234, record.get(), 0x302), TRUE) << "no children: nothing to do";
    EXPECT_EQ(GetLastError(), 0u);
    pattest::FreeTree(wrongKind);
    pattest::FreeTree(longKind);
}

}  // namespace
