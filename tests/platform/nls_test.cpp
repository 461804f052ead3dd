// National-language support as the string loader uses it: the ANSI code
// page of a language, conversion of stored UTF-16 texts into it, and
// upper-casing of locale codes.
#include <gtest/gtest.h>

#include <string>

#include "platform_test.h"

#ifndef _WIN32
#include "platform/nls.h"
#endif

namespace {

std::string CodePageText(LCID locale) {
    char text[16] = "poison";
    const int n = GetLocaleInfoA(locale, LOCALE_IDEFAULTANSICODEPAGE, text, sizeof text);
    return n > 0 ? std::string(text) : "failed " + std::to_string(GetLastError());
}

TEST(GetLocaleInfoA, AnsiCodePageOfEveryLanguageTheLibraryNames) {
    const struct {
        LCID locale;
        const char *codePage;
    } cases[] = {
        {0x0411, "932"},  {0x0405, "1250"}, {0x040E, "1250"}, {0x0415, "1250"}, {0x0406, "1252"}, {0x0407, "1252"},
        {0x0409, "1252"}, {0x040A, "1252"}, {0x040B, "1252"}, {0x040C, "1252"}, {0x0410, "1252"}, {0x0413, "1252"},
        {0x0414, "1252"}, {0x0416, "1252"}, {0x041D, "1252"}, {0x0007, "1252"}, {0x0C07, "1252"},
    };
    for (const auto &c : cases) EXPECT_EQ(CodePageText(c.locale), c.codePage) << std::hex << c.locale;
}

TEST(GetLocaleInfoA, SizeQueryThenExactBufferThenShortBuffer) {
    SetLastError(0xDEADBEEF);
    EXPECT_EQ(GetLocaleInfoA(0x0411, LOCALE_IDEFAULTANSICODEPAGE, nullptr, 0), 4) << "\"932\" and terminator";
    EXPECT_EQ(GetLocaleInfoA(0x0409, LOCALE_IDEFAULTANSICODEPAGE, nullptr, 0), 5);

    char text[8] = "xxxxxxx";
    EXPECT_EQ(GetLocaleInfoA(0x0409, LOCALE_IDEFAULTANSICODEPAGE, text, 5), 5);
    EXPECT_STREQ(text, "1252");
    EXPECT_EQ(GetLastError(), 0xDEADBEEFu) << "success leaves the last error alone";

    EXPECT_EQ(GetLocaleInfoA(0x0409, LOCALE_IDEFAULTANSICODEPAGE, text, 4), 0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);

    DWORD number = 0;
    EXPECT_EQ(GetLocaleInfoA(0x0411, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                             reinterpret_cast<LPSTR>(&number), sizeof number),
              4);
    EXPECT_EQ(number, 932u);
}

TEST(GetLocaleInfoA, UnknownLocaleTypeOrArguments) {
    char text[16];
    const struct {
        LCID locale;
        LCTYPE type;
        LPSTR data;
        int size;
        DWORD error;
    } cases[] = {
        {0x0409, 0x7777, text, 16, ERROR_INVALID_FLAGS},
        {0x03FF, LOCALE_IDEFAULTANSICODEPAGE, text, 16, ERROR_INVALID_PARAMETER},
        {0x12345678, LOCALE_IDEFAULTANSICODEPAGE, text, 16, ERROR_INVALID_PARAMETER},
        {0x0409, LOCALE_IDEFAULTANSICODEPAGE, nullptr, 5, ERROR_INVALID_PARAMETER},
        {0x0409, LOCALE_IDEFAULTANSICODEPAGE, text, -1, ERROR_INVALID_PARAMETER},
    };
    for (const auto &c : cases) {
        SetLastError(0xDEADBEEF);
        EXPECT_EQ(GetLocaleInfoA(c.locale, c.type, c.data, c.size), 0) << std::hex << c.locale << " " << c.type;
        EXPECT_EQ(GetLastError(), c.error) << std::hex << c.locale << " " << c.type;
    }
}

// ---- WideCharToMultiByte ----

std::string Convert(UINT codePage, const std::u16string &text, BOOL *usedDefault = nullptr,
                    const char *defaultChar = nullptr) {
    char out[64];
    const auto *wide = reinterpret_cast<LPCWSTR>(text.c_str());
    const int n = WideCharToMultiByte(codePage, 0, wide, -1, out, sizeof out, defaultChar, usedDefault);
    if (n <= 0) return "failed " + std::to_string(GetLastError());
    return std::string(out, static_cast<size_t>(n));
}

TEST(WideCharToMultiByte, CodePagesOfTheLibrarysLanguages) {
    using namespace std::string_literals;
    // Terminator included: the count -1 converts it too.
    EXPECT_EQ(Convert(1252, u"Schwarz \u00E9\u00DF"), "Schwarz \xE9\xDF\0"s);
    EXPECT_EQ(Convert(1252, u"\u20AC"), "\x80\0"s) << "euro sign";
    EXPECT_EQ(Convert(1250, u"Fekete \u0151\u0171"), "Fekete \xF5\xFB\0"s);
    // Half-width katakana are single bytes in 932; other kana and kanji two.
    EXPECT_EQ(Convert(932, u"\uFF8C\uFF9E\uFF97\uFF6F\uFF78"), "\xCC\xDE\xD7\xAF\xB8\0"s);
    EXPECT_EQ(Convert(932, u"\u3042\u65E5A"),
              "\x82\xA0\x93\xFA"
              "A\0"s);
}

TEST(WideCharToMultiByte, UnrepresentableCharactersBecomeTheDefaultCharacter) {
    using namespace std::string_literals;
    BOOL used = 7;
    EXPECT_EQ(Convert(1252, u"a\u3042b", &used), "a?b\0"s);
    EXPECT_EQ(used, TRUE);
    used = 7;
    EXPECT_EQ(Convert(1252, u"ab", &used), "ab\0"s);
    EXPECT_EQ(used, FALSE);
    EXPECT_EQ(Convert(1250, u"\u3042", &used, "*"), "*\0"s);
    EXPECT_EQ(used, TRUE);
    EXPECT_EQ(Convert(932, u"\u0151", &used), "?\0"s);
    EXPECT_EQ(used, TRUE);
}

TEST(WideCharToMultiByte, SizeQueryExplicitCountAndShortBuffer) {
    const std::u16string text = u"\uFF8C\u3042x";  // 1 + 2 + 1 bytes in 932
    const auto *wide = reinterpret_cast<LPCWSTR>(text.c_str());
    EXPECT_EQ(WideCharToMultiByte(932, 0, wide, -1, nullptr, 0, nullptr, nullptr), 5);
    EXPECT_EQ(WideCharToMultiByte(932, 0, wide, 2, nullptr, 0, nullptr, nullptr), 3);

    char out[8] = "zzzzzzz";
    EXPECT_EQ(WideCharToMultiByte(932, 0, wide, 2, out, sizeof out, nullptr, nullptr), 3);
    EXPECT_EQ(out[3], 'z') << "an explicit count converts no terminator";

    SetLastError(0xDEADBEEF);
    EXPECT_EQ(WideCharToMultiByte(932, 0, wide, -1, out, 4, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}

// Plain ASCII, the product's western strings, is the same bytes in every
// code page, long or short, with the terminator or without.
TEST(WideCharToMultiByte, AsciiTextsInEveryCodePage) {
    std::u16string text;
    for (int i = 0; i < 300; ++i) text += static_cast<char16_t>(0x20 + i % 0x5F);
    const std::string expected(text.begin(), text.end());
    const auto *wide = reinterpret_cast<LPCWSTR>(text.c_str());
    for (UINT codePage : {1252u, 1250u, 932u}) {
        EXPECT_EQ(WideCharToMultiByte(codePage, 0, wide, -1, nullptr, 0, nullptr, nullptr), 301) << codePage;
        std::string out(400, 'z');
        BOOL used = TRUE;
        EXPECT_EQ(WideCharToMultiByte(codePage, 0, wide, -1, out.data(), 400, nullptr, &used), 301) << codePage;
        EXPECT_EQ(out.substr(0, 301), expected + '\0') << codePage;
        EXPECT_EQ(out[301], 'z') << codePage;
        EXPECT_FALSE(used) << codePage;
        EXPECT_EQ(WideCharToMultiByte(codePage, 0, wide, 3, out.data(), 3, nullptr, nullptr), 3) << codePage;
        SetLastError(0xDEADBEEF);
        EXPECT_EQ(WideCharToMultiByte(codePage, 0, wide, -1, out.data(), 300, nullptr, nullptr), 0) << codePage;
        EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER) << codePage;
    }
}

TEST(WideCharToMultiByte, InvalidArguments) {
    const std::u16string text = u"abc";
    const auto *wide = reinterpret_cast<LPCWSTR>(text.c_str());
    char out[8];
    const struct {
        UINT codePage;
        DWORD flags;
        LPCWSTR wide;
        int wideCount;
        LPSTR out;
        int outCount;
        DWORD error;
    } cases[] = {
        {1252, 0, wide, 0, out, 8, ERROR_INVALID_PARAMETER},
        {1252, 0, wide, -1, nullptr, 8, ERROR_INVALID_PARAMETER},
        {54321, 0, wide, -1, out, 8, ERROR_INVALID_PARAMETER},
        {1252, 0x12340000, wide, -1, out, 8, ERROR_INVALID_FLAGS},
    };
    for (const auto &c : cases) {
        SetLastError(0xDEADBEEF);
        EXPECT_EQ(WideCharToMultiByte(c.codePage, c.flags, c.wide, c.wideCount, c.out, c.outCount, nullptr, nullptr), 0)
            << c.codePage << " " << c.wideCount << " " << c.outCount;
        EXPECT_EQ(GetLastError(), c.error) << c.codePage << " " << c.wideCount << " " << c.outCount;
    }
}

// ---- CharUpperA ----

TEST(CharUpperA, AsciiAndWesternLettersInPlaceOrOneInThePointer) {
    char text[] = "de-ja 09 \xE9\xE0\xFE\xF7\xFF\x9A\x9C\x9E\xDF\xB5 Z";
    EXPECT_EQ(CharUpperA(text), text);
    EXPECT_STREQ(text, "DE-JA 09 \xC9\xC0\xDE\xF7\x9F\x8A\x8C\x8E\xDF\xB5 Z");

    EXPECT_EQ(reinterpret_cast<ULONG_PTR>(CharUpperA(reinterpret_cast<LPSTR>(ULONG_PTR{'a'}))), ULONG_PTR{'A'});
    EXPECT_EQ(reinterpret_cast<ULONG_PTR>(CharUpperA(reinterpret_cast<LPSTR>(ULONG_PTR{0xE9}))), ULONG_PTR{0xC9});
    EXPECT_EQ(reinterpret_cast<ULONG_PTR>(CharUpperA(reinterpret_cast<LPSTR>(ULONG_PTR{'1'}))), ULONG_PTR{'1'});
}

#ifndef _WIN32

// ---- The user default from the environment (this layer only) ----

TEST(UserDefaultLanguage, FromTheStrongestLocaleVariable) {
    const struct {
        const char *lcAll;
        LANGID language;
    } cases[] = {
        {"de_DE.UTF-8", 0x0407}, {"de_AT.UTF-8", 0x0C07}, {"de_DE@euro", 0x0407},  {"de", 0x0407},
        {"de_XX", 0x0409},       {"es_ES.UTF-8", 0x0C0A}, {"ja_JP.UTF-8", 0x0411}, {"pt", 0x0416},
        {"C.UTF-8", 0x0409},     {"POSIX", 0x0409},       {"d", 0x0409},           {"de_", 0x0409},
        {"de.UTF-8", 0x0407},
    };
    for (const auto &c : cases) {
        pattest::LocaleEnvironment environment(c.lcAll);
        EXPECT_EQ(patprn::platform::UserDefaultLanguage(), c.language) << c.lcAll;
    }
    pattest::LocaleEnvironment environment(nullptr);
    EXPECT_EQ(patprn::platform::UserDefaultLanguage(), 0x0409) << "no locale at all";
    setenv("LANG", "hu_HU.UTF-8", 1);
    EXPECT_EQ(patprn::platform::UserDefaultLanguage(), 0x040E);
    setenv("LC_MESSAGES", "pl_PL.UTF-8", 1);
    EXPECT_EQ(patprn::platform::UserDefaultLanguage(), 0x0415);
    setenv("LC_ALL", "", 1);
    EXPECT_EQ(patprn::platform::UserDefaultLanguage(), 0x0415) << "an empty variable is not set";
    setenv("LC_ALL", "ja_JP.UTF-8", 1);
    EXPECT_EQ(patprn::platform::UserDefaultLanguage(), 0x0411);
}

TEST(GetLocaleInfoA, UserDefaultCodePageFollowsTheEnvironmentAnsiCodePageDoesNot) {
    const struct {
        const char *lcAll;
        const char *codePage;
    } cases[] = {{"ja_JP.UTF-8", "932"}, {"cs_CZ.UTF-8", "1250"}, {"de_DE.UTF-8", "1252"}, {"ru_RU.UTF-8", "1252"}};
    for (const auto &c : cases) {
        pattest::LocaleEnvironment environment(c.lcAll);
        for (LCID form : {0x0000u, 0x0400u, 0x0800u}) EXPECT_EQ(CodePageText(form), c.codePage) << c.lcAll;
        EXPECT_EQ(Convert(CP_ACP, u"\u00E9\u0151"), std::string("\xE9?", 3)) << "CP_ACP is 1252";
    }
}

#endif  // _WIN32

}  // namespace
