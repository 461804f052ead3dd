// The reply keys this library understands, and their handlers: what each
// reply of the printer means for PrnInfoEx.
#pragma once

#include "pjl/pjl_code_tables.h"
#include "pjl/reply_interpretation.h"

namespace patprn {

// Handlers copy the tokens they read into buffers of this size: values are
// at most kPjlTokenChars characters.
constexpr uint32_t kHandlerTokenSize = kPjlTokenChars + 1;

// Tray inquiries, the output bin and the installed options of this printer
// family; searched first.
extern const ReplyKeyRow FamilyReplyTable[];
// General INFO replies; searched second.
extern const ReplyKeyRow GenericReplyTable[];
// The dispatch plan of FamilyReplyTable with GenericReplyTable.
extern const ReplyPlanIndex FamilyReplyPlan;

// The tray item of `tray` in "pTrayInfo", appended (zero-filled apart from
// the code) when the list has none. Null only when it cannot be allocated.
TrayInfoItem *TrayItemFindOrCreate(PrnInfoEx *info, uint16_t tray);

// The first punch-unit row that names exactly the `count` collected item
// words, in any order; null if none.
const PunchUnitRow *PunchUnitFind(const PunchUnitRow *table, const char (*words)[kHandlerTokenSize], int count);

uint32_t OnTrayLock(PjlScanner *scanner, PrnInfoEx *info, const ReplyKeyRow *fallback, int32_t tray);
uint32_t OnTraySize(PjlScanner *scanner, PrnInfoEx *info, const ReplyKeyRow *fallback, int32_t tray);
uint32_t OnTrayLevel(PjlScanner *scanner, PrnInfoEx *info, const ReplyKeyRow *fallback, int32_t tray);
uint32_t OnTrayMedia(PjlScanner *scanner, PrnInfoEx *info, const ReplyKeyRow *fallback, int32_t tray);
uint32_t OnTrayPresent(PjlScanner *scanner, PrnInfoEx *info, const ReplyKeyRow *fallback, int32_t tray);
uint32_t OnFrontCoverTray(PjlScanner *scanner, PrnInfoEx *info, const ReplyKeyRow *fallback, int32_t flags);
uint32_t OnOutBinState(PjlScanner *scanner, PrnInfoEx *info, const ReplyKeyRow *fallback, int32_t bin);
uint32_t OnOptionPresent(PjlScanner *scanner, PrnInfoEx *info, const ReplyKeyRow *fallback, int32_t device);
uint32_t OnInfoTolv(PjlScanner *scanner, PrnInfoEx *info, const ReplyKeyRow *fallback, int32_t unused);
uint32_t OnInfoConfig(PjlScanner *scanner, PrnInfoEx *info, const ReplyKeyRow *fallback, int32_t unused);
uint32_t OnConfigVersion(PjlScanner *scanner, PrnInfoEx *info, const ReplyKeyRow *fallback, int32_t unused);
uint32_t OnConfigInTrays(PjlScanner *scanner, PrnInfoEx *info, const ReplyKeyRow *fallback, int32_t unused);
uint32_t OnConfigMemory(PjlScanner *scanner, PrnInfoEx *info, const ReplyKeyRow *fallback, int32_t unused);
uint32_t OnConfigPunch(PjlScanner *scanner, PrnInfoEx *info, const ReplyKeyRow *fallback, int32_t unused);
uint32_t OnInfoOutBinStatus(PjlScanner *scanner, PrnInfoEx *info, const ReplyKeyRow *fallback, int32_t unused);

}  // namespace patprn
