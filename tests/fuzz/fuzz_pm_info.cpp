// The host's printer-management records in both shapes through
// PatPMInfoToPrnInfoEx, then the result through PatPrnInfoExToPrnInfo and
// into the next poll's query (PatCreateQueryInfo).
//
// Input: 16 control bytes, then the records, read field by field. Every
// pointer of a record is chosen by one selector byte: a block built from
// the bytes that follow (below 0xE0, and past the end of the input), null
// (0xE0 to 0xEF) or all ones (not available, from 0xF0). Each block is
// exactly as big as the fields the record declares (up to the end of its
// last field), each text exactly as long as its bytes plus the terminating
// zero, each element array exactly as long as its count says.
//
//   byte 0      call selector (kCall* bits)
//   byte 1      record size selector (RecordSizeFrom)
//   bytes 2-5   category flags of the status-shape conversions
//   bytes 6-9   category flags of the configuration-shape conversion
//   bytes 10-13 request flags of PatPrnInfoExToPrnInfo and PatCreateQueryInfo
//   bytes 14-15 heap failure selectors of the first and second conversion
//   then        the status-shape record, then the configuration-shape record
#include "fuzz_host.h"

#include <cstring>
#include <vector>

namespace {

using namespace patfuzz;

constexpr uint8_t kCallAltSet = 0x01;          // STATUS_ALT_SET with source 1
constexpr uint8_t kCallWrongRevision = 0x02;   // each shape with the other's revision
constexpr uint8_t kCallConfigFirst = 0x04;     // the configuration shape before the status shape
constexpr uint8_t kCallNoPrnInfo = 0x08;       // PatPrnInfoExToPrnInfo without an output record

// What the records are built from, and every block built, for release.
struct Builder {
    FuzzInput &in;
    std::vector<void *> blocks;

    void *Block(size_t bytes) {
        void *block = HostAlloc(bytes);
        blocks.push_back(block);
        return block;
    }

    // Null, all ones, or (for most selector values, and at the end of the
    // input) a block to build.
    enum class Choice { kNull, kNotAvailable, kBuild };
    Choice Pointer() {
        const uint8_t selector = in.Byte();
        if (selector >= 0xF0) return Choice::kNotAvailable;
        if (selector >= 0xE0) return Choice::kNull;
        return Choice::kBuild;
    }

    template <typename T>
    void Store(void *record, size_t offset, T value) {
        std::memcpy(static_cast<uint8_t *>(record) + offset, &value, sizeof value);
    }
    void StorePointer(void *record, size_t offset, const void *pointer) { Store(record, offset, pointer); }
    void StoreNotAvailable(void *record, size_t offset) { Store(record, offset, ~uintptr_t{0}); }

    // Texts are usually short; a length byte of 255 asks for a long one.
    const char *Text() {
        size_t length = in.Byte();
        if (length == 255) length = in.U16() % 1024;
        size_t taken = 0;
        const uint8_t *bytes = in.Bytes(length, &taken);
        char *text = HostText(bytes, taken);
        blocks.push_back(text);
        return text;
    }

    using ElementBuilder = void *(Builder::*)();

    // A pointer field: chosen, then built by `build`.
    void PointerField(void *record, size_t offset, ElementBuilder build) {
        switch (Pointer()) {
        case Choice::kNull: StorePointer(record, offset, nullptr); break;
        case Choice::kNotAvailable: StoreNotAvailable(record, offset); break;
        case Choice::kBuild: StorePointer(record, offset, (this->*build)()); break;
        }
    }
    void *TextBlock() { return const_cast<char *>(Text()); }
    void *WordBlock() {
        void *word = Block(sizeof(DWORD));
        Store(word, 0, in.U32());
        return word;
    }

    // A group: its count (usually small; sometimes not available, or past
    // the lengths of the short record's arrays), its element array of
    // exactly that many pointers, and each element.
    DWORD Count() {
        const uint8_t selector = in.Byte();
        if (selector == 0xFF) return PAT_PMINFO_VALUE_NOT_AVAILABLE;
        if (selector >= 0xF0) return 17u + in.Byte();
        return selector % 17u;
    }
    void *GroupOf(ElementBuilder build) {
        void *group = Block(sizeof(PMGroup));
        const DWORD count = Count();
        Store(group, offsetof(PMGroup, dwCount), count);
        switch (Pointer()) {
        case Choice::kNull: StorePointer(group, offsetof(PMGroup, ppElement), nullptr); break;
        case Choice::kNotAvailable: StoreNotAvailable(group, offsetof(PMGroup, ppElement)); break;
        case Choice::kBuild: {
            const DWORD elements = count == PAT_PMINFO_VALUE_NOT_AVAILABLE ? 1 : count;
            void *array = Block(elements * sizeof(void *));
            for (DWORD i = 0; i < elements; ++i) PointerField(array, i * sizeof(void *), build);
            StorePointer(group, offsetof(PMGroup, ppElement), array);
            break;
        }
        }
        return group;
    }

    // The elements, each exactly as long as its declared fields.
    void *EngineStatus() {
        void *e = Block(offsetof(PMEngineStatus, dwKind) + sizeof(DWORD));
        Store(e, offsetof(PMEngineStatus, dwCode), in.U32());
        PointerField(e, offsetof(PMEngineStatus, pText), &Builder::TextBlock);
        Store(e, offsetof(PMEngineStatus, dwKind), in.U32());
        return e;
    }
    void *Emulation() {
        void *e = Block(offsetof(PMEmulation, pName) + sizeof(void *));
        PointerField(e, offsetof(PMEmulation, pVersion), &Builder::TextBlock);
        PointerField(e, offsetof(PMEmulation, pName), &Builder::TextBlock);
        return e;
    }
    void *Font() {
        void *e = Block(sizeof(void *));
        PointerField(e, offsetof(PMFont, pName), &Builder::TextBlock);
        return e;
    }
    void *General() {
        void *e = Block(sizeof(PMGeneral));
        PointerField(e, offsetof(PMGeneral, pModelName), &Builder::TextBlock);
        PointerField(e, offsetof(PMGeneral, pSYSVersion), &Builder::TextBlock);
        Store(e, offsetof(PMGeneral, dwMemory), in.U32());
        PointerField(e, offsetof(PMGeneral, pMakerName), &Builder::TextBlock);
        return e;
    }
    void *Tray() {
        void *e = Block(sizeof(PMTray));
        PointerField(e, offsetof(PMTray, pName), &Builder::TextBlock);
        Store(e, offsetof(PMTray, dwLevel), in.U32());
        Store(e, offsetof(PMTray, dwWidth), in.U32());
        Store(e, offsetof(PMTray, dwLength), in.U32());
        PointerField(e, offsetof(PMTray, pMediaName), &Builder::TextBlock);
        Store(e, offsetof(PMTray, dwMedia), in.U32());
        PointerField(e, offsetof(PMTray, pMediaExt), &Builder::WordBlock);
        Store(e, offsetof(PMTray, dwFlags), in.U32());
        return e;
    }
    void *TrayShort() {
        void *e = Block(sizeof(PMTrayShort));
        PointerField(e, offsetof(PMTrayShort, pName), &Builder::TextBlock);
        Store(e, offsetof(PMTrayShort, dwLevel), in.U32());
        Store(e, offsetof(PMTrayShort, dwWidth), in.U32());
        Store(e, offsetof(PMTrayShort, dwLength), in.U32());
        PointerField(e, offsetof(PMTrayShort, pMediaName), &Builder::TextBlock);
        Store(e, offsetof(PMTrayShort, dwMedia), in.U32());
        Store(e, offsetof(PMTrayShort, dwFlags), in.U32());
        return e;
    }
    void *OutBin() {
        void *e = Block(offsetof(PMOutBin, dwStatus) + sizeof(DWORD));
        PointerField(e, offsetof(PMOutBin, pName), &Builder::TextBlock);
        Store(e, offsetof(PMOutBin, dwStatus), in.U32());
        return e;
    }
    void *Device() {
        void *e = Block(sizeof(DWORD));
        Store(e, offsetof(PMDevice, dwNumber), in.U32());
        return e;
    }

    void *EngineGroup() { return GroupOf(&Builder::EngineStatus); }
    void *EmulGroup() { return GroupOf(&Builder::Emulation); }
    void *FontGroup() { return GroupOf(&Builder::Font); }
    void *TrayGroup() { return GroupOf(&Builder::Tray); }
    void *TrayShortGroup() { return GroupOf(&Builder::TrayShort); }
    void *OutBinGroup() { return GroupOf(&Builder::OutBin); }
    void *DeviceGroup() { return GroupOf(&Builder::Device); }

    // The two shapes; the bytes the library never reads stay zero.
    void *StatusShape() {
        void *pm = Block(sizeof(PMInfoStatus));
        PointerField(pm, offsetof(PMInfoStatus, pStatusWord), &Builder::WordBlock);
        PointerField(pm, offsetof(PMInfoStatus, pFontGroup), &Builder::FontGroup);
        PointerField(pm, offsetof(PMInfoStatus, pEmulGroup), &Builder::EmulGroup);
        PointerField(pm, offsetof(PMInfoStatus, pEngineGroup), &Builder::EngineGroup);
        return pm;
    }
    void *ConfigShape() {
        void *pm = Block(sizeof(PMInfoConfig));
        PointerField(pm, offsetof(PMInfoConfig, pGeneral), &Builder::General);
        PointerField(pm, offsetof(PMInfoConfig, pTrayGroup), &Builder::TrayGroup);
        PointerField(pm, offsetof(PMInfoConfig, pOutBinGroup), &Builder::OutBinGroup);
        PointerField(pm, offsetof(PMInfoConfig, pDeviceGroup), &Builder::DeviceGroup);
        PointerField(pm, offsetof(PMInfoConfig, pTrayShortGroup), &Builder::TrayShortGroup);
        return pm;
    }
};

void Convert(DWORD source, const void *pm, DWORD revision, DWORD flags, uint8_t heapFailure, PrnInfoEx *record) {
    const RecordSnapshot before = SnapshotOf(record);
    SetLastError(kPoison);
    HeapFailureFrom(heapFailure);
    const BOOL ok = PatPMInfoToPrnInfoEx(source, pm, revision, flags, record);
    HeapHealed();
    CheckResult(ok != 0, "PatPMInfoToPrnInfoEx");
    CheckRecord(record, "PatPMInfoToPrnInfoEx");
    // With the heap intact, 87 means an argument was refused before any
    // conversion (an exhausted heap while trays are converted also gives 87).
    if (ok == 0 && GetLastError() == PAT_ERROR_INVALID_PARAMETER && (heapFailure & 0xC0) != kHeapFailureTag) {
        CheckUntouched(record, before, "PatPMInfoToPrnInfoEx");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const long blocksBefore = LiveBlocks();
    FuzzInput in(data, size);
    const uint8_t call = in.Byte();
    PrnInfoEx *record = HostRecord(RecordSizeFrom(in.Byte()));
    const DWORD statusFlags = in.U32();
    const DWORD configFlags = in.U32();
    const DWORD shortFlags = in.U32();
    const uint8_t firstHeapFailure = in.Byte();
    const uint8_t secondHeapFailure = in.Byte();

    Builder build{in, {}};
    const void *statusShape = build.StatusShape();
    const void *configShape = build.ConfigShape();

    const DWORD statusSource = PAT_STATUS_SOURCE_PJL | ((call & kCallAltSet) != 0 ? PAT_STATUS_ALT_SET : 0);
    const bool swap = (call & kCallWrongRevision) != 0;
    const DWORD statusRevision = swap ? PAT_REVISION_PM_CONFIG : PAT_REVISION_PM_STATUS;
    const DWORD configRevision = swap ? PAT_REVISION_PM_STATUS : PAT_REVISION_PM_CONFIG;
    // Two status conversions around the configuration one: the second
    // rebuilds lists and replaces strings the first stored.
    if ((call & kCallConfigFirst) != 0) {
        Convert(PAT_STATUS_SOURCE_PM, configShape, configRevision, configFlags, firstHeapFailure, record);
    }
    Convert(statusSource, statusShape, statusRevision, statusFlags, firstHeapFailure, record);
    if ((call & kCallConfigFirst) == 0) {
        Convert(PAT_STATUS_SOURCE_PM, configShape, configRevision, configFlags, secondHeapFailure, record);
    }
    Convert(statusSource, statusShape, statusRevision, statusFlags, secondHeapFailure, record);

    PrnInfo *flat = (call & kCallNoPrnInfo) == 0 ? static_cast<PrnInfo *>(HostAlloc(sizeof(PrnInfo))) : nullptr;
    SetLastError(kPoison);
    const BOOL ok = PatPrnInfoExToPrnInfo(record, flat, shortFlags);
    CheckResult(ok != 0, "PatPrnInfoExToPrnInfo");
    CheckRecord(record, "PatPrnInfoExToPrnInfo");
    if (flat != nullptr) GlobalFree(flat);

    // The next poll's query asks for the trays the records named.
    SetLastError(kPoison);
    QueryNode *query = PatCreateQueryInfo(record, PAT_REVISION_PJL, shortFlags);
    CheckResult(query != nullptr, "PatCreateQueryInfo");
    HostFreeTree(query);

    for (void *block : build.blocks) GlobalFree(block);
    HostFreeRecord(record);
    CheckNoLeak(blocksBefore, "fuzz_pm_info");
    return 0;
}
