// The library's own module: the loader's part of the Windows model. At load
// the library's entry point is called with a handle that names this module,
// as the Windows loader calls DllMain at process attach.
#include "platform/win32.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);

struct PatModule {
    int unused;
};

namespace {

PatModule g_module{};

__attribute__((constructor)) void AttachProcess() {
    DllMain(&g_module, DLL_PROCESS_ATTACH, nullptr);
}

}  // namespace

namespace patprn::platform {
HMODULE ThisModule() { return &g_module; }
}  // namespace patprn::platform
