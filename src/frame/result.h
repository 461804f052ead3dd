// What every export shares: the result and last-error convention, the
// checks of the status source, of the revision byte and of size-prefixed
// host records, and the module instance handle.
#pragma once

#include "patprn/patprn.h"
#include "platform/win32.h"

namespace patprn {

// Ends an export with a success flag: sets the thread's last-error value to
// `code` (0 on success) and returns 1 exactly when `code` is 0.
BOOL ExportResult(DWORD code);

// Ends an export that returns a pointer: last error 0 with a result, `code`
// without one.
template <typename T>
T *ExportPointer(T *result, DWORD code) {
    SetLastError(result != nullptr ? ERROR_SUCCESS : code);
    return result;
}

// The two status sources the library serves, read from the low 16 bits.
bool IsStatusSource(DWORD source);

// The revision argument's low byte against the revision of an export family.
bool RevisionMatches(DWORD revision, DWORD family);

// Reads the 32-bit size that begins every host record and checks it
// against the smallest size the record may have (unsigned comparison).
bool HostRecordSizeAtLeast(const void *record, DWORD minimum);

// The module instance handle recorded at process attach; resources and
// the version are looked up through it.
HINSTANCE ModuleInstance();

}  // namespace patprn
