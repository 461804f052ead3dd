// PatSetLocale with any bytes: the whole input as one terminated text, and
// its first nine bytes without a terminator (no more than nine characters
// take part in the comparison). After a language is chosen, a string of it
// is loaded, so the selected language and its code page are used at once.
#include "fuzz_host.h"

#include <cstring>

namespace {

using namespace patfuzz;

constexpr size_t kComparedCharacters = 9;

void SetLocale(const char *code) {
    SetLastError(kPoison);
    const BOOL ok = PatSetLocale(code);
    CheckResult(ok != 0, "PatSetLocale");
    if (ok == 0 && GetLastError() != PAT_ERROR_LANGUAGE) Fail("PatSetLocale", "a text failed with another code");
    if (ok != 0) {
        char name[256];
        DWORD length = sizeof name;
        SetLastError(kPoison);
        const BOOL loaded = PatGetDeviceName(1, "Tray 1", 0x97, name, &length);
        CheckResult(loaded != 0, "PatGetDeviceName");
        CheckTextResult(loaded != 0, name, sizeof name, length, "PatGetDeviceName");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const long blocksBefore = LiveBlocks();
    ResetLanguage();
    char *text = HostText(data, size);
    SetLocale(text);
    GlobalFree(text);

    if (size >= kComparedCharacters) {
        auto *unterminated = static_cast<char *>(HostAlloc(kComparedCharacters));
        std::memcpy(unterminated, data, kComparedCharacters);
        SetLocale(unterminated);
        GlobalFree(unterminated);
    }
    CheckNoLeak(blocksBefore, "fuzz_locale");
    return 0;
}
