// PatSetLocale and the selected language it leaves behind.
#include "frame/locale.h"
#include "language_guard.h"
#include "support/support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using pattest::LanguageGuard;

TEST(PatSetLocale, EveryCodeSelectsItsLanguageInAnyCase) {
    LanguageGuard guard;
    const struct {
        const char *code;
        uint16_t language;
    } cases[] = {{"jp", 0x0411}, {"en", 0x0409}, {"de", 0x0407}, {"fr", 0x040C}, {"it", 0x0410},
                 {"es", 0x040A}, {"nl", 0x0413}, {"sv", 0x041D}, {"da", 0x0406}, {"no", 0x0414},
                 {"cs", 0x0405}, {"hu", 0x040E}, {"pl", 0x0415}, {"pt", 0x0416}, {"fi", 0x040B}};
    for (const auto &c : cases) {
        for (std::string text : {std::string(c.code), std::string{static_cast<char>(c.code[0] - 32), c.code[1]}}) {
            patprn::SelectedLanguage.store(0x0400);
            pattest::PoisonLastError();
            EXPECT_EQ(PatSetLocale(text.c_str()), TRUE) << text;
            EXPECT_EQ(GetLastError(), 0u) << text;
            EXPECT_EQ(patprn::SelectedLanguage.load(), c.language) << text;
        }
    }
    EXPECT_EQ(PatSetLocale("eN"), TRUE);
    EXPECT_EQ(patprn::SelectedLanguage.load(), 0x0409);
}

TEST(PatSetLocale, UnknownTextFailsAndKeepsTheLanguage) {
    LanguageGuard guard;
    ASSERT_EQ(PatSetLocale("DE"), TRUE);
    // Not in the table, too long, empty, a code with trailing text beyond
    // the nine characters compared, and a code followed by a blank.
    for (const char *text : {"XX", "ENG", "", "ENxxxxxxxxxxxx", "EN ", "E", "C S"}) {
        pattest::PoisonLastError();
        EXPECT_EQ(PatSetLocale(text), FALSE) << '"' << text << '"';
        EXPECT_EQ(GetLastError(), PAT_ERROR_LANGUAGE) << '"' << text << '"';
        EXPECT_EQ(patprn::SelectedLanguage.load(), 0x0407) << '"' << text << '"';
    }
}

}  // namespace
