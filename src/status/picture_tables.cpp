// The picture tables: for each status code, the bitmaps that show it.
//
// The body set is consulted for every code; a feed-unit set only while the
// unit is installed (its device code in "pDeviceInfo"). Keys are code
// texts, or patterns whose lowercase letters match any one character
// ("461yy": a paper type mismatch in tray 1, whatever the media), or
// STATUS_DEFAULT_BMP, what a set shows for a code it has no record of.
// Entries are (name, x, y, level) with raster operation 0: OrderLayerInto sets
// it from the level. The levels say what an entry is:
//   1         the printer body, opaque;
//   20, 30    the tray 2 and tray 3 units;
//   100-116   markers at the place that needs attention;
//   220-248   signs and markers shown only with or without a PCL emulation
//             or STATUS_ALT_SET (the rules of ComposePicture);
//   250       a caution, service or power-off sign, always shown.
// Each set lists its fallback first, then its records in their established
// order. Keys are unique in a set, no code text matches two of its pattern
// keys, and a code that is some record's exact key is never matched by
// pattern, so that order changes no result.
#include "status/status_picture.h"

#include "status/code_index.h"

#include <cstddef>
#include <iterator>

namespace patprn {

namespace {

template <size_t N>
constexpr BitmapEntry Entry(const char (&name)[N], int32_t x, int32_t y, uint8_t level) {
    static_assert(N <= PAT_BITMAP_NAME_SIZE, "a bitmap name fits its field");
    BitmapEntry entry{};
    for (size_t i = 0; i < N; ++i) entry.szName[i] = name[i];
    entry.nX = x;
    entry.nY = y;
    entry.bLevel = level;
    return entry;
}

// The printer body, under every picture.
constexpr BitmapEntry kBase = Entry("BM_BASE", 0, 0, 1);

constexpr PictureRecord kBodyRecords[] = {
    {"STATUS_DEFAULT_BMP", {kBase}},
    {"4294967042", {kBase, Entry("BM_POWEROFF", 0, 0, 250)}},
    {"40979", {kBase, Entry("BM_CAUTION", 0, 0, 250)}},
    {"40991", {kBase, Entry("BM_POINT_2", 113, 69, 108)}},
    {"40992", {kBase, Entry("BM_POINT_8", 114, 112, 112)}},
    {"461yy", {kBase, Entry("BM_POINT_2", 113, 69, 108)}},
    {"462yy", {kBase, Entry("BM_POINT_8", 114, 112, 112)}},
    {"471yy", {kBase, Entry("BM_POINT_2", 113, 69, 108)}},
    {"472yy", {kBase, Entry("BM_POINT_8", 114, 112, 112)}},
    {"481yy", {kBase, Entry("BM_POINT_2", 113, 69, 108)}},
    {"482yy", {kBase, Entry("BM_POINT_8", 114, 112, 112)}},
    {"450yy", {kBase, Entry("BM_CAUTION", 0, 0, 250)}},
    {"411yy", {kBase, Entry("BM_POINT_2", 113, 69, 108)}},
    {"412yy", {kBase, Entry("BM_POINT_8", 114, 112, 112)}},
    {"41100", {kBase, Entry("BM_POINT_2", 113, 69, 108)}},
    {"41200", {kBase, Entry("BM_POINT_8", 114, 112, 112)}},
    {"40300", {kBase, Entry("BM_POINT_4", 124, 25, 102)}},
    {"40015", {kBase, Entry("BM_POINT_6", 109, 28, 100)}},
    {"40014", {kBase, Entry("BM_POINT_6", 109, 28, 100)}},
    {"40013", {kBase, Entry("BM_POINT_6", 109, 28, 100)}},
    {"40012", {kBase, Entry("BM_POINT_6", 109, 28, 100)}},
    {"40028", {kBase, Entry("BM_CAUTION", 0, 0, 250)}},
    {"40020", {kBase, Entry("BM_CAUTION", 0, 0, 250)}},
    {"40041", {kBase, Entry("BM_CAUTION", 0, 0, 250)}},
    {"40042", {kBase, Entry("BM_CAUTION", 0, 0, 250)}},
    {"40011", {kBase, Entry("BM_POINT_5", 75, 72, 110)}},
    {"40903", {kBase, Entry("BM_CAUTION", 0, 0, 250)}},
    {"40208", {kBase, Entry("BM_POINT_6", 109, 28, 100)}},
    {"40206", {kBase, Entry("BM_POINT_3", 106, 63, 106), Entry("BM_POINT_5", 75, 72, 110)}},
    {"40159", {kBase, Entry("BM_POINT_5", 75, 72, 110)}},
    {"40135", {kBase, Entry("BM_POINT_6", 109, 28, 100)}},
    {"40134", {kBase, Entry("BM_POINT_6", 109, 28, 100)}},
    {"40133", {kBase, Entry("BM_POINT_6", 109, 28, 100)}},
    {"40132", {kBase, Entry("BM_POINT_6", 109, 28, 100)}},
    {"40155", {kBase, Entry("BM_POINT_5", 75, 72, 110)}},
    {"40154", {kBase, Entry("BM_POINT_5", 75, 72, 110)}},
    {"40153", {kBase, Entry("BM_POINT_5", 75, 72, 110)}},
    {"40152", {kBase, Entry("BM_POINT_5", 75, 72, 110)}},
    {"40141", {kBase,
              Entry("BM_SERVICE", 0, 0, 230),
              Entry("BM_POINT_5", 75, 72, 234),
              Entry("BM_SERVICE", 0, 0, 240),
              Entry("BM_POINT_5", 75, 72, 244)}},
    {"40100", {kBase,
              Entry("BM_SERVICE", 0, 0, 220),
              Entry("BM_POINT_3", 106, 63, 226),
              Entry("BM_POINT_7", 200, 53, 224)}},
    {"42000", {kBase, Entry("BM_POINT_3", 106, 63, 106), Entry("BM_POINT_7", 200, 53, 104)}},
    {"42001", {kBase, Entry("BM_POINT_3", 106, 63, 106), Entry("BM_POINT_7", 200, 53, 104)}},
    {"42004", {kBase, Entry("BM_POINT_3", 106, 63, 106), Entry("BM_POINT_7", 200, 53, 104)}},
    {"42009", {kBase, Entry("BM_POINT_3", 106, 63, 106)}},
    {"40800", {kBase, Entry("BM_SERVICE", 0, 0, 250)}},
    {"50101", {kBase, Entry("BM_CAUTION", 0, 0, 248)}},
    {"50102", {kBase, Entry("BM_CAUTION", 0, 0, 248)}},
    {"50115", {kBase, Entry("BM_CAUTION", 0, 0, 248)}},
    {"50108", {kBase, Entry("BM_CAUTION", 0, 0, 248)}},
    {"50112", {kBase, Entry("BM_CAUTION", 0, 0, 248)}},
    {"50113", {kBase, Entry("BM_CAUTION", 0, 0, 248)}},
    {"50109", {kBase, Entry("BM_CAUTION", 0, 0, 248)}},
    {"50105", {kBase, Entry("BM_CAUTION", 0, 0, 248)}},
    {"50114", {kBase, Entry("BM_CAUTION", 0, 0, 248)}},
    {"30428", {kBase, Entry("BM_CAUTION", 0, 0, 248)}},
    {"30427", {kBase, Entry("BM_CAUTION", 0, 0, 248)}},
    {"30440", {kBase, Entry("BM_CAUTION", 0, 0, 248)}},
    {"10075", {kBase, Entry("BM_CAUTION", 0, 0, 248)}},
    {"10074", {kBase, Entry("BM_CAUTION", 0, 0, 248)}},
    {"10073", {kBase, Entry("BM_CAUTION", 0, 0, 248)}},
    {"10072", {kBase, Entry("BM_CAUTION", 0, 0, 248)}},
    {"10032", {kBase, Entry("BM_CAUTION", 0, 0, 248)}},
    {"30610", {kBase, Entry("BM_SERVICE", 0, 0, 248)}},
    {"30607", {kBase, Entry("BM_CAUTION", 0, 0, 248)}},
    {"30400", {kBase, Entry("BM_SERVICE", 0, 0, 240), Entry("BM_CAUTION", 0, 0, 244)}},
    {"30409", {kBase, Entry("BM_SERVICE", 0, 0, 240), Entry("BM_CAUTION", 0, 0, 244)}},
    {"30015", {kBase, Entry("BM_CAUTION", 0, 0, 248)}},
    {"30014", {kBase, Entry("BM_CAUTION", 0, 0, 248)}},
    {"30013", {kBase, Entry("BM_CAUTION", 0, 0, 248)}},
    {"30609", {kBase, Entry("BM_SERVICE", 0, 0, 248)}},
    {nullptr, {}},
};

// The tray 2 unit (device code 105).
constexpr PictureRecord kTray2Records[] = {
    {"STATUS_DEFAULT_BMP", {Entry("BM_TRAY2", 0, 0, 20)}},
    {"40993", {Entry("BM_TRAY2", 0, 0, 20), Entry("BM_POINT_1", 114, 138, 114)}},
    {"463yy", {Entry("BM_TRAY2", 0, 0, 20), Entry("BM_POINT_1", 114, 138, 114)}},
    {"473yy", {Entry("BM_TRAY2", 0, 0, 20), Entry("BM_POINT_1", 114, 138, 114)}},
    {"483yy", {Entry("BM_TRAY2", 0, 0, 20), Entry("BM_POINT_1", 114, 138, 114)}},
    {"413yy", {Entry("BM_TRAY2", 0, 0, 20), Entry("BM_POINT_1", 114, 138, 114)}},
    {"41300", {Entry("BM_TRAY2", 0, 0, 20), Entry("BM_POINT_1", 114, 138, 114)}},
    {nullptr, {}},
};

// The tray 3 unit (device code 106).
constexpr PictureRecord kTray3Records[] = {
    {"STATUS_DEFAULT_BMP", {Entry("BM_TRAY3", 0, 0, 30)}},
    {"40994", {Entry("BM_TRAY3", 0, 0, 30), Entry("BM_POINT_1", 114, 160, 116)}},
    {"464yy", {Entry("BM_TRAY3", 0, 0, 30), Entry("BM_POINT_1", 114, 160, 116)}},
    {"474yy", {Entry("BM_TRAY3", 0, 0, 30), Entry("BM_POINT_1", 114, 160, 116)}},
    {"484yy", {Entry("BM_TRAY3", 0, 0, 30), Entry("BM_POINT_1", 114, 160, 116)}},
    {"414yy", {Entry("BM_TRAY3", 0, 0, 30), Entry("BM_POINT_1", 114, 160, 116)}},
    {"41400", {Entry("BM_TRAY3", 0, 0, 30), Entry("BM_POINT_1", 114, 160, 116)}},
    {nullptr, {}},
};

static_assert(std::size(kBodyRecords) == 70 + 1 && std::size(kTray2Records) == 7 + 1 &&
              std::size(kTray3Records) == 7 + 1);

}  // namespace

const PictureSet PictureSetTable[] = {
    {kBodyPictureSet, kBodyRecords},
    {105, kTray2Records},
    {106, kTray3Records},
    {kPictureSetEnd, nullptr},
};

namespace {

// The last record of a set keyed kDefaultPictureKey, or null.
template <size_t N>
constexpr const PictureRecord *LastDefaultRecord(const PictureRecord (&records)[N]) {
    const PictureRecord *fallback = nullptr;
    for (const PictureRecord &record : records) {
        if (record.key == nullptr) break;
        size_t i = 0;
        while (record.key[i] != '\0' && record.key[i] == kDefaultPictureKey[i]) ++i;
        if (record.key[i] == kDefaultPictureKey[i]) fallback = &record;
    }
    return fallback;
}

constexpr auto kBodyIndex = BuildCodeIndex(kBodyRecords);
constexpr auto kTray2Index = BuildCodeIndex(kTray2Records);
constexpr auto kTray3Index = BuildCodeIndex(kTray3Records);

}  // namespace

const IndexedPictureSet IndexedPictureSets[] = {
    {kBodyRecords, kBodyIndex.View(), LastDefaultRecord(kBodyRecords)},
    {kTray2Records, kTray2Index.View(), LastDefaultRecord(kTray2Records)},
    {kTray3Records, kTray3Index.View(), LastDefaultRecord(kTray3Records)},
    {nullptr, {}, nullptr},
};

}  // namespace patprn
