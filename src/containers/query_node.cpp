#include "containers/query_node.h"

#include "platform/win32.h"

#include <cstring>

namespace patprn {

namespace {

bool LengthCheckPasses(uint32_t size, uint32_t length, uint8_t mode) {
    switch (mode) {
        case QNODE_LEN_UP_TO: return size >= length;
        case QNODE_LEN_AT_LEAST: return size <= length;
        default: return size == length;
    }
}

}  // namespace

QueryNode *QueryNodeCreate(QueryNode *parent, int32_t type, const void *data, uint32_t length) {
    if (data == nullptr && length != 0) return nullptr;
    auto *node = static_cast<QueryNode *>(GlobalAlloc(GMEM_FIXED, SIZE_T{QNODE_HEADER_SIZE} + length));
    if (node == nullptr) return nullptr;
    // Every header byte is written, reserved words included: the host
    // owns the node and may read all of it.
    std::memset(node, 0, QNODE_HEADER_SIZE);
    node->nType = type;
    node->pParent = nullptr;
    node->pFirstChild = nullptr;
    node->pNextSibling = nullptr;
    node->pLastChild = nullptr;
    node->dwLength = length;
    if (data != nullptr && length != 0) std::memcpy(QNODE_DATA(node), data, length);
    QueryNodeAppend(parent, node);
    return node;
}

int QueryNodeAppend(QueryNode *parent, QueryNode *child) {
    if (parent == nullptr || child == nullptr) return 0;
    if (child->pParent != nullptr || child->pNextSibling != nullptr) return 0;
    child->pParent = parent;
    if (parent->pLastChild != nullptr) {
        parent->pLastChild->pNextSibling = child;
    } else {
        parent->pFirstChild = child;
    }
    parent->pLastChild = child;
    return 1;
}

int QueryNodeInfo(const QueryNode *node, int32_t *type, uint32_t *length) {
    if (node == nullptr) return 0;
    if (type != nullptr) *type = node->nType;
    if (length != nullptr) *length = node->dwLength;
    return 1;
}

void *QueryNodeData(const QueryNode *node, uint32_t size, uint8_t mode) {
    if (node == nullptr || !LengthCheckPasses(size, node->dwLength, mode)) return nullptr;
    return QNODE_DATA(const_cast<QueryNode *>(node));
}

int QueryNodeCopyData(const QueryNode *node, void *destination, uint32_t size, uint8_t mode) {
    if (node == nullptr || destination == nullptr || !LengthCheckPasses(size, node->dwLength, mode)) return 0;
    const uint32_t n = size < node->dwLength ? size : node->dwLength;
    if (n != 0) std::memcpy(destination, QNODE_DATA(const_cast<QueryNode *>(node)), n);
    return 1;
}

QueryNode *QueryNodeFirstChild(const QueryNode *node) { return node != nullptr ? node->pFirstChild : nullptr; }

QueryNode *QueryNodeNextSibling(const QueryNode *node) { return node != nullptr ? node->pNextSibling : nullptr; }

int QueryNodeChainBounded(const QueryNode *node) {
    for (uint32_t walked = 0; node != nullptr; node = node->pNextSibling) {
        if (++walked > kQueryChainLimit) return 0;
    }
    return 1;
}

QueryNode *QueryNodeFindType(const QueryNode *node, int32_t type) {
    for (uint32_t walked = 0; node != nullptr && walked < kQueryChainLimit; node = node->pNextSibling, ++walked) {
        if (node->nType == type) return const_cast<QueryNode *>(node);
    }
    return nullptr;
}

}  // namespace patprn
