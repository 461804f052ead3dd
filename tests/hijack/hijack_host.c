/* A host with a Windows compatibility layer of its own: it defines
 * SetLastError and GlobalAlloc itself, as many ported programs do. The
 * library must go on using its own heap and last-error value, and hand
 * back blocks that its GlobalFree accepts; the host's functions must never
 * see a call from the library. Exits 0 when every check holds. */
#include <patprn/patprn.h>

#include <stdio.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

static int hostSetLastErrorCalls;
static int hostGlobalAllocCalls;

void SetLastError(DWORD code) {
    (void)code;
    ++hostSetLastErrorCalls;
}

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes) {
    (void)flags;
    ++hostGlobalAllocCalls;
    return calloc(1, bytes ? bytes : 1);
}

static int failures;
#define CHECK(cond)                                                      \
    do {                                                                 \
        if (!(cond)) {                                                   \
            fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #cond); \
            ++failures;                                                  \
        }                                                                \
    } while (0)

static void FreeTree(QueryNode *node) {
    while (node != NULL) {
        QueryNode *next = node->pNextSibling;
        FreeTree(node->pFirstChild);
        CHECK(GlobalFree(node) == NULL);
        node = next;
    }
}

int main(void) {
    /* A refused call reports through the library's own last-error value. */
    CHECK(PatSetLocale(NULL) == 0);
    CHECK(GetLastError() == PAT_ERROR_INVALID_PARAMETER);

    /* A query tree comes from the library's heap, and its GlobalFree takes it back. */
    PrnInfoEx *info = (PrnInfoEx *)calloc(1, PAT_PRNINFOEX_MIN_SIZE);
    info->dwSize = PAT_PRNINFOEX_MIN_SIZE;
    QueryNode *tree = PatCreateQueryInfo(info, PAT_REVISION_PJL, PAT_QUERY_CONFIG | PAT_QUERY_DEVICE_ID);
    CHECK(tree != NULL);
    CHECK(GetLastError() == PAT_ERROR_SUCCESS);
    FreeTree(tree);
    free(info);

    /* A block of the host's own heap is refused, not freed. */
    void *foreign = GlobalAlloc(GMEM_FIXED, 64);
    CHECK(GlobalFree(foreign) == foreign);
    CHECK(GetLastError() == 6); /* ERROR_INVALID_HANDLE */
    free(foreign);

    /* So is the first byte of a mapping whose preceding page is unreadable. */
    const long page = sysconf(_SC_PAGESIZE);
    char *pages = (char *)mmap(NULL, 2 * (size_t)page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    CHECK(pages != MAP_FAILED);
    if (pages != MAP_FAILED) {
        CHECK(mprotect(pages, (size_t)page, PROT_NONE) == 0);
        CHECK(GlobalFree(pages + page) == pages + page);
        CHECK(GetLastError() == 6);
        CHECK(GlobalSize(pages + page) == 0);
        munmap(pages, 2 * (size_t)page);
    }

    CHECK(hostSetLastErrorCalls == 0);
    CHECK(hostGlobalAllocCalls == 1); /* the host's own call above */
    printf("hijack host: %d failed\n", failures);
    return failures == 0 ? 0 : 1;
}
