// Status text: the words a status monitor shows for the printer's current
// state, in the selected language. The most urgent status codes (status
// resolution) become message candidates, StatusEntry records; the message
// of the first candidate is loaded, and its "%s" places are filled with
// lists of localized item names (trays, covers, toner colours) gathered
// from all candidates.
//
// Every working list lives for one call and is released on every path.
// Where the status text cannot be completed because memory ran out or a
// name could not be loaded, the call fails: a message with names silently
// missing would tell the user something that is not the printer's state.
#pragma once

#include "containers/elem_list.h"
#include "status/status_resolution.h"

#include <cstdint>

namespace patprn {

struct CodeIndexView;

// One message candidate: which message to show and which item it names.
struct StatusEntry {
    uint32_t key;    // message key of the message catalogues (groups 1 and 2)
    uint32_t item;   // item code 1-13 named in the message (catalogue group 3), 0 for none
    char text[256];  // extra text: empty except the service code of a service call
};
static_assert(sizeof(StatusEntry) == 264, "a status entry is 264 bytes");

// The entry list: an ElemList of StatusEntry records.
constexpr uint32_t kStatusEntriesPerStep = 20;
constexpr uint32_t kStatusEntriesInitialSteps = 1;

// Buffer sizes: the composed text, one list of names, the separator.
constexpr uint32_t kStatusTextSize = 512;
constexpr uint32_t kItemListSize = 256;
constexpr uint32_t kSeparatorSize = 16;
// String number of the separator between the names of one list (", ").
constexpr uint32_t kSeparatorString = 3500;

// The service call: its message gets the printer's service code appended.
constexpr uint32_t kServiceCallCode = 40800;

// One row of a message table: a code key (decimal digits; a lowercase
// letter matches any one character), the message key it gives and the item
// the message names (0 for none). A table ends with a row whose key is null.
struct StatusMessageRow {
    const char *key;
    uint32_t messageKey;
    uint32_t item;
};

// The primary message table and the one used when the status argument
// carries STATUS_ALT_SET; status_message_tables.cpp.
extern const StatusMessageRow StatusMessageTable[];
extern const StatusMessageRow AltStatusMessageTable[];

// Which item codes may fill which "%s" of a message, as a flat run of
// 32-bit words: a message key, then one list of item codes per placeholder,
// each list ended by 0, the row ended by an empty list (a further 0); the
// table ends with the key 0. A message key without a row lets every item
// fill every placeholder.
extern const uint32_t PlaceholderItemTable[];

// The message table for the status argument: the alternate one when bit 31
// is set.
const StatusMessageRow *StatusMessageTableFor(uint32_t status);

// The index of StatusMessageTableFor(status) by code (code_index.h).
const CodeIndexView &StatusMessageIndexFor(uint32_t status);

// Fills the empty entry list from the most urgent codes of the context's
// record, code by code in ascending order, a code the record repeats once.
// Returns 0; the code of ResolveStatusCodes (0x2000FFFF without a priority
// table, 8 or 87); 8 when a working list cannot be created or an entry
// cannot be appended.
DWORD BuildStatusEntries(const StatusContext &context, ElemList *entries);

// The entries of one code:
// - 30400, 30409, 40100, 40141: one entry; with a PCL emulation loaded its
//   key is the code + 1000000 and it names the left cover (40141) or the
//   front cover unit (40100); otherwise the key is the code, naming nothing;
// - 40800, the service call: one entry carrying the service code from the
//   text of the record's first 40800 status item;
// - any other code: MatchMessageRows.
// 0, or 8 when an entry cannot be appended.
DWORD ExpandStatusCode(const StatusContext &context, uint32_t code, ElemList *entries);

// Appends an entry (message key, item) for every row of the context's
// message table whose key equals the code text; when none does, for every
// row whose key matches it as a pattern. A code without a row adds nothing.
// 0, or 8 when an entry cannot be appended.
DWORD MatchMessageRows(const StatusContext &context, uint32_t code, ElemList *entries);

// The service code at the end of a status item's text: from the last "SC"
// of `text` to its end, at most capacity - 1 characters, always
// terminated; "" when there is no "SC". `text` is read no further than
// `textSize` bytes (the item's text field need not hold a terminator).
// 0, or 87 for a null text or output or a capacity of 0.
DWORD ExtractServiceCode(const char *text, uint32_t textSize, char *output, uint32_t capacity);

// The text of the first entry in the catalogue chosen by the status
// argument (group 2 with STATUS_ALT_SET, else 1) and the variant's low 8
// bits (1 short label, 2 detailed message), with its placeholders filled by
// FillPlaceholders. 0; or, with output "", 0x2000FFFF for a variant without
// a catalogue, an empty entry list or a message that is not stored, and the
// code of FillPlaceholders or of the string loader.
DWORD ComposeStatusText(const StatusContext &context, ElemList *entries, uint32_t variant, char *output,
                        uint32_t capacity);

// Copies `message` into `output` (capacity bytes, at least 1), replacing the
// n-th "%s" with BuildItemList(entries, n). A list that does not fit in
// what is left of the output is dropped without a trace and the next "%s"
// receives it instead; ordinary characters that do not fit are cut off.
// 0; or, with output "", the code of a list that could not be built.
DWORD FillPlaceholders(const char *message, ElemList *entries, char *output, uint32_t capacity);

// The localized names of the items that may fill placeholder `ordinal`
// (1-based), in the order of the item catalogue, each item once, joined by
// the separator, into `output` (capacity bytes, at least 1). 0 (also for
// no names: ""); or, with output "":
//   8                  more items than the item catalogue has;
//   122                the names do not fit in `capacity`;
//   0x2000FFFF         the item catalogue or an item code is missing;
//   the loader's code  the separator or a name cannot be loaded.
DWORD BuildItemList(ElemList *entries, uint32_t ordinal, char *output, uint32_t capacity);

// The in/out length protocol of the text exports: stores the size `text`
// needs (terminator included) in *length and copies it into `output` when
// the size the host gave on entry holds it. 0, or 122 for a null output or
// a short buffer (output untouched).
DWORD DeliverText(const char *text, char *output, DWORD *length);

}  // namespace patprn
