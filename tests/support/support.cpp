#include "support/support.h"

#include <cstring>

namespace pattest {

HostRecord::HostRecord(DWORD size) : bytes(size < sizeof(PrnInfoEx) ? sizeof(PrnInfoEx) : size, 0) {
    get()->dwSize = size;
}

HostRecord::~HostRecord() { ReleaseLists(); }

namespace {
void FreeChain(InfoItem *item) {
    while (item != nullptr) {
        InfoItem *next = item->next;
        GlobalFree(item);
        item = next;
    }
}
}  // namespace

void HostRecord::ReleaseLists() {
    PrnInfoEx *r = get();
    FreeChain(reinterpret_cast<InfoItem *>(r->pEngineStatus));
    FreeChain(reinterpret_cast<InfoItem *>(r->pLoadedEmul));
    FreeChain(reinterpret_cast<InfoItem *>(r->pLoadedFont));
    FreeChain(reinterpret_cast<InfoItem *>(r->pTrayInfo));
    FreeChain(reinterpret_cast<InfoItem *>(r->pOutBinInfo));
    FreeChain(reinterpret_cast<InfoItem *>(r->pDeviceInfo));
    FreeChain(reinterpret_cast<InfoItem *>(r->pEmulUniqInfo));
    FreeChain(reinterpret_cast<InfoItem *>(r->pCounterInfo));
    FreeChain(reinterpret_cast<InfoItem *>(r->pSupplyInfo));
    for (char **s : {&r->pModelName, &r->pMakerName, &r->pDescription, &r->pSYSVersion, &r->pMainProgVersion,
                     &r->pVPSVersion}) {
        if (*s != nullptr) GlobalFree(*s);
        *s = nullptr;
    }
    const DWORD size = r->dwSize;
    std::memset(r, 0, sizeof(PrnInfoEx));
    r->dwSize = size;
}

QueryNode *MakeNode(int32_t type, const void *data, uint32_t length) {
    auto *node = static_cast<QueryNode *>(GlobalAlloc(GPTR, QNODE_HEADER_SIZE + length));
    node->nType = type;
    node->dwLength = length;
    if (length != 0) std::memcpy(QNODE_DATA(node), data, length);
    return node;
}

QueryNode *MakeTextNode(int32_t type, const std::string &text) {
    return MakeNode(type, text.c_str(), static_cast<uint32_t>(text.size() + 1));
}

QueryNode *AppendChild(QueryNode *parent, QueryNode *child) {
    child->pParent = parent;
    if (parent->pLastChild != nullptr) {
        parent->pLastChild->pNextSibling = child;
    } else {
        parent->pFirstChild = child;
    }
    parent->pLastChild = child;
    return child;
}

void FreeTree(QueryNode *root) {
    if (root == nullptr) return;
    QueryNode *child = root->pFirstChild;
    while (child != nullptr) {
        QueryNode *next = child->pNextSibling;
        FreeTree(child);
        child = next;
    }
    GlobalFree(root);
}

size_t ChainLength(const void *head) {
    size_t n = 0;
    for (auto *item = static_cast<const InfoItem *>(head); item != nullptr; item = item->next) ++n;
    return n;
}

QueryNode *MakeStatusTree(const PrnInfoEx *main, const PrnInfoEx *supplement, int32_t mainType,
                          uint32_t rootLength) {
    const std::vector<uint8_t> rootData(rootLength, 0);
    QueryNode *root = MakeNode(QNODE_STATUS_ROOT, rootData.data(), rootLength);
    if (supplement != nullptr) AppendChild(root, MakeNode(2, &supplement, sizeof supplement));
    if (main != nullptr) AppendChild(root, MakeNode(mainType, &main, sizeof main));
    return root;
}

namespace {
EngineStatusItem *NewStatusItem(DWORD code, const char *text) {
    auto *item = static_cast<EngineStatusItem *>(GlobalAlloc(GPTR, sizeof(EngineStatusItem)));
    item->cbItem = sizeof(EngineStatusItem);
    item->wCode = static_cast<uint16_t>(code & 0xFFFFu);
    item->dwCode = code;
    std::strncpy(item->szText, text, sizeof item->szText - 1);
    return item;
}

EngineStatusItem **LastStatusSlot(PrnInfoEx *record) {
    EngineStatusItem **slot = &record->pEngineStatus;
    while (*slot != nullptr) slot = reinterpret_cast<EngineStatusItem **>(&(*slot)->next);
    return slot;
}
}  // namespace

void AddStatusCode(PrnInfoEx *record, DWORD code, const char *text) {
    *LastStatusSlot(record) = NewStatusItem(code, text);
    record->nEngineStatus += 1;
}

void AddStatusCodes(PrnInfoEx *record, const std::vector<DWORD> &codes) {
    EngineStatusItem **slot = LastStatusSlot(record);
    for (DWORD code : codes) {
        *slot = NewStatusItem(code, "");
        slot = reinterpret_cast<EngineStatusItem **>(&(*slot)->next);
        record->nEngineStatus += 1;
    }
}

namespace {
// Allocates a zero-filled item of type T as a host does and links it last
// into the chain at `head`, counting it in `count`.
template <typename T>
T *AppendHostItem(T *&head, DWORD &count) {
    auto *item = static_cast<T *>(GlobalAlloc(GPTR, sizeof(T)));
    item->cbItem = sizeof(T);
    InfoItem **slot = reinterpret_cast<InfoItem **>(&head);
    while (*slot != nullptr) slot = &(*slot)->next;
    *slot = reinterpret_cast<InfoItem *>(item);
    count += 1;
    return item;
}
}  // namespace

void AddDeviceCode(PrnInfoEx *record, uint16_t device) {
    AppendHostItem(record->pDeviceInfo, record->nDeviceInfo)->wDevice = device;
}

void AddEmulationCode(PrnInfoEx *record, uint16_t emulation) {
    AppendHostItem(record->pLoadedEmul, record->nLoadedEmul)->wEmul = emulation;
}

}  // namespace pattest
