// Every built-in scenario over real sockets: one `patmon simulate` child
// serves PJL on TCP and the device ID over SNMP; its scenario file is
// rewritten for each scenario, and `patmon poll tcp://...` must show what
// the in-process poll shows.
#include <gtest/gtest.h>

#include <filesystem>

#include "expected.h"
#include "harness.h"

namespace patmontest {
namespace {

using Json = nlohmann::json;

class Loopback : public testing::TestWithParam<ExpectedScenario> {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        simulator_ = new Child;
        // A port picked free can be taken before the simulator binds it.
        for (int attempt = 0; attempt < 3; ++attempt) {
            pjlPort_ = FreeTcpPort();
            snmpPort_ = FreeUdpPort();
            UseScenario("ready");
            simulator_->Start(PATMON_PROGRAM,
                              {"simulate", "--scenario", ScenarioFile(), "--listen",
                               "127.0.0.1:" + std::to_string(pjlPort_), "--snmp",
                               "127.0.0.1:" + std::to_string(snmpPort_)},
                              dir_->File("simulate.log"));
            if (simulator_->WaitForLine("patmon simulate: ", 20s)) return;
            simulator_->Stop();
        }
    }

    static void TearDownTestSuite() {
        // A clean stop: no leak, no error at the end of a long run.
        if (simulator_->Running()) {
            EXPECT_EQ(simulator_->Stop(), 0) << simulator_->Log();
        }
        delete simulator_;
        delete dir_;
    }

    void SetUp() override { ASSERT_TRUE(simulator_->Running()) << "patmon simulate did not start:\n" << simulator_->Log(); }

    static std::string ScenarioFile() { return dir_->File("printer.json"); }

    // Replaces the scenario file in one step, with a modification time
    // that differs from every earlier one whatever the file system's
    // time resolution.
    static void UseScenario(const std::string &name) {
        static int version = 0;
        const std::string next = dir_->File("next.json");
        WriteFile(next, Json{{"base", name}}.dump());
        const auto stamp = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1) +
                           std::chrono::seconds(++version);
        std::filesystem::last_write_time(next, stamp);
        std::filesystem::rename(next, ScenarioFile());
    }

    static RunResult PollOverTcp(const std::string &language, bool answers, const std::string &picture = "") {
        std::vector<std::string> args{"poll",   "tcp://127.0.0.1:" + std::to_string(pjlPort_),
                                      "--snmp", "127.0.0.1:" + std::to_string(snmpPort_),
                                      "--json", "--lang", language, "--timeout", answers ? "10" : "1"};
        if (!picture.empty()) {
            args.push_back("--picture");
            args.push_back(picture);
        }
        return RunPatmon(args);
    }

    static TempDir *dir_;
    static Child *simulator_;
    static uint16_t pjlPort_, snmpPort_;
};

TempDir *Loopback::dir_ = nullptr;
Child *Loopback::simulator_ = nullptr;
uint16_t Loopback::pjlPort_ = 0;
uint16_t Loopback::snmpPort_ = 0;

TEST_P(Loopback, ShowsWhatTheInProcessPollShows) {
    const ExpectedScenario &e = GetParam();
    const bool answers = !e.trays.empty();
    UseScenario(e.name);
    const std::string png = dir_->File(e.name + ".png");
    for (const std::string language : {"EN", "JP"}) {
        SCOPED_TRACE(language);
        const RunResult run = PollOverTcp(language, answers, language == "EN" ? png : "");
        ASSERT_FALSE(run.timedOut);
        EXPECT_EQ(run.exitCode, answers ? 0 : 1) << run.err;
        if (answers) {
            EXPECT_EQ(run.err, "");
        } else {
            EXPECT_EQ(run.err.rfind("patmon: the printer's PJL port at 127.0.0.1:", 0), 0u) << run.err;
        }
        const Json doc = Json::parse(run.out, nullptr, false);
        ASSERT_FALSE(doc.is_discarded()) << run.out;
        CheckResultJson(doc, e, language);
        const Json inProcess = PollInProcess(e.name, language);
        for (const char *part : {"printer", "record", "status", "trays", "picture"}) EXPECT_EQ(doc[part], inProcess[part]) << part;
        if (language == "EN") CheckPicture(png, doc);
    }
}

INSTANTIATE_TEST_SUITE_P(BuiltIn, Loopback, testing::ValuesIn(ExpectedScenarios()),
                         ScenarioTestName);

}  // namespace
}  // namespace patmontest
