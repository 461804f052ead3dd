// Conventions shared by both shapes of the host's printer-management record
// (PMInfoStatus, PMInfoConfig): which pointers and values are available,
// and how a group of elements is walked. Nothing that is not available is
// ever dereferenced.
#pragma once

#include "patprn/patprn.h"

#include <cstdint>

namespace patprn {

// Null and all ones both mean "not available".
inline bool PMPointerAvailable(const void *pointer) {
    const auto bits = reinterpret_cast<uintptr_t>(pointer);
    return bits != 0 && bits != ~static_cast<uintptr_t>(0);
}

inline bool PMValueAvailable(DWORD value) { return value != PAT_PMINFO_VALUE_NOT_AVAILABLE; }

// A group is converted only when the group, its count and its element
// array are all available; otherwise the category is left as it was.
inline bool PMGroupUsable(const PMGroup *group) {
    return PMPointerAvailable(group) && PMValueAvailable(group->dwCount) &&
           PMPointerAvailable(group->ppElement);
}

// The i-th element of a usable group, or null when the host marked that
// element not available (it is then skipped).
template <typename Element>
const Element *PMGroupElement(const PMGroup *group, DWORD i) {
    const void *element = group->ppElement[i];
    return PMPointerAvailable(element) ? static_cast<const Element *>(element) : nullptr;
}

// A text of the record, or null when it is not available.
inline const char *PMText(const char *text) { return PMPointerAvailable(text) ? text : nullptr; }

}  // namespace patprn
