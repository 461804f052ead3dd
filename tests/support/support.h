// Shared test helpers: builders of query trees and host records, the heap
// failure hook, and poisoning of outputs and the last-error value.
#pragma once

#include "patprn/patprn.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pattest {

// Value written into outputs and the last-error slot before each call, so
// that a test sees whether the export wrote them.
constexpr DWORD kPoison = 0xDEADBEEF;

inline void PoisonLastError() { SetLastError(kPoison); }

// A zero-filled PrnInfoEx of `size` bytes (at least 404), owned by the test;
// ReleaseLists frees every item and string the library hung into it.
struct HostRecord {
    explicit HostRecord(DWORD size = PAT_PRNINFOEX_MIN_SIZE);
    ~HostRecord();
    HostRecord(const HostRecord &) = delete;
    HostRecord &operator=(const HostRecord &) = delete;
    PrnInfoEx *get() { return reinterpret_cast<PrnInfoEx *>(bytes.data()); }
    PrnInfoEx *operator->() { return get(); }
    void ReleaseLists();
    std::vector<uint8_t> bytes;
};

// Host-built query-tree nodes on the global heap, as a host would make them.
QueryNode *MakeNode(int32_t type, const void *data, uint32_t length);
QueryNode *MakeTextNode(int32_t type, const std::string &text);  // stores the terminating zero
QueryNode *AppendChild(QueryNode *parent, QueryNode *child);
// Frees a whole tree node by node with GlobalFree, as the host does.
void FreeTree(QueryNode *root);
// Number of items in a PrnInfoEx list chain.
size_t ChainLength(const void *head);

// A status tree as the host builds it for the status exports: a
// QNODE_STATUS_ROOT whose data length is `rootLength` (zero bytes), a
// child of type 2 holding the pointer `supplement` and a child of type
// `mainType` holding the pointer `main`; a null record leaves its child out.
QueryNode *MakeStatusTree(const PrnInfoEx *main, const PrnInfoEx *supplement, int32_t mainType = 1,
                          uint32_t rootLength = 0);
// Appends an EngineStatusItem with `code` (and `text`) to the record's
// "pEngineStatus" list as a host does; HostRecord releases it.
void AddStatusCode(PrnInfoEx *record, DWORD code, const char *text = "");
// Appends one item per code, in order, walking the list once: for records
// of many thousands of codes.
void AddStatusCodes(PrnInfoEx *record, const std::vector<DWORD> &codes);
// Appends a DeviceInfoItem with `device` (105 the tray 2 unit, ...) to the
// record's "pDeviceInfo" list, and a LoadedEmulItem with `emulation` (16,
// 17, 18 the PCL emulations) to its "pLoadedEmul" list, as a host does;
// HostRecord releases them.
void AddDeviceCode(PrnInfoEx *record, uint16_t device);
void AddEmulationCode(PrnInfoEx *record, uint16_t emulation);

}  // namespace pattest
