// Builders for PJL dialogue tests, on the public header only, so that the
// host-story tests through the real library can use them too.
#pragma once

#include "patprn/patprn.h"
#include "support/support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace pjltest {

// A fixture file of tests/fixtures/pjl, byte for byte.
inline std::string ReadFixture(const std::string &name) {
    std::ifstream file(std::string(PATPRN_FIXTURES) + "/pjl/" + name, std::ios::binary);
    EXPECT_TRUE(file.good()) << "fixture " << name;
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// The data of the first child of `type`, as text (without the node's
// terminating zero); empty if there is no such child.
inline std::string ChildText(const QueryNode *root, int32_t type) {
    for (const QueryNode *child = root->pFirstChild; child != nullptr; child = child->pNextSibling) {
        if (child->nType != type) continue;
        const char *data = static_cast<const char *>(QNODE_DATA(const_cast<QueryNode *>(child)));
        std::string text(data, child->dwLength);
        if (!text.empty() && text.back() == '\0') text.pop_back();
        return text;
    }
    return std::string();
}

// The node types of a root's children, in order.
inline std::vector<int32_t> ChildTypes(const QueryNode *root) {
    std::vector<int32_t> types;
    for (const QueryNode *child = root->pFirstChild; child != nullptr; child = child->pNextSibling) {
        types.push_back(child->nType);
    }
    return types;
}

// An answer tree as the host builds it: the root, the query tree it
// answers (may be null; it becomes part of the answer tree and is released
// with it), the PJL replies and the device ID (each left out when null).
struct AnswerTree {
    QueryNode *root;
    AnswerTree(QueryNode *query, const char *replies, const char *deviceId, int32_t rootType = QNODE_ANSWER_ROOT) {
        if (rootType == QNODE_EMUL_ANSWER_ROOT) {
            const uint32_t kind = PAT_EMUL_QUERY_TOLV;
            root = pattest::MakeNode(rootType, &kind, sizeof kind);
        } else {
            root = pattest::MakeNode(rootType, nullptr, 0);
        }
        if (query != nullptr) pattest::AppendChild(root, query);
        if (replies != nullptr) pattest::AppendChild(root, pattest::MakeTextNode(QNODE_PJL_TEXT, replies));
        if (deviceId != nullptr) pattest::AppendChild(root, pattest::MakeTextNode(QNODE_DEVICE_ID, deviceId));
    }
    ~AnswerTree() { pattest::FreeTree(root); }
    AnswerTree(const AnswerTree &) = delete;
    AnswerTree &operator=(const AnswerTree &) = delete;
};

// Every list head of the record is null exactly when its count is 0, and
// every count is the length of its chain.
inline void ExpectListsConsistent(PrnInfoEx *r) {
    struct List {
        const char *name;
        DWORD count;
        const void *head;
    } lists[] = {
        {"pEngineStatus", r->nEngineStatus, r->pEngineStatus}, {"pLoadedEmul", r->nLoadedEmul, r->pLoadedEmul},
        {"pLoadedFont", r->nLoadedFont, r->pLoadedFont},       {"pTrayInfo", r->nTrayInfo, r->pTrayInfo},
        {"pOutBinInfo", r->nOutBinInfo, r->pOutBinInfo},       {"pDeviceInfo", r->nDeviceInfo, r->pDeviceInfo},
        {"pEmulUniqInfo", r->nEmulUniqInfo, r->pEmulUniqInfo}, {"pCounterInfo", r->nCounterInfo, r->pCounterInfo},
        {"pSupplyInfo", r->nSupplyInfo, r->pSupplyInfo},
    };
    for (const List &list : lists) {
        EXPECT_EQ(list.head == nullptr, list.count == 0) << list.name;
        EXPECT_EQ(pattest::ChainLength(list.head), static_cast<size_t>(list.count)) << list.name;
    }
}

// The items of a list, in order.
template <typename Item>
std::vector<const Item *> Items(const Item *head) {
    std::vector<const Item *> items;
    for (const InfoItem *item = reinterpret_cast<const InfoItem *>(head); item != nullptr; item = item->next) {
        items.push_back(reinterpret_cast<const Item *>(item));
    }
    return items;
}

}  // namespace pjltest
