// patprn-info: loads the library like a host does and prints its version
// and the peripheral profile of each status source, through the exports.
#include "patprn/patprn.h"

#include <cstdio>

namespace {

void PrintVersionWord(const char *label, DWORD version) {
    const unsigned word = version;
    std::printf("%-18s %u.%u.%u.%u (0x%08X)\n", label, (word >> 24) & 0xFF, (word >> 16) & 0xFF,
                (word >> 8) & 0xFF, word & 0xFF, word);
}

bool PrintProfile(const char *label, DWORD source) {
    DWORD words[5] = {};
    DWORD size = sizeof words;
    if (!PatGetPeripheralProfile(source, words, &size)) {
        std::printf("%-18s failed, error %u\n", label, static_cast<unsigned>(GetLastError()));
        return false;
    }
    const unsigned profile[5] = {words[0], words[1], words[2], words[3], words[4]};
    std::printf("%-18s 0x%08X %u 0x%X %u %u\n", label, profile[0], profile[1], profile[2], profile[3], profile[4]);
    return true;
}

}  // namespace

int main() {
    PatVersionInfo version{};
    version.cbSize = sizeof version;
    if (!PatGetDllVersion(&version)) {
        std::printf("PatGetDllVersion failed, error %u\n", static_cast<unsigned>(GetLastError()));
        return 1;
    }
    std::printf("patprn printer data library\n");
    PrintVersionWord("file version", version.dwFileVersion);
    PrintVersionWord("interface version", version.dwInterfaceVersion);
    PrintVersionWord("data version", version.dwDataVersion);
    bool ok = PrintProfile("profile (PJL)", PAT_STATUS_SOURCE_PJL);
    ok = PrintProfile("profile (PM)", PAT_STATUS_SOURCE_PM) && ok;
    return ok ? 0 : 1;
}
