// Whatever the printer sent: truncated, malformed, huge or binary replies
// and device IDs never crash, hang or write outside a buffer, and the
// record stays consistent.
#include "patprn/patprn.h"
#include "pjl/pjl_story.h"
#include "support/heap_hook.h"
#include "support/support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using pattest::HostRecord;
using pjltest::AnswerTree;
using pjltest::ExpectListsConsistent;
using pjltest::ReadFixture;

// Interprets `replies` and `deviceId` without a query attached, so that
// every byte is read; returns the call's result.
BOOL Interpret(HostRecord &record, const std::string &replies, const std::string &deviceId = "") {
    AnswerTree answer(nullptr, replies.c_str(), deviceId.empty() ? nullptr : deviceId.c_str());
    return PatSetCentroDataTo(answer.root, 0, record.get(), PAT_REVISION_PJL);
}

// A node holding exactly `text`, no terminating zero: anything read past
// the node is caught by the address sanitizer.
QueryNode *UnterminatedNode(int32_t type, const std::string &text) {
    return pattest::MakeNode(type, text.data(), static_cast<uint32_t>(text.size()));
}

double SecondsFor(HostRecord &record, const std::string &replies, const std::string &deviceId = "") {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Interpret(record, replies, deviceId), TRUE);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(BadInput, NodesWithoutTerminatorAreReadToTheirEnd) {
    HostRecord record;
    QueryNode *root = pattest::MakeNode(QNODE_ANSWER_ROOT, nullptr, 0);
    pattest::AppendChild(root, UnterminatedNode(QNODE_PJL_TEXT, "@PJL INFO CONFIG\r\nDUPLEX\r\n\f@PJL INFO CONFIG\r\nDIS"));
    pattest::AppendChild(root, UnterminatedNode(QNODE_DEVICE_ID, "MFG:Maker;MDL:Mod"));
    ASSERT_EQ(PatSetCentroDataTo(root, 0, record.get(), 2), TRUE);
    ASSERT_EQ(record->nDeviceInfo, 0u) << "the second CONFIG reply began; DIS is no option";
    EXPECT_STREQ(record->pMakerName, "Maker");
    EXPECT_STREQ(record->pModelName, "Mod");
    pattest::FreeTree(root);

    // The same for the query text and the replies the coverage check reads.
    QueryNode *answer = pattest::MakeNode(QNODE_ANSWER_ROOT, nullptr, 0);
    QueryNode *query = pattest::MakeNode(QNODE_QUERY_ROOT, nullptr, 0);
    pattest::AppendChild(query, UnterminatedNode(QNODE_PJL_TEXT, "@PJL INFO CONFIG\r\n@PJL INQUIRE INTRAY1"));
    pattest::AppendChild(answer, query);
    pattest::AppendChild(answer, UnterminatedNode(QNODE_PJL_TEXT, "@PJL INFO CONFIG\r\nDUPLEX\r\n\f@PJL INQUIRE INTRAY1"));
    pattest::PoisonLastError();
    EXPECT_EQ(PatSetCentroDataTo(answer, 0, record.get(), 2), FALSE);
    EXPECT_EQ(GetLastError(), PAT_ERROR_REPLY_MISSING) << "INTRAY1 has no form feed after it";
    pattest::FreeTree(answer);
}

TEST(BadInput, EveryTruncationOfAPoll) {
    const std::string replies = ReadFixture("poll1_replies.pjl");
    const std::string deviceId = ReadFixture("poll1_device_id.txt");
    HostRecord record;
    for (size_t n = 0; n <= replies.size(); ++n) {
        EXPECT_EQ(Interpret(record, replies.substr(0, n), deviceId.substr(0, n % (deviceId.size() + 1))), TRUE) << n;
        ExpectListsConsistent(record.get());
    }
    // With the query attached, a cut reply set is reported missing.
    for (size_t n : {size_t{0}, replies.size() / 3, replies.size() - 1}) {
        QueryNode *query = PatCreateQueryInfo(record.get(), 2, 0x1C);
        AnswerTree answer(query, replies.substr(0, n).c_str(), nullptr);
        pattest::PoisonLastError();
        EXPECT_EQ(PatSetCentroDataTo(answer.root, 0, record.get(), 2), FALSE) << n;
        EXPECT_EQ(GetLastError(), PAT_ERROR_REPLY_MISSING) << n;
    }
}

TEST(BadInput, FormFeedsAndGarbage) {
    HostRecord record;
    EXPECT_EQ(Interpret(record, "\f"), TRUE);
    EXPECT_EQ(Interpret(record, "\f\f\f@PJL\f\f"), TRUE);
    EXPECT_EQ(Interpret(record, "@PJL INFO CONFIG\r\n\f"), TRUE);
    EXPECT_EQ(Interpret(record, "@PJL INFO CONFIG\r\nVERSION [\r\n\f"), TRUE);
    EXPECT_EQ(Interpret(record, "@PJL INFO CONFIG\r\nVERSION [4294967295 ENUMERATED]\r\n\t=\r\n\t\r\n"), TRUE);
    EXPECT_EQ(Interpret(record, "@PJL INQUIRE INTRAY1SIZE\r\n\"never closed"), TRUE);
    ExpectListsConsistent(record.get());

    std::mt19937 random(20240611u);
    std::string bytes(64 * 1024, '\0');
    const char alphabet[] = "@PJL INFOCONFIGQUIRETRAY1[]=:\"\t\r\n\f\x1B";
    for (int round = 0; round < 8; ++round) {
        for (char &c : bytes) {
            // Mostly the reply alphabet, so that the state machine goes deep.
            c = (random() % 4 != 0) ? alphabet[random() % (sizeof alphabet - 1)] : static_cast<char>(random() % 255 + 1);
        }
        EXPECT_EQ(Interpret(record, bytes, bytes.substr(0, 4096)), TRUE);
        ExpectListsConsistent(record.get());
    }
}

TEST(BadInput, ValuesLongerThanTheTokenBuffers) {
    HostRecord record;
    const std::string huge(100000, 'Q');
    EXPECT_EQ(Interpret(record, "@PJL INQUIRE INTRAY1SIZE\r\n" + huge + "\r\n\f@PJL INQUIRE INTRAY1MEDIA\r\nBOND\r\n\f"),
              TRUE);
    ASSERT_EQ(record->nTrayInfo, 1u);
    EXPECT_EQ(record->pTrayInfo->wPaperSize, 0u);
    EXPECT_EQ(record->pTrayInfo->wMediaType, 14u);
    EXPECT_EQ(Interpret(record, "@PJL INFO CONFIG\r\nVERSION [1 ENUMERATED]\r\n\tWENK=" + huge + "\r\n\f@PJL " + huge +
                                    " " + huge + "\r\n" + huge + "=" + huge + "\r\n\f"),
              TRUE);
    EXPECT_EQ(std::string(record->pMainProgVersion), std::string(32, 'Q'));
    EXPECT_EQ(std::string(record->pLoadedEmul->szVersion), std::string(15, 'Q'));
    EXPECT_EQ(Interpret(record, "", "MFG:" + huge + ";DES:" + huge + ";STS:" + huge + "," + huge + "," + huge +
                                        ";KWZ:" + huge + "/" + huge + ";"),
              TRUE);
    EXPECT_EQ(std::strlen(record->pMakerName), 255u);
    ExpectListsConsistent(record.get());
}

TEST(BadInput, DeviceIdsWithoutSeparators) {
    HostRecord record;
    for (const std::string &id : std::vector<std::string>{"MFG", "MFGMakerMDLModel", ":::::", ";;;;;", "MFG:Maker", "STS:40010", "KWZ:5",
                                 std::string(5000, ':'), std::string(5000, ';'), std::string(100000, 'x')}) {
        EXPECT_EQ(Interpret(record, "", id), TRUE) << id.substr(0, 20);
        ExpectListsConsistent(record.get());
    }
}

TEST(BadInput, OneMegabyteOfRepliesIsReadInLinearTime) {
    // Thousands of complete polls in one reply text, with the full query
    // attached: the coverage check and the walk each pass once.
    const std::string poll = ReadFixture("poll1_replies.pjl");
    std::string replies;
    while (replies.size() < (1u << 20)) replies += poll;
    HostRecord record;
    QueryNode *query = PatCreateQueryInfo(record.get(), 2, 0x8051E);
    AnswerTree answer(query, replies.c_str(), ReadFixture("poll1_device_id.txt").c_str());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(PatSetCentroDataTo(answer.root, 0, record.get(), 2), TRUE);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 20.0);
    EXPECT_EQ(record->nTrayInfo, 3u);
    EXPECT_EQ(record->nDeviceInfo, 3u);
    ExpectListsConsistent(record.get());
}

TEST(BadInput, RepeatedLinesInOneReplyStayLinear) {
    // One reply of a megabyte of option lines, bin lines, version items or
    // "@PJL" lines: each list stays short, and no walk is quadratic.
    auto repeat = [](const std::string &line, size_t bytes) {
        std::string text;
        while (text.size() < bytes) text += line;
        return text;
    };
    const size_t mb = 1u << 20;
    HostRecord record;
    EXPECT_LT(SecondsFor(record, "@PJL INFO CONFIG\r\n" + repeat("DUPLEX\r\nDISK\r\n", mb) + "\f"), 20.0);
    EXPECT_EQ(record->nDeviceInfo, 2u);
    EXPECT_LT(SecondsFor(record, "@PJL INFO OUTBINSTATUS\r\n" + repeat("UPPER=FULL\r\n", mb) + "\f"), 20.0);
    EXPECT_EQ(record->nOutBinInfo, 1u);
    EXPECT_LT(SecondsFor(record, "@PJL INFO CONFIG\r\nVERSION [4294967295 ENUMERATED]\r\n" +
                                     repeat("\tPCL=1.0\r\n", mb) + "\f"),
              20.0);
    EXPECT_GT(record->nLoadedEmul, 100000u) << "every version item is listed";
    EXPECT_LT(SecondsFor(record, repeat("@PJL\r\n", mb)), 20.0);
    EXPECT_LT(SecondsFor(record, repeat("@PJL INQUIRE INTRAY1\r\nLOCKED\r\n\f", mb)), 20.0);
    EXPECT_EQ(record->nTrayInfo, 1u);
    EXPECT_LT(SecondsFor(record, std::string(mb, 'A')), 20.0);
    EXPECT_LT(SecondsFor(record, "@PJL INFO " + std::string(mb, 'A')), 20.0);
    EXPECT_LT(SecondsFor(record, "", repeat("STS:10001/40010,1,READY;MFG:M;XYZ:;", mb)), 20.0);
    EXPECT_EQ(record->nEngineStatus, 2u);
    ExpectListsConsistent(record.get());
}

TEST(BadInput, EveryAllocationFailureOfAPollLeavesAConsistentRecord) {
    SKIP_WITHOUT_HEAP_HOOK();
    pattest::HeapHookGuard guard;
    const std::string replies = ReadFixture("poll1_replies.pjl");
    const std::string deviceId = ReadFixture("poll1_device_id.txt");
    const long before = pattest::LiveHeapBlocks();
    // A poll of this printer needs fewer than 40 allocations; the last
    // rounds fail none and give the full result.
    for (unsigned n = 1; n <= 40; ++n) {
        HostRecord record;
        {
            AnswerTree answer(nullptr, replies.c_str(), deviceId.c_str());
            pattest::FailNthAllocation(n);
            pattest::PoisonLastError();
            const BOOL ok = PatSetCentroDataTo(answer.root, 0, record.get(), 2);
            const DWORD error = GetLastError();
            pattest::FailNthAllocation(0);
            EXPECT_TRUE(ok == TRUE ? error == 0u : error == 8u) << n;
            ExpectListsConsistent(record.get());
            if (n == 40) {
                EXPECT_EQ(ok, TRUE);
                EXPECT_EQ(record->nTrayInfo, 3u);
                EXPECT_EQ(record->nLoadedEmul, 3u);
                EXPECT_EQ(record->nDeviceInfo, 3u);
                EXPECT_STREQ(record->pDescription, "Colour laser printer with duplex unit");
            }
        }
        record.ReleaseLists();
        EXPECT_EQ(pattest::LiveHeapBlocks(), before) << "nothing leaked at failure " << n;
    }
}

TEST(BadInput, QueryWhoseAllocationsFail) {
    SKIP_WITHOUT_HEAP_HOOK();
    pattest::HeapHookGuard guard;
    HostRecord record;
    pattest::FailNthAllocation(1);
    pattest::PoisonLastError();
    EXPECT_EQ(PatCreateQueryInfo(record.get(), 2, 0x8051E), nullptr);
    EXPECT_EQ(GetLastError(), 8u);

    // A child that cannot be made is left out; the call still succeeds.
    for (unsigned n : {2u, 3u}) {
        pattest::FailNthAllocation(n);
        pattest::PoisonLastError();
        QueryNode *root = PatCreateQueryInfo(record.get(), 2, 0x8051E);
        ASSERT_NE(root, nullptr);
        EXPECT_EQ(GetLastError(), 0u);
        EXPECT_EQ(pjltest::ChildTypes(root), (std::vector<int32_t>{n == 2 ? QNODE_PJL_TEXT : QNODE_DEVICE_ID}));
        pattest::FreeTree(root);
    }
    pattest::FailNthAllocation(2);
    QueryNode *root = PatCreateEmulUniqQueryInfo(record.get(), 2, 15, 0);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->pFirstChild, nullptr);
    pattest::FreeTree(root);
}

}  // namespace
