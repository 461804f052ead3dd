#include "prninfo/pm_config.h"

#include "platform/win32.h"
#include "prninfo/codes.h"
#include "prninfo/device_number_table.h"
#include "prninfo/media_tables.h"
#include "prninfo/paper_size_table.h"
#include "prninfo/pm_info.h"
#include "prninfo/name_tables.h"

namespace patprn {

const PaperLevelRow PaperLevelTable[] = {
    {PAT_PM_LEVEL_EMPTY, 0},
    {PAT_PM_LEVEL_10, 10},  // tested before the higher levels: 0x300 reads 10
    {PAT_PM_LEVEL_25, 25},
    {PAT_PM_LEVEL_50, 50},
    {PAT_PM_LEVEL_75, 75},
    {0, 100},
};

namespace {

constexpr uint16_t kLevelFull = 100;
constexpr DWORD kBinFullBit = 0x1;
// Every rebuild of the output-bin list sets its travelling value to this.
constexpr DWORD kOutBinExtraRebuilt = 255;

}  // namespace

uint16_t PaperLevelFromBits(DWORD bits) {
    if (!PMValueAvailable(bits)) return kLevelFull;
    const PaperLevelRow *row = PaperLevelTable;
    while (row->mask != 0 && (row->mask & bits) == 0) ++row;
    return row->level;
}

namespace {

// What a tray element says, read from the offsets of its layout, so that
// one conversion serves both.
struct PMTrayData {
    const char *name;       // null when not available
    DWORD levelBits;
    DWORD width;
    DWORD length;
    const char *mediaName;  // null when not available
    DWORD mediaNumber;
    const DWORD *mediaExt;  // long layout only; null when not available
    DWORD flags;
    bool longLayout;
};

PMTrayData PMTrayRead(const PMTray *tray) {
    const DWORD *ext = PMPointerAvailable(tray->pMediaExt) ? tray->pMediaExt : nullptr;
    return {PMText(tray->pName), tray->dwLevel, tray->dwWidth, tray->dwLength, PMText(tray->pMediaName),
            tray->dwMedia, ext, tray->dwFlags, true};
}

PMTrayData PMTrayRead(const PMTrayShort *tray) {
    return {PMText(tray->pName), tray->dwLevel, tray->dwWidth, tray->dwLength, PMText(tray->pMediaName),
            tray->dwMedia, nullptr, tray->dwFlags, false};
}

uint16_t TrayPaperSize(const PMTrayData &tray) {
    if (PMValueAvailable(tray.flags) && (tray.flags & PAT_PM_TRAY_CUSTOM_SIZE) != 0) return kPaperSizeCustom;
    return PaperSizeFind(tray.width, tray.length);
}

uint16_t TrayMediaType(const PMTrayData &tray) {
    if (!PMValueAvailable(tray.mediaNumber)) {
        return tray.mediaName != nullptr ? static_cast<uint16_t>(CodeTableLookup(tray.mediaName, MediaNameTable))
                                         : 0;
    }
    if (!tray.longLayout || (tray.mediaNumber & PAT_PM_MEDIA_EXTENDED) == 0) {
        return NumberTableLookup(MediaNumberTable, tray.mediaNumber);
    }
    return tray.mediaExt != nullptr ? NumberTableLookup(MediaNumberTableExt, *tray.mediaExt) : 0;
}

// The long layout reports the custom size in wPaperSize only; the short
// layout keeps the bit in the flags as well.
DWORD TrayFlags(const PMTrayData &tray) {
    if (!PMValueAvailable(tray.flags)) return PAT_PMINFO_VALUE_NOT_AVAILABLE;
    return tray.longLayout ? (tray.flags & ~PAT_PM_TRAY_CUSTOM_SIZE) : tray.flags;
}

void TrayInfoFromPM(const PMTrayData &tray, TrayInfoItem *item) {
    item->wTray = static_cast<uint16_t>(NameTableFind(TrayNameTable, tray.name)->code);
    item->wPaperSize = TrayPaperSize(tray);
    item->wPaperLevel = PaperLevelFromBits(tray.levelBits);
    item->wMediaType = TrayMediaType(tray);
    item->dwFlags = TrayFlags(tray);
}

// A string that cannot be stored ends the conversion: the host would
// otherwise read a missing name as if the printer had reported none.
DWORD ConvertGeneral(const PMGeneral *general, PrnInfoEx *info) {
    if (!PMPointerAvailable(general)) return ERROR_SUCCESS;
    if (const char *model = PMText(general->pModelName)) {
        if (!InfoStringSet(info, InfoString::ModelName, model)) {
            info->bModelCode = 255;
            return ERROR_NOT_ENOUGH_MEMORY;
        }
        info->bModelCode = static_cast<uint8_t>(CodeTableLookup(model, ModelNameTable));
    }
    if (const char *version = PMText(general->pSYSVersion)) {
        if (!InfoStringSet(info, InfoString::SYSVersion, version)) return ERROR_NOT_ENOUGH_MEMORY;
    }
    if (PMValueAvailable(general->dwMemory)) info->dwMemorySize = general->dwMemory >> 10;
    if (const char *maker = PMText(general->pMakerName)) {
        if (!InfoStringSet(info, InfoString::MakerName, maker)) return ERROR_NOT_ENOUGH_MEMORY;
    }
    // The record has no description: an older one would no longer match
    // the model just stored. Released, as every string the record holds.
    if (info->pDescription != nullptr) GlobalFree(info->pDescription);
    info->pDescription = nullptr;
    return ERROR_SUCCESS;
}

template <typename Tray>
DWORD ConvertTrays(const PMGroup *group, PrnInfoEx *info) {
    if (!PMGroupUsable(group)) return ERROR_SUCCESS;
    InfoItem *last = nullptr;
    for (DWORD i = 0; i < group->dwCount; ++i) {
        const auto *tray = PMGroupElement<Tray>(group, i);
        if (tray == nullptr) continue;
        auto *item = reinterpret_cast<TrayInfoItem *>(InfoItemAlloc(kTrayInfoItemSize));
        // Hosts know this step's allocation failure as 87, not 8: the code
        // is kept as they read it.
        if (item == nullptr) return ERROR_INVALID_PARAMETER;
        TrayInfoFromPM(PMTrayRead(tray), item);
        InfoListAppendBehind(info, InfoList::TrayInfo, &last, reinterpret_cast<InfoItem *>(item));
    }
    info->dwTrayExtra = 0;
    return ERROR_SUCCESS;
}

DWORD ConvertOutBins(const PMGroup *group, PrnInfoEx *info) {
    if (!PMGroupUsable(group)) return ERROR_SUCCESS;
    InfoListClear(info, InfoList::OutBinInfo);
    InfoItem *last = nullptr;
    for (DWORD i = 0; i < group->dwCount; ++i) {
        const auto *bin = PMGroupElement<PMOutBin>(group, i);
        if (bin == nullptr) continue;
        auto *item = reinterpret_cast<OutBinInfoItem *>(InfoItemAlloc(kOutBinInfoItemSize));
        if (item == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
        item->wBin = static_cast<uint16_t>(NameTableFind(OutBinNameTable, PMText(bin->pName))->code);
        const bool full = PMValueAvailable(bin->dwStatus) && (bin->dwStatus & kBinFullBit) != 0;
        item->wBinState = full ? kBinFull : kBinReady;
        InfoListAppendBehind(info, InfoList::OutBinInfo, &last, reinterpret_cast<InfoItem *>(item));
    }
    info->dwOutBinExtra = kOutBinExtraRebuilt;
    return ERROR_SUCCESS;
}

DWORD ConvertDevices(const PMGroup *group, PrnInfoEx *info) {
    if (!PMGroupUsable(group)) return ERROR_SUCCESS;
    InfoListClear(info, InfoList::DeviceInfo);
    InfoItem *last = nullptr;
    for (DWORD i = 0; i < group->dwCount; ++i) {
        const auto *device = PMGroupElement<PMDevice>(group, i);
        if (device == nullptr) continue;
        auto *item = reinterpret_cast<DeviceInfoItem *>(InfoItemAlloc(kDeviceInfoItemSize));
        if (item == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
        item->wDevice = PMValueAvailable(device->dwNumber) ? NumberTableLookup(DeviceNumberTable, device->dwNumber) : 0;
        InfoListAppendBehind(info, InfoList::DeviceInfo, &last, reinterpret_cast<InfoItem *>(item));
    }
    return ERROR_SUCCESS;
}

}  // namespace

DWORD PMConfigToPrnInfoEx(const PMInfoConfig *pm, DWORD flags, PrnInfoEx *info) {
    DWORD error = ERROR_SUCCESS;
    if ((flags & PAT_PMINFO_GENERAL) != 0 && (error = ConvertGeneral(pm->pGeneral, info)) != 0) return error;
    // Emptied once for both layouts, even when neither group is usable.
    if ((flags & (PAT_PMINFO_TRAYS | PAT_PMINFO_TRAYS_SHORT)) != 0) InfoListClear(info, InfoList::TrayInfo);
    if ((flags & PAT_PMINFO_TRAYS) != 0 && (error = ConvertTrays<PMTray>(pm->pTrayGroup, info)) != 0) return error;
    if ((flags & PAT_PMINFO_TRAYS_SHORT) != 0 && (error = ConvertTrays<PMTrayShort>(pm->pTrayShortGroup, info)) != 0) {
        return error;
    }
    if ((flags & PAT_PMINFO_OUTBINS) != 0 && (error = ConvertOutBins(pm->pOutBinGroup, info)) != 0) return error;
    if ((flags & PAT_PMINFO_DEVICES) != 0 && (error = ConvertDevices(pm->pDeviceGroup, info)) != 0) return error;
    return ERROR_SUCCESS;
}

}  // namespace patprn
