// The product's string tables as the library's loader meets them: string
// blocks of 16 strings fetched per language through FindResourceExA,
// LoadResource, LockResource and SizeofResource.
#pragma once

#include "platform/win32.h"

#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace strings_test {

struct Language {
    WORD id;
    const char *name;
    UINT codePage;  // the language's ANSI code page, which its texts must fit
};

extern const Language kLanguages[14];

// "Danish (0x0406)": how failures name a language.
std::string Describe(const Language &language);
inline void PrintTo(const Language &language, std::ostream *out) { *out << Describe(language); }

// What one language's table holds, read with requests in exactly that
// language over every block of the numbering space.
struct LanguageTable {
    // Every slot of the blocks served in the language itself, empty ones
    // included (a block always has 16 slots).
    std::map<unsigned, std::u16string> slots;
    // First numbers of the blocks that a request in the language finds only
    // through the loader's fallback to another language's table.
    std::vector<unsigned> borrowedBlocks;
    // Blocks whose bytes do not hold 16 length-prefixed strings.
    std::vector<unsigned> malformedBlocks;

    bool Present() const { return !slots.empty(); }
    // The text under `number`, or null when no own block holds that slot.
    const std::u16string *Find(unsigned number) const;
};

// The table of `language`, read once per process.
const LanguageTable &TableOf(WORD language);

// UTF-8 of a text, unchanged.
std::string Utf8(const std::u16string &text);
// UTF-8 of a text for a failure message: in quotes, a line feed as \n, any
// other control unit as \uXXXX, so that a translator sees exactly what is
// stored.
std::string Quoted(const std::u16string &text);

}  // namespace strings_test
