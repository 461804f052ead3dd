#include "frame/result.h"

#include <cstring>

namespace patprn {

BOOL ExportResult(DWORD code) {
    SetLastError(code);
    return code == ERROR_SUCCESS ? TRUE : FALSE;
}

bool IsStatusSource(DWORD source) {
    const DWORD low = source & 0xFFFFu;
    return low == PAT_STATUS_SOURCE_PJL || low == PAT_STATUS_SOURCE_PM;
}

bool RevisionMatches(DWORD revision, DWORD family) { return (revision & 0xFFu) == family; }

bool HostRecordSizeAtLeast(const void *record, DWORD minimum) {
    if (record == nullptr) return false;
    DWORD size;
    std::memcpy(&size, record, sizeof size);
    return size >= minimum;
}

}  // namespace patprn
