// Element lists: 1-based positions, cursor walks, and lists left unchanged
// by a failed growth.
#include "containers/elem_list.h"
#include "support/heap_hook.h"

#include <gtest/gtest.h>

#include <string>

using namespace patprn;

namespace {

// Elements of 12 bytes, like the status text's message records; the key
// shows that every byte of an element moves with it.
struct Record {
    uint32_t key;
    uint32_t item;
    uint32_t tag;
};

Record R(char tag) { return {static_cast<uint32_t>(tag) * 100u, 7u, static_cast<uint32_t>(tag)}; }

ElemList *ListOf(const std::string &tags) {
    ElemList *list = ElemListCreate(sizeof(Record), 2, 1);
    for (char tag : tags) {
        Record r = R(tag);
        ElemListAppend(list, &r);
    }
    return list;
}

// The tags of the list, read back through a cursor walk.
std::string Tags(ElemList *list) {
    std::string tags;
    ListCursor cursor;
    Record r;
    for (ListCursorInit(list, &cursor); ListCursorNext(&cursor, &r);) {
        EXPECT_EQ(r.key, r.tag * 100u);
        tags += static_cast<char>(r.tag);
    }
    return tags;
}

}  // namespace

TEST(ElemList, PositionsOutsideTheListGiveNothing) {
    ElemList *list = ListOf("ABC");
    EXPECT_EQ(static_cast<Record *>(ElemListAt(list, 3))->tag, static_cast<uint32_t>('C'));
    EXPECT_EQ(ElemListAt(list, 4), nullptr);
    EXPECT_EQ(ElemListAt(list, 0), nullptr);
    // (position - 1) x 12 wraps to offset 0 here: still not element 1.
    EXPECT_EQ(ElemListAt(list, 0x15555556u), nullptr);
    EXPECT_EQ(Tags(list), "ABC");
    ElemListFree(list);
    EXPECT_EQ(ElemListCreate(0, 20, 1), nullptr);
}

TEST(ElemList, CursorWalks) {
    ElemList *empty = ListOf("");
    ListCursor cursor;
    void *at = &cursor;
    ListCursorInit(empty, &cursor);
    EXPECT_EQ(ListCursorNextAt(&cursor, &at), 0);
    EXPECT_EQ(at, &cursor);  // untouched
    ElemListFree(empty);

    ElemList *list = ListOf("ABC");
    std::string seen;
    for (ListCursorInit(list, &cursor); ListCursorNextAt(&cursor, &at);) {
        seen += static_cast<char>(static_cast<Record *>(at)->tag);
        if (seen == "A") {  // appended during the walk: handed out as well
            Record d = R('D');
            ElemListAppend(list, &d);
        }
    }
    EXPECT_EQ(seen, "ABCD");
    Record r;
    EXPECT_EQ(ListCursorNext(&cursor, &r), 0);
    EXPECT_EQ(ListCursorNext(&cursor, &r), 0);
    EXPECT_EQ(cursor.visited, 4u);
    ElemListFree(list);
}

TEST(ElemList, FailedAllocationsLeaveNothingBehind) {
    SKIP_WITHOUT_HEAP_HOOK();
    pattest::HeapHookGuard guard;
    const long before = pattest::LiveHeapBlocks();
    for (unsigned n : {1u, 2u, 3u}) {  // block header, buffer, list header
        pattest::FailNthAllocation(n);
        EXPECT_EQ(ElemListCreate(4, 20, 1), nullptr) << "allocation " << n;
        EXPECT_EQ(pattest::LiveHeapBlocks(), before);
    }

    ElemList *list = ListOf("AB");  // two per step: full
    Record x = R('X');
    pattest::FailNthAllocation(1);
    EXPECT_EQ(ElemListAppend(list, &x), 0);
    EXPECT_EQ(Tags(list), "AB");
    ElemListFree(list);
    EXPECT_EQ(pattest::LiveHeapBlocks(), before);
}

// A list of the caller's: its first elements in the object, the rest on
// the heap once it grows, every element kept in order; released, nothing
// is left.
TEST(ElemList, LocalListGrowsOntoTheHeapAndIsReleased) {
    SKIP_WITHOUT_HEAP_HOOK();
    const long before = pattest::LiveHeapBlocks();
    LocalElemList<uint32_t, 3> local;
    ASSERT_EQ(ElemListInitLocal(&local, 2), 1);
    for (uint32_t i = 1; i <= 3; ++i) ElemListAppend(&local.list, &i);
    EXPECT_EQ(pattest::LiveHeapBlocks(), before);
    for (uint32_t i = 4; i <= 7; ++i) ElemListAppend(&local.list, &i);
    EXPECT_EQ(pattest::LiveHeapBlocks(), before + 1);
    ASSERT_EQ(ElemListCount(&local.list), 7u);
    for (uint32_t i = 1; i <= 7; ++i) EXPECT_EQ(*static_cast<uint32_t *>(ElemListAt(&local.list, i)), i);
    ElemListRelease(&local.list);
    EXPECT_EQ(pattest::LiveHeapBlocks(), before);
    ElemList list;
    MemBlock block;
    EXPECT_EQ(ElemListInitLocal(&list, &block, 0, 2, nullptr, 0), 0);
    EXPECT_EQ(ElemListInitLocal(&list, &block, 4, 0, nullptr, 0), 0);
}
