// Version and profile, through the real library as a host calls them.
#include "patprn/patprn.h"
#include "support/support.h"

#include <gtest/gtest.h>

namespace {

using pattest::kPoison;

TEST(PatGetDllVersion, ReportsFileInterfaceAndDataVersion) {
    PatVersionInfo record;
    std::fill_n(reinterpret_cast<DWORD *>(&record), 8, kPoison);
    record.cbSize = 32;
    pattest::PoisonLastError();
    ASSERT_EQ(PatGetDllVersion(&record), TRUE);
    EXPECT_EQ(GetLastError(), 0u);
    EXPECT_EQ(record.cbSize, 32u);
    EXPECT_EQ(record.dwFileVersion, 0x01010100u);
    EXPECT_EQ(record.dwInterfaceVersion, 0x02000100u);
    EXPECT_EQ(record.dwDataVersion, 0x03060000u);
    for (DWORD word : record.dwReserved) EXPECT_EQ(word, 0u);
}

TEST(PatGetDllVersion, RejectsNullAndShortRecordsUntouched) {
    pattest::PoisonLastError();
    EXPECT_EQ(PatGetDllVersion(nullptr), FALSE);
    EXPECT_EQ(GetLastError(), 87u);

    PatVersionInfo record;
    std::fill_n(reinterpret_cast<DWORD *>(&record), 8, kPoison);
    record.cbSize = 31;
    pattest::PoisonLastError();
    EXPECT_EQ(PatGetDllVersion(&record), FALSE);
    EXPECT_EQ(GetLastError(), 87u);
    EXPECT_EQ(record.cbSize, 31u);
    EXPECT_EQ(record.dwFileVersion, kPoison);
    EXPECT_EQ(record.dwReserved[3], kPoison);
}

TEST(PatGetDllVersion, LargerRecordKeepsItsSize) {
    struct {
        PatVersionInfo info;
        DWORD beyond;
    } record{};
    record.info.cbSize = sizeof record;
    record.beyond = kPoison;
    ASSERT_EQ(PatGetDllVersion(&record.info), TRUE);
    EXPECT_EQ(record.info.cbSize, sizeof record);
    EXPECT_EQ(record.beyond, kPoison) << "nothing past the 32-byte record is written";
}

struct ProfileCase {
    DWORD source;
    DWORD words[5];
};

TEST(PatGetPeripheralProfile, FixedWordsPerSource) {
    const ProfileCase cases[] = {
        {0x0001, {0x00020000, 3, 7, 2, 0}},
        {0x8000, {0x00020000, 3, 0x40, 0, 0}},
        {0x10001, {0x00020000, 3, 7, 2, 0}},       // only the low 16 bits count
        {0x80008000, {0x00020000, 3, 0x40, 0, 0}},
    };
    for (const ProfileCase &c : cases) {
        DWORD profile[6];
        std::fill_n(profile, 6, kPoison);
        DWORD size = 24;
        pattest::PoisonLastError();
        ASSERT_EQ(PatGetPeripheralProfile(c.source, profile, &size), TRUE) << std::hex << c.source;
        EXPECT_EQ(GetLastError(), 0u);
        EXPECT_EQ(size, 20u);
        for (int i = 0; i < 5; ++i) EXPECT_EQ(profile[i], c.words[i]) << "word " << i + 1;
        EXPECT_EQ(profile[5], kPoison);
    }
}

TEST(PatGetPeripheralProfile, ArgumentFailures) {
    DWORD profile[5];
    std::fill_n(profile, 5, kPoison);

    pattest::PoisonLastError();
    EXPECT_EQ(PatGetPeripheralProfile(1, profile, nullptr), FALSE);
    EXPECT_EQ(GetLastError(), 87u);

    DWORD size = kPoison;
    EXPECT_EQ(PatGetPeripheralProfile(2, profile, &size), FALSE);
    EXPECT_EQ(GetLastError(), 87u);
    EXPECT_EQ(size, 20u);

    size = kPoison;
    EXPECT_EQ(PatGetPeripheralProfile(1, nullptr, &size), FALSE);
    EXPECT_EQ(GetLastError(), 87u);
    EXPECT_EQ(size, 20u);

    size = 19;
    EXPECT_EQ(PatGetPeripheralProfile(1, profile, &size), FALSE);
    EXPECT_EQ(GetLastError(), 122u);
    EXPECT_EQ(size, 20u);
    EXPECT_EQ(profile[0], kPoison) << "a short buffer is not written";
}

}  // namespace
