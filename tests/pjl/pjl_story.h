// Builders for PJL dialogue tests, on the public header only, so that the
// host-story tests through the real library use them too.
#pragma once

#include "patprn/patprn.h"
#include "support/support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace pjltest {

// A fixture file of tests/fixtures/pjl, byte for byte.
inline std::string ReadFixture(const std::string &name) {
    std::ifstream file(std::string(PATPRN_FIXTURES) + "/pjl/" + name, std::ios::binary);
    EXPECT_TRUE(file.good()) << "fixture " << name;
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// The text of a root's first child of `type`, without its terminating zero.
inline std::string ChildText(const QueryNode *root, int32_t type) {
    for (const QueryNode *child = root->pFirstChild; child != nullptr; child = child->pNextSibling) {
        if (child->nType != type) continue;
        std::string text(static_cast<const char *>(QNODE_DATA(const_cast<QueryNode *>(child))), child->dwLength);
        if (!text.empty() && text.back() == '\0') text.pop_back();
        return text;
    }
    return std::string();
}

// An answer tree as the host builds it: root, the query it answers (may be
// null; released with the tree), the replies and the device ID (each left
// out when null).
struct AnswerTree {
    QueryNode *root;
    AnswerTree(QueryNode *query, const char *replies, const char *deviceId, int32_t rootType = QNODE_ANSWER_ROOT) {
        const uint32_t kind = PAT_EMUL_QUERY_TOLV;
        root = pattest::MakeNode(rootType, &kind, rootType == QNODE_EMUL_ANSWER_ROOT ? sizeof kind : 0);
        if (query != nullptr) pattest::AppendChild(root, query);
        if (replies != nullptr) pattest::AppendChild(root, pattest::MakeTextNode(QNODE_PJL_TEXT, replies));
        if (deviceId != nullptr) pattest::AppendChild(root, pattest::MakeTextNode(QNODE_DEVICE_ID, deviceId));
    }
    ~AnswerTree() { pattest::FreeTree(root); }
    AnswerTree(const AnswerTree &) = delete;
    AnswerTree &operator=(const AnswerTree &) = delete;
};

inline std::string N(unsigned long value) { return std::to_string(value); }
inline void Add(std::string &out, const std::string &part) {
    if (!out.empty()) out += "; ";
    out += part;
}

// Appends "<name> <item> <item>..." for a non-empty list, and checks that
// the head is null exactly when the count is 0 and the count is the
// chain's length.
template <typename Item, typename Format>
void DescribeList(std::string &out, const std::string &name, DWORD count, const Item *head, Format format) {
    EXPECT_EQ(head == nullptr, count == 0) << name;
    std::string items;
    DWORD length = 0;
    for (auto *item = reinterpret_cast<const InfoItem *>(head); item != nullptr; item = item->next, ++length) {
        items += ' ';
        items += format(*reinterpret_cast<const Item *>(item));
    }
    EXPECT_EQ(length, count) << name;
    if (count != 0) Add(out, name + items);
}

// What the record holds, in one line a test compares whole: "trays
// <tray>:<size>/<level>/<media>/<flags>; devices; bins/<extra> <bin>:<state>;
// emuls <code>=<version>; mem <KB>; sys= main= vps= maker= model=(<code>)
// desc=; status <code>'<text>'; state <state>/<not state>/<attention>;
// counter <kind>:<value>; supplies; tolv <kind>:<usage>/<other>/<rotation>".
// Empty lists and null strings are left out.
inline std::string Describe(const PrnInfoEx *r) {
    std::string out;
    DescribeList(out, "trays", r->nTrayInfo, r->pTrayInfo, [](const TrayInfoItem &t) {
        return N(t.wTray) + ":" + N(t.wPaperSize) + "/" + N(t.wPaperLevel) + "/" + N(t.wMediaType) + "/" + N(t.dwFlags);
    });
    DescribeList(out, "devices", r->nDeviceInfo, r->pDeviceInfo, [](const DeviceInfoItem &d) { return N(d.wDevice); });
    DescribeList(out, std::string("bins/") + N(r->dwOutBinExtra), r->nOutBinInfo, r->pOutBinInfo,
                 [](const OutBinInfoItem &b) { return N(b.wBin) + ":" + N(b.wBinState); });
    DescribeList(out, "emuls", r->nLoadedEmul, r->pLoadedEmul,
                 [](const LoadedEmulItem &e) { return N(e.wEmul) + "=" + e.szVersion; });
    if (r->dwMemorySize != 0) Add(out, std::string("mem ") + N(r->dwMemorySize));
    const std::pair<const char *, const char *> strings[] = {
        {"sys=", r->pSYSVersion}, {"main=", r->pMainProgVersion}, {"vps=", r->pVPSVersion},
        {"maker=", r->pMakerName}, {"model=", r->pModelName},      {"desc=", r->pDescription}};
    for (const auto &[name, text] : strings) {
        if (text != nullptr) Add(out, std::string(name) + text + (text == r->pModelName ? std::string("(") + N(r->bModelCode) + ")" : ""));
    }
    DescribeList(out, "status", r->nEngineStatus, r->pEngineStatus, [](const EngineStatusItem &e) {
        EXPECT_EQ(e.wCode, e.dwCode & 0xFFFFu);
        return N(e.dwCode) + "'" + e.szText + "'";
    });
    if (r->nEngineStatus != 0 || r->bState != 0) {
        Add(out, std::string("state ") + N(r->bState) + "/" + N(r->bNotState) + "/" + N(r->bAttention));
    }
    DescribeList(out, "counter", r->nCounterInfo, r->pCounterInfo,
                 [](const CounterInfoItem &c) { return N(c.wCounter) + ":" + N(c.dwValue); });
    DescribeList(out, "supplies", r->nSupplyInfo, r->pSupplyInfo,
                 [](const SupplyInfoItem &c) { return N(c.wSupply) + ":" + N(c.dwValue); });
    DescribeList(out, "tolv", r->nEmulUniqInfo, r->pEmulUniqInfo, [](const EmulUniqInfoItem &e) {
        return N(e.wKind) + ":" + N(e.dwMemoryUsage) + "/" + e.szOther + "/" + N(e.dwImageRotation);
    });
    return out;
}

// Interprets replies and a device ID (each left out when empty) without a
// query attached, so every byte is read; the call must succeed.
inline std::string After(PrnInfoEx *record, const std::string &replies, const std::string &deviceId = "") {
    AnswerTree answer(nullptr, replies.empty() ? nullptr : replies.c_str(), deviceId.empty() ? nullptr : deviceId.c_str());
    pattest::PoisonLastError();
    EXPECT_EQ(PatSetCentroDataTo(answer.root, 0, record, PAT_REVISION_PJL), TRUE);
    EXPECT_EQ(GetLastError(), 0u);
    return Describe(record);
}

}  // namespace pjltest
