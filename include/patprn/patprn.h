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
#elif defined(PATPRN_BUILDING_LIBRARY)
/* Exported, and bound inside the library to its own definition. */
#define PATPRN_API PATPRN_EXTERN_C __attribute__((visibility("protected")))
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
 * least PAT_PRNINFOEX_MIN_SIZE bytes, zero-fills them and sets dwSize; the
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
#define PAT_PRNINFOEX_MIN_SIZE 404u

/* ---- Printer-management records ------------------------------------------ */

/* The host's printer-management record PMInfo, handed to PatPMInfoToPrnInfoEx
 * in one of two shapes chosen by the status source: PMInfoStatus with source
 * PAT_STATUS_SOURCE_PJL (revision byte 100), PMInfoConfig with source
 * PAT_STATUS_SOURCE_PM (revision byte 104). The library only reads these
 * records and only the fields declared by name; the bNotRead gaps are the
 * host's and are never touched.
 *
 * Any pointer may be null or all ones (PAT_PMINFO_POINTER_NOT_AVAILABLE), any
 * 32-bit value PAT_PMINFO_VALUE_NOT_AVAILABLE: the datum is then skipped, which
 * is never an error. Texts are zero-terminated 8-bit strings. */
#define PAT_PMINFO_VALUE_NOT_AVAILABLE 0xFFFFFFFFu
#define PAT_PMINFO_POINTER_NOT_AVAILABLE ((void *)~(uintptr_t)0)

/* A list of elements. Used only when the group pointer, dwCount and
 * ppElement are all available; dwCount 0 is a valid, empty group. */
typedef struct PMGroup {
    DWORD dwCount;
    DWORD dwPad;
    void **ppElement; /* dwCount element pointers, converted in this order */
} PMGroup;
PATPRN_CHECK_SIZE(PMGroup, 16);
PATPRN_CHECK_OFFSET(PMGroup, dwCount, 0);
PATPRN_CHECK_OFFSET(PMGroup, ppElement, 8);

/* Status shape (source 1). */
typedef struct PMInfoStatus {
    DWORD *pStatusWord;      /* printer status word */
    PMGroup *pFontGroup;     /* PMFont elements */
    PMGroup *pEmulGroup;     /* PMEmulation elements */
    uint8_t bNotRead1[24];
    PMGroup *pEngineGroup;   /* PMEngineStatus elements */
} PMInfoStatus;
PATPRN_CHECK_SIZE(PMInfoStatus, 56);
PATPRN_CHECK_OFFSET(PMInfoStatus, pStatusWord, 0);
PATPRN_CHECK_OFFSET(PMInfoStatus, pFontGroup, 8);
PATPRN_CHECK_OFFSET(PMInfoStatus, pEmulGroup, 16);
PATPRN_CHECK_OFFSET(PMInfoStatus, pEngineGroup, 48);

/* Bits of the printer status word. */
#define PAT_PM_STATUS_STATE 0x00000001u        /* becomes bState */
#define PAT_PM_STATUS_TRANSIENT 0x00000080u    /* engine status 10003 */
#define PAT_PM_STATUS_PRINTING 0x00400000u     /* bPrinting, engine status 10023 */
#define PAT_PM_STATUS_NO_RESPONSE 0x08000000u  /* bNoResponse, engine status 0xFFFFFF02 */

typedef struct PMEngineStatus {
    DWORD dwNotRead;
    DWORD dwCode;            /* PJL status number, e.g. 10001 */
    const char *pText;
    DWORD dwKind;            /* 3 or not available: needs the operator */
} PMEngineStatus;
PATPRN_CHECK_OFFSET(PMEngineStatus, dwCode, 4);
PATPRN_CHECK_OFFSET(PMEngineStatus, pText, 8);
PATPRN_CHECK_OFFSET(PMEngineStatus, dwKind, 16);

typedef struct PMEmulation {
    uint8_t bNotRead[8];
    const char *pVersion;
    const char *pName;       /* e.g. "Adobe PostScript 3" */
} PMEmulation;
PATPRN_CHECK_OFFSET(PMEmulation, pVersion, 8);
PATPRN_CHECK_OFFSET(PMEmulation, pName, 16);

typedef struct PMFont {
    const char *pName;
} PMFont;
PATPRN_CHECK_OFFSET(PMFont, pName, 0);

/* Category flags with source 1. */
#define PAT_PMINFO_STATUS_WORD 0x1u
#define PAT_PMINFO_ENGINE_STATUS 0x2u
#define PAT_PMINFO_EMULATIONS 0x4u
#define PAT_PMINFO_FONTS 0x8u

/* Configuration shape (source 0x8000). */
typedef struct PMGeneral {
    const char *pModelName;
    const char *pSYSVersion;
    DWORD dwMemory;           /* bytes */
    DWORD dwPad;
    const char *pMakerName;
} PMGeneral;
PATPRN_CHECK_SIZE(PMGeneral, 32);
PATPRN_CHECK_OFFSET(PMGeneral, pSYSVersion, 8);
PATPRN_CHECK_OFFSET(PMGeneral, dwMemory, 16);
PATPRN_CHECK_OFFSET(PMGeneral, pMakerName, 24);

typedef struct PMInfoConfig {
    PMGeneral *pGeneral;
    PMGroup *pTrayGroup;      /* PMTray elements (long layout) */
    PMGroup *pOutBinGroup;    /* PMOutBin elements */
    uint8_t bNotRead1[24];
    PMGroup *pDeviceGroup;    /* PMDevice elements */
    uint8_t bNotRead2[24];
    PMGroup *pTrayShortGroup; /* PMTrayShort elements (short layout) */
} PMInfoConfig;
PATPRN_CHECK_SIZE(PMInfoConfig, 88);
PATPRN_CHECK_OFFSET(PMInfoConfig, pGeneral, 0);
PATPRN_CHECK_OFFSET(PMInfoConfig, pTrayGroup, 8);
PATPRN_CHECK_OFFSET(PMInfoConfig, pOutBinGroup, 16);
PATPRN_CHECK_OFFSET(PMInfoConfig, pDeviceGroup, 48);
PATPRN_CHECK_OFFSET(PMInfoConfig, pTrayShortGroup, 80);

/* A paper tray, long layout. */
typedef struct PMTray {
    const char *pName;        /* "Tray 1", "Bypass Tray", ... */
    DWORD dwLevel;            /* PM_LEVEL_* bits */
    uint8_t bNotRead1[20];
    DWORD dwWidth;            /* paper width in millimetres */
    DWORD dwLength;           /* paper length in millimetres */
    uint8_t bNotRead2[16];
    const char *pMediaName;
    uint8_t bNotRead3[24];
    DWORD dwMedia;            /* one PM_MEDIA bit, or PAT_PM_MEDIA_EXTENDED */
    DWORD dwPad;
    DWORD *pMediaExt;         /* extended media bit when PAT_PM_MEDIA_EXTENDED */
    DWORD dwNotRead4;
    DWORD dwFlags;            /* PAT_PM_TRAY_CUSTOM_SIZE */
} PMTray;
PATPRN_CHECK_SIZE(PMTray, 112);
PATPRN_CHECK_OFFSET(PMTray, dwLevel, 8);
PATPRN_CHECK_OFFSET(PMTray, dwWidth, 32);
PATPRN_CHECK_OFFSET(PMTray, dwLength, 36);
PATPRN_CHECK_OFFSET(PMTray, pMediaName, 56);
PATPRN_CHECK_OFFSET(PMTray, dwMedia, 88);
PATPRN_CHECK_OFFSET(PMTray, pMediaExt, 96);
PATPRN_CHECK_OFFSET(PMTray, dwFlags, 108);

/* A paper tray, short layout: the same data without an extended media number. */
typedef struct PMTrayShort {
    const char *pName;
    DWORD dwLevel;
    uint8_t bNotRead1[20];
    DWORD dwWidth;
    DWORD dwLength;
    const char *pMediaName;
    uint8_t bNotRead2[12];
    DWORD dwMedia;
    DWORD dwNotRead3;
    DWORD dwFlags;
} PMTrayShort;
PATPRN_CHECK_SIZE(PMTrayShort, 72);
PATPRN_CHECK_OFFSET(PMTrayShort, dwLevel, 8);
PATPRN_CHECK_OFFSET(PMTrayShort, dwWidth, 32);
PATPRN_CHECK_OFFSET(PMTrayShort, dwLength, 36);
PATPRN_CHECK_OFFSET(PMTrayShort, pMediaName, 40);
PATPRN_CHECK_OFFSET(PMTrayShort, dwMedia, 60);
PATPRN_CHECK_OFFSET(PMTrayShort, dwFlags, 68);

/* Paper level bits of a tray (first match wins: empty, then 10 ... 75 percent). */
#define PAT_PM_LEVEL_EMPTY 0x00000012u
#define PAT_PM_LEVEL_10 0x00000100u
#define PAT_PM_LEVEL_25 0x00000200u
#define PAT_PM_LEVEL_50 0x00000400u
#define PAT_PM_LEVEL_75 0x00000800u
/* Tray flags: the tray holds a custom paper size. */
#define PAT_PM_TRAY_CUSTOM_SIZE 0x00000100u
/* Media number of the long layout: the medium is in *pMediaExt. */
#define PAT_PM_MEDIA_EXTENDED 0x00800000u

typedef struct PMOutBin {
    const char *pName;        /* "Standard Tray" */
    DWORD dwStatus;           /* bit 0: the bin is full */
} PMOutBin;
PATPRN_CHECK_OFFSET(PMOutBin, dwStatus, 8);

typedef struct PMDevice {
    DWORD dwNumber;           /* 625 manual feed ... 629 hard disk */
} PMDevice;
PATPRN_CHECK_OFFSET(PMDevice, dwNumber, 0);

/* Category flags with source 0x8000. */
#define PAT_PMINFO_GENERAL 0x1u
#define PAT_PMINFO_TRAYS 0x2u
#define PAT_PMINFO_OUTBINS 0x4u
#define PAT_PMINFO_DEVICES 0x40u
#define PAT_PMINFO_TRAYS_SHORT 0x400u

/* The flat printer-information record filled by PatPrnInfoExToPrnInfo:
 * 2400 bytes, every field written only by its category (PRNINFO_* flags),
 * every other byte 0. Pairs hold a tray or bin code and one datum of it. */
typedef struct PrnInfoPair {
    DWORD dwCode;
    DWORD dwValue;
} PrnInfoPair;
PATPRN_CHECK_SIZE(PrnInfoPair, 8);

typedef struct PrnInfo {
    DWORD dwStatusCode;          /* one status: its low 16 bits; else (sum << 16) | 107 */
    DWORD dwState;
    DWORD dwTrayExtra;
    DWORD dwZero1;
    DWORD dwMemorySize;
    char szSYSVersion[16];
    char szMainProgVersion[16];
    char szVPSVersion[16];
    DWORD dwEmulExtra;
    DWORD adwEmul[32];
    DWORD nEmul;
    DWORD adwFont[32];
    DWORD nFont;
    PrnInfoPair aTrayPaper[64];  /* (tray, paper size) */
    DWORD nTrayPaper;
    char szModelName[256];
    char szMakerName[16];
    char szDescription[256];
    uint8_t bModelCode;
    uint8_t bNotState;
    uint8_t bAttention;
    uint8_t bPrinting;
    DWORD dwSize;                /* always PAT_PRNINFO_SIZE */
    uint8_t bZero2[36];
    PrnInfoPair aTrayLevel[16];  /* (tray, paper level) of the first 16 trays */
    DWORD nTrayLevel;
    PrnInfoPair aOutBin[16];     /* (bin, bin state) */
    DWORD nOutBin;
    DWORD dwHasDuplex;           /* 1 with a duplex unit */
    DWORD dwHasHardDisk;         /* PAT_PRNINFO_HARD_DISK with a hard disk, whatever the flags */
    uint8_t bZero3[20];
    DWORD dwOutBinExtra;
    DWORD adwStatus[32];         /* several status codes only */
    DWORD nStatus;
    DWORD dwZero4;
    DWORD dwNoResponse;
    DWORD dwZero5;
    PrnInfoPair aTrayMedia[64];  /* (tray, media type) */
    uint8_t bZero6[24];
} PrnInfo;
PATPRN_CHECK_SIZE(PrnInfo, 2400);
PATPRN_CHECK_OFFSET(PrnInfo, dwStatusCode, 0);
PATPRN_CHECK_OFFSET(PrnInfo, dwState, 4);
PATPRN_CHECK_OFFSET(PrnInfo, dwTrayExtra, 8);
PATPRN_CHECK_OFFSET(PrnInfo, dwMemorySize, 16);
PATPRN_CHECK_OFFSET(PrnInfo, szSYSVersion, 20);
PATPRN_CHECK_OFFSET(PrnInfo, szMainProgVersion, 36);
PATPRN_CHECK_OFFSET(PrnInfo, szVPSVersion, 52);
PATPRN_CHECK_OFFSET(PrnInfo, dwEmulExtra, 68);
PATPRN_CHECK_OFFSET(PrnInfo, adwEmul, 72);
PATPRN_CHECK_OFFSET(PrnInfo, nEmul, 200);
PATPRN_CHECK_OFFSET(PrnInfo, adwFont, 204);
PATPRN_CHECK_OFFSET(PrnInfo, nFont, 332);
PATPRN_CHECK_OFFSET(PrnInfo, aTrayPaper, 336);
PATPRN_CHECK_OFFSET(PrnInfo, nTrayPaper, 848);
PATPRN_CHECK_OFFSET(PrnInfo, szModelName, 852);
PATPRN_CHECK_OFFSET(PrnInfo, szMakerName, 1108);
PATPRN_CHECK_OFFSET(PrnInfo, szDescription, 1124);
PATPRN_CHECK_OFFSET(PrnInfo, bModelCode, 1380);
PATPRN_CHECK_OFFSET(PrnInfo, bNotState, 1381);
PATPRN_CHECK_OFFSET(PrnInfo, bAttention, 1382);
PATPRN_CHECK_OFFSET(PrnInfo, bPrinting, 1383);
PATPRN_CHECK_OFFSET(PrnInfo, dwSize, 1384);
PATPRN_CHECK_OFFSET(PrnInfo, aTrayLevel, 1424);
PATPRN_CHECK_OFFSET(PrnInfo, nTrayLevel, 1552);
PATPRN_CHECK_OFFSET(PrnInfo, aOutBin, 1556);
PATPRN_CHECK_OFFSET(PrnInfo, nOutBin, 1684);
PATPRN_CHECK_OFFSET(PrnInfo, dwHasDuplex, 1688);
PATPRN_CHECK_OFFSET(PrnInfo, dwHasHardDisk, 1692);
PATPRN_CHECK_OFFSET(PrnInfo, dwOutBinExtra, 1716);
PATPRN_CHECK_OFFSET(PrnInfo, adwStatus, 1720);
PATPRN_CHECK_OFFSET(PrnInfo, nStatus, 1848);
PATPRN_CHECK_OFFSET(PrnInfo, dwNoResponse, 1856);
PATPRN_CHECK_OFFSET(PrnInfo, aTrayMedia, 1864);

#define PAT_PRNINFO_SIZE 2400u
#define PAT_PRNINFO_HARD_DISK 0x10003u
/* Low 16 bits of dwStatusCode when several status codes are summarised. */
#define PAT_PRNINFO_SEVERAL_STATUS 107u

/* Request flags of PatPrnInfoExToPrnInfo. */
#define PAT_PRNINFO_STATE 0x2u
#define PAT_PRNINFO_SYSTEM 0x4u
#define PAT_PRNINFO_TRAYS 0x8u
#define PAT_PRNINFO_OUTBINS 0x10u
#define PAT_PRNINFO_EMULATIONS 0x100u
#define PAT_PRNINFO_FONTS 0x200u
#define PAT_PRNINFO_IDENTITY 0x400u
#define PAT_PRNINFO_DUPLEX 0x20000u
#define PAT_PRNINFO_ENGINE_STATUS 0x80000u

/* ---- PJL dialogue -------------------------------------------------------- */

/* Request flags of PatCreateQueryInfo. Each group of bits asks for the same
 * thing; bits not listed have no effect. */
#define PAT_QUERY_DEVICE_ID 0x00000002u      /* read the IEEE 1284 device ID */
#define PAT_QUERY_DEVICE_ID_ALT1 0x00000400u
#define PAT_QUERY_DEVICE_ID_ALT2 0x00080000u
#define PAT_QUERY_CONFIG 0x00000004u         /* @PJL INFO CONFIG */
#define PAT_QUERY_CONFIG_ALT1 0x00000100u
#define PAT_QUERY_CONFIG_ALT2 0x00020000u
#define PAT_QUERY_TRAYS 0x00000008u          /* front-cover print tray and per-tray inquiries */
#define PAT_QUERY_OUTBINS 0x00000010u        /* @PJL INFO OUTBINSTATUS */

/* The emulation-specific query kind of PatCreateEmulUniqQueryInfo (the
 * printer's own page-description language, @PJL INFO TOLV), also the data of
 * a QNODE_EMUL_ANSWER_ROOT and the wKind of the EmulUniqInfoItem it fills. */
#define PAT_EMUL_QUERY_TOLV 15u

/* TrayInfoItem.dwFlags bits set from the printer's replies. */
#define PAT_TRAY_FLAG_LOCKED 0x00000001u       /* INTRAYx reported LOCKED */
#define PAT_TRAY_FLAG_FRONT_COVER 0x00000004u  /* the front-cover print tray */

/* ---- Status picture -------------------------------------------------------- */

/* PatCreateBitmapInfo describes the printer's picture as draw steps: the
 * host walks the entries of each layer in order and blits the named bitmap
 * (PatLoadBitmap / PatLoadDIBitmap) at (nX, nY) with dwRop onto one
 * surface. The record, its layer array and each entry array are separate
 * global-heap blocks owned by the host until PatDisposeBitmapInfo.
 *
 * BitmapInfo and BitmapLayer share one layout. Only the tag byte is
 * written at offset 0: compare bTag alone, never the word around it. */

/* Tag byte of a BitmapInfo and of a BitmapLayer. */
#define PAT_BITMAP_INFO_TAG 201u
#define PAT_BITMAP_LAYER_TAG 200u

/* Raster operations of the draw steps (the GDI ternary raster operations):
 * an opaque bitmap is one SRCCOPY step; a transparent one is its mask
 * (name + "_B") with SRCAND, then the image with SRCPAINT at the same place. */
#define PAT_ROP_SRCCOPY 0x00CC0020u
#define PAT_ROP_SRCAND 0x008800C6u
#define PAT_ROP_SRCPAINT 0x00EE0086u

/* Bytes of a bitmap name, terminator included. */
#define PAT_BITMAP_NAME_SIZE 32u

/* One draw step. */
typedef struct BitmapEntry {
    char szName[PAT_BITMAP_NAME_SIZE]; /* bitmap resource name, zero-terminated */
    int32_t nX;                        /* left edge in the picture, pixels */
    int32_t nY;                        /* top edge in the picture, pixels */
    DWORD dwRop;                       /* PAT_ROP_* */
    uint8_t bLevel;                    /* drawing level it came from, 1 to 255 */
    uint8_t bReserved[3];
} BitmapEntry;
PATPRN_CHECK_SIZE(BitmapEntry, 48);
PATPRN_CHECK_OFFSET(BitmapEntry, nX, 32);
PATPRN_CHECK_OFFSET(BitmapEntry, nY, 36);
PATPRN_CHECK_OFFSET(BitmapEntry, dwRop, 40);
PATPRN_CHECK_OFFSET(BitmapEntry, bLevel, 44);

/* One layer: its draw steps in drawing order. */
typedef struct BitmapLayer {
    uint8_t bTag;                      /* PAT_BITMAP_LAYER_TAG */
    uint8_t bReserved1[3];             /* 0 */
    DWORD nEntries;
    DWORD dwEntrySize;                 /* sizeof(BitmapEntry) */
    DWORD dwReserved2;                 /* 0 */
    BitmapEntry *pEntries;
} BitmapLayer;
PATPRN_CHECK_SIZE(BitmapLayer, 24);
PATPRN_CHECK_OFFSET(BitmapLayer, bTag, 0);
PATPRN_CHECK_OFFSET(BitmapLayer, nEntries, 4);
PATPRN_CHECK_OFFSET(BitmapLayer, dwEntrySize, 8);
PATPRN_CHECK_OFFSET(BitmapLayer, pEntries, 16);

/* The picture: the result of PatCreateBitmapInfo (always one layer). */
typedef struct BitmapInfo {
    uint8_t bTag;                      /* PAT_BITMAP_INFO_TAG */
    uint8_t bReserved1[3];             /* 0 */
    DWORD nLayers;
    DWORD dwLayerSize;                 /* sizeof(BitmapLayer) */
    DWORD dwReserved2;                 /* 0 */
    BitmapLayer *pLayers;
} BitmapInfo;
PATPRN_CHECK_SIZE(BitmapInfo, 24);
PATPRN_CHECK_OFFSET(BitmapInfo, bTag, 0);
PATPRN_CHECK_OFFSET(BitmapInfo, nLayers, 4);
PATPRN_CHECK_OFFSET(BitmapInfo, dwLayerSize, 8);
PATPRN_CHECK_OFFSET(BitmapInfo, pLayers, 16);

/* ---- Status text, help file and device names ------------------------------ */

/* Variant argument of PatGetStatusString (low 8 bits). */
#define PAT_STATUS_TEXT_SHORT 1u     /* short label, e.g. "No Paper" */
#define PAT_STATUS_TEXT_DETAILED 2u  /* what to do, naming trays, covers and toner colours */

/* Kind argument of PatGetDeviceName, and the form byte its key must carry
 * (low 8 bits of the form argument). */
#define PAT_DEVICE_INPUT_TRAY 1u     /* key: English tray name, e.g. "Bypass Tray" */
#define PAT_DEVICE_OUTPUT_BIN 2u     /* key: English bin name, "Standard Tray" */
#define PAT_DEVICE_OPTION 3u         /* key: pointer to a 32-bit device number, e.g. 629 */
#define DEVICE_KEY_TEXT 0x97u        /* form of the tray and bin names */
#define DEVICE_KEY_CODE 0x96u        /* form of the device numbers */

/* ---- Host-facing names ------------------------------------------------------
 * Named values for what a host builds and passes in: the roles of the nodes
 * of answer and status trees, the status arguments and the locale codes. */

/** @name Answer tree (input of PatSetCentroDataTo)
 *  The host builds it after sending the query: a root, the query tree that
 *  PatCreateQueryInfo returned attached unchanged as a child, one node with
 *  all PJL replies and one with the device ID. @{ */
#define PAT_NODE_ANSWER_ROOT QNODE_ANSWER_ROOT          /**< root of a poll's answers (no data) */
#define PAT_NODE_EMUL_ANSWER_ROOT QNODE_EMUL_ANSWER_ROOT /**< root of an emulation answer: 4 data bytes holding PAT_EMUL_QUERY_TOLV */
#define PAT_NODE_ATTACHED_QUERY QNODE_QUERY_ROOT        /**< the query tree the replies answer */
#define PAT_NODE_PJL_REPLIES QNODE_PJL_TEXT             /**< every PJL reply, as read from the printer */
#define PAT_NODE_DEVICE_ID QNODE_DEVICE_ID              /**< the IEEE 1284 device-ID string */
/** @} */

/** @name Status tree (input of PatGetStatusString and PatCreateBitmapInfo)
 *  A root of type QNODE_STATUS_ROOT whose children carry, as exactly 8 data
 *  bytes, a pointer to one of the host's PrnInfoEx records. @{ */
#define PAT_NODE_STATUS_ROOT QNODE_STATUS_ROOT /**< root; with source 0x8000 its dwLength names the main child's type */
#define PAT_NODE_STATUS_SUPPLEMENT 2           /**< the supplement record (first child of this type) */
#define PAT_NODE_STATUS_MAIN_PJL 1             /**< the main record with status source 1 */
/** A type for the main record with status source 0x8000: the library takes
 *  the first child whose type equals the root's dwLength, so a host that
 *  uses this type gives the root a dwLength of 3 (3 data bytes). */
#define PAT_NODE_STATUS_MAIN_PM 3
/** @} */

/** @name Status arguments
 *  First argument of the status exports: the status source in the low 16
 *  bits, PAT_STATUS_ALT_SET in bit 31. Only the two PJL values have a
 *  priority table; the others pass the checks and resolve no codes. @{ */
#define PAT_STATUS_ARG_PJL PAT_STATUS_SOURCE_PJL                          /**< the PJL record, primary messages */
#define PAT_STATUS_ARG_PJL_ALT (PAT_STATUS_SOURCE_PJL | PAT_STATUS_ALT_SET) /**< the PJL record, alternate messages */
#define PAT_STATUS_ARG_PM PAT_STATUS_SOURCE_PM                            /**< the management record */
/** @} */

/** @name Locale codes of PatSetLocale (case does not matter)
 *  Texts come in the ANSI code page of the language: 932 for Japanese
 *  (half-width katakana, one byte each), 1250 for Hungarian and Polish,
 *  1252 for the others. @{ */
#define PAT_LOCALE_JAPANESE "JP" /**< note: "JP", not "JA" */
#define PAT_LOCALE_ENGLISH "EN"
#define PAT_LOCALE_GERMAN "DE"
#define PAT_LOCALE_FRENCH "FR"
#define PAT_LOCALE_ITALIAN "IT"
#define PAT_LOCALE_SPANISH "ES"
#define PAT_LOCALE_DUTCH "NL"
#define PAT_LOCALE_SWEDISH "SV"
#define PAT_LOCALE_DANISH "DA"
#define PAT_LOCALE_NORWEGIAN "NO"
/** Selects Czech, but the library holds no Czech texts: every text call
 *  then fails with PAT_ERROR_NOT_FOUND until another language is chosen. */
#define PAT_LOCALE_CZECH "CS"
#define PAT_LOCALE_HUNGARIAN "HU"
#define PAT_LOCALE_POLISH "PL"
#define PAT_LOCALE_PORTUGUESE "PT"
#define PAT_LOCALE_FINNISH "FI"
/** @} */

/* ---- Exports ---------------------------------------------------------------
 * Shared by every export: it returns 1 or a pointer on success, 0 or null
 * on failure, and sets the calling thread's last-error value on every
 * return (0 on success; read it with GetLastError). Text results use the
 * in/out length protocol: *length is the buffer size on entry and the size
 * needed (terminator included) on return; a null buffer or a short one
 * fails with PAT_ERROR_INSUFFICIENT_BUFFER (122), which makes a null buffer
 * the size query. Texts are 8-bit in the ANSI code page of the selected
 * language (see the locale codes), on Linux as on Windows. The revision
 * arguments count only their low byte.
 *
 * Threads: the library creates none and takes no locks. Calls on different
 * records may run in parallel; calls on one PrnInfoEx must not overlap.
 * The language is process-wide: a PatSetLocale while another thread asks
 * for a text gives that text in either language. */

/** Reports the library's version words.
 *  @param record the host's record with cbSize set (at least 32); the seven
 *         words after cbSize are cleared, then filled.
 *  @return 1 with dwFileVersion (1.1.1.0 -> 0x01010100), PAT_INTERFACE_VERSION
 *          and PAT_DATA_VERSION; 0 with 87 for a null record or a cbSize
 *          below 32 (record untouched), or with the Windows error of a
 *          failed version-resource read. */
PATPRN_API BOOL WINAPI PatGetDllVersion(PatVersionInfo *record);

/** Fills the fixed profile of the supported printer family.
 *  @param source status source in the low 16 bits: PAT_STATUS_SOURCE_PJL or
 *         PAT_STATUS_SOURCE_PM; the upper bits are ignored.
 *  @param profile the host's 20-byte buffer (a PatPeripheralProfile).
 *  @param size in/out byte count: at least 20 on entry, 20 on return.
 *  @return 1 on success; 0 with 87 for a null size (nothing written), an
 *          unknown source or a null profile (size set to 20), or with 122
 *          when *size is below 20 (size set to 20). */
PATPRN_API BOOL WINAPI PatGetPeripheralProfile(DWORD source, DWORD *profile, DWORD *size);

/** Builds the PJL queries of one poll as a query tree.
 *  @param info the host's PrnInfoEx (dwSize at least PAT_PRNINFOEX_MIN_SIZE);
 *         only its size and its tray list are read (the trays to inquire).
 *  @param revision PAT_REVISION_PJL (2).
 *  @param flags PAT_QUERY_* bits: device ID, configuration, trays, output bins.
 *  @return a QNODE_QUERY_ROOT whose children are, in this order, an empty
 *          QNODE_DEVICE_ID request (when asked for) and a QNODE_PJL_TEXT node
 *          with the PJL text to send (framed by the universal exit language
 *          command). The tree is the host's: it releases every node with
 *          GlobalFree, children first, or attaches the tree unchanged to the
 *          answer tree it hands to PatSetCentroDataTo. Null with 87 (null
 *          info, small dwSize, wrong revision) or 8 (no memory). */
PATPRN_API QueryNode *WINAPI PatCreateQueryInfo(PrnInfoEx *info, DWORD revision, DWORD flags);

/** Builds the query of the printer's own page-description language settings.
 *  @param info must not be null; nothing is read through it.
 *  @param revision PAT_REVISION_PJL (2).
 *  @param kind PAT_EMUL_QUERY_TOLV (15), the only kind supported.
 *  @param reserved ignored; pass 0.
 *  @return a QNODE_QUERY_ROOT with one QNODE_PJL_TEXT child ("@PJL INFO
 *          TOLV"), the host's to release with GlobalFree node by node; its
 *          reply goes back under a PAT_NODE_EMUL_ANSWER_ROOT. Null with 87
 *          or 8. */
PATPRN_API QueryNode *WINAPI PatCreateEmulUniqQueryInfo(PrnInfoEx *info, DWORD revision, DWORD kind,
                                                        DWORD reserved);

/** Interprets the printer's replies and device ID into the host's record.
 *  @param tree the host's answer tree: a PAT_NODE_ANSWER_ROOT (or
 *         PAT_NODE_EMUL_ANSWER_ROOT with 4 data bytes holding 15) with the
 *         attached query, the PJL replies and the device ID as children.
 *         Every reply begins with the echoed command and ends with a form
 *         feed. Read only; it stays the host's.
 *  @param reserved not used; pass 0.
 *  @param info the host's PrnInfoEx (dwSize at least PAT_PRNINFOEX_MIN_SIZE),
 *         updated in place. Items and strings the library hangs into it come
 *         from the global heap; the library releases them only when it
 *         replaces a string or clears a list, otherwise the host releases
 *         them with GlobalFree. A string whose text did not change keeps
 *         its block, and a rebuilt list may refill the blocks it held.
 *  @param revision PAT_REVISION_PJL (2).
 *  @return 1 on success; 0 with 87 (null argument, wrong revision or root
 *          type, small dwSize, malformed tree), 13 (the attached query text
 *          is malformed) or PAT_ERROR_REPLY_MISSING (a reply the query asked
 *          for is missing or has no form feed; nothing is written then). */
PATPRN_API BOOL WINAPI PatSetCentroDataTo(QueryNode *tree, DWORD reserved, PrnInfoEx *info, DWORD revision);

/** Converts the host's printer-management record into its PrnInfoEx.
 *  @param source PAT_STATUS_SOURCE_PJL (status shape, PMInfoStatus) or
 *         PAT_STATUS_SOURCE_PM (configuration shape, PMInfoConfig) in the
 *         low 16 bits; with source 1, PAT_STATUS_ALT_SET leaves out the
 *         transient status codes 10003 and 10023.
 *  @param pmInfo the host's record of the shape the source names; only read.
 *  @param revision PAT_REVISION_PM_STATUS (100) with source 1,
 *         PAT_REVISION_PM_CONFIG (104) with source 0x8000.
 *  @param flags which categories to convert: PAT_PMINFO_STATUS_WORD ...
 *         PAT_PMINFO_FONTS with source 1, PAT_PMINFO_GENERAL ... PAT_PMINFO_TRAYS_SHORT
 *         with source 0x8000; other bits are ignored.
 *  @param info the host's PrnInfoEx, updated in place (ownership as with
 *         PatSetCentroDataTo).
 *  @return 1 on success; 0 with 87 (null pointer, unknown source, wrong
 *          revision, small dwSize) or 8 (no memory). */
PATPRN_API BOOL WINAPI PatPMInfoToPrnInfoEx(DWORD source, const void *pmInfo, DWORD revision, DWORD flags,
                                            PrnInfoEx *info);

/** Flattens the host's PrnInfoEx into the fixed-size PrnInfo.
 *  @param info the host's PrnInfoEx; only read.
 *  @param prnInfo the host's buffer of PAT_PRNINFO_SIZE (2400) bytes; its size
 *         is not checked. Every field is written only by its category.
 *  @param flags PRNINFO_* categories to fill.
 *  @return 1 on success; 0 with 87 for a null pointer or a dwSize below
 *          PAT_PRNINFOEX_MIN_SIZE (there is no other failure). */
PATPRN_API BOOL WINAPI PatPrnInfoExToPrnInfo(const PrnInfoEx *info, PrnInfo *prnInfo, DWORD flags);

/** The localized text of the printer's most urgent status.
 *  @param status a status argument: PAT_STATUS_ARG_PJL (primary messages),
 *         PAT_STATUS_ARG_PJL_ALT (alternate messages) or PAT_STATUS_ARG_PM.
 *  @param root the host's status tree (PAT_NODE_STATUS_ROOT with a main and
 *         optionally a supplement record); only read.
 *  @param revision PAT_REVISION_STATUS (3).
 *  @param variant PAT_STATUS_TEXT_SHORT (a label such as "No Paper") or
 *         PAT_STATUS_TEXT_DETAILED (what to do, naming trays, covers and
 *         toner colours; sentences separated by '\n').
 *  @param output the host's buffer, or null to ask for the size.
 *  @param length in/out length (see the protocol above).
 *  @return 1 with the text in the selected language's ANSI code page; 0
 *          with 87 (null root or length, wrong revision or source, malformed
 *          tree, small record), 8 (no memory), 122 (buffer null or short,
 *          *length set to the size needed), PAT_ERROR_NOT_FOUND (no text in
 *          the selected language, e.g. after "CS") or PAT_ERROR_LANGUAGE. */
PATPRN_API BOOL WINAPI PatGetStatusString(DWORD status, const QueryNode *root, DWORD revision, DWORD variant,
                                          char *output, DWORD *length);

/** The name of the help file for the current status (empty for this
 *  printer family, so the needed length is 1).
 *  @param status a status argument (source 1 or 0x8000 in the low 16 bits).
 *  @param record the host's PrnInfoEx, read directly (no status tree).
 *  @param reserved not read; pass 0.
 *  @param output the host's buffer, or null to ask for the size.
 *  @param length in/out length (see the protocol above).
 *  @return 1 on success; 0 with 87 (null length, unknown source), 8 (no
 *          memory), 122 (buffer null or short) or PAT_ERROR_NOT_FOUND (no
 *          priority table for this status argument). */
PATPRN_API BOOL WINAPI PatGetStatusHelpFileName(DWORD status, const PrnInfoEx *record, DWORD reserved,
                                                char *output, DWORD *length);

/** The localized name of a tray, output bin or optional device.
 *  @param kind PAT_DEVICE_INPUT_TRAY, PAT_DEVICE_OUTPUT_BIN or PAT_DEVICE_OPTION.
 *  @param key for trays and bins the zero-terminated English name ("Tray 1",
 *         "Bypass Tray", "Standard Tray"); for options a pointer to a 32-bit
 *         device number (e.g. 629, the hard disk unit).
 *  @param form DEVICE_KEY_TEXT (0x97) for trays and bins, DEVICE_KEY_CODE
 *         (0x96) for options.
 *  @param output the host's buffer, or null to ask for the size.
 *  @param length in/out length (see the protocol above).
 *  @return 1 with the name in the selected language's ANSI code page; 0
 *          with 87 (unknown kind, wrong form, a name not of that kind, null
 *          key or length), 122 (buffer null or short) or
 *          PAT_ERROR_NOT_FOUND (no such device number, or no text in the
 *          selected language). */
PATPRN_API BOOL WINAPI PatGetDeviceName(DWORD kind, const void *key, DWORD form, char *output, DWORD *length);

/** The layered picture of the printer in its current status, as draw steps.
 *  @param status a status argument (as for PatGetStatusString; bit 31
 *         changes which warning marks are left out).
 *  @param root the host's status tree; only read.
 *  @param revision PAT_REVISION_STATUS (3).
 *  @return a BitmapInfo with one layer whose entries are drawn in order
 *          (see BitmapInfo). The record, its layer array and the entry
 *          arrays are the host's until it calls PatDisposeBitmapInfo; never
 *          free them with GlobalFree one by one. Null with 87 (null root,
 *          wrong revision or source, malformed tree, small record) or 8. */
PATPRN_API BitmapInfo *WINAPI PatCreateBitmapInfo(DWORD status, const QueryNode *root, DWORD revision);

/** Releases what PatCreateBitmapInfo returned, with every array in it.
 *  @param record a BitmapInfo (tag 201) or a lone BitmapLayer (tag 200).
 *  @return 1 on success; 0 with 87 for null, another tag, or a layer not
 *          tagged 200 (the layers before it are then already released). */
PATPRN_API BOOL WINAPI PatDisposeBitmapInfo(void *record);

/** Loads one of the library's bitmaps by name (the names of BitmapEntry).
 *  @param name zero-terminated resource name, e.g. "BM_BASE".
 *  @return a bitmap handle the host owns and releases with DeleteObject (on
 *          Windows from gdi32: link it). Null with 87 for a null name;
 *          otherwise null leaves the last error of the failed load (e.g.
 *          1814, no bitmap of that name). */
PATPRN_API HBITMAP WINAPI PatLoadBitmap(const char *name);

/** The stored device-independent bitmap by name, without loading it into
 *  a bitmap object.
 *  @param name zero-terminated resource name.
 *  @return a resource handle; LockResource gives the packed bitmap (header,
 *          colour table, run-length-encoded pixels), SizeofResource its size.
 *          It stays valid while the library is loaded and is never freed.
 *          Null with 87 for a null name, or with the resource loader's error
 *          (1813, 1814, 1815). */
PATPRN_API HGLOBAL WINAPI PatLoadDIBitmap(const char *name);

/** The library's colour palette in the LOGPALETTE layout.
 *  @param buffer the host's buffer, or null with *size 0 to ask.
 *  @param size in/out byte count (4 + 4 per entry needed).
 *  @return this library defines no palette: 0 with PAT_ERROR_NO_PALETTE
 *          (size untouched); 0 with 87 for a null size or a null buffer
 *          with a nonzero size. */
PATPRN_API BOOL WINAPI PatGetPalette(void *buffer, DWORD *size);

/** Selects the language of every text the library hands out, process-wide.
 *  @param code a two-letter locale code (PAT_LOCALE_*), any case; at most
 *         9 characters are compared.
 *  @return 1 on success; 0 with 87 for null, or PAT_ERROR_LANGUAGE for an
 *          unknown code (the language stays as it was). Until the first
 *          success the language is the user's default: on Windows the
 *          system's; on Linux taken from the environment's locale (LANG,
 *          LC_ALL), English when none matches. */
PATPRN_API BOOL WINAPI PatSetLocale(const char *code);

/* ---- Names of release 1.1 ------------------------------------------------
 * The record constants above carried no PAT_ prefix before; these names
 * stay so that hosts written against them build unchanged. */
#define PRNINFOEX_MIN_SIZE           PAT_PRNINFOEX_MIN_SIZE
#define PMINFO_VALUE_NOT_AVAILABLE   PAT_PMINFO_VALUE_NOT_AVAILABLE
#define PMINFO_POINTER_NOT_AVAILABLE PAT_PMINFO_POINTER_NOT_AVAILABLE
#define PM_STATUS_STATE              PAT_PM_STATUS_STATE
#define PM_STATUS_TRANSIENT          PAT_PM_STATUS_TRANSIENT
#define PM_STATUS_PRINTING           PAT_PM_STATUS_PRINTING
#define PM_STATUS_NO_RESPONSE        PAT_PM_STATUS_NO_RESPONSE
#define PMINFO_STATUS_WORD           PAT_PMINFO_STATUS_WORD
#define PMINFO_ENGINE_STATUS         PAT_PMINFO_ENGINE_STATUS
#define PMINFO_EMULATIONS            PAT_PMINFO_EMULATIONS
#define PMINFO_FONTS                 PAT_PMINFO_FONTS
#define PM_LEVEL_EMPTY               PAT_PM_LEVEL_EMPTY
#define PM_LEVEL_10                  PAT_PM_LEVEL_10
#define PM_LEVEL_25                  PAT_PM_LEVEL_25
#define PM_LEVEL_50                  PAT_PM_LEVEL_50
#define PM_LEVEL_75                  PAT_PM_LEVEL_75
#define PM_TRAY_CUSTOM_SIZE          PAT_PM_TRAY_CUSTOM_SIZE
#define PM_MEDIA_EXTENDED            PAT_PM_MEDIA_EXTENDED
#define PMINFO_GENERAL               PAT_PMINFO_GENERAL
#define PMINFO_TRAYS                 PAT_PMINFO_TRAYS
#define PMINFO_OUTBINS               PAT_PMINFO_OUTBINS
#define PMINFO_DEVICES               PAT_PMINFO_DEVICES
#define PMINFO_TRAYS_SHORT           PAT_PMINFO_TRAYS_SHORT
#define PRNINFO_SIZE                 PAT_PRNINFO_SIZE
#define PRNINFO_HARD_DISK            PAT_PRNINFO_HARD_DISK
#define PRNINFO_SEVERAL_STATUS       PAT_PRNINFO_SEVERAL_STATUS
#define PRNINFO_STATE                PAT_PRNINFO_STATE
#define PRNINFO_SYSTEM               PAT_PRNINFO_SYSTEM
#define PRNINFO_TRAYS                PAT_PRNINFO_TRAYS
#define PRNINFO_OUTBINS              PAT_PRNINFO_OUTBINS
#define PRNINFO_EMULATIONS           PAT_PRNINFO_EMULATIONS
#define PRNINFO_FONTS                PAT_PRNINFO_FONTS
#define PRNINFO_IDENTITY             PAT_PRNINFO_IDENTITY
#define PRNINFO_DUPLEX               PAT_PRNINFO_DUPLEX
#define PRNINFO_ENGINE_STATUS        PAT_PRNINFO_ENGINE_STATUS

/* The layout checks serve this header alone; a host's own names stay free. */
#undef PATPRN_CHECK_OFFSET
#undef PATPRN_CHECK_SIZE
#undef PATPRN_STATIC_ASSERT

#endif /* PATPRN_PATPRN_H */
