// Whole polls through the real library: the host asks what to send, sends
// it, and hands the printer's replies and device ID back.
#include "patprn/patprn.h"
#include "pjl/pjl_story.h"
#include "support/support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using pattest::HostRecord;
using pjltest::AnswerTree;
using pjltest::ExpectListsConsistent;
using pjltest::Items;
using pjltest::ReadFixture;

constexpr DWORD kPollFlags = 0x8051E;  // device ID, configuration, trays, output bins

struct Tray {
    uint16_t tray, size, level, media;
    uint32_t flags;
    bool operator==(const Tray &) const = default;
};
std::ostream &operator<<(std::ostream &out, const Tray &t) {
    return out << "{tray " << t.tray << " size " << t.size << " level " << t.level << " media " << t.media
               << " flags " << t.flags << "}";
}

std::vector<Tray> Trays(const PrnInfoEx *r) {
    std::vector<Tray> trays;
    for (const TrayInfoItem *t : Items(r->pTrayInfo)) {
        trays.push_back({t->wTray, t->wPaperSize, t->wPaperLevel, t->wMediaType, t->dwFlags});
    }
    return trays;
}

std::vector<uint16_t> Devices(const PrnInfoEx *r) {
    std::vector<uint16_t> codes;
    for (const DeviceInfoItem *d : Items(r->pDeviceInfo)) codes.push_back(d->wDevice);
    return codes;
}

std::vector<std::pair<uint16_t, std::string>> Emulations(const PrnInfoEx *r) {
    std::vector<std::pair<uint16_t, std::string>> emuls;
    for (const LoadedEmulItem *e : Items(r->pLoadedEmul)) emuls.emplace_back(e->wEmul, e->szVersion);
    return emuls;
}

std::vector<std::pair<uint32_t, std::string>> Statuses(const PrnInfoEx *r) {
    std::vector<std::pair<uint32_t, std::string>> codes;
    for (const EngineStatusItem *s : Items(r->pEngineStatus)) {
        EXPECT_EQ(s->wCode, s->dwCode & 0xFFFFu);
        codes.emplace_back(s->dwCode, s->szText);
    }
    return codes;
}

// One poll as the host runs it: query from the current record, then the
// answer tree with the query attached, the replies and the device ID.
BOOL Poll(HostRecord &record, const std::string &replies, const std::string &deviceId, DWORD *error,
          std::string *queryText = nullptr) {
    QueryNode *query = PatCreateQueryInfo(record.get(), PAT_REVISION_PJL, kPollFlags);
    EXPECT_NE(query, nullptr);
    if (queryText != nullptr) *queryText = pjltest::ChildText(query, QNODE_PJL_TEXT);
    AnswerTree answer(query, replies.c_str(), deviceId.c_str());
    pattest::PoisonLastError();
    const BOOL ok = PatSetCentroDataTo(answer.root, 0, record.get(), PAT_REVISION_PJL);
    *error = GetLastError();
    return ok;
}

TEST(PjlPoll, FirstAndSecondPollOfOnePrinter) {
    HostRecord record;
    DWORD error = 0;
    std::string query;

    // First poll: nothing is known yet, so the query asks tray 1 and the
    // multi-purpose tray; the configuration reply reports three trays.
    ASSERT_EQ(Poll(record, ReadFixture("poll1_replies.pjl"), ReadFixture("poll1_device_id.txt"), &error, &query),
              TRUE);
    EXPECT_EQ(error, 0u);
    EXPECT_EQ(query.find("INTRAY2"), std::string::npos);
    PrnInfoEx *r = record.get();
    ExpectListsConsistent(r);

    EXPECT_EQ(Trays(r), (std::vector<Tray>{
                            {3, 9, 60, 2, PAT_TRAY_FLAG_LOCKED},       // A4SRT, 3/5, RECYCLED, LOCKED
                            {4, 0, 0, 0, PAT_TRAY_FLAG_FRONT_COVER},   // present, front-cover print tray
                            {1, 2, 0, 3, 0},                           // CUSTOM, TRANSPARENCY
                        }));
    EXPECT_EQ(Devices(r), (std::vector<uint16_t>{105, 16, 1}));  // tray 2 unit, manual feed, duplex
    EXPECT_EQ(r->dwMemorySize, 262144u);
    EXPECT_EQ(Emulations(r), (std::vector<std::pair<uint16_t, std::string>>{{1, "2.05"}, {2, "3.10"}, {18, "1.07"}}));
    EXPECT_STREQ(r->pSYSVersion, "1.20");
    EXPECT_STREQ(r->pMainProgVersion, "2.05");
    EXPECT_STREQ(r->pVPSVersion, "3.10");
    ASSERT_EQ(r->nOutBinInfo, 1u);
    EXPECT_EQ(r->pOutBinInfo->wBin, 1u);
    EXPECT_EQ(r->pOutBinInfo->wBinState, 0u);
    EXPECT_EQ(r->dwOutBinExtra, 255u);

    EXPECT_STREQ(r->pMakerName, "Printer Maker");
    EXPECT_STREQ(r->pModelName, "Colour Laser 500");
    EXPECT_STREQ(r->pDescription, "Colour laser printer with duplex unit");
    EXPECT_EQ(r->bModelCode, 255u);
    EXPECT_EQ(Statuses(r), (std::vector<std::pair<uint32_t, std::string>>{{10001, "READY"}}));
    EXPECT_EQ(r->bState, 1u);
    EXPECT_EQ(r->bNotState, 0u);
    EXPECT_EQ(r->bAttention, 0u);
    ASSERT_EQ(r->nCounterInfo, 1u);
    EXPECT_EQ(r->pCounterInfo->wCounter, 1u);
    EXPECT_EQ(r->pCounterInfo->dwValue, 18324u);
    EXPECT_EQ(r->nSupplyInfo, 0u) << "the family reports no supply codes";
    EXPECT_EQ(r->nLoadedEmul, 3u) << "the CMD field leaves the emulations of the VERSION list";
    EXPECT_EQ(r->nEmulUniqInfo, 0u);

    // Second poll: the query now asks the three trays the record holds; the
    // trays are updated in place, the lists of the replies rebuilt.
    const std::vector<const TrayInfoItem *> traysBefore = Items(r->pTrayInfo);
    ASSERT_EQ(Poll(record, ReadFixture("poll2_replies.pjl"), ReadFixture("poll2_device_id.txt"), &error, &query),
              TRUE);
    EXPECT_EQ(error, 0u);
    EXPECT_NE(query.find("INTRAY2QUANT"), std::string::npos);
    ExpectListsConsistent(r);

    EXPECT_EQ(Items(r->pTrayInfo), traysBefore) << "same three tray items";
    EXPECT_EQ(Trays(r), (std::vector<Tray>{
                            {3, 9, 0, 1, PAT_TRAY_FLAG_FRONT_COVER},  // unlocked, now the front-cover tray
                            {4, 21, 100, 6, PAT_TRAY_FLAG_FRONT_COVER | PAT_TRAY_FLAG_LOCKED},
                            {1, 53, 0, 36, 0},                        // COM10 envelopes
                        }));
    EXPECT_EQ(Devices(r), (std::vector<uint16_t>{105, 16, 1, 3})) << "hard disk added";
    EXPECT_EQ(r->dwMemorySize, 524288u);
    EXPECT_EQ(Emulations(r), (std::vector<std::pair<uint16_t, std::string>>{{1, "2.06"}, {18, "1.07"}}));
    EXPECT_STREQ(r->pSYSVersion, "1.21");
    EXPECT_STREQ(r->pMainProgVersion, "2.06");
    EXPECT_STREQ(r->pVPSVersion, "3.10") << "a version string is replaced only when reported";
    ASSERT_EQ(r->nOutBinInfo, 1u);
    EXPECT_EQ(r->pOutBinInfo->wBinState, 2u) << "full";

    EXPECT_EQ(Statuses(r), (std::vector<std::pair<uint32_t, std::string>>{{10001, "ADD PAPER TO TRAY 1"},
                                                                          {41213, "ADD PAPER TO TRAY 1"}}));
    EXPECT_EQ(r->bState, 3u);
    EXPECT_EQ(r->bNotState, 1u);
    EXPECT_EQ(r->bAttention, 1u);
    ASSERT_EQ(r->nCounterInfo, 1u);
    EXPECT_EQ(r->pCounterInfo->dwValue, 18411u);
}

TEST(PjlPoll, ChangedTrayCountRebuildsTheTrays) {
    HostRecord record;
    DWORD error = 0;
    ASSERT_EQ(Poll(record, ReadFixture("poll1_replies.pjl"), ReadFixture("poll1_device_id.txt"), &error), TRUE);
    // A tray 3 unit was fitted: four trays; the ones not asked start empty.
    std::string replies = ReadFixture("poll2_replies.pjl");
    const std::string from = "IN TRAYS [3 ENUMERATED]\r\n\tINTRAY1\r\n\tINTRAY2\r\n";
    ASSERT_NE(replies.find(from), std::string::npos);
    replies.replace(replies.find(from), from.size(),
                    "IN TRAYS [4 ENUMERATED]\r\n\tINTRAY1\r\n\tINTRAY2\r\n\tINTRAY3\r\n");
    ASSERT_EQ(Poll(record, replies, ReadFixture("poll2_device_id.txt"), &error), TRUE);
    ExpectListsConsistent(record.get());
    EXPECT_EQ(Trays(record.get()), (std::vector<Tray>{
                                       {3, 9, 0, 1, PAT_TRAY_FLAG_FRONT_COVER},
                                       {4, 21, 100, 6, PAT_TRAY_FLAG_LOCKED},  // earlier flags gone with the item
                                       {5, 0, 0, 0, 0},
                                       {1, 53, 0, 36, 0},
                                   }));
    EXPECT_EQ(Devices(record.get()), (std::vector<uint16_t>{105, 106, 16, 1, 3}));
}

TEST(PjlPoll, MissingReplyWritesNothing) {
    HostRecord record;
    DWORD error = 0;
    std::string replies = ReadFixture("poll1_replies.pjl");
    const std::string outbin = "@PJL INFO OUTBINSTATUS\r\nUPPER=READY\r\n\f";
    ASSERT_NE(replies.find(outbin), std::string::npos);
    replies.erase(replies.find(outbin));
    EXPECT_EQ(Poll(record, replies, ReadFixture("poll1_device_id.txt"), &error), FALSE);
    EXPECT_EQ(error, PAT_ERROR_REPLY_MISSING);
    EXPECT_EQ(record->nTrayInfo, 0u);
    EXPECT_EQ(record->pModelName, nullptr);

    // The device ID was asked for: replies alone are not enough.
    QueryNode *query = PatCreateQueryInfo(record.get(), 2, kPollFlags);
    const std::string complete = ReadFixture("poll1_replies.pjl");
    AnswerTree answer(query, complete.c_str(), nullptr);
    pattest::PoisonLastError();
    EXPECT_EQ(PatSetCentroDataTo(answer.root, 0, record.get(), 2), FALSE);
    EXPECT_EQ(GetLastError(), PAT_ERROR_REPLY_MISSING);
    EXPECT_EQ(record->nTrayInfo, 0u);
}

TEST(PjlPoll, EmulationSpecificQuery) {
    HostRecord record;
    const std::string reply = ReadFixture("tolv_reply.pjl");
    for (int round = 0; round < 2; ++round) {
        QueryNode *query = PatCreateEmulUniqQueryInfo(record.get(), 2, PAT_EMUL_QUERY_TOLV, 0);
        ASSERT_NE(query, nullptr);
        AnswerTree answer(query, reply.c_str(), nullptr, QNODE_EMUL_ANSWER_ROOT);
        pattest::PoisonLastError();
        ASSERT_EQ(PatSetCentroDataTo(answer.root, 0, record.get(), 2), TRUE);
        EXPECT_EQ(GetLastError(), 0u);
        ASSERT_EQ(record->nEmulUniqInfo, 1u) << "one item, updated in place";
        const EmulUniqInfoItem *item = record->pEmulUniqInfo;
        EXPECT_EQ(item->wKind, PAT_EMUL_QUERY_TOLV);
        EXPECT_EQ(item->dwMemoryUsage, 1u);
        EXPECT_STREQ(item->szOther, "Default settings");
        EXPECT_EQ(item->dwImageRotation, 2u);
    }
}

TEST(PatSetCentroDataTo, RejectsBadTreesAndRecords) {
    HostRecord record;
    AnswerTree plain(nullptr, nullptr, nullptr);
    struct Case {
        QueryNode *tree;
        PrnInfoEx *info;
        DWORD revision;
    } cases[] = {{nullptr, record.get(), 2}, {plain.root, nullptr, 2}, {plain.root, record.get(), 3}};
    for (const Case &c : cases) {
        pattest::PoisonLastError();
        EXPECT_EQ(PatSetCentroDataTo(c.tree, 0, c.info, c.revision), FALSE);
        EXPECT_EQ(GetLastError(), 87u);
    }
    HostRecord small(PRNINFOEX_MIN_SIZE - 1);
    pattest::PoisonLastError();
    EXPECT_EQ(PatSetCentroDataTo(plain.root, 0, small.get(), 2), FALSE);
    EXPECT_EQ(GetLastError(), 87u);

    // An answer root of another type, or an emulation root without kind 15.
    QueryNode *status = pattest::MakeNode(QNODE_STATUS_ROOT, nullptr, 0);
    pattest::PoisonLastError();
    EXPECT_EQ(PatSetCentroDataTo(status, 0, record.get(), 2), FALSE);
    EXPECT_EQ(GetLastError(), 87u);
    pattest::FreeTree(status);
    const uint32_t kinds[] = {14, 15};
    QueryNode *wrongKind = pattest::MakeNode(QNODE_EMUL_ANSWER_ROOT, &kinds[0], 4);
    QueryNode *longKind = pattest::MakeNode(QNODE_EMUL_ANSWER_ROOT, kinds, 8);
    for (QueryNode *root : {wrongKind, longKind}) {
        pattest::PoisonLastError();
        EXPECT_EQ(PatSetCentroDataTo(root, 0, record.get(), 2), FALSE);
        EXPECT_EQ(GetLastError(), 87u);
        pattest::FreeTree(root);
    }

    // An answer root without children changes nothing.
    pattest::PoisonLastError();
    EXPECT_EQ(PatSetCentroDataTo(plain.root, 0x1234, record.get(), 0x302), TRUE);
    EXPECT_EQ(GetLastError(), 0u);
}

}  // namespace
