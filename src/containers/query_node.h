// Query tree: nodes with a 48-byte header and inline data, built by the
// library for queries and by the host for answers and status input.
#pragma once

#include "patprn/patprn.h"

// Length-check modes of the node readers: the data length must equal the
// size asked for, be at most it, or be at least it.
#define QNODE_LEN_EXACT 0
#define QNODE_LEN_UP_TO 1
#define QNODE_LEN_AT_LEAST 2

namespace patprn {

// Makes a node of `type` holding a copy of `length` bytes of `data` and
// appends it to `parent` (a null parent makes a free-standing root).
// Null when `data` is null with a nonzero length, or the heap is exhausted.
QueryNode *QueryNodeCreate(QueryNode *parent, int32_t type, const void *data, uint32_t length);

// Links `child` as the new last child of `parent`; 0 (nothing changed) for
// null arguments or a child that already has a parent or a next sibling.
int QueryNodeAppend(QueryNode *parent, QueryNode *child);

// Reads type and data length into the non-null outputs; 0 for a null node.
int QueryNodeInfo(const QueryNode *node, int32_t *type, uint32_t *length);

// The node's data when `size` passes the length check of `mode`
// (QNODE_LEN_EXACT, QNODE_LEN_UP_TO, QNODE_LEN_AT_LEAST), else null.
void *QueryNodeData(const QueryNode *node, uint32_t size, uint8_t mode);

// Copies min(size, length) data bytes when the length check passes.
int QueryNodeCopyData(const QueryNode *node, void *destination, uint32_t size, uint8_t mode);

QueryNode *QueryNodeFirstChild(const QueryNode *node);
QueryNode *QueryNodeNextSibling(const QueryNode *node);

// Host trees are walked at most this many nodes along one sibling chain: no
// real tree comes near it, and a chain that loops back on itself ends.
constexpr uint32_t kQueryChainLimit = 65536;

// 1 when the sibling chain from `node` on ends within kQueryChainLimit
// nodes (a null node is an empty chain), else 0.
int QueryNodeChainBounded(const QueryNode *node);

// The first node from `node` on along the sibling chain whose type is
// `type`, within kQueryChainLimit nodes.
QueryNode *QueryNodeFindType(const QueryNode *node, int32_t type);

}  // namespace patprn
