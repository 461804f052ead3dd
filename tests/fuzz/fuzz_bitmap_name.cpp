// PatLoadBitmap and PatLoadDIBitmap with any bytes as the bitmap's name
// (the whole input as one terminated text). A name that finds a bitmap
// gives a decoded bitmap the host releases, or the stored packed bitmap.
#include "fuzz_host.h"

namespace {

using namespace patfuzz;

// PatLoadBitmap leaves the loader's own error on failure; only a handle
// with a nonzero last error is a broken promise.
void LoadBitmap(const char *name) {
    SetLastError(kPoison);
    HBITMAP bitmap = PatLoadBitmap(name);
    if (bitmap == nullptr) return;
    CheckResult(true, "PatLoadBitmap");
    DeleteObject(bitmap);
}

void LoadDIBitmap(const char *name) {
    SetLastError(kPoison);
    HGLOBAL resource = PatLoadDIBitmap(name);
    CheckResult(resource != nullptr, "PatLoadDIBitmap");
    if (resource != nullptr && LockResource(resource) == nullptr) Fail("PatLoadDIBitmap", "a handle to no bitmap");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const long blocksBefore = LiveBlocks();
    char *name = HostText(data, size);
    LoadBitmap(name);
    LoadDIBitmap(name);
    GlobalFree(name);
    CheckNoLeak(blocksBefore, "fuzz_bitmap_name");
    return 0;
}
