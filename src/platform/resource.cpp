#include "platform/win32.h"
extern "C" HRSRC FindResourceA(HMODULE, LPCSTR, LPCSTR) { SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND); return nullptr; }
extern "C" HRSRC FindResourceExA(HMODULE, LPCSTR, LPCSTR, WORD) { SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND); return nullptr; }
extern "C" HGLOBAL LoadResource(HMODULE, HRSRC) { return nullptr; }
extern "C" LPVOID LockResource(HGLOBAL) { return nullptr; }
extern "C" DWORD SizeofResource(HMODULE, HRSRC) { return 0; }
