// LoadLocalizedString over the fixture strings 65520-65535 (resources/
// tests/resources/test_strings.rc), which both platforms compile into the same bytes.
#include "frame/localized_string.h"

#include "frame/locale.h"
#include "language_guard.h"
#ifndef _WIN32
#include "platform/platform_test.h"
#endif
#include "support/heap_hook.h"
#include "support/support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using pattest::LanguageGuard;

// The result of one load into a buffer pre-filled with 'Q'.
struct Loaded {
    DWORD error;
    std::string text;  // up to the terminator, or the whole buffer
    bool untouched;    // the buffer still holds only 'Q'
};

Loaded Load(uint16_t language, uint32_t number, DWORD capacity = 64) {
    patprn::SelectedLanguage.store(language);
    std::string buffer(capacity, 'Q');
    Loaded out;
    out.error = patprn::LoadLocalizedString(number, buffer.data(), capacity);
    out.untouched = buffer == std::string(capacity, 'Q');
    out.text = buffer.substr(0, std::strlen(buffer.c_str()));
    return out;
}

TEST(LoadLocalizedString, WalksTheBlockToTheSlot) {
    LanguageGuard guard;
    const struct {
        uint16_t language;
        uint32_t number;
        const char *text;
    } found[] = {
        {0x0409, 65520, "English first"},
        {0x0409, 65521, ""},  // an empty slot is an empty string
        {0x0407, 65522, "Schwarz"},
        {0x0409, 65535, "last slot"},  // fifteen strings stepped over
    };
    for (const auto &f : found) {
        Loaded loaded = Load(f.language, f.number);
        EXPECT_EQ(loaded.error, 0u) << f.number;
        EXPECT_EQ(loaded.text, f.text) << f.number;
        EXPECT_FALSE(loaded.untouched) << f.number;
    }
    // Block 3751 (numbers 60000-60015) exists in no language.
    Loaded missing = Load(0x0409, 60000);
    EXPECT_EQ(missing.error, PAT_ERROR_NOT_FOUND);
    EXPECT_TRUE(missing.untouched);
}

TEST(LoadLocalizedString, ConvertsToTheLanguagesCodePage) {
    LanguageGuard guard;
    // Half-width katakana are one byte each in the Japanese code page 932.
    Loaded japanese = Load(0x0411, 65520);
    EXPECT_EQ(japanese.error, 0u);
    EXPECT_EQ(japanese.text, "\xCC\xDE\xD7\xAF\xB8");
    // U+0151 (o with double acute) is 0xF5 in the Central European code
    // page 1250, and has no place in the western 1252.
    Loaded hungarian = Load(0x040E, 65520);
    EXPECT_EQ(hungarian.error, 0u);
    EXPECT_EQ(hungarian.text, "Fekete \xF5");
}

TEST(LoadLocalizedString, TextMustFitItsCapacity) {
    LanguageGuard guard;
    // "English first" is 13 characters: 14 bytes hold it with its zero.
    Loaded fits = Load(0x0409, 65520, 14);
    EXPECT_EQ(fits.error, 0u);
    EXPECT_EQ(fits.text, "English first");
    for (DWORD capacity : {13u, 1u, 0u}) {
        Loaded cut = Load(0x0409, 65520, capacity);
        EXPECT_EQ(cut.error, PAT_ERROR_NOT_FOUND) << capacity;
        EXPECT_TRUE(cut.untouched) << capacity;
    }
    // Five half-width katakana: five bytes and the zero fill six exactly.
    Loaded japanese = Load(0x0411, 65520, 6);
    EXPECT_EQ(japanese.error, 0u);
    EXPECT_EQ(japanese.text.size(), 5u);
    Loaded empty = Load(0x0409, 65521, 1);
    EXPECT_EQ(empty.error, 0u);
    EXPECT_EQ(empty.text, "");
}

TEST(LoadLocalizedString, LanguageWithoutLocaleInformationFails) {
    LanguageGuard guard;
    // Primary language 0x3FF is no language at all.
    Loaded none = Load(0x03FF, 65520);
    EXPECT_EQ(none.error, PAT_ERROR_LANGUAGE);
    EXPECT_TRUE(none.untouched);
}

TEST(LoadLocalizedString, FallbackIsTheResourceLoaders) {
    LanguageGuard guard;
    // Czech has no table of its own: the loader looks at Czech, then the
    // language-neutral table, which holds 65521 only.
    Loaded czech = Load(0x0405, 65521);
    EXPECT_EQ(czech.error, 0u);
    EXPECT_EQ(czech.text, "neutral only");
    // German with sublanguage 2 (Swiss) has no table: the loader settles on
    // the German neutral-sublanguage table first.
    Loaded swiss = Load(0x0807, 65520);
    EXPECT_EQ(swiss.error, 0u);
    EXPECT_EQ(swiss.text, "Deutsch neutral");
    // The user's default language finds the language-neutral table too.
    Loaded user = Load(0x0400, 65521);
    EXPECT_EQ(user.error, 0u);
    EXPECT_EQ(user.text, "neutral only");
}

TEST(LoadLocalizedString, CzechHasNoTableOfItsOwn) {
    LanguageGuard guard;
    // No Czech and no language-neutral table holds the product's strings:
    // the resource loader finds none, on both platforms.
    const Loaded czech = Load(0x0405, 3009, 16);
    EXPECT_EQ(czech.error, PAT_ERROR_NOT_FOUND);
    EXPECT_TRUE(czech.untouched);
    // The user's default language always finds a table: its own, or the
    // loader's fallback to English or the first stored.
    const Loaded black = Load(patprn::kUserDefaultLanguage, 3009);
    EXPECT_EQ(black.error, 0u);
    EXPECT_FALSE(black.text.empty());
}

// A particular language's code page is fixed locale data; the user's
// default language follows the settings, at every load.
TEST(LoadLocalizedString, UserDefaultLanguageFollowsTheSettingsAtEveryLoad) {
#ifdef _WIN32
    GTEST_SKIP() << "the settings are the process environment on Linux";
#else
    LanguageGuard guard;
    // A product string: no language-neutral table holds it, so the user's
    // default language finds the table of the language the settings name.
    constexpr uint32_t kBlack = 3009;
    const struct {
        const char *lcAll;
        uint16_t language;
    } settings[] = {{"hu_HU.UTF-8", 0x040E}, {"ja_JP.UTF-8", 0x0411}, {"hu_HU.UTF-8", 0x040E}};
    const std::string hungarian = Load(0x040E, kBlack).text;
    const std::string japanese = Load(0x0411, kBlack).text;
    ASSERT_NE(hungarian, japanese);
    for (const auto &setting : settings) {
        pattest::LocaleEnvironment environment(setting.lcAll);
        const Loaded user = Load(patprn::kUserDefaultLanguage, kBlack);
        EXPECT_EQ(user.error, 0u) << setting.lcAll;
        EXPECT_EQ(user.text, setting.language == 0x0411 ? japanese : hungarian) << setting.lcAll;
        // The particular languages loaded in between keep their own code pages.
        EXPECT_EQ(Load(0x0411, kBlack).text, japanese);
        EXPECT_EQ(Load(0x040E, kBlack).text, hungarian);
        EXPECT_EQ(Load(0x03FF, kBlack).error, PAT_ERROR_LANGUAGE) << "and a language without locale information fails";
    }
#endif
}

// A load reads the code page into its own small buffer and converts the
// string where the string table holds it: it takes nothing from the global
// heap, so a heap that fails changes nothing and nothing is left behind.
TEST(LoadLocalizedString, LoadsWithoutTheGlobalHeap) {
    SKIP_WITHOUT_HEAP_HOOK();
    LanguageGuard guard;
    pattest::HeapHookGuard hook;
    const Loaded expected = Load(0x0409, 65520);
    ASSERT_EQ(expected.error, 0u);
    const long before = pattest::LiveHeapBlocks();
    pattest::FailNthAllocation(1);
    const Loaded loaded = Load(0x0409, 65520);
    pattest::FailNthAllocation(0);
    EXPECT_EQ(loaded.error, 0u);
    EXPECT_EQ(loaded.text, expected.text);
    EXPECT_EQ(pattest::LiveHeapBlocks(), before);
}

}  // namespace
