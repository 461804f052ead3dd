// PatPMInfoToPrnInfoEx: the host's printer-management record, in its status
// or configuration shape, into the host's PrnInfoEx.
#include "frame/result.h"
#include "prninfo/pm_config.h"
#include "prninfo/pm_info.h"
#include "prninfo/pm_status.h"
#include "prninfo/prninfo.h"

namespace {

constexpr uint32_t kStatusReady = 10001;

// A printer whose engine status list stayed empty reads as ready. A ready
// code that cannot be stored is reported: an empty list would tell the
// host nothing while the call claimed success.
DWORD ReadyWhenNoStatus(DWORD flags, PrnInfoEx *info) {
    if ((flags & PAT_PMINFO_ENGINE_STATUS) == 0 || info->nEngineStatus != 0) return ERROR_SUCCESS;
    return patprn::InfoAddEngineStatus(info, kStatusReady) ? ERROR_SUCCESS : ERROR_NOT_ENOUGH_MEMORY;
}

DWORD ConvertStatusShape(DWORD source, const void *pmInfo, DWORD revision, DWORD flags, PrnInfoEx *info) {
    if (!patprn::RevisionMatches(revision, PAT_REVISION_PM_STATUS)) return ERROR_INVALID_PARAMETER;
    const bool altSet = (source & PAT_STATUS_ALT_SET) != 0;
    const DWORD error =
        patprn::PMStatusToPrnInfoEx(static_cast<const PMInfoStatus *>(pmInfo), flags, altSet, info);
    if (error != ERROR_SUCCESS) return error;
    return ReadyWhenNoStatus(flags, info);
}

DWORD ConvertConfigShape(const void *pmInfo, DWORD revision, DWORD flags, PrnInfoEx *info) {
    if (!patprn::RevisionMatches(revision, PAT_REVISION_PM_CONFIG)) return ERROR_INVALID_PARAMETER;
    return patprn::PMConfigToPrnInfoEx(static_cast<const PMInfoConfig *>(pmInfo), flags, info);
}

}  // namespace

// An all-ones record pointer is the record's own "not available" mark and
// is refused like a null one.
extern "C" BOOL WINAPI PatPMInfoToPrnInfoEx(DWORD source, const void *pmInfo, DWORD revision, DWORD flags,
                                            PrnInfoEx *info) {
    if (!patprn::PMPointerAvailable(pmInfo) || info == nullptr || !patprn::IsStatusSource(source) ||
        !patprn::HostRecordSizeAtLeast(info, PAT_PRNINFOEX_MIN_SIZE)) {
        return patprn::ExportResult(ERROR_INVALID_PARAMETER);
    }
    if ((source & 0xFFFFu) == PAT_STATUS_SOURCE_PJL) {
        return patprn::ExportResult(ConvertStatusShape(source, pmInfo, revision, flags, info));
    }
    return patprn::ExportResult(ConvertConfigShape(pmInfo, revision, flags, info));
}
