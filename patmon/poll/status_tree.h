// Query trees as a host builds them (global-heap nodes with inline data,
// released node by node), and the status texts the library gives for a
// record's status tree.
#pragma once

#include <cstdint>
#include <string>

#include "patprn/patprn.h"

namespace patmon {

QueryNode *MakeNode(int32_t type, const void *data, uint32_t length);
QueryNode *MakeTextNode(int32_t type, const std::string &text);
void AppendChild(QueryNode *parent, QueryNode *child);
void FreeTree(QueryNode *node);

// Owns one tree for the length of a call.
struct Tree {
    QueryNode *root;
    ~Tree() { FreeTree(root); }
};

// The text of the first child of `type`, read no further than the node.
std::string ChildText(const QueryNode *root, int32_t type);

// The status tree of one record: this host keeps one record per printer,
// so it is both the supplement (type 2) and the main record (type 1).
QueryNode *StatusTreeOf(const PrnInfoEx *record);

// The text the library gives for a status tree, in the selected language's
// code page; empty if it has none.
std::string StatusText(const QueryNode *statusTree, DWORD variant);

}  // namespace patmon
