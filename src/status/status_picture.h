// Status picture: which of the library's bitmaps the host draws, where, in
// which order and with which raster operation, so that the drawing shows
// the printer body, its installed feed units, a marker where something
// needs attention and a caution, service or power-off sign over it all.
//
// The picture is built from the most urgent status codes and constant
// tables. Picture sets map status codes to draw entries: the printer body
// set is consulted for every code, each feed-unit set only when the unit is
// in the record's "pDeviceInfo" list. The entries are collected in a layer
// block (a MemBlock of BitmapEntry), thinned by the emulation and set rules
// on their levels, and finally put in drawing order with their raster
// operations.
#pragma once

#include "containers/elem_list.h"
#include "containers/mem_block.h"
#include "patprn/patprn.h"
#include "status/code_index.h"
#include "status/status_resolution.h"

#include <cstdint>

namespace patprn {

// Key of the record a set falls back to when no record matches a code; it
// matches no code text, exactly or as a pattern.
inline constexpr char kDefaultPictureKey[] = "STATUS_DEFAULT_BMP";

// Slots of a picture record; the entries run until the first empty name,
// so a record holds at most kPictureSlots - 1 entries.
constexpr uint32_t kPictureSlots = 12;

// One record of a picture set: a key (the decimal text of a status code, a
// code pattern whose lowercase letters match any one character, or
// kDefaultPictureKey) and the entries it adds, raster operation 0. A set's
// array ends with a record whose key is null.
struct PictureRecord {
    const char *key;
    BitmapEntry slots[kPictureSlots];
};
static_assert(sizeof(PictureRecord) == 584, "a picture record is a key pointer and 12 entry slots");

// One row of the set table: the 16-bit set key and the set's records. The
// table ends with the key kPictureSetEnd.
struct PictureSet {
    uint16_t key;
    const PictureRecord *records;
};

// Set key of the printer body, consulted for every code.
constexpr uint16_t kBodyPictureSet = 0xFFFE;
constexpr uint16_t kPictureSetEnd = 0xFFFF;

// The body set (0xFFFE, 70 records), the tray 2 unit (device code 105, 7
// records) and the tray 3 unit (106, 7 records) (picture_tables.cpp).
extern const PictureSet PictureSetTable[];

// Layer list: an ElemList of MemBlock pointers; each layer block holds
// BitmapEntry records and grows by 20 entries.
constexpr uint32_t kLayerPointersPerStep = 10;
constexpr uint32_t kLayerBlockStep = 20 * sizeof(BitmapEntry);

// A set's records by code (code_index.h) and its fallback record, the last
// one keyed kDefaultPictureKey. The array ends with null records and
// covers every set of PictureSetTable; FindPictureRecord searches any other
// record array row by row.
struct IndexedPictureSet {
    const PictureRecord *records;
    CodeIndexView index;
    const PictureRecord *fallback;
};
extern const IndexedPictureSet IndexedPictureSets[];

// The record array of the set with `key`, or null.
const PictureRecord *FindPictureSet(uint16_t key);

// 1 if the code's decimal text is the key of any record of any set. Such a
// code is matched exactly in every set; any other code by the patterns.
int IsExactPictureKey(uint32_t code);

// The first record of `records` whose key equals the code's decimal text
// (`pattern` 0) or matches it as a code pattern (`pattern` 1); when none
// does, the last kDefaultPictureKey record of the set, or null.
const PictureRecord *FindPictureRecord(const PictureRecord *records, uint32_t code, int pattern);

// Adds `entry` at the end of the layer unless an entry with the same level,
// x, y and name is already there. 0, or 8 when the block cannot grow (the
// layer is then unchanged).
DWORD AddUniqueEntry(MemBlock *layer, const BitmapEntry &entry);

// Passes the record's entries in slot order to AddUniqueEntry, stopping at
// the first failure and returning its code. A null record adds nothing.
DWORD AddRecordEntries(MemBlock *layer, const PictureRecord *record);

// Deletes every entry of `level`; the others keep their order.
void RemoveLevel(MemBlock *layer, uint8_t level);

// Appends the layer's entries in drawing order to the caller's empty block
// `out` (which may be a local): levels ascending from 1 to 255 (level 0 is
// dropped), entries of one level in the order they were added. An entry of
// odd level is drawn opaque (SRCCOPY); one of even level becomes its mask
// (name + "_B", SRCAND) followed by itself (SRCPAINT). 1, or 0 with `out`
// holding part of the steps when it cannot grow or an even-level name is
// too long to take "_B" (30 characters or more).
int OrderLayerInto(MemBlock *layer, MemBlock *out);

// Adds the table entries of every code in `codes`, in list order (a code
// right after itself adds nothing new and is passed by): the body set's
// record, then for each "pDeviceInfo" item of the context's record in
// chain order the record of that device's set, if it has one. 0, or 8 at
// the first entry that could not be added (the layer is then incomplete).
DWORD ComposeStatusEntries(const StatusContext &context, ResolvedCodes *codes, MemBlock *layer);

// Fills the first layer block of `layers` with the entries of `codes`, then
// removes the levels that do not apply: by whether the record runs a PCL
// emulation, and by STATUS_ALT_SET in the status argument. 0, or 8 when an
// entry could not be added.
DWORD ComposePicture(const StatusContext &context, ResolvedCodes *codes, ElemList *layers);

}  // namespace patprn
