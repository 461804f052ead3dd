// PatCreateQueryInfo, PatCreateEmulUniqQueryInfo: what the host is to ask
// the printer at one poll, as a query tree.
#include "containers/query_node.h"
#include "frame/result.h"
#include "prninfo/prninfo.h"

#include <cstring>

namespace {

using namespace patprn;

// The fixed PJL texts. Every query text is framed by the universal exit
// language sequence, followed by an empty PJL line.
constexpr char kQueryOpening[] = "\x1B%-12345X@PJL\r\n";
constexpr char kInfoConfig[] = "@PJL INFO CONFIG\r\n";
constexpr char kInquireFrontCoverTray[] = "@PJL INQUIRE FRONTCOVERPRINTTRAY\r\n";
constexpr char kInfoOutBinStatus[] = "@PJL INFO OUTBINSTATUS\r\n";
constexpr char kQueryClosing[] = "\x1B%-12345X";
constexpr char kEmulTolvQuery[] = "\x1B%-12345X@PJL\r\n@PJL INFO TOLV\r\n\x1B%-12345X";

// The only emulation-specific query kind: the printer's own
// page-description language.
constexpr uint16_t kEmulQueryTolv = PAT_EMUL_QUERY_TOLV;

// The inquiries about one paper tray, by tray code. Optional trays are
// asked only when the record already knows them; the multi-purpose tray
// has no quantity inquiry.
struct TrayInquiryRow {
    uint16_t tray;
    uint32_t optional;
    const char *text;
};
constexpr uint16_t kTrayInquiryEnd = 0xFFFF;
constexpr TrayInquiryRow kTrayInquiryTable[] = {
    {3, 0,
     "@PJL INQUIRE INTRAY1SIZE\r\n@PJL INQUIRE INTRAY1QUANT\r\n@PJL INQUIRE INTRAY1MEDIA\r\n"
     "@PJL INQUIRE INTRAY1\r\n"},
    {4, 1,
     "@PJL INQUIRE INTRAY2SIZE\r\n@PJL INQUIRE INTRAY2QUANT\r\n@PJL INQUIRE INTRAY2MEDIA\r\n"
     "@PJL INQUIRE INTRAY2\r\n"},
    {5, 1,
     "@PJL INQUIRE INTRAY3SIZE\r\n@PJL INQUIRE INTRAY3QUANT\r\n@PJL INQUIRE INTRAY3MEDIA\r\n"
     "@PJL INQUIRE INTRAY3\r\n"},
    {1, 0, "@PJL INQUIRE INTRAYMSIZE\r\n@PJL INQUIRE INTRAYMMEDIA\r\n@PJL INQUIRE INTRAYMULTI\r\n"},
    {kTrayInquiryEnd, 1, ""},
};
constexpr size_t kTrayInquiryRows = sizeof kTrayInquiryTable / sizeof kTrayInquiryTable[0] - 1;

// Request flags; several bits ask for the same thing.
constexpr DWORD kAskDeviceId = PAT_QUERY_DEVICE_ID | PAT_QUERY_DEVICE_ID_ALT1 | PAT_QUERY_DEVICE_ID_ALT2;
constexpr DWORD kAskConfig = PAT_QUERY_CONFIG | PAT_QUERY_CONFIG_ALT1 | PAT_QUERY_CONFIG_ALT2;

// The query text is assembled in a fixed buffer. Each tray is asked at most
// once, so the longest text (every tray, everything asked) is 485
// characters; an append that would not fit is dropped all the same.
constexpr size_t kQueryTextSize = 1024;
struct QueryText {
    char text[kQueryTextSize];
    size_t length;
};

void QueryTextAppend(QueryText *q, const char *piece) {
    const size_t n = std::strlen(piece);
    if (n >= kQueryTextSize - q->length) return;
    std::memcpy(q->text + q->length, piece, n + 1);
    q->length += n;
}

// The tray inquiries: for each tray the record knows, in list order, that
// tray's inquiry text; with no trays known, the trays every printer of the
// family has. A tray that the list names again is not asked again.
void AppendTrayInquiries(QueryText *q, PrnInfoEx *info) {
    InfoListRef trays{};
    InfoListResolve(info, InfoList::TrayInfo, &trays);
    if (trays.head == nullptr) {
        for (size_t r = 0; r < kTrayInquiryRows; ++r) {
            if (kTrayInquiryTable[r].optional == 0) QueryTextAppend(q, kTrayInquiryTable[r].text);
        }
        return;
    }
    bool asked[kTrayInquiryRows] = {};
    uint32_t left = *trays.countSlot;
    for (const InfoItem *item = trays.head; item != nullptr && left != 0; item = item->next, --left) {
        const uint16_t tray = reinterpret_cast<const TrayInfoItem *>(item)->wTray;
        for (size_t r = 0; r < kTrayInquiryRows; ++r) {
            if (kTrayInquiryTable[r].tray != tray || asked[r]) continue;
            asked[r] = true;
            QueryTextAppend(q, kTrayInquiryTable[r].text);
        }
    }
}

// Releases a root that is not handed out.
QueryNode *Discard(QueryNode *root) {
    GlobalFree(root);
    return nullptr;
}

}  // namespace

extern "C" QueryNode *WINAPI PatCreateQueryInfo(PrnInfoEx *info, DWORD revision, DWORD flags) {
    if (info == nullptr || !RevisionMatches(revision, PAT_REVISION_PJL)) {
        return ExportPointer<QueryNode>(nullptr, ERROR_INVALID_PARAMETER);
    }
    QueryNode *root = QueryNodeCreate(nullptr, QNODE_QUERY_ROOT, nullptr, 0);
    if (root == nullptr) return ExportPointer<QueryNode>(nullptr, ERROR_NOT_ENOUGH_MEMORY);
    if (!HostRecordSizeAtLeast(info, PAT_PRNINFOEX_MIN_SIZE)) {
        return ExportPointer(Discard(root), ERROR_INVALID_PARAMETER);
    }

    QueryText q;
    q.length = 0;
    q.text[0] = '\0';
    QueryTextAppend(&q, kQueryOpening);
    bool hasContent = false;

    // A child that cannot be allocated is left out; the root still goes out.
    if ((flags & kAskDeviceId) != 0) QueryNodeCreate(root, QNODE_DEVICE_ID, nullptr, 0);
    if ((flags & kAskConfig) != 0) {
        QueryTextAppend(&q, kInfoConfig);
        hasContent = true;
    }
    if ((flags & PAT_QUERY_TRAYS) != 0) {
        QueryTextAppend(&q, kInquireFrontCoverTray);
        AppendTrayInquiries(&q, info);
        hasContent = true;
    }
    if ((flags & PAT_QUERY_OUTBINS) != 0) {
        QueryTextAppend(&q, kInfoOutBinStatus);
        hasContent = true;
    }
    if (hasContent) {
        QueryTextAppend(&q, kQueryClosing);
        QueryNodeCreate(root, QNODE_PJL_TEXT, q.text, static_cast<uint32_t>(q.length + 1));
    }
    return ExportPointer(root, ERROR_SUCCESS);
}

extern "C" QueryNode *WINAPI PatCreateEmulUniqQueryInfo(PrnInfoEx *info, DWORD revision, DWORD kind,
                                                        DWORD /*reserved*/) {
    if (info == nullptr || !RevisionMatches(revision, PAT_REVISION_PJL)) {
        return ExportPointer<QueryNode>(nullptr, ERROR_INVALID_PARAMETER);
    }
    QueryNode *root = QueryNodeCreate(nullptr, QNODE_QUERY_ROOT, nullptr, 0);
    if (root == nullptr) return ExportPointer<QueryNode>(nullptr, ERROR_NOT_ENOUGH_MEMORY);
    if ((kind & 0xFFFFu) != kEmulQueryTolv) return ExportPointer(Discard(root), ERROR_INVALID_PARAMETER);
    QueryNodeCreate(root, QNODE_PJL_TEXT, kEmulTolvQuery, sizeof kEmulTolvQuery);
    return ExportPointer(root, ERROR_SUCCESS);
}
