#include "frame/localized_string.h"

#include "frame/locale.h"
#include "frame/result.h"

#include <atomic>
#include <cstring>

namespace patprn {
namespace {

// Bytes of a code page's text: five digits and the terminator, rounded up.
constexpr int kCodePageTextSize = 8;

// The default ANSI code page of `language` as the platform reports it, or 0
// when the platform has no locale information for it. `*error` says why a
// lookup failed.
UINT PlatformCodePage(uint16_t language, DWORD *error) {
    const LCID locale = MAKELCID(language, SORT_DEFAULT);
    // A code page's text has at most five digits and its terminator; one
    // call into a buffer of that size both tells whether the language has a
    // code page (a result of 0) and fetches it.
    char text[kCodePageTextSize] = {};
    if (GetLocaleInfoA(locale, LOCALE_IDEFAULTANSICODEPAGE, text, sizeof text) <= 0) {
        *error = PAT_ERROR_LANGUAGE;
        return 0;
    }
    UINT codePage = 0;
    for (const char *digit = text; *digit >= '0' && *digit <= '9'; ++digit) {
        codePage = codePage * 10 + static_cast<UINT>(*digit - '0');
    }
    *error = 0;
    return codePage;
}

// The code page of a particular language is fixed locale data, so the
// answer is kept once the platform gave it (each status text would
// otherwise ask for every string it loads). A neutral language stands for
// the user's or the system's default, which follows their settings: it is
// asked every time. One entry per slot, packed in one word so that threads
// never see half an entry: bit 63 set, bit 62 when the platform has no
// locale information for the language, the language at bits 32-47, the
// code page below.
constexpr size_t kCodePageMemoSlots = 32;
std::atomic<uint64_t> CodePageMemo[kCodePageMemoSlots];
constexpr uint64_t kMemoFilled = uint64_t{1} << 63;
constexpr uint64_t kMemoNoLocale = uint64_t{1} << 62;

UINT LanguageCodePage(uint16_t language, DWORD *error) {
    if (PRIMARYLANGID(language) == LANG_NEUTRAL) return PlatformCodePage(language, error);
    std::atomic<uint64_t> &slot = CodePageMemo[language % kCodePageMemoSlots];
    const uint64_t entry = slot.load(std::memory_order_relaxed);
    if ((entry & kMemoFilled) != 0 && static_cast<uint16_t>(entry >> 32) == language) {
        *error = (entry & kMemoNoLocale) != 0 ? PAT_ERROR_LANGUAGE : 0;
        return static_cast<UINT>(entry);
    }
    const UINT codePage = PlatformCodePage(language, error);
    slot.store(kMemoFilled | (*error != 0 ? kMemoNoLocale : 0) | static_cast<uint64_t>(language) << 32 | codePage,
               std::memory_order_relaxed);
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

    // An empty slot converts to the terminator alone.
    if (text.length == 0) {
        output[0] = '\0';
        return 0;
    }
    // String-table blocks are DWORD-aligned, so the units are converted
    // where they lie; only a misaligned text is copied into a work buffer.
    const WCHAR *units = nullptr;
    WCHAR *wide = nullptr;
    if (reinterpret_cast<uintptr_t>(text.units) % alignof(WCHAR) == 0) {
        units = reinterpret_cast<const WCHAR *>(text.units);
    } else {
        wide = static_cast<WCHAR *>(GlobalAlloc(GPTR, static_cast<SIZE_T>(text.length) * sizeof(WCHAR)));
        if (wide == nullptr) return PAT_ERROR_NOT_FOUND;
        std::memcpy(wide, text.units, static_cast<size_t>(text.length) * sizeof(WCHAR));
        units = wide;
    }

    // The converted form must fit with its terminator before anything is
    // written, so that a text which does not fit (or does not convert)
    // fails cleanly instead of leaving a cut, unterminated output behind.
    // The ANSI code pages are stateless: the terminator converts to one
    // zero byte, written after the text.
    const int count = static_cast<int>(text.length);
    const int needed = WideCharToMultiByte(codePage, 0, units, count, nullptr, 0, nullptr, nullptr);
    DWORD result = PAT_ERROR_NOT_FOUND;
    if (needed > 0 && static_cast<DWORD>(needed) < capacity &&
        WideCharToMultiByte(codePage, 0, units, count, output, needed, nullptr, nullptr) == needed) {
        output[needed] = '\0';
        result = 0;
    }
    if (wide != nullptr) GlobalFree(wide);
    return result;
}

}  // namespace patprn
