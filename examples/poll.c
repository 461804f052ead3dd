/* poll.c — one complete poll of a printer through patprn, as a host does it.
 *
 * The same C11 source builds against libpatprn.so on Linux and patprn.dll
 * on Windows. The printer is played by canned text: the replies and the
 * device ID that a printer of this family sends for the queries asked here.
 *
 *   1. ask the library what to send (a query tree);
 *   2. "send" it and build the answer tree from the replies;
 *   3. let the library read the answers into the printer record;
 *   4. show the status text in two languages and the picture's draw list;
 *   5. free everything the library handed out.
 *
 * Build: cc -std=c11 poll.c $(pkg-config --cflags --libs patprn)
 * (on Windows also -lgdi32, for DeleteObject). Exits 0 on success. */
#include <patprn/patprn.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* What the printer answers to "@PJL INFO CONFIG" and "@PJL INFO
 * OUTBINSTATUS": each reply begins with the echoed command and ends with a
 * form feed. */
static const char kReplies[] =
    "@PJL INFO CONFIG\r\n"
    "IN TRAYS [2 ENUMERATED]\r\n\tINTRAY1\r\n\tINTRAYMANUAL\r\n"
    "OUT TRAYS [1 ENUMERATED]\r\n\tUPPER\r\n"
    "DUPLEX\r\n"
    "MEMORY=268435456\r\n"
    "VERSION [2 ENUMERATED]\r\n\tFIRMWARE=1.20\r\n\tPCL=1.07\r\n"
    "\f"
    "@PJL INFO OUTBINSTATUS\r\n"
    "UPPER=READY\r\n"
    "\f";

/* The IEEE 1284 device ID: STS carries the engine status codes (here:
 * tray 1 is out of paper), KWZ the page counter. */
static const char kDeviceId[] =
    "MFG:Printer Maker;CMD:PJL,PCL;MDL:Colour Laser 500;CLS:PRINTER;"
    "DES:Colour laser printer;STS:10001/41213,3,ADD PAPER TO TRAY 1;KWZ:18411/84,69,60,90;";

/* ---- Building and freeing trees: plain global-heap nodes ---- */

static QueryNode *NewNode(int32_t type, const void *data, uint32_t length) {
    QueryNode *node = (QueryNode *)GlobalAlloc(GPTR, QNODE_HEADER_SIZE + length);
    if (node == NULL) return NULL;
    node->nType = type;
    node->dwLength = length;
    if (length != 0) memcpy(QNODE_DATA(node), data, length);
    return node;
}

static void AppendChild(QueryNode *parent, QueryNode *child) {
    child->pParent = parent;
    if (parent->pLastChild != NULL) parent->pLastChild->pNextSibling = child;
    else parent->pFirstChild = child;
    parent->pLastChild = child;
}

/* Frees a node, its children and its later siblings: every node of a tree,
 * whether the host or the library made it, goes back with GlobalFree. */
static void FreeNodes(QueryNode *node) {
    while (node != NULL) {
        QueryNode *next = node->pNextSibling;
        FreeNodes(node->pFirstChild);
        GlobalFree(node);
        node = next;
    }
}

/* Items and strings the library hung into the record are the host's to
 * free once it drops the record. */
static void FreeChain(void *head) {
    InfoItem *item = (InfoItem *)head;
    while (item != NULL) {
        InfoItem *next = item->next;
        GlobalFree(item);
        item = next;
    }
}

static void FreeRecord(PrnInfoEx *r) {
    FreeChain(r->pEngineStatus);
    FreeChain(r->pLoadedEmul);
    FreeChain(r->pLoadedFont);
    FreeChain(r->pTrayInfo);
    FreeChain(r->pOutBinInfo);
    FreeChain(r->pDeviceInfo);
    FreeChain(r->pEmulUniqInfo);
    FreeChain(r->pCounterInfo);
    FreeChain(r->pSupplyInfo);
    FreeChain(r->pColorCorrection);
    FreeChain(r->pCustomMediaInfo);
    char *strings[] = {r->pModelName, r->pMakerName, r->pDescription, r->pSYSVersion, r->pMainProgVersion,
                       r->pVPSVersion};
    for (size_t i = 0; i < sizeof strings / sizeof strings[0]; ++i) GlobalFree(strings[i]);
    free(r);
}

static int Fail(const char *what) {
    fprintf(stderr, "poll: %s failed with last error %lu\n", what, (unsigned long)GetLastError());
    return 1;
}

/* The status text in one language: a size query first, then the text. */
static int PrintStatus(const QueryNode *statusTree, const char *locale) {
    if (!PatSetLocale(locale)) return Fail("PatSetLocale");
    DWORD length = 0;
    if (PatGetStatusString(PAT_STATUS_ARG_PJL, statusTree, PAT_REVISION_STATUS, PAT_STATUS_TEXT_SHORT, NULL,
                           &length) ||
        GetLastError() != PAT_ERROR_INSUFFICIENT_BUFFER)
        return Fail("status text size query");
    char *text = (char *)malloc(length);
    if (text == NULL) return 1;
    if (!PatGetStatusString(PAT_STATUS_ARG_PJL, statusTree, PAT_REVISION_STATUS, PAT_STATUS_TEXT_SHORT, text,
                            &length)) {
        free(text);
        return Fail("PatGetStatusString");
    }
    /* The text is in the language's ANSI code page (1252 for these two). */
    printf("status [%s]: %s\n", locale, text);
    free(text);
    return 0;
}

int main(void) {
    /* The host's record of this printer, kept from poll to poll. */
    PrnInfoEx *record = (PrnInfoEx *)calloc(1, PAT_PRNINFOEX_MIN_SIZE);
    if (record == NULL) return 1;
    record->dwSize = PAT_PRNINFOEX_MIN_SIZE;

    /* 1. What to send. */
    QueryNode *query =
        PatCreateQueryInfo(record, PAT_REVISION_PJL, PAT_QUERY_DEVICE_ID | PAT_QUERY_CONFIG | PAT_QUERY_OUTBINS);
    if (query == NULL) return Fail("PatCreateQueryInfo");
    for (const QueryNode *node = query->pFirstChild; node != NULL; node = node->pNextSibling)
        if (node->nType == QNODE_PJL_TEXT) printf("query: %u bytes of PJL to send\n", (unsigned)node->dwLength);

    /* 2. The answer tree: the query attached unchanged, the replies, the device ID. */
    QueryNode *answer = NewNode(PAT_NODE_ANSWER_ROOT, NULL, 0);
    QueryNode *replies = NewNode(PAT_NODE_PJL_REPLIES, kReplies, sizeof kReplies);
    QueryNode *deviceId = NewNode(PAT_NODE_DEVICE_ID, kDeviceId, sizeof kDeviceId);
    if (answer == NULL || replies == NULL || deviceId == NULL) return 1;
    AppendChild(answer, query);
    AppendChild(answer, replies);
    AppendChild(answer, deviceId);

    /* 3. Into the record. */
    if (!PatSetCentroDataTo(answer, 0, record, PAT_REVISION_PJL)) return Fail("PatSetCentroDataTo");
    FreeNodes(answer);
    printf("printer: %s %s, %lu KB, %lu status code(s), %lu tray(s)\n", record->pMakerName, record->pModelName,
           (unsigned long)record->dwMemorySize, (unsigned long)record->nEngineStatus,
           (unsigned long)record->nTrayInfo);

    /* 4. The status tree names two records: the supplement (what the host
     * learnt by management data; this host has none, so an empty record)
     * and the main record of the poll. The text and the picture follow. */
    PrnInfoEx *supplementRecord = (PrnInfoEx *)calloc(1, PAT_PRNINFOEX_MIN_SIZE);
    if (supplementRecord == NULL) return 1;
    supplementRecord->dwSize = PAT_PRNINFOEX_MIN_SIZE;
    QueryNode *statusTree = NewNode(PAT_NODE_STATUS_ROOT, NULL, 0);
    QueryNode *supplement = NewNode(PAT_NODE_STATUS_SUPPLEMENT, &supplementRecord, sizeof supplementRecord);
    QueryNode *main = NewNode(PAT_NODE_STATUS_MAIN_PJL, &record, sizeof record);
    if (statusTree == NULL || supplement == NULL || main == NULL) return 1;
    AppendChild(statusTree, supplement);
    AppendChild(statusTree, main);
    if (PrintStatus(statusTree, PAT_LOCALE_ENGLISH) != 0 || PrintStatus(statusTree, PAT_LOCALE_GERMAN) != 0)
        return 1;

    BitmapInfo *picture = PatCreateBitmapInfo(PAT_STATUS_ARG_PJL, statusTree, PAT_REVISION_STATUS);
    if (picture == NULL) return Fail("PatCreateBitmapInfo");
    for (DWORD l = 0; l < picture->nLayers; ++l) {
        const BitmapLayer *layer = &picture->pLayers[l];
        for (DWORD e = 0; e < layer->nEntries; ++e) {
            const BitmapEntry *step = &layer->pEntries[e];
            printf("draw %-14s at (%3d,%3d) rop 0x%08lX\n", step->szName, (int)step->nX, (int)step->nY,
                   (unsigned long)step->dwRop);
            /* A real host blits the bitmap here; this one only loads it. */
            HBITMAP bitmap = PatLoadBitmap(step->szName);
            if (bitmap == NULL) return Fail("PatLoadBitmap");
            DeleteObject(bitmap);
        }
    }
    if (!PatDisposeBitmapInfo(picture)) return Fail("PatDisposeBitmapInfo");

    /* 5. Everything back. */
    FreeNodes(statusTree);
    FreeRecord(supplementRecord);
    FreeRecord(record);
    printf("poll: done\n");
    return 0;
}
