#include "platform/win32.h"
extern "C" DWORD GetModuleFileNameA(HMODULE, LPSTR, DWORD) { return 0; }
extern "C" DWORD GetFileVersionInfoSizeA(LPCSTR, DWORD *) { return 0; }
extern "C" BOOL GetFileVersionInfoA(LPCSTR, DWORD, DWORD, LPVOID) { return FALSE; }
extern "C" BOOL VerQueryValueA(LPCVOID, LPCSTR, LPVOID *, UINT *) { return FALSE; }
