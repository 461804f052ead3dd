// Every built-in scenario polled in process, as patmon polls the virtual
// printer: status text in English and Japanese, the JSON of the record,
// and the status picture as PNG; then the program's own output.
#include <gtest/gtest.h>

#include "expected.h"
#include "harness.h"
#include "outputs/json_output.h"
#include "outputs/picture.h"
#include "simulator/printer_model.h"
#include "simulator/virtual_transport.h"

namespace patmontest {
namespace {

using Json = nlohmann::json;

TEST(Scenarios, TheExpectedTableCoversEveryBuiltInScenarioInListingOrder) {
    std::vector<std::string> builtIn, expected;
    for (const patmon::Scenario &s : patmon::BuiltInScenarios()) builtIn.push_back(s.name);
    for (const ExpectedScenario &e : ExpectedScenarios()) expected.push_back(e.name);
    EXPECT_EQ(builtIn, expected);
}

class InProcess : public testing::TestWithParam<ExpectedScenario> {};

TEST_P(InProcess, ShowsTheStatusRecordAndPicture) {
    const ExpectedScenario &e = GetParam();
    patmon::PollResult result;
    const Json english = PollInProcess(e.name, "EN", &result);
    CheckResultJson(english, e, "EN");
    CheckResultJson(PollInProcess(e.name, "JP"), e, "JP");

    std::vector<std::string> missing;
    const patmon::Image image = patmon::ComposePicture(result.picture, &missing);
    EXPECT_EQ(missing, std::vector<std::string>{});
    TempDir dir;
    std::string error;
    ASSERT_TRUE(patmon::WritePng(image, dir.File("status.png"), &error)) << error;
    CheckPicture(dir.File("status.png"), english);
}

INSTANTIATE_TEST_SUITE_P(BuiltIn, InProcess, testing::ValuesIn(ExpectedScenarios()),
                         ScenarioTestName);

// A host keeps one record per printer across polls (patmon watch): the
// second poll replaces the lists of the first instead of adding to them.
TEST(Polling, AgainIntoTheSameRecordGivesTheSameRecord) {
    ASSERT_TRUE(PatSetLocale("EN"));
    const std::unique_ptr<patmon::Transport> transport =
        patmon::VirtualTransport(*patmon::ScenarioPrinter("feed-units"));
    patmon::PrinterRecord record;
    const patmon::PollResult first = patmon::Poll(*transport, record, {}, "EN");
    const patmon::PollContext context{"virtual:feed-units", std::chrono::system_clock::time_point{}};
    const Json once = Json::parse(patmon::ResultJson(first, record, context));
    const patmon::PollResult second = patmon::Poll(*transport, record, {}, "EN");
    EXPECT_EQ(Json::parse(patmon::ResultJson(second, record, context)), once);
    CheckResultJson(once, Expected("feed-units"), "EN");
}

// A scenario file starts from a built-in scenario and changes what it names.
TEST(Program, PollsAPrinterDescribedByAScenarioFile) {
    TempDir dir;
    WriteFile(dir.File("printer.json"), R"({"base": "cover-open", "model": "Office 9", "pageCount": 4242,
        "trays": [{"tray": "1", "level": "2/5", "size": "LETTERSRT"}, {"tray": "2", "installed": true}]})");
    const RunResult run = RunPatmon({"poll", "virtual:" + dir.File("printer.json"), "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const Json doc = Json::parse(run.out);
    EXPECT_EQ(doc["status"]["label"], "Cover Open");
    EXPECT_EQ(doc["record"]["PrnInfoEx"]["pModelName"], "Office 9");
    EXPECT_EQ(doc["record"]["PrnInfoEx"]["pCounterInfo"][0]["dwValue"], 4242);
    const Json &trays = doc["record"]["PrnInfoEx"]["pTrayInfo"];
    ASSERT_EQ(trays.size(), 3u);
    EXPECT_EQ(trays[1]["wTray"], 3);
    EXPECT_EQ(trays[1]["wPaperSize"], 23);
    EXPECT_EQ(trays[1]["wPaperLevel"], 40);
    EXPECT_EQ(trays[2]["wTray"], 4);
    EXPECT_EQ(trays[2]["wPaperLevel"], 100);
}

// Without arguments: the virtual printer in scenario "ready", as text.
TEST(Program, ShowsTheReadyVirtualPrinterByDefault) {
    const RunResult run = RunPatmon({});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out.rfind("Operational\nReady\n\n", 0), 0u) << run.out;
    EXPECT_NE(run.out.find("\nmodel: Colour Laser 500\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\npage counter: 18324\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\nstatus codes: 10001\n"), std::string::npos) << run.out;
}

// Polish texts are in code page 1250; the terminal gets UTF-8 (pl.rc 1095,
// 2095 and 3007).
// A built-in scenario shown as a file polls as the scenario itself.
TEST(Program, ShowsABuiltInScenarioAsAFileToEdit) {
    TempDir dir;
    const RunResult shown = RunPatmon({"scenarios", "--show", "toner-low"});
    ASSERT_EQ(shown.exitCode, 0) << shown.err;
    WriteFile(dir.File("printer.json"), shown.out);
    const RunResult fromFile = RunPatmon({"poll", "virtual:" + dir.File("printer.json")});
    const RunResult builtIn = RunPatmon({"poll", "virtual:toner-low"});
    EXPECT_EQ(fromFile.out, builtIn.out);
    EXPECT_EQ(RunPatmon({"scenarios", "--show", "toner-empty"}).exitCode, 2);
    const RunResult version = RunPatmon({"--version"});
    EXPECT_EQ(version.out.rfind("patmon 1.", 0), 0u) << version.out;
}

TEST(Program, WritesPolishTextInUtf8) {
    const RunResult run = RunPatmon({"poll", "virtual:cover-open", "--lang", "PL"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out.rfind("Otwarta pokrywa\nZamknij wskazaną pokrywę.\nPokrywa górna\n\n", 0), 0u) << run.out;
}

// The virtual printer that never answers: the record says so, the text
// and picture show it, and the exit status tells a script.
TEST(Program, ReportsAPrinterThatDoesNotAnswer) {
    TempDir dir;
    const RunResult run = RunPatmon({"poll", "virtual:no-response", "--json", "--picture", dir.File("p.png")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "patmon: the printer did not answer within 5000 ms\n");
    const Json doc = Json::parse(run.out);
    CheckResultJson(doc, Expected("no-response"), "EN");
    CheckPicture(dir.File("p.png"), doc);
}

}  // namespace
}  // namespace patmontest
