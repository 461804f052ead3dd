#include "cups/cups_backend.h"

#include <fcntl.h>
#include <glob.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <random>
#include <sstream>
#include <thread>

#include "transports/mib_poll.h"
#include "cups/job_sink.h"
#include "cups/state_reasons.h"

namespace patmon {

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char *kUel = "\x1b%-12345X";
// How often the printer is asked while the backend waits for it.
constexpr std::chrono::seconds kPollInterval{2};
constexpr std::chrono::milliseconds kPollTimeout{5000};

std::atomic<bool> g_cancelled{false};

void OnTerminate(int) { g_cancelled.store(true); }

// Waits `length`, or less when the job is cancelled.
void Pause(std::chrono::milliseconds length) {
    const auto until = Clock::now() + length;
    while (!g_cancelled.load() && Clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

class Backend {
public:
    Backend(const DeviceUri &uri, std::string language, std::ostream &log)
        : uri_(uri), language_(std::move(language)), log_(log), reporter_(log) {
        transport_ = uri.target.kind == Target::Kind::Tcp ? TcpTransport(uri.target, uri.snmp)
                                                          : UsbTransport(uri.target);
        sink_ = JobSinkFor(uri.target);
        options_.timeout = std::min<std::chrono::milliseconds>(kPollTimeout, uri.contimeout);
    }

    int Print(int input, int copies, const std::string &title) {
        if (!WaitUntilReady()) return g_cancelled.load() ? kBackendOk : kBackendRetry;
        std::string error;
        reporter_.Set("connecting-to-device", true);
        const auto connectBy = Clock::now() + uri_.contimeout;
        while (!sink_->Open(std::min(connectBy, Clock::now() + std::chrono::seconds(10)), &error)) {
            log_ << "DEBUG: " << error << std::endl;
            if (g_cancelled.load()) return kBackendOk;
            if (Clock::now() >= connectBy) return GiveUp("the printer does not take the job");
            Pause(kPollInterval);
        }
        reporter_.Set("connecting-to-device", false);
        log_ << "INFO: Sending the job to the printer" << std::endl;

        if (!Send(JobHeader(title))) return Stopped();
        for (int copy = 0; copy < copies; ++copy) {
            if (copy > 0 && lseek(input, 0, SEEK_SET) < 0) {
                log_ << "ERROR: the job file cannot be read again for the next copy" << std::endl;
                return kBackendFailed;
            }
            char buffer[65536];
            for (;;) {
                const ssize_t n = read(input, buffer, sizeof buffer);
                if (n < 0 && errno == EINTR) continue;
                if (n < 0) {
                    log_ << "ERROR: reading the job failed: " << std::strerror(errno) << std::endl;
                    return kBackendFailed;
                }
                if (n == 0) break;
                if (!Send(std::string(buffer, static_cast<size_t>(n)))) return Stopped();
            }
        }
        // The job is done only when the printer says so: it echoes a token
        // asked for after the job's last byte.
        const std::string echo = EchoToken();
        if (!Send(JobTrailer(title) + EchoRequest(echo))) return Stopped();
        log_ << "INFO: Waiting for the printer to confirm the job" << std::endl;
        const bool confirmed = AwaitConfirmation(echo);
        if (g_cancelled.load()) return kBackendOk;
        if (!confirmed) return GiveUp("the printer did not confirm the job");
        PollOnce();  // how the printer is after the job, for the queue
        log_ << "DEBUG: " << sent_ << " bytes sent and confirmed" << std::endl;
        return kBackendOk;
    }

private:
    PollResult PollOnce() {
        const auto deadline = Clock::now() + options_.timeout;
        PollResult result = Poll(*transport_, record_, options_, language_);
        // The supplies' levels and the MIB's state reasons, where the
        // printer's agent has them.
        if (uri_.snmp) AddPrinterMib(*uri_.snmp, std::max(deadline, Clock::now() + std::chrono::seconds(1)), result);
        reporter_.Report(result);
        if (!result.responded) log_ << "DEBUG: " << result.problem << std::endl;
        return result;
    }

    static bool HasError(const PollResult &result) {
        for (const std::string &reason : ReasonsOf(result.codes)) {
            if (IsError(reason)) return true;
        }
        return false;
    }

    // Before the job: the printer must answer and be able to print. A
    // printer that stops (toner out, a cover open) keeps the job here,
    // where the queue shows why; one that does not answer for contimeout
    // sends the job back to the queue.
    bool WaitUntilReady() {
        auto silentSince = Clock::now();
        while (!g_cancelled.load()) {
            const PollResult result = PollOnce();
            if (result.responded) {
                silentSince = Clock::now();
                if (!HasError(result)) return true;
            } else if (Clock::now() - silentSince >= uri_.contimeout) {
                GiveUp("the printer does not answer");
                return false;
            }
            Pause(kPollInterval);
        }
        return false;
    }

    // Sends everything; while the printer takes nothing, asks it why. Only
    // a printer that is gone or stays silent for contimeout stops the job.
    bool Send(const std::string &data) {
        size_t done = 0;
        auto progress = Clock::now();
        while (done < data.size()) {
            if (g_cancelled.load()) return false;
            const long n = sink_->Write(data.data() + done, data.size() - done, Clock::now() + kPollInterval);
            if (n > 0) {
                done += static_cast<size_t>(n);
                sent_ += static_cast<uint64_t>(n);
                progress = Clock::now();
                continue;
            }
            if (n == -1) {
                log_ << "DEBUG: the printer closed the connection after " << sent_ << " bytes" << std::endl;
                return false;
            }
            // A USB printer that takes nothing is waited for without limit:
            // it is there (the device is open), only busy or out of paper.
            if (!sink_->PollsWhileOpen()) continue;
            log_ << "INFO: Waiting for the printer to accept data" << std::endl;
            if (PollOnce().responded) {
                progress = Clock::now();
            } else if (Clock::now() - progress >= uri_.contimeout) {
                return false;
            }
        }
        return true;
    }

    // Waits for the printer's echo, at most contimeout after the job was
    // sent, asking the printer's state for the queue meanwhile; a printer
    // that answers status but never echoes does not hold the job forever.
    bool AwaitConfirmation(const std::string &echo) {
        const auto deadline = Clock::now() + uri_.contimeout;
        while (!g_cancelled.load()) {
            const auto slice = sink_->PollsWhileOpen() ? std::min(deadline, Clock::now() + kPollInterval) : deadline;
            switch (sink_->Confirm(echo, slice)) {
                case JobSink::Confirmation::Confirmed: return true;
                case JobSink::Confirmation::Failed: return false;
                case JobSink::Confirmation::Waiting: break;
            }
            if (Clock::now() >= deadline) return false;
            PollOnce();
        }
        return false;
    }

    // The job stopped half way: it goes back to the queue whole.
    int Stopped() {
        if (g_cancelled.load()) return kBackendOk;
        return GiveUp("the printer stopped taking the job");
    }

    int GiveUp(const std::string &why) {
        reporter_.Set("connecting-to-device", false);
        log_ << "INFO: Printer not responding: " << why << "; the job stays queued and is tried again later"
             << std::endl;
        return kBackendRetry;
    }

    DeviceUri uri_;
    std::string language_;
    std::ostream &log_;
    QueueReporter reporter_;
    std::unique_ptr<Transport> transport_;
    std::unique_ptr<JobSink> sink_;
    PrinterRecord record_;
    PollOptions options_;
    uint64_t sent_ = 0;
};

// A device-ID value ("MFG:Patprn;MDL:...").
std::string DeviceIdField(const std::string &id, const std::string &key) {
    std::istringstream fields(id);
    for (std::string field; std::getline(fields, field, ';');) {
        const size_t colon = field.find(':');
        if (colon != std::string::npos && field.substr(0, colon) == key) return field.substr(colon + 1);
    }
    return {};
}

}  // namespace

std::string JobHeader(const std::string &title) {
    constexpr size_t kMaxName = 80;
    std::string name;
    for (char c : title) {
        if (static_cast<unsigned char>(c) >= 0x20 && c != '"' && name.size() < kMaxName) name += c;
    }
    // A title cut at the limit keeps whole UTF-8 characters only.
    if (name.size() == kMaxName) {
        size_t start = name.size();
        while (start > 0 && (static_cast<unsigned char>(name[start - 1]) & 0xC0) == 0x80) --start;
        if (start > 0 && static_cast<unsigned char>(name[start - 1]) >= 0xC0) {
            const unsigned char lead = static_cast<unsigned char>(name[start - 1]);
            const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
            if (name.size() - (start - 1) < length) name.erase(start - 1);
        }
    }
    return std::string(kUel) + "@PJL JOB NAME=\"" + name + "\"\r\n";
}

std::string JobTrailer(const std::string &title) {
    const std::string header = JobHeader(title);
    const std::string name = header.substr(header.find("NAME="));
    return std::string(kUel) + "@PJL EOJ " + name + kUel;
}

std::string EchoToken() {
    std::random_device random;
    char token[40];
    std::snprintf(token, sizeof token, "PATPRN-%08X%08X", random(), random());
    return token;
}

std::string EchoRequest(const std::string &token) { return "@PJL ECHO " + token + "\r\n" + kUel; }

std::vector<std::string> DiscoveryLines() {
    std::vector<std::string> lines{
        "network patprn \"Unknown\" \"Patprn printer (PJL over TCP, device ID by SNMP)\""};
    glob_t found{};
    if (glob("/dev/usb/lp*", 0, nullptr, &found) == 0) {
        for (size_t i = 0; i < found.gl_pathc; ++i) {
            const std::string device = found.gl_pathv[i];
            Target target;
            target.kind = Target::Kind::Usb;
            target.device = device;
            // Asking with no PJL text reads only the device ID.
            const Exchange exchange = UsbTransport(target)->Ask("", true, std::chrono::milliseconds(2000));
            if (!exchange.deviceId) continue;
            const std::string id = OneLine(*exchange.deviceId);
            const std::string maker = DeviceIdField(id, "MFG"), model = DeviceIdField(id, "MDL");
            lines.push_back("direct " + std::string(kScheme) + device + " \"" + maker + " " + model + "\" \"" +
                            maker + " " + model + " (USB " + device + ")\" \"" + id + "\" \"\"");
        }
    }
    globfree(&found);
    return lines;
}

int RunBackend(int argc, char **argv) {
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGTERM, OnTerminate);
    if (argc == 1) {
        for (const std::string &line : DiscoveryLines()) std::cout << line << "\n";
        return kBackendOk;
    }
    if (argc != 6 && argc != 7) {
        std::cerr << "Usage: patprn job-id user title copies options [file]\n";
        return kBackendFailed;
    }
    const char *device = std::getenv("DEVICE_URI");
    const std::string uriText = device != nullptr && *device != '\0' ? device : argv[0];
    std::string error;
    const std::optional<DeviceUri> uri = ParseDeviceUri(uriText, &error);
    if (!uri) {
        std::cerr << "ERROR: " << error << std::endl;
        return kBackendStop;
    }
    const std::string language = uri->language.empty() ? JobLanguage() : uri->language;
    PatSetLocale(language.c_str());

    int input = 0;
    int copies = 1;
    if (argc == 7) {
        input = open(argv[6], O_RDONLY | O_CLOEXEC);
        if (input < 0) {
            std::cerr << "ERROR: cannot open the job file " << argv[6] << ": " << std::strerror(errno) << std::endl;
            return kBackendFailed;
        }
        copies = std::max(1, std::atoi(argv[4]));
    }
    Backend backend(*uri, language, std::cerr);
    const int status = backend.Print(input, copies, argv[3]);
    if (input != 0) close(input);
    return status;
}

}  // namespace patmon
