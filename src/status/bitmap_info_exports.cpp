// PatCreateBitmapInfo and PatDisposeBitmapInfo: the status picture handed to
// the host, and its release.
//
// The picture is built in working containers (the layer list, its layer
// block, the code list, the ordered steps) that never leave the call and
// live on the stack until they outgrow it; only the result crosses:
// the BitmapInfo, its layer array and each layer's entry array, three kinds
// of fixed global-heap blocks the host owns until PatDisposeBitmapInfo.
#include "frame/result.h"
#include "platform/win32.h"
#include "status/status_picture.h"
#include "status/status_resolution.h"

namespace patprn {

namespace {

// Room on the stack: the layer list's first step, one layer of 20 entries,
// the ordered steps of 20 entries drawn with masks, the first step of codes.
constexpr uint32_t kLocalLayerEntries = kLayerBlockStep / sizeof(BitmapEntry);
constexpr uint32_t kLocalOrderedSteps = 2 * kLocalLayerEntries;
using LayerList = LocalElemList<MemBlock *, kLayerPointersPerStep>;

// Releases the entry arrays of the first `placed` layers, then the array.
void FreeLayerArray(BitmapLayer *array, uint32_t placed) {
    for (uint32_t i = 0; i < placed; ++i) GlobalFree(array[i].pEntries);
    GlobalFree(array);
}

// The result for the layer blocks of `layers`: each layer in drawing order,
// its entry array taken over from the ordered block. Null, with nothing
// left allocated, when an allocation or the ordering fails.
BitmapInfo *AssembleBitmapInfo(ElemList *layers) {
    const uint32_t count = ElemListCount(layers);
    // Zero-filled, so the reserved bytes the host can read hold no leftovers.
    auto *array = static_cast<BitmapLayer *>(GlobalAlloc(GPTR, count * sizeof(BitmapLayer)));
    if (array == nullptr) return nullptr;
    for (uint32_t i = 0; i < count; ++i) {
        MemBlock *block = nullptr;
        ElemListGet(layers, i + 1, &block);
        // The steps are ordered on the stack and handed out in a heap block
        // of whole layer steps, as a block grown step by step would be.
        MemBlock ordered;
        BitmapEntry steps[kLocalOrderedSteps];
        MemBlockInitLocal(&ordered, kLayerBlockStep, steps, sizeof steps);
        const bool complete = OrderLayerInto(block, &ordered) != 0;
        const uint32_t length = MemBlockLength(&ordered);
        void *entries = complete ? MemBlockDetach(&ordered) : nullptr;
        MemBlockRelease(&ordered);
        if (entries == nullptr) {
            FreeLayerArray(array, i);
            return nullptr;
        }
        BitmapLayer &layer = array[i];
        layer.bTag = PAT_BITMAP_LAYER_TAG;
        layer.nEntries = length / sizeof(BitmapEntry);
        layer.dwEntrySize = sizeof(BitmapEntry);
        layer.pEntries = static_cast<BitmapEntry *>(entries);
    }
    auto *info = static_cast<BitmapInfo *>(GlobalAlloc(GPTR, sizeof(BitmapInfo)));
    if (info == nullptr) {
        FreeLayerArray(array, count);
        return nullptr;
    }
    info->bTag = PAT_BITMAP_INFO_TAG;
    info->nLayers = count;
    info->dwLayerSize = sizeof(BitmapLayer);
    info->pLayers = array;
    return info;
}

// Resolves the view's most urgent codes and composes their entries into
// the first layer block; the layer list stays the caller's. 0, or 8 when a
// code or an entry could not be kept: a picture missing some of them would
// show the printer in a state it is not in.
DWORD BuildPicture(uint32_t status, const StatusView &view, ElemList *layers) {
    LocalElemList<uint32_t, kResolvedCodesPerStep> codes;
    ElemListInitLocal(&codes, kResolvedCodesPerStep);
    const StatusContext context{status, &view};
    DWORD error = ResolveStatusCodes(context, &codes.list);
    if (error == ERROR_SUCCESS) {
        error = ComposePicture(context, &codes.list, layers);
    } else if (error == PAT_ERROR_NOT_FOUND) {
        // A status argument without a priority table has no current codes:
        // the picture is an empty layer, not a failure.
        error = ERROR_SUCCESS;
    }
    ElemListRelease(&codes.list);
    return error;
}

// PatCreateBitmapInfo's work: 0 with the picture in *result, or the
// export's error code with nothing left allocated.
DWORD CreateBitmapInfo(uint32_t status, const QueryNode *root, DWORD revision, BitmapInfo **result) {
    if (root == nullptr || !RevisionMatches(revision, PAT_REVISION_STATUS) || !IsStatusSource(status)) {
        return ERROR_INVALID_PARAMETER;
    }
    StatusView view;
    const DWORD viewError = BuildStatusView(status, root, &view);
    if (viewError != ERROR_SUCCESS) return viewError;
    if (view.dwSize < PAT_PRNINFOEX_MIN_SIZE) return ERROR_INVALID_PARAMETER;

    // One layer, listed in the layer list's first step: the list never
    // grows.
    LayerList layers;
    ElemListInitLocal(&layers, kLayerPointersPerStep);
    MemBlock layer;
    BitmapEntry entries[kLocalLayerEntries];
    MemBlockInitLocal(&layer, kLayerBlockStep, entries, sizeof entries);
    MemBlock *first = &layer;
    ElemListAppend(&layers.list, &first);
    DWORD error = BuildPicture(status, view, &layers.list);
    if (error == ERROR_SUCCESS) {
        *result = AssembleBitmapInfo(&layers.list);
        if (*result == nullptr) error = ERROR_NOT_ENOUGH_MEMORY;
    }
    MemBlockRelease(&layer);
    ElemListRelease(&layers.list);
    return error;
}

// True when `block` is a global-heap block of at least `bytes` bytes: a
// record is read only as far as its block reaches.
bool BlockHolds(const void *block, SIZE_T bytes) {
    return GlobalSize(const_cast<void *>(block)) >= bytes;
}

// Releases a block of the record; false when the heap refused it.
bool Release(void *block) { return block == nullptr || GlobalFree(block) == nullptr; }

// PatDisposeBitmapInfo's work: 0, or 87 for a record it does not know or
// whose blocks the heap refused to release (what could be released is).
DWORD DisposeBitmapInfo(void *record) {
    if (record == nullptr) return ERROR_INVALID_PARAMETER;
    // The tag byte first: a record without one of the two tags is refused
    // without being taken for a heap block.
    const uint8_t tag = *static_cast<const uint8_t *>(record);
    static_assert(sizeof(BitmapLayer) == sizeof(BitmapInfo), "both tagged records share one layout");
    if ((tag != PAT_BITMAP_LAYER_TAG && tag != PAT_BITMAP_INFO_TAG) || !BlockHolds(record, sizeof(BitmapInfo))) {
        return ERROR_INVALID_PARAMETER;
    }
    if (tag == PAT_BITMAP_LAYER_TAG) {
        auto *layer = static_cast<BitmapLayer *>(record);
        const bool released = Release(layer->pEntries);
        return Release(layer) && released ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
    }

    auto *info = static_cast<BitmapInfo *>(record);
    BitmapLayer *layers = info->pLayers;
    // Every layer is checked before anything is released: a record refused
    // half-way would leave the host layers whose entry arrays are gone.
    if (layers != nullptr && info->nLayers != 0) {
        if (!BlockHolds(layers, SIZE_T{info->nLayers} * sizeof(BitmapLayer))) return ERROR_INVALID_PARAMETER;
        for (DWORD i = 0; i < info->nLayers; ++i) {
            if (layers[i].bTag != PAT_BITMAP_LAYER_TAG) return ERROR_INVALID_PARAMETER;
        }
    }
    bool released = true;
    if (layers != nullptr) {
        for (DWORD i = 0; i < info->nLayers; ++i) released = Release(layers[i].pEntries) && released;
        released = Release(layers) && released;
    }
    released = Release(info) && released;
    return released ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
}

}  // namespace

}  // namespace patprn

extern "C" BitmapInfo *WINAPI PatCreateBitmapInfo(DWORD status, const QueryNode *root, DWORD revision) {
    BitmapInfo *info = nullptr;
    const DWORD error = patprn::CreateBitmapInfo(status, root, revision, &info);
    return patprn::ExportPointer(info, error);
}

extern "C" BOOL WINAPI PatDisposeBitmapInfo(void *record) {
    return patprn::ExportResult(patprn::DisposeBitmapInfo(record));
}
