#include "frame/bitmap_exports.h"

#include "frame/result.h"

#include <cstring>

namespace patprn {

const PaletteEntry PaletteTable[] = {
    {0xFF, 0xFF, 0xFF, kPaletteEnd},
};

DWORD GetPaletteFrom(const PaletteEntry *table, void *buffer, DWORD *size) {
    if (size == nullptr) return ERROR_INVALID_PARAMETER;
    if (*size != 0 && buffer == nullptr) return ERROR_INVALID_PARAMETER;

    uint16_t count = 0;
    while (table[count].flags != kPaletteEnd) ++count;
    if (count == 0) return PAT_ERROR_NO_PALETTE;

    const DWORD needed = 4 + 4 * static_cast<DWORD>(count);
    if (*size < needed) {
        *size = needed;
        return ERROR_INSUFFICIENT_BUFFER;
    }
    const uint16_t head[2] = {0x0300, count};
    uint8_t *out = static_cast<uint8_t *>(buffer);
    std::memcpy(out, head, sizeof head);
    std::memcpy(out + sizeof head, table, 4 * static_cast<size_t>(count));
    return ERROR_SUCCESS;
}

namespace {

// A failed load that left no reason behind still fails with one: the host
// must never read 0 after a null result.
DWORD FailureReason() {
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : PAT_ERROR_NOT_FOUND;
}

}  // namespace
}  // namespace patprn

extern "C" HBITMAP WINAPI PatLoadBitmap(const char *name) {
    if (name == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    SetLastError(ERROR_SUCCESS);
    HBITMAP bitmap = LoadBitmapA(patprn::ModuleInstance(), name);
    if (bitmap == nullptr) {
        // The reason is the one the failed load gave.
        SetLastError(patprn::FailureReason());
        return nullptr;
    }
    SetLastError(ERROR_SUCCESS);
    return bitmap;
}

extern "C" HGLOBAL WINAPI PatLoadDIBitmap(const char *name) {
    if (name == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    // The handle designates the stored packed bitmap (no file header); it
    // stays valid while the library is loaded and is never released.
    SetLastError(ERROR_SUCCESS);
    HMODULE module = patprn::ModuleInstance();
    HRSRC resource = FindResourceA(module, name, RT_BITMAP);
    HGLOBAL loaded = resource != nullptr ? LoadResource(module, resource) : nullptr;
    if (loaded == nullptr) {
        SetLastError(patprn::FailureReason());
        return nullptr;
    }
    SetLastError(ERROR_SUCCESS);
    return loaded;
}

extern "C" BOOL WINAPI PatGetPalette(void *buffer, DWORD *size) {
    return patprn::ExportResult(patprn::GetPaletteFrom(patprn::PaletteTable, buffer, size));
}
