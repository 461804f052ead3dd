// patprn, the print queue's backend: the same program as patmon, run by the
// print system under the name "patprn" (or with a patprn: device URI as
// its first argument). It sends a job to a printer of this family and tells
// the queue the printer's state on stderr: STATE: with printer-state-reasons,
// ATTR: with the toner markers, INFO: with the status text in the job's
// language.
#pragma once

#include <chrono>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "poll/poll.h"
#include "transports/transport.h"

namespace patmon {

// The scheme of the backend's device URIs.
constexpr const char *kScheme = "patprn:";

// One line of text for INFO: and quoted values: no line breaks, no quotes.
std::string OneLine(const std::string &text);

// Exit statuses the print system understands.
constexpr int kBackendOk = 0;      // the printer confirmed the job (or the job was cancelled)
constexpr int kBackendFailed = 1;  // this job cannot be printed
constexpr int kBackendStop = 4;    // the queue is set up wrongly: stop it
constexpr int kBackendRetry = 6;   // the printer did not take the job: try it again later

// A device URI: patprn://HOST[:PORT]/[?snmp=HOST[:PORT]&community=NAME&lang=CODE&contimeout=S]
// (PJL on a TCP port, default 9100; device ID by SNMP, by default from HOST
// port 161) or patprn:/dev/usb/lpN.
struct DeviceUri {
    Target target;                     // Tcp or Usb
    std::optional<SnmpSource> snmp;    // Tcp only
    std::string language;              // lang=: the queue's language; empty: the job's
    // How long a silent printer is waited for, and how long after the job a
    // printer has to confirm it before the job goes back to the queue.
    std::chrono::seconds contimeout{300};
};
// nullopt with `error` naming the problem for a URI the backend cannot use.
std::optional<DeviceUri> ParseDeviceUri(const std::string &uri, std::string *error);

// The library's language code for a POSIX locale name ("ja_JP.UTF-8" is
// JP); "EN" for C, POSIX, an empty name or a language it has no texts for.
std::string LanguageOfLocale(const std::string &locale);
// The language of the job: LC_ALL, LC_MESSAGES or LANG, the first one set.
std::string JobLanguage();

// True when this process was started as the backend: by the name patprn,
// or (as the print system does) with a patprn: device URI as argv[0].
bool IsBackendInvocation(const char *argv0);

// Writes what the queue must hear about the printer: the reasons that came
// or went since the last report, the markers, the status text.
class QueueReporter {
public:
    explicit QueueReporter(std::ostream &out) : out_(out) {}
    void Report(const PollResult &result);
    // Sets or clears reasons of the backend's own (connecting-to-device).
    void Set(const std::string &reason, bool on);
    const std::set<std::string> &Shown() const { return shown_; }

private:
    void Show(const std::set<std::string> &reasons);
    std::ostream &out_;
    bool first_ = true;             // nothing said yet: clear what an earlier run left
    std::set<std::string> shown_;   // printer reasons the queue holds from this backend
    std::string markers_;           // the ATTR: line last written
    std::string info_;              // the INFO: text last written
};

// The job data framed for the printer: the universal exit language and a
// PJL job around it.
std::string JobHeader(const std::string &title);
std::string JobTrailer(const std::string &title);

// A token no earlier job used, and the PJL that asks the printer to echo
// it once it has read everything sent before: the job's confirmation.
std::string EchoToken();
std::string EchoRequest(const std::string &token);

// What the print system's discovery reads: one line per device class.
std::vector<std::string> DiscoveryLines();

// The backend's main: argv as the print system passes it (no arguments:
// discovery; job-id user title copies options [file]: print).
int RunBackend(int argc, char **argv);

}  // namespace patmon
