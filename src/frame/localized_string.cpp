#include "frame/localized_string.h"

#include "frame/locale.h"
#include "frame/result.h"

#include <cstring>

namespace patprn {
namespace {

// The default ANSI code page of `language` as the platform reports it, or 0
// when the platform has no locale information for it. `*error` says why a
// lookup failed.
UINT LanguageCodePage(uint16_t language, DWORD *error) {
    const LCID locale = MAKELCID(language, SORT_DEFAULT);
    const int size = GetLocaleInfoA(locale, LOCALE_IDEFAULTANSICODEPAGE, nullptr, 0);
    if (size <= 0) {
        *error = PAT_ERROR_LANGUAGE;
        return 0;
    }
    char *text = static_cast<char *>(GlobalAlloc(GPTR, static_cast<SIZE_T>(size)));
    if (text == nullptr) {
        *error = PAT_ERROR_NOT_FOUND;
        return 0;
    }
    UINT codePage = 0;
    if (GetLocaleInfoA(locale, LOCALE_IDEFAULTANSICODEPAGE, text, size) > 0) {
        for (const char *digit = text; *digit >= '0' && *digit <= '9'; ++digit) {
            codePage = codePage * 10 + static_cast<UINT>(*digit - '0');
        }
    }
    GlobalFree(text);
    *error = 0;
    return codePage;
}

// A string of a string-table block: `length` UTF-16 code units at `units`
// (not terminated, possibly unaligned).
struct BlockString {
    const uint8_t *units;
    uint16_t length;
};

// Finds string `number` in its block of 16 in `language`: the block is
// stepped through slot by slot, never past the resource's stored size.
bool FindBlockString(uint32_t number, uint16_t language, BlockString *found) {
    HMODULE module = ModuleInstance();
    const WORD block = static_cast<WORD>((number >> 4) + 1);
    HRSRC resource = FindResourceExA(module, RT_STRING, MAKEINTRESOURCEA(block), language);
    if (resource == nullptr) return false;
    HGLOBAL loaded = LoadResource(module, resource);
    if (loaded == nullptr) return false;
    const uint8_t *bytes = static_cast<const uint8_t *>(LockResource(loaded));
    const DWORD size = SizeofResource(module, resource);
    if (bytes == nullptr) return false;

    DWORD offset = 0;
    for (uint32_t slot = 0;; ++slot) {
        if (size < 2 || offset > size - 2) return false;
        uint16_t length;
        std::memcpy(&length, bytes + offset, sizeof length);
        offset += 2;
        if (slot == (number & 15u)) {
            if (static_cast<DWORD>(length) * 2 > size - offset) return false;
            found->units = bytes + offset;
            found->length = length;
            return true;
        }
        offset += static_cast<DWORD>(length) * 2;
    }
}

}  // namespace

DWORD LoadLocalizedString(uint32_t number, char *output, DWORD capacity) {
    // One reading of the language serves both the code page and the table,
    // so a concurrent PatSetLocale cannot pair one language's text with
    // another's code page.
    const uint16_t language = SelectedLanguage.load(std::memory_order_relaxed);

    DWORD error = 0;
    const UINT codePage = LanguageCodePage(language, &error);
    if (error != 0) return error;

    BlockString text;
    if (!FindBlockString(number, language, &text)) return PAT_ERROR_NOT_FOUND;
    if (text.length >= capacity) return PAT_ERROR_NOT_FOUND;

    const SIZE_T units = static_cast<SIZE_T>(text.length) + 1;
    WCHAR *wide = static_cast<WCHAR *>(GlobalAlloc(GPTR, units * sizeof(WCHAR)));
    if (wide == nullptr) return PAT_ERROR_NOT_FOUND;
    std::memcpy(wide, text.units, static_cast<size_t>(text.length) * sizeof(WCHAR));
    wide[text.length] = 0;

    // The converted form must fit with its terminator before anything is
    // written, so that a text which does not fit (or does not convert)
    // fails cleanly instead of leaving a cut, unterminated output behind.
    const int wideCount = static_cast<int>(units);
    const int needed = WideCharToMultiByte(codePage, 0, wide, wideCount, nullptr, 0, nullptr, nullptr);
    DWORD result = PAT_ERROR_NOT_FOUND;
    if (needed > 0 && static_cast<DWORD>(needed) <= capacity &&
        WideCharToMultiByte(codePage, 0, wide, wideCount, output, needed, nullptr, nullptr) == needed) {
        result = 0;
    }
    GlobalFree(wide);
    return result;
}

}  // namespace patprn
