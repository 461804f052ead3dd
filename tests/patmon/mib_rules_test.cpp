// The rules that turn Printer MIB numbers into levels and states, on
// readings made by hand (the agents' side is in mib_agent_test.cpp).

#include <gtest/gtest.h>

#include <algorithm>

#include "poll/supplies.h"

namespace patmon {
namespace {

MibSupply Supply(int32_t index, std::optional<int32_t> supplyClass, int32_t type, std::optional<int32_t> max,
                 std::optional<int32_t> level) {
    MibSupply s;
    s.deviceIndex = 1;
    s.index = index;
    s.supplyClass = supplyClass;
    s.type = type;
    s.maxCapacity = max;
    s.level = level;
    s.description = "Supply";
    return s;
}

MibAlert Alert(int32_t index, int32_t severity, int32_t group, int32_t groupIndex, int32_t code) {
    MibAlert a;
    a.deviceIndex = 1;
    a.index = index;
    a.severity = severity;
    a.group = group;
    a.groupIndex = groupIndex;
    a.code = code;
    return a;
}

bool HasReason(const MibPrinterState &state, const std::string &reason) {
    return std::find(state.reasons.begin(), state.reasons.end(), reason) != state.reasons.end();
}

TEST(MibRules, SupplyLevelsAndStates) {
    struct Case {
        const char *what;
        std::optional<int32_t> supplyClass;
        int32_t type;
        std::optional<int32_t> max, level;
        std::optional<int> percent;
        const char *state;
        bool receptacle;
    };
    const Case cases[] = {
        {"half full toner", 3, 3, 100, 50, 50, "ok", false},
        {"at the low threshold", 3, 3, 100, 10, 10, "low", false},
        {"just above it", 3, 3, 100, 11, 11, "ok", false},
        {"rounded down, never to zero", 3, 3, 1000, 5, 1, "low", false},
        {"receptacle with a little space", 4, 4, 1000, 5, 99, "low", true},
        {"other max", 3, 3, 2000, 500, 25, "ok", false},
        {"empty", 3, 3, 100, 0, 0, "empty", false},
        {"empty with unknown max", 3, 3, -2, 0, 0, "empty", false},
        {"empty with a max of 0", 3, 3, 0, 0, 0, "empty", false},
        {"some remaining", 3, 3, 100, -3, std::nullopt, "ok", false},
        {"level unknown", 3, 3, 100, -2, std::nullopt, "unknown", false},
        {"level other", 3, 3, 100, -1, std::nullopt, "unknown", false},
        {"level column missing", 3, 3, 100, std::nullopt, std::nullopt, "unknown", false},
        {"max unknown", 3, 3, -2, 40, std::nullopt, "ok", false},
        {"max other", 3, 3, -1, 40, std::nullopt, "ok", false},
        {"max 0", 3, 3, 0, 40, std::nullopt, "ok", false},
        {"level above max", 3, 3, 100, 250, 100, "ok", false},
        {"receptacle, space mostly left", 4, 4, 100, 80, 20, "ok", true},
        {"receptacle nearly full", 4, 4, 100, 5, 95, "low", true},
        {"receptacle full", 4, 4, 100, 0, 100, "full", true},
        {"receptacle full, max unknown", 4, 4, -2, 0, 100, "full", true},
        {"receptacle empty bin", 4, 4, 100, 100, 0, "ok", true},
        {"receptacle with space left, amount unknown", 4, 4, 100, -3, std::nullopt, "ok", true},
        {"receptacle by type, no class", std::nullopt, 8, 200, 50, 75, "ok", true},
        {"waste water by type", std::nullopt, 24, 100, 0, 100, "full", true},
        {"class says consumed, type waste", 3, 4, 100, 0, 0, "empty", false},
    };
    for (const Case &c : cases) {
        MibReading mib;
        mib.supplies.push_back(Supply(1, c.supplyClass, c.type, c.max, c.level));
        const MibReadings r = InterpretMib(mib);
        ASSERT_EQ(r.supplies.size(), 1u) << c.what;
        EXPECT_EQ(r.supplies[0].levelPercent, c.percent) << c.what;
        EXPECT_EQ(r.supplies[0].state, c.state) << c.what;
        EXPECT_EQ(r.supplies[0].receptacle, c.receptacle) << c.what;
    }
}

TEST(MibRules, AlertsAndErrorBitsSetSupplyStates) {
    MibReading mib;
    mib.supplies = {Supply(1, 3, 3, 100, 60), Supply(2, 3, 3, 100, 60), Supply(3, 4, 4, 100, 50),
                    Supply(4, 3, 9, 100, 50)};
    // Toner almost empty for row 2 only, waste full without a row (one waste
    // bottle: it is that one), drum alert for a row that does not exist.
    mib.alerts = {Alert(1, 4, 11, 2, 1104), Alert(2, 3, 11, -1, 1109), Alert(3, 4, 11, 9, 1111)};
    MibReadings r = InterpretMib(mib);
    EXPECT_EQ(r.supplies[0].state, "ok");
    EXPECT_EQ(r.supplies[1].state, "low");
    EXPECT_EQ(r.supplies[1].levelPercent, 60);  // the printer's word, the number kept
    EXPECT_EQ(r.supplies[2].state, "full");
    EXPECT_EQ(r.supplies[3].state, "ok");

    // An empty alert is not softened by a later low one.
    mib.alerts = {Alert(1, 3, 11, 1, 1101), Alert(2, 4, 11, 1, 1104)};
    r = InterpretMib(mib);
    EXPECT_EQ(r.supplies[0].state, "empty");

    // Toner bits name no supply: with two toners they stay on the printer.
    mib.alerts.clear();
    mib.errorFlags.noToner = true;
    r = InterpretMib(mib);
    EXPECT_EQ(r.supplies[0].state, "ok");
    EXPECT_TRUE(HasReason(r.state, "toner-empty"));
    // With one toner the bit is that toner's.
    mib.supplies.erase(mib.supplies.begin() + 1);
    r = InterpretMib(mib);
    EXPECT_EQ(r.supplies[0].state, "empty");
}

TEST(MibRules, NamesColoursAndKinds) {
    MibReading mib;
    mib.supplies = {Supply(1, 3, 3, 100, 50), Supply(2, 3, 21, 100, 50), Supply(3, 3, 9, 100, 50),
                    Supply(4, 3, 99, 100, 50), Supply(7, 3, 15, 100, 50)};
    mib.supplies[0].description = CleanMibText("Black\r\nToner\0\0", 1024);
    mib.supplies[0].colorant = "Black";
    mib.supplies[1].description = CleanMibText(std::string("\x01\x02\x03", 3));
    mib.supplies[2].description = "";
    mib.supplies[3].colorant = "";
    mib.supplies[4].description = CleanMibText("Fixiereinheit \xe4", 1024);  // Latin-1
    const MibReadings r = InterpretMib(mib);
    EXPECT_EQ(r.supplies[0].name, "Black Toner");
    EXPECT_EQ(r.supplies[0].colour, "black");
    EXPECT_EQ(r.supplies[0].kind, "toner");
    EXPECT_EQ(r.supplies[1].name, "supply 2");
    EXPECT_EQ(r.supplies[1].kind, "toner");
    EXPECT_EQ(r.supplies[2].name, "supply 3");
    EXPECT_EQ(r.supplies[2].kind, "drum");
    EXPECT_FALSE(r.supplies[3].colour.has_value());
    EXPECT_EQ(r.supplies[3].kind, "other");
    EXPECT_EQ(r.supplies[4].name, "Fixiereinheit \xc3\xa4");
    EXPECT_EQ(r.supplies[4].kind, "fuser");
}

TEST(MibRules, CleanTextKeepsWhatCanBeShown) {
    EXPECT_EQ(CleanMibText("  Tray\t1 \n"), "Tray 1");
    EXPECT_EQ(CleanMibText(std::string("A\x07" "B", 3)), "A\xef\xbf\xbd" "B");  // shown, not dropped
    EXPECT_EQ(CleanMibText("caf\xc3\xa9"), "caf\xc3\xa9");                       // UTF-8 kept
    EXPECT_EQ(CleanMibText("\xc3"), "\xc3\x83");                                 // a lone byte is Latin-1
    const std::string cut = CleanMibText(std::string(10, 'x') + "\xc3\xa9", 11);
    EXPECT_EQ(cut, std::string(10, 'x'));  // never half a character
}

TEST(MibRules, ErrorStateBits) {
    // Bit 0 is the most significant bit of the first octet.
    PrinterErrorFlags flags = DecodeErrorState(std::string("\x80\x00", 2));
    EXPECT_TRUE(flags.lowPaper);
    EXPECT_EQ(ErrorFlagNames(flags), std::vector<std::string>{"lowPaper"});
    flags = DecodeErrorState(std::string("\x0c\x82", 2));
    EXPECT_EQ(ErrorFlagNames(flags),
              (std::vector<std::string>{"doorOpen", "jammed", "inputTrayMissing", "overduePreventMaint"}));
    EXPECT_EQ(DecodeErrorState(std::string("\x10", 1)).noToner, true);  // one octet: the rest clear
    EXPECT_EQ(DecodeErrorState(""), PrinterErrorFlags{});
    EXPECT_EQ(DecodeErrorState(EncodeErrorState(flags)), flags);
}

TEST(MibRules, PrinterStateFromBitsAlertsAndStatus) {
    MibReading mib;
    mib.deviceStatus = 2;
    mib.printerStatus = 3;
    MibPrinterState state = InterpretMib(mib).state;
    EXPECT_EQ(state.severity, "ok");
    EXPECT_EQ(state.label, "Ready");
    EXPECT_TRUE(state.reasons.empty());

    mib.printerStatus = 5;
    EXPECT_EQ(InterpretMib(mib).state.label, "Warming up");

    mib.errorFlags.lowToner = true;
    state = InterpretMib(mib).state;
    EXPECT_EQ(state.severity, "warning");
    EXPECT_EQ(state.reasons, std::vector<std::string>{"toner-low"});

    // Most severe first; each keyword once; notices (printerReadyToPrint) ignored.
    mib.errorFlags.jammed = true;
    mib.alerts = {Alert(1, 3, 13, 1, 8), Alert(2, 1, 5, -1, 507), Alert(3, 4, 9, 1, 902)};
    state = InterpretMib(mib).state;
    EXPECT_EQ(state.severity, "critical");
    EXPECT_EQ(state.label, "Paper jam");
    EXPECT_EQ(state.reasons, (std::vector<std::string>{"media-jam", "toner-low", "output-area-almost-full"}));

    // A down device is critical even with nothing else said; testing is a warning.
    MibReading down;
    down.deviceStatus = 5;
    EXPECT_EQ(InterpretMib(down).state.severity, "critical");
    EXPECT_EQ(InterpretMib(down).state.label, "Down");
    down.deviceStatus = 4;
    EXPECT_EQ(InterpretMib(down).state.severity, "warning");

    // An alert code unknown here counts by its own severity, with its text.
    MibReading odd;
    odd.alerts = {Alert(1, 4, 5, -1, 40123)};
    odd.alerts[0].description = "Fan noise";
    state = InterpretMib(odd).state;
    EXPECT_EQ(state.severity, "warning");
    EXPECT_EQ(state.reasons, std::vector<std::string>{"other"});
    EXPECT_NE(state.message.find("Fan noise"), std::string::npos);
}

TEST(MibRules, TraysAndOutputs) {
    MibReading mib;
    auto input = [](int32_t index, std::optional<int32_t> max, std::optional<int32_t> level) {
        MibInput in;
        in.deviceIndex = 1;
        in.index = index;
        in.maxCapacity = max;
        in.currentLevel = level;
        return in;
    };
    mib.inputs = {input(1, 500, 250), input(2, 500, 50), input(3, -2, 0), input(4, 500, -3), input(5, 500, -2),
                  input(6, 250, 200)};
    mib.inputs[0].name = "Tray 1";
    mib.inputs[0].dimUnit = 3;  // ten-thousandths of inches
    mib.inputs[0].mediaFeedDim = 110000;
    mib.inputs[0].mediaXFeedDim = 85000;
    mib.alerts = {Alert(1, 4, 8, 6, 807)};
    MibOutput bin;
    bin.deviceIndex = 1;
    bin.index = 1;
    bin.maxCapacity = 200;
    bin.remainingCapacity = 0;
    mib.outputs = {bin};
    const MibReadings r = InterpretMib(mib);
    ASSERT_EQ(r.trays.size(), 6u);
    EXPECT_EQ(r.trays[0].id, "input1");
    EXPECT_EQ(r.trays[0].name, "Tray 1");
    EXPECT_EQ(r.trays[0].size, "Letter");
    EXPECT_EQ(r.trays[0].levelPercent, 50);
    EXPECT_EQ(r.trays[1].state, "low");
    EXPECT_EQ(r.trays[2].state, "empty");
    EXPECT_EQ(r.trays[2].levelPercent, 0);
    EXPECT_EQ(r.trays[3].state, "ok");
    EXPECT_FALSE(r.trays[3].levelPercent.has_value());
    EXPECT_EQ(r.trays[4].state, "unknown");
    EXPECT_EQ(r.trays[4].name, "input 5");
    EXPECT_EQ(r.trays[5].state, "low");  // the alert, though 80 % is left
    ASSERT_EQ(r.outputs.size(), 1u);
    EXPECT_EQ(r.outputs[0].levelPercent, 100);
    EXPECT_EQ(r.outputs[0].state, "full");
}

}  // namespace
}  // namespace patmon
