#include "pjl/device_id.h"

#include "pjl/pjl_scanner.h"
#include "platform/win32.h"

#include <cstring>

namespace patprn {

namespace {

// Buffer sizes of the fields, terminator included.
constexpr uint32_t kFieldSize = 256;  // a key or a whole value
constexpr uint32_t kPieceSize = 30;   // one element of a list inside a value

bool IsDelimiter(char c, const char *delimiters) {
    for (const char *d = delimiters; *d != '\0'; ++d) {
        if (*d == c) return true;
    }
    return false;
}

const char *TextEnd(const char *text) { return text + std::strlen(text); }

uint32_t Number32(const char *text) { return static_cast<uint32_t>(PjlNumber(text)); }

// Status codes that call for the operator: errors (40001-49999) and 10002.
bool IsAttentionCode(uint32_t code) { return (code > 40000u && code < 50000u) || code == 10002u; }

// Each key's handler reads its value at *position and moves the position
// past the value's closing semicolon.
using DeviceIdHandler = uint32_t (*)(PrnInfoEx *info, const char **position, const char *end);

uint32_t StringField(PrnInfoEx *info, const char **position, const char *end, InfoString name) {
    char value[kFieldSize];
    *position = TakeField(*position, end, value, sizeof value, ";");
    return InfoStringSet(info, name, value) ? ERROR_SUCCESS : ERROR_NOT_ENOUGH_MEMORY;
}

uint32_t OnMaker(PrnInfoEx *info, const char **position, const char *end) {
    return StringField(info, position, end, InfoString::MakerName);
}

uint32_t OnDescription(PrnInfoEx *info, const char **position, const char *end) {
    return StringField(info, position, end, InfoString::Description);
}

uint32_t OnCommandSet(PrnInfoEx *info, const char **position, const char *end) {
    char value[kFieldSize];
    *position = TakeField(*position, end, value, sizeof value, ";");
    return CommandSetApply(info, value, CommandSetTable);
}

// A model name that cannot be stored leaves the model code unknown.
uint32_t OnModel(PrnInfoEx *info, const char **position, const char *end) {
    char value[kFieldSize];
    *position = TakeField(*position, end, value, sizeof value, ";");
    if (!InfoStringSet(info, InfoString::ModelName, value)) {
        info->bModelCode = 255;
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    info->bModelCode = static_cast<uint8_t>(CodeTableLookup(value, ModelNameTable) & 0xFFu);
    return ERROR_SUCCESS;
}

// STS:<code>/<code>...,<state>,<text>;
uint32_t ReadEngineStatus(PrnInfoEx *info, const char **position, const char *end, InfoItemSpares *spares) {
    char codes[kFieldSize];
    *position = TakeField(*position, end, codes, sizeof codes, ",");
    bool attention = false;
    for (const char *p = codes, *codesEnd = TextEnd(codes); p < codesEnd;) {
        char piece[kPieceSize];
        p = TakeField(p, codesEnd, piece, sizeof piece, "/");
        if (piece[0] == '\0') continue;
        const uint32_t code = Number32(piece);
        if (!InfoAddEngineStatus(info, code, spares)) return ERROR_NOT_ENOUGH_MEMORY;
        attention = attention || IsAttentionCode(code);
    }

    char rest[kFieldSize];
    *position = TakeField(*position, end, rest, sizeof rest, ";");
    char state[kPieceSize];
    const char *text = TakeField(rest, TextEnd(rest), state, sizeof state, ",");
    info->bState = static_cast<uint8_t>(Number32(state) & 0xFFu);
    info->bNotState = info->bState != 1 ? 1 : 0;
    info->bAttention = attention ? 1 : 0;
    InfoListRef statuses;
    if (*text != '\0' && InfoListResolve(info, InfoList::EngineStatus, &statuses)) {
        uint32_t left = *statuses.countSlot;
        for (InfoItem *item = statuses.head; item != nullptr && left != 0; item = item->next, --left) {
            EngineStatusItem *status = reinterpret_cast<EngineStatusItem *>(item);
            lstrcpynA(status->szText, text, sizeof status->szText);
        }
    }
    return ERROR_SUCCESS;
}

// The status list is rebuilt from the field, refilling the items it held.
uint32_t OnEngineStatus(PrnInfoEx *info, const char **position, const char *end) {
    InfoItemSpares spares;
    InfoListTakeItems(info, InfoList::EngineStatus, &spares);
    const uint32_t result = ReadEngineStatus(info, position, end, &spares);
    InfoItemSparesFree(&spares);
    return result;
}

// KWZ:<page counter>/<supply amount>,<supply amount>...; Both lists are
// rebuilt, refilling the items they held.
uint32_t OnCounters(PrnInfoEx *info, const char **position, const char *end) {
    InfoItemSpares counters;
    InfoItemSpares supplies;
    InfoListTakeItems(info, InfoList::CounterInfo, &counters);
    InfoListTakeItems(info, InfoList::SupplyInfo, &supplies);
    char counter[kFieldSize];
    *position = TakeField(*position, end, counter, sizeof counter, "/");
    uint32_t result = ERROR_NOT_ENOUGH_MEMORY;
    if (auto *item = reinterpret_cast<CounterInfoItem *>(InfoItemTake(&counters, kCounterInfoItemSize))) {
        item->wCounter = 1;
        item->dwValue = Number32(counter);
        InfoListAppend(info, InfoList::CounterInfo, reinterpret_cast<InfoItem *>(item));
        char amounts[kFieldSize];
        *position = TakeField(*position, end, amounts, sizeof amounts, ";");
        result = amounts[0] != '\0' ? SupplyAmountsApply(info, amounts, SupplyCodeTable, &supplies) : ERROR_SUCCESS;
    }
    InfoItemSparesFree(&counters);
    InfoItemSparesFree(&supplies);
    return result;
}

// The device-ID keys this library reads, in lookup order; other keys are
// skipped.
struct DeviceIdKeyRow {
    const char *key;
    DeviceIdHandler handler;
};
constexpr DeviceIdKeyRow kDeviceIdKeyTable[] = {
    {"CMD", OnCommandSet}, {"MFG", OnMaker},          {"MDL", OnModel},
    {"DES", OnDescription}, {"STS", OnEngineStatus}, {"KWZ", OnCounters},
    {nullptr, nullptr},
};

}  // namespace

const CodeTableRow CommandSetTable[] = {
    {nullptr, 0},
};

const uint16_t SupplyCodeTable[] = {
    kSupplyCodeEnd,
};

const char *TakeField(const char *text, const char *end, char *buffer, uint32_t size, const char *delimiters) {
    const char *p = text;
    uint32_t n = 0;
    while (p < end && *p != '\0' && !IsDelimiter(*p, delimiters) && n + 1 < size) buffer[n++] = *p++;
    if (size != 0) buffer[n] = '\0';
    return (p < end && *p != '\0') ? p + 1 : p;
}

uint32_t CommandSetApply(PrnInfoEx *info, const char *value, const CodeTableRow *table) {
    if (table == nullptr || table[0].name == nullptr) return ERROR_SUCCESS;
    InfoItemSpares spares;
    InfoListTakeItems(info, InfoList::LoadedEmul, &spares);
    uint32_t result = ERROR_SUCCESS;
    for (const char *p = value, *valueEnd = TextEnd(value); p < valueEnd && result == ERROR_SUCCESS;) {
        char piece[kPieceSize];
        p = TakeField(p, valueEnd, piece, sizeof piece, ",");
        if (piece[0] == '\0') continue;
        auto *item = reinterpret_cast<LoadedEmulItem *>(InfoItemTake(&spares, kLoadedEmulItemSize));
        if (item == nullptr) {
            result = ERROR_NOT_ENOUGH_MEMORY;
            continue;
        }
        item->wEmul = static_cast<uint16_t>(CodeTableLookup(piece, table) & 0xFFFFu);
        InfoListAppend(info, InfoList::LoadedEmul, reinterpret_cast<InfoItem *>(item));
    }
    InfoItemSparesFree(&spares);
    return result;
}

uint32_t SupplyAmountsApply(PrnInfoEx *info, const char *supplies, const uint16_t *codes, InfoItemSpares *spares) {
    const uint16_t *code = codes;
    for (const char *p = supplies, *suppliesEnd = TextEnd(supplies); p < suppliesEnd && *code != kSupplyCodeEnd;) {
        char piece[kPieceSize];
        p = TakeField(p, suppliesEnd, piece, sizeof piece, ",");
        if (piece[0] == '\0') continue;  // an empty amount takes no code
        auto *item = reinterpret_cast<SupplyInfoItem *>(InfoItemTake(spares, kSupplyInfoItemSize));
        if (item == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
        item->wSupply = *code;
        item->dwValue = Number32(piece);
        InfoListAppend(info, InfoList::SupplyInfo, reinterpret_cast<InfoItem *>(item));
        ++code;
    }
    return ERROR_SUCCESS;
}

uint32_t DeviceIdParse(const char *text, size_t length, PrnInfoEx *info) {
    if (text == nullptr) return ERROR_SUCCESS;
    const void *zero = std::memchr(text, '\0', length);
    const char *end = zero != nullptr ? static_cast<const char *>(zero) : text + length;
    const char *position = text;
    uint32_t result = ERROR_SUCCESS;
    while (position < end && result == ERROR_SUCCESS) {
        char key[kFieldSize];
        position = TakeField(position, end, key, sizeof key, ":");
        const DeviceIdKeyRow *row = kDeviceIdKeyTable;
        while (row->key != nullptr && std::strcmp(row->key, key) != 0) ++row;
        if (row->handler != nullptr) {
            result = row->handler(info, &position, end);
        } else {
            char skipped[kFieldSize];
            position = TakeField(position, end, skipped, sizeof skipped, ";");
        }
    }
    return result;
}

}  // namespace patprn
