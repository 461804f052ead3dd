// Helpers of the platform tests. The same tests run against the Linux
// platform layer and, under Wine, against the real Windows API, so they
// state only what both do.
#pragma once

#include <string>

#include "platform/win32.h"

#ifndef _WIN32
#include <cstdlib>
#endif

namespace pattest {

// The module whose resources the tests read. Under Windows the resources
// are linked into the test executable; here every module handle names the
// library's embedded image, and the library's own handle is the one the
// library uses.
inline HMODULE ResourceModule() {
#ifdef _WIN32
    return GetModuleHandleA(nullptr);
#else
    return patprn::platform::ThisModule();
#endif
}

// A file-function path for an absolute POSIX path: Wine reaches the Unix
// file system through drive Z:.
inline std::string HostPath(const std::string &posix) {
#ifdef _WIN32
    return "Z:" + posix;
#else
    return posix;
#endif
}

// A string-table block as the string loader walks it: 16 slots, each a
// length in UTF-16 units and that many units.
struct StringBlock {
    HRSRC res = nullptr;
    DWORD error = 0;  // last error when not found
    const WCHAR *data = nullptr;
    DWORD size = 0;
};

inline StringBlock FindStringBlock(WORD block, WORD language) {
    StringBlock found;
    SetLastError(0xDEADBEEF);
    found.res = FindResourceExA(ResourceModule(), RT_STRING, MAKEINTRESOURCEA(block), language);
    if (found.res == nullptr) {
        found.error = GetLastError();
        return found;
    }
    found.data = static_cast<const WCHAR *>(LockResource(LoadResource(ResourceModule(), found.res)));
    found.size = SizeofResource(ResourceModule(), found.res);
    return found;
}

// The text of slot `index` (0-15); stops at the block's end.
inline std::u16string SlotText(const StringBlock &block, unsigned index) {
    const size_t units = block.size / sizeof(WCHAR);
    size_t pos = 0;
    for (unsigned i = 0; i < index && pos < units; ++i) pos += 1 + block.data[pos];
    if (pos >= units) return u"<past the block>";
    const size_t length = block.data[pos];
    if (pos + 1 + length > units) return u"<runs past the block>";
    return std::u16string(reinterpret_cast<const char16_t *>(block.data + pos + 1), length);
}

#ifndef _WIN32
// Clears LC_ALL, LC_MESSAGES and LANG for one test (then sets LC_ALL when
// given) and restores all three afterwards.
class LocaleEnvironment {
public:
    explicit LocaleEnvironment(const char *lcAll) {
        for (size_t i = 0; i < 3; ++i) {
            const char *value = std::getenv(kNames[i]);
            saved_[i] = value != nullptr ? std::string(value) : std::string();
            had_[i] = value != nullptr;
            unsetenv(kNames[i]);
        }
        if (lcAll != nullptr) setenv("LC_ALL", lcAll, 1);
    }
    ~LocaleEnvironment() {
        for (size_t i = 0; i < 3; ++i) {
            if (had_[i]) {
                setenv(kNames[i], saved_[i].c_str(), 1);
            } else {
                unsetenv(kNames[i]);
            }
        }
    }

private:
    static constexpr const char *kNames[3] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    std::string saved_[3];
    bool had_[3] = {};
};

#endif

}  // namespace pattest
