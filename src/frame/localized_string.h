// LoadLocalizedString: one string of the string tables, by its number, in
// the selected language and that language's ANSI code page.
#pragma once

#include "platform/win32.h"

#include <cstdint>

namespace patprn {

// Loads string `number` of the selected language (SelectedLanguage) into
// `output`, converted to the language's default ANSI code page, with its
// terminating zero. `capacity` is the size of `output` in bytes.
//
// Returns 0 on success; an empty slot gives "" and 0. On failure `output`
// is left exactly as it was and the result is
//   PAT_ERROR_LANGUAGE (0x20000001) the platform has no code page for the
//                                   selected language;
//   PAT_ERROR_NOT_FOUND (0x2000FFFF) the string's block is not stored in the
//                                   language the resource loader settles on,
//                                   a work buffer cannot be allocated, or the
//                                   text, converted and terminated, does not
//                                   fit in `capacity` bytes (or does not
//                                   convert at all).
// Which language's block a load finds when the selected language has no
// table of its own (Czech, or a user default without a table) is the
// platform resource loader's language fallback.
DWORD LoadLocalizedString(uint32_t number, char *output, DWORD capacity);

}  // namespace patprn
