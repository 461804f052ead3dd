// Element lists: fixed-size elements stored back to back in a MemBlock,
// addressed by 1-based position and walked with a ListCursor.
//
// Elements are copied in and out by value. A list that holds pointers does
// not own what they point to: the caller releases those objects before
// ElemListFree. Positions start at 1; position 0 is never an element.
// Pointers from ElemListAt or ListCursorNextAt are valid only until the list
// next grows (an append may move the buffer).
#pragma once

#include "containers/mem_block.h"

#include <cstdint>

namespace patprn {

struct ElemList {
    uint32_t elementSize;  // bytes per element, fixed at creation
    MemBlock *block;       // element n occupies bytes (n - 1) x size to n x size - 1
};

// Walks a list; a plain local value that needs no release. The count is
// re-read at every step, so elements appended during a walk are handed out.
struct ListCursor {
    ElemList *list;
    uint32_t visited;  // elements handed out so far; the next is at visited + 1
};

// A list whose block grows by `perStep` elements, with `initialSteps` steps
// allocated at once. Null if an allocation fails (nothing is left
// allocated), or if the element size or the step is 0 or the step passes
// 32 bits.
ElemList *ElemListCreate(uint32_t elementSize, uint32_t perStep, uint32_t initialSteps);

// Frees the block and the header; a null list is ignored.
void ElemListFree(ElemList *list);

// A list that lives for one call: the caller's header `list`, block
// `block` and first `capacity` elements at `buffer`, growing onto the heap
// by `perStep` elements beyond them. Allocates nothing; 0 (nothing set
// up) for an element size or step of 0 or past 32 bits. Release with
// ElemListRelease, never ElemListFree.
int ElemListInitLocal(ElemList *list, MemBlock *block, uint32_t elementSize, uint32_t perStep, void *buffer,
                      uint32_t capacity);

// Releases what a list set up by ElemListInitLocal took from the heap.
void ElemListRelease(ElemList *list);

// A list that lives for one call with room for `Capacity` elements of T in
// the object itself: the working lists of the status exports, which rarely
// outgrow it.
template <typename T, uint32_t Capacity>
struct LocalElemList {
    ElemList list;
    MemBlock block;
    T buffer[Capacity];
};

// Sets up `local` with steps of `perStep` elements; see ElemListInitLocal.
template <typename T, uint32_t Capacity>
int ElemListInitLocal(LocalElemList<T, Capacity> *local, uint32_t perStep) {
    return ElemListInitLocal(&local->list, &local->block, sizeof(T), perStep, local->buffer, Capacity);
}

// Copies one element to the end. 1, or 0 with the list unchanged when
// growing fails.
int ElemListAppend(ElemList *list, const void *element);

uint32_t ElemListCount(const ElemList *list);

// A pointer to the element at `position` inside the list, or null when
// there is no such element.
void *ElemListAt(ElemList *list, uint32_t position);

// Copies the element at `position` into `destination` (element size bytes);
// 1, or 0 when there is no such element.
int ElemListGet(ElemList *list, uint32_t position, void *destination);

// Starts a walk of `list`; returns `cursor`.
ListCursor *ListCursorInit(ElemList *list, ListCursor *cursor);

// The next element as a pointer into the list: 1 and `*element` set, or 0
// at the end with `*element` untouched.
int ListCursorNextAt(ListCursor *cursor, void **element);

// The next element copied into `destination`: 1, or 0 at the end.
int ListCursorNext(ListCursor *cursor, void *destination);

}  // namespace patprn
