// Status trees and records from the fuzz bytes through the status exports:
// PatGetStatusString (short label and detailed message, with buffers of
// several sizes), PatCreateBitmapInfo with PatDisposeBitmapInfo,
// PatGetStatusHelpFileName and PatGetDeviceName. An export that the
// library does not have yet (not in src/frame/exports.list at configure
// time) is left out.
//
// Input, read in order:
//   status selector, revision selector, two language letters (0: keep),
//   variant byte, output-size byte, heap failure selector,
//   up to three PrnInfoEx records (count byte, then each record),
//   the tree: root type selector, root length byte, child count, children,
//   the device-name requests.
#include "fuzz_host.h"

#include <cstring>
#include <vector>

namespace {

using namespace patfuzz;

// Status codes worth reaching: the ones the status tables name, from most
// urgent to least, with a sample code of each wildcard key; other codes come
// from the input directly.
constexpr DWORD kNamedCodes[] = {
    PAT_STATUS_NO_RESPONSE, 40800, 42001, 42009, 40100, 40141, 40155, 40154, 40153, 40152, 40135, 40134, 40133,
    40132, 40159, 40208, 40206, 40903, 40011, 40042, 40041, 40028, 40020, 40015, 40014, 40013, 40012, 40300,
    41100, 41200, 41300, 41400, 41101, 41202, 41303, 41499, 45012, 48101, 48202, 47103, 47204, 46105, 46406,
    40991, 40992, 40993, 40994, 40979, 10002, 30015, 30014, 30013, 30403, 30407, 30409, 30400, 30609, 10023,
    30607, 30610, 10032, 30991, 30992, 30993, 30994, 30621, 30620, 30619, 10075, 10074, 10073, 10072, 30405,
    30426, 30429, 30440, 30428, 12201, 12301, 12401, 13200, 13300, 13400, 30330, 30616, 30617, 30608, 30136,
    50114, 50105, 50109, 50113, 50112, 50111, 50110, 50108, 50115, 50102, 50101, 10004, 10037, 10036, 10003,
    10035, 10047, 10033, 10001, 42000, 42004,
};
constexpr size_t kNamedCodeCount = sizeof kNamedCodes / sizeof kNamedCodes[0];

DWORD CodeFrom(FuzzInput &in) {
    const uint8_t selector = in.Byte();
    if (selector < kNamedCodeCount) return kNamedCodes[selector];
    if (selector < 0xF0) return kNamedCodes[in.Byte() % kNamedCodeCount];
    return in.U32();
}

// Status arguments: both sources, with and without the alternate set, and
// values that pass the source check but have no priority table.
DWORD StatusFrom(FuzzInput &in) {
    static const DWORD kStatus[8] = {1, 0x80000001u, 1, 0x80000001u, 0x8000, 0x80008000u, 0x10001, 2};
    const uint8_t selector = in.Byte();
    return selector < 0xF8 ? kStatus[selector & 7] : in.U32();
}

DWORD RevisionFrom(uint8_t selector) {
    return selector >= 0xF0 ? static_cast<DWORD>(selector & 0x0F) : PAT_REVISION_STATUS | DWORD{selector} << 8;
}

// A list length: usually below `usual`; a selector from 0xF0 on asks for
// a long list (up to 263 items), past every fixed-size buffer the texts
// and pictures are composed in.
uint32_t CountFrom(FuzzInput &in, uint8_t usual) {
    const uint8_t selector = in.Byte();
    return selector < 0xF0 ? selector % usual : usual + in.Byte();
}

// A fixed-size text field of an item, terminated within the field; a
// length byte of 255 fills the whole field.
void FillText(FuzzInput &in, char *field, size_t capacity) {
    const uint8_t length = in.Byte();
    size_t taken = 0;
    const uint8_t *bytes = in.Bytes(length == 255 ? capacity - 1 : length % capacity, &taken);
    std::memcpy(field, bytes, taken);
    field[taken] = '\0';
}

// A record as a host keeps it: its lists as the library would have filled
// them, from the input. Every item is as big as its record type.
PrnInfoEx *BuildRecord(FuzzInput &in) {
    PrnInfoEx *record = HostRecord(RecordSizeFrom(in.Byte()));
    if (!RecordHasBody(record)) return record;
    const uint8_t noResponse = in.Byte();
    record->bNoResponse = noResponse < 0xC0 ? 0 : noResponse < 0xF0 ? 1 : noResponse;

    for (uint32_t n = CountFrom(in, 9); n != 0; --n) {
        auto *item = static_cast<EngineStatusItem *>(
            HostAppendItem(&record->pEngineStatus, &record->nEngineStatus, sizeof(EngineStatusItem)));
        item->dwCode = CodeFrom(in);
        item->wCode = static_cast<uint16_t>(item->dwCode);
        FillText(in, item->szText, sizeof item->szText);
    }
    for (uint32_t n = CountFrom(in, 5); n != 0; --n) {
        auto *item = static_cast<LoadedEmulItem *>(
            HostAppendItem(&record->pLoadedEmul, &record->nLoadedEmul, sizeof(LoadedEmulItem)));
        const uint8_t emulation = in.Byte();
        item->wEmul = emulation < 0xF0 ? emulation % 20 : in.U16();
        FillText(in, item->szVersion, sizeof item->szVersion);
    }
    for (uint32_t n = CountFrom(in, 5); n != 0; --n) {
        static const uint16_t kDevices[8] = {1, 3, 16, 105, 106, 105, 106, 0};
        auto *item = static_cast<DeviceInfoItem *>(
            HostAppendItem(&record->pDeviceInfo, &record->nDeviceInfo, sizeof(DeviceInfoItem)));
        const uint8_t device = in.Byte();
        item->wDevice = device < 0xF0 ? kDevices[device & 7] : in.U16();
    }
    for (uint32_t n = CountFrom(in, 5); n != 0; --n) {
        auto *item = static_cast<TrayInfoItem *>(
            HostAppendItem(&record->pTrayInfo, &record->nTrayInfo, sizeof(TrayInfoItem)));
        item->wTray = in.Byte() % 8;
        item->wPaperSize = in.Byte();
        item->wPaperLevel = in.Byte() % 101;
        item->wMediaType = in.Byte() % 40;
        item->dwFlags = in.Byte();
    }
    for (uint32_t n = CountFrom(in, 3); n != 0; --n) {
        auto *item = static_cast<OutBinInfoItem *>(
            HostAppendItem(&record->pOutBinInfo, &record->nOutBinInfo, sizeof(OutBinInfoItem)));
        item->wBin = in.Byte();
        item->wBinState = in.Byte() % 3;
    }
    return record;
}

// A status-tree child: the type (mostly one the tree gives a role) and its
// data: a record pointer, a null pointer, or bytes of another length that
// the library must not take for a pointer.
QueryNode *BuildChild(FuzzInput &in, const std::vector<PrnInfoEx *> &records) {
    static const int32_t kTypes[8] = {1, 2, 1, 2, 3, 4, 5, QNODE_PJL_TEXT};
    const uint8_t typeSelector = in.Byte();
    const int32_t type = typeSelector < 0xF0 ? kTypes[typeSelector & 7] : static_cast<int32_t>(in.U32());
    const uint8_t data = in.Byte();
    if (data < 0xE0) {
        const PrnInfoEx *record = records.empty() ? nullptr : records[data % records.size()];
        return HostNode(type, &record, sizeof record);
    }
    if (data < 0xF0) {
        const void *none = nullptr;
        return HostNode(type, &none, sizeof none);
    }
    size_t length = 0;
    const uint8_t *bytes = in.Bytes(data & 0x0F, &length);
    if (length == sizeof(void *)) --length;  // never a pointer's worth of random bytes
    return HostNode(type, bytes, static_cast<uint32_t>(length));
}

// The root's data length names the main child's type for source 0x8000;
// the root stores no data bytes.
QueryNode *BuildTree(FuzzInput &in, const std::vector<PrnInfoEx *> &records) {
    const uint8_t typeSelector = in.Byte();
    const int32_t rootType = typeSelector < 0xF0 ? QNODE_STATUS_ROOT : static_cast<int32_t>(typeSelector & 0x0F);
    QueryNode *root = HostBareNode(rootType, in.Byte() % 8);
    for (uint8_t n = in.Byte() % 7; n != 0; --n) HostAttach(root, BuildChild(in, records));
    return root;
}

// Calls a text export of the in/out length protocol three ways: without a
// buffer (the size query), with a buffer exactly as big as needed, and
// with one of the input's size (the short buffer when it is too small).
// Only PatGetStatusString promises to take a null buffer of any declared
// size; the others are asked with a declared size of 0.
template <typename Call>
void TextCalls(const char *exportName, uint8_t sizeByte, bool nullTakesAnySize, Call call) {
    DWORD length = nullTakesAnySize ? sizeByte : 0;
    SetLastError(kPoison);
    const BOOL sized = call(nullptr, &length);
    CheckResult(sized != 0, exportName);
    if (sized != 0) Fail(exportName, "succeeded without an output buffer");
    if (GetLastError() != PAT_ERROR_INSUFFICIENT_BUFFER) return;

    const DWORD needed = length;
    if (needed == 0 || needed > 4096) Fail(exportName, "asked for a buffer of no or absurd size");
    const DWORD sizes[2] = {needed, sizeByte};
    for (DWORD capacity : sizes) {
        auto *output = static_cast<char *>(HostAlloc(capacity == 0 ? 1 : capacity));
        DWORD given = capacity;
        SetLastError(kPoison);
        const BOOL ok = call(output, &given);
        CheckResult(ok != 0, exportName);
        CheckTextResult(ok != 0, output, capacity, given, exportName);
        if (ok == 0 && capacity >= needed && GetLastError() == PAT_ERROR_INSUFFICIENT_BUFFER) {
            Fail(exportName, "reported a short buffer for one as big as it asked for");
        }
        GlobalFree(output);
    }
}

// The picture's promise: one tagged layer of tagged, terminated draw steps.
void CheckPicture(const BitmapInfo *picture) {
    if (picture->bTag != PAT_BITMAP_INFO_TAG || picture->nLayers != 1 || picture->dwLayerSize != sizeof(BitmapLayer)) {
        Fail("PatCreateBitmapInfo", "result without its tag, its one layer or its layer size");
    }
    for (DWORD l = 0; l < picture->nLayers; ++l) {
        const BitmapLayer &layer = picture->pLayers[l];
        if (layer.bTag != PAT_BITMAP_LAYER_TAG || layer.dwEntrySize != sizeof(BitmapEntry)) {
            Fail("PatCreateBitmapInfo", "layer without its tag or entry size");
        }
        for (DWORD e = 0; e < layer.nEntries; ++e) {
            const BitmapEntry &entry = layer.pEntries[e];
            if (std::memchr(entry.szName, '\0', sizeof entry.szName) == nullptr) {
                Fail("PatCreateBitmapInfo", "draw step whose name is not terminated");
            }
        }
    }
}

void StatusExports(FuzzInput &in, const QueryNode *tree, const std::vector<PrnInfoEx *> &records, DWORD status,
                   DWORD revision, uint8_t variant, uint8_t sizeByte, uint8_t heapFailure) {
    for (DWORD v : {DWORD{1}, DWORD{2}, DWORD{variant} | DWORD{variant} << 8}) {
        TextCalls("PatGetStatusString", sizeByte, true, [&](char *output, DWORD *length) {
            HeapFailureFrom(heapFailure);
            const BOOL ok = PatGetStatusString(status, tree, revision, v, output, length);
            HeapHealed();
            return ok;
        });
    }
    SetLastError(kPoison);
    HeapFailureFrom(heapFailure);
    BitmapInfo *picture = PatCreateBitmapInfo(status, tree, revision);
    HeapHealed();
    CheckResult(picture != nullptr, "PatCreateBitmapInfo");
    if (picture != nullptr) {
        CheckPicture(picture);
        SetLastError(kPoison);
        CheckResult(PatDisposeBitmapInfo(picture) != 0, "PatDisposeBitmapInfo");
    }
    // The record is read without a size check: only records with all
    // their 280 bytes are handed over.
    for (const PrnInfoEx *record : records) {
        if (!RecordHasBody(record)) continue;
        TextCalls("PatGetStatusHelpFileName", sizeByte, false, [&](char *output, DWORD *length) {
            return PatGetStatusHelpFileName(status, record, 0, output, length);
        });
    }
    // Names of trays and bins as texts, device numbers as 32-bit keys.
    for (uint8_t n = in.Byte() % 8; n != 0; --n) {
        const uint8_t kindByte = in.Byte();
        const DWORD kind = kindByte < 0xF0 ? kindByte % 5 : in.U32();
        const uint8_t formByte = in.Byte();
        const DWORD form = formByte < 0x80 ? 0x97 : formByte < 0xF0 ? 0x96 : formByte | DWORD{in.Byte()} << 8;
        void *key = nullptr;
        if (kind == 3) {
            const DWORD number = in.Byte() < 0xF0 ? 600 + in.Byte() % 40 : in.U32();
            key = HostAlloc(sizeof number);
            std::memcpy(key, &number, sizeof number);
        } else {
            size_t taken = 0;
            const uint8_t *bytes = in.Bytes(in.Byte() % 24, &taken);
            key = HostText(bytes, taken);
        }
        TextCalls("PatGetDeviceName", sizeByte, false, [&](char *output, DWORD *length) {
            return PatGetDeviceName(kind, key, form, output, length);
        });
        GlobalFree(key);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const long blocksBefore = LiveBlocks();
    FuzzInput in(data, size);
    ResetLanguage();
    const DWORD status = StatusFrom(in);
    const DWORD revision = RevisionFrom(in.Byte());
    char language[3] = {static_cast<char>(in.Byte()), static_cast<char>(in.Byte()), '\0'};
    const uint8_t variant = in.Byte();
    const uint8_t sizeByte = in.Byte();
    const uint8_t heapFailure = in.Byte();

    std::vector<PrnInfoEx *> records;
    for (uint8_t n = in.Byte() % 4; n != 0; --n) records.push_back(BuildRecord(in));
    QueryNode *tree = BuildTree(in, records);

    if (language[0] != '\0') PatSetLocale(language);
    StatusExports(in, tree, records, status, revision, variant, sizeByte, heapFailure);
    for (PrnInfoEx *record : records) {
        CheckRecord(record, "status exports");
        HostFreeRecord(record);
    }
    HostFreeTree(tree);
    CheckNoLeak(blocksBefore, "fuzz_status");
    return 0;
}
