// Query trees as the library builds them and as hosts hand them in.
#include "containers/query_node.h"
#include "support/heap_hook.h"
#include "support/support.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace patprn;

TEST(QueryNodeCreate, FreeStandingRootHasNoLinksAndNoData) {
    QueryNode *root = QueryNodeCreate(nullptr, QNODE_QUERY_ROOT, nullptr, 0);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(GlobalSize(root), 48u);
    EXPECT_EQ(root->nType, QNODE_QUERY_ROOT);
    EXPECT_EQ(root->pParent, nullptr);
    EXPECT_EQ(root->pFirstChild, nullptr);
    EXPECT_EQ(root->pNextSibling, nullptr);
    EXPECT_EQ(root->pLastChild, nullptr);
    EXPECT_EQ(root->dwLength, 0u);
    GlobalFree(root);
}

TEST(QueryNodeCreate, CopiesDataInlineAfterTheHeader) {
    const char text[] = "@PJL INFO STATUS\r\n";
    QueryNode *node = QueryNodeCreate(nullptr, QNODE_PJL_TEXT, text, sizeof text);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(GlobalSize(node), 48u + sizeof text);
    EXPECT_EQ(node->dwLength, sizeof text);
    EXPECT_EQ(std::memcmp(QNODE_DATA(node), text, sizeof text), 0);
    GlobalFree(node);
}

TEST(QueryNodeCreate, NullDataWithLengthAllocatesNothing) {
    const long before = pattest::LiveHeapBlocks();
    EXPECT_EQ(QueryNodeCreate(nullptr, QNODE_PJL_TEXT, nullptr, 5), nullptr);
    EXPECT_EQ(pattest::LiveHeapBlocks(), before);
}

TEST(QueryNodeCreate, FailedAllocationLeavesParentsChildListAsItWas) {
    SKIP_WITHOUT_HEAP_HOOK();
    pattest::HeapHookGuard guard;
    QueryNode *root = QueryNodeCreate(nullptr, QNODE_QUERY_ROOT, nullptr, 0);
    QueryNode *a = QueryNodeCreate(root, QNODE_DEVICE_ID, nullptr, 0);
    pattest::FailNthAllocation(1);
    EXPECT_EQ(QueryNodeCreate(root, QNODE_PJL_TEXT, "x", 2), nullptr);
    EXPECT_EQ(root->pFirstChild, a);
    EXPECT_EQ(root->pLastChild, a);
    EXPECT_EQ(a->pNextSibling, nullptr);
    pattest::FreeTree(root);
}

TEST(QueryNodeAppend, ChildrenKeepTheirOrderAndKnowTheirParent) {
    QueryNode *root = QueryNodeCreate(nullptr, QNODE_QUERY_ROOT, nullptr, 0);
    QueryNode *a = QueryNodeCreate(root, 1000, nullptr, 0);
    QueryNode *b = QueryNodeCreate(root, 1001, nullptr, 0);
    QueryNode *c = QueryNodeCreate(root, 1002, nullptr, 0);
    EXPECT_EQ(QueryNodeFirstChild(root), a);
    EXPECT_EQ(root->pLastChild, c);
    EXPECT_EQ(QueryNodeNextSibling(a), b);
    EXPECT_EQ(QueryNodeNextSibling(b), c);
    EXPECT_EQ(QueryNodeNextSibling(c), nullptr);
    for (QueryNode *child : {a, b, c}) EXPECT_EQ(child->pParent, root);
    pattest::FreeTree(root);
}

TEST(QueryNodeAppend, RefusesLinkedNodesAndNullArgumentsWithoutChange) {
    QueryNode *first = QueryNodeCreate(nullptr, QNODE_QUERY_ROOT, nullptr, 0);
    QueryNode *second = QueryNodeCreate(nullptr, QNODE_QUERY_ROOT, nullptr, 0);
    QueryNode *a = QueryNodeCreate(first, 1000, nullptr, 0);
    QueryNode *b = QueryNodeCreate(first, 1000, nullptr, 0);

    EXPECT_EQ(QueryNodeAppend(second, b), 0) << "b already has a parent";
    a->pParent = nullptr;  // a still has a next sibling
    EXPECT_EQ(QueryNodeAppend(second, a), 0);
    a->pParent = first;
    EXPECT_EQ(second->pFirstChild, nullptr);
    EXPECT_EQ(second->pLastChild, nullptr);
    EXPECT_EQ(first->pFirstChild, a);
    EXPECT_EQ(first->pLastChild, b);

    EXPECT_EQ(QueryNodeAppend(nullptr, second), 0);
    EXPECT_EQ(QueryNodeAppend(second, nullptr), 0);
    pattest::FreeTree(first);
    pattest::FreeTree(second);
}

TEST(QueryNodeFindType, SearchesFromTheStartAlongSiblings) {
    QueryNode *root = QueryNodeCreate(nullptr, QNODE_ANSWER_ROOT, nullptr, 0);
    QueryNode *first = QueryNodeCreate(root, 1000, nullptr, 0);
    QueryNode *device = QueryNodeCreate(root, 1002, nullptr, 0);
    QueryNodeCreate(root, 1000, nullptr, 0);
    EXPECT_EQ(QueryNodeFindType(QueryNodeFirstChild(root), 1000), first);
    EXPECT_EQ(QueryNodeFindType(QueryNodeFirstChild(root), 1002), device);
    EXPECT_EQ(QueryNodeFindType(QueryNodeFirstChild(root), 1001), nullptr);
    EXPECT_EQ(QueryNodeFindType(nullptr, 1000), nullptr);
    EXPECT_EQ(QueryNodeFirstChild(nullptr), nullptr);
    EXPECT_EQ(QueryNodeNextSibling(nullptr), nullptr);
    pattest::FreeTree(root);
}

TEST(QueryNodeData, LengthCheckModes) {
    const uint32_t word = 15;
    QueryNode *node = QueryNodeCreate(nullptr, QNODE_EMUL_ANSWER_ROOT, &word, 4);
    void *data = QNODE_DATA(node);
    struct Case {
        uint32_t size;
        uint8_t mode;
        bool passes;
    } cases[] = {
        {4, QNODE_LEN_EXACT, true},     {8, QNODE_LEN_EXACT, false},    {2, QNODE_LEN_EXACT, false},
        {8, QNODE_LEN_UP_TO, true},     {2, QNODE_LEN_UP_TO, false},    {2, QNODE_LEN_AT_LEAST, true},
        {8, QNODE_LEN_AT_LEAST, false}, {4, 7, true},                   {5, 7, false},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(QueryNodeData(node, c.size, c.mode), c.passes ? data : nullptr)
            << "size " << c.size << " mode " << int(c.mode);
    }
    EXPECT_EQ(QueryNodeData(nullptr, 0, QNODE_LEN_EXACT), nullptr);
    GlobalFree(node);
}

TEST(QueryNodeCopyData, CopiesAtMostTheStoredBytes) {
    const char text[] = "abcd";
    QueryNode *node = QueryNodeCreate(nullptr, QNODE_PJL_TEXT, text, 4);
    char out[8];
    std::memset(out, 'Z', sizeof out);
    EXPECT_EQ(QueryNodeCopyData(node, out, 8, QNODE_LEN_UP_TO), 1);
    EXPECT_EQ(std::memcmp(out, "abcdZZZZ", 8), 0) << "only the 4 stored bytes are copied";
    std::memset(out, 'Z', sizeof out);
    EXPECT_EQ(QueryNodeCopyData(node, out, 2, QNODE_LEN_AT_LEAST), 1);
    EXPECT_EQ(std::memcmp(out, "abZZ", 4), 0);
    EXPECT_EQ(QueryNodeCopyData(node, out, 8, QNODE_LEN_EXACT), 0);
    EXPECT_EQ(QueryNodeCopyData(node, nullptr, 4, QNODE_LEN_EXACT), 0);
    GlobalFree(node);

    QueryNode *empty = QueryNodeCreate(nullptr, QNODE_DEVICE_ID, nullptr, 0);
    EXPECT_EQ(QueryNodeCopyData(empty, out, 0, QNODE_LEN_EXACT), 1);
    GlobalFree(empty);
}

TEST(QueryNodeInfo, FillsOnlyTheOutputsAskedFor) {
    QueryNode *node = QueryNodeCreate(nullptr, QNODE_PJL_TEXT, "ab", 3);
    int32_t type = -1;
    uint32_t length = pattest::kPoison;
    EXPECT_EQ(QueryNodeInfo(node, &type, nullptr), 1);
    EXPECT_EQ(type, QNODE_PJL_TEXT);
    EXPECT_EQ(QueryNodeInfo(node, nullptr, &length), 1);
    EXPECT_EQ(length, 3u);
    type = -1;
    length = pattest::kPoison;
    EXPECT_EQ(QueryNodeInfo(nullptr, &type, &length), 0);
    EXPECT_EQ(type, -1);
    EXPECT_EQ(length, pattest::kPoison);
    GlobalFree(node);
}

}  // namespace
