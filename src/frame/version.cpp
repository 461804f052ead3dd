// PatGetDllVersion: the module's file version from its version resource,
// with the interface and data versions.
#include "frame/result.h"

#include <cstring>

namespace {

// One byte per component: 1.1.1.0 becomes 0x01010100.
DWORD PackFileVersion(const VS_FIXEDFILEINFO &info) {
    DWORD packed = HIWORD(info.dwFileVersionMS);
    packed = (packed << 8) | LOWORD(info.dwFileVersionMS);
    packed = (packed << 8) | HIWORD(info.dwFileVersionLS);
    packed = (packed << 8) | LOWORD(info.dwFileVersionLS);
    return packed;
}

// The error of a step that failed: the Windows call's own code, or, should
// the call have failed without reporting one, the library's not-found code,
// so that a failure is never reported to the host as success.
DWORD StepFailure(DWORD remembered) { return remembered != 0 ? remembered : PAT_ERROR_NOT_FOUND; }

// Reads the module's file version into `record`; returns the Windows
// error to fail with, or 0. A resource that could not be read while no
// error was reported leaves the word 0 and is not a failure.
DWORD ReadFileVersion(PatVersionInfo *record) {
    char path[MAX_PATH];
    DWORD path_length = GetModuleFileNameA(patprn::ModuleInstance(), path, sizeof path);
    DWORD remembered = GetLastError();
    // A path that filled the whole buffer was cut: another file's name.
    if (path_length == 0 || path_length >= sizeof path) return StepFailure(remembered);

    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &handle);
    remembered = GetLastError();
    if (size == 0) return StepFailure(remembered);

    HGLOBAL block = GlobalAlloc(GMEM_FIXED, size);
    remembered = GetLastError();
    if (block == nullptr) return StepFailure(remembered);

    BOOL ok = GetFileVersionInfoA(path, 0, size, block);
    remembered = GetLastError();
    if (ok) {
        VS_FIXEDFILEINFO *info = nullptr;
        UINT info_length = 0;
        ok = VerQueryValueA(block, "\\", reinterpret_cast<LPVOID *>(&info), &info_length);
        remembered = GetLastError();
        if (ok && info != nullptr && info_length >= sizeof(VS_FIXEDFILEINFO)) {
            record->dwFileVersion = PackFileVersion(*info);
        }
    }
    GlobalFree(block);
    return (!ok && remembered != 0) ? remembered : 0;
}

}  // namespace

extern "C" BOOL WINAPI PatGetDllVersion(PatVersionInfo *record) {
    if (record == nullptr || record->cbSize < sizeof(PatVersionInfo)) {
        return patprn::ExportResult(ERROR_INVALID_PARAMETER);
    }
    const DWORD size = record->cbSize;
    std::memset(record, 0, sizeof *record);
    record->cbSize = size;

    DWORD error = ReadFileVersion(record);
    if (error != 0) return patprn::ExportResult(error);
    record->dwInterfaceVersion = PAT_INTERFACE_VERSION;
    record->dwDataVersion = PAT_DATA_VERSION;
    return patprn::ExportResult(ERROR_SUCCESS);
}
