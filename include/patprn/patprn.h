/* patprn — printer data library: the one public header.
 *
 * C-compatible. Every record that crosses the library boundary is declared
 * here as a plain struct whose offsets are checked at compile time, so a
 * host built with any compiler lays them out to the byte as the library
 * does (64-bit pointers, little-endian, natural alignment).
 */
#ifndef PATPRN_PATPRN_H
#define PATPRN_PATPRN_H

#include "win32.h"

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define PATPRN_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#define PATPRN_EXTERN_C extern "C"
#else
#define PATPRN_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#define PATPRN_EXTERN_C
#endif

#ifdef _WIN32
#define PATPRN_API PATPRN_EXTERN_C
#else
#define PATPRN_API PATPRN_EXTERN_C __attribute__((visibility("default")))
#endif

#define PATPRN_CHECK_OFFSET(type, field, offset) \
    PATPRN_STATIC_ASSERT(offsetof(type, field) == (offset), #type "." #field " must be at " #offset)
#define PATPRN_CHECK_SIZE(type, size) \
    PATPRN_STATIC_ASSERT(sizeof(type) == (size), #type " must be " #size " bytes")

/* ---- Error codes (set as the thread's last-error value) ------------------ */

#define PAT_ERROR_SUCCESS 0u
#define PAT_ERROR_NOT_ENOUGH_MEMORY 8u
#define PAT_ERROR_INVALID_DATA 13u
#define PAT_ERROR_INVALID_PARAMETER 87u
#define PAT_ERROR_INSUFFICIENT_BUFFER 122u
/* The requested language is not supported, or its locale data is missing. */
#define PAT_ERROR_LANGUAGE 0x20000001u
/* A printer reply that the query asked for is missing or incomplete. */
#define PAT_ERROR_REPLY_MISSING 0x20000002u
/* The library defines no palette. */
#define PAT_ERROR_NO_PALETTE 0x20000003u
/* A string resource or internal table entry could not be found or loaded. */
#define PAT_ERROR_NOT_FOUND 0x2000FFFFu

/* ---- Status source and interface revisions ------------------------------- */

/* Low 16 bits of the status argument: which status record is shown. */
#define PAT_STATUS_SOURCE_PJL 0x0001u
#define PAT_STATUS_SOURCE_PM 0x8000u
/* Bit 31 of the status argument: the alternate set of presentation rules. */
#define PAT_STATUS_ALT_SET 0x80000000u
/* Status code added when the printer does not respond. */
#define PAT_STATUS_NO_RESPONSE 0xFFFFFF02u

/* Low byte of the revision argument, per family of exports. */
#define PAT_REVISION_PJL 2u
#define PAT_REVISION_STATUS 3u
#define PAT_REVISION_PM_STATUS 100u
#define PAT_REVISION_PM_CONFIG 104u

/* ---- Version and profile records ----------------------------------------- */

typedef struct PatVersionInfo {
    DWORD cbSize;           /* set by the host, at least 32; left unchanged */
    DWORD dwFileVersion;    /* file version, one byte per component: 1.1.1.0 -> 0x01010100 */
    DWORD dwInterfaceVersion; /* always 0x02000100 */
    DWORD dwDataVersion;    /* always 0x03060000 */
    DWORD dwReserved[4];    /* always 0 */
} PatVersionInfo;
PATPRN_CHECK_SIZE(PatVersionInfo, 32);
PATPRN_CHECK_OFFSET(PatVersionInfo, dwFileVersion, 4);
PATPRN_CHECK_OFFSET(PatVersionInfo, dwInterfaceVersion, 8);
PATPRN_CHECK_OFFSET(PatVersionInfo, dwDataVersion, 12);
PATPRN_CHECK_OFFSET(PatVersionInfo, dwReserved, 16);

#define PAT_INTERFACE_VERSION 0x02000100u
#define PAT_DATA_VERSION 0x03060000u

/* Five fixed words describing the printer family, per status source. */
typedef struct PatPeripheralProfile {
    DWORD dwWord[5];
} PatPeripheralProfile;
PATPRN_CHECK_SIZE(PatPeripheralProfile, 20);

/* ---- Query tree ---------------------------------------------------------- */

/* One node: a 48-byte header linking it into its tree, then `dwLength`
 * bytes of data stored inline (read them with QNODE_DATA). */
typedef struct QueryNode {
    int32_t nType;
    uint32_t dwReserved1;
    struct QueryNode *pParent;
    struct QueryNode *pFirstChild;
    struct QueryNode *pNextSibling;
    struct QueryNode *pLastChild;
    uint32_t dwLength;
    uint32_t dwReserved2;
} QueryNode;
PATPRN_CHECK_SIZE(QueryNode, 48);
PATPRN_CHECK_OFFSET(QueryNode, nType, 0);
PATPRN_CHECK_OFFSET(QueryNode, pParent, 8);
PATPRN_CHECK_OFFSET(QueryNode, pFirstChild, 16);
PATPRN_CHECK_OFFSET(QueryNode, pNextSibling, 24);
PATPRN_CHECK_OFFSET(QueryNode, pLastChild, 32);
PATPRN_CHECK_OFFSET(QueryNode, dwLength, 40);

#define QNODE_HEADER_SIZE 48u
#define QNODE_DATA(node) ((void *)((uint8_t *)(node) + QNODE_HEADER_SIZE))

/* Node types. */
#define QNODE_QUERY_ROOT 1
#define QNODE_ANSWER_ROOT 2
#define QNODE_EMUL_ANSWER_ROOT 3
#define QNODE_STATUS_ROOT 10
#define QNODE_PJL_TEXT 1000
#define QNODE_DEVICE_ID 1002

/* Length-check modes of the library's node readers. */
#define QNODE_LEN_EXACT 0
#define QNODE_LEN_UP_TO 1
#define QNODE_LEN_AT_LEAST 2

/* ---- Printer information record ------------------------------------------ */

/* Common head of every item of a PrnInfoEx list. */
typedef struct InfoItem {
    struct InfoItem *next;
    uint32_t cbItem;
} InfoItem;
PATPRN_CHECK_OFFSET(InfoItem, cbItem, 8);

typedef struct EngineStatusItem {
    InfoItem *next;
    uint32_t cbItem;
    uint16_t wCode;       /* low 16 bits of dwCode */
    uint16_t wZero;
    uint32_t dwCode;      /* full status code, e.g. 10001 or 0xFFFFFF02 */
    char szText[260];
} EngineStatusItem;
PATPRN_CHECK_SIZE(EngineStatusItem, 280);
PATPRN_CHECK_OFFSET(EngineStatusItem, wCode, 12);
PATPRN_CHECK_OFFSET(EngineStatusItem, dwCode, 16);
PATPRN_CHECK_OFFSET(EngineStatusItem, szText, 20);

typedef struct TrayInfoItem {
    InfoItem *next;
    uint32_t cbItem;
    uint16_t wTray;       /* 1 bypass, 3 tray 1, 4 tray 2, 5 tray 3, 0 unknown */
    uint16_t wPaperSize;
    uint16_t wPaperLevel; /* percent */
    uint16_t wMediaType;
    uint32_t dwFlags;     /* bit 0: tray locked */
} TrayInfoItem;
PATPRN_CHECK_SIZE(TrayInfoItem, 24);
PATPRN_CHECK_OFFSET(TrayInfoItem, wTray, 12);
PATPRN_CHECK_OFFSET(TrayInfoItem, wPaperSize, 14);
PATPRN_CHECK_OFFSET(TrayInfoItem, wPaperLevel, 16);
PATPRN_CHECK_OFFSET(TrayInfoItem, wMediaType, 18);
PATPRN_CHECK_OFFSET(TrayInfoItem, dwFlags, 20);

typedef struct OutBinInfoItem {
    InfoItem *next;
    uint32_t cbItem;
    uint16_t wBin;        /* 1 standard tray, 255 unknown */
    uint16_t wBinState;   /* 0 ready, 1 paper present, 2 full */
} OutBinInfoItem;
PATPRN_CHECK_SIZE(OutBinInfoItem, 16);
PATPRN_CHECK_OFFSET(OutBinInfoItem, wBin, 12);
PATPRN_CHECK_OFFSET(OutBinInfoItem, wBinState, 14);

typedef struct LoadedEmulItem {
    InfoItem *next;
    uint32_t cbItem;
    uint16_t wEmul;
    char szVersion[18];
} LoadedEmulItem;
PATPRN_CHECK_SIZE(LoadedEmulItem, 32);
PATPRN_CHECK_OFFSET(LoadedEmulItem, wEmul, 12);
PATPRN_CHECK_OFFSET(LoadedEmulItem, szVersion, 14);

typedef struct LoadedFontItem {
    InfoItem *next;
    uint32_t cbItem;
    uint16_t wFont;
} LoadedFontItem;
PATPRN_CHECK_SIZE(LoadedFontItem, 16);
PATPRN_CHECK_OFFSET(LoadedFontItem, wFont, 12);

typedef struct DeviceInfoItem {
    InfoItem *next;
    uint32_t cbItem;
    uint16_t wDevice;     /* 1 duplex, 3 hard disk, 16 manual feed, 105/106 tray 2/3 unit */
    uint16_t wZero;
} DeviceInfoItem;
PATPRN_CHECK_SIZE(DeviceInfoItem, 16);
PATPRN_CHECK_OFFSET(DeviceInfoItem, wDevice, 12);

typedef struct EmulUniqInfoItem {
    InfoItem *next;
    uint32_t cbItem;
    uint16_t wKind;
    uint16_t wPad;
    uint32_t dwMemoryUsage;
    char szOther[33];
    uint8_t bPad[3];
    uint32_t dwImageRotation;
    uint32_t dwUnused;
} EmulUniqInfoItem;
PATPRN_CHECK_SIZE(EmulUniqInfoItem, 64);
PATPRN_CHECK_OFFSET(EmulUniqInfoItem, wKind, 12);
PATPRN_CHECK_OFFSET(EmulUniqInfoItem, dwMemoryUsage, 16);
PATPRN_CHECK_OFFSET(EmulUniqInfoItem, szOther, 20);
PATPRN_CHECK_OFFSET(EmulUniqInfoItem, dwImageRotation, 56);

typedef struct CounterInfoItem {
    InfoItem *next;
    uint32_t cbItem;
    uint16_t wCounter;
    uint16_t wPad;
    uint32_t dwValue;
    uint32_t dwUnused;
} CounterInfoItem;
PATPRN_CHECK_SIZE(CounterInfoItem, 24);
PATPRN_CHECK_OFFSET(CounterInfoItem, wCounter, 12);
PATPRN_CHECK_OFFSET(CounterInfoItem, dwValue, 16);

typedef struct SupplyInfoItem {
    InfoItem *next;
    uint32_t cbItem;
    uint16_t wSupply;
    uint16_t wPad;
    uint32_t dwValue;
    uint32_t dwUnused;
} SupplyInfoItem;
PATPRN_CHECK_SIZE(SupplyInfoItem, 24);
PATPRN_CHECK_OFFSET(SupplyInfoItem, wSupply, 12);
PATPRN_CHECK_OFFSET(SupplyInfoItem, dwValue, 16);

/* The host's extended printer-information record. The host allocates at
 * least PRNINFOEX_MIN_SIZE bytes, zero-fills them and sets dwSize; the
 * library never touches bytes 4-7, 184-219 or anything from 280 on. */
typedef struct PrnInfoEx {
    DWORD dwSize;
    DWORD dwReserved1;
    DWORD nEngineStatus;
    DWORD dwPad1;
    EngineStatusItem *pEngineStatus;
    char *pModelName;
    char *pMakerName;
    char *pDescription;
    char *pSYSVersion;
    char *pMainProgVersion;
    char *pVPSVersion;
    DWORD dwMemorySize;   /* kilobytes */
    uint8_t bState;
    uint8_t bModelCode;   /* 255 when unknown */
    uint8_t bNotState;
    uint8_t bAttention;
    uint8_t bPrinting;
    uint8_t bNoResponse;
    uint8_t bPad1[2];
    DWORD dwEmulExtra;
    DWORD nLoadedEmul;
    DWORD dwPad2;
    LoadedEmulItem *pLoadedEmul;
    DWORD nLoadedFont;
    DWORD dwPad3;
    LoadedFontItem *pLoadedFont;
    DWORD dwTrayExtra;
    DWORD nTrayInfo;
    TrayInfoItem *pTrayInfo;
    DWORD dwOutBinExtra;
    DWORD nOutBinInfo;
    OutBinInfoItem *pOutBinInfo;
    DWORD nDeviceInfo;
    DWORD dwPad4;
    DeviceInfoItem *pDeviceInfo;
    DWORD nEmulUniqInfo;
    DWORD dwPad5;
    EmulUniqInfoItem *pEmulUniqInfo;
    uint8_t bReserved2[36];
    DWORD nCounterInfo;
    CounterInfoItem *pCounterInfo;
    DWORD nSupplyInfo;
    DWORD dwPad6;
    SupplyInfoItem *pSupplyInfo;
    DWORD nColorCorrection;
    DWORD dwPad7;
    InfoItem *pColorCorrection;
    DWORD nCustomMediaInfo;
    DWORD dwPad8;
    InfoItem *pCustomMediaInfo;
    /* bytes 280 up to dwSize belong to the host */
} PrnInfoEx;
PATPRN_CHECK_SIZE(PrnInfoEx, 280);
PATPRN_CHECK_OFFSET(PrnInfoEx, nEngineStatus, 8);
PATPRN_CHECK_OFFSET(PrnInfoEx, pEngineStatus, 16);
PATPRN_CHECK_OFFSET(PrnInfoEx, pModelName, 24);
PATPRN_CHECK_OFFSET(PrnInfoEx, pMakerName, 32);
PATPRN_CHECK_OFFSET(PrnInfoEx, pDescription, 40);
PATPRN_CHECK_OFFSET(PrnInfoEx, pSYSVersion, 48);
PATPRN_CHECK_OFFSET(PrnInfoEx, pMainProgVersion, 56);
PATPRN_CHECK_OFFSET(PrnInfoEx, pVPSVersion, 64);
PATPRN_CHECK_OFFSET(PrnInfoEx, dwMemorySize, 72);
PATPRN_CHECK_OFFSET(PrnInfoEx, bState, 76);
PATPRN_CHECK_OFFSET(PrnInfoEx, bModelCode, 77);
PATPRN_CHECK_OFFSET(PrnInfoEx, bNotState, 78);
PATPRN_CHECK_OFFSET(PrnInfoEx, bAttention, 79);
PATPRN_CHECK_OFFSET(PrnInfoEx, bPrinting, 80);
PATPRN_CHECK_OFFSET(PrnInfoEx, bNoResponse, 81);
PATPRN_CHECK_OFFSET(PrnInfoEx, dwEmulExtra, 84);
PATPRN_CHECK_OFFSET(PrnInfoEx, nLoadedEmul, 88);
PATPRN_CHECK_OFFSET(PrnInfoEx, pLoadedEmul, 96);
PATPRN_CHECK_OFFSET(PrnInfoEx, nLoadedFont, 104);
PATPRN_CHECK_OFFSET(PrnInfoEx, pLoadedFont, 112);
PATPRN_CHECK_OFFSET(PrnInfoEx, dwTrayExtra, 120);
PATPRN_CHECK_OFFSET(PrnInfoEx, nTrayInfo, 124);
PATPRN_CHECK_OFFSET(PrnInfoEx, pTrayInfo, 128);
PATPRN_CHECK_OFFSET(PrnInfoEx, dwOutBinExtra, 136);
PATPRN_CHECK_OFFSET(PrnInfoEx, nOutBinInfo, 140);
PATPRN_CHECK_OFFSET(PrnInfoEx, pOutBinInfo, 144);
PATPRN_CHECK_OFFSET(PrnInfoEx, nDeviceInfo, 152);
PATPRN_CHECK_OFFSET(PrnInfoEx, pDeviceInfo, 160);
PATPRN_CHECK_OFFSET(PrnInfoEx, nEmulUniqInfo, 168);
PATPRN_CHECK_OFFSET(PrnInfoEx, pEmulUniqInfo, 176);
PATPRN_CHECK_OFFSET(PrnInfoEx, bReserved2, 184);
PATPRN_CHECK_OFFSET(PrnInfoEx, nCounterInfo, 220);
PATPRN_CHECK_OFFSET(PrnInfoEx, pCounterInfo, 224);
PATPRN_CHECK_OFFSET(PrnInfoEx, nSupplyInfo, 232);
PATPRN_CHECK_OFFSET(PrnInfoEx, pSupplyInfo, 240);
PATPRN_CHECK_OFFSET(PrnInfoEx, nColorCorrection, 248);
PATPRN_CHECK_OFFSET(PrnInfoEx, pColorCorrection, 256);
PATPRN_CHECK_OFFSET(PrnInfoEx, nCustomMediaInfo, 264);
PATPRN_CHECK_OFFSET(PrnInfoEx, pCustomMediaInfo, 272);

/* Smallest dwSize the library accepts for a PrnInfoEx or status record. */
#define PRNINFOEX_MIN_SIZE 404u

/* ---- Records of later subsystems (defined with their exports) ------------ */

typedef struct PrnInfo PrnInfo;
typedef struct BitmapInfo BitmapInfo;

/* ---- Exports --------------------------------------------------------------- */

PATPRN_API BOOL WINAPI PatGetDllVersion(PatVersionInfo *record);
PATPRN_API BOOL WINAPI PatGetPeripheralProfile(DWORD source, DWORD *profile, DWORD *size);
PATPRN_API QueryNode *WINAPI PatCreateQueryInfo(PrnInfoEx *info, DWORD revision, DWORD flags);
PATPRN_API QueryNode *WINAPI PatCreateEmulUniqQueryInfo(PrnInfoEx *info, DWORD revision, DWORD kind,
                                                        DWORD reserved);
PATPRN_API BOOL WINAPI PatSetCentroDataTo(QueryNode *tree, DWORD reserved, PrnInfoEx *info, DWORD revision);
PATPRN_API BOOL WINAPI PatPMInfoToPrnInfoEx(DWORD source, const void *pmInfo, DWORD revision, DWORD flags,
                                            PrnInfoEx *info);
PATPRN_API BOOL WINAPI PatPrnInfoExToPrnInfo(const PrnInfoEx *info, PrnInfo *prnInfo, DWORD flags);
PATPRN_API BOOL WINAPI PatGetStatusString(DWORD status, const QueryNode *root, DWORD revision, DWORD variant,
                                          char *output, DWORD *length);
PATPRN_API BOOL WINAPI PatGetStatusHelpFileName(DWORD status, const PrnInfoEx *record, DWORD reserved,
                                                char *output, DWORD *length);
PATPRN_API BOOL WINAPI PatGetDeviceName(DWORD kind, const void *key, DWORD form, char *output, DWORD *length);
PATPRN_API BitmapInfo *WINAPI PatCreateBitmapInfo(DWORD status, const QueryNode *root, DWORD revision);
PATPRN_API BOOL WINAPI PatDisposeBitmapInfo(void *record);
PATPRN_API HBITMAP WINAPI PatLoadBitmap(const char *name);
PATPRN_API HGLOBAL WINAPI PatLoadDIBitmap(const char *name);
PATPRN_API BOOL WINAPI PatGetPalette(void *buffer, DWORD *size);
PATPRN_API BOOL WINAPI PatSetLocale(const char *code);

#endif /* PATPRN_PATPRN_H */
