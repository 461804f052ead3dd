#include "platform/win32.h"
extern "C" HBITMAP LoadBitmapA(HINSTANCE, LPCSTR) { return nullptr; }
extern "C" BOOL DeleteObject(HGDIOBJ) { return FALSE; }
