#include "pjl/reply_handlers.h"

#include "platform/win32.h"
#include "prninfo/codes.h"

#include <cstddef>
#include <cstring>

namespace patprn {

namespace {

// Reply words of the output bin's state; other words read as ready.
const CodeTableRow kOutBinStateTable[] = {
    {"READY", 0}, {"PAPEREXIST", 1}, {"FULL", 2},
    {nullptr, 0},
};

// A token a handler reads, copied out of the reply text as a
// zero-terminated word for the code tables and the record.
struct HandlerToken {
    char text[kHandlerTokenSize];
    int32_t kind;
};

uint32_t ReadToken(PjlScanner *scanner, HandlerToken *token) {
    PjlToken read;
    const uint32_t result = PjlScanNext(scanner, &read);
    PjlTokenCopy(&read, token->text, sizeof token->text);
    token->kind = read.kind;
    return result;
}

// Tokens that end the reply a handler is reading: its form feed, the end of
// the text, or the next command line of a reply that lacked its form feed.
// A handler that reads a list stops there, so that a count larger than the
// lines listed never swallows the replies after it.
bool EndsReply(int32_t kind) {
    return kind == PJL_TOK_FORMFEED || kind == PJL_TOK_END || kind == PJL_TOK_PREFIX;
}

// An inquiry's value stands alone on the line after the echoed command.
uint32_t ReadInquiryValue(PjlScanner *scanner, HandlerToken *value) {
    uint32_t result = ReadToken(scanner, value);
    if (result != 0) return result;
    if (value->kind != PJL_TOK_EOL) return ERROR_INVALID_PARAMETER;
    result = ReadToken(scanner, value);
    if (result != 0) return result;
    return value->kind == PJL_TOK_HEADING ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
}

// The tray item an inquiry is about, and the value the printer gave. The
// item exists afterwards even when the value is malformed.
uint32_t ReadTrayValue(PjlScanner *scanner, PrnInfoEx *info, int32_t tray, TrayInfoItem **item,
                       HandlerToken *value) {
    *item = TrayItemFindOrCreate(info, static_cast<uint16_t>(tray));
    if (*item == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
    return ReadInquiryValue(scanner, value);
}

uint16_t Code16(uint32_t code) { return static_cast<uint16_t>(code & 0xFFFFu); }

// Records an installed option once: a configuration reply that names the
// same option again adds nothing (and a long reply stays linear).
uint32_t DeviceRecord(PrnInfoEx *info, uint16_t device) {
    if (InfoHasDevice(info, device)) return ERROR_SUCCESS;
    auto *item = reinterpret_cast<DeviceInfoItem *>(InfoItemAlloc(kDeviceInfoItemSize));
    if (item == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
    item->wDevice = device;
    InfoListAppend(info, InfoList::DeviceInfo, reinterpret_cast<InfoItem *>(item));
    return ERROR_SUCCESS;
}

// Appends behind the list's known last item, so that a list read in one
// go is built in linear time.
void ListAppendBehind(const InfoListRef *list, InfoItem **last, InfoItem *item) {
    if (*last == nullptr) *list->headSlot = item;
    else (*last)->next = item;
    *last = item;
    *list->countSlot += 1;
}

// A version the printer's reply lists is kept to 15 characters, as the
// short record's version fields hold; the management conversion keeps the
// item's full 17. Hosts read both cuts as they are, so they differ on
// purpose.
constexpr int kPjlVersionChars = 15;

// One item of the CONFIG VERSION list: the firmware gives the system
// version, every other item an installed emulation with its version.
uint32_t VersionRecord(PrnInfoEx *info, const InfoListRef *emulations, InfoItem **last, InfoItemSpares *spares,
                       const char *name, const char *version) {
    const uint32_t code = CodeTableLookup(name, PjlVersionTable);
    if (code == kPjlVersionFirmware) {
        return InfoStringSet(info, InfoString::SYSVersion, version) ? ERROR_SUCCESS : ERROR_NOT_ENOUGH_MEMORY;
    }
    auto *item = reinterpret_cast<LoadedEmulItem *>(InfoItemTake(spares, kLoadedEmulItemSize));
    if (item == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
    item->wEmul = Code16(code);
    lstrcpynA(item->szVersion, version, kPjlVersionChars + 1);
    ListAppendBehind(emulations, last, reinterpret_cast<InfoItem *>(item));
    bool stored = true;
    if (item->wEmul == kEmulMainProgram) stored = InfoStringSet(info, InfoString::MainProgVersion, version);
    if (item->wEmul == kEmulPostScript) stored = InfoStringSet(info, InfoString::VPSVersion, version);
    return stored ? ERROR_SUCCESS : ERROR_NOT_ENOUGH_MEMORY;
}

// VERSION [n ENUMERATED], then n item lines "<item>=<version>", into the
// emptied emulation list.
uint32_t ReadVersions(PjlScanner *scanner, PrnInfoEx *info, InfoItemSpares *spares) {
    InfoListRef emulations;
    if (!InfoListResolve(info, InfoList::LoadedEmul, &emulations)) return ERROR_INVALID_PARAMETER;
    InfoItem *last = nullptr;

    HandlerToken count;
    uint32_t result = ReadToken(scanner, &count);
    if (result != 0) return result;
    if (count.kind != PJL_TOK_BRACKET_FIRST) return ERROR_SUCCESS;
    const uint64_t listed = PjlNumber(count.text);
    uint64_t seen = 0;
    int32_t lastKind = count.kind;
    while (seen < listed && !EndsReply(lastKind)) {
        HandlerToken name;
        result = ReadToken(scanner, &name);
        if (result != 0) return result;
        lastKind = name.kind;
        if (name.kind != PJL_TOK_ITEM) continue;
        ++seen;
        HandlerToken version;
        result = ReadToken(scanner, &version);
        lastKind = version.kind;
        if (result == 0 && version.kind == PJL_TOK_ITEM_VALUE) {
            const uint32_t stored = VersionRecord(info, &emulations, &last, spares, name.text, version.text);
            if (stored != 0) return stored;
        }
    }
    return result;
}

// The settings an INFO TOLV reply lists, one heading a line: a word coded
// through its table, or (no table) the text itself. Other headings are
// read past.
struct TolvSettingRow {
    const char *heading;
    const CodeTableRow *codes;
    size_t field;  // offset in EmulUniqInfoItem
};
const TolvSettingRow kTolvSettingTable[] = {
    {"MEMORYUSAGE", MemoryUsageTable, offsetof(EmulUniqInfoItem, dwMemoryUsage)},
    {"OTHER", nullptr, offsetof(EmulUniqInfoItem, szOther)},
    {"IMAGEROTATION", ImageRotationTable, offsetof(EmulUniqInfoItem, dwImageRotation)},
};

void TolvSettingStore(EmulUniqInfoItem *item, const char *heading, const char *value) {
    for (const TolvSettingRow &row : kTolvSettingTable) {
        if (std::strcmp(row.heading, heading) != 0) continue;
        uint8_t *field = reinterpret_cast<uint8_t *>(item) + row.field;
        if (row.codes == nullptr) {
            lstrcpynA(reinterpret_cast<char *>(field), value, sizeof item->szOther);
        } else {
            const uint32_t code = CodeTableLookup(value, row.codes);
            std::memcpy(field, &code, sizeof code);
        }
        return;
    }
}

}  // namespace

// Keys of the general INFO replies.
constexpr ReplyKeyRow GenericReplyTable[] = {
    {{"INFO", "TOLV", "", "", ""}, OnInfoTolv, 0},
    {{"INFO", "CONFIG", "", "", ""}, OnInfoConfig, 0},
    {{"INFO", "CONFIG", "VERSION", "", ""}, OnConfigVersion, 0},
    {{"INFO", "CONFIG", "IN TRAYS", "", ""}, OnConfigInTrays, 0},
    {{"INFO", "CONFIG", "MEMORY", "", ""}, OnConfigMemory, 0},
    {{"INFO", "CONFIG", "PUNCH", "", ""}, OnConfigPunch, 0},
    {{"INFO", "OUTBINSTATUS", "", "", ""}, OnInfoOutBinStatus, 0},
    {{nullptr, nullptr, nullptr, nullptr, nullptr}, nullptr, 0},
};

// Keys of this family's trays, output bin and options. The parameter is a
// tray code, a tray flag, a bin code or a device code. A tray listed under IN TRAYS matches
// two rows: the tray is made sure to exist, then the option is recorded.
constexpr ReplyKeyRow FamilyReplyTable[] = {
    {{"INQUIRE", "INTRAY1", "", "", ""}, OnTrayLock, kTray1},
    {{"INQUIRE", "INTRAY2", "", "", ""}, OnTrayLock, kTray2},
    {{"INQUIRE", "INTRAY3", "", "", ""}, OnTrayLock, kTray3},
    {{"INQUIRE", "INTRAYMANUAL", "", "", ""}, OnTrayLock, kTrayBypass},
    {{"INQUIRE", "INTRAY1SIZE", "", "", ""}, OnTraySize, kTray1},
    {{"INQUIRE", "INTRAY2SIZE", "", "", ""}, OnTraySize, kTray2},
    {{"INQUIRE", "INTRAY3SIZE", "", "", ""}, OnTraySize, kTray3},
    {{"INQUIRE", "INTRAYMSIZE", "", "", ""}, OnTraySize, kTrayBypass},
    {{"INQUIRE", "INTRAY1QUANT", "", "", ""}, OnTrayLevel, kTray1},
    {{"INQUIRE", "INTRAY2QUANT", "", "", ""}, OnTrayLevel, kTray2},
    {{"INQUIRE", "INTRAY3QUANT", "", "", ""}, OnTrayLevel, kTray3},
    {{"INQUIRE", "INTRAY1MEDIA", "", "", ""}, OnTrayMedia, kTray1},
    {{"INQUIRE", "INTRAY2MEDIA", "", "", ""}, OnTrayMedia, kTray2},
    {{"INQUIRE", "INTRAY3MEDIA", "", "", ""}, OnTrayMedia, kTray3},
    {{"INQUIRE", "INTRAYMMEDIA", "", "", ""}, OnTrayMedia, kTrayBypass},
    {{"INFO", "CONFIG", "IN TRAYS", "INTRAY1", ""}, OnTrayPresent, kTray1},
    {{"INFO", "CONFIG", "IN TRAYS", "INTRAY2", ""}, OnTrayPresent, kTray2},
    {{"INFO", "CONFIG", "IN TRAYS", "INTRAY3", ""}, OnTrayPresent, kTray3},
    {{"INFO", "CONFIG", "IN TRAYS", "INTRAYMANUAL", ""}, OnTrayPresent, kTrayBypass},
    {{"INQUIRE", "FRONTCOVERPRINTTRAY", "", "", ""}, OnFrontCoverTray, PAT_TRAY_FLAG_FRONT_COVER},
    {{"INFO", "OUTBINSTATUS", "UPPER", "", ""}, OnOutBinState, kBinStandard},
    {{"INFO", "CONFIG", "IN TRAYS", "INTRAY3", ""}, OnOptionPresent, kDeviceTray3Unit},
    {{"INFO", "CONFIG", "IN TRAYS", "INTRAY2", ""}, OnOptionPresent, kDeviceTray2Unit},
    {{"INFO", "CONFIG", "IN TRAYS", "INTRAYMANUAL", ""}, OnOptionPresent, kDeviceManualFeed},
    {{"INFO", "CONFIG", "DUPLEX", "", ""}, OnOptionPresent, kDeviceDuplex},
    {{"INFO", "CONFIG", "DISK", "", ""}, OnOptionPresent, kDeviceHardDisk},
    {{nullptr, nullptr, nullptr, nullptr, nullptr}, nullptr, 0},
};

namespace {
constexpr size_t kPlannedRows = sizeof FamilyReplyTable / sizeof FamilyReplyTable[0] - 1 +
                                sizeof GenericReplyTable / sizeof GenericReplyTable[0] - 1;
constexpr ReplyPlan<kPlannedRows> kFamilyPlan(FamilyReplyTable, GenericReplyTable);
}  // namespace

const ReplyPlanIndex FamilyReplyPlan = kFamilyPlan.Index(FamilyReplyTable, GenericReplyTable);

TrayInfoItem *TrayItemFindOrCreate(PrnInfoEx *info, uint16_t tray) {
    if (InfoItem *found = InfoListFind(info, InfoList::TrayInfo, tray)) return reinterpret_cast<TrayInfoItem *>(found);
    auto *item = reinterpret_cast<TrayInfoItem *>(InfoItemAlloc(kTrayInfoItemSize));
    if (item == nullptr) return nullptr;
    item->wTray = tray;
    InfoListAppend(info, InfoList::TrayInfo, reinterpret_cast<InfoItem *>(item));
    return item;
}

const PunchUnitRow *PunchUnitFind(const PunchUnitRow *table, const char (*words)[kHandlerTokenSize], int count) {
    for (const PunchUnitRow *row = table; row->words[0] != nullptr; ++row) {
        int named = 0;
        while (named < kPunchUnitWords && row->words[named] != nullptr) ++named;
        bool matches = named == count;
        for (int w = named; matches && w < kPunchUnitWords; ++w) matches = row->words[w] == nullptr;
        for (int w = 0; matches && w < named; ++w) {
            bool collected = false;
            for (int c = 0; c < count && !collected; ++c) collected = std::strcmp(row->words[w], words[c]) == 0;
            matches = collected;
        }
        if (matches) return row;
    }
    return nullptr;
}

uint32_t OnTrayLock(PjlScanner *scanner, PrnInfoEx *info, const ReplyKeyRow *, int32_t tray) {
    TrayInfoItem *item;
    HandlerToken value;
    const uint32_t result = ReadTrayValue(scanner, info, tray, &item, &value);
    if (result != 0) return result;
    if (std::strcmp(value.text, "LOCKED") == 0) item->dwFlags |= PAT_TRAY_FLAG_LOCKED;
    else item->dwFlags &= ~PAT_TRAY_FLAG_LOCKED;
    return ERROR_SUCCESS;
}

// The size, level and media replies of a tray differ only in the code
// table they are looked up in and the field the code goes to.
uint32_t SetTrayCode(PjlScanner *scanner, PrnInfoEx *info, int32_t tray, const CodeTableRow *table,
                     uint16_t TrayInfoItem::*field) {
    TrayInfoItem *item;
    HandlerToken value;
    const uint32_t result = ReadTrayValue(scanner, info, tray, &item, &value);
    if (result != 0) return result;
    item->*field = Code16(CodeTableLookup(value.text, table));
    return ERROR_SUCCESS;
}

uint32_t OnTraySize(PjlScanner *scanner, PrnInfoEx *info, const ReplyKeyRow *, int32_t tray) {
    return SetTrayCode(scanner, info, tray, PjlPaperSizeTable, &TrayInfoItem::wPaperSize);
}

uint32_t OnTrayLevel(PjlScanner *scanner, PrnInfoEx *info, const ReplyKeyRow *, int32_t tray) {
    return SetTrayCode(scanner, info, tray, PjlPaperLevelTable, &TrayInfoItem::wPaperLevel);
}

uint32_t OnTrayMedia(PjlScanner *scanner, PrnInfoEx *info, const ReplyKeyRow *, int32_t tray) {
    return SetTrayCode(scanner, info, tray, PjlMediaTypeTable, &TrayInfoItem::wMediaType);
}

uint32_t OnTrayPresent(PjlScanner *, PrnInfoEx *info, const ReplyKeyRow *, int32_t tray) {
    return TrayItemFindOrCreate(info, static_cast<uint16_t>(tray)) != nullptr ? ERROR_SUCCESS
                                                                             : ERROR_NOT_ENOUGH_MEMORY;
}

// The tray that front-cover printing takes its paper from carries the flag;
// flags set earlier on other trays stay.
uint32_t OnFrontCoverTray(PjlScanner *scanner, PrnInfoEx *info, const ReplyKeyRow *, int32_t flags) {
    HandlerToken value;
    const uint32_t result = ReadInquiryValue(scanner, &value);
    if (result != 0) return result;
    const uint16_t tray = Code16(CodeTableLookup(value.text, PjlTrayNameTable));
    if (tray == 0) return ERROR_SUCCESS;
    TrayInfoItem *item = TrayItemFindOrCreate(info, tray);
    if (item == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
    item->dwFlags |= static_cast<uint32_t>(flags);
    return ERROR_SUCCESS;
}

// One bin state line: the bin is listed once; a reply that names it again
// updates its state.
uint32_t OnOutBinState(PjlScanner *scanner, PrnInfoEx *info, const ReplyKeyRow *, int32_t bin) {
    auto *item = reinterpret_cast<OutBinInfoItem *>(InfoListFind(info, InfoList::OutBinInfo, static_cast<uint16_t>(bin)));
    const bool listed = item != nullptr;
    if (!listed) {
        item = reinterpret_cast<OutBinInfoItem *>(InfoItemAlloc(kOutBinInfoItemSize));
        if (item == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
        item->wBin = static_cast<uint16_t>(bin);
    }
    HandlerToken value;
    const uint32_t result = ReadToken(scanner, &value);
    const bool stated = result == 0 && value.kind == PJL_TOK_HEADING_VALUE;
    item->wBinState = stated ? Code16(CodeTableLookup(value.text, kOutBinStateTable)) : 0;
    if (!listed) InfoListAppend(info, InfoList::OutBinInfo, reinterpret_cast<InfoItem *>(item));
    return result;
}

uint32_t OnOptionPresent(PjlScanner *, PrnInfoEx *info, const ReplyKeyRow *, int32_t device) {
    return DeviceRecord(info, static_cast<uint16_t>(device));
}

// The settings of the printer's own page-description language; its one
// item is kept and updated in place from poll to poll.
uint32_t OnInfoTolv(PjlScanner *scanner, PrnInfoEx *info, const ReplyKeyRow *, int32_t) {
    auto *item = reinterpret_cast<EmulUniqInfoItem *>(
        InfoListFind(info, InfoList::EmulUniqInfo, static_cast<uint16_t>(PAT_EMUL_QUERY_TOLV)));
    if (item == nullptr) {
        item = reinterpret_cast<EmulUniqInfoItem *>(InfoItemAlloc(kEmulUniqInfoItemSize));
        if (item == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
        item->wKind = PAT_EMUL_QUERY_TOLV;
        InfoListAppend(info, InfoList::EmulUniqInfo, reinterpret_cast<InfoItem *>(item));
    }
    HandlerToken token;
    do {
        uint32_t result = ReadToken(scanner, &token);
        if (result != 0) return result;
        if (token.kind != PJL_TOK_HEADING) continue;
        HandlerToken value;
        result = ReadToken(scanner, &value);
        if (result != 0) return result;
        TolvSettingStore(item, token.text, value.text);
        token.kind = value.kind;
    } while (!EndsReply(token.kind));
    return ERROR_SUCCESS;
}

// At the CONFIG word, before any option line of the same reply: the option
// list is rebuilt from each configuration reply.
uint32_t OnInfoConfig(PjlScanner *, PrnInfoEx *info, const ReplyKeyRow *, int32_t) {
    InfoListClear(info, InfoList::DeviceInfo);
    return ERROR_SUCCESS;
}

// The emulation list is rebuilt from each version list, refilling the
// items it held.
uint32_t OnConfigVersion(PjlScanner *scanner, PrnInfoEx *info, const ReplyKeyRow *, int32_t) {
    InfoItemSpares spares;
    InfoListTakeItems(info, InfoList::LoadedEmul, &spares);
    const uint32_t result = ReadVersions(scanner, info, &spares);
    InfoItemSparesFree(&spares);
    return result;
}

// IN TRAYS [n ENUMERATED]: a changed number of trays rebuilds the tray list
// (the listed trays are then re-created by OnTrayPresent); the same number
// keeps the trays and what earlier polls learnt about them.
uint32_t OnConfigInTrays(PjlScanner *scanner, PrnInfoEx *info, const ReplyKeyRow *, int32_t) {
    HandlerToken count;
    const uint32_t result = ReadToken(scanner, &count);
    if (result != 0) return result;
    if (count.kind != PJL_TOK_BRACKET_FIRST) return ERROR_INVALID_PARAMETER;
    if (PjlNumber(count.text) != info->nTrayInfo) InfoListClear(info, InfoList::TrayInfo);
    return ERROR_SUCCESS;
}

// MEMORY=<bytes>, kept in kilobytes.
uint32_t OnConfigMemory(PjlScanner *scanner, PrnInfoEx *info, const ReplyKeyRow *, int32_t) {
    HandlerToken value;
    const uint32_t result = ReadToken(scanner, &value);
    if (result != 0) return result;
    if (value.kind != PJL_TOK_HEADING_VALUE) return ERROR_SUCCESS;
    info->dwMemorySize = static_cast<DWORD>(PjlNumber(value.text) / 1024u);
    return ERROR_SUCCESS;
}

// PUNCH [n ENUMERATED], then up to five item words naming the punch unit.
uint32_t OnConfigPunch(PjlScanner *scanner, PrnInfoEx *info, const ReplyKeyRow *, int32_t) {
    HandlerToken count;
    uint32_t result = ReadToken(scanner, &count);
    if (result != 0) return result;
    if (count.kind != PJL_TOK_BRACKET_FIRST) return ERROR_INVALID_PARAMETER;
    const uint64_t listed = PjlNumber(count.text);
    if (listed > kPunchUnitWords) return ERROR_INVALID_PARAMETER;

    char words[kPunchUnitWords][kHandlerTokenSize];
    int collected = 0;
    int32_t lastKind = count.kind;
    while (static_cast<uint64_t>(collected) < listed && !EndsReply(lastKind)) {
        HandlerToken word;
        result = ReadToken(scanner, &word);
        if (result != 0) return result;
        lastKind = word.kind;
        if (word.kind == PJL_TOK_ITEM) lstrcpynA(words[collected++], word.text, kHandlerTokenSize);
    }
    const PunchUnitRow *unit = PunchUnitFind(PunchUnitTable, words, collected);
    return unit != nullptr ? DeviceRecord(info, unit->device) : ERROR_SUCCESS;
}

uint32_t OnInfoOutBinStatus(PjlScanner *, PrnInfoEx *info, const ReplyKeyRow *, int32_t) {
    InfoListClear(info, InfoList::OutBinInfo);
    info->dwOutBinExtra = 255;
    return ERROR_SUCCESS;
}

}  // namespace patprn
