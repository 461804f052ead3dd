// PatPrnInfoExToPrnInfo: the host's PrnInfoEx flattened into the fixed
// 2400-byte PrnInfo. Reads PrnInfoEx only; lists longer than an array and
// texts longer than a field are cut.
#include "frame/result.h"
#include "platform/win32.h"
#include "prninfo/codes.h"
#include "prninfo/prninfo.h"

#include <cstring>
#include <iterator>

namespace {

using patprn::kDeviceDuplex;
using patprn::kDeviceHardDisk;

template <size_t N>
void CopyText(char (&field)[N], const char *text) {
    if (text != nullptr) lstrcpynA(field, text, static_cast<int>(N));
}

void CopyState(const PrnInfoEx *info, PrnInfo *out) {
    out->dwState = info->bState;
    out->dwNoResponse = info->bNoResponse;
    out->bNotState = info->bNotState;
    out->bPrinting = info->bPrinting;
}

void CopyIdentity(const PrnInfoEx *info, PrnInfo *out) {
    CopyText(out->szModelName, info->pModelName);
    CopyText(out->szMakerName, info->pMakerName);
    CopyText(out->szDescription, info->pDescription);
    out->bModelCode = info->bModelCode;
}

void CopySystem(const PrnInfoEx *info, PrnInfo *out) {
    CopyText(out->szSYSVersion, info->pSYSVersion);
    out->dwMemorySize = info->dwMemorySize;
}

// aTrayLevel has room for the first 16 of up to 64 trays; nTrayLevel
// always counts exactly the pairs stored there, so a host never reads
// past what was written.
void CopyTrays(const PrnInfoEx *info, PrnInfo *out) {
    DWORD n = 0;
    for (const TrayInfoItem *tray = info->pTrayInfo; tray != nullptr && n < std::size(out->aTrayPaper);
         tray = reinterpret_cast<const TrayInfoItem *>(tray->next), ++n) {
        out->aTrayPaper[n] = {tray->wTray, tray->wPaperSize};
        out->aTrayMedia[n] = {tray->wTray, tray->wMediaType};
        if (n < std::size(out->aTrayLevel)) out->aTrayLevel[n] = {tray->wTray, tray->wPaperLevel};
    }
    out->nTrayPaper = n;
    out->nTrayLevel = n < std::size(out->aTrayLevel) ? n : static_cast<DWORD>(std::size(out->aTrayLevel));
    out->dwTrayExtra = info->dwTrayExtra;
}

void CopyOutBins(const PrnInfoEx *info, PrnInfo *out) {
    DWORD n = 0;
    for (const OutBinInfoItem *bin = info->pOutBinInfo; bin != nullptr && n < std::size(out->aOutBin);
         bin = reinterpret_cast<const OutBinInfoItem *>(bin->next), ++n) {
        out->aOutBin[n] = {bin->wBin, bin->wBinState};
    }
    out->nOutBin = n;
    out->dwOutBinExtra = info->dwOutBinExtra;
}

void CopyEmulations(const PrnInfoEx *info, PrnInfo *out) {
    DWORD n = 0;
    for (const LoadedEmulItem *emul = info->pLoadedEmul; emul != nullptr && n < std::size(out->adwEmul);
         emul = reinterpret_cast<const LoadedEmulItem *>(emul->next), ++n) {
        out->adwEmul[n] = emul->wEmul;
    }
    out->nEmul = n;
    out->dwEmulExtra = info->dwEmulExtra;
    CopyText(out->szVPSVersion, info->pVPSVersion);
    CopyText(out->szMainProgVersion, info->pMainProgVersion);
}

void CopyFonts(const PrnInfoEx *info, PrnInfo *out) {
    DWORD n = 0;
    for (const LoadedFontItem *font = info->pLoadedFont; font != nullptr && n < std::size(out->adwFont);
         font = reinterpret_cast<const LoadedFontItem *>(font->next), ++n) {
        out->adwFont[n] = font->wFont;
    }
    out->nFont = n;
}

// One status: its low 16 bits. Several (or none): the first 32 codes, and
// the summary 107 with the low half of their sum in its high half.
void SummariseEngineStatus(const PrnInfoEx *info, PrnInfo *out) {
    if (info->nEngineStatus == 1 && info->pEngineStatus != nullptr) {
        out->nStatus = 1;
        out->dwStatusCode = info->pEngineStatus->wCode;
    } else {
        DWORD n = 0;
        uint32_t sum = 0;
        for (const EngineStatusItem *status = info->pEngineStatus; status != nullptr && n < std::size(out->adwStatus);
             status = reinterpret_cast<const EngineStatusItem *>(status->next), ++n) {
            out->adwStatus[n] = status->dwCode;
            sum += status->dwCode;
        }
        out->nStatus = n;
        out->dwStatusCode = ((sum & 0xFFFFu) << 16) | PAT_PRNINFO_SEVERAL_STATUS;
    }
    out->bAttention = info->bAttention;
}

void Flatten(const PrnInfoEx *info, DWORD flags, PrnInfo *out) {
    std::memset(out, 0, sizeof *out);
    out->dwSize = PAT_PRNINFO_SIZE;
    if ((flags & PAT_PRNINFO_STATE) != 0) CopyState(info, out);
    if ((flags & PAT_PRNINFO_IDENTITY) != 0) CopyIdentity(info, out);
    if ((flags & PAT_PRNINFO_SYSTEM) != 0) CopySystem(info, out);
    if ((flags & PAT_PRNINFO_TRAYS) != 0) CopyTrays(info, out);
    if ((flags & PAT_PRNINFO_OUTBINS) != 0) CopyOutBins(info, out);
    if ((flags & PAT_PRNINFO_EMULATIONS) != 0) CopyEmulations(info, out);
    if ((flags & PAT_PRNINFO_FONTS) != 0) CopyFonts(info, out);
    if ((flags & PAT_PRNINFO_ENGINE_STATUS) != 0) SummariseEngineStatus(info, out);
    if ((flags & PAT_PRNINFO_DUPLEX) != 0 && patprn::InfoHasDevice(info, kDeviceDuplex)) out->dwHasDuplex = 1;
}

}  // namespace

extern "C" BOOL WINAPI PatPrnInfoExToPrnInfo(const PrnInfoEx *info, PrnInfo *prnInfo, DWORD flags) {
    if (info == nullptr || prnInfo == nullptr || !patprn::HostRecordSizeAtLeast(info, PAT_PRNINFOEX_MIN_SIZE)) {
        return patprn::ExportResult(ERROR_INVALID_PARAMETER);
    }
    Flatten(info, flags, prnInfo);
    // The hard disk is reported whatever the host asked for.
    if (patprn::InfoHasDevice(info, kDeviceHardDisk)) prnInfo->dwHasHardDisk = PAT_PRNINFO_HARD_DISK;
    return patprn::ExportResult(ERROR_SUCCESS);
}
