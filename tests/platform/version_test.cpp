// Module file name and version information, as PatGetDllVersion reads
// them: the path of the module, the size of its version block, the block,
// and the fixed file information (version 1.1.1.0) at its root.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform_test.h"

namespace {

std::string ModulePath() {
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    return n > 0 && n < sizeof path ? std::string(path, n) : std::string();
}

TEST(GetModuleFileNameA, FullPathThenTruncation) {
    char path[MAX_PATH];
    SetLastError(0xDEADBEEF);
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    ASSERT_GT(length, 5u);
    ASSERT_LT(length, sizeof path);
    EXPECT_EQ(std::strlen(path), length);
    EXPECT_EQ(GetLastError(), 0u);

    char shortBuffer[MAX_PATH];
    std::memset(shortBuffer, 'x', sizeof shortBuffer);
    SetLastError(0xDEADBEEF);
    EXPECT_EQ(GetModuleFileNameA(nullptr, shortBuffer, 5), 5u);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(std::string(shortBuffer, 4), std::string(path, 4));
    EXPECT_EQ(shortBuffer[5], 'x') << "nothing past the buffer";
#ifndef _WIN32
    EXPECT_EQ(shortBuffer[4], '\0') << "truncated text is terminated";
#endif

    SetLastError(0xDEADBEEF);
    EXPECT_EQ(GetModuleFileNameA(nullptr, shortBuffer, length), length) << "no room for the terminator";
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    SetLastError(0xDEADBEEF);
    EXPECT_EQ(GetModuleFileNameA(nullptr, shortBuffer, 0), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}

TEST(GetModuleFileNameA, UnknownModule) {
    char path[MAX_PATH];
    int local = 0;
    SetLastError(0xDEADBEEF);
    EXPECT_EQ(GetModuleFileNameA(reinterpret_cast<HMODULE>(&local), path, sizeof path), 0u);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
}

#ifndef _WIN32
TEST(GetModuleFileNameA, LibraryModuleIsTheFileThatHoldsIt) {
    // Linked into this test program, the library's file is the program.
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(patprn::platform::ThisModule(), path, sizeof path);
    ASSERT_GT(n, 0u);
    EXPECT_EQ(std::string(path, n), ModulePath());
    EXPECT_EQ(path[0], '/');
}
#endif

// The module's version block, read as PatGetDllVersion reads it.
std::vector<unsigned char> ReadVersionBlock(DWORD *size) {
    const std::string path = ModulePath();
    DWORD handle = 77;
    *size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    EXPECT_EQ(handle, 0u);
    std::vector<unsigned char> block(*size);
    if (*size == 0 || !GetFileVersionInfoA(path.c_str(), 0, *size, block.data())) block.clear();
    return block;
}

TEST(GetFileVersionInfoA, ModuleVersionIs1110) {
    DWORD size = 0;
    std::vector<unsigned char> block = ReadVersionBlock(&size);
    ASSERT_FALSE(block.empty()) << "error " << GetLastError();
    // Twice the resource plus four bytes, as Windows sizes the block.
    const HRSRC res = FindResourceA(pattest::ResourceModule(), MAKEINTRESOURCEA(1), RT_VERSION);
    ASSERT_NE(res, nullptr);
    EXPECT_EQ(size, SizeofResource(pattest::ResourceModule(), res) * 2 + 4);

    VS_FIXEDFILEINFO *fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<LPVOID *>(&fixed), &length));
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010001u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00010000u);
}

TEST(VerQueryValueA, TranslationAndMissingBlocks) {
    DWORD size = 0;
    std::vector<unsigned char> block = ReadVersionBlock(&size);
    ASSERT_FALSE(block.empty());
    for (const char *path : {"\\VarFileInfo\\Translation", "\\varfileinfo\\TRANSLATION"}) {
        WORD *translation = nullptr;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueA(block.data(), path, reinterpret_cast<LPVOID *>(&translation), &length)) << path;
        ASSERT_EQ(length, 4u);
        EXPECT_EQ(translation[0], 0x0409);
        EXPECT_EQ(translation[1], 1200);
    }
    LPVOID value = nullptr;
    UINT length = 0;
    EXPECT_FALSE(VerQueryValueA(block.data(), "\\NoSuchBlock", &value, &length));
    EXPECT_FALSE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation\\Deeper", &value, &length));
}

TEST(GetFileVersionInfoSizeA, FilesWithoutTheModulesVersion) {
    const struct {
        std::string path;
        DWORD error;
    } cases[] = {
        {pattest::HostPath(PATPRN_SOURCE_DIR "/tests/platform/no_such_file.txt"), ERROR_FILE_NOT_FOUND},
        {pattest::HostPath(PATPRN_SOURCE_DIR "/tests/no_such_directory/file.txt"), ERROR_PATH_NOT_FOUND},
        {pattest::HostPath(PATPRN_SOURCE_DIR "/tests/platform/version_test.cpp"), ERROR_RESOURCE_DATA_NOT_FOUND},
        {pattest::HostPath(PATPRN_SOURCE_DIR "/tests/platform"), ERROR_ACCESS_DENIED},
    };
    for (const auto &c : cases) {
        DWORD handle = 77;
        SetLastError(0xDEADBEEF);
        EXPECT_EQ(GetFileVersionInfoSizeA(c.path.c_str(), &handle), 0u) << c.path;
        EXPECT_EQ(GetLastError(), c.error) << c.path;
        EXPECT_EQ(handle, 0u);
        unsigned char block[64];
        SetLastError(0xDEADBEEF);
        EXPECT_FALSE(GetFileVersionInfoA(c.path.c_str(), 0, sizeof block, block)) << c.path;
        EXPECT_EQ(GetLastError(), c.error) << c.path;
    }
}

#ifndef _WIN32
TEST(GetFileVersionInfoSizeA, ExecutableWithoutVersionResource) {
    SetLastError(0xDEADBEEF);
    EXPECT_EQ(GetFileVersionInfoSizeA("/bin/sh", nullptr), 0u);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_TYPE_NOT_FOUND);
}

TEST(GetFileVersionInfoA, ShortBufferKeepsQueriesInsideIt) {
    // A block cut before the fixed file information: its root no longer
    // holds it, and nothing past the copy is read (the sanitizer watches).
    const std::string path = ModulePath();
    for (DWORD cut : {0u, 1u, 6u, 40u, 60u}) {
        std::vector<unsigned char> block(cut == 0 ? 1 : cut);
        ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, cut, block.data())) << cut;
        if (cut < 6) continue;
        LPVOID value = nullptr;
        UINT length = 0;
        EXPECT_FALSE(VerQueryValueA(block.data(), "\\", &value, &length)) << cut;
        EXPECT_FALSE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &value, &length)) << cut;
    }
}
#endif

}  // namespace
