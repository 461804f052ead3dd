#include "poll/status_tree.h"

#include <cstring>

namespace patmon {

// Query-tree nodes as the host makes them: global-heap blocks with the data
// inline, released node by node with GlobalFree.
QueryNode *MakeNode(int32_t type, const void *data, uint32_t length) {
    auto *node = static_cast<QueryNode *>(GlobalAlloc(GPTR, QNODE_HEADER_SIZE + length));
    if (node == nullptr) return nullptr;
    node->nType = type;
    node->dwLength = length;
    if (length != 0) std::memcpy(QNODE_DATA(node), data, length);
    return node;
}

QueryNode *MakeTextNode(int32_t type, const std::string &text) {
    return MakeNode(type, text.c_str(), static_cast<uint32_t>(text.size() + 1));
}

void AppendChild(QueryNode *parent, QueryNode *child) {
    if (child == nullptr) return;
    child->pParent = parent;
    if (parent->pLastChild != nullptr) {
        parent->pLastChild->pNextSibling = child;
    } else {
        parent->pFirstChild = child;
    }
    parent->pLastChild = child;
}

void FreeTree(QueryNode *node) {
    while (node != nullptr) {
        QueryNode *next = node->pNextSibling;
        FreeTree(node->pFirstChild);
        GlobalFree(node);
        node = next;
    }
}

std::string ChildText(const QueryNode *root, int32_t type) {
    for (const QueryNode *child = root->pFirstChild; child != nullptr; child = child->pNextSibling) {
        if (child->nType == type && child->dwLength != 0) {
            const char *data = static_cast<const char *>(QNODE_DATA(const_cast<QueryNode *>(child)));
            return std::string(data, strnlen(data, child->dwLength));
        }
    }
    return {};
}

QueryNode *StatusTreeOf(const PrnInfoEx *record) {
    QueryNode *root = MakeNode(QNODE_STATUS_ROOT, nullptr, 0);
    if (root == nullptr) return nullptr;
    AppendChild(root, MakeNode(QNODE_ANSWER_ROOT, &record, sizeof record));
    AppendChild(root, MakeNode(QNODE_QUERY_ROOT, &record, sizeof record));
    return root;
}

std::string StatusText(const QueryNode *statusTree, DWORD variant) {
    // Most texts fit the first buffer: one call instead of asking the size
    // first (the fleet service makes this call for every poll).
    std::string text(1024, '\0');
    DWORD length = static_cast<DWORD>(text.size());
    if (!PatGetStatusString(PAT_STATUS_SOURCE_PJL, statusTree, PAT_REVISION_STATUS, variant, text.data(), &length)) {
        if (GetLastError() != PAT_ERROR_INSUFFICIENT_BUFFER || length <= text.size()) return {};
        text.assign(length, '\0');
        if (!PatGetStatusString(PAT_STATUS_SOURCE_PJL, statusTree, PAT_REVISION_STATUS, variant, text.data(),
                                &length)) {
            return {};
        }
    }
    text.resize(strnlen(text.c_str(), text.size()));
    return text;
}

}  // namespace patmon
