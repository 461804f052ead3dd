// Resource lookup over a compiled .res image, shared by the resource
// functions (over the image embedded in the library) and their tests
// (over images built in memory).
#pragma once

#include "platform/win32.h"

namespace patprn::platform {

// A .res image: a sequence of entries, each a header followed by its data,
// both DWORD-aligned from `begin`.
struct ResourceImage {
    const unsigned char *begin;
    const unsigned char *end;
};

// The resources compiled into the library.
ResourceImage EmbeddedResources();

// Finds a resource as FindResourceExA does: type and name as integer ids
// (MAKEINTRESOURCE, "#123") or case-insensitive text, the loader's language
// order. Returns the address of the entry's header, or null with the last
// error set (1813 type, 1814 name, 1815 language not found, 87 for an id
// of more than 16 bits). Reads nothing outside the image, however it is
// malformed: lookup ends at the first entry that does not fit.
const void *FindResourceInImage(ResourceImage image, LPCSTR type, LPCSTR name, WORD language);

}  // namespace patprn::platform
