// Resources: the .res image that the resource compiler makes from
// resources/patprn.rc, embedded in the library as read-only data and read
// in place. The image is a sequence of entries; each is a header (data
// size, header size, type, name, language ...) followed by its data, both
// DWORD-aligned. Every module handle, null included, names this image.
//
// An HRSRC is the address of an entry's header in the image, an HGLOBAL
// from LoadResource the address of its data; nothing is allocated.
#include "platform/resource.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/nls.h"

extern "C" const unsigned char patprn_resource_image[], patprn_resource_image_end[];

namespace {

// A type or name as stored in an entry: an integer id, or a string of
// UTF-16 code units (zero-terminated, inside the header).
struct StoredId {
    const unsigned char *text;  // null for an integer id
    WORD id;
};

struct Entry {
    const unsigned char *header;
    StoredId type;
    StoredId name;
    WORD language;
    const unsigned char *data;
    DWORD size;
};

// A type or name as a caller asks for it: MAKEINTRESOURCE, "#123", or text.
struct WantedId {
    const char *text;  // null for an integer id
    WORD id;
};

// Fixed part of a header after type and name: DataVersion, MemoryFlags,
// LanguageId, Version, Characteristics.
constexpr size_t kHeaderTail = 16;
constexpr size_t kLanguageOffsetInTail = 6;
constexpr DWORD kMinimumHeaderSize = 8 + 4 + 4 + kHeaderTail;

WORD ReadWord(const unsigned char *p) {
    WORD value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

DWORD ReadDword(const unsigned char *p) {
    DWORD value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

// Rounds a position in the image up to the next DWORD boundary.
size_t AlignDword(size_t offset) { return (offset + 3) & ~size_t{3}; }

// Reads a type or name field starting at p, no further than end. Returns
// the position after it, or null when the field runs past end.
const unsigned char *ReadStoredId(const unsigned char *p, const unsigned char *end, StoredId *out) {
    if (end - p < 2) return nullptr;
    if (ReadWord(p) == 0xFFFF) {
        if (end - p < 4) return nullptr;
        *out = {nullptr, ReadWord(p + 2)};
        return p + 4;
    }
    *out = {p, 0};
    for (; end - p >= 2; p += 2) {
        if (ReadWord(p) == 0) return p + 2;
    }
    return nullptr;
}

// Parses the entry whose header starts `offset` bytes into the image.
// Returns false at the end of the image or at a malformed header; on
// success *next is the offset of the following entry.
bool ReadEntry(patprn::platform::ResourceImage resources, size_t offset, Entry *entry, size_t *next) {
    const unsigned char *image = resources.begin;
    const size_t imageSize = static_cast<size_t>(resources.end - image);
    if (offset > imageSize || imageSize - offset < 8) return false;
    const unsigned char *at = image + offset;
    const DWORD dataSize = ReadDword(at);
    const DWORD headerSize = ReadDword(at + 4);
    const size_t left = imageSize - offset;
    if (headerSize < kMinimumHeaderSize || headerSize > left || dataSize > left - headerSize) return false;

    const unsigned char *headerEnd = at + headerSize;
    const unsigned char *p = ReadStoredId(at + 8, headerEnd, &entry->type);
    if (p != nullptr) p = ReadStoredId(p, headerEnd, &entry->name);
    if (p == nullptr) return false;
    p = image + AlignDword(static_cast<size_t>(p - image));
    if (p > headerEnd || static_cast<size_t>(headerEnd - p) < kHeaderTail) return false;

    entry->header = at;
    entry->language = ReadWord(p + kLanguageOffsetInTail);
    entry->data = headerEnd;
    entry->size = dataSize;
    *next = AlignDword(offset + headerSize + dataSize);
    return true;
}

// The image opens with an empty entry (type and name id 0) that marks the
// format; it is no resource.
bool IsResource(const Entry &entry) { return entry.type.text != nullptr || entry.type.id != 0; }

// Reads the entry whose header is at `header`, an address FindResourceExA
// returned. Anything else is refused when it lies outside the image or off
// its DWORD grid, and otherwise read as bounded as any entry; no walk over
// the image is needed.
bool EntryAt(const void *header, Entry *found) {
    const patprn::platform::ResourceImage image = patprn::platform::EmbeddedResources();
    const auto address = reinterpret_cast<uintptr_t>(header);
    const auto begin = reinterpret_cast<uintptr_t>(image.begin);
    if (address < begin || address >= reinterpret_cast<uintptr_t>(image.end) || (address - begin) % 4 != 0) {
        return false;
    }
    size_t next = 0;
    return ReadEntry(image, address - begin, found, &next) && IsResource(*found);
}

// Reads a caller's type or name. Windows takes "#123" as the id 123 and
// upper-cases every other text; an id that does not fit 16 bits is an
// invalid parameter.
bool ParseWantedId(LPCSTR arg, WantedId *out) {
    if (IS_INTRESOURCE(arg)) {
        *out = {nullptr, static_cast<WORD>(reinterpret_cast<ULONG_PTR>(arg))};
        return true;
    }
    if (arg[0] != '#') {
        *out = {arg, 0};
        return true;
    }
    unsigned long value = 0;
    for (const char *p = arg + 1; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + static_cast<unsigned long>(*p - '0');
        if (value > 0xFFFF) return false;
    }
    *out = {nullptr, static_cast<WORD>(value)};
    return true;
}

unsigned UpperAscii(unsigned c) { return (c >= 'a' && c <= 'z') ? c - ('a' - 'A') : c; }

// String names compare without regard to case, as Windows upper-cases both
// the names it stores and the names it is asked for.
bool Matches(const StoredId &stored, const WantedId &wanted) {
    if (wanted.text == nullptr) return stored.text == nullptr && stored.id == wanted.id;
    if (stored.text == nullptr) return false;
    const unsigned char *unit = stored.text;
    const char *c = wanted.text;
    for (;; ++c, unit += 2) {
        const unsigned storedUnit = ReadWord(unit);
        const unsigned wantedUnit = static_cast<unsigned char>(*c);
        if (UpperAscii(storedUnit) != UpperAscii(wantedUnit)) return false;
        if (wantedUnit == 0) return true;
    }
}

// The loader's language order: the language asked for, its primary
// language with SUBLANG_NEUTRAL, LANG_NEUTRAL; when no language was named
// (primary LANG_NEUTRAL) also the user's default and English. Returns the
// number of languages written; the caller falls back to the lowest stored
// language after these when no language was named.
constexpr int kMaxLanguageOrder = 5;

int LanguageOrder(WORD language, WORD order[kMaxLanguageOrder]) {
    int n = 0;
    order[n++] = language;
    order[n++] = MAKELANGID(PRIMARYLANGID(language), SUBLANG_NEUTRAL);
    order[n++] = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);
    if (PRIMARYLANGID(language) == LANG_NEUTRAL) {
        order[n++] = patprn::platform::UserDefaultLanguage();
        order[n++] = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
    }
    return n;
}

// Position of `language` in the order, or -1.
int RankOf(WORD language, const WORD *order, int count) {
    for (int i = 0; i < count; ++i) {
        if (order[i] == language) return i;
    }
    return -1;
}

// ---- The embedded image's index of resources with an integer type ----
// Built once on first use: the entries sorted by (type, name) with integer
// names first, entries of one key in image order, so that a lookup sees
// exactly the entries a walk of the image would, in the same order.

struct IndexRow {
    uint64_t key;  // type << 17 | string name << 16 | name id (0 for a string name)
    uint32_t order;
    WORD language;
    const unsigned char *header;
};

constexpr uint64_t IndexKey(WORD type, bool stringName, WORD name) {
    return static_cast<uint64_t>(type) << 17 | static_cast<uint64_t>(stringName) << 16 | name;
}

// Images with more entries than this are walked instead.
constexpr size_t kIndexCapacity = 2048;

struct ResourceIndex {
    IndexRow rows[kIndexCapacity];
    size_t count;
    bool usable;

    explicit ResourceIndex(patprn::platform::ResourceImage image) : count(0), usable(true) {
        Entry entry;
        size_t next = 0;
        uint32_t order = 0;
        for (size_t offset = 0; ReadEntry(image, offset, &entry, &next); offset = next, ++order) {
            if (!IsResource(entry) || entry.type.text != nullptr) continue;
            if (count == kIndexCapacity) {
                usable = false;
                return;
            }
            const bool stringName = entry.name.text != nullptr;
            rows[count++] = {IndexKey(entry.type.id, stringName, stringName ? 0 : entry.name.id), order,
                             entry.language, entry.header};
        }
        std::sort(rows, rows + count, [](const IndexRow &a, const IndexRow &b) {
            return a.key != b.key ? a.key < b.key : a.order < b.order;
        });
    }

    const IndexRow *LowerBound(uint64_t key) const {
        return std::lower_bound(rows, rows + count, key, [](const IndexRow &row, uint64_t k) { return row.key < k; });
    }
};

const ResourceIndex *EmbeddedIndex() {
    static const ResourceIndex index(patprn::platform::EmbeddedResources());
    return index.usable ? &index : nullptr;
}

// What a walk of the image finds for one integer type and name: the entry
// of the best-ranked language, else (any language allowed) the lowest
// language; and whether the type and the name were seen at all.
struct Found {
    const unsigned char *best;
    const unsigned char *lowest;
    bool typeSeen;
    bool nameSeen;
};

Found FindIndexed(const ResourceIndex &index, WORD type, WORD name, const WORD *order, int orderCount) {
    Found found = {nullptr, nullptr, false, false};
    const IndexRow *end = index.rows + index.count;
    const IndexRow *typeFirst = index.LowerBound(IndexKey(type, false, 0));
    found.typeSeen = typeFirst != end && typeFirst->key >> 17 == type;
    int bestRank = INT_MAX;
    WORD lowestLanguage = 0;
    const uint64_t key = IndexKey(type, false, name);
    for (const IndexRow *row = index.LowerBound(key); row != end && row->key == key; ++row) {
        found.nameSeen = true;
        const int rank = RankOf(row->language, order, orderCount);
        if (rank >= 0 && rank < bestRank) {
            found.best = row->header;
            bestRank = rank;
        }
        if (found.lowest == nullptr || row->language < lowestLanguage) {
            found.lowest = row->header;
            lowestLanguage = row->language;
        }
    }
    return found;
}

// The same by walking every entry of the image.
Found FindByWalk(patprn::platform::ResourceImage image, const WantedId &wantedType, const WantedId &wantedName,
                 const WORD *order, int orderCount) {
    Found found = {nullptr, nullptr, false, false};
    int bestRank = INT_MAX;
    // The Windows loader's last resort is the first language of its sorted
    // directory: the lowest language id stored.
    WORD lowestLanguage = 0;
    Entry entry;
    size_t next = 0;
    for (size_t offset = 0; ReadEntry(image, offset, &entry, &next); offset = next) {
        if (!IsResource(entry) || !Matches(entry.type, wantedType)) continue;
        found.typeSeen = true;
        if (!Matches(entry.name, wantedName)) continue;
        found.nameSeen = true;
        const int rank = RankOf(entry.language, order, orderCount);
        if (rank >= 0 && rank < bestRank) {
            found.best = entry.header;
            bestRank = rank;
        }
        if (found.lowest == nullptr || entry.language < lowestLanguage) {
            found.lowest = entry.header;
            lowestLanguage = entry.language;
        }
    }
    return found;
}

}  // namespace

namespace patprn::platform {

ResourceImage EmbeddedResources() { return {patprn_resource_image, patprn_resource_image_end}; }

const void *FindResourceInImage(ResourceImage image, LPCSTR type, LPCSTR name, WORD language) {
    WantedId wantedType;
    WantedId wantedName;
    if (!ParseWantedId(type, &wantedType) || !ParseWantedId(name, &wantedName)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    WORD order[kMaxLanguageOrder];
    const int orderCount = LanguageOrder(language, order);
    const bool anyLanguage = PRIMARYLANGID(language) == LANG_NEUTRAL;

    // Lookups of an integer type and name in the embedded image (string
    // tables) use its index; the picture's named bitmaps and other images
    // are walked.
    const ResourceIndex *index = image.begin == EmbeddedResources().begin && wantedType.text == nullptr &&
                                         wantedName.text == nullptr
                                     ? EmbeddedIndex()
                                     : nullptr;
    const Found found = index != nullptr ? FindIndexed(*index, wantedType.id, wantedName.id, order, orderCount)
                                         : FindByWalk(image, wantedType, wantedName, order, orderCount);
    const unsigned char *best = found.best;
    if (best == nullptr && anyLanguage) best = found.lowest;
    if (best != nullptr) return best;
    const bool typeSeen = found.typeSeen;
    const bool nameSeen = found.nameSeen;

    SetLastError(!typeSeen   ? ERROR_RESOURCE_TYPE_NOT_FOUND
                 : !nameSeen ? ERROR_RESOURCE_NAME_NOT_FOUND
                             : ERROR_RESOURCE_LANG_NOT_FOUND);
    return nullptr;
}

}  // namespace patprn::platform

/* FindResourceExA */
extern "C" HRSRC FindResourceExA(HMODULE, LPCSTR type, LPCSTR name, WORD language) {
    const void *header =
        patprn::platform::FindResourceInImage(patprn::platform::EmbeddedResources(), type, name, language);
    return static_cast<HRSRC>(const_cast<void *>(header));
}

/* FindResourceA */
extern "C" HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) {
    return FindResourceExA(module, type, name, MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
}

/* LoadResource */
extern "C" HGLOBAL LoadResource(HMODULE, HRSRC res) {
    Entry entry;
    if (res == nullptr || !EntryAt(res, &entry)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return const_cast<unsigned char *>(entry.data);
}

/* LockResource */
extern "C" LPVOID LockResource(HGLOBAL res) { return res; }

/* SizeofResource */
extern "C" DWORD SizeofResource(HMODULE, HRSRC res) {
    Entry entry;
    if (res == nullptr || !EntryAt(res, &entry)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return entry.size;
}
