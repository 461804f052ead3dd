#include "platform/win32.h"
extern "C" int GetLocaleInfoA(LCID, LCTYPE, LPSTR, int) { return 0; }
extern "C" int WideCharToMultiByte(UINT, DWORD, LPCWSTR, int, LPSTR, int, LPCSTR, LPBOOL) { return 0; }
extern "C" LPSTR CharUpperA(LPSTR t) { return t; }
