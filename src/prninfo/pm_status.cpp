#include "prninfo/pm_status.h"

#include "platform/win32.h"
#include "prninfo/codes.h"
#include "prninfo/pm_info.h"

namespace patprn {

const StatusBitRow StatusBitTable[] = {
    {1, PAT_PM_STATUS_NO_RESPONSE, PAT_STATUS_NO_RESPONSE, false},
    {1, PAT_PM_STATUS_TRANSIENT, 10003, true},
    {1, PAT_PM_STATUS_PRINTING, 10023, true},
    {kStatusBitTableEnd, 0, 0, false},
};

const CodeTableRow EmulNameTable[] = {
    {"WENK", 1},
    {"TOLV", 15},
    {"Adobe PostScript 3", 2},
    {"PCL5c", 18},
    {"QX-GL/2", 12},
    {"ESC/P", 4},
    {"IBM5577", 7},
    {"PC-PR201H", 3},
    {"TIFF", 13},
    {"PCL 5e Emulation", 16},
    {"PCL 6 Emulation", 17},
    {"PCL XL Emulation", 17},
    {"PCL 5c Emulation", 18},
    {nullptr, 0},
};

const CodeTableRow FontNameTable[] = {
    {nullptr, 0},
};

namespace {

constexpr uint32_t kStatusWordGroup = 1;
constexpr DWORD kKindNeedsOperator = 3;

// The emulations whose version the record also keeps as a named string:
// the main program (code 1) and the PostScript emulation (code 2).
struct EmulVersionSlot {
    uint16_t emul;
    InfoString string;
};
constexpr EmulVersionSlot kEmulVersionSlots[] = {
    {kEmulMainProgram, InfoString::MainProgVersion},
    {kEmulPostScript, InfoString::VPSVersion},
};

const EmulVersionSlot *VersionStringOf(uint16_t emul) {
    for (const EmulVersionSlot &slot : kEmulVersionSlots) {
        if (slot.emul == emul) return &slot;
    }
    return nullptr;
}

DWORD ConvertStatusWord(const DWORD *wordPointer, bool altSet, PrnInfoEx *info) {
    if (!PMPointerAvailable(wordPointer) || !PMValueAvailable(*wordPointer)) return ERROR_SUCCESS;
    const DWORD word = *wordPointer;
    const uint8_t state = (word & PAT_PM_STATUS_STATE) != 0 ? 1 : 0;
    info->bState = state;
    info->bNotState = static_cast<uint8_t>(1 - state);
    info->bNoResponse = (word & PAT_PM_STATUS_NO_RESPONSE) != 0 ? 1 : 0;
    info->bPrinting = (word & PAT_PM_STATUS_PRINTING) != 0 ? 1 : 0;
    for (const StatusBitRow *row = StatusBitTable; row->groupMask != kStatusBitTableEnd; ++row) {
        if ((row->groupMask & kStatusWordGroup) == 0 || (row->wordMask & word) == 0) continue;
        if (row->suppressible && altSet) continue;
        // A code that cannot be stored would leave the printer's condition
        // unreported while the call claims success.
        if (!InfoAddEngineStatus(info, row->code)) return ERROR_NOT_ENOUGH_MEMORY;
    }
    return ERROR_SUCCESS;
}

DWORD ConvertEmulations(const PMGroup *group, PrnInfoEx *info) {
    if (!PMGroupUsable(group)) return ERROR_SUCCESS;
    InfoListClear(info, InfoList::LoadedEmul);
    InfoItem *last = nullptr;
    for (DWORD i = 0; i < group->dwCount; ++i) {
        const auto *emulation = PMGroupElement<PMEmulation>(group, i);
        if (emulation == nullptr) continue;
        auto *item = reinterpret_cast<LoadedEmulItem *>(InfoItemAlloc(kLoadedEmulItemSize));
        if (item == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
        const char *name = PMText(emulation->pName);
        item->wEmul = name != nullptr ? static_cast<uint16_t>(CodeTableLookup(name, EmulNameTable)) : 0;
        if (const char *version = PMText(emulation->pVersion)) {
            const EmulVersionSlot *slot = VersionStringOf(item->wEmul);
            if (slot != nullptr && !InfoStringSet(info, slot->string, version)) {
                GlobalFree(item);
                return ERROR_NOT_ENOUGH_MEMORY;
            }
            // The item's full width (17 characters); the PJL reply path cuts
            // at 15, as hosts know.
            lstrcpynA(item->szVersion, version, sizeof item->szVersion);
        }
        InfoListAppendBehind(info, InfoList::LoadedEmul, &last, reinterpret_cast<InfoItem *>(item));
    }
    info->dwEmulExtra = 0;
    return ERROR_SUCCESS;
}

DWORD ConvertFonts(const PMGroup *group, PrnInfoEx *info) {
    if (!PMGroupUsable(group)) return ERROR_SUCCESS;
    InfoListClear(info, InfoList::LoadedFont);
    InfoItem *last = nullptr;
    for (DWORD i = 0; i < group->dwCount; ++i) {
        const auto *font = PMGroupElement<PMFont>(group, i);
        if (font == nullptr) continue;
        auto *item = reinterpret_cast<LoadedFontItem *>(InfoItemAlloc(kLoadedFontItemSize));
        if (item == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
        const char *name = PMText(font->pName);
        item->wFont = name != nullptr ? static_cast<uint16_t>(CodeTableLookup(name, FontNameTable)) : 0;
        InfoListAppendBehind(info, InfoList::LoadedFont, &last, reinterpret_cast<InfoItem *>(item));
    }
    return ERROR_SUCCESS;
}

// Appends behind the codes the status word added.
DWORD ConvertEngineStatus(const PMGroup *group, PrnInfoEx *info) {
    if (!PMGroupUsable(group)) return ERROR_SUCCESS;
    info->bAttention = 0;
    InfoItem *last = nullptr;
    for (DWORD i = 0; i < group->dwCount; ++i) {
        const auto *status = PMGroupElement<PMEngineStatus>(group, i);
        if (status == nullptr) continue;
        auto *item = reinterpret_cast<EngineStatusItem *>(InfoItemAlloc(kEngineStatusItemSize));
        if (item == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
        item->wCode = static_cast<uint16_t>(status->dwCode & 0xFFFFu);
        item->dwCode = status->dwCode;
        if (const char *text = PMText(status->pText)) lstrcpynA(item->szText, text, sizeof item->szText);
        InfoListAppendBehind(info, InfoList::EngineStatus, &last, reinterpret_cast<InfoItem *>(item));
        if (status->dwKind == kKindNeedsOperator || !PMValueAvailable(status->dwKind)) info->bAttention = 1;
    }
    return ERROR_SUCCESS;
}

}  // namespace

DWORD PMStatusToPrnInfoEx(const PMInfoStatus *pm, DWORD flags, bool altSet, PrnInfoEx *info) {
    if ((flags & (PAT_PMINFO_STATUS_WORD | PAT_PMINFO_ENGINE_STATUS)) != 0) InfoListClear(info, InfoList::EngineStatus);
    DWORD error = ERROR_SUCCESS;
    if ((flags & PAT_PMINFO_STATUS_WORD) != 0 && (error = ConvertStatusWord(pm->pStatusWord, altSet, info)) != 0) {
        return error;
    }
    if ((flags & PAT_PMINFO_EMULATIONS) != 0 && (error = ConvertEmulations(pm->pEmulGroup, info)) != 0) return error;
    if ((flags & PAT_PMINFO_FONTS) != 0 && (error = ConvertFonts(pm->pFontGroup, info)) != 0) return error;
    if ((flags & PAT_PMINFO_ENGINE_STATUS) != 0 && (error = ConvertEngineStatus(pm->pEngineGroup, info)) != 0) {
        return error;
    }
    return ERROR_SUCCESS;
}

}  // namespace patprn
