// The Windows API as the library uses it.
//
// Library code calls the Windows API by its own names through this header
// and nothing else. On Windows it is <windows.h>. Elsewhere it declares the
// library's own implementation of exactly the subset used, in src/platform/,
// with Windows semantics (including last-error codes), so that the same
// code runs over the same resource bytes with the same results.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include "patprn/win32.h"

#include <cstdarg>

typedef char CHAR;
typedef char *LPSTR;
typedef const char *LPCSTR;
typedef char16_t WCHAR;
typedef WCHAR *LPWSTR;
typedef const WCHAR *LPCWSTR;
typedef uint16_t LANGID;
typedef uint32_t LCID;
typedef uint32_t LCTYPE;
typedef BOOL *LPBOOL;
typedef uintptr_t ULONG_PTR;
typedef uint16_t USHORT;
typedef unsigned char UCHAR;

#define ERROR_SUCCESS 0u
#define ERROR_NOT_ENOUGH_MEMORY 8u
#define ERROR_INVALID_DATA 13u
#define ERROR_INVALID_PARAMETER 87u
#define ERROR_INSUFFICIENT_BUFFER 122u
#define ERROR_INVALID_HANDLE 6u
#define ERROR_FILE_NOT_FOUND 2u
#define ERROR_PATH_NOT_FOUND 3u
#define ERROR_ACCESS_DENIED 5u
#define ERROR_MOD_NOT_FOUND 126u
#define ERROR_RESOURCE_DATA_NOT_FOUND 1812u
#define ERROR_RESOURCE_TYPE_NOT_FOUND 1813u
#define ERROR_RESOURCE_NAME_NOT_FOUND 1814u
#define ERROR_RESOURCE_LANG_NOT_FOUND 1815u
#define ERROR_INVALID_FLAGS 1004u
#define ERROR_NO_UNICODE_TRANSLATION 1113u

#define MAKEINTRESOURCEA(i) ((LPSTR)(ULONG_PTR)(WORD)(i))
#define IS_INTRESOURCE(p) ((((ULONG_PTR)(p)) >> 16) == 0)
#define RT_BITMAP MAKEINTRESOURCEA(2)
#define RT_STRING MAKEINTRESOURCEA(6)
#define RT_VERSION MAKEINTRESOURCEA(16)
#define VS_VERSION_INFO 1
#define VS_FFI_SIGNATURE 0xFEEF04BDu

#define MAKELANGID(p, s) ((((WORD)(s)) << 10) | (WORD)(p))
#define PRIMARYLANGID(l) ((WORD)(l) & 0x3ff)
#define SUBLANGID(l) ((WORD)(l) >> 10)
#define MAKELCID(l, s) ((DWORD)((((DWORD)((WORD)(s))) << 16) | ((DWORD)((WORD)(l)))))
#define LANGIDFROMLCID(l) ((WORD)(l))
#define LANG_NEUTRAL 0x00
#define LANG_ENGLISH 0x09
#define SUBLANG_NEUTRAL 0x00
#define SUBLANG_DEFAULT 0x01
#define SUBLANG_ENGLISH_US 0x01
#define SORT_DEFAULT 0x0
#define LOCALE_NEUTRAL 0x0000u
#define LOCALE_USER_DEFAULT 0x0400u
#define LOCALE_SYSTEM_DEFAULT 0x0800u
#define LOCALE_IDEFAULTANSICODEPAGE 0x00001004u
#define LOCALE_NOUSEROVERRIDE 0x80000000u
#define LOCALE_USE_CP_ACP 0x40000000u
#define LOCALE_RETURN_NUMBER 0x20000000u

#define CP_ACP 0u
#define WC_NO_BEST_FIT_CHARS 0x00000400u

#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3

#define MAX_PATH 260

typedef struct tagVS_FIXEDFILEINFO {
    DWORD dwSignature;
    DWORD dwStrucVersion;
    DWORD dwFileVersionMS;
    DWORD dwFileVersionLS;
    DWORD dwProductVersionMS;
    DWORD dwProductVersionLS;
    DWORD dwFileFlagsMask;
    DWORD dwFileFlags;
    DWORD dwFileOS;
    DWORD dwFileType;
    DWORD dwFileSubtype;
    DWORD dwFileDateMS;
    DWORD dwFileDateLS;
} VS_FIXEDFILEINFO;

#define BI_RLE8 1u

#define HIWORD(l) ((WORD)((((DWORD)(l)) >> 16) & 0xffff))
#define LOWORD(l) ((WORD)(((DWORD)(l)) & 0xffff))

extern "C" {
// Resources (resource.cpp).
HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type);
HRSRC FindResourceExA(HMODULE module, LPCSTR type, LPCSTR name, WORD language);
HGLOBAL LoadResource(HMODULE module, HRSRC res);

// National-language support (nls.cpp).
int GetLocaleInfoA(LCID locale, LCTYPE type, LPSTR data, int size);
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideCount, LPSTR multi, int multiCount,
                        LPCSTR defaultChar, LPBOOL usedDefault);
LPSTR CharUpperA(LPSTR text);

// Module and version information (version.cpp).
DWORD GetModuleFileNameA(HMODULE module, LPSTR filename, DWORD size);
DWORD GetFileVersionInfoSizeA(LPCSTR filename, DWORD *handle);
BOOL GetFileVersionInfoA(LPCSTR filename, DWORD handle, DWORD len, LPVOID data);
BOOL VerQueryValueA(LPCVOID block, LPCSTR subBlock, LPVOID *buffer, UINT *len);

// 8-bit strings (string.cpp).
LPSTR lstrcpynA(LPSTR dst, LPCSTR src, int count);
int lstrlenA(LPCSTR text);
int wsprintfA(LPSTR out, LPCSTR format, ...);

// Bitmaps (bitmap.cpp).
HBITMAP LoadBitmapA(HINSTANCE instance, LPCSTR name);
}

namespace patprn::platform {

#ifdef PATPRN_TEST_HOOKS
// Test builds only: the n-th allocation from now on (1 = the next one)
// fails as if the heap were exhausted; 0 switches it off. Counts
// GlobalAlloc and growing GlobalReAlloc calls. Never exported.
void HeapFailAfter(unsigned n);
// Number of global-heap blocks currently allocated (leak checks in tests).
long HeapLiveBlocks();
#endif

// The module handle the layer hands to the library's entry point.
HMODULE ThisModule();

}  // namespace patprn::platform
#endif  // _WIN32
