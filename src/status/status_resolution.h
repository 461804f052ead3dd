// Status resolution: which of a printer's current status codes are the most
// urgent. Every code is ranked by the constant priority table, and the codes
// of the best (lowest) priority are kept in ascending order. The status
// text, the status picture and the help file name all start from that
// result.
//
// The status exports read their input from a status tree: a root of type
// QNODE_STATUS_ROOT whose children carry 8-byte pointers to host-owned
// PrnInfoEx records. BuildStatusView merges those records into a StatusView;
// ResolveStatusCodes then works from a StatusContext that points at the view
// (or, for the help file name, straight at the host's PrnInfoEx).
#pragma once

#include "containers/elem_list.h"
#include "patprn/patprn.h"

#include <cstdint>

namespace patprn {

struct CodeIndexView;

// The code of a printer that does not answer (the record's bNoResponse).
constexpr uint32_t STATUS_NO_RESPONSE = PAT_STATUS_NO_RESPONSE;
// Bit 31 of the status argument: the alternate presentation rules.
constexpr uint32_t STATUS_ALT_SET = PAT_STATUS_ALT_SET;
// Priority of a code that no table row matches; no row holds it.
constexpr uint16_t PRIORITY_NONE = 0xFFFF;

// Size of the buffer a status code's "%lu" text is written into (at most
// 10 digits and the terminator).
constexpr uint32_t kStatusCodeTextSize = 16;

// The merged status record: the first 280 bytes of a PrnInfoEx, a shallow
// copy whose list heads and string pointers point into the host's records.
// Nothing reachable from it is ever changed or released. Its dwSize is the
// main record's (at least 404) although only these 280 bytes exist, so it
// must never be handed to anything that reads past byte 280.
using StatusView = PrnInfoEx;
static_assert(sizeof(StatusView) == 280, "the status view is the first 280 bytes of a PrnInfoEx");

// What resolution and the status text, picture and help name read: the
// whole 32-bit status argument and the record (a StatusView, or the host's
// PrnInfoEx for the help file name).
struct StatusContext {
    uint32_t status;
    const PrnInfoEx *record;
};

// ResolvedCodes: an ElemList of 32-bit codes (element size 4), created by
// the caller with these arguments and empty on entry.
constexpr uint32_t kResolvedCodeSize = 4;
constexpr uint32_t kResolvedCodesPerStep = 20;
constexpr uint32_t kResolvedCodesInitialSteps = 1;
using ResolvedCodes = ElemList;

// One row of the priority table: a code key (decimal digits, a lowercase
// letter matching any one character) and its priority, lower = more urgent.
// The table ends with a row whose key is null.
struct StatusPriorityRow {
    const char *key;
    uint16_t priority;
};

// One row of the index from the whole 32-bit status argument to its
// priority table; ends with the status 0xFFFFFFFF.
struct PriorityIndexRow {
    uint32_t status;
    const StatusPriorityRow *table;
};

// Most urgent first (status_priority_table.cpp).
extern const StatusPriorityRow StatusPriorityTable[];
// StatusPriorityTable by code (code_index.h); LookupStatusPriority uses it
// for that table and searches any other table row by row.
extern const CodeIndexView StatusPriorityIndex;
// Status arguments 1 and 0x80000001, both naming StatusPriorityTable.
extern const PriorityIndexRow PriorityTableIndex[];

// Writes `code` as unsigned decimal text ("%lu" on a 32-bit value, so
// 0xFFFFFF02 is "4294967042") into `text`, which holds kStatusCodeTextSize
// bytes. This is the text every code key is compared with.
void StatusCodeText(uint32_t code, char *text);

// The priority table of the whole 32-bit status argument, or null.
const StatusPriorityRow *PriorityTableFor(uint32_t status);

// Fills the caller's view from the status tree under `root`:
//   - the main child is the first of type 1 (status source 1) or of the
//     type given by the root's data length (status source 0x8000), the
//     supplement child the first of type 2; each carries exactly 8 bytes,
//     a pointer to a PrnInfoEx of size 404 or more;
//   - the view starts as the main record's first 280 bytes; the supplement
//     then gives the engine-status list, each of the six strings, the
//     loaded emulations, fonts, trays, output bins, devices and
//     emulation-specific items wherever it has them (non-null), and always
//     dwMemorySize and bModelCode.
// 0, or 87 (view untouched) for a status source other than 1 or 0x8000, a
// root that is null or not of type 10, a missing or wrongly sized child,
// a null record pointer or a record size below 404; 13 (view untouched)
// when the root's children run past kQueryChainLimit nodes.
DWORD BuildStatusView(uint32_t status, const QueryNode *root, StatusView *view);

// True when `text` and `key` have the same length and at every position the
// characters are equal or the key's is a lowercase letter "a" to "z".
// Null arguments never match.
int CodePatternMatch(const char *text, const char *key);

// The priority of `code` in `table`: the first row whose key equals the
// code text exactly, else the first row whose key matches it as a pattern,
// so an exact key always beats a pattern. Returns 1 when a row matched;
// 0 with PRIORITY_NONE when none did or the table is null. `priority` may
// be null.
int LookupStatusPriority(const StatusPriorityRow *table, uint32_t code, uint16_t *priority);

// Fills the empty `result` with the codes of the record's "pEngineStatus"
// list (and STATUS_NO_RESPONSE when bNoResponse is set) whose priority is
// the best of them all, in ascending unsigned order, duplicates kept. When
// no code matches any row, every code has PRIORITY_NONE and all of them
// stay. A record without codes and with the flag clear gives an empty
// result and 0.
// Returns:
//   0           success (also for an empty result);
//   0x2000FFFF  the status argument has no priority table (only 1 and
//               0x80000001 have one); the result stays empty;
//   8           the result list could not grow: it holds only part of the
//               codes and must not be presented as the printer's state;
//   87          null context record or result.
DWORD ResolveStatusCodes(const StatusContext &context, ResolvedCodes *result);

}  // namespace patprn
