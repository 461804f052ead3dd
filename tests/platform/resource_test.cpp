// Resource lookup as the string loader and the bitmap exports use it: the
// fixture string tables of tests/resources/test_strings.rc (block 4096, numbers
// 65520-65535) in 0x0409, 0x0407, 0x0007, 0x0411, 0x040E and 0x0000, and
// the version resource (0x0409 only).
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform_test.h"

#ifndef _WIN32
#include "platform/resource.h"
#endif

namespace {

using pattest::FindStringBlock;
using pattest::ResourceModule;
using pattest::SlotText;

constexpr WORD kFixtureBlock = 4096;

struct LanguageCase {
    WORD asked;
    std::u16string slot0;  // number 65520
    std::u16string slot1;  // number 65521
};

TEST(FindResourceExA, LanguageFallsBackToPrimaryNeutralThenNeutral) {
    const LanguageCase cases[] = {
        {0x0407, u"Deutsch", u""},                         // exact
        {0x0409, u"English first", u""},                   // exact
        {0x0411, u"\uFF8C\uFF9E\uFF97\uFF6F\uFF78", u""},  // exact: half-width katakana
        {0x040E, u"Fekete \u0151", u""},                   // exact
        {0x0807, u"Deutsch neutral", u""},                 // German (Switzerland) has no table: German neutral
        {0x0007, u"Deutsch neutral", u""},                 // the neutral German table itself
        {0x0412, u"", u"neutral only"},                    // Korean: no Korean table, LANG_NEUTRAL
        {0x0405, u"", u"neutral only"},                    // Czech: no Czech table, LANG_NEUTRAL
        {0x0400, u"", u"neutral only"},                    // user default: LANG_NEUTRAL comes before it
        {0x0000, u"", u"neutral only"},
    };
    for (const LanguageCase &c : cases) {
        const pattest::StringBlock block = FindStringBlock(kFixtureBlock, c.asked);
        ASSERT_NE(block.res, nullptr) << std::hex << c.asked << " error " << std::dec << block.error;
        EXPECT_EQ(SlotText(block, 0), c.slot0) << std::hex << c.asked;
        EXPECT_EQ(SlotText(block, 1), c.slot1) << std::hex << c.asked;
    }
}

TEST(FindResourceExA, NamedLanguageWithoutTableIsNotFound) {
    // The version resource is stored in 0x0409 only. Asked for in Czech it
    // is not found; asked for with no language (0x0400) the user default or
    // English finds it.
    SetLastError(0xDEADBEEF);
    EXPECT_EQ(FindResourceExA(ResourceModule(), RT_VERSION, MAKEINTRESOURCEA(1), 0x0405), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_LANG_NOT_FOUND);
    EXPECT_NE(FindResourceExA(ResourceModule(), RT_VERSION, MAKEINTRESOURCEA(1), 0x0400), nullptr);
    EXPECT_NE(FindResourceExA(ResourceModule(), RT_VERSION, MAKEINTRESOURCEA(1), 0x0000), nullptr);
}

TEST(FindResourceExA, ProductTablesHaveNoNeutralFallback) {
    // The product's string tables (block 189: numbers 3008-3023) exist in
    // fourteen languages and in no neutral one: Czech finds none, the user
    // default finds one.
    constexpr WORD kBlock = 3009 / 16 + 1;
    if (FindStringBlock(kBlock, 0x0409).res == nullptr) GTEST_SKIP() << "product string tables are not stored yet";
    EXPECT_EQ(FindStringBlock(kBlock, 0x0405).error, ERROR_RESOURCE_LANG_NOT_FOUND);
    EXPECT_NE(FindStringBlock(kBlock, 0x0400).res, nullptr);
    EXPECT_EQ(SlotText(FindStringBlock(kBlock, 0x0409), 3009 % 16), u"Black");
}

TEST(FindResourceExA, MissingTypeAndNameHaveTheirOwnErrors) {
    SetLastError(0xDEADBEEF);
    EXPECT_EQ(FindResourceExA(ResourceModule(), MAKEINTRESOURCEA(0x7F00), MAKEINTRESOURCEA(1), 0x0409), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_TYPE_NOT_FOUND);
    SetLastError(0xDEADBEEF);
    // Block 1 (numbers 0-15) holds nothing in any language.
    EXPECT_EQ(FindResourceExA(ResourceModule(), RT_STRING, MAKEINTRESOURCEA(1), 0x0409), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
    SetLastError(0xDEADBEEF);
    // Text that is not "#number" names a string resource, never an id.
    EXPECT_EQ(FindResourceExA(ResourceModule(), "6", "#4096", 0x0407), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_TYPE_NOT_FOUND);
}

TEST(FindResourceA, TakesNameBeforeTypeAndNoLanguage) {
    const HRSRC found = FindResourceA(ResourceModule(), MAKEINTRESOURCEA(kFixtureBlock), RT_STRING);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found, FindResourceExA(ResourceModule(), RT_STRING, MAKEINTRESOURCEA(kFixtureBlock), 0));
    EXPECT_EQ(found, FindResourceExA(ResourceModule(), "#6", "#4096", 0)) << "\"#n\" is the id n";
}

TEST(StringBlock, SixteenSlotsFillTheResourceExactly) {
    const pattest::StringBlock block = FindStringBlock(kFixtureBlock, 0x0409);
    ASSERT_NE(block.res, nullptr);
    EXPECT_EQ(LockResource(LoadResource(ResourceModule(), block.res)), block.data);
    EXPECT_EQ(SlotText(block, 0), u"English first");
    EXPECT_EQ(SlotText(block, 1), u"") << "an empty slot has length 0";
    EXPECT_EQ(SlotText(block, 2), u"Black");
    EXPECT_EQ(SlotText(block, 15), u"last slot");
    size_t pos = 0;
    for (int slot = 0; slot < 16; ++slot) pos += 1 + block.data[pos];
    EXPECT_EQ(pos * sizeof(WCHAR), block.size);
}

#ifndef _WIN32

// ---- Lookup over .res images built here: the whole language order ----

// The header of a .res entry with integer type and name.
struct IdEntryHeader {
    DWORD dataSize, headerSize;
    WORD typeMarker, type, nameMarker, name;
    DWORD dataVersion;
    WORD memoryFlags, language;
    DWORD version, characteristics;
};
static_assert(sizeof(IdEntryHeader) == 32);

// Builds a .res image entry by entry, each entry 4 bytes of data.
struct ResImage {
    ResImage() { Add(0, 0, 0); }  // the empty entry every .res starts with
    void Add(WORD type, WORD name, WORD language) {
        const IdEntryHeader header{type == 0 ? 0u : 4u, 32, 0xFFFF, type, 0xFFFF, name, 0, 0, language, 0, 0};
        const auto *raw = reinterpret_cast<const unsigned char *>(&header);
        bytes.insert(bytes.end(), raw, raw + sizeof header);
        if (type != 0) bytes.insert(bytes.end(), {1, 2, 3, 4});
    }
    patprn::platform::ResourceImage Image() const { return {bytes.data(), bytes.data() + bytes.size()}; }
    static WORD LanguageAt(const void *found) { return static_cast<const IdEntryHeader *>(found)->language; }
    std::vector<unsigned char> bytes;
};

const void *Find(const ResImage &image, WORD type, WORD name, WORD language) {
    return patprn::platform::FindResourceInImage(image.Image(), MAKEINTRESOURCEA(type), MAKEINTRESOURCEA(name),
                                                 language);
}

TEST(FindResourceInImage, NoLanguageNamedTriesUserDefaultThenEnglishThenLowestStored) {
    ResImage image;
    image.Add(6, 10, 0x0411);
    image.Add(6, 10, 0x0407);
    image.Add(6, 10, 0x0409);
    image.Add(6, 20, 0x0411);
    image.Add(6, 20, 0x040E);
    {
        pattest::LocaleEnvironment german("de_DE.UTF-8");
        EXPECT_EQ(ResImage::LanguageAt(Find(image, 6, 10, 0x0400)), 0x0407);
        // A language that is named does not fall back to the user default.
        SetLastError(0xDEADBEEF);
        EXPECT_EQ(Find(image, 6, 10, 0x0405), nullptr);
        EXPECT_EQ(GetLastError(), ERROR_RESOURCE_LANG_NOT_FOUND);
    }
    {
        pattest::LocaleEnvironment french("fr_FR.UTF-8");
        EXPECT_EQ(ResImage::LanguageAt(Find(image, 6, 10, 0x0400)), 0x0409);
        // Neither French nor English: the lowest language id stored, not the
        // first one in the image.
        EXPECT_EQ(ResImage::LanguageAt(Find(image, 6, 20, 0x0400)), 0x040E);
    }
}

TEST(FindResourceInImage, NeutralTablesComeBeforeTheUserDefault) {
    ResImage image;
    image.Add(6, 10, 0x0407);
    image.Add(6, 10, 0x0000);
    image.Add(6, 10, 0x0009);
    pattest::LocaleEnvironment german("de_DE.UTF-8");
    EXPECT_EQ(ResImage::LanguageAt(Find(image, 6, 10, 0x0400)), 0x0000);
    EXPECT_EQ(ResImage::LanguageAt(Find(image, 6, 10, 0x0809)), 0x0009);
    EXPECT_EQ(ResImage::LanguageAt(Find(image, 6, 10, 0x0405)), 0x0000);
}

TEST(FindResourceInImage, MalformedImageEndsTheLookupWithoutReadingPastIt) {
    ResImage image;
    image.Add(6, 10, 0x0409);
    const std::vector<unsigned char> whole = image.bytes;
    // Every truncation of the last entry, in a buffer of exactly that size
    // (the sanitizer catches any read past it).
    for (size_t cut = 32; cut < whole.size(); ++cut) {
        std::vector<unsigned char> truncated(whole.begin(), whole.begin() + static_cast<long>(cut));
        const patprn::platform::ResourceImage view{truncated.data(), truncated.data() + truncated.size()};
        SetLastError(0xDEADBEEF);
        EXPECT_EQ(patprn::platform::FindResourceInImage(view, RT_STRING, MAKEINTRESOURCEA(10), 0x0409), nullptr) << cut;
        EXPECT_EQ(GetLastError(), ERROR_RESOURCE_TYPE_NOT_FOUND);
    }
    // A header size beyond the image, and a string name without terminator.
    std::vector<unsigned char> bad = whole;
    bad[32 + 4] = 0xFF;
    EXPECT_EQ(patprn::platform::FindResourceInImage({bad.data(), bad.data() + bad.size()}, RT_STRING,
                                                    MAKEINTRESOURCEA(10), 0x0409),
              nullptr);
    bad = whole;
    for (size_t i = 32 + 12; i < bad.size(); ++i) bad[i] = 'A';
    EXPECT_EQ(patprn::platform::FindResourceInImage({bad.data(), bad.data() + bad.size()}, RT_STRING,
                                                    MAKEINTRESOURCEA(10), 0x0409),
              nullptr);
}

TEST(LoadResource, RefusesHandlesItDidNotHandOut) {
    const HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(1), RT_VERSION);
    ASSERT_NE(found, nullptr);
    const int local = 0;
    for (const void *handle :
         {static_cast<const void *>(&local), static_cast<const void *>(reinterpret_cast<const char *>(found) + 4)}) {
        SetLastError(0xDEADBEEF);
        EXPECT_EQ(LoadResource(nullptr, static_cast<HRSRC>(const_cast<void *>(handle))), nullptr);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    }
}

#endif  // _WIN32

}  // namespace
