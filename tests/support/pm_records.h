// Builders of the host's printer-management records (public header only):
// groups of elements as a host hands them in, and the "not available"
// pointer mark.
#pragma once

#include "patprn/patprn.h"

#include <cstring>
#include <deque>
#include <vector>

namespace pattest {

template <typename T>
T *NotAvailable() {
    return reinterpret_cast<T *>(PAT_PMINFO_POINTER_NOT_AVAILABLE);
}

// A PMGroup over elements the test owns; Add returns the element to fill.
// Raw element pointers (null or not available) can be added as well.
template <typename Element>
struct PMGroupOf {
    Element &Add() {
        Element &e = elements.emplace_back();
        std::memset(static_cast<void *>(&e), 0, sizeof e);
        pointers.push_back(&e);
        return e;
    }
    void AddPointer(void *raw) { pointers.push_back(raw); }
    PMGroup *get() {
        group.dwCount = static_cast<DWORD>(pointers.size());
        group.ppElement = pointers.empty() ? noElement : pointers.data();  // an empty group has an array too
        return &group;
    }
    std::deque<Element> elements;  // stable addresses
    std::vector<void *> pointers;
    PMGroup group{};
    void *noElement[1] = {nullptr};
};

// A tray of either layout with every datum "not available" but its name.
template <typename Tray>
Tray &AddTray(PMGroupOf<Tray> &group, const char *name) {
    Tray &t = group.Add();
    t.pName = name;
    t.dwLevel = t.dwWidth = t.dwLength = t.dwMedia = t.dwFlags = PAT_PMINFO_VALUE_NOT_AVAILABLE;
    return t;
}

}  // namespace pattest
