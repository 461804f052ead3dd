// Reply keys, the check that every reply came back, and the walk over the
// replies.
#include "pjl/reply_handlers.h"
#include "pjl/reply_interpretation.h"
#include "pjl/pjl_story.h"
#include "support/support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace patprn;
using pattest::HostRecord;
using pjltest::AnswerTree;
using pjltest::Items;

ReplyKey Key(std::vector<const char *> words) {
    ReplyKey key{};
    for (size_t i = 0; i < words.size(); ++i) std::strcpy(key.words[i], words[i]);
    return key;
}

TEST(KeyTableFind, AllFiveWordsMustBeEqual) {
    int32_t parameter = -1;
    ReplyKey key = Key({"INFO", "CONFIG", "IN TRAYS", "INTRAY2"});
    const ReplyKeyRow *row = KeyTableFind(FamilyReplyTable, &key, &parameter);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->handler, &OnTrayPresent);
    EXPECT_EQ(parameter, 4);
    row = KeyTableFind(row + 1, &key, &parameter);
    ASSERT_NE(row, nullptr) << "the search goes on after a found row";
    EXPECT_EQ(row->handler, &OnOptionPresent);
    EXPECT_EQ(parameter, 105);
    EXPECT_EQ(KeyTableFind(row + 1, &key, &parameter), nullptr);

    key = Key({"INFO", "CONFIG", "IN TRAYS", "INTRAY2", "X"});
    EXPECT_EQ(KeyTableFind(FamilyReplyTable, &key, &parameter), nullptr) << "an empty row word matches only empty";
    key = Key({"INFO", "config"});
    EXPECT_EQ(KeyTableFind(GenericReplyTable, &key, &parameter), nullptr) << "case-sensitive";
    key = Key({"INFO", "CONFIG"});
    EXPECT_EQ(KeyTableFind(GenericReplyTable, &key, &parameter)->handler, &OnInfoConfig);
}

// A handler that notes how it was called.
struct Call {
    std::string handler;
    const ReplyKeyRow *fallback;
    int32_t parameter;
};
std::vector<Call> g_calls;
uint32_t Record(PjlScanner *, PrnInfoEx *, const ReplyKeyRow *fallback, int32_t parameter) {
    g_calls.push_back({"family", fallback, parameter});
    return 0;
}

TEST(ReplyDispatch, FamilyRowsFirstWithTheGenericRowAsFallback) {
    const ReplyKeyRow family[] = {
        {{"INFO", "CONFIG", "", "", ""}, Record, 1},
        {{"INQUIRE", "ONLYFAMILY", "", "", ""}, Record, 2},
        {{"INFO", "CONFIG", "", "", ""}, Record, 3},
        {{nullptr, nullptr, nullptr, nullptr, nullptr}, nullptr, 0},
    };
    HostRecord record;
    auto *device = reinterpret_cast<DeviceInfoItem *>(InfoItemAlloc(kDeviceInfoItemSize));
    InfoListAppend(record.get(), "pDeviceInfo", reinterpret_cast<InfoItem *>(device));
    g_calls.clear();
    const std::string text = "@PJL INFO CONFIG\r\nX\r\n\f@PJL INQUIRE ONLYFAMILY\r\nY\r\n\f";
    EXPECT_EQ(ReplyDispatch(record.get(), family, text.c_str(), text.size() + 1), 0u);
    ASSERT_EQ(g_calls.size(), 3u);
    const ReplyKeyRow *configRow = &GenericReplyTable[1];
    EXPECT_EQ(g_calls[0].parameter, 1);
    EXPECT_EQ(g_calls[0].fallback, configRow);
    EXPECT_EQ(g_calls[1].parameter, 3);
    EXPECT_EQ(g_calls[1].fallback, configRow);
    EXPECT_EQ(g_calls[2].parameter, 2);
    EXPECT_EQ(g_calls[2].fallback, nullptr) << "no generic row for this key";
    EXPECT_EQ(record->nDeviceInfo, 0u) << "the generic INFO CONFIG handler ran after the family rows";
}

TEST(ReplyDispatch, MalformedReplyDoesNotHideTheRepliesAfterIt) {
    HostRecord record;
    const std::string text =
        "@PJL INQUIRE INTRAY2SIZE\r\n\f"            // no value line
        "@PJL INFO CONFIG\r\n]\r\nDISK\r\n\f"       // a body line that is only "]"
        "@PJL INQUIRE INTRAY1MEDIA\r\nTHICK\r\n\f"
        "@PJL INFO CONFIG\r\nDUPLEX\r\n\f";
    EXPECT_EQ(ReplyDispatch(record.get(), FamilyReplyTable, text.c_str(), text.size() + 1), 13u);
    auto trays = Items(record->pTrayInfo);
    ASSERT_EQ(trays.size(), 2u);
    EXPECT_EQ(trays[0]->wTray, 4u) << "the malformed inquiry still made its tray";
    EXPECT_EQ(trays[1]->wTray, 3u);
    EXPECT_EQ(trays[1]->wMediaType, 6u);
    ASSERT_EQ(record->nDeviceInfo, 1u);
    EXPECT_EQ(record->pDeviceInfo->wDevice, 1u);
}

TEST(ReplyDispatch, HandlersTakeTheirTokens) {
    // The tray size handler reads the value line itself; the walk goes on
    // with the next reply.
    HostRecord record;
    const std::string text = "@PJL INQUIRE INTRAY1SIZE\r\nLEGAL\r\n\f@PJL INQUIRE INTRAY2SIZE\r\nFOLIO\r\n\f";
    EXPECT_EQ(ReplyDispatch(record.get(), FamilyReplyTable, text.c_str(), text.size() + 1), 0u);
    auto trays = Items(record->pTrayInfo);
    ASSERT_EQ(trays.size(), 2u);
    EXPECT_EQ(trays[0]->wPaperSize, 21u);
    EXPECT_EQ(trays[1]->wPaperSize, 28u);
}

const char kConfigQuery[] = "\x1B%-12345X@PJL\r\n@PJL INFO CONFIG\r\n@PJL INFO OUTBINSTATUS\r\n\x1B%-12345X";

uint32_t Coverage(const std::string &query, const std::string &answer) {
    return ReplyCoverageCheck(query.c_str(), query.size() + 1, answer.c_str(), answer.size() + 1);
}

TEST(ReplyCoverageCheck, EveryCategoryEchoedWithAFormFeedAfterIt) {
    EXPECT_EQ(Coverage(kConfigQuery, "@PJL INFO OUTBINSTATUS\r\nUPPER=READY\r\n\f@PJL INFO CONFIG\r\nDUPLEX\r\n\f"), 0u)
        << "any order";
    EXPECT_EQ(Coverage(kConfigQuery, "@PJL INFO CONFIG\r\nDUPLEX\r\n\f@PJL INFO OUTBINSTATUS\r\nUPPER=READY\r\n"),
              PAT_ERROR_REPLY_MISSING)
        << "the last reply lacks its form feed";
    EXPECT_EQ(Coverage(kConfigQuery, "@PJL INFO CONFIG\r\nOUTBINSTATUS\r\n\f"), PAT_ERROR_REPLY_MISSING)
        << "a body word is no echo";
    EXPECT_EQ(Coverage(kConfigQuery, ""), PAT_ERROR_REPLY_MISSING);
    EXPECT_EQ(Coverage("\x1B%-12345X@PJL\r\n\x1B%-12345X", ""), 0u) << "nothing asked";
    EXPECT_EQ(Coverage("@PJL INFO CONFIG\r\n]\r\n", "@PJL INFO CONFIG\r\nX\r\n\f"), 13u) << "malformed query";
    EXPECT_EQ(Coverage("@PJL INFO CONFIG\r\n]\r\n", ""), PAT_ERROR_REPLY_MISSING)
        << "a missing reply before the malformed spot is reported first";
}

TEST(ReplyCoverageCheck, MalformedReplyDoesNotHideTheRepliesAfterIt) {
    EXPECT_EQ(Coverage(kConfigQuery, "@PJL INFO CONFIG\r\n\f@PJL INFO OUTBINSTATUS\r\nUPPER=FULL\r\n\f"), 0u);
}

TEST(ReplyCoverageCheck, ManyCategoriesAreAllChecked) {
    // More categories than one pass over the answer takes at a time.
    std::string query = "\x1B%-12345X@PJL\r\n";
    std::string answer;
    for (int i = 0; i < 150; ++i) {
        const std::string word = "VAR" + std::to_string(i);
        query += "@PJL INQUIRE " + word + "\r\n";
        if (i != 137) answer = "@PJL INQUIRE " + word + "\r\nON\r\n\f" + answer;
    }
    query += "\x1B%-12345X";
    EXPECT_EQ(Coverage(query, answer), PAT_ERROR_REPLY_MISSING);
    answer += "@PJL INQUIRE VAR137\r\nOFF\r\n\f";
    EXPECT_EQ(Coverage(query, answer), 0u);
}

TEST(PatSetCentroDataTo, WithoutQueryTheRepliesAreReadUnchecked) {
    HostRecord record;
    AnswerTree answer(nullptr, "@PJL INFO CONFIG\r\nDUPLEX\r\n\f", nullptr);
    pattest::PoisonLastError();
    ASSERT_EQ(PatSetCentroDataTo(answer.root, 0, record.get(), 2), TRUE);
    EXPECT_EQ(GetLastError(), 0u);
    ASSERT_EQ(record->nDeviceInfo, 1u);
    EXPECT_EQ(record->pDeviceInfo->wDevice, 1u);
}

TEST(PatSetCentroDataTo, IncompleteReplyLeavesTheRecordUntouched) {
    HostRecord record;
    QueryNode *query = PatCreateQueryInfo(record.get(), 2, PAT_QUERY_CONFIG);
    AnswerTree answer(query, "@PJL INFO CONFIG\r\nDUPLEX\r\n", nullptr);
    pattest::PoisonLastError();
    EXPECT_EQ(PatSetCentroDataTo(answer.root, 0, record.get(), 2), FALSE);
    EXPECT_EQ(GetLastError(), PAT_ERROR_REPLY_MISSING);
    EXPECT_EQ(record->nDeviceInfo, 0u);
}

TEST(PatSetCentroDataTo, MalformedQueryTextIsInvalidData) {
    HostRecord record;
    QueryNode *query = pattest::MakeNode(QNODE_QUERY_ROOT, nullptr, 0);
    pattest::AppendChild(query, pattest::MakeTextNode(QNODE_PJL_TEXT, "@PJL INFO CONFIG\r\n]\r\n"));
    AnswerTree answer(query, "@PJL INFO CONFIG\r\nDUPLEX\r\n\f", nullptr);
    pattest::PoisonLastError();
    EXPECT_EQ(PatSetCentroDataTo(answer.root, 0, record.get(), 2), FALSE);
    EXPECT_EQ(GetLastError(), 13u);
    EXPECT_EQ(record->nDeviceInfo, 0u);
}

TEST(PatSetCentroDataTo, EmptyChildStopsAfterWhatEarlierChildrenWrote) {
    HostRecord record;
    AnswerTree answer(nullptr, "@PJL INFO CONFIG\r\nDUPLEX\r\n\f", nullptr);
    pattest::AppendChild(answer.root, pattest::MakeNode(QNODE_DEVICE_ID, nullptr, 0));
    pattest::AppendChild(answer.root, pattest::MakeTextNode(QNODE_DEVICE_ID, "MFG:M;"));
    pattest::PoisonLastError();
    EXPECT_EQ(PatSetCentroDataTo(answer.root, 0, record.get(), 2), FALSE);
    EXPECT_EQ(GetLastError(), 87u);
    EXPECT_EQ(record->nDeviceInfo, 1u);
    EXPECT_EQ(record->pMakerName, nullptr);
}

TEST(PatSetCentroDataTo, OtherChildrenAreSkippedAndEveryReplyTextRead) {
    HostRecord record;
    AnswerTree answer(nullptr, "@PJL INFO CONFIG\r\nDUPLEX\r\n\f", "MFG:M;");
    pattest::AppendChild(answer.root, pattest::MakeTextNode(1001, "not read"));
    pattest::AppendChild(answer.root, pattest::MakeTextNode(QNODE_PJL_TEXT, "@PJL INQUIRE INTRAY3SIZE\r\nDL\r\n\f"));
    ASSERT_EQ(PatSetCentroDataTo(answer.root, 0, record.get(), 2), TRUE);
    EXPECT_EQ(record->nDeviceInfo, 1u);
    EXPECT_STREQ(record->pMakerName, "M");
    ASSERT_EQ(record->nTrayInfo, 1u);
    EXPECT_EQ(record->pTrayInfo->wPaperSize, 32u);
}

}  // namespace
