/* patprn — the part of the Windows API a host needs to use the library.
 *
 * On Windows this is <windows.h>. On other systems libpatprn.so implements
 * and exports these functions itself, with the Windows names and meaning,
 * so that a host releases what the library hands out (query trees, record
 * items, strings, bitmaps), reads a bitmap's pixels, and reads the
 * last-error value exactly as it would on Windows.
 */
#ifndef PATPRN_WIN32_H
#define PATPRN_WIN32_H

#ifdef _WIN32
#include <windows.h>
#define PATPRN_PLATFORM_API
#else
#include <stddef.h>
#include <stdint.h>

/* Inside the library the functions are protected: exported for hosts, yet
 * the library's own calls always reach its own implementation, even when a
 * host defines a function of the same name. */
#ifdef PATPRN_BUILDING_LIBRARY
#define PATPRN_PLATFORM_API __attribute__((visibility("protected")))
#else
#define PATPRN_PLATFORM_API __attribute__((visibility("default")))
#endif
#define WINAPI

typedef int32_t BOOL;
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t UINT;
typedef uint64_t SIZE_T;
typedef void *HANDLE;
typedef void *HGLOBAL;
typedef void *LPVOID;
typedef const void *LPCVOID;
typedef struct PatBitmapObject *HBITMAP;
typedef void *HGDIOBJ;
typedef struct PatModule *HINSTANCE;
typedef HINSTANCE HMODULE;
typedef struct PatResourceInfo *HRSRC;
typedef struct PatDeviceContext *HDC;

#define TRUE 1
#define FALSE 0

#define GMEM_FIXED 0x0000u
#define GMEM_MOVEABLE 0x0002u
#define GMEM_ZEROINIT 0x0040u
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)

typedef struct tagRGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
} RGBQUAD;

typedef struct tagBITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight; /* positive: rows bottom-up; negative: top-down */
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
} BITMAPINFOHEADER;

typedef struct tagBITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
} BITMAPINFO;

/* What GetObjectA tells of a bitmap handle. */
typedef struct tagBITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;
    WORD bmPlanes;
    WORD bmBitsPixel;
    LPVOID bmBits;
} BITMAP;

#define BI_RGB 0u
#define DIB_RGB_COLORS 0u

#ifdef __cplusplus
extern "C" {
#endif

PATPRN_PLATFORM_API DWORD GetLastError(void);
PATPRN_PLATFORM_API void SetLastError(DWORD code);
PATPRN_PLATFORM_API HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);
PATPRN_PLATFORM_API HGLOBAL GlobalReAlloc(HGLOBAL mem, SIZE_T bytes, UINT flags);
PATPRN_PLATFORM_API LPVOID GlobalLock(HGLOBAL mem);
PATPRN_PLATFORM_API BOOL GlobalUnlock(HGLOBAL mem);
PATPRN_PLATFORM_API SIZE_T GlobalSize(HGLOBAL mem);
PATPRN_PLATFORM_API HGLOBAL GlobalFree(HGLOBAL mem);
PATPRN_PLATFORM_API LPVOID LockResource(HGLOBAL res);
PATPRN_PLATFORM_API DWORD SizeofResource(HMODULE module, HRSRC res);
PATPRN_PLATFORM_API BOOL DeleteObject(HGDIOBJ object);
/* Bitmaps from PatLoadBitmap: their size, and their pixels as a 24- or
 * 32-bit BI_RGB device-independent bitmap (the device context is not used
 * and may be null here; on Windows pass a real one). */
PATPRN_PLATFORM_API int GetObjectA(HGDIOBJ object, int size, LPVOID buffer);
PATPRN_PLATFORM_API int GetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, LPVOID bits, BITMAPINFO *info,
                                  UINT usage);

#ifdef __cplusplus
}
#endif
#endif /* _WIN32 */
#endif /* PATPRN_WIN32_H */
