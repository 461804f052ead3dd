// What each reply of the printer means for PrnInfoEx.
#include "pjl/reply_handlers.h"
#include "pjl/pjl_story.h"
#include "support/heap_hook.h"
#include "support/support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using namespace patprn;
using pattest::HostRecord;
using pjltest::ExpectListsConsistent;
using pjltest::Items;

void Replies(HostRecord &record, const std::string &text) {
    ReplyDispatch(record.get(), FamilyReplyTable, text.c_str(), text.size() + 1);
    ExpectListsConsistent(record.get());
}

TEST(TrayReplies, InquiryCreatesTheTrayItKnowsNothingOf) {
    HostRecord record;
    Replies(record, "@PJL INQUIRE INTRAY2MEDIA\r\nRECYCLED\r\n\f");
    ASSERT_EQ(record->nTrayInfo, 1u);
    EXPECT_EQ(record->pTrayInfo->wTray, 4u);
    EXPECT_EQ(record->pTrayInfo->wMediaType, 2u);
    EXPECT_EQ(record->pTrayInfo->cbItem, 24u);
}

TEST(TrayReplies, LockStateKeepsTheOtherFlags) {
    HostRecord record;
    Replies(record, "@PJL INQUIRE FRONTCOVERPRINTTRAY\r\nTRAY1\r\n\f@PJL INQUIRE INTRAY1\r\nLOCKED\r\n\f");
    ASSERT_EQ(record->nTrayInfo, 1u);
    EXPECT_EQ(record->pTrayInfo->dwFlags, PAT_TRAY_FLAG_FRONT_COVER | PAT_TRAY_FLAG_LOCKED);
    Replies(record, "@PJL INQUIRE INTRAY1\r\nUNLOCKED\r\n\f");
    EXPECT_EQ(record->pTrayInfo->dwFlags, PAT_TRAY_FLAG_FRONT_COVER);
    // The multi-purpose tray's lock is keyed INTRAYMANUAL; the INTRAYMULTI
    // reply to the query's inquiry matches no key.
    Replies(record, "@PJL INQUIRE INTRAYMULTI\r\nLOCKED\r\n\f");
    EXPECT_EQ(record->nTrayInfo, 1u);
    Replies(record, "@PJL INQUIRE INTRAYMANUAL\r\nLOCKED\r\n\f");
    ASSERT_EQ(record->nTrayInfo, 2u);
    EXPECT_EQ(Items(record->pTrayInfo)[1]->wTray, 1u);
    EXPECT_EQ(Items(record->pTrayInfo)[1]->dwFlags, PAT_TRAY_FLAG_LOCKED);
}

TEST(TrayReplies, WordsThroughTheirTables) {
    struct Case {
        const char *reply;
        uint16_t TrayInfoItem::*field;
        uint16_t value;
    } cases[] = {
        {"@PJL INQUIRE INTRAY1QUANT\r\n3/5\r\n\f", &TrayInfoItem::wPaperLevel, 60},
        {"@PJL INQUIRE INTRAY1QUANT\r\nHALF\r\n\f", &TrayInfoItem::wPaperLevel, 0},
        {"@PJL INQUIRE INTRAY1QUANT\r\nFULL\r\n\f", &TrayInfoItem::wPaperLevel, 100},
        {"@PJL INQUIRE INTRAY1SIZE\r\nK16SRT\r\n\f", &TrayInfoItem::wPaperSize, 66},
        {"@PJL INQUIRE INTRAY1SIZE\r\nA4\r\n\f", &TrayInfoItem::wPaperSize, 0},
        {"@PJL INQUIRE INTRAY1SIZE\r\nlegal\r\n\f", &TrayInfoItem::wPaperSize, 0},
        {"@PJL INQUIRE INTRAY1MEDIA\r\nTHICKDUPLEXBACKSIDE3\r\n\f", &TrayInfoItem::wMediaType, 45},
        {"@PJL INQUIRE INTRAY1MEDIA\r\nTHICK2\r\n\f", &TrayInfoItem::wMediaType, 17},
    };
    for (const Case &c : cases) {
        HostRecord record;
        auto *tray = reinterpret_cast<TrayInfoItem *>(InfoItemAlloc(kTrayInfoItemSize));
        tray->wTray = 3;
        tray->wPaperLevel = tray->wPaperSize = tray->wMediaType = 99;
        InfoListAppend(record.get(), "pTrayInfo", reinterpret_cast<InfoItem *>(tray));
        Replies(record, c.reply);
        EXPECT_EQ(record->nTrayInfo, 1u);
        EXPECT_EQ(tray->*c.field, c.value) << c.reply;
    }
}

TEST(TrayReplies, FrontCoverTrayNoneChangesNothing) {
    HostRecord record;
    Replies(record, "@PJL INQUIRE FRONTCOVERPRINTTRAY\r\nNONE\r\n\f");
    EXPECT_EQ(record->nTrayInfo, 0u);
    Replies(record, "@PJL INQUIRE FRONTCOVERPRINTTRAY\r\nTRAY2\r\n\f@PJL INQUIRE FRONTCOVERPRINTTRAY\r\nBYPASS\r\n\f");
    auto trays = Items(record->pTrayInfo);
    ASSERT_EQ(trays.size(), 2u);
    EXPECT_EQ(trays[0]->wTray, 4u);
    EXPECT_EQ(trays[0]->dwFlags, 4u) << "flags on other trays stay";
    EXPECT_EQ(trays[1]->wTray, 1u);
    EXPECT_EQ(trays[1]->dwFlags, 4u);
}

TEST(TrayReplies, MalformedValueLeavesTheTrayAsItWas) {
    PjlScanner scanner;
    // The value stands on the command line instead of the line after it.
    const std::string text = "@PJL INQUIRE INTRAY1SIZE=LETTER\r\n\f";
    PjlScannerInit(&scanner, text.c_str(), text.size() + 1);
    char token[33];
    int32_t kind;
    for (int i = 0; i < 3; ++i) PjlScanNext(&scanner, token, sizeof token, &kind);
    HostRecord record;
    EXPECT_EQ(OnTraySize(&scanner, record.get(), nullptr, 3), 87u);
    ASSERT_EQ(record->nTrayInfo, 1u);
    EXPECT_EQ(record->pTrayInfo->wPaperSize, 0u);
}

TEST(ConfigReplies, TrayCountKeepsOrRebuildsTheTrays) {
    HostRecord record;
    Replies(record, "@PJL INQUIRE INTRAY1SIZE\r\nFOLIO\r\n\f@PJL INQUIRE INTRAY2SIZE\r\nLEGAL\r\n\f");
    TrayInfoItem *first = record->pTrayInfo;
    Replies(record, "@PJL INFO CONFIG\r\nIN TRAYS [2 ENUMERATED]\r\n\tINTRAY1\r\n\tINTRAY2\r\n\f");
    ASSERT_EQ(record->nTrayInfo, 2u);
    EXPECT_EQ(record->pTrayInfo, first);
    EXPECT_EQ(first->wPaperSize, 28u) << "same count: trays and sizes kept";

    Replies(record, "@PJL INFO CONFIG\r\nIN TRAYS [3 ENUMERATED]\r\n\tINTRAY1\r\n\tINTRAYMANUAL\r\n\tINTRAY2\r\n\f");
    auto trays = Items(record->pTrayInfo);
    ASSERT_EQ(trays.size(), 3u);
    EXPECT_EQ(trays[0]->wTray, 3u);
    EXPECT_EQ(trays[1]->wTray, 1u);
    EXPECT_EQ(trays[2]->wTray, 4u);
    for (const TrayInfoItem *t : trays) EXPECT_EQ(t->wPaperSize, 0u) << "re-created empty";
}

TEST(ConfigReplies, OptionsAreRebuiltFromEachConfiguration) {
    HostRecord record;
    Replies(record, "@PJL INFO CONFIG\r\nIN TRAYS [2 ENUMERATED]\r\n\tINTRAY1\r\n\tINTRAY2\r\nDUPLEX\r\n\f");
    auto devices = Items(record->pDeviceInfo);
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0]->wDevice, 105u);
    EXPECT_EQ(devices[1]->wDevice, 1u);

    Replies(record, "@PJL INFO CONFIG\r\nIN TRAYS [1 ENUMERATED]\r\n\tINTRAY3\r\nDISK\r\nDUPLEX\r\nDUPLEX\r\n\f");
    devices = Items(record->pDeviceInfo);
    ASSERT_EQ(devices.size(), 3u) << "a repeated option line records the option once";
    EXPECT_EQ(devices[0]->wDevice, 106u);
    EXPECT_EQ(devices[1]->wDevice, 3u);
    EXPECT_EQ(devices[2]->wDevice, 1u);
}

TEST(ConfigReplies, MemoryInKilobytes) {
    HostRecord record;
    Replies(record, "@PJL INFO CONFIG\r\nMEMORY=8388608\r\n\f");
    EXPECT_EQ(record->dwMemorySize, 8192u);
    Replies(record, "@PJL INFO CONFIG\r\nMEMORY=4294967296\r\n\f");
    EXPECT_EQ(record->dwMemorySize, 4194304u) << "four gigabytes";
    Replies(record, "@PJL INFO CONFIG\r\nMEMORY\r\n\f");
    EXPECT_EQ(record->dwMemorySize, 4194304u) << "no value: unchanged";
}

TEST(ConfigReplies, VersionList) {
    HostRecord record;
    Replies(record,
            "@PJL INFO CONFIG\r\nVERSION [4 ENUMERATED]\r\n\tFIRMWARE=V1.0\r\n\tWENK=2.10\r\n"
            "\tPOSTSCRIPT=3016.102\r\n\tNEWLANG=0.1234567890123456789\r\nDUPLEX\r\n\f");
    EXPECT_STREQ(record->pSYSVersion, "V1.0");
    EXPECT_STREQ(record->pMainProgVersion, "2.10");
    EXPECT_STREQ(record->pVPSVersion, "3016.102");
    auto emuls = Items(record->pLoadedEmul);
    ASSERT_EQ(emuls.size(), 3u);
    EXPECT_EQ(emuls[0]->wEmul, 1u);
    EXPECT_EQ(emuls[1]->wEmul, 2u);
    EXPECT_EQ(emuls[2]->wEmul, 0u) << "an unknown language is kept with code 0";
    EXPECT_STREQ(emuls[2]->szVersion, "0.1234567890123") << "cut to 15 characters";
    EXPECT_EQ(record->nDeviceInfo, 1u) << "the walk goes on after the list";
}

TEST(ConfigReplies, VersionCountLargerThanTheListStopsAtTheReplysEnd) {
    HostRecord record;
    Replies(record,
            "@PJL INFO CONFIG\r\nVERSION [9 ENUMERATED]\r\n\tWENK=2.10\r\n\f"
            "@PJL INFO CONFIG\r\nIN TRAYS [1 ENUMERATED]\r\n\tINTRAY2\r\n\f");
    ASSERT_EQ(record->nLoadedEmul, 1u) << "tray lines of the next reply are no versions";
    ASSERT_EQ(record->nTrayInfo, 1u);
    EXPECT_EQ(record->pTrayInfo->wTray, 4u);
}

TEST(ConfigReplies, PunchLines) {
    PjlScanner scanner;
    const std::string text = "@PJL INFO CONFIG\r\nPUNCH [6 ENUMERATED]\r\n\tA\r\n\f";
    PjlScannerInit(&scanner, text.c_str(), text.size() + 1);
    char token[33];
    int32_t kind;
    for (int i = 0; i < 5; ++i) PjlScanNext(&scanner, token, sizeof token, &kind);
    ASSERT_STREQ(token, "PUNCH");
    HostRecord record;
    EXPECT_EQ(OnConfigPunch(&scanner, record.get(), nullptr, 0), 87u);
    PjlScanNext(&scanner, token, sizeof token, &kind);
    EXPECT_STREQ(token, "ENUMERATED") << "no item was read";

    Replies(record, "@PJL INFO CONFIG\r\nPUNCH [2 ENUMERATED]\r\n\tHOLES2\r\n\tHOLES3\r\nDUPLEX\r\n\f");
    ASSERT_EQ(record->nDeviceInfo, 1u) << "no punch unit in this family; the lines are read past";
    EXPECT_EQ(record->pDeviceInfo->wDevice, 1u);
}

TEST(PunchUnitFind, NamedWordsInAnyOrderAndExactlyAsMany) {
    const PunchUnitRow table[] = {
        {{"HOLES2", "HOLES3", nullptr, nullptr, nullptr}, 40},
        {{"HOLES4", nullptr, nullptr, nullptr, nullptr}, 41},
        {{nullptr, nullptr, nullptr, nullptr, nullptr}, 0},
    };
    const char words[5][33] = {"HOLES3", "HOLES2", "HOLES4"};
    EXPECT_EQ(PunchUnitFind(table, words, 2), &table[0]);
    EXPECT_EQ(PunchUnitFind(table, words, 3), nullptr);
    EXPECT_EQ(PunchUnitFind(table, words + 2, 1), &table[1]);
    EXPECT_EQ(PunchUnitFind(table, words, 0), nullptr);
    EXPECT_EQ(PunchUnitFind(PunchUnitTable, words, 2), nullptr);
}

TEST(OutBinReplies, StateOfTheStandardTray) {
    HostRecord record;
    Replies(record, "@PJL INFO OUTBINSTATUS\r\nUPPER=FULL\r\n\f");
    ASSERT_EQ(record->nOutBinInfo, 1u);
    EXPECT_EQ(record->pOutBinInfo->wBin, 1u);
    EXPECT_EQ(record->pOutBinInfo->wBinState, 2u);
    EXPECT_EQ(record->dwOutBinExtra, 255u);

    Replies(record, "@PJL INFO OUTBINSTATUS\r\nUPPER=PAPEREXIST\r\nUPPER=JAMMED\r\n\f");
    ASSERT_EQ(record->nOutBinInfo, 1u) << "the bin is listed once; its last line counts";
    EXPECT_EQ(record->pOutBinInfo->wBinState, 0u);
    Replies(record, "@PJL INFO OUTBINSTATUS\r\nUPPER\r\n\f");
    ASSERT_EQ(record->nOutBinInfo, 1u) << "a line without state still lists the bin";
    EXPECT_EQ(record->pOutBinInfo->wBinState, 0u);
    Replies(record, "@PJL INFO OUTBINSTATUS\r\nLOWER=FULL\r\n\f");
    EXPECT_EQ(record->nOutBinInfo, 0u);
}

TEST(TolvReplies, SettingsOfTheOwnLanguageInOneItem) {
    HostRecord record;
    Replies(record, "@PJL INFO TOLV\r\nIMAGEROTATION=IMPOSSIBLE\r\nMEMORYUSAGE=PAGE\r\nOTHER=" + std::string(40, 'x') +
                        "\r\n\f@PJL INFO CONFIG\r\nDUPLEX\r\n\f");
    ASSERT_EQ(record->nEmulUniqInfo, 1u);
    const EmulUniqInfoItem *item = record->pEmulUniqInfo;
    EXPECT_EQ(item->wKind, 15u);
    EXPECT_EQ(item->cbItem, 64u);
    EXPECT_EQ(item->dwImageRotation, 2u);
    EXPECT_EQ(item->dwMemoryUsage, 1u);
    EXPECT_EQ(std::string(item->szOther), std::string(32, 'x'));
    EXPECT_EQ(record->nDeviceInfo, 1u) << "the reply after it is read as usual";

    Replies(record, "@PJL INFO TOLV\r\nMEMORYUSAGE=USER\r\n\f");
    ASSERT_EQ(record->nEmulUniqInfo, 1u);
    EXPECT_EQ(record->pEmulUniqInfo, item) << "updated in place";
    EXPECT_EQ(item->dwMemoryUsage, 2u);
    EXPECT_EQ(item->dwImageRotation, 2u);
}

TEST(TrayItemFindOrCreate, AllocationFailureLinksNothing) {
    SKIP_WITHOUT_HEAP_HOOK();
    pattest::HeapHookGuard guard;
    HostRecord record;
    pattest::FailNthAllocation(1);
    EXPECT_EQ(TrayItemFindOrCreate(record.get(), 3), nullptr);
    EXPECT_EQ(record->nTrayInfo, 0u);
    EXPECT_EQ(record->pTrayInfo, nullptr);
    TrayInfoItem *tray = TrayItemFindOrCreate(record.get(), 3);
    ASSERT_NE(tray, nullptr);
    pattest::FailNthAllocation(1);
    EXPECT_EQ(TrayItemFindOrCreate(record.get(), 3), tray) << "an existing tray needs no allocation";
}

}  // namespace
