// The printer's IEEE 1284 device-ID string: maker, model, description,
// engine status and counters.
#pragma once

#include "prninfo/prninfo.h"

#include <cstddef>
#include <cstdint>

namespace patprn {

// Copies the field at `text` into `buffer` up to the first of `delimiters`,
// the end of the text or size - 1 characters, and returns where the next
// field starts: past the delimiter, or past the one character after a cut
// (the rest of an over-long field is read as the next field). The text ends
// at `end` or at its first zero; nothing at or past `end` is read.
const char *TakeField(const char *text, const char *end, char *buffer, uint32_t size, const char *delimiters);

// Interprets every "KEY:value;" field of a device ID of at most `length`
// bytes (it ends at its first zero or there). 0, or ERROR_NOT_ENOUGH_MEMORY
// when anything it learnt could not be stored: the fields before stay
// written, the rest is not read.
uint32_t DeviceIdParse(const char *text, size_t length, PrnInfoEx *info);

// Command-set names (the CMD field) to emulation codes. This family reports
// none: the table holds only its end row, so CMD leaves the loaded
// emulations alone.
extern const CodeTableRow CommandSetTable[];

// Supply codes, in the order in which the KWZ field lists their amounts;
// ended by 0xFFFF. This family reports none.
constexpr uint16_t kSupplyCodeEnd = 0xFFFF;
extern const uint16_t SupplyCodeTable[];

// The CMD value against a command-set table: with rows, the loaded
// emulations are rebuilt from the comma-separated names (refilling the
// items they held); with only the end row nothing changes. 0, or
// ERROR_NOT_ENOUGH_MEMORY.
uint32_t CommandSetApply(PrnInfoEx *info, const char *value, const CodeTableRow *table);

// The supply amounts of the KWZ value, separated by ",", paired in order
// with the codes of a supply-code table and appended to the supply list,
// in items refilled from `spares` while it holds any (may be null).
// 0, or ERROR_NOT_ENOUGH_MEMORY.
uint32_t SupplyAmountsApply(PrnInfoEx *info, const char *supplies, const uint16_t *codes,
                            InfoItemSpares *spares = nullptr);

}  // namespace patprn
