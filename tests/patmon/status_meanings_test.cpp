// What each status code means (severity, printer-state-reason, part and
// colour), checked row by row against printer states chosen from what the
// printer's messages say, not from the table; and the print queue's
// reasons and markers made from it.
#include "cups/state_reasons.h"
#include "poll/status_meanings.h"

#include <gtest/gtest.h>

#include <cstring>

namespace patmon {
namespace {

struct Example {
    uint32_t code;
    const char *state;   // what the printer says
    const char *reason;  // what the queue must show; "" for nothing
};

const Example kExamples[] = {
    {4294967042u, "no answer from the printer", "offline-report"},
    {40800, "service call", "other-error"},
    {42000, "paper misfeed", "media-jam-error"},
    {42001, "paper misfeed behind the front cover", "media-jam-error"},
    {42004, "paper misfeed", "media-jam-error"},
    {42009, "paper misfeed", "media-jam-error"},
    {40100, "fusing unit missing", "other-error"},
    {40141, "transfer unit missing", "other-error"},
    {40152, "black PCU missing", "other-error"},
    {40153, "cyan PCU missing", "other-error"},
    {40154, "magenta PCU missing", "other-error"},
    {40155, "yellow PCU missing", "other-error"},
    {40132, "black toner out or not set", "toner-empty-error"},
    {40133, "cyan toner out or not set", "toner-empty-error"},
    {40134, "magenta toner out or not set", "toner-empty-error"},
    {40135, "yellow toner out or not set", "toner-empty-error"},
    {40159, "waste toner bottle missing", "other-error"},
    {40206, "a cover open", "cover-open-error"},
    {40208, "top cover open", "cover-open-error"},
    {40903, "paper left on the bypass tray", "other-error"},
    {40011, "waste toner bottle full", "marker-waste-full-error"},
    {40041, "replace the colour PCU", "opc-life-over-error"},
    {40042, "replace the black PCU", "opc-life-over-error"},
    {40020, "replace the maintenance kit", "other-error"},
    {40028, "replace the transfer unit", "other-error"},
    {40012, "black toner run out", "toner-empty-error"},
    {40013, "cyan toner run out", "toner-empty-error"},
    {40014, "magenta toner run out", "toner-empty-error"},
    {40015, "yellow toner run out", "toner-empty-error"},
    {40300, "output tray full", "output-area-full-error"},
    {41100, "selected bypass tray not there", "input-tray-missing-error"},
    {41200, "selected tray 1 not there", "input-tray-missing-error"},
    {41300, "selected tray 2 not there", "input-tray-missing-error"},
    {41400, "selected tray 3 not there", "input-tray-missing-error"},
    {41105, "selected bypass tray empty", "media-empty-error"},
    {41213, "selected tray 1 empty", "media-empty-error"},
    {41399, "selected tray 2 empty", "media-empty-error"},
    {41401, "selected tray 3 empty", "media-empty-error"},
    {45017, "paper type and size mismatch", "media-needed-error"},
    {46100, "paper type mismatch, bypass tray", "media-needed-error"},
    {46233, "paper type mismatch, tray 1", "media-needed-error"},
    {46301, "paper type mismatch, tray 2", "media-needed-error"},
    {46499, "paper type mismatch, tray 3", "media-needed-error"},
    {47102, "paper size mismatch, bypass tray", "media-needed-error"},
    {47250, "paper size mismatch, tray 1", "media-needed-error"},
    {47311, "paper size mismatch, tray 2", "media-needed-error"},
    {47400, "paper size mismatch, tray 3", "media-needed-error"},
    {48120, "paper type and size mismatch, bypass tray", "media-needed-error"},
    {48209, "paper type and size mismatch, tray 1", "media-needed-error"},
    {48377, "paper type and size mismatch, tray 2", "media-needed-error"},
    {48444, "paper type and size mismatch, tray 3", "media-needed-error"},
    {40991, "load paper in the bypass tray", "media-needed-error"},
    {40992, "load paper in tray 1", "media-needed-error"},
    {40993, "load paper in tray 2", "media-needed-error"},
    {40994, "load paper in tray 3", "media-needed-error"},
    {40979, "page description language error", "other-error"},
    {10002, "offline", "offline-error"},
    {30013, "cyan toner run out, black still prints", "toner-empty-warning"},
    {30014, "magenta toner run out, black still prints", "toner-empty-warning"},
    {30015, "yellow toner run out, black still prints", "toner-empty-warning"},
    {30403, "colour PCU to be replaced", "opc-life-over-warning"},
    {30407, "black PCU to be replaced", "opc-life-over-warning"},
    {30400, "maintenance kit to be replaced", "other-warning"},
    {30405, "fusing unit to be replaced", "other-warning"},
    {30409, "transfer unit to be replaced", "other-warning"},
    {10032, "waste toner bottle almost full", "marker-waste-almost-full-warning"},
    {30991, "bypass tray empty", "media-empty-warning"},
    {30992, "tray 1 empty", "media-empty-warning"},
    {30993, "tray 2 empty", "media-empty-warning"},
    {30994, "tray 3 empty", "media-empty-warning"},
    {10072, "black toner low", "toner-low-warning"},
    {10073, "cyan toner low", "toner-low-warning"},
    {10074, "magenta toner low", "toner-low-warning"},
    {10075, "yellow toner low", "toner-low-warning"},
    {30426, "black PCU near its end", "opc-near-eol-warning"},
    {30429, "colour PCU near its end", "opc-near-eol-warning"},
    {30427, "a part near its end", "other-warning"},
    {30428, "transfer unit near its end", "other-warning"},
    {30440, "maintenance kit near its end", "other-warning"},
    {12201, "tray 1 not pushed in", "input-tray-missing-warning"},
    {12301, "tray 2 not pushed in", "input-tray-missing-warning"},
    {12401, "tray 3 not pushed in", "input-tray-missing-warning"},
    {13200, "tray 1 empty, another tray feeds", "media-empty-warning"},
    {13300, "tray 2 empty, another tray feeds", "media-empty-warning"},
    {13400, "tray 3 empty, another tray feeds", "media-empty-warning"},
    {30330, "an output tray full", "output-area-full-warning"},
    {30136, "toner of another supplier", "other-warning"},
    {30607, "SD card authentication failed", "other-report"},
    {30608, "remote service gateway unreachable", "other-report"},
    {30609, "supplies order failed", "other-report"},
    {30610, "certificate renewal failed", "other-report"},
    {30616, "remote diagnostics unreachable", "other-report"},
    {30617, "proxy refused", "other-report"},
    {30619, "log data nearly full", "other-report"},
    {30620, "log data full", "other-report"},
    {30621, "log transfer failed", "other-report"},
    {50105, "hard disk fault", "other-warning"},
    {50114, "USB interface fault", "other-warning"},
    {10035, "hex dump mode", "other-report"},
    {10047, "jobs suspended", "other-warning"},
    {10001, "ready", ""},
    {10003, "warming up", ""},
    {10004, "warming up", ""},
    {10023, "printing", ""},
    {10033, "energy saver", ""},
    {10036, "warming up", ""},
    {10037, "warming up", ""},
    // Codes of this family that no row names: their class decides.
    {40555, "an unlisted stop", "other-error"},
    {39999, "an unlisted warning", "other-warning"},
    {59000, "an unlisted interface fault", "other-warning"},
    {10099, "an unlisted state", "other-report"},
    // Not a code of this family at all.
    {99, "nonsense", "other-warning"},
    {411000, "six digits", "other-warning"},
};

TEST(StatusMeanings, EveryExampleGivesTheReasonItsStateMeans) {
    for (const Example &example : kExamples) {
        EXPECT_EQ(ReasonOf(example.code), example.reason) << example.code << " (" << example.state << ")";
    }
}

// Every row is reached by some example, so no row goes untested.
TEST(StatusMeanings, EveryRowHasAnExample) {
    for (const StatusMeaning &row : StatusMeanings()) {
        bool found = false;
        for (const Example &example : kExamples) found = found || &MeaningOf(example.code) == &row;
        EXPECT_TRUE(found) << "no example reaches the row " << row.key;
    }
}

// Keywords a print queue understands; a misspelt one would show as an
// unknown reason in every print dialog.
TEST(StatusMeanings, KeywordsAreIppPrinterStateReasons) {
    const std::set<std::string> known = {
        "other", "media-needed", "media-jam", "toner-low", "toner-empty", "cover-open", "door-open",
        "input-tray-missing", "media-empty", "output-area-full", "marker-waste-almost-full", "marker-waste-full",
        "opc-near-eol", "opc-life-over", "offline"};
    for (const StatusMeaning &row : StatusMeanings()) {
        if (row.reason != nullptr) {
            EXPECT_EQ(known.count(row.reason), 1u) << row.reason;
        }
    }
    for (const std::string &reason : AllReasons()) {
        const size_t dash = reason.rfind('-');
        const std::string suffix = reason.substr(dash);
        EXPECT_TRUE(suffix == "-error" || suffix == "-warning" || suffix == "-report") << reason;
    }
}

TEST(StatusMeanings, APrinterReportingSeveralCodesShowsEachReasonOnce) {
    EXPECT_EQ(ReasonsOf({10001, 40012, 40013, 40014, 40015}), std::set<std::string>{"toner-empty-error"});
    EXPECT_EQ(ReasonsOf({40208, 10072, 13300}),
              (std::set<std::string>{"cover-open-error", "toner-low-warning", "media-empty-warning"}));
    EXPECT_TRUE(ReasonsOf({10001}).empty());
    EXPECT_TRUE(ReasonsOf({}).empty());
    EXPECT_TRUE(IsError("cover-open-error"));
    EXPECT_FALSE(IsError("toner-low-warning"));
    EXPECT_FALSE(IsError("-error"));
}

TEST(StatusMeanings, MarkersFollowTheTonerCodes) {
    auto levels = [](const std::vector<uint32_t> &codes) {
        std::vector<int> out;
        for (const Marker &marker : MarkersOf(codes)) out.push_back(marker.level);
        return out;
    };
    EXPECT_EQ(levels({10001}), (std::vector<int>{-3, -3, -3, -3}));
    EXPECT_EQ(levels({40012}), (std::vector<int>{0, -3, -3, -3}));
    EXPECT_EQ(levels({40135, 30014}), (std::vector<int>{-3, -3, 0, 0}));
    const std::vector<Marker> markers = MarkersOf({10073});
    ASSERT_EQ(markers.size(), 4u);
    EXPECT_EQ(markers[1].colour, "#00FFFF");
    EXPECT_TRUE(markers[1].low);
    EXPECT_FALSE(markers[0].low);
}

// A colour belongs to a toner or a drum; every toner code of one colour
// gives that colour's state, whatever its severity.
TEST(StatusMeanings, TonerCodesGiveTheirColoursState) {
    for (const StatusMeaning &row : StatusMeanings()) {
        if (row.colour == nullptr) continue;
        ASSERT_NE(row.part, nullptr) << row.key;
        EXPECT_TRUE(std::strcmp(row.part, "toner") == 0 || std::strcmp(row.part, "drum") == 0) << row.key;
    }
    using S = TonerState;
    auto states = [](std::vector<uint32_t> codes) { return TonerStatesOf(codes); };
    EXPECT_EQ(states({10001}), (std::array<S, 4>{S::Fine, S::Fine, S::Fine, S::Fine}));
    EXPECT_EQ(states({40132, 30013, 40014, 10075}), (std::array<S, 4>{S::Empty, S::Empty, S::Empty, S::Low}));
    EXPECT_EQ(states({40135, 10075}), (std::array<S, 4>{S::Fine, S::Fine, S::Fine, S::Empty}));
    EXPECT_EQ(states({30136, 40152}), (std::array<S, 4>{S::Fine, S::Fine, S::Fine, S::Fine}));
}

TEST(StatusMeanings, APrinterIsAsUrgentAsItsMostUrgentCode) {
    EXPECT_EQ(SeverityOf({}), Severity::Ok);
    EXPECT_EQ(SeverityOf({10001, 30607}), Severity::Ok);
    EXPECT_EQ(SeverityOf({10001, 10072}), Severity::Warning);
    EXPECT_EQ(SeverityOf({10072, 42000, 30013}), Severity::Critical);
    EXPECT_EQ(SeverityOf({99}), Severity::Warning);  // not a code of this family
    EXPECT_STREQ(SeverityName(Severity::Ok), "ok");
    EXPECT_STREQ(SeverityName(Severity::Warning), "warning");
    EXPECT_STREQ(SeverityName(Severity::Critical), "critical");
}

// The supplies of a printer's standard MIB as the queue's markers: levels
// in percent, a waste bottle's level how full it is, colours and types in
// the print system's words, the MIB's reasons with the printer's severity.
TEST(StatusMeanings, MibSuppliesBecomeTheQueuesMarkersAndReasons) {
    const std::vector<PollSupply> supplies = {
        {"Black Toner", std::string("black"), "toner", 5, "low"},
        {"Waste Toner Bottle", std::nullopt, "wasteToner", 95, "low"},
        {"Fuser", std::nullopt, "fuser", std::nullopt, "ok"},
        {"Drum", std::nullopt, "drum", std::nullopt, "unknown"},
    };
    const std::vector<Marker> markers = MarkersOfSupplies(supplies);
    ASSERT_EQ(markers.size(), 4u);
    EXPECT_EQ(markers[0].colour, "#000000");
    EXPECT_EQ(markers[0].level, 5);
    EXPECT_TRUE(markers[0].low);
    EXPECT_EQ(markers[1].type, "waste-toner");
    EXPECT_EQ(markers[1].level, 95);
    EXPECT_EQ(markers[1].highLevel, 90);
    EXPECT_EQ(markers[2].level, -3);  // some left, amount unknown
    EXPECT_EQ(markers[3].level, -2);
    EXPECT_EQ(markers[3].type, "opc");
    PollReadings readings;
    readings.severity = "critical";
    readings.reasons = {"media-empty", "door-open"};
    EXPECT_EQ(MibReasonsOf(readings), (std::set<std::string>{"media-empty-error", "door-open-error"}));
}

}  // namespace
}  // namespace patmon
