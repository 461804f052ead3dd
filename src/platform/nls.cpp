// National-language support: the ANSI code page of a locale, conversion of
// UTF-16 text into the code pages of the library's languages (through
// iconv), and upper-casing of 8-bit text.
#include "platform/nls.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <iconv.h>

namespace {

// POSIX locale names (language, or language and territory) and the Windows
// language each stands for, as Wine maps them. A territory not listed here
// is not guessed from its language: Wine takes "de_XX" for English too.
struct LocaleName {
    const char *language;
    const char *territory;  // "" for the language alone
    LANGID id;
};

constexpr LocaleName kLocaleNames[] = {
    {"ja", "", 0x0411}, {"ja", "JP", 0x0411},
    {"en", "", 0x0409}, {"en", "US", 0x0409}, {"en", "GB", 0x0809}, {"en", "AU", 0x0C09},
    {"en", "CA", 0x1009}, {"en", "NZ", 0x1409}, {"en", "IE", 0x1809},
    {"de", "", 0x0407}, {"de", "DE", 0x0407}, {"de", "CH", 0x0807}, {"de", "AT", 0x0C07},
    {"de", "LU", 0x1007}, {"de", "LI", 0x1407},
    {"fr", "", 0x040C}, {"fr", "FR", 0x040C}, {"fr", "BE", 0x080C}, {"fr", "CA", 0x0C0C},
    {"fr", "CH", 0x100C}, {"fr", "LU", 0x140C},
    {"it", "", 0x0410}, {"it", "IT", 0x0410}, {"it", "CH", 0x0810},
    {"es", "", 0x0C0A}, {"es", "ES", 0x0C0A}, {"es", "MX", 0x080A},
    {"nl", "", 0x0413}, {"nl", "NL", 0x0413}, {"nl", "BE", 0x0813},
    {"sv", "", 0x041D}, {"sv", "SE", 0x041D}, {"sv", "FI", 0x081D},
    {"da", "", 0x0406}, {"da", "DK", 0x0406},
    {"nb", "", 0x0414}, {"nb", "NO", 0x0414}, {"nn", "", 0x0814}, {"nn", "NO", 0x0814},
    {"cs", "", 0x0405}, {"cs", "CZ", 0x0405},
    {"hu", "", 0x040E}, {"hu", "HU", 0x040E},
    {"pl", "", 0x0415}, {"pl", "PL", 0x0415},
    {"pt", "", 0x0416}, {"pt", "BR", 0x0416}, {"pt", "PT", 0x0816},
    {"fi", "", 0x040B}, {"fi", "FI", 0x040B},
};

// The environment variables that name the locale of messages, strongest
// first (the POSIX order for LC_MESSAGES).
constexpr const char *kLocaleVariables[] = {"LC_ALL", "LC_MESSAGES", "LANG"};

// Default ANSI code page per primary language: every language the library
// has texts for, Czech, and the invariant locale. Every sublanguage of a
// language shares its code page.
struct AnsiCodePage {
    WORD primaryLanguage;
    UINT codePage;
};

constexpr AnsiCodePage kAnsiCodePages[] = {
    {0x11, 932},                                                     // Japanese
    {0x05, 1250}, {0x0E, 1250}, {0x15, 1250},                        // Czech, Hungarian, Polish
    {0x06, 1252}, {0x07, 1252}, {0x09, 1252}, {0x0A, 1252},          // Danish, German, English, Spanish
    {0x0B, 1252}, {0x0C, 1252}, {0x10, 1252}, {0x13, 1252},          // Finnish, French, Italian, Dutch
    {0x14, 1252}, {0x16, 1252}, {0x1D, 1252},                        // Norwegian, Portuguese, Swedish
    {0x7F, 1252},                                                    // invariant
};

// Code page of a user default that is not in the table above.
constexpr UINT kFallbackCodePage = 1252;

// The LANG_NEUTRAL locale ids that stand for the user's default locale:
// neutral, user default, system default, and the three custom defaults.
constexpr LANGID kDefaultLocales[] = {0x0000, 0x0400, 0x0800, 0x0C00, 0x1000, 0x1400};

// Code pages WideCharToMultiByte converts to, with their iconv names.
struct CodePageName {
    UINT codePage;
    const char *iconvName;
};

constexpr CodePageName kCodePageNames[] = {
    {1252, "CP1252"},
    {1250, "CP1250"},
    {932, "CP932"},
};

// One converter from UTF-16 per thread and code page, opened on first use
// and closed when the thread ends: opening one costs far more than a
// conversion. Each use starts from the converter's initial state.
struct ThreadConverters {
    iconv_t converters[sizeof kCodePageNames / sizeof kCodePageNames[0]];
    ThreadConverters() {
        for (iconv_t &converter : converters) converter = reinterpret_cast<iconv_t>(-1);
    }
    ~ThreadConverters() {
        for (iconv_t converter : converters) {
            if (converter != reinterpret_cast<iconv_t>(-1)) iconv_close(converter);
        }
    }
    ThreadConverters(const ThreadConverters &) = delete;
    ThreadConverters &operator=(const ThreadConverters &) = delete;
};

// The thread's converter to `codePage` (one of kCodePageNames), reset; -1
// with errno set when it cannot be opened.
iconv_t ThreadConverter(UINT codePage, const char *iconvName) {
    thread_local ThreadConverters open;
    size_t slot = 0;
    while (kCodePageNames[slot].codePage != codePage) ++slot;
    iconv_t &converter = open.converters[slot];
    if (converter == reinterpret_cast<iconv_t>(-1)) converter = iconv_open(iconvName, "UTF-16LE");
    else iconv(converter, nullptr, nullptr, nullptr, nullptr);
    return converter;
}

// The layer's ANSI code page (CP_ACP): the western one.
constexpr UINT kAnsiCodePage = 1252;

// Lowercase letters of code page 1252 whose capitals are not 0x20 below
// them: š œ ž ÿ.
struct CasePair {
    unsigned char lower;
    unsigned char upper;
};

constexpr CasePair kUpperCaseOutliers[] = {
    {0x9A, 0x8A},
    {0x9C, 0x8C},
    {0x9E, 0x8E},
    {0xFF, 0x9F},
};

constexpr char kDefaultCharacter = '?';

// The locale the environment names for messages, or null.
const char *EnvironmentLocale() {
    for (const char *variable : kLocaleVariables) {
        const char *value = std::getenv(variable);
        if (value != nullptr && value[0] != '\0') return value;
    }
    return nullptr;
}

// Windows language of a POSIX locale name ("de_AT.UTF-8@euro"): the part
// before codeset and modifier, matched whole against the table.
LANGID LanguageOfLocale(const char *locale) {
    const size_t length = std::strcspn(locale, ".@");
    const size_t languageLength = std::strcspn(locale, "_.@");
    const bool hasTerritory = languageLength < length;
    const char *territory = hasTerritory ? locale + languageLength + 1 : locale + length;
    const size_t territoryLength = static_cast<size_t>(locale + length - territory);
    for (const LocaleName &row : kLocaleNames) {
        if (hasTerritory != (row.territory[0] != '\0')) continue;
        if (std::strlen(row.language) == languageLength && std::strncmp(row.language, locale, languageLength) == 0 &&
            std::strlen(row.territory) == territoryLength &&
            std::strncmp(row.territory, territory, territoryLength) == 0) {
            return row.id;
        }
    }
    return MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
}

UINT CodePageOfLanguage(LANGID language) {
    for (const AnsiCodePage &row : kAnsiCodePages) {
        if (row.primaryLanguage == PRIMARYLANGID(language)) return row.codePage;
    }
    return 0;
}

bool IsDefaultLocale(LANGID language) {
    for (LANGID id : kDefaultLocales) {
        if (id == language) return true;
    }
    return false;
}

// The default ANSI code page of a locale, or 0 for a locale not known here.
// The sort order (bits 16-19) does not change the code page.
UINT AnsiCodePageOf(LCID locale) {
    if ((locale >> 20) != 0) return 0;
    const LANGID language = LANGIDFROMLCID(locale);
    if (PRIMARYLANGID(language) == LANG_NEUTRAL) {
        if (!IsDefaultLocale(language)) return 0;
        const UINT codePage = CodePageOfLanguage(patprn::platform::UserDefaultLanguage());
        return codePage != 0 ? codePage : kFallbackCodePage;
    }
    return CodePageOfLanguage(language);
}

// The Windows protocol for a locale value of `needed` bytes: size 0 asks
// for the size; a smaller buffer fails with ERROR_INSUFFICIENT_BUFFER.
int CopyLocaleValue(const void *value, int needed, LPSTR data, int size) {
    if (size == 0) return needed;
    if (size < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(data, value, static_cast<size_t>(needed));
    return needed;
}

const char *IconvName(UINT codePage) {
    for (const CodePageName &row : kCodePageNames) {
        if (row.codePage == codePage) return row.iconvName;
    }
    return nullptr;
}

bool IsLeadByte932(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// Where converted bytes go: the caller's buffer, or only a count when the
// caller asks for the size (capacity 0).
struct Output {
    LPSTR buffer;
    int capacity;
    int count;
};

// False when the bytes do not fit the caller's buffer.
bool Emit(Output *out, const char *bytes, size_t n) {
    if (n > static_cast<size_t>(INT_MAX - out->count)) return false;
    if (out->capacity != 0) {
        if (n > static_cast<size_t>(out->capacity - out->count)) return false;
        std::memcpy(out->buffer + out->count, bytes, n);
    }
    out->count += static_cast<int>(n);
    return true;
}

// True when every unit is below 0x80 (the terminator included).
bool IsAsciiOnly(LPCWSTR wide, size_t units) {
    for (size_t i = 0; i < units; ++i) {
        if (wide[i] >= 0x80) return false;
    }
    return true;
}

unsigned char UpperAnsi(unsigned char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) return static_cast<unsigned char>(c - 0x20);
    for (const CasePair &pair : kUpperCaseOutliers) {
        if (pair.lower == c) return pair.upper;
    }
    return c;
}

}  // namespace

namespace patprn::platform {

LANGID UserDefaultLanguage() {
    const char *locale = EnvironmentLocale();
    return locale != nullptr ? LanguageOfLocale(locale) : MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
}

}  // namespace patprn::platform

/* GetLocaleInfoA */
extern "C" int GetLocaleInfoA(LCID locale, LCTYPE type, LPSTR data, int size) {
    if (size < 0 || (size > 0 && data == nullptr)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const UINT codePage = AnsiCodePageOf(locale);
    if (codePage == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const LCTYPE value = type & ~(LOCALE_NOUSEROVERRIDE | LOCALE_USE_CP_ACP | LOCALE_RETURN_NUMBER);
    if (value != LOCALE_IDEFAULTANSICODEPAGE) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    if (type & LOCALE_RETURN_NUMBER) {
        const DWORD number = codePage;
        return CopyLocaleValue(&number, sizeof number, data, size);
    }
    char text[16];
    const int length = wsprintfA(text, "%u", codePage);
    return CopyLocaleValue(text, length + 1, data, size);
}

/* WideCharToMultiByte */
extern "C" int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideCount, LPSTR multi,
                                   int multiCount, LPCSTR defaultChar, LPBOOL usedDefault) {
    if (wide == nullptr || wideCount == 0 || wideCount < -1 || multiCount < 0 || (multiCount > 0 && multi == nullptr) ||
        (multiCount > 0 && static_cast<const void *>(multi) == static_cast<const void *>(wide))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (codePage == CP_ACP) codePage = kAnsiCodePage;
    const char *iconvName = IconvName(codePage);
    if (iconvName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // This layer never maps a character to a look-alike ("best fit"), so
    // WC_NO_BEST_FIT_CHARS is what it always does.
    if ((flags & ~WC_NO_BEST_FIT_CHARS) != 0) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    size_t units = static_cast<size_t>(wideCount);
    if (wideCount == -1) {
        units = 0;
        while (wide[units] != 0) ++units;
        ++units;  // the terminator is converted too
    }

    // The default character is one character of the code page: two bytes
    // when it starts with a lead byte of code page 932.
    const char *replacement = defaultChar != nullptr ? defaultChar : &kDefaultCharacter;
    size_t replacementLength = 1;
    if (defaultChar != nullptr && codePage == 932 &&
        IsLeadByte932(static_cast<unsigned char>(defaultChar[0])) && defaultChar[1] != '\0') {
        replacementLength = 2;
    }

    // Every code page of the layer keeps U+0001-U+007F as the same single
    // bytes, so a text of those alone (the product's strings in western
    // languages) is copied without the converter, in the converter's
    // 256-byte chunks so that a buffer too small holds the same bytes.
    if (IsAsciiOnly(wide, units)) {
        if (usedDefault != nullptr) *usedDefault = FALSE;
        Output out{multi, multiCount, 0};
        for (size_t done = 0; done < units;) {
            char chunk[256];
            size_t n = 0;
            for (; n < sizeof chunk && done < units; ++n, ++done) chunk[n] = static_cast<char>(wide[done]);
            if (!Emit(&out, chunk, n)) {
                SetLastError(ERROR_INSUFFICIENT_BUFFER);
                return 0;
            }
        }
        return out.count;
    }

    iconv_t converter = ThreadConverter(codePage, iconvName);
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        SetLastError(errno == ENOMEM ? ERROR_NOT_ENOUGH_MEMORY : ERROR_INVALID_PARAMETER);
        return 0;
    }
    Output out{multi, multiCount, 0};
    bool defaulted = false;
    bool fits = true;
    DWORD failure = ERROR_SUCCESS;
    char *in = const_cast<char *>(reinterpret_cast<const char *>(wide));
    size_t inLeft = units * sizeof(WCHAR);
    while (inLeft > 0 && fits) {
        char chunk[256];
        char *chunkEnd = chunk;
        size_t chunkLeft = sizeof chunk;
        const size_t result = iconv(converter, &in, &inLeft, &chunkEnd, &chunkLeft);
        const int error = errno;
        fits = Emit(&out, chunk, static_cast<size_t>(chunkEnd - chunk));
        if (!fits || result != static_cast<size_t>(-1) || error == E2BIG) continue;
        if (error != EILSEQ && error != EINVAL) {
            failure = ERROR_INVALID_PARAMETER;
            break;
        }
        // A character the code page cannot represent, or half a surrogate
        // pair: one code unit becomes the default character.
        defaulted = true;
        fits = Emit(&out, replacement, replacementLength);
        in += sizeof(WCHAR);
        inLeft -= sizeof(WCHAR);
    }

    if (usedDefault != nullptr) *usedDefault = defaulted ? TRUE : FALSE;
    if (failure == ERROR_SUCCESS && !fits) failure = ERROR_INSUFFICIENT_BUFFER;
    if (failure != ERROR_SUCCESS) {
        SetLastError(failure);
        return 0;
    }
    return out.count;
}

/* CharUpperA */
extern "C" LPSTR CharUpperA(LPSTR text) {
    // A "pointer" whose high bits are zero is one character, returned
    // upper-cased in the same form.
    if (IS_INTRESOURCE(text)) {
        const auto c = static_cast<unsigned char>(reinterpret_cast<ULONG_PTR>(text));
        return reinterpret_cast<LPSTR>(static_cast<ULONG_PTR>(UpperAnsi(c)));
    }
    for (char *p = text; *p != '\0'; ++p) *p = static_cast<char>(UpperAnsi(static_cast<unsigned char>(*p)));
    return text;
}
