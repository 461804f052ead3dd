#include "cups/cups_backend.h"

#include <fcntl.h>
#include <glob.h>
#include <poll.h>
#include <sys/socket.h>
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
#include "transports/net.h"
#include "cups/state_reasons.h"

namespace patmon {

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char *kUel = "\x1b%-12345X";
constexpr const char *kScheme = "patprn:";
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

std::string PercentDecoded(const std::string &text, bool *ok) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size() || !std::isxdigit(static_cast<unsigned char>(text[i + 1])) ||
            !std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            *ok = false;
            return out;
        }
        out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
        i += 2;
    }
    return out;
}

// One line of text for INFO: and quoted values: no line breaks, no quotes.
std::string OneLine(const std::string &text) {
    std::string out;
    for (char c : text) {
        if (c == '\r') continue;
        out += c == '\n' || c == '\t' ? ' ' : c;
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

// Where the job goes: the printer's PJL port, or the USB printer device.
class JobSink {
public:
    enum class Confirmation { Confirmed, Waiting, Failed };
    virtual ~JobSink() = default;
    virtual bool Open(Clock::time_point deadline, std::string *error) = 0;
    // > 0 bytes taken, -2 nothing taken before `deadline`, -1 the printer is gone.
    virtual long Write(const char *data, size_t size, Clock::time_point deadline) = 0;
    // After the job and the echo request: whether the printer has answered
    // `echo` by `deadline`. Failed is final: a printer that reset or closed
    // the connection before echoing never confirms the job afterwards.
    virtual Confirmation Confirm(const std::string &echo, Clock::time_point deadline) = 0;
    // Whether the printer can be polled while the job is open (a USB
    // printer can be opened only once).
    virtual bool PollsWhileOpen() const = 0;
};

class TcpSink : public JobSink {
public:
    explicit TcpSink(const Target &target) : target_(target) {}
    ~TcpSink() override { net::Close(socket_); }
    bool Open(Clock::time_point deadline, std::string *error) override {
        socket_ = net::Connect(target_.host, target_.port, deadline, error);
        return socket_ != net::kNoSocket;
    }
    long Write(const char *data, size_t size, Clock::time_point deadline) override {
        pollfd entry{socket_, POLLOUT | POLLIN, 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        const int ready = poll(&entry, 1, left < 0 ? 0 : static_cast<int>(left));
        if (ready == 0) return -2;
        if (ready < 0) return errno == EINTR ? -2 : -1;
        if ((entry.revents & POLLIN) != 0) {
            // Whatever the printer says on its own (status lines) is not
            // for us; reading it keeps the printer from blocking on it.
            // The echo that confirms the job cannot come before its request
            // has been sent whole.
            char discard[4096];
            const ssize_t n = recv(socket_, discard, sizeof discard, MSG_DONTWAIT);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) return -1;
        }
        if ((entry.revents & (POLLERR | POLLHUP)) != 0) return -1;
        if ((entry.revents & POLLOUT) == 0) return -2;
        const ssize_t n = send(socket_, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? -2 : -1;
        return static_cast<long>(n);
    }
    Confirmation Confirm(const std::string &echo, Clock::time_point deadline) override {
        char buffer[4096];
        while (!failed_) {
            if (received_.find(echo) != std::string::npos) return Confirmation::Confirmed;
            const long n = net::Receive(socket_, buffer, sizeof buffer, deadline);
            if (n == -2) return Confirmation::Waiting;
            if (n <= 0) {
                failed_ = true;  // closed or reset before the echo came
                break;
            }
            received_.append(buffer, static_cast<size_t>(n));
            // Only the tail can still hold the start of the echo.
            if (received_.size() > 2 * kMaxKept) received_.erase(0, received_.size() - kMaxKept);
        }
        return Confirmation::Failed;
    }
    bool PollsWhileOpen() const override { return true; }

private:
    static constexpr size_t kMaxKept = 4096;
    Target target_;
    net::Socket socket_ = net::kNoSocket;
    std::string received_;
    bool failed_ = false;
};

class UsbSink : public JobSink {
public:
    explicit UsbSink(std::string device) : device_(std::move(device)) {}
    ~UsbSink() override {
        if (fd_ >= 0) close(fd_);
    }
    bool Open(Clock::time_point, std::string *error) override {
        fd_ = open(device_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0) *error = "cannot open " + device_ + ": " + std::strerror(errno);
        return fd_ >= 0;
    }
    long Write(const char *data, size_t size, Clock::time_point deadline) override {
        pollfd entry{fd_, POLLOUT, 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        const int ready = poll(&entry, 1, left < 0 ? 0 : static_cast<int>(left));
        if (ready <= 0) return ready == 0 || errno == EINTR ? -2 : -1;
        const ssize_t n = write(fd_, data, size);
        if (n < 0) return errno == EAGAIN || errno == EINTR ? -2 : -1;
        return static_cast<long>(n);
    }
    // The USB printer class driver's writes complete only once the printer
    // has taken the data; a close that reports no error ends the job.
    Confirmation Confirm(const std::string &, Clock::time_point) override {
        const bool closed = fd_ >= 0 && close(fd_) == 0;
        fd_ = -1;
        return closed ? Confirmation::Confirmed : Confirmation::Failed;
    }
    bool PollsWhileOpen() const override { return false; }

private:
    std::string device_;
    int fd_ = -1;
};

class Backend {
public:
    Backend(const DeviceUri &uri, std::string language, std::ostream &log)
        : uri_(uri), language_(std::move(language)), log_(log), reporter_(log) {
        transport_ = uri.target.kind == Target::Kind::Tcp ? TcpTransport(uri.target, uri.snmp)
                                                          : UsbTransport(uri.target);
        if (uri.target.kind == Target::Kind::Tcp) {
            sink_ = std::make_unique<TcpSink>(uri.target);
        } else {
            sink_ = std::make_unique<UsbSink>(uri.target.device);
        }
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

std::string Join(const std::set<std::string> &items) {
    std::string out;
    for (const std::string &item : items) out += (out.empty() ? "" : ",") + item;
    return out;
}

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

std::optional<DeviceUri> ParseDeviceUri(const std::string &uri, std::string *error) {
    // The options may hold the SNMP community: the message, which the print
    // system logs, shows the URI without them.
    const size_t query = uri.find('?');
    const std::string shown = OneLine(uri.substr(0, query)) + (query != std::string::npos ? "?..." : "");
    auto bad = [&](const std::string &why) {
        *error = "bad device URI \"" + shown + "\": " + why;
        return std::nullopt;
    };
    if (uri.rfind(kScheme, 0) != 0) return bad("it does not start with patprn:");
    DeviceUri result;
    const std::string rest = uri.substr(std::strlen(kScheme));
    if (rest.rfind("//", 0) != 0) {
        if (rest.rfind("/dev/", 0) != 0 || rest.size() <= 5 || rest.find_first_of("?#") != std::string::npos) {
            return bad("expected patprn://HOST[:PORT]/ or patprn:/dev/usb/lpN");
        }
        result.target.kind = Target::Kind::Usb;
        result.target.device = rest;
        return result;
    }
    const std::string authority = rest.substr(2, rest.find_first_of("/?", 2) - 2);
    std::string tail = rest.substr(2 + authority.size());
    if (!tail.empty() && tail[0] == '/') tail.erase(0, 1);
    if (!tail.empty() && tail[0] != '?') return bad("nothing may follow the printer's address but ?options");
    const auto hostPort = ParseHostPort(authority, 9100);
    if (!hostPort) return bad("expected HOST[:PORT] after patprn://");
    result.target.kind = Target::Kind::Tcp;
    std::tie(result.target.host, result.target.port) = *hostPort;
    SnmpSource snmp;
    snmp.host = result.target.host;

    std::istringstream options(tail.empty() ? "" : tail.substr(1));
    for (std::string option; std::getline(options, option, '&');) {
        if (option.empty()) continue;
        const size_t equals = option.find('=');
        bool ok = true;
        const std::string name = option.substr(0, equals);
        const std::string value = equals == std::string::npos ? "" : PercentDecoded(option.substr(equals + 1), &ok);
        if (!ok || value.empty()) return bad("option \"" + name + "\" needs a value");
        if (name == "snmp") {
            const auto address = ParseHostPort(value, 161);
            if (!address) return bad("snmp= expects HOST[:PORT]");
            std::tie(snmp.host, snmp.port) = *address;
        } else if (name == "community") {
            snmp.community = value;
        } else if (name == "lang") {
            std::string code;
            for (char c : value) code += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            if (!PatSetLocale(code.c_str())) return bad("unknown language \"" + value + "\"");
            result.language = code;
        } else if (name == "contimeout") {
            if (value.size() > 7 || value.find_first_not_of("0123456789") != std::string::npos || std::stol(value) == 0) {
                return bad("contimeout= expects seconds, 1 or more");
            }
            result.contimeout = std::chrono::seconds(std::stol(value));
        } else {
            return bad("unknown option \"" + name + "\" (snmp, community, lang, contimeout)");
        }
    }
    result.snmp = snmp;
    return result;
}

std::string LanguageOfLocale(const std::string &locale) {
    // POSIX language names and the library's codes for the same language.
    static const std::pair<const char *, const char *> kLanguages[] = {
        {"ja", "JP"}, {"en", "EN"}, {"de", "DE"}, {"fr", "FR"}, {"it", "IT"}, {"es", "ES"},
        {"nl", "NL"}, {"sv", "SV"}, {"da", "DA"}, {"no", "NO"}, {"nb", "NO"}, {"nn", "NO"},
        {"cs", "CS"}, {"hu", "HU"}, {"pl", "PL"}, {"pt", "PT"}, {"fi", "FI"},
    };
    std::string language;
    for (char c : locale) {
        if (!std::isalpha(static_cast<unsigned char>(c))) break;
        language += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    for (const auto &[posix, code] : kLanguages) {
        if (language == posix) return code;
    }
    return "EN";
}

std::string JobLanguage() {
    for (const char *name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char *value = std::getenv(name);
        if (value != nullptr && *value != '\0') return LanguageOfLocale(value);
    }
    return "EN";
}

bool IsBackendInvocation(const char *argv0) {
    if (argv0 == nullptr) return false;
    const std::string name = argv0;
    if (name.rfind(kScheme, 0) == 0) return true;
    const size_t slash = name.rfind('/');
    return name.substr(slash == std::string::npos ? 0 : slash + 1) == "patprn";
}

void QueueReporter::Show(const std::set<std::string> &reasons) {
    // The first report also clears every reason the mapping can give that
    // the printer no longer reports: an earlier job's backend may have set it.
    std::set<std::string> gone;
    for (const std::string &reason : first_ ? AllReasons() : shown_) {
        if (reasons.count(reason) == 0) gone.insert(reason);
    }
    std::set<std::string> added;
    for (const std::string &reason : reasons) {
        if (shown_.count(reason) == 0 || first_) added.insert(reason);
    }
    if (!added.empty()) out_ << "STATE: +" << Join(added) << std::endl;
    if (!gone.empty()) out_ << "STATE: -" << Join(gone) << std::endl;
    first_ = false;
    shown_ = reasons;
}

void QueueReporter::Report(const PollResult &result) {
    std::set<std::string> reasons = ReasonsOf(result.codes);
    for (const std::string &reason : MibReasonsOf(result.readings)) reasons.insert(reason);
    Show(reasons);
    if (result.responded) {
        // The MIB's supplies with their levels where the printer has them,
        // else the toners as the status codes tell of them.
        const std::vector<Marker> markers =
            result.readings.supplies.empty() ? MarkersOf(result.codes) : MarkersOfSupplies(result.readings.supplies);
        std::string names, colours, levels, types, lows, highs;
        for (const Marker &marker : markers) {
            const char *comma = names.empty() ? "" : ",";
            names += comma + std::string("\"") + OneLine(marker.name) + "\"";
            colours += comma + marker.colour;
            levels += comma + std::to_string(marker.level);
            types += comma + marker.type;
            lows += comma + std::to_string(marker.lowLevel);
            highs += comma + std::to_string(marker.highLevel);
        }
        const std::string line = "ATTR: marker-colors=" + colours + " marker-levels=" + levels +
                                 " marker-low-levels=" + lows + " marker-high-levels=" + highs +
                                 " marker-names=" + names + " marker-types=" + types;
        if (line != markers_) out_ << line << std::endl;
        markers_ = line;
    }
    const std::string info = OneLine(result.message.empty() ? result.label : result.message);
    if (!info.empty() && info != info_) out_ << "INFO: " << info << std::endl;
    info_ = info;
}

void QueueReporter::Set(const std::string &reason, bool on) {
    out_ << "STATE: " << (on ? "+" : "-") << reason << std::endl;
}

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
