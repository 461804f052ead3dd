// Content checks over every language's string table, as the library loads
// it: the numbering, the "%s" places and line structure of each translation
// against English, the language's ANSI code page, the length bounds, and
// the English texts against the reference typed in english_reference.cpp. Every failure names the
// language, the number and the stored text.
#include "english_reference.h"
#include "string_tables.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

using namespace strings_test;

// The numbering every language holds, with the longest text (UTF-16 units)
// any language may store in each range. The composer loads messages into 512
// bytes and names into 256, and a single-byte code page keeps bytes equal to
// units, so these bounds keep every text within its buffer.
struct NumberRange {
    unsigned first;
    unsigned last;
    unsigned longest;  // 0: the slot must be empty
};

constexpr NumberRange kNumbering[] = {
    {1000, 1119, 58},   // short labels, primary set
    {1500, 1500, 0},    // alternate set: the ready state shows no label
    {1501, 1540, 39},   // short labels, alternate set
    {2000, 2119, 229},  // detailed messages, primary set
    {2500, 2500, 0},    // alternate set: the ready state shows no message
    {2501, 2540, 228},  // detailed messages, alternate set
    {3000, 3012, 29},   // item names
    {3500, 3500, 2},    // separator between names
    {4000, 4009, 39},   // device names
    {5000, 5003, 29},   // input tray names
    {5010, 5010, 29},   // output tray name
};

const NumberRange *RangeOf(unsigned number) {
    for (const NumberRange &range : kNumbering) {
        if (number >= range.first && number <= range.last) return &range;
    }
    return nullptr;
}

template <typename Visit>
void ForEachNumber(Visit visit) {
    for (const NumberRange &range : kNumbering) {
        for (unsigned number = range.first; number <= range.last; ++number) visit(number, range);
    }
}

std::string Where(const Language &language, unsigned number) {
    return Describe(language) + " " + std::to_string(number) + ": ";
}

// The "%s" places of a text, written as they stand ("%s", "%s:%s",
// "%s %s"): ':' marks two places joined by exactly a colon, a space any other
// text between them. `stray` counts each '%' that does not begin "%s";
// the composer would copy it as it stands.
struct Shape {
    std::string places;
    unsigned stray = 0;
    unsigned lineFeeds = 0;
    bool endsWithLineFeed = false;
};

Shape ShapeOf(const std::u16string &text) {
    Shape shape;
    size_t afterPrevious = std::u16string::npos;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\n') ++shape.lineFeeds;
        if (text[i] != u'%') continue;
        if (i + 1 == text.size() || text[i + 1] != u's') {
            ++shape.stray;
            continue;
        }
        if (afterPrevious != std::u16string::npos) {
            shape.places += text.compare(afterPrevious, i - afterPrevious, u":") == 0 ? ":" : " ";
        }
        shape.places += "%s";
        afterPrevious = i + 2;
        ++i;
    }
    shape.endsWithLineFeed = !text.empty() && text.back() == u'\n';
    return shape;
}

// Units no text may hold: controls other than the line feed.
bool IsControl(char16_t unit) {
    return (unit < 0x20 && unit != u'\n') || unit == 0x7F || (unit >= 0x80 && unit < 0xA0);
}

// The Japanese tables are written in ASCII and half-width katakana only,
// which the Japanese code page holds in one byte each.
bool IsSingleByteJapanese(char16_t unit) {
    return unit == u'\n' || (unit >= 0x20 && unit <= 0x7E) || (unit >= 0xFF61 && unit <= 0xFF9F);
}

// Under Windows the plain conversion replaces some characters by look-alikes
// ("best fit") without reporting it; the library would then show a
// different letter. This flag makes such a character count as substituted.
// The platform layer converts strictly anyway.
#ifdef WC_NO_BEST_FIT_CHARS
constexpr DWORD kNoLookAlikes = WC_NO_BEST_FIT_CHARS;
#else
constexpr DWORD kNoLookAlikes = 0;
#endif

bool FitsCodePage(const std::u16string &text, UINT codePage) {
    if (text.empty()) return true;
    std::string converted(text.size() * 2, '\0');  // at most two bytes a unit in these code pages
    BOOL substituted = FALSE;
    int bytes = WideCharToMultiByte(codePage, kNoLookAlikes, reinterpret_cast<LPCWSTR>(text.data()),
                                    static_cast<int>(text.size()), converted.data(),
                                    static_cast<int>(converted.size()), nullptr, &substituted);
    return bytes > 0 && !substituted;
}

const LanguageTable &English() { return TableOf(0x0409); }

TEST(StringTables, EveryLanguageHasItsOwnTable) {
    std::string missing;
    for (const Language &language : kLanguages) {
        if (!TableOf(language.id).Present()) missing += "\n  " + Describe(language);
    }
    EXPECT_TRUE(missing.empty()) << "no string table of its own for:" << missing;
}

class LanguageTableTest : public ::testing::TestWithParam<Language> {
protected:
    const Language &language() const { return GetParam(); }
    const LanguageTable &table() const { return TableOf(GetParam().id); }
};

TEST_P(LanguageTableTest, HoldsExactlyTheNumbering) {
    ASSERT_TRUE(table().Present()) << Describe(language()) << ": no string table in this language";
    for (unsigned first : table().borrowedBlocks) {
        ADD_FAILURE() << Describe(language()) << " " << first << "-" << first + 15
                      << ": served from another language's table (a neutral LANGUAGE statement?)";
    }
    for (unsigned first : table().malformedBlocks) {
        ADD_FAILURE() << Describe(language()) << " " << first << "-" << first + 15 << ": block is malformed";
    }
    ForEachNumber([&](unsigned number, const NumberRange &range) {
        const std::u16string *text = table().Find(number);
        if (text == nullptr) {
            ADD_FAILURE() << Where(language(), number) << "missing";
        } else if (range.longest == 0 && !text->empty()) {
            ADD_FAILURE() << Where(language(), number) << "must be empty, holds " << Quoted(*text);
        } else if (range.longest != 0 && text->empty()) {
            ADD_FAILURE() << Where(language(), number) << "empty";
        }
    });
    for (const auto &[number, text] : table().slots) {
        if (RangeOf(number) == nullptr && !text.empty()) {
            ADD_FAILURE() << Where(language(), number) << "not a number of the table, holds " << Quoted(text);
        }
    }
}

TEST_P(LanguageTableTest, KeepsThePlacesAndLinesOfEnglish) {
    if (!table().Present()) GTEST_SKIP() << "no table (reported by HoldsExactlyTheNumbering)";
    if (!English().Present()) GTEST_SKIP() << "no English table to compare with";
    ForEachNumber([&](unsigned number, const NumberRange &) {
        const std::u16string *text = table().Find(number);
        const std::u16string *english = English().Find(number);
        if (text == nullptr || english == nullptr) return;
        Shape own = ShapeOf(*text);
        Shape reference = ShapeOf(*english);
        if (own.stray != 0) {
            ADD_FAILURE() << Where(language(), number) << "'%' not followed by 's' (only %s is filled in): "
                          << Quoted(*text);
        }
        if (own.places != reference.places) {
            ADD_FAILURE() << Where(language(), number) << "places \"" << own.places << "\", English has \""
                          << reference.places << "\": " << Quoted(*text) << "\n  English: " << Quoted(*english);
        }
        if (own.lineFeeds != reference.lineFeeds || own.endsWithLineFeed != reference.endsWithLineFeed) {
            ADD_FAILURE() << Where(language(), number) << own.lineFeeds << " line feeds"
                          << (own.endsWithLineFeed ? " (last at the end)" : "") << ", English has "
                          << reference.lineFeeds << (reference.endsWithLineFeed ? " (last at the end)" : "")
                          << ": " << Quoted(*text) << "\n  English: " << Quoted(*english);
        }
    });
}

TEST_P(LanguageTableTest, FitsItsAnsiCodePage) {
    if (!table().Present()) GTEST_SKIP() << "no table (reported by HoldsExactlyTheNumbering)";
    for (const auto &[number, text] : table().slots) {
        for (char16_t unit : text) {
            if (IsControl(unit) || (language().codePage == 932 && !IsSingleByteJapanese(unit))) {
                char code[8];
                std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(unit));
                ADD_FAILURE() << Where(language(), number) << "character " << code << " not allowed here: "
                              << Quoted(text);
                break;
            }
        }
        if (!FitsCodePage(text, language().codePage)) {
            ADD_FAILURE() << Where(language(), number) << "not representable in code page " << language().codePage
                          << ": " << Quoted(text);
        }
    }
}

TEST_P(LanguageTableTest, StaysWithinLengthBounds) {
    if (!table().Present()) GTEST_SKIP() << "no table (reported by HoldsExactlyTheNumbering)";
    ForEachNumber([&](unsigned number, const NumberRange &range) {
        const std::u16string *text = table().Find(number);
        if (text != nullptr && range.longest != 0 && text->size() > range.longest) {
            ADD_FAILURE() << Where(language(), number) << text->size() << " UTF-16 units, at most "
                          << range.longest << " allowed: " << Quoted(*text);
        }
    });
}

INSTANTIATE_TEST_SUITE_P(EveryLanguage, LanguageTableTest, ::testing::ValuesIn(kLanguages),
                         [](const ::testing::TestParamInfo<Language> &info) {
                             char id[8];
                             std::snprintf(id, sizeof id, "_%04X", static_cast<unsigned>(info.param.id));
                             return info.param.name + std::string(id);
                         });

// The English table against the reference texts.

void ExpectEnglish(unsigned number, const char *expected) {
    const std::u16string *text = English().Find(number);
    if (text == nullptr) {
        ADD_FAILURE() << "English (0x0409) " << number << ": missing";
    } else if (expected == nullptr) {
        EXPECT_FALSE(text->empty()) << "English (0x0409) " << number << ": empty";
    } else {
        EXPECT_EQ(Utf8(*text), expected) << "English (0x0409) " << number << ": " << Quoted(*text);
    }
}

const MessageRow *RowOf(uint32_t key) {
    for (size_t i = 0; i < kMessageRowCount; ++i) {
        for (uint32_t rowKey : kMessageRows[i].keys) {
            if (rowKey == key) return &kMessageRows[i];
        }
    }
    return nullptr;
}

const char *AlternateMessageOf(uint32_t key, const MessageRow &row) {
    for (size_t i = 0; i < kAlternateMessageCount; ++i) {
        if (kAlternateMessages[i].key == key) return kAlternateMessages[i].text;
    }
    return row.message;
}

TEST(EnglishTable, PrimarySetMatchesTheDocumentedMessages) {
    ASSERT_TRUE(English().Present()) << "no English table";
    for (unsigned n = 1; n <= 120; ++n) {
        const MessageRow *row = RowOf(kPrimaryKeys[n - 1]);
        ASSERT_NE(row, nullptr) << "key " << kPrimaryKeys[n - 1];
        ExpectEnglish(999 + n, row->label);
        ExpectEnglish(1999 + n, row->message);
    }
}

TEST(EnglishTable, AlternateSetMatchesTheDocumentedMessages) {
    ASSERT_TRUE(English().Present()) << "no English table";
    ExpectEnglish(1500, "");
    ExpectEnglish(2500, "");
    for (unsigned n = 2; n <= 41; ++n) {
        const MessageRow *row = RowOf(kAlternateKeys[n - 1]);
        ASSERT_NE(row, nullptr) << "key " << kAlternateKeys[n - 1];
        ExpectEnglish(1499 + n, row->label);
        ExpectEnglish(2499 + n, AlternateMessageOf(kAlternateKeys[n - 1], *row));
    }
}

TEST(EnglishTable, NamesAndExamplesMatchTheirNumbers) {
    ASSERT_TRUE(English().Present()) << "no English table";
    for (size_t i = 0; i < kShortGroupCount; ++i) ExpectEnglish(kShortGroups[i].number, kShortGroups[i].text);
    for (size_t i = 0; i < kNamedNumberCount; ++i) ExpectEnglish(kNamedNumbers[i].number, kNamedNumbers[i].text);
}

}  // namespace
