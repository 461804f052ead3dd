// PatGetPeripheralProfile: the fixed profile of the printer family.
#include "frame/result.h"

#include <cstring>

namespace {

// Profile words per status source; their meaning is the host's.
struct ProfileRow {
    DWORD source;
    DWORD words[5];
};
constexpr ProfileRow kProfileTable[] = {
    {PAT_STATUS_SOURCE_PJL, {0x00020000, 3, 7, 2, 0}},
    {PAT_STATUS_SOURCE_PM, {0x00020000, 3, 0x40, 0, 0}},
};
constexpr DWORD kProfileSize = sizeof(kProfileTable[0].words);

}  // namespace

extern "C" BOOL WINAPI PatGetPeripheralProfile(DWORD source, DWORD *profile, DWORD *size) {
    if (size == nullptr) return patprn::ExportResult(ERROR_INVALID_PARAMETER);
    if (!patprn::IsStatusSource(source) || profile == nullptr) {
        *size = kProfileSize;
        return patprn::ExportResult(ERROR_INVALID_PARAMETER);
    }
    if (*size < kProfileSize) {
        *size = kProfileSize;
        return patprn::ExportResult(ERROR_INSUFFICIENT_BUFFER);
    }
    for (const ProfileRow &row : kProfileTable) {
        if (row.source == (source & 0xFFFFu)) std::memcpy(profile, row.words, kProfileSize);
    }
    *size = kProfileSize;
    return patprn::ExportResult(ERROR_SUCCESS);
}
