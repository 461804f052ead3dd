// The backend's side of the print system: device URIs, the job's language,
// what the queue is told as the printer changes, and the job's framing.
#include "cups/cups_backend.h"

#include <gtest/gtest.h>

#include <sstream>

namespace patmon {
namespace {

TEST(DeviceUri, NetworkPrinterWithOptions) {
    std::string error;
    auto uri = ParseDeviceUri("patprn://printer.example:9200/?snmp=10.0.0.5:1161&community=s%20cret&lang=jp&contimeout=30",
                              &error);
    ASSERT_TRUE(uri) << error;
    EXPECT_EQ(uri->target.kind, Target::Kind::Tcp);
    EXPECT_EQ(uri->target.host, "printer.example");
    EXPECT_EQ(uri->target.port, 9200);
    ASSERT_TRUE(uri->snmp);
    EXPECT_EQ(uri->snmp->host, "10.0.0.5");
    EXPECT_EQ(uri->snmp->port, 1161);
    EXPECT_EQ(uri->snmp->community, "s cret");
    EXPECT_EQ(uri->language, "JP");
    EXPECT_EQ(uri->contimeout, std::chrono::seconds(30));
}

TEST(DeviceUri, DefaultsComeFromThePrinterAddress) {
    std::string error;
    for (const char *text : {"patprn://192.168.1.20", "patprn://192.168.1.20/"}) {
        auto uri = ParseDeviceUri(text, &error);
        ASSERT_TRUE(uri) << text << ": " << error;
        EXPECT_EQ(uri->target.port, 9100);
        EXPECT_EQ(uri->snmp->host, "192.168.1.20");
        EXPECT_EQ(uri->snmp->port, 161);
        EXPECT_EQ(uri->snmp->community, "public");
        EXPECT_TRUE(uri->language.empty());
    }
    auto v6 = ParseDeviceUri("patprn://[::1]:9101/", &error);
    ASSERT_TRUE(v6) << error;
    EXPECT_EQ(v6->target.host, "::1");
    EXPECT_EQ(v6->target.port, 9101);
}

TEST(DeviceUri, UsbPrinter) {
    std::string error;
    auto uri = ParseDeviceUri("patprn:/dev/usb/lp1", &error);
    ASSERT_TRUE(uri) << error;
    EXPECT_EQ(uri->target.kind, Target::Kind::Usb);
    EXPECT_EQ(uri->target.device, "/dev/usb/lp1");
    EXPECT_FALSE(uri->snmp);
}

TEST(DeviceUri, BadUrisAreRefusedWithTheReason) {
    for (const char *text : {"socket://host:9100", "patprn:", "patprn://", "patprn://host:99999/",
                             "patprn://host:9100/queue", "patprn://host/?colour=1", "patprn://host/?lang=XX",
                             "patprn://host/?snmp=", "patprn://host/?community=%zz", "patprn://host/?contimeout=0",
                             "patprn://host/?contimeout=-5", "patprn:/etc/passwd", "patprn:/dev/usb/lp0?snmp=x",
                             "patprn://host/?community=s3cret&colour=1", "patprn://../"}) {
        std::string error;
        EXPECT_FALSE(ParseDeviceUri(text, &error)) << text;
        EXPECT_NE(error.find("bad device URI"), std::string::npos) << text;
        // The options (where the SNMP community lives) are never echoed.
        EXPECT_EQ(error.find("?snmp"), std::string::npos) << error;
        EXPECT_EQ(error.find("s3cret"), std::string::npos) << error;
    }
    // An IPv6 printer needs no port.
    std::string error;
    const auto uri = ParseDeviceUri("patprn://[::1]/", &error);
    ASSERT_TRUE(uri.has_value()) << error;
    EXPECT_EQ(uri->target.host, "::1");
    EXPECT_EQ(uri->target.port, 9100);
}

TEST(JobLanguage, PosixLocalesMapToTheLibrarysLanguages) {
    EXPECT_EQ(LanguageOfLocale("ja_JP.UTF-8"), "JP");
    EXPECT_EQ(LanguageOfLocale("ja"), "JP");
    EXPECT_EQ(LanguageOfLocale("pl_PL.ISO-8859-2"), "PL");
    EXPECT_EQ(LanguageOfLocale("de_AT@euro"), "DE");
    EXPECT_EQ(LanguageOfLocale("nb_NO.UTF-8"), "NO");
    EXPECT_EQ(LanguageOfLocale("pt_BR"), "PT");
    EXPECT_EQ(LanguageOfLocale("HU"), "HU");
    EXPECT_EQ(LanguageOfLocale("C"), "EN");
    EXPECT_EQ(LanguageOfLocale("POSIX"), "EN");
    EXPECT_EQ(LanguageOfLocale(""), "EN");
    EXPECT_EQ(LanguageOfLocale("zh_CN.UTF-8"), "EN");  // no texts in that language
    EXPECT_EQ(LanguageOfLocale("jav_ID"), "EN");       // not Japanese
}

TEST(BackendInvocation, ByNameOrByDeviceUri) {
    EXPECT_TRUE(IsBackendInvocation("patprn"));
    EXPECT_TRUE(IsBackendInvocation("/usr/lib/cups/backend/patprn"));
    EXPECT_TRUE(IsBackendInvocation("patprn://10.0.0.2/?snmp=10.0.0.2:161"));
    EXPECT_TRUE(IsBackendInvocation("patprn:/dev/usb/lp0"));
    EXPECT_FALSE(IsBackendInvocation("patmon"));
    EXPECT_FALSE(IsBackendInvocation("/usr/bin/patmon"));
    EXPECT_FALSE(IsBackendInvocation("patprn2"));
    EXPECT_FALSE(IsBackendInvocation(nullptr));
}

PollResult Answered(std::vector<uint32_t> codes, std::string message) {
    PollResult result;
    result.responded = true;
    result.codes = std::move(codes);
    result.message = std::move(message);
    return result;
}

std::vector<std::string> Lines(std::ostringstream &out) {
    std::vector<std::string> lines;
    std::istringstream in(out.str());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    out.str("");
    return lines;
}

TEST(QueueReporter, ReasonsComeAndGoAsThePrinterChanges) {
    std::ostringstream out;
    QueueReporter reporter(out);

    // First report: the printer's reason is set, and every other reason an
    // earlier job may have left is cleared.
    reporter.Report(Answered({40012, 40013, 40014, 40015}, "Replace the toner.\nBlack, Cyan"));
    std::vector<std::string> lines = Lines(out);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "STATE: +toner-empty-error");
    EXPECT_EQ(lines[1].rfind("STATE: -", 0), 0u);
    EXPECT_NE(lines[1].find("cover-open-error"), std::string::npos);
    EXPECT_EQ(lines[1].find("toner-empty-error"), std::string::npos);
    EXPECT_EQ(lines[2], "ATTR: marker-colors=#000000,#00FFFF,#FF00FF,#FFFF00 marker-levels=0,0,0,0 "
              "marker-low-levels=0,0,0,0 marker-high-levels=100,100,100,100 "
                        "marker-names=\"Black Toner\",\"Cyan Toner\",\"Magenta Toner\",\"Yellow Toner\" "
                        "marker-types=toner,toner,toner,toner");
    EXPECT_EQ(lines[3], "INFO: Replace the toner. Black, Cyan");

    // The same state again: nothing new to say.
    reporter.Report(Answered({40012, 40013, 40014, 40015}, "Replace the toner.\nBlack, Cyan"));
    EXPECT_TRUE(Lines(out).empty());

    // The toner is replaced while a cover is open.
    reporter.Report(Answered({40208, 10072}, "Close the cover."));
    lines = Lines(out);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "STATE: +cover-open-error,toner-low-warning");
    EXPECT_EQ(lines[1], "STATE: -toner-empty-error");
    EXPECT_NE(lines[2].find("marker-levels=-3,-3,-3,-3"), std::string::npos);
    EXPECT_EQ(lines[3], "INFO: Close the cover.");

    // Silent printer: it is offline, the markers are not guessed at.
    PollResult silent;
    silent.codes = {PAT_STATUS_NO_RESPONSE};
    silent.message = "No response";
    reporter.Report(silent);
    lines = Lines(out);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "STATE: +offline-report");
    EXPECT_EQ(lines[1], "STATE: -cover-open-error,toner-low-warning");
    EXPECT_EQ(lines[2], "INFO: No response");

    reporter.Report(Answered({10001}, "Ready"));
    lines = Lines(out);
    EXPECT_EQ(lines[0], "STATE: -offline-report");
    EXPECT_TRUE(reporter.Shown().empty());
}

TEST(JobFraming, TheJobIsWrappedInUniversalExitLanguage) {
    EXPECT_EQ(JobHeader("report.pdf"), "\x1b%-12345X@PJL JOB NAME=\"report.pdf\"\r\n");
    EXPECT_EQ(JobTrailer("report.pdf"), "\x1b%-12345X@PJL EOJ NAME=\"report.pdf\"\r\n\x1b%-12345X");
    // A title cannot end the name early or break the line.
    EXPECT_EQ(JobHeader("a \"b\"\r\n@PJL RESET"), "\x1b%-12345X@PJL JOB NAME=\"a b@PJL RESET\"\r\n");
    EXPECT_EQ(JobHeader(std::string(200, 'x')).size(), std::string("\x1b%-12345X@PJL JOB NAME=\"\"\r\n").size() + 80);
    // A long title is cut between UTF-8 characters, never inside one.
    const std::string frame = "\x1b%-12345X@PJL JOB NAME=\"\"\r\n";
    for (size_t lead = 0; lead < 3; ++lead) {
        std::string title(lead, 'x');
        for (int i = 0; i < 30; ++i) title += "\xe6\x97\xa5";  // 3 bytes a character
        const std::string header = JobHeader(title);
        const std::string name = header.substr(frame.size() - 3, header.size() - frame.size());
        EXPECT_EQ((name.size() - lead) % 3, 0u) << lead;
        EXPECT_GT(name.size(), 77u) << lead;
        EXPECT_EQ(name.substr(0, lead), std::string(lead, 'x'));
    }
}

TEST(JobFraming, TheJobEndsWithAnEchoRequestOfAFreshToken) {
    const std::string a = EchoToken(), b = EchoToken();
    EXPECT_NE(a, b);
    EXPECT_EQ(EchoRequest(a), "@PJL ECHO " + a + "\r\n\x1b%-12345X");
}

}  // namespace
}  // namespace patmon
