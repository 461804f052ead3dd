#include "containers/elem_list.h"

#include "platform/win32.h"

#include <cstring>

namespace patprn {

namespace {

// Byte offset of `position`; only called with 1 <= position <= count, so
// it lies within the block's 32-bit length.
int32_t OffsetOf(const ElemList *list, uint32_t position) {
    return static_cast<int32_t>((position - 1) * list->elementSize);
}

}  // namespace

ElemList *ElemListCreate(uint32_t elementSize, uint32_t perStep, uint32_t initialSteps) {
    // A zero element size would make every count a division by zero.
    if (elementSize == 0) return nullptr;
    const uint64_t step = uint64_t{elementSize} * perStep;
    if (step == 0 || step > UINT32_MAX) return nullptr;
    MemBlock *block = MemBlockCreate(static_cast<uint32_t>(step), initialSteps);
    if (block == nullptr) return nullptr;
    auto *list = static_cast<ElemList *>(GlobalAlloc(GMEM_FIXED, sizeof(ElemList)));
    if (list == nullptr) {
        MemBlockFree(block);
        return nullptr;
    }
    list->elementSize = elementSize;
    list->block = block;
    return list;
}

int ElemListInitLocal(ElemList *list, MemBlock *block, uint32_t elementSize, uint32_t perStep, void *buffer,
                      uint32_t capacity) {
    const uint64_t step = uint64_t{elementSize} * perStep;
    const uint64_t size = uint64_t{elementSize} * capacity;
    if (step == 0 || step > UINT32_MAX || size > UINT32_MAX) return 0;
    MemBlockInitLocal(block, static_cast<uint32_t>(step), buffer, static_cast<uint32_t>(size));
    list->elementSize = elementSize;
    list->block = block;
    return 1;
}

void ElemListRelease(ElemList *list) { MemBlockRelease(list->block); }

void ElemListFree(ElemList *list) {
    if (list == nullptr) return;
    MemBlockFree(list->block);
    GlobalFree(list);
}

int ElemListAppend(ElemList *list, const void *element) {
    MemBlockSeek(list->block, 0, kSeekFromEnd);
    return MemBlockWrite(list->block, element, list->elementSize);
}

uint32_t ElemListCount(const ElemList *list) { return MemBlockLength(list->block) / list->elementSize; }

void *ElemListAt(ElemList *list, uint32_t position) {
    // Checked first: (position - 1) x size wraps for large positions and
    // would land on an element that is not the one asked for.
    if (position == 0 || position > ElemListCount(list)) return nullptr;
    MemBlockSeek(list->block, OffsetOf(list, position), kSeekFromStart);
    return MemBlockRead(list->block, list->elementSize);
}

int ElemListGet(ElemList *list, uint32_t position, void *destination) {
    const void *element = ElemListAt(list, position);
    if (element == nullptr) return 0;
    std::memcpy(destination, element, list->elementSize);
    return 1;
}

ListCursor *ListCursorInit(ElemList *list, ListCursor *cursor) {
    cursor->list = list;
    cursor->visited = 0;
    return cursor;
}

int ListCursorNextAt(ListCursor *cursor, void **element) {
    if (cursor->visited >= ElemListCount(cursor->list)) return 0;
    cursor->visited += 1;
    *element = ElemListAt(cursor->list, cursor->visited);
    return *element != nullptr ? 1 : 0;
}

int ListCursorNext(ListCursor *cursor, void *destination) {
    if (cursor->visited >= ElemListCount(cursor->list)) return 0;
    cursor->visited += 1;
    return ElemListGet(cursor->list, cursor->visited, destination);
}

}  // namespace patprn
