// ReadPrinterMib against real agents on 127.0.0.1: snmpsim replaying the
// recordings of tests/mib/data (one community, and v3 context, per file),
// Debian's snmpd for the SNMPv3 errors, and patmon simulate's own agent.
// The numbers are checked through poll/supplies, as patmon shows them.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "harness.h"
#include "poll/supplies.h"
#include "transports/printer_mib.h"
#include "transports/snmp.h"

namespace patmon {
namespace {

using namespace patmontest;
using Clock = std::chrono::steady_clock;

constexpr char kV3User[] = "patmon-reader";
constexpr char kV3Auth[] = "patprn-auth-pass";
constexpr char kV3Priv[] = "patprn-priv-pass";

std::string SnmpsimProgram() {
    for (const char *path : {"/usr/bin/snmpsimd", "/usr/bin/snmpsim-command-responder", "/usr/local/bin/snmpsimd",
                             "/usr/local/bin/snmpsim-command-responder"}) {
        if (access(path, X_OK) == 0) return path;
    }
    return "";
}

// One snmpsim for the whole suite: every recording of tests/mib/data,
// plus one made here with more rows than a reading keeps.
class Snmpsim {
public:
    static Snmpsim *Get() {
        static std::unique_ptr<Snmpsim> instance = [] {
            auto sim = std::make_unique<Snmpsim>();
            sim->Start();
            return sim;
        }();
        return instance->port_ != 0 ? instance.get() : nullptr;
    }
    uint16_t port() const { return port_; }
    std::string problem;

    void Start() {
        const std::string program = SnmpsimProgram();
        if (program.empty()) {
            problem = "snmpsim is not installed (Debian package snmpsim)";
            return;
        }
        // snmpsim run as root drops to nobody, who must read the data and
        // write the index cache.
        chmod(dir_.path.c_str(), 0755);
        const std::string data = dir_.File("data"), cache = dir_.File("cache");
        std::filesystem::create_directories(data);
        std::filesystem::create_directories(cache);
        chmod(data.c_str(), 0755);
        chmod(cache.c_str(), 0777);
        for (const auto &entry : std::filesystem::directory_iterator(std::string(PATPRN_SOURCE_DIR) + "/tests/mib/data")) {
            if (entry.path().extension() == ".snmprec") {
                std::filesystem::copy_file(entry.path(), data + "/" + entry.path().filename().string());
            }
        }
        std::ostringstream many;
        many << "1.3.6.1.2.1.1.1.0|4|Other Maker Flood\n";
        for (int column : {2, 7}) {
            for (int i = 1; i <= 1200; ++i) {
                many << "1.3.6.1.2.1.43.18.1.1." << column << ".1." << i << "|2|" << (column == 2 ? 4 : 40000 + i)
                     << "\n";
            }
        }
        WriteFile(data + "/many-rows.snmprec", many.str());
        for (const auto &entry : std::filesystem::directory_iterator(data)) chmod(entry.path().c_str(), 0644);

        const uint16_t port = FreeUdpPort();
        std::vector<std::string> args = {"--data-dir=" + data, "--cache-dir=" + cache,
                                         "--agent-udpv4-endpoint=127.0.0.1:" + std::to_string(port),
                                         "--v3-user=" + std::string(kV3User), "--v3-auth-key=" + std::string(kV3Auth),
                                         "--v3-auth-proto=SHA", "--v3-priv-key=" + std::string(kV3Priv),
                                         "--v3-priv-proto=AES", "--logging-method=null"};
        if (geteuid() == 0) {
            args.push_back("--process-user=nobody");
            args.push_back("--process-group=nogroup");
        }
        if (!child_.Start(program, args, dir_.File("snmpsim.log"))) {
            problem = "snmpsim did not start";
            return;
        }
        // Ready once it answers (it indexes the recordings first).
        const auto giveUp = Clock::now() + 60s;
        PrinterMibSource probe{"127.0.0.1", port, SnmpVersion::kV2c, "edge-cases", {}};
        while (Clock::now() < giveUp && child_.Running()) {
            std::string error;
            if (ReadPrinterMib(probe, Clock::now() + 1s, &error)) {
                port_ = port;
                return;
            }
        }
        problem = "snmpsim did not answer: " + child_.Log();
    }

private:
    TempDir dir_;
    Child child_;
    uint16_t port_ = 0;
};

class MibAgent : public ::testing::Test {
protected:
    void SetUp() override {
        sim_ = Snmpsim::Get();
        if (sim_ == nullptr) GTEST_SKIP() << "no snmpsim agent";
    }
    std::optional<MibReading> Read(const std::string &community, SnmpVersion version = SnmpVersion::kV2c,
                                   std::string *error = nullptr, std::chrono::milliseconds limit = 20s) {
        std::string ignored;
        PrinterMibSource source{"127.0.0.1", sim_->port(), version, community, {}};
        return ReadPrinterMib(source, Clock::now() + limit, error != nullptr ? error : &ignored);
    }
    Snmpsim *sim_ = nullptr;
};

// Everything of a reading on lines, to compare two readings.
std::string Describe(const MibReading &m) {
    std::ostringstream out;
    auto o = [](const std::optional<int32_t> &v) { return v ? std::to_string(*v) : std::string("-"); };
    out << "device " << o(m.printerDevice) << " '" << m.deviceDescription << "' status " << o(m.deviceStatus) << "/"
        << o(m.printerStatus) << " flags";
    for (const std::string &flag : ErrorFlagNames(m.errorFlags)) out << ' ' << flag;
    out << " pages " << (m.pageCount ? std::to_string(*m.pageCount) : "-") << " serial " << m.serialNumber << " sys '"
        << m.sysName << "' '" << m.sysDescr << "'\n";
    for (const MibSupply &s : m.supplies) {
        out << "supply " << s.index << " '" << s.description << "' " << o(s.supplyClass) << " " << o(s.type) << " "
            << o(s.unit) << " " << o(s.maxCapacity) << " " << o(s.level) << " " << s.colorant.value_or("-") << "\n";
    }
    for (const MibInput &i : m.inputs) {
        out << "input " << i.index << " '" << i.name << "' " << o(i.maxCapacity) << " " << o(i.currentLevel) << " "
            << i.mediaName << " " << o(i.mediaFeedDim) << "x" << o(i.mediaXFeedDim) << "\n";
    }
    for (const MibOutput &b : m.outputs) {
        out << "output " << b.index << " '" << b.name << "' " << o(b.maxCapacity) << " " << o(b.remainingCapacity) << "\n";
    }
    for (const MibAlert &a : m.alerts) {
        out << "alert " << a.index << " " << o(a.severity) << " " << o(a.group) << " " << o(a.groupIndex) << " "
            << o(a.code) << " '" << a.description << "'\n";
    }
    return out.str();
}

TEST_F(MibAgent, EdgeCasesOfLevelsNamesAndColours) {
    std::string error;
    const std::optional<MibReading> mib = Read("edge-cases", SnmpVersion::kV2c, &error);
    ASSERT_TRUE(mib) << error;
    EXPECT_EQ(mib->deviceDescription, "Other Maker Inkwell 9");
    EXPECT_EQ(mib->serialNumber, "OM-0042");
    EXPECT_EQ(mib->pageCount, 98765u);
    EXPECT_TRUE(mib->errorFlags.lowToner);
    ASSERT_EQ(mib->supplies.size(), 11u);  // every row, none dropped
    for (size_t i = 0; i < mib->supplies.size(); ++i) EXPECT_EQ(mib->supplies[i].index, static_cast<int32_t>(i) + 1);
    EXPECT_FALSE(mib->supplies[5].supplyClass.has_value());  // the column the recording leaves out

    const MibReadings r = InterpretMib(*mib);
    struct Expect {
        size_t row;
        const char *name;
        std::optional<std::string> colour;
        std::optional<int> percent;
        const char *state;
    };
    const Expect expected[] = {
        {0, "Black Toner", "black", 55, "ok"},
        {1, "Cyan Toner", "cyan", std::nullopt, "ok"},         // -3: some left
        {2, "Magenta Toner", "magenta", std::nullopt, "unknown"},  // -2
        {3, "Spot Toner", std::nullopt, std::nullopt, "unknown"},  // -1, colorant row missing
        {4, "Waste Toner Box", std::nullopt, 70, "ok"},        // 30 % space left
        {5, "Second Waste Box", std::nullopt, 100, "full"},    // no class column: a waste type; 0 space
        {6, "Drum", std::nullopt, std::nullopt, "ok"},         // max 0
        {7, "Grey Toner", std::nullopt, 0, "empty"},           // 0 with max unknown
        {8, "supply 9", std::nullopt, 100, "ok"},              // garbled name; level above max
        {9, "Yellow Toner", "yellow", 5, "low"},               // control characters cleaned
        {10, "Light Black Toner", std::nullopt, 50, "low"},    // the printer's alert
    };
    for (const Expect &e : expected) {
        const SupplyReading &s = r.supplies[e.row];
        EXPECT_EQ(s.name, e.name) << e.row;
        EXPECT_EQ(s.colour, e.colour) << e.name;
        EXPECT_EQ(s.levelPercent, e.percent) << e.name;
        EXPECT_EQ(s.state, e.state) << e.name;
    }
    EXPECT_TRUE(r.supplies[4].receptacle);
    EXPECT_EQ(r.supplies[8].kind, "fuser");
    EXPECT_EQ(r.supplies[9].kind, "toner");

    ASSERT_EQ(r.trays.size(), 4u);
    EXPECT_EQ(r.trays[0].size, "A4");
    EXPECT_EQ(r.trays[0].state, "ok");
    EXPECT_FALSE(r.trays[0].levelPercent.has_value());
    EXPECT_EQ(r.trays[1].name, "Tray 2");  // no name column: the description
    EXPECT_EQ(r.trays[1].size, "Letter");
    EXPECT_EQ(r.trays[2].state, "empty");
    EXPECT_EQ(r.trays[3].levelPercent, 10);
    EXPECT_EQ(r.trays[3].state, "low");
    ASSERT_EQ(r.outputs.size(), 1u);
    EXPECT_EQ(r.outputs[0].levelPercent, 95);
    EXPECT_EQ(r.outputs[0].state, "almost full");
    EXPECT_EQ(r.state.severity, "warning");
    EXPECT_EQ(r.state.reasons, std::vector<std::string>{"toner-low"});
}

TEST_F(MibAgent, AlertsWithoutSupplies) {
    std::string error;
    const std::optional<MibReading> mib = Read("alerts-only", SnmpVersion::kV2c, &error);
    ASSERT_TRUE(mib) << error;
    EXPECT_TRUE(mib->supplies.empty());
    ASSERT_EQ(mib->alerts.size(), 5u);
    EXPECT_EQ(mib->alerts[3].description, "Fan noise detected");
    const MibReadings r = InterpretMib(*mib);
    EXPECT_EQ(r.state.severity, "critical");
    EXPECT_EQ(r.state.label, "Door open");
    const std::vector<std::string> want = {"door-open", "media-jam", "input-tray-missing", "marker-waste-full",
                                           "other", "media-low"};
    EXPECT_EQ(r.state.reasons, want);
    EXPECT_NE(r.state.message.find("Fan noise detected."), std::string::npos);
}

TEST_F(MibAgent, SnmpV1WalksGiveTheSameReading) {
    for (const char *community : {"edge-cases", "alerts-only", "simulator-toner-low"}) {
        std::string error;
        const std::optional<MibReading> v2 = Read(community, SnmpVersion::kV2c, &error);
        ASSERT_TRUE(v2) << error;
        const std::optional<MibReading> v1 = Read(community, SnmpVersion::kV1, &error);
        ASSERT_TRUE(v1) << error;
        EXPECT_EQ(Describe(*v1), Describe(*v2)) << community;
    }
}

TEST_F(MibAgent, SnmpV3AuthPrivReadsTheTables) {
    PrinterMibSource source{"127.0.0.1", sim_->port(), SnmpVersion::kV3, "", {}};
    source.v3 = {kV3User, "SHA", kV3Auth, "AES", kV3Priv, "edge-cases"};
    std::string error;
    const std::optional<MibReading> mib = ReadPrinterMib(source, Clock::now() + 20s, &error);
    ASSERT_TRUE(mib) << error;
    EXPECT_EQ(Describe(*mib), Describe(*Read("edge-cases")));
}

TEST_F(MibAgent, BoundsAndUnansweredRequests) {
    std::string error;
    const std::optional<MibReading> many = Read("many-rows", SnmpVersion::kV2c, &error, 60s);
    ASSERT_TRUE(many) << error;
    EXPECT_EQ(many->alerts.size(), kMaxMibRows);
    EXPECT_TRUE(many->truncated);
    EXPECT_EQ(many->alerts.back().code, 40000 + static_cast<int32_t>(kMaxMibRows));  // each row whole

    // A wrong community: the agent stays silent until the deadline.
    const auto start = Clock::now();
    EXPECT_FALSE(Read("no-such-community", SnmpVersion::kV2c, &error, 1500ms));
    EXPECT_LT(Clock::now() - start, 5s);
    EXPECT_EQ(error, "SNMP agent at 127.0.0.1:" + std::to_string(sim_->port()) +
                         ": no answer: check the agent's address, port and community");
}

TEST(MibAgentErrors, SilentAgentAndNoPrinterMib) {
    SilentUdp silent;
    std::string error;
    const auto start = Clock::now();
    PrinterMibSource source{"127.0.0.1", silent.port(), SnmpVersion::kV1, "public", {}};
    EXPECT_FALSE(ReadPrinterMib(source, Clock::now() + 1s, &error));
    EXPECT_LT(Clock::now() - start, 4s);
    EXPECT_NE(error.find("no answer: check the agent's address, port and community"), std::string::npos) << error;

    source.version = SnmpVersion::kV3;
    source.v3 = {"someone", "SHA-256", "short", "", "", ""};
    EXPECT_FALSE(ReadPrinterMib(source, Clock::now() + 1s, &error));
    EXPECT_NE(error.find("at least 8 characters"), std::string::npos) << error;
    source.v3 = {"someone", "SHA-999", "long enough", "", "", ""};
    EXPECT_FALSE(ReadPrinterMib(source, Clock::now() + 1s, &error));
    EXPECT_NE(error.find("unknown SNMPv3 auth protocol \"SHA-999\""), std::string::npos) << error;
}

// Debian's snmpd with an SNMPv3 user: it reports a wrong digest and an
// unknown user, which net-snmp turns into errors of their own.
TEST(MibAgentErrors, SnmpV3Refusals) {
    const std::string snmpd = "/usr/sbin/snmpd";
    if (!std::filesystem::exists(snmpd)) GTEST_SKIP() << "snmpd is not installed";
    TempDir dir;
    const uint16_t port = FreeUdpPort();
    WriteFile(dir.File("snmpd.conf"), "createUser patuser SHA-256 \"right-auth-pass\" AES \"right-priv-pass\"\n"
                                      "rouser patuser priv\n");
    Child agent;
    ASSERT_TRUE(agent.Start(snmpd, {"-f", "-Lo", "-C", "-c", dir.File("snmpd.conf"), "udp:127.0.0.1:" + std::to_string(port)},
                            dir.File("snmpd.log"), {"SNMP_PERSISTENT_DIR=" + dir.path, "MIBS="}));
    const std::string where = "SNMP agent at 127.0.0.1:" + std::to_string(port);
    auto read = [&](SnmpV3User user, std::string *error) {
        PrinterMibSource source{"127.0.0.1", port, SnmpVersion::kV3, "", std::move(user)};
        return ReadPrinterMib(source, Clock::now() + 5s, error);
    };
    std::string error;
    // Wait until the agent answers at all.
    for (auto giveUp = Clock::now() + 20s; Clock::now() < giveUp;) {
        read({"nobody-here", "", "", "", "", ""}, &error);
        if (error.find("no answer") == std::string::npos) break;
    }
    EXPECT_EQ(error, where + ": the agent does not know the SNMPv3 user \"nobody-here\"");

    EXPECT_FALSE(read({"patuser", "SHA-256", "wrong-auth-pass", "AES", "right-priv-pass", ""}, &error));
    EXPECT_EQ(error, where + ": SNMPv3 authentication failed for user \"patuser\" (the agent reported a wrong "
                             "digest): check the auth protocol and auth pass");

    // The right passes get through (snmpd has no Printer MIB: that is what it says).
    const std::optional<MibReading> mib = read({"patuser", "SHA-256", "right-auth-pass", "AES", "right-priv-pass", ""}, &error);
    if (!mib) {
        EXPECT_EQ(error, where + " answers, but serves neither the Printer MIB nor the Host Resources MIB's printer table");
    }
}

// patmon simulate serves the MIB of its scenario: the committed recording
// of toner-low is what it serves today, and a scenario file's supplies
// change what it serves, with the device ID as before.
TEST(MibSimulator, ServesTheScenario) {
    TempDir dir;
    WriteFile(dir.File("printer.json"), "{\"base\": \"toner-low\"}\n");
    const uint16_t pjl = FreeTcpPort(), snmp = FreeUdpPort();
    Child simulator;
    ASSERT_TRUE(simulator.Start(PATMON_PROGRAM,
                                {"simulate", "--scenario", dir.File("printer.json"), "--listen",
                                 "127.0.0.1:" + std::to_string(pjl), "--snmp", "127.0.0.1:" + std::to_string(snmp)},
                                dir.File("simulate.log")));
    ASSERT_TRUE(simulator.WaitForLine("patmon simulate:", 15s)) << simulator.Log();
    PrinterMibSource source{"127.0.0.1", snmp, SnmpVersion::kV2c, "public", {}};
    std::string error;
    std::optional<MibReading> mib = ReadPrinterMib(source, Clock::now() + 10s, &error);
    ASSERT_TRUE(mib) << error;

    if (Snmpsim *sim = Snmpsim::Get()) {
        PrinterMibSource recorded{"127.0.0.1", sim->port(), SnmpVersion::kV2c, "simulator-toner-low", {}};
        const std::optional<MibReading> replay = ReadPrinterMib(recorded, Clock::now() + 10s, &error);
        ASSERT_TRUE(replay) << error;
        EXPECT_EQ(Describe(*replay), Describe(*mib));
    }
    MibReadings r = InterpretMib(*mib);
    ASSERT_EQ(r.supplies.size(), 6u);
    EXPECT_EQ(r.supplies[0].colour, "black");
    EXPECT_EQ(r.supplies[0].levelPercent, 5);
    EXPECT_EQ(r.supplies[0].state, "low");
    EXPECT_EQ(r.supplies[1].colour, "cyan");
    EXPECT_EQ(r.supplies[4].kind, "wasteToner");
    EXPECT_EQ(r.supplies[4].levelPercent, 20);
    EXPECT_EQ(r.supplies[5].kind, "drum");
    EXPECT_EQ(r.supplies[5].levelPercent, 60);
    EXPECT_EQ(r.state.reasons, std::vector<std::string>{"toner-low"});
    EXPECT_EQ(r.state.severity, "warning");
    ASSERT_EQ(r.trays.size(), 2u);  // the bypass tray and tray 1
    EXPECT_EQ(r.trays[1].levelPercent, 80);
    EXPECT_EQ(mib->serialNumber, "PAT5000123");
    EXPECT_EQ(mib->pageCount, 18324u);

    // The device ID column answers exactly as before.
    SnmpSource deviceIdSource;
    deviceIdSource.host = "127.0.0.1";
    deviceIdSource.port = snmp;
    const std::optional<std::string> id = ReadDeviceId(deviceIdSource, Clock::now() + 5s, &error);
    ASSERT_TRUE(id) << error;
    EXPECT_EQ(id->rfind("MFG:Patprn;", 0), 0u) << *id;

    // A scenario file's supplies: the waste bottle full, cyan empty.
    WriteFile(dir.File("printer.json"),
              "{\"base\": \"ready\", \"supplies\": [{\"supply\": \"wasteToner\", \"level\": 100},"
              " {\"supply\": \"cyan\", \"level\": 0}, {\"supply\": \"drum\", \"level\": -3}]}\n");
    std::filesystem::last_write_time(dir.File("printer.json"), std::filesystem::file_time_type::clock::now() + 2s);
    for (auto giveUp = Clock::now() + 10s; Clock::now() < giveUp;) {
        mib = ReadPrinterMib(source, Clock::now() + 5s, &error);
        ASSERT_TRUE(mib) << error;
        if (mib->errorFlags.noToner) break;
    }
    r = InterpretMib(*mib);
    EXPECT_EQ(r.supplies[1].state, "empty");
    EXPECT_EQ(r.supplies[4].state, "full");
    EXPECT_EQ(r.supplies[5].state, "ok");
    EXPECT_FALSE(r.supplies[5].levelPercent.has_value());
    EXPECT_EQ(r.state.severity, "critical");
    EXPECT_EQ(r.state.reasons, (std::vector<std::string>{"toner-empty", "marker-waste-full"}));
    EXPECT_EQ(simulator.Stop(), 0);
}

}  // namespace
}  // namespace patmon
