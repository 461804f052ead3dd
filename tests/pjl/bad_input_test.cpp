// Whatever the printer sent: truncated, malformed, huge or binary replies
// and device IDs never crash, hang or write outside a buffer (the address
// sanitizer watches), and the record stays consistent (Describe checks).
#include "patprn/patprn.h"
#include "pjl/pjl_story.h"
#include "support/heap_hook.h"
#include "support/support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>

namespace {

using namespace std::string_literals;

using pattest::HostRecord;
using pjltest::After;
using pjltest::AnswerTree;
using pjltest::Describe;
using pjltest::ReadFixture;

std::string Repeat(const std::string &piece, size_t bytes) {
    std::string text;
    while (text.size() < bytes) text += piece;
    return text;
}

QueryNode *Unterminated(int32_t type, const std::string &text) {
    return pattest::MakeNode(type, text.data(), static_cast<uint32_t>(text.size()));
}

TEST(BadInput, NodesWithoutTerminatorAreReadToTheirEnd) {
    HostRecord record;
    const std::string replies = "@PJL INFO CONFIG\r\nDUPLEX\r\n\f@PJL INQUIRE INTRAY1\r\nLOCKED\r\n\f@PJL INFO CONFIG\r\nDIS";
    QueryNode *answer = pattest::MakeNode(QNODE_ANSWER_ROOT, nullptr, 0);
    QueryNode *query = pattest::AppendChild(answer, pattest::MakeNode(QNODE_QUERY_ROOT, nullptr, 0));
    pattest::AppendChild(query, Unterminated(QNODE_PJL_TEXT, "@PJL INFO CONFIG\r\n@PJL INQUIRE INTRAY1\r\n\x1B%-12345X"));
    pattest::AppendChild(answer, Unterminated(QNODE_PJL_TEXT, replies));
    pattest::AppendChild(answer, Unterminated(QNODE_DEVICE_ID, "MFG:Maker;MDL:Mod"));
    EXPECT_EQ(PatSetCentroDataTo(answer, 0, record.get(), 2), TRUE);
    EXPECT_EQ(Describe(record.get()), "trays 3:0/0/0/1; maker=Maker; model=Mod(255)") << "DIS is cut off";
    pattest::FreeTree(answer);
}

TEST(BadInput, EveryTruncationGarbageAndOverlongValues) {
    const std::string replies = ReadFixture("poll1_replies.pjl"), id = ReadFixture("poll1_device_id.txt");
    HostRecord record;
    for (size_t n = 0; n <= replies.size(); ++n) After(record.get(), replies.substr(0, n), id.substr(0, n % id.size()));

    std::mt19937 random(20240611u);
    const char alphabet[] = "@PJL INFOCONFIGQUIRETRAY1[]=:\"\t\r\n\f\x1B/;,";
    std::string bytes(64 * 1024, '\0');
    for (int round = 0; round < 8; ++round) {
        // Mostly the reply alphabet, so the state machine goes deep.
        for (char &c : bytes) c = random() % 4 ? alphabet[random() % (sizeof alphabet - 1)] : char(random() % 255 + 1);
        After(record.get(), bytes, bytes.substr(0, 4096));
    }

    const std::string huge(100000, 'Q');
    HostRecord fresh;
    EXPECT_EQ(After(fresh.get(), "@PJL INQUIRE INTRAY1SIZE\r\n"s + huge + "\r\n\f@PJL INFO CONFIG\r\nVERSION [1 X]\r\n\tWENK=" +
                                     huge + "\r\n\f@PJL " + huge + " " + huge + "\r\n" + huge + "=" + huge + "\r\n\f",
                    "MFG:"s + huge + ";"),
              "trays 3:0/0/0/0; emuls 1="s + std::string(15, 'Q') + "; main=" + std::string(32, 'Q') + "; maker=" +
                  std::string(255, 'Q'));
    After(fresh.get(), "", "STS:"s + huge + "/" + huge + "," + huge + "," + huge + ";KWZ:" + huge + "/" + huge + ";");
}

TEST(BadInput, MegabyteRepliesAndDeviceIdsInLinearTime) {
    // Each finishes well within a second natively; a walk gone quadratic
    // would take minutes.
    const size_t mb = 1u << 20;
    const auto start = std::chrono::steady_clock::now();
    HostRecord r;
    EXPECT_EQ(After(r.get(), "@PJL INFO CONFIG\r\n"s + Repeat("DUPLEX\r\nDISK\r\n", mb) + "\f@PJL INFO OUTBINSTATUS\r\n" +
                                 Repeat("UPPER=FULL\r\n", mb) + "\f" + Repeat("@PJL\r\n", mb) +
                                 Repeat("@PJL INQUIRE INTRAY1\r\nLOCKED\r\n\f", mb) + std::string(mb, 'A') + "@PJL INFO " +
                                 std::string(mb, 'A'),
                    Repeat("STS:10001/40010,1,READY;MFG:M;XYZ:;", mb)),
              "trays 3:0/0/0/1; devices 1 3; bins/255 1:2; maker=M; status 10001'READY' 40010'READY'; state 1/0/1");
    After(r.get(), "@PJL INFO CONFIG\r\nVERSION [4294967295 ENUMERATED]\r\n"s + Repeat("\tPCL=1.0\r\n", mb) + "\f");
    EXPECT_GT(r->nLoadedEmul, 100000u) << "every version item is listed";
    // The full query against a megabyte of complete polls.
    AnswerTree answer(PatCreateQueryInfo(r.get(), 2, 0x8051E), Repeat(ReadFixture("poll1_replies.pjl"), mb).c_str(),
                      "MFG:M;");
    EXPECT_EQ(PatSetCentroDataTo(answer.root, 0, r.get(), 2), TRUE);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 30.0);
}

// Every allocation of a poll made to fail in turn, on a fresh record and
// on one that an earlier poll filled: each run that meets its failure
// returns 0 with 8 and leaves a record whose counts match its chains; the
// first run that needs no more allocations than it was allowed gives the
// whole record.
TEST(BadInput, EveryAllocationFailureOfAPollFailsWith8AndLeavesAConsistentRecord) {
    SKIP_WITHOUT_HEAP_HOOK();
    pattest::HeapHookGuard guard;
    const std::string replies1 = ReadFixture("poll1_replies.pjl"), id1 = ReadFixture("poll1_device_id.txt");
    const std::string replies2 = ReadFixture("poll2_replies.pjl"), id2 = ReadFixture("poll2_device_id.txt");
    const long before = pattest::LiveHeapBlocks();
    for (bool second : {false, true}) {
        std::string whole;
        {
            HostRecord record;
            AnswerTree first(nullptr, replies1.c_str(), id1.c_str());
            ASSERT_EQ(PatSetCentroDataTo(first.root, 0, record.get(), 2), TRUE);
            if (second) {
                AnswerTree next(nullptr, replies2.c_str(), id2.c_str());
                ASSERT_EQ(PatSetCentroDataTo(next.root, 0, record.get(), 2), TRUE);
            }
            whole = Describe(record.get());
            record.ReleaseLists();
        }
        bool completed = false;
        for (unsigned n = 1; !completed && n <= 1000; ++n) {
            HostRecord record;
            {
                AnswerTree first(nullptr, replies1.c_str(), id1.c_str());
                if (second) {
                    ASSERT_EQ(PatSetCentroDataTo(first.root, 0, record.get(), 2), TRUE);
                }
                AnswerTree answer(nullptr, (second ? replies2 : replies1).c_str(), (second ? id2 : id1).c_str());
                pattest::FailNthAllocation(n);
                pattest::PoisonLastError();
                const BOOL ok = PatSetCentroDataTo(answer.root, 0, record.get(), 2);
                const DWORD error = GetLastError();
                const bool struck = pattest::ArmedFailureStruck(n);
                const std::string result = Describe(record.get());  // checks counts against chains
                if (struck) {
                    EXPECT_EQ(ok, FALSE) << n;
                    EXPECT_EQ(error, 8u) << n;
                } else {
                    EXPECT_EQ(ok, TRUE) << n;
                    EXPECT_EQ(error, 0u) << n;
                    EXPECT_EQ(result, whole);
                    completed = true;
                }
            }
            record.ReleaseLists();
            EXPECT_EQ(pattest::LiveHeapBlocks(), before) << "nothing leaked at failure " << n;
        }
        EXPECT_TRUE(completed);
    }
}

// An answer tree whose children loop back on themselves is refused with 13
// before anything is written; so is one whose attached query's children do.
TEST(BadInput, CyclicAnswerTreesAreRefused) {
    HostRecord record;
    for (bool inQuery : {false, true}) {
        QueryNode *query = PatCreateQueryInfo(record.get(), 2, 0x4);
        AnswerTree answer(query, "@PJL INFO CONFIG\r\n\f", "MFG:M;");
        QueryNode *parent = inQuery ? query : answer.root;
        QueryNode *last = parent->pLastChild;
        last->pNextSibling = parent->pFirstChild;
        pattest::PoisonLastError();
        EXPECT_EQ(PatSetCentroDataTo(answer.root, 0, record.get(), 2), FALSE);
        EXPECT_EQ(GetLastError(), 13u) << inQuery;
        last->pNextSibling = nullptr;
        EXPECT_EQ(Describe(record.get()), "");
        // Each query node's header is written in full, reserved words too.
        EXPECT_EQ(query->dwReserved1, 0u);
        EXPECT_EQ(query->dwReserved2, 0u);
        EXPECT_EQ(query->pFirstChild->dwReserved2, 0u);
    }
}

TEST(BadInput, AQueryThatCannotBeBuiltFails) {
    SKIP_WITHOUT_HEAP_HOOK();
    pattest::HeapHookGuard guard;
    // A query root that cannot be made fails; a child that cannot be made
    // is left out of a successful query.
    HostRecord record;
    for (unsigned n : {1u, 2u, 3u}) {
        pattest::FailNthAllocation(n);
        pattest::PoisonLastError();
        QueryNode *root = PatCreateQueryInfo(record.get(), 2, 0x8051E);
        EXPECT_EQ(GetLastError(), n == 1 ? 8u : 0u);
        EXPECT_EQ(root == nullptr ? 0 : root->pFirstChild->nType + (root->pFirstChild->pNextSibling != nullptr),
                  n == 1 ? 0 : n == 2 ? QNODE_PJL_TEXT : QNODE_DEVICE_ID);
        pattest::FreeTree(root);
    }
}

}  // namespace
