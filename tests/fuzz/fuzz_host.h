// What every fuzz target shares: reading the fuzz bytes, building host
// input the way a host builds it (each block from GlobalAlloc exactly as big
// as declared, so that the sanitizer stops any read beyond it), and the
// checks made after each export call. Any broken promise ends the run with
// a message on stderr and abort(), which the fuzzer reports as a crash.
#pragma once

#include "patprn/patprn.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace patfuzz {

// The fuzz bytes, consumed from the front. Past the end every read yields
// zeros, so a short input still builds a complete (mostly empty) input.
class FuzzInput {
public:
    FuzzInput(const uint8_t *data, size_t size) : data_(data), size_(size) {}
    uint8_t Byte();
    uint16_t U16();
    uint32_t U32();
    // Up to `count` bytes (fewer at the end of the input).
    const uint8_t *Bytes(size_t count, size_t *taken);
    // The bytes up to the next kSectionSeparator (consumed) or the end.
    const uint8_t *Section(size_t *length);
    bool Empty() const { return position_ >= size_; }

private:
    const uint8_t *data_;
    size_t size_;
    size_t position_ = 0;
};

// Separates the texts of a structured input (PJL replies, device IDs);
// chosen so that no reply or device ID of a real printer contains it.
constexpr char kSectionSeparator[] = "\n--\n";

// A global-heap block of exactly `bytes` bytes, zero-filled; the caller frees it.
void *HostAlloc(size_t bytes);

// A zero-terminated text of exactly length + 1 bytes.
char *HostText(const uint8_t *bytes, size_t length);

// Host-built tree nodes: a 48-byte header and exactly `length` data bytes.
QueryNode *HostNode(int32_t type, const void *data, uint32_t length);
// A node whose header declares `length` data bytes of which none are stored
// (a status root, whose length field carries a value of its own).
QueryNode *HostBareNode(int32_t type, uint32_t length);
void HostAttach(QueryNode *parent, QueryNode *child);
// Frees a whole tree node by node, as the host does.
void HostFreeTree(QueryNode *root);

// A PrnInfoEx whose dwSize is `declared`, allocated with exactly that many
// bytes (at least the 4 of dwSize itself), zero-filled.
PrnInfoEx *HostRecord(uint32_t declared);
// The record size a selector byte asks for: mostly the smallest accepted
// size, sometimes one a little larger or one that must be rejected.
uint32_t RecordSizeFrom(uint8_t selector);
// True when the block holds the record's 280 bytes of lists and strings.
bool RecordHasBody(const PrnInfoEx *record);
// Frees every item and string hung into the record, then the record.
void HostFreeRecord(PrnInfoEx *record);

// Appends a zero-filled host item of `size` bytes to the list at
// (head, count) and returns it.
void *HostAppendItem(void *head, DWORD *count, uint32_t size);

// The record's promise after any export call: every list head is null
// exactly when its count is 0, every count equals its chain length, every
// item is as big as its cbItem says and as its list's item record, and
// every string is a heap block holding its terminating zero.
void CheckRecord(const PrnInfoEx *record, const char *after);

// The record's 280 bytes of counts, heads and strings, to show that a
// failure which promises to leave the record untouched did so.
struct RecordSnapshot {
    uint8_t bytes[sizeof(PrnInfoEx)];
    bool taken;
};
RecordSnapshot SnapshotOf(const PrnInfoEx *record);
void CheckUntouched(const PrnInfoEx *record, const RecordSnapshot &before, const char *after);

// An export's result agrees with the last-error value it set: success
// with 0, failure with a code (never the poison left before the call).
constexpr DWORD kPoison = 0xDEADBEEF;
void CheckResult(bool succeeded, const char *exportName);

// A text result of the in/out length protocol: on success the output holds
// exactly `needed` bytes with the terminator last, within `capacity`.
void CheckTextResult(bool succeeded, const char *output, DWORD capacity, DWORD needed, const char *exportName);

// Fails the n-th global-heap allocation of the next export call when the
// selector's top two bits equal `tag` (a quarter of its values), so the
// paths for an exhausted heap are fuzzed too. HeapHealed switches it off.
constexpr uint8_t kHeapFailureTag = 0xC0;
void HeapFailureFrom(uint8_t selector, uint8_t tag = kHeapFailureTag);
void HeapHealed();

// Back to the language the library starts with, so that each input runs
// alike whatever the inputs before it selected.
void ResetLanguage();

// Global-heap blocks alive now; every target ends where it started.
long LiveBlocks();
void CheckNoLeak(long before, const char *target);

// Reports a broken promise and aborts.
[[noreturn]] void Fail(const char *what, const char *detail);

}  // namespace patfuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
