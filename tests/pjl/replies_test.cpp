// What the printer's replies and device ID leave in PrnInfoEx, one case a
// line: the reply text, the device ID, and the record described whole.
#include "pjl/device_id.h"
#include "pjl/reply_handlers.h"
#include "pjl/pjl_story.h"
#include "support/heap_hook.h"
#include "support/support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

using namespace patprn;
using pattest::HostRecord;
using pjltest::After;
using pjltest::Describe;

struct Case {
    std::string replies;
    std::string deviceId;
    std::string record;
};

void Expect(const std::vector<Case> &cases) {
    for (const Case &c : cases) {
        HostRecord record;
        EXPECT_EQ(After(record.get(), c.replies, c.deviceId), c.record) << c.replies << c.deviceId;
    }
}

const std::string kFf = "\r\n\f";

TEST(ReplyHandlers, TrayReplies) {
    Expect({
        {"@PJL INQUIRE INTRAY2MEDIA\r\nRECYCLED"s + kFf, "", "trays 4:0/0/2/0"},
        {"@PJL INQUIRE INTRAY1QUANT\r\n3/5"s + kFf + "@PJL INQUIRE INTRAY2QUANT\r\nHALF" + kFf,
         "", "trays 3:0/60/0/0 4:0/0/0/0"},
        {"@PJL INQUIRE INTRAY1SIZE\r\nK16SRT"s + kFf + "@PJL INQUIRE INTRAY3SIZE\r\nA4" + kFf +
             "@PJL INQUIRE INTRAY3MEDIA\r\nTHICKDUPLEXBACKSIDE3"s + kFf + "@PJL INQUIRE INTRAYMSIZE\r\nlegal" + kFf,
         "", "trays 3:66/0/0/0 5:0/0/45/0 1:0/0/0/0"},
        {"@PJL INQUIRE FRONTCOVERPRINTTRAY\r\nNONE"s + kFf, "", ""},
        {"@PJL INQUIRE FRONTCOVERPRINTTRAY\r\nTRAY2"s + kFf + "@PJL INQUIRE FRONTCOVERPRINTTRAY\r\nBYPASS" + kFf, "",
         "trays 4:0/0/0/4 1:0/0/0/4"},
        // The lock keeps the other flags; the multi-purpose tray's lock is
        // keyed INTRAYMANUAL, so the INTRAYMULTI reply matches nothing.
        {"@PJL INQUIRE FRONTCOVERPRINTTRAY\r\nTRAY1"s + kFf + "@PJL INQUIRE INTRAY1\r\nLOCKED" + kFf +
             "@PJL INQUIRE INTRAY1\r\nUNLOCKED"s + kFf + "@PJL INQUIRE INTRAYMULTI\r\nLOCKED" + kFf +
             "@PJL INQUIRE INTRAYMANUAL\r\nLOCKED"s + kFf,
         "", "trays 3:0/0/0/4 1:0/0/0/1"},
        // A value on the command line instead of the next line: the tray
        // exists, the value is not taken.
        {"@PJL INQUIRE INTRAY1SIZE=LETTER"s + kFf, "", "trays 3:0/0/0/0"},
    });
}

TEST(ReplyHandlers, ConfigurationReplies) {
    Expect({
        {"@PJL INFO CONFIG\r\nIN TRAYS [2 ENUMERATED]\r\n\tINTRAY1\r\n\tINTRAY2\r\nDUPLEX"s + kFf, "",
         "trays 3:0/0/0/0 4:0/0/0/0; devices 105 1"},
        {"@PJL INFO CONFIG\r\nIN TRAYS [2 ENUMERATED]\r\n\tINTRAY3\r\n\tINTRAYMANUAL\r\nDISK\r\nDUPLEX\r\nDUPLEX"s + kFf,
         "", "trays 5:0/0/0/0 1:0/0/0/0; devices 106 16 3 1"},
        {"@PJL INFO CONFIG\r\nMEMORY=8388608"s + kFf, "", "mem 8192"},
        {"@PJL INFO CONFIG\r\nMEMORY=4294967296"s + kFf, "", "mem 4194304"},
        {"@PJL INFO CONFIG\r\nVERSION [4 ENUMERATED]\r\n\tFIRMWARE=V1.0\r\n\tWENK=2.10\r\n\tPOSTSCRIPT=3016.102\r\n"
         "\tNEWLANG=0.1234567890123456789\r\nDUPLEX"s + kFf,
         "", "devices 1; emuls 1=2.10 2=3016.102 0=0.1234567890123; sys=V1.0; main=2.10; vps=3016.102"},
        // A count larger than the list ends with the reply: the tray lines of
        // the next reply are no versions.
        {"@PJL INFO CONFIG\r\nVERSION [9 ENUMERATED]\r\n\tWENK=2.10"s + kFf +
             "@PJL INFO CONFIG\r\nIN TRAYS [1 ENUMERATED]\r\n\tINTRAY2"s + kFf,
         "", "trays 4:0/0/0/0; devices 105; emuls 1=2.10; main=2.10"},
        // No punch unit in this family: the lines are read past; more than
        // five punch words is malformed and reads none.
        {"@PJL INFO CONFIG\r\nPUNCH [2 ENUMERATED]\r\n\tHOLES2\r\n\tHOLES3\r\nDUPLEX"s + kFf, "", "devices 1"},
        {"@PJL INFO CONFIG\r\nPUNCH [6 ENUMERATED]\r\n\tINTRAY2\r\nDISK"s + kFf, "", "devices 3"},
    });
}

TEST(ReplyHandlers, OutputBinAndOwnLanguage) {
    Expect({
        {"@PJL INFO OUTBINSTATUS\r\nUPPER=FULL"s + kFf, "", "bins/255 1:2"},
        {"@PJL INFO OUTBINSTATUS\r\nUPPER=PAPEREXIST"s + kFf, "", "bins/255 1:1"},
        {"@PJL INFO OUTBINSTATUS\r\nUPPER=PAPEREXIST\r\nUPPER=JAMMED"s + kFf, "", "bins/255 1:0"},
        {"@PJL INFO OUTBINSTATUS\r\nUPPER"s + kFf, "", "bins/255 1:0"},
        {"@PJL INFO TOLV\r\nIMAGEROTATION=IMPOSSIBLE\r\nMEMORYUSAGE=PAGE\r\nOTHER="s + std::string(40, 'x') + kFf +
             "@PJL INFO CONFIG\r\nDUPLEX"s + kFf,
         "", "devices 1; tolv 15:1/"s + std::string(32, 'x') + "/2"},
    });
}

TEST(ReplyDispatch, MalformedReplyDoesNotHideTheRepliesAfterIt) {
    Expect({{"@PJL INQUIRE INTRAY2SIZE\r\n\f@PJL INFO CONFIG\r\n]\r\nDISK"s + kFf +
                 "@PJL INQUIRE INTRAY1MEDIA\r\nTHICK"s + kFf + "@PJL INFO CONFIG\r\nDUPLEX" + kFf,
             "", "trays 4:0/0/0/0 3:0/0/6/0; devices 1"}});
}

// A handler that notes the fallback and parameter it was called with.
std::vector<std::pair<const ReplyKeyRow *, int32_t>> g_calls;
uint32_t Note(PjlScanner *, PrnInfoEx *, const ReplyKeyRow *fallback, int32_t parameter) {
    g_calls.emplace_back(fallback, parameter);
    return 0;
}

TEST(ReplyDispatch, FamilyRowsFirstWithTheGenericRowAsFallback) {
    const ReplyKeyRow family[] = {
        {{"INFO", "CONFIG", "", "", ""}, Note, 1},
        {{"INQUIRE", "ONLYFAMILY", "", "", ""}, Note, 2},
        {{"INFO", "CONFIG", "", "", ""}, Note, 3},
        {{nullptr, nullptr, nullptr, nullptr, nullptr}, nullptr, 0},
    };
    HostRecord record;
    After(record.get(), "@PJL INFO CONFIG\r\nDUPLEX"s + kFf);
    g_calls.clear();
    const std::string text = "@PJL INFO CONFIG\r\nX"s + kFf + "@PJL INQUIRE ONLYFAMILY\r\nY" + kFf;
    EXPECT_EQ(ReplyDispatch(record.get(), family, text.c_str(), text.size() + 1), 0u);
    const ReplyKeyRow *config = &GenericReplyTable[1];
    using Calls = std::vector<std::pair<const ReplyKeyRow *, int32_t>>;
    EXPECT_EQ(g_calls, (Calls{{config, 1}, {config, 3}, {nullptr, 2}}));
    EXPECT_EQ(record->nDeviceInfo, 0u) << "then the generic INFO CONFIG row ran";
}

TEST(DeviceIdParse, Fields) {
    Expect({
        {"", "MFG:Maker;MDL:Model 1;DES:Printer;", "maker=Maker; model=Model 1(255); desc=Printer"},
        {"", "XYZ:abc;CMD:PJL,PCL;MFG:M;", "maker=M"},
        {"", "STS:10001/40010,1,READY;", "status 10001'READY' 40010'READY'; state 1/0/1"},
        {"", "STS:10002,2;", "status 10002''; state 2/1/1"},
        {"", "STS:30010//40000/,1,X;", "status 30010'X' 40000'X'; state 1/0/0"},
        {"", "STS:49999,1,X;STS:50000,0;", "status 50000''; state 0/1/0"},
        {"", "KWZ:12345/80,70;", "counter 1:12345"},
        // Cut at 255 characters, the 256th lost; the rest is read as a key.
        {"", "MFG:"s + std::string(255, 'A') + "BCD;MDL:X;", "maker="s + std::string(255, 'A')},
        // Malformed: each ends quietly.
        {"", "MFG", "maker="}, {"", ":::;;;", ""}, {"", "STS:10001", "status 10001''; state 0/1/0"},
        {"", "KWZ:/", "counter 1:0"}, {"", std::string(5000, ';'), ""},
    });
}

TEST(DeviceIdParse, TableWalkersOfAFamilyWithCommandSetsAndSupplies) {
    HostRecord record;
    const CodeTableRow commands[] = {{"PCL", 18}, {"POSTSCRIPT", 2}, {nullptr, 0}};
    CommandSetApply(record.get(), "PJL,PCL,,POSTSCRIPT", commands);
    const uint16_t supplies[] = {7, 8, kSupplyCodeEnd};
    SupplyAmountsApply(record.get(), "80,,70,60", supplies);
    EXPECT_EQ(Describe(record.get()), "emuls 0= 18= 2=; supplies 7:80 8:70");
}

// A printer that says the same thing again: the names, the status list,
// the counter and the version list keep their blocks and need nothing from
// the heap; what changed is written as on a fresh record.
TEST(DeviceIdParse, AnUnchangedPrinterKeepsItsBlocksAChangedOneIsRewritten) {
    SKIP_WITHOUT_HEAP_HOOK();
    pattest::HeapHookGuard guard;
    HostRecord record;
    const std::string id = pjltest::ReadFixture("poll2_device_id.txt");
    const std::string versions = "@PJL INFO CONFIG\r\nVERSION [3 ENUMERATED]\r\n\tFIRMWARE=1.20\r\n\tWENK=2.05\r\n"
                                 "\tPCL=1.07\r\n\f";
    const std::string whole = After(record.get(), versions, id);
    const char *model = record->pModelName;
    {
        pjltest::AnswerTree again(nullptr, versions.c_str(), id.c_str());
        const long live = pattest::LiveHeapBlocks();
        pattest::FailNthAllocation(1);
        EXPECT_EQ(PatSetCentroDataTo(again.root, 0, record.get(), PAT_REVISION_PJL), TRUE);
        EXPECT_FALSE(pattest::ArmedFailureStruck(1)) << "no allocation";
        EXPECT_EQ(pattest::LiveHeapBlocks(), live);
    }
    EXPECT_EQ(Describe(record.get()), whole);
    EXPECT_EQ(record->pModelName, model);

    // Fewer versions, another model, one status code: each list holds
    // exactly the new items, the strings not named again stay.
    const std::string changed = "@PJL INFO CONFIG\r\nVERSION [1 ENUMERATED]\r\n\tPOSTSCRIPT=3.10\r\n\f";
    EXPECT_EQ(After(record.get(), changed, "MDL:Colour Laser 700;STS:40021,3,X;KWZ:7;"),
              "emuls 2=3.10; sys=1.20; main=2.05; vps=3.10; maker=Printer Maker; model=Colour Laser 700(255); "
              "desc=Colour laser printer with duplex unit; status 40021'X'; state 3/1/1; counter 1:7")
        << "only what the new answer names is rewritten";
}

// A status list longer than the one it replaces refills the old items and
// then asks the heap; a failure there ends the parse with 8 and leaves a
// list whose count is its chain, nothing leaked.
TEST(DeviceIdParse, AStatusListThatCannotGrowEndsTheParseConsistently) {
    SKIP_WITHOUT_HEAP_HOOK();
    pattest::HeapHookGuard guard;
    HostRecord record;
    After(record.get(), "", "STS:10001,1,READY;");
    const long live = pattest::LiveHeapBlocks();
    pattest::FailNthAllocation(1);
    EXPECT_EQ(DeviceIdParse("STS:40021/40022/40023,3,X;", 27, record.get()), 8u);
    EXPECT_EQ(Describe(record.get()), "status 40021''; state 1/0/0") << "the refilled item stays, counted";
    EXPECT_EQ(pattest::LiveHeapBlocks(), live);
}

TEST(PunchUnitFind, NamedWordsInAnyOrderAndExactlyAsMany) {
    const PunchUnitRow table[] = {{{"HOLES2", "HOLES3", nullptr, nullptr, nullptr}, 40},
                                  {{nullptr, nullptr, nullptr, nullptr, nullptr}, 0}};
    const char words[5][33] = {"HOLES3", "HOLES2", "HOLES4"};
    EXPECT_EQ(PunchUnitFind(table, words, 2), &table[0]);
    EXPECT_EQ(PunchUnitFind(table, words, 3), nullptr);
    EXPECT_EQ(PunchUnitFind(table, words + 1, 2), nullptr);
}

uint32_t Coverage(const std::string &query, const std::string &answer) {
    return ReplyCoverageCheck(query.c_str(), query.size() + 1, answer.c_str(), answer.size() + 1);
}

TEST(ReplyCoverageCheck, EveryCategoryEchoedWithAFormFeedAfterIt) {
    const std::string query = "\x1B%-12345X@PJL\r\n@PJL INFO CONFIG\r\n@PJL INFO OUTBINSTATUS\r\n\x1B%-12345X";
    const std::string config = "@PJL INFO CONFIG\r\nDUPLEX"s + kFf;
    const std::string bins = "@PJL INFO OUTBINSTATUS\r\nUPPER=READY"s + kFf;
    EXPECT_EQ(Coverage(query, bins + config), 0u) << "any order";
    EXPECT_EQ(Coverage(query, config + bins.substr(0, bins.size() - 1)), PAT_ERROR_REPLY_MISSING) << "no form feed";
    EXPECT_EQ(Coverage(query, "@PJL INFO CONFIG\r\nOUTBINSTATUS"s + kFf), PAT_ERROR_REPLY_MISSING) << "no echo";
    EXPECT_EQ(Coverage(query, "@PJL INFO CONFIG\r\n\f"s + bins), 0u) << "a malformed reply hides nothing";
    EXPECT_EQ(Coverage("@PJL INFO CONFIG\r\n]\r\n", config), 13u) << "malformed query";
    EXPECT_EQ(Coverage("@PJL INFO CONFIG\r\n]\r\n", ""), PAT_ERROR_REPLY_MISSING) << "the missing reply came first";

    // More categories than one pass over the answer takes at a time.
    std::string many = "\x1B%-12345X@PJL\r\n", answer;
    for (int i = 0; i < 150; ++i) {
        many += "@PJL INQUIRE VAR"s + std::to_string(i) + "\r\n";
        if (i != 137) answer = "@PJL INQUIRE VAR"s + std::to_string(i) + "\r\nON" + kFf + answer;
    }
    many += "\x1B%-12345X";
    EXPECT_EQ(Coverage(many, answer), PAT_ERROR_REPLY_MISSING);
    EXPECT_EQ(Coverage(many, answer + "@PJL INQUIRE VAR137\r\nOFF" + kFf), 0u);
}

// The interpretation replays the tokens the coverage check read: with the
// query attached the record is the same as from reading the text alone,
// whether the log holds every token, stops inside a reply (a handler reads
// on from the text), or the check stopped early at the last reply asked.
TEST(ReplyDispatch, ReplayOfTheCoverageCheckGivesTheSameRecord) {
    const std::string trays = "@PJL INFO CONFIG\r\nIN TRAYS [2 ENUMERATED]\r\n\tINTRAY1\r\n\tINTRAYMANUAL\r\n"
                              "VERSION [2 ENUMERATED]\r\n\tFIRMWARE=1.20\r\n\tWENK=2.05\r\nDUPLEX"s + kFf;
    const std::string bins = "@PJL INFO OUTBINSTATUS\r\nUPPER=FULL"s + kFf;
    const std::string status = "@PJL INFO STATUS\r\nCODE=10001"s + kFf;  // 8 tokens
    std::string filler;
    for (int i = 0; i < 300; ++i) filler += status;
    std::vector<std::string> texts = {trays + bins, filler + trays + bins, trays + bins + filler + trays};
    // Logs that fill up at every token of the replies asked for.
    for (size_t replies = 100; replies < 130; ++replies) {
        for (int lines = 0; lines < 3; ++lines) {
            std::string text = "@PJL INFO STATUS\r\n";
            for (int l = 0; l < lines; ++l) text += "X=1\r\n";  // 3 tokens each
            texts.push_back(text + kFf.substr(2) + filler.substr(0, replies * status.size()) + trays + bins);
        }
    }
    for (const std::string &text : texts) {
        HostRecord plain, replayed;
        const std::string expected = pjltest::After(plain.get(), text);
        QueryNode *query = PatCreateQueryInfo(replayed.get(), PAT_REVISION_PJL, PAT_QUERY_CONFIG | PAT_QUERY_OUTBINS);
        pjltest::AnswerTree answer(query, text.c_str(), nullptr);
        ASSERT_EQ(PatSetCentroDataTo(answer.root, 0, replayed.get(), PAT_REVISION_PJL), TRUE) << text.size();
        EXPECT_EQ(Describe(replayed.get()), expected) << text.size();
    }
}

// Anything of the device ID that cannot be stored fails the parse with 8:
// the fields before stay written, the rest is not read.
TEST(DeviceIdParse, AFieldThatCannotBeStoredEndsTheParse) {
    SKIP_WITHOUT_HEAP_HOOK();
    pattest::HeapHookGuard guard;
    HostRecord record;
    pattest::FailNthAllocation(1);
    EXPECT_EQ(DeviceIdParse("MFG:M;DES:D;", 13, record.get()), 8u);
    EXPECT_EQ(Describe(record.get()), "") << "the walk stops at the maker";
    pattest::FailNthAllocation(1);
    EXPECT_EQ(DeviceIdParse("MDL:M;DES:D;", 13, record.get()), 8u);
    EXPECT_EQ(Describe(record.get()), "");
    EXPECT_EQ(record->bModelCode, 255u);
    pattest::FailNthAllocation(3);
    EXPECT_EQ(DeviceIdParse("DES:D;STS:10001/40021,1,x;", 27, record.get()), 8u);
    EXPECT_EQ(record->nEngineStatus, 1u) << "the first code stays, counted";
    EXPECT_EQ(record->pEngineStatus->dwCode, 10001u);
    pattest::FailNthAllocation(1);
    EXPECT_EQ(DeviceIdParse("KWZ:5;", 7, record.get()), 8u);
    EXPECT_EQ(record->nCounterInfo, 0u);
}

}  // namespace
