// Two polls of one printer through PatSetCentroDataTo, with the printer's
// replies and device ID taken from the fuzz bytes.
//
// Input: 14 control bytes and a root's data, then up to four texts separated by
// kSectionSeparator: poll 1's PJL replies and device ID, poll 2's PJL
// replies and device ID (poll 2 reuses poll 1's texts when it has none).
// Each text becomes a node exactly as long as the bytes given, with no
// terminating zero added: the library must read no further than the node.
//
//   byte 0     answer-tree shape (kShape* bits)
//   byte 1     record size selector (RecordSizeFrom)
//   bytes 2-5  request flags of poll 1's PatCreateQueryInfo
//   bytes 6-9  request flags of poll 2's PatCreateQueryInfo
//   byte 10    heap failure selector of poll 1, byte 11 of poll 2 (while the
//              answer is read, or with kQueryHeapFailureTag the query built)
//   byte 12    revision selector
//   byte 13    data length of a root with data (kShapeRootWithData,
//              kShapeRootOddKind), then its data
#include "fuzz_host.h"

#include <cstring>

namespace {

using namespace patfuzz;

// Bits of the shape byte. The root kind takes the low two bits: 0 an
// ordinary answer (type 2), 1 the same with data from the input (never
// read), 2 the emulation-specific answer (type 3, data 15) to
// PatCreateEmulUniqQueryInfo, 3 a type-3 root with data from the input.
constexpr uint8_t kShapeRootKind = 0x03;
constexpr uint8_t kShapeRootWithData = 0x01;
constexpr uint8_t kShapeRootEmul = 0x02;
constexpr uint8_t kShapeRootOddKind = 0x03;
constexpr uint8_t kShapeDeviceIdFirst = 0x04;  // the device-ID node before the reply node
constexpr uint8_t kShapeForeignNode = 0x08;    // a node of a type no reader knows, first
constexpr uint8_t kShapeNoQuery = 0x10;        // the query is not attached
constexpr uint8_t kShapeNoReplies = 0x20;
constexpr uint8_t kShapeNoDeviceId = 0x40;
constexpr uint8_t kShapeRepliesTwice = 0x80;   // a second reply node with the same text

// A heap failure selector with this tag fails an allocation while the
// query is built rather than while the answer is read.
constexpr uint8_t kQueryHeapFailureTag = 0x80;

struct Text {
    const uint8_t *bytes;
    uint32_t length;
};

struct Poll {
    uint32_t flags;
    uint8_t heapFailure;
    Text replies;
    Text deviceId;
};

struct Shape {
    uint8_t bits;
    uint32_t revision;
    const uint8_t *rootData;
    uint32_t rootLength;
};

// Mostly revision byte 2 with any upper bytes; sometimes a wrong byte.
uint32_t RevisionFrom(uint8_t selector) {
    return selector >= 0xF0 ? static_cast<uint32_t>(selector & 0x0F) : PAT_REVISION_PJL | uint32_t{selector} << 8;
}

QueryNode *TextNode(int32_t type, const Text &text) { return HostNode(type, text.bytes, text.length); }

// The answer tree a host builds for one poll, with the query it received.
QueryNode *BuildAnswer(const Shape &shape, const Poll &poll, QueryNode *query) {
    const uint8_t kind = shape.bits & kShapeRootKind;
    QueryNode *root = nullptr;
    if (kind == kShapeRootEmul) {
        const uint32_t tolv = PAT_EMUL_QUERY_TOLV;
        root = HostNode(QNODE_EMUL_ANSWER_ROOT, &tolv, sizeof tolv);
    } else if (kind == kShapeRootOddKind) {
        root = HostNode(QNODE_EMUL_ANSWER_ROOT, shape.rootData, shape.rootLength);
    } else if (kind == kShapeRootWithData) {
        root = HostNode(QNODE_ANSWER_ROOT, shape.rootData, shape.rootLength);
    } else {
        root = HostNode(QNODE_ANSWER_ROOT, nullptr, 0);
    }
    if ((shape.bits & kShapeForeignNode) != 0) HostAttach(root, TextNode(1001, poll.replies));
    if (query != nullptr) HostAttach(root, query);
    QueryNode *replies = (shape.bits & kShapeNoReplies) == 0 ? TextNode(QNODE_PJL_TEXT, poll.replies) : nullptr;
    QueryNode *deviceId = (shape.bits & kShapeNoDeviceId) == 0 ? TextNode(QNODE_DEVICE_ID, poll.deviceId) : nullptr;
    if ((shape.bits & kShapeDeviceIdFirst) != 0) {
        if (deviceId != nullptr) HostAttach(root, deviceId);
        if (replies != nullptr) HostAttach(root, replies);
    } else {
        if (replies != nullptr) HostAttach(root, replies);
        if (deviceId != nullptr) HostAttach(root, deviceId);
    }
    if ((shape.bits & kShapeRepliesTwice) != 0) HostAttach(root, TextNode(QNODE_PJL_TEXT, poll.replies));
    return root;
}

// One poll: the query from the record as it is now, the answer, and the
// record's promise afterwards.
void RunPoll(const Shape &shape, const Poll &poll, PrnInfoEx *record) {
    QueryNode *query = nullptr;
    if ((shape.bits & kShapeNoQuery) == 0) {
        SetLastError(kPoison);
        HeapFailureFrom(poll.heapFailure, kQueryHeapFailureTag);
        query = (shape.bits & kShapeRootKind) == kShapeRootEmul
                    ? PatCreateEmulUniqQueryInfo(record, PAT_REVISION_PJL, PAT_EMUL_QUERY_TOLV, 0)
                    : PatCreateQueryInfo(record, PAT_REVISION_PJL, poll.flags);
        HeapHealed();
        CheckResult(query != nullptr, "PatCreateQueryInfo");
    }
    QueryNode *answer = BuildAnswer(shape, poll, query);

    const RecordSnapshot before = SnapshotOf(record);
    SetLastError(kPoison);
    HeapFailureFrom(poll.heapFailure);
    const BOOL ok = PatSetCentroDataTo(answer, 0, record, shape.revision);
    HeapHealed();
    CheckResult(ok != 0, "PatSetCentroDataTo");
    CheckRecord(record, "PatSetCentroDataTo");
    // A missing reply and a malformed query are found before anything is written.
    const DWORD error = GetLastError();
    if (ok == 0 && (error == PAT_ERROR_REPLY_MISSING || error == PAT_ERROR_INVALID_DATA)) {
        CheckUntouched(record, before, "PatSetCentroDataTo");
    }
    HostFreeTree(answer);
}

Text SectionText(FuzzInput &in) {
    size_t length = 0;
    const uint8_t *bytes = in.Section(&length);
    return {bytes, static_cast<uint32_t>(length)};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const long blocksBefore = LiveBlocks();
    FuzzInput in(data, size);
    Shape shape{};
    shape.bits = in.Byte();
    const uint32_t recordSize = RecordSizeFrom(in.Byte());
    Poll first{};
    Poll second{};
    first.flags = in.U32();
    second.flags = in.U32();
    first.heapFailure = in.Byte();
    second.heapFailure = in.Byte();
    shape.revision = RevisionFrom(in.Byte());
    size_t rootLength = 0;
    shape.rootData = in.Bytes(in.Byte() % 9, &rootLength);
    shape.rootLength = static_cast<uint32_t>(rootLength);

    first.replies = SectionText(in);
    first.deviceId = SectionText(in);
    second.replies = SectionText(in);
    second.deviceId = SectionText(in);
    if (second.replies.length == 0 && second.deviceId.length == 0) {
        second.replies = first.replies;
        second.deviceId = first.deviceId;
    }

    PrnInfoEx *record = HostRecord(recordSize);
    RunPoll(shape, first, record);
    RunPoll(shape, second, record);
    HostFreeRecord(record);
    CheckNoLeak(blocksBefore, "fuzz_centro_data");
    return 0;
}
