// Version and profile, through the real library as a host calls them.
#include "patprn/patprn.h"
#include "support/support.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#endif

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

#ifndef _WIN32
// A library loaded from a path longer than the 260 bytes the version lookup
// reads its own name into: the cut name is another file's, so the call
// fails with the code the truncation reported instead of succeeding.
TEST(PatGetDllVersion, AModulePathThatDoesNotFitFails) {
    namespace fs = std::filesystem;
    const fs::path built = fs::read_symlink("/proc/self/exe").parent_path() / PATPRN_LIBRARY_FILE;
    const fs::path deep = fs::temp_directory_path() / ("patprn-" + std::to_string(getpid())) / std::string(200, 'd') /
                          std::string(100, 'e');
    fs::create_directories(deep);
    fs::copy_file(built, deep / PATPRN_LIBRARY_FILE, fs::copy_options::overwrite_existing);
    void *copy = dlopen((deep / PATPRN_LIBRARY_FILE).c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(copy, nullptr) << dlerror();
    auto version = reinterpret_cast<BOOL (*)(PatVersionInfo *)>(dlsym(copy, "PatGetDllVersion"));
    auto lastError = reinterpret_cast<DWORD (*)()>(dlsym(copy, "GetLastError"));
    ASSERT_NE(version, nullptr);
    ASSERT_NE(lastError, nullptr);
    PatVersionInfo record{};
    record.cbSize = 32;
    pattest::PoisonLastError();
    EXPECT_EQ(version(&record), FALSE);
    // The second copy of the library may set the last error of the copy
    // loaded first, whose exported functions win the symbol lookup.
    const DWORD reported = lastError() == 122u ? 122u : GetLastError();
    EXPECT_EQ(reported, 122u);
    EXPECT_EQ(record.dwInterfaceVersion, 0u);
    dlclose(copy);
    fs::remove_all(deep.parent_path().parent_path());
}
#endif

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
