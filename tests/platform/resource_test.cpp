// Resource lookup as the string loader and the bitmap exports use it: the
// fixture string tables of resources/strings/test.rc (block 4096, numbers
// 65520-65535) in 0x0409, 0x0407, 0x0007, 0x0411, 0x040E and 0x0000, and
// the version resource (0x0409 only).
#include "platform_test.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

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
        {0x0407, u"Deutsch", u""},                // exact
        {0x0409, u"English first", u""},          // exact
        {0x0807, u"Deutsch neutral", u""},        // German (Switzerland) has no table: German neutral
        {0x0007, u"Deutsch neutral", u""},        // the neutral German table itself
        {0x0412, u"", u"neutral only"},           // Korean: no Korean table, LANG_NEUTRAL
        {0x0405, u"", u"neutral only"},           // Czech: no Czech table, LANG_NEUTRAL
        {0x0400, u"", u"neutral only"},           // user default: LANG_NEUTRAL comes before it
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
    const pattest::StringBlock german = FindStringBlock(kBlock, 0x0407);
    const pattest::StringBlock english = FindStringBlock(kBlock, 0x0409);
    ASSERT_NE(german.res, nullptr);
    EXPECT_NE(german.res, english.res);
    EXPECT_EQ(SlotText(english, 3009 % 16), u"Black");
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
    EXPECT_EQ(FindResourceExA(ResourceModule(), "NO_SUCH_TYPE", MAKEINTRESOURCEA(1), 0x0409), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_TYPE_NOT_FOUND);
}

TEST(FindResourceExA, HashNumberTextIsTheIntegerId) {
    const HRSRC byId = FindResourceExA(ResourceModule(), RT_STRING, MAKEINTRESOURCEA(kFixtureBlock), 0x0407);
    ASSERT_NE(byId, nullptr);
    EXPECT_EQ(FindResourceExA(ResourceModule(), "#6", "#4096", 0x0407), byId);
    SetLastError(0xDEADBEEF);
    // Text that is not "#number" names a string resource, never an id.
    EXPECT_EQ(FindResourceExA(ResourceModule(), "6", "#4096", 0x0407), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_TYPE_NOT_FOUND);
}

TEST(FindResourceA, TakesNameBeforeTypeAndNoLanguage) {
    const HRSRC found = FindResourceA(ResourceModule(), MAKEINTRESOURCEA(kFixtureBlock), RT_STRING);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found, FindResourceExA(ResourceModule(), RT_STRING, MAKEINTRESOURCEA(kFixtureBlock), 0));
    SetLastError(0xDEADBEEF);
    EXPECT_EQ(FindResourceA(ResourceModule(), RT_STRING, MAKEINTRESOURCEA(kFixtureBlock)), nullptr)
        << "type 4096 does not exist";
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_TYPE_NOT_FOUND);
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

TEST(StringBlock, JapaneseAndHungarianTablesHoldUtf16) {
    const pattest::StringBlock japanese = FindStringBlock(kFixtureBlock, 0x0411);
    ASSERT_NE(japanese.res, nullptr);
    EXPECT_EQ(SlotText(japanese, 0), u"\uFF8C\uFF9E\uFF97\uFF6F\uFF78");
    const pattest::StringBlock hungarian = FindStringBlock(kFixtureBlock, 0x040E);
    ASSERT_NE(hungarian.res, nullptr);
    EXPECT_EQ(SlotText(hungarian, 0), u"Fekete \u0151");
}

TEST(SizeofResource, VersionResourceStartsWithItsOwnLength) {
    const HRSRC res = FindResourceA(ResourceModule(), MAKEINTRESOURCEA(1), RT_VERSION);
    ASSERT_NE(res, nullptr);
    const auto *data = static_cast<const unsigned char *>(LockResource(LoadResource(ResourceModule(), res)));
    ASSERT_NE(data, nullptr);
    WORD length;
    std::memcpy(&length, data, sizeof length);
    EXPECT_EQ(SizeofResource(ResourceModule(), res), length);
}

#ifndef _WIN32

// ---- Lookup over .res images built here: the whole language order ----

// Builds a .res image entry by entry, as the resource compiler lays it out.
class ResImage {
public:
    ResImage() { Add(0, 0, 0, {}); }  // the empty entry every .res starts with

    void Add(WORD type, WORD name, WORD language, std::vector<unsigned char> data) {
        const size_t start = bytes_.size();
        PutDword(static_cast<DWORD>(data.size()));
        PutDword(32);
        PutWord(0xFFFF);
        PutWord(type);
        PutWord(0xFFFF);
        PutWord(name);
        PutDword(0);  // DataVersion
        PutWord(0);   // MemoryFlags
        PutWord(language);
        PutDword(0);  // Version
        PutDword(0);  // Characteristics
        EXPECT_EQ(bytes_.size() - start, 32u);
        bytes_.insert(bytes_.end(), data.begin(), data.end());
        while (bytes_.size() % 4 != 0) bytes_.push_back(0);
    }

    patprn::platform::ResourceImage Image() const { return {bytes_.data(), bytes_.data() + bytes_.size()}; }
    std::vector<unsigned char> &Bytes() { return bytes_; }

    // The language of the entry whose header `found` points at.
    static WORD LanguageAt(const void *found) {
        WORD language;
        std::memcpy(&language, static_cast<const unsigned char *>(found) + 22, sizeof language);
        return language;
    }

private:
    void PutWord(WORD v) { bytes_.insert(bytes_.end(), {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8)}); }
    void PutDword(DWORD v) {
        PutWord(static_cast<WORD>(v));
        PutWord(static_cast<WORD>(v >> 16));
    }
    std::vector<unsigned char> bytes_;
};

const void *Find(const ResImage &image, WORD type, WORD name, WORD language) {
    return patprn::platform::FindResourceInImage(image.Image(), MAKEINTRESOURCEA(type), MAKEINTRESOURCEA(name), language);
}

TEST(FindResourceInImage, NoLanguageNamedTriesUserDefaultThenEnglishThenLowestStored) {
    ResImage image;
    image.Add(6, 10, 0x0411, {1, 0, 0, 0});
    image.Add(6, 10, 0x0407, {2, 0, 0, 0});
    image.Add(6, 10, 0x0409, {3, 0, 0, 0});
    image.Add(6, 20, 0x0411, {4, 0, 0, 0});
    image.Add(6, 20, 0x040E, {5, 0, 0, 0});
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
    image.Add(6, 10, 0x0407, {1, 0, 0, 0});
    image.Add(6, 10, 0x0000, {2, 0, 0, 0});
    image.Add(6, 10, 0x0009, {3, 0, 0, 0});
    pattest::LocaleEnvironment german("de_DE.UTF-8");
    EXPECT_EQ(ResImage::LanguageAt(Find(image, 6, 10, 0x0400)), 0x0000);
    EXPECT_EQ(ResImage::LanguageAt(Find(image, 6, 10, 0x0809)), 0x0009);
    EXPECT_EQ(ResImage::LanguageAt(Find(image, 6, 10, 0x0405)), 0x0000);
}

TEST(FindResourceInImage, StringNamesMatchWithoutRegardToCase) {
    ResImage image;
    // Type RT_BITMAP, name "BM_X", language 0x0411, written by hand: the
    // name is a UTF-16 string, so the header is 40 bytes.
    std::vector<unsigned char> &bytes = image.Bytes();
    const unsigned char entry[] = {4, 0, 0, 0, 40, 0, 0, 0, 0xFF, 0xFF, 2, 0, 'B', 0, 'M', 0, '_', 0, 'X', 0, 0, 0,
                                   0, 0,  // padding to a DWORD
                                   0, 0, 0, 0, 0, 0, 0x11, 0x04, 0, 0, 0, 0, 0, 0, 0, 0, 9, 9, 9, 9};
    bytes.insert(bytes.end(), entry, entry + sizeof entry);
    const patprn::platform::ResourceImage view = image.Image();
    for (const char *name : {"BM_X", "bm_x", "Bm_X"}) {
        EXPECT_NE(patprn::platform::FindResourceInImage(view, RT_BITMAP, name, 0), nullptr) << name;
    }
    SetLastError(0xDEADBEEF);
    EXPECT_EQ(patprn::platform::FindResourceInImage(view, RT_BITMAP, "BM_", 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
    SetLastError(0xDEADBEEF);
    EXPECT_EQ(patprn::platform::FindResourceInImage(view, RT_BITMAP, "#70000", 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER) << "an id must fit 16 bits";
}

TEST(FindResourceInImage, MalformedImageEndsTheLookupWithoutReadingPastIt) {
    ResImage image;
    image.Add(6, 10, 0x0409, {1, 2, 3, 4});
    const std::vector<unsigned char> whole = image.Bytes();
    // Every truncation of the last entry, in a buffer of exactly that size
    // (the sanitizer catches any read past it).
    for (size_t cut = 32; cut < whole.size(); ++cut) {
        std::vector<unsigned char> truncated(whole.begin(), whole.begin() + static_cast<long>(cut));
        const patprn::platform::ResourceImage view{truncated.data(), truncated.data() + truncated.size()};
        SetLastError(0xDEADBEEF);
        EXPECT_EQ(patprn::platform::FindResourceInImage(view, RT_STRING, MAKEINTRESOURCEA(10), 0x0409), nullptr)
            << cut;
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

TEST(LoadResource, RejectsHandlesThatAreNoEntry) {
    const int local = 0;
    SetLastError(0xDEADBEEF);
    EXPECT_EQ(LoadResource(nullptr, reinterpret_cast<HRSRC>(const_cast<int *>(&local))), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(SizeofResource(nullptr, nullptr), 0u);
}

#endif  // _WIN32

}  // namespace
