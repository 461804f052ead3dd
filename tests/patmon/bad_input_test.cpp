// Printers, agents and users that get it wrong: each poll must end within
// its timeout with exit status 1 and one line on stderr (the printer could
// not be polled) or 2 and a line naming the mistake (a usage error); never
// a hang, a crash or a leak (the program runs under the sanitizers).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>

#include "harness.h"
#include "simulator/printer_model.h"
#include "transports/transport.h"
#include "transports/usb.h"

namespace patmontest {
namespace {

// What a good printer of scenario "ready" answers to `query`.
std::string GoodReplies(const std::string &query) { return patmon::RepliesTo(*patmon::ScenarioPrinter("ready"), query); }

// Polls a fake printer with the device ID given, so that only its PJL
// port is asked.
RunResult PollWithDeviceId(const FakePrinter &printer, const std::string &timeout) {
    return RunPatmon({"poll", printer.Target(), "--device-id", "MFG:X;", "--timeout", timeout});
}

void ExpectOneLine(const RunResult &run, const std::string &mention) {
    EXPECT_FALSE(run.timedOut);
    ASSERT_FALSE(run.err.empty());
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_EQ(run.err.back(), '\n');
    EXPECT_EQ(run.err.rfind("patmon", 0), 0u) << run.err;
    EXPECT_NE(run.err.find(mention), std::string::npos) << run.err;
}

// Exit 1 with one line mentioning `mention`, sooner than `within`.
void ExpectNotPolled(const RunResult &run, const std::string &mention, Milliseconds within) {
    EXPECT_EQ(run.exitCode, 1) << run.err;
    ExpectOneLine(run, mention);
    EXPECT_LT(run.elapsed, within);
}

// A time that the poll must beat although its timeout is longer: the
// failure is seen at once, not by waiting.
constexpr Milliseconds kAtOnce = 5s;
// A poll with --timeout 1 that has to wait it out.
constexpr Milliseconds kOneSecondTimeout = 4s;

TEST(BadPrinter, ThatAnswersNothingTimesOut) {
    FakePrinter printer([](int c, const std::string &) { HoldUntilClosed(c); });
    ExpectNotPolled(PollWithDeviceId(printer, "1"), "no answer in time", kOneSecondTimeout);
}

TEST(BadPrinter, ThatAnswersHalfTheRepliesTimesOut) {
    FakePrinter printer([](int c, const std::string &query) {
        const std::string replies = GoodReplies(query);
        SendAll(c, replies.substr(0, replies.size() / 2));
        HoldUntilClosed(c);
    });
    ExpectNotPolled(PollWithDeviceId(printer, "1"), "the replies stopped before they were complete",
                    kOneSecondTimeout);
}

TEST(BadPrinter, ThatAnswersGarbageTimesOut) {
    FakePrinter printer([](int c, const std::string &) {
        std::string garbage;
        uint32_t state = 12345;
        for (int i = 0; i < 8192; ++i) {
            state = state * 1103515245u + 12345u;
            garbage += static_cast<char>(state >> 24);
        }
        garbage += "@PJL INF\f@PJL\r\n\f\x1b%-12345X";
        SendAll(c, garbage);
        HoldUntilClosed(c);
    });
    ExpectNotPolled(PollWithDeviceId(printer, "1"), "the replies stopped before they were complete",
                    kOneSecondTimeout);
}

TEST(BadPrinter, ThatAnswersTooMuchIsCutOffAtOneMegabyte) {
    FakePrinter printer([](int c, const std::string &) {
        const std::string line = "@PJL ECHO " + std::string(500, 'x') + "\r\n";
        std::string flood;
        while (flood.size() < (2u << 20)) flood += line;
        SendAll(c, flood);  // fails once the poll has given up
        HoldUntilClosed(c);
    });
    ExpectNotPolled(PollWithDeviceId(printer, "10"), "more than 1 MB of replies", kAtOnce);
}

TEST(BadPrinter, ThatClosesTheConnectionIsReported) {
    FakePrinter printer([](int, const std::string &) {});
    ExpectNotPolled(PollWithDeviceId(printer, "10"), "the connection closed before the replies were complete",
                    kAtOnce);
}

TEST(BadPrinter, ThatIsNotThereIsReported) {
    const std::string port = std::to_string(FreeTcpPort());
    const RunResult run = RunPatmon({"poll", "tcp://127.0.0.1:" + port, "--device-id", "MFG:X;", "--timeout", "10"});
    ExpectNotPolled(run, "the printer's PJL port: nothing takes connections at 127.0.0.1:" + port, kAtOnce);
}

// The PJL port answers well; the device ID is asked of an agent.
FakePrinter::Behaviour GoodPrinter() {
    return [](int c, const std::string &query) {
        SendAll(c, GoodReplies(query));
        HoldUntilClosed(c);
    };
}

TEST(BadAgent, ThatDoesNotAnswerTimesOut) {
    FakePrinter printer(GoodPrinter());
    SilentUdp agent;
    const RunResult run = RunPatmon(
        {"poll", printer.Target(), "--snmp", "127.0.0.1:" + std::to_string(agent.port()), "--timeout", "1"});
    ExpectNotPolled(run, "SNMP agent at 127.0.0.1:" + std::to_string(agent.port()) + " did not answer",
                    kOneSecondTimeout);
}

// Debian's snmpd, told to give an integer where the device ID belongs.
TEST(BadAgent, ThatAnswersAnIntegerIsRefused) {
    const std::string snmpd = "/usr/sbin/snmpd";
    if (!std::filesystem::exists(snmpd)) GTEST_SKIP() << "snmpd is not installed";
    TempDir dir;
    WriteFile(dir.File("snmpd.conf"),
              "rocommunity public 127.0.0.1\noverride .1.3.6.1.4.1.2699.1.2.1.2.1.1.3.1 integer 42\n");
    Child agent;
    uint16_t port = 0;
    for (int attempt = 0; attempt < 3 && !agent.Running(); ++attempt) {
        port = FreeUdpPort();
        // Its state stays in the test's directory; it reads no other configuration.
        agent.Start(snmpd, {"-f", "-Lo", "-C", "-c", dir.File("snmpd.conf"), "udp:127.0.0.1:" + std::to_string(port)},
                    dir.File("snmpd.log"), {"SNMP_PERSISTENT_DIR=" + dir.path, "MIBS="});
        if (!agent.WaitForLine("NET-SNMP version", 10s)) agent.Stop();
    }
    ASSERT_TRUE(agent.Running()) << agent.Log();
    FakePrinter printer(GoodPrinter());
    const RunResult run =
        RunPatmon({"poll", printer.Target(), "--snmp", "127.0.0.1:" + std::to_string(port), "--timeout", "10"});
    ExpectNotPolled(run, "ppmPrinterIEEE1284DeviceId is not an octet string", kAtOnce);
}

// LPIOC_GET_DEVICE_ID buffers: a two-byte length, big-endian, that counts
// itself, then the text.
std::vector<unsigned char> IoctlBuffer(unsigned char first, unsigned char second, const std::string &text,
                                       size_t size = 1024) {
    std::vector<unsigned char> buffer(size, 'J');  // what lies beyond the length is not the ID
    buffer[0] = first;
    buffer[1] = second;
    std::copy(text.begin(), text.end(), buffer.begin() + 2);
    return buffer;
}

std::optional<std::string> DeviceId(const std::vector<unsigned char> &buffer) {
    return patmon::DeviceIdFromIoctl(buffer.data(), buffer.size());
}

TEST(UsbDeviceId, LengthIsBigEndianAndCountsItself) {
    const std::string id = "MFG:Patprn;MDL:Colour Laser 500;";  // 32 bytes
    EXPECT_EQ(DeviceId(IoctlBuffer(0x00, 34, id)), id);
    EXPECT_EQ(DeviceId(IoctlBuffer(0x00, 30, id)), id.substr(0, 28));
    EXPECT_EQ(DeviceId(IoctlBuffer(0x00, 14, id)), id.substr(0, 12));  // the shortest trusted
    // A length of the whole buffer is still inside it.
    EXPECT_EQ(DeviceId(IoctlBuffer(0x00, 34, id, 34)), id);
    // The text ends at a zero byte within the length.
    EXPECT_EQ(DeviceId(IoctlBuffer(0x00, 40, id + std::string(1, '\0'))), id);
}

TEST(UsbDeviceId, ImplausibleLengthIsReadByteSwapped) {
    const std::string id = "MFG:Patprn;MDL:Colour Laser 500;";
    EXPECT_EQ(DeviceId(IoctlBuffer(34, 0x00, id)), id);  // 0x2200 is beyond the buffer
    // 0x0001 is too short to be an ID; 0x0100 fits the buffer.
    EXPECT_EQ(DeviceId(IoctlBuffer(0x00, 0x01, id + std::string(1, '\0'))), id);
}

TEST(UsbDeviceId, NonsenseLengthsAreRefused) {
    const std::string id = "MFG:Patprn;MDL:Colour Laser 500;";
    EXPECT_EQ(DeviceId(IoctlBuffer(0x00, 0x00, id)), std::nullopt);
    EXPECT_EQ(DeviceId(IoctlBuffer(0xFF, 0xFF, id)), std::nullopt);
    EXPECT_EQ(DeviceId(IoctlBuffer(0x00, 13, id)), std::nullopt);        // 13 and 0x0D00: neither fits
    EXPECT_EQ(DeviceId(IoctlBuffer(0x00, 35, id, 34)), std::nullopt);    // one byte beyond the buffer
    EXPECT_EQ(DeviceId(IoctlBuffer(0x01, 0x01, id, 256)), std::nullopt);  // 257 either way
    const unsigned char tiny[1] = {0x00};
    EXPECT_EQ(patmon::DeviceIdFromIoctl(tiny, sizeof tiny), std::nullopt);
}

TEST(BadUsbDevice, ThatIsMissingIsReported) {
    ExpectNotPolled(RunPatmon({"poll", "usb:/nonexistent/lp0", "--timeout", "10"}), "the USB device /nonexistent/lp0 cannot be opened",
                    kAtOnce);
}

TEST(BadUsbDevice, ThatIsNoPrinterIsReported) {
    ExpectNotPolled(RunPatmon({"poll", "usb:/dev/null", "--timeout", "10"}), "/dev/null gives no device ID", kAtOnce);
}

// Exit 2, nothing on stdout, one line naming the problem.
void ExpectUsageError(const std::vector<std::string> &args, const std::string &mention) {
    const RunResult run = RunPatmon(args);
    EXPECT_EQ(run.exitCode, 2) << run.err;
    EXPECT_EQ(run.out, "");
    ExpectOneLine(run, mention);
}

TEST(Usage, UnknownLanguageIsNamed) {
    ExpectUsageError({"poll", "virtual", "--lang", "XX"}, "unknown language \"XX\"");
}

TEST(Usage, UnknownTargetIsNamed) {
    ExpectUsageError({"poll", "printer.example:9100"}, "unknown target \"printer.example:9100\"");
}

TEST(Usage, UnknownScenarioIsNamed) {
    ExpectUsageError({"poll", "virtual:toner-empty"}, "unknown scenario \"toner-empty\"");
}

TEST(Usage, MissingScenarioFileIsNamed) {
    TempDir dir;
    ExpectUsageError({"poll", "virtual:" + dir.File("printer.json")}, dir.File("printer.json"));
    ExpectUsageError({"simulate", "--scenario", dir.File("printer.json")}, dir.File("printer.json"));
}

TEST(Usage, ScenarioFileThatIsNotJsonIsNamed) {
    TempDir dir;
    WriteFile(dir.File("printer.json"), "{\"base\": \"ready\", \"model\": ");
    ExpectUsageError({"poll", "virtual:" + dir.File("printer.json")}, "scenario file " + dir.File("printer.json"));
    // Where it went wrong, as an editor counts.
    WriteFile(dir.File("printer.json"), "{\n  \"base\": \"ready\",\n  \"model\" \"x\"\n}\n");
    ExpectUsageError({"poll", "virtual:" + dir.File("printer.json")}, "is not valid JSON at line 3, column ");
}

TEST(Usage, ScenarioFileWithAnUnknownKeyNamesTheKey) {
    TempDir dir;
    WriteFile(dir.File("printer.json"), R"({"base": "ready", "colour": "red"})");
    ExpectUsageError({"poll", "virtual:" + dir.File("printer.json")},
                     "unknown key \"colour\" in the scenario (valid keys: base, maker, model");
    WriteFile(dir.File("printer.json"), R"({"trays": [{"tray": "4"}]})");
    ExpectUsageError({"poll", "virtual:" + dir.File("printer.json")}, "unknown tray \"4\"");
}

TEST(Usage, ScenarioNumbersThatDoNotFitAreRefusedNotWrapped) {
    TempDir dir;
    WriteFile(dir.File("printer.json"), R"({"pageCount": 4294967296})");
    ExpectUsageError({"poll", "virtual:" + dir.File("printer.json")}, "\"pageCount\" must be a whole number");
    WriteFile(dir.File("printer.json"), R"({"pageCount": 1e30})");
    ExpectUsageError({"poll", "virtual:" + dir.File("printer.json")}, "\"pageCount\" must be a whole number");
    WriteFile(dir.File("printer.json"), R"({"statusCodes": [10001, -1]})");
    ExpectUsageError({"poll", "virtual:" + dir.File("printer.json")}, "\"statusCodes\" must be a whole number");
}

TEST(Usage, AddressesAndCountsThatMeanNothingAreRefused) {
    ExpectUsageError({"poll", "tcp://..:9100"}, "bad tcp target");
    ExpectUsageError({"watch", "virtual", "--count", "-1"}, "--count");
    // An IPv6 address in brackets takes the default port.
    std::string error;
    const auto target = patmon::ParseTarget("tcp://[::1]", &error);
    ASSERT_TRUE(target.has_value()) << error;
    EXPECT_EQ(target->host, "::1");
    EXPECT_EQ(target->port, 9100);
    EXPECT_EQ(patmon::ParseHostPort("[::1]", 161), std::make_pair(std::string("::1"), uint16_t{161}));
    EXPECT_FALSE(patmon::ParseHostPort("[::1]:", 161).has_value());
    EXPECT_FALSE(patmon::ParseHostPort("...", 161).has_value());
}

}  // namespace
}  // namespace patmontest
