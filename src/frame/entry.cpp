// Entry point: records the module instance handle at process attach.
#include "frame/result.h"

namespace {
HINSTANCE g_instance = nullptr;
}

namespace patprn {
HINSTANCE ModuleInstance() { return g_instance; }
}  // namespace patprn

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) g_instance = instance;
    return TRUE;
}
