// PatSetLocale through the real library. The language is process-wide:
// every test here leaves English selected, which the other boundary tests
// expect.
#include "patprn/patprn.h"
#include "support/support.h"

#include <gtest/gtest.h>

namespace {

class PatSetLocaleApi : public ::testing::Test {
protected:
    void TearDown() override { ASSERT_EQ(PatSetLocale("EN"), TRUE); }
};

TEST_F(PatSetLocaleApi, CodesInAnyCase) {
    for (const char *code : {"en", "En", "EN", "de", "jp", "CS", "fi"}) {
        pattest::PoisonLastError();
        EXPECT_EQ(PatSetLocale(code), TRUE) << code;
        EXPECT_EQ(GetLastError(), 0u) << code;
    }
}

TEST_F(PatSetLocaleApi, UnknownOrNull) {
    for (const char *code : {"XX", "ENG", "", "ENGLISH-US"}) {
        pattest::PoisonLastError();
        EXPECT_EQ(PatSetLocale(code), FALSE) << code;
        EXPECT_EQ(GetLastError(), PAT_ERROR_LANGUAGE) << code;
    }
    pattest::PoisonLastError();
    EXPECT_EQ(PatSetLocale(nullptr), FALSE);
    EXPECT_EQ(GetLastError(), 87u);
}

}  // namespace
