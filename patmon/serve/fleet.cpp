#include "serve/fleet.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <deque>
#include <functional>
#include <iostream>
#include <map>
#include <mutex>
#include <queue>
#include <set>
#include <thread>

#include "outputs/json_output.h"
#include "poll/status_meanings.h"
#include "outputs/picture.h"
#include "simulator/virtual_transport.h"
#include "transports/reply_exchange.h"
#include "serve/serve_json.h"
#include "transports/snmp.h"

namespace patmon {

namespace {

using Clock = std::chrono::steady_clock;

// A printer that keeps failing is polled at twice the interval after each
// failure, up to this (or its own interval, if that is longer).
constexpr std::chrono::seconds kBackOffCap{300};

// How early a poll may start when the loop is awake for something else.
constexpr std::chrono::milliseconds kEarlyStart{5};

// A small pool of threads for the library calls.
class Workers {
public:
    explicit Workers(int count) {
        for (int i = 0; i < count; ++i) threads_.emplace_back([this] { Run(); });
    }
    ~Workers() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        for (std::thread &t : threads_) t.join();
    }
    void Submit(std::function<void()> job) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            jobs_.push_back(std::move(job));
        }
        wake_.notify_one();
    }

private:
    void Run() {
        for (;;) {
            std::function<void()> job;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
                if (jobs_.empty()) return;
                job = std::move(jobs_.front());
                jobs_.pop_front();
            }
            job();
        }
    }
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> jobs_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

double UnixNow() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

std::chrono::milliseconds Milliseconds(double seconds) {
    return std::chrono::milliseconds(static_cast<long long>(seconds * 1000 + 0.5));
}

// One line on stderr, whole even when several threads log.
void Log(const std::string &line) {
    static std::mutex mutex;
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &local);
    std::lock_guard<std::mutex> lock(mutex);
    std::cerr << stamp << " " << line << std::endl;
}

// The record's content as bytes, without the addresses of its lists and
// strings (which change from poll to poll): equal fingerprints give equal
// JSON of the record.
std::string Fingerprint(const PrinterRecord &record) {
    const PrnInfoEx &r = *record.get();
    PrnInfoEx flat;
    std::memcpy(&flat, &r, sizeof flat);
    const void *lists[] = {r.pEngineStatus, r.pLoadedEmul, r.pLoadedFont, r.pTrayInfo, r.pOutBinInfo,
                           r.pDeviceInfo, r.pEmulUniqInfo, r.pCounterInfo, r.pSupplyInfo};
    const char *texts[] = {r.pModelName, r.pMakerName, r.pDescription, r.pSYSVersion, r.pMainProgVersion,
                           r.pVPSVersion};
    flat.pEngineStatus = nullptr;
    flat.pLoadedEmul = nullptr;
    flat.pLoadedFont = nullptr;
    flat.pTrayInfo = nullptr;
    flat.pOutBinInfo = nullptr;
    flat.pDeviceInfo = nullptr;
    flat.pEmulUniqInfo = nullptr;
    flat.pCounterInfo = nullptr;
    flat.pSupplyInfo = nullptr;
    flat.pModelName = flat.pMakerName = flat.pDescription = nullptr;
    flat.pSYSVersion = flat.pMainProgVersion = flat.pVPSVersion = nullptr;
    std::string bytes(reinterpret_cast<const char *>(&flat), sizeof flat);
    for (const void *head : lists) {
        for (auto *item = static_cast<const InfoItem *>(head); item != nullptr; item = item->next) {
            const size_t size = std::clamp<size_t>(item->cbItem, sizeof(InfoItem), 4096);
            bytes.append(reinterpret_cast<const char *>(item) + sizeof(InfoItem), size - sizeof(InfoItem));
        }
        bytes += '\x1e';
    }
    for (const char *text : texts) {
        if (text != nullptr) bytes += text;
        bytes += '\0';
    }
    return bytes;
}

bool SamePicture(const std::vector<DrawStep> &a, const std::vector<DrawStep> &b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const DrawStep &x, const DrawStep &y) {
        return x.name == y.name && x.x == y.x && x.y == y.y && x.rop == y.rop;
    });
}

}  // namespace

struct Fleet::Impl {
    // Where a tcp poll's network part stands (the loop thread's alone).
    enum class Step { Idle, Connecting, Sending, Receiving, DeviceId };

    struct Printer {
        FleetPrinterConfig config;
        Target target;
        PollOptions options;
        std::optional<SnmpSource> snmp;
        std::unique_ptr<Transport> direct;  // virtual and usb: asked on a worker
        PrinterRecord record;

        // The poll in flight: handed from worker to loop and back, never
        // used by two threads at once.
        std::unique_ptr<PendingPoll> pending;
        Exchange exchange;
        Clock::time_point due, started, deadline;
        int failures = 0;
        sockaddr_storage address{};
        socklen_t addressLength = 0;
        // The SNMP agent's IPv4 address, for the fleet's shared SNMP socket;
        // other agents get a session of their own for each poll.
        sockaddr_in snmpAddress{};
        bool snmpShared = false;
        uint32_t snmpRequest = 0;  // counts this printer's device-ID requests
        // The shared socket's answer, when it came before the replies did.
        std::optional<DeviceIdClient::Answer> snmpAnswer;
        Step step = Step::Idle;
        int socket = -1;
        size_t sent = 0;
        std::unique_ptr<DeviceIdQuery> snmpQuery;
        std::string lastState;  // for the log: what the last poll showed
        std::string documentKey;  // what the last poll JSON was made from
        std::string pollJson;

        mutable std::mutex viewMutex;
        PrinterView view;
        std::vector<uint8_t> png;
        uint64_t pngVersion = UINT64_MAX;
        std::mutex pngMutex;
    };

    std::vector<std::unique_ptr<Printer>> printers;
    std::map<std::string, size_t> byName;
    bool mixedLanguages = false;
    std::mutex localeMutex;  // the library's language is one for the process
    int workerCount = 2;
    std::unique_ptr<Workers> workers;

    int epoll = -1;
    int wakeup = -1;
    std::thread loop;
    std::atomic<bool> stopping{false};
    std::mutex queueMutex;
    std::vector<size_t> toNetwork;  // queries ready to be sent
    std::vector<size_t> finished;   // polls done: to be scheduled again
    // Until when the loop sleeps without looking at the queues; the
    // earliest time while it is awake (it looks before it sleeps).
    Clock::time_point sleepingUntil = Clock::time_point::min();
    std::set<size_t> active;        // on the network now
    std::unique_ptr<DeviceIdClient> snmpClient;  // the loop's alone

    mutable std::mutex countersMutex;
    FleetCounters counters;

    ~Impl() {
        if (epoll >= 0) close(epoll);
        if (wakeup >= 0) close(wakeup);
    }

    void Wake() {
        const uint64_t one = 1;
        (void)!write(wakeup, &one, sizeof one);
    }

    // Hands a printer to the loop. The loop is woken only when it sleeps
    // past `before`: a finished poll's printer is not due again for a
    // while, and the loop takes the queues every time it wakes anyway.
    void Post(std::vector<size_t> &queue, size_t index, Clock::time_point before) {
        bool wake;
        {
            std::lock_guard<std::mutex> lock(queueMutex);
            queue.push_back(index);
            wake = before < sleepingUntil;
        }
        if (wake) Wake();
    }

    // Starts a poll: the lag, the deadline and the library's query. True
    // when the query is to go out over the network; false when the poll
    // is only to be finished (no query, or asked through `direct`, which
    // waits and so must run on a worker).
    bool Begin(size_t index) {
        Printer &p = *printers[index];
        p.started = Clock::now();
        const double lag = std::max(0.0, std::chrono::duration<double>(p.started - p.due).count());
        {
            std::lock_guard<std::mutex> lock(countersMutex);
            size_t bucket = 0;
            while (bucket < std::size(FleetCounters::kLagBuckets) && lag > FleetCounters::kLagBuckets[bucket]) ++bucket;
            ++counters.lagCounts[bucket];
            counters.lagSum += lag;
            counters.lagMax = std::max(counters.lagMax, lag);
        }
        p.deadline = p.started + p.options.timeout;
        p.exchange = Exchange{};
        p.pending = std::make_unique<PendingPoll>();
        const bool canReadDeviceId = p.direct ? p.direct->CanReadDeviceId() : p.snmp.has_value() && SnmpAvailable();
        StartPoll(p.record, p.options, canReadDeviceId, *p.pending);
        if (p.pending->query == nullptr) return false;
        if (p.direct) {
            p.exchange = p.direct->Ask(p.pending->pjl, p.pending->fetchDeviceId, p.options.timeout);
            return false;
        }
        return true;
    }

    // ---- on a worker ----

    void BeginPoll(size_t index) {
        Printer &p = *printers[index];
        if (!Begin(index)) return EndPoll(index);
        if (p.addressLength == 0) {
            // Resolved here rather than on the loop, which must never wait.
            addrinfo hints{};
            hints.ai_socktype = SOCK_STREAM;
            addrinfo *found = nullptr;
            const int rc = getaddrinfo(p.target.host.c_str(), std::to_string(p.target.port).c_str(), &hints, &found);
            if (rc != 0 || found == nullptr) {
                p.exchange.problem = "cannot resolve " + p.target.host + ": " + gai_strerror(rc);
                return EndPoll(index);
            }
            std::memcpy(&p.address, found->ai_addr, found->ai_addrlen);
            const socklen_t length = found->ai_addrlen;
            freeaddrinfo(found);
            if (p.snmp && snmpClient) {
                hints.ai_socktype = SOCK_DGRAM;
                found = nullptr;
                if (getaddrinfo(p.snmp->host.c_str(), std::to_string(p.snmp->port).c_str(), &hints, &found) == 0 &&
                    found != nullptr && found->ai_family == AF_INET) {
                    std::memcpy(&p.snmpAddress, found->ai_addr, sizeof p.snmpAddress);
                    p.snmpShared = true;
                }
                if (found != nullptr) freeaddrinfo(found);
            }
            p.addressLength = length;  // last: the loop reads the addresses once this is set
        }
        Post(toNetwork, index, Clock::time_point::min());
    }

    void EndPoll(size_t index) {
        Printer &p = *printers[index];
        PollResult result;
        {
            std::unique_lock<std::mutex> lock(localeMutex, std::defer_lock);
            if (mixedLanguages) {
                lock.lock();
                PatSetLocale(p.config.language.c_str());
            }
            result = FinishPoll(*p.pending, std::move(p.exchange), p.record, p.options, p.config.language);
        }
        p.pending.reset();
        const auto now = Clock::now();
        PrinterView view;
        view.name = p.config.name;
        view.polled = true;
        view.responded = result.responded;
        view.label = result.label;
        view.message = result.message;
        view.lastError = result.responded ? std::string() : result.problem;
        view.codes = result.codes;
        view.picture = result.picture;
        view.lastPoll = UnixNow();
        view.pollSeconds = std::chrono::duration<double>(now - p.started).count();
        const PrnInfoEx &r = *p.record.get();
        view.attention = r.bAttention != 0;
        if (result.responded) {
            for (const CounterInfoItem *c = r.pCounterInfo; c != nullptr;
                 c = reinterpret_cast<const CounterInfoItem *>(c->next)) {
                if (c->wCounter == 1) view.pageCount = c->dwValue;
            }
            for (const TrayInfoItem *t = r.pTrayInfo; t != nullptr;
                 t = reinterpret_cast<const TrayInfoItem *>(t->next)) {
                view.trays.push_back({t->wTray, t->wPaperLevel, t->wPaperSize});
            }
            const std::array<TonerState, 4> toner = TonerStatesOf(result.codes);
            for (size_t c = 0; c < toner.size(); ++c) view.toner[c] = static_cast<int>(toner[c]);
        }
        // The poll's JSON is the costliest part of a poll: made again only
        // when the record or the texts changed.
        std::string key = Fingerprint(p.record) + (result.responded ? "1" : "0") + result.problem + '\0' +
                          result.label + '\0' + result.message;
        if (key != p.documentKey) {
            p.pollJson = ResultJson(result, p.record, -1);
            p.documentKey = std::move(key);
        }
        view.document = PrinterDocument(view.name, p.pollJson, view.lastPoll, view.lastError);

        std::string state = (result.responded ? "" : "not responding: ") + result.label;
        if (state != p.lastState) {
            std::string codes;
            for (uint32_t code : result.codes) codes += (codes.empty() ? "" : " ") + std::to_string(code);
            Log("printer " + p.config.name + ": " + result.label + " [" + codes + "]" +
                (result.responded ? "" : " (" + result.problem + ")"));
            p.lastState = state;
        }
        {
            std::lock_guard<std::mutex> lock(countersMutex);
            ++counters.polls;
            if (!result.responded) ++counters.errors;
        }
        p.failures = result.responded ? 0 : p.failures + 1;
        {
            std::lock_guard<std::mutex> lock(p.viewMutex);
            const bool same = p.view.polled && SamePicture(p.view.picture, view.picture);
            view.pictureVersion = p.view.pictureVersion + (same ? 0 : 1);
            view.nextPollIn = NextDelay(p);
            p.view = std::move(view);
        }
        // No later than the loop will schedule the next poll (see Run).
        const auto delay = Milliseconds(NextDelay(p));
        Post(finished, index, p.failures == 0 ? std::max(p.due + delay, now) : now + delay);
    }

    // The interval, doubled for each failure in a row up to the cap.
    static double NextDelay(const Printer &p) {
        const double interval = p.config.intervalSeconds;
        const double cap = std::max(interval, static_cast<double>(kBackOffCap.count()));
        double delay = interval;
        for (int i = 0; i < p.failures && delay < cap; ++i) delay *= 2;
        return std::min(delay, cap);
    }

    // ---- on the loop ----

    // The epoll tag of the shared SNMP socket (a printer's tags are far below).
    static constexpr uint64_t kSnmpSocket = UINT64_MAX - 1;

    void Watch(int fd, uint32_t events, size_t index, bool snmpSocket, bool add) {
        epoll_event event{};
        event.events = events;
        event.data.u64 = (static_cast<uint64_t>(index) << 1) | (snmpSocket ? 1 : 0);
        epoll_ctl(epoll, add ? EPOLL_CTL_ADD : EPOLL_CTL_MOD, fd, &event);
    }

    std::string Where(const Printer &p) const { return "printer at " + p.target.host + ":" + std::to_string(p.target.port); }

    void Connect(size_t index) {
        Printer &p = *printers[index];
        p.sent = 0;
        p.snmpAnswer.reset();
        if (p.pending->fetchDeviceId && p.snmpShared) {
            // The device ID is asked alongside the query, so that both
            // answers tend to arrive together. It only counts if the
            // replies come complete, as when it was asked after them.
            std::string error;
            if (!snmpClient->Send(p.snmpAddress, *p.snmp, p.options.timeout + std::chrono::seconds(1),
                                  Token(index, ++p.snmpRequest), &error)) {
                p.snmpAnswer = DeviceIdClient::Answer{};
                p.snmpAnswer->error = ": " + error;
            }
        }
        p.socket = ::socket(p.address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (p.socket < 0) return Fail(index, "cannot open a socket: " + std::string(std::strerror(errno)));
        if (connect(p.socket, reinterpret_cast<const sockaddr *>(&p.address), p.addressLength) != 0 &&
            errno != EINPROGRESS) {
            return Fail(index, "cannot connect: " + std::string(std::strerror(errno)));
        }
        active.insert(index);
        p.step = Step::Connecting;
        // Registered once for the whole exchange, edge-triggered: ready to
        // send once connected, then readable as the replies come.
        Watch(p.socket, EPOLLOUT | EPOLLIN | EPOLLRDHUP | EPOLLET, index, false, true);
        // A connection to a near printer is often made already: the query
        // goes out now, without waiting for the loop's next turn.
        OnSocket(index, EPOLLOUT);
    }

    // Ends the network part; the worker finishes the poll.
    void Done(size_t index) {
        Printer &p = *printers[index];
        if (p.socket >= 0) {
            close(p.socket);  // which also ends its watch: the socket is not shared
            p.socket = -1;
        }
        if (p.snmpQuery) {
            epoll_ctl(epoll, EPOLL_CTL_DEL, p.snmpQuery->Socket(), nullptr);
            p.snmpQuery.reset();
        }
        p.step = Step::Idle;
        active.erase(index);
        workers->Submit([this, index] { EndPoll(index); });
    }

    void Fail(size_t index, const std::string &problem) {
        Printer &p = *printers[index];
        p.exchange.answered = false;
        p.exchange.problem = Where(p) + ": " + problem;
        Done(index);
    }

    void OnSocket(size_t index, uint32_t events) {
        Printer &p = *printers[index];
        if (p.step == Step::Connecting && (events & (EPOLLERR | EPOLLHUP)) != 0) {
            int error = 0;
            socklen_t length = sizeof error;
            getsockopt(p.socket, SOL_SOCKET, SO_ERROR, &error, &length);
            if (error != 0) return Fail(index, "cannot connect: " + std::string(std::strerror(error)));
        }
        if (p.step == Step::Connecting || p.step == Step::Sending) {
            // Sending waits (EAGAIN) while the connection is being made;
            // an error before the first byte is the connection's.
            const std::string &pjl = p.pending->pjl;
            while (p.sent < pjl.size()) {
                const ssize_t n = send(p.socket, pjl.data() + p.sent, pjl.size() - p.sent, MSG_NOSIGNAL);
                if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
                if (n < 0) {
                    return Fail(index, (p.step == Step::Connecting ? "cannot connect: " : "cannot send the query: ") +
                                           std::string(std::strerror(errno)));
                }
                p.step = Step::Sending;
                p.sent += static_cast<size_t>(n);
            }
            p.step = Step::Receiving;
        }
        // Edge-triggered: read until there is nothing more for now.
        char buffer[16384];
        for (;;) {
            const ssize_t n = recv(p.socket, buffer, sizeof buffer, 0);
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
            if (n < 0) return Fail(index, "reading the replies failed");
            if (n == 0) return Fail(index, "the connection closed before the replies were complete");
            if (p.exchange.replies.size() + static_cast<size_t>(n) > kMaxReplyBytes) {
                return Fail(index, "more than 1 MB of replies");
            }
            p.exchange.replies.append(buffer, static_cast<size_t>(n));
            if (RepliesComplete(p.pending->pjl, p.exchange.replies)) break;
        }
        close(p.socket);
        p.socket = -1;
        if (!p.pending->fetchDeviceId) {
            p.exchange.answered = true;
            return Done(index);
        }
        std::string error;
        if (p.snmpShared) {
            p.step = Step::DeviceId;
            if (p.snmpAnswer) TakeAnswer(index);
            return;
        }
        p.snmpQuery = DeviceIdQuery::Send(*p.snmp, &error);
        if (!p.snmpQuery) {
            p.exchange.problem = error;
            return Done(index);
        }
        p.step = Step::DeviceId;
        Watch(p.snmpQuery->Socket(), EPOLLIN, index, true, true);
    }

    static uint64_t Token(size_t index, uint32_t request) { return (static_cast<uint64_t>(index) << 32) | request; }

    std::string Agent(const Printer &p) const {
        return "SNMP agent at " + p.snmp->host + ":" + std::to_string(p.snmp->port);
    }

    // Answers on the shared SNMP socket: kept until the replies are in,
    // or ending the poll if they are. One whose poll has ended (given up
    // at its deadline) is dropped.
    void OnAnswers(std::vector<DeviceIdClient::Answer> answers) {
        for (DeviceIdClient::Answer &answer : answers) {
            const size_t index = static_cast<size_t>(answer.token >> 32);
            if (index >= printers.size() || active.count(index) == 0) continue;
            Printer &p = *printers[index];
            if (!p.snmpShared || p.snmpAnswer || Token(index, p.snmpRequest) != answer.token) continue;
            p.snmpAnswer = std::move(answer);
            if (p.step == Step::DeviceId) TakeAnswer(index);
        }
    }

    void TakeAnswer(size_t index) {
        Printer &p = *printers[index];
        p.exchange.deviceId = std::move(p.snmpAnswer->deviceId);
        p.exchange.answered = p.exchange.deviceId.has_value();
        if (!p.exchange.answered) p.exchange.problem = Agent(p) + p.snmpAnswer->error;
        p.snmpAnswer.reset();
        Done(index);
    }

    void OnSnmp(size_t index) {
        Printer &p = *printers[index];
        if (p.step != Step::DeviceId || !p.snmpQuery->Read()) return;
        p.exchange.deviceId = p.snmpQuery->deviceId;
        p.exchange.answered = p.exchange.deviceId.has_value();
        if (!p.exchange.answered) p.exchange.problem = p.snmpQuery->error;
        Done(index);
    }

    void CheckDeadlines(Clock::time_point now) {
        std::vector<size_t> late;
        for (size_t index : active) {
            if (printers[index]->deadline <= now) late.push_back(index);
        }
        for (size_t index : late) {
            Printer &p = *printers[index];
            if (p.step == Step::DeviceId) {
                p.exchange.problem = Agent(p) + " did not answer";
                Done(index);
            } else {
                Fail(index, p.step == Step::Receiving && !p.exchange.replies.empty()
                                ? "the replies stopped before they were complete"
                                : "no answer in time");
            }
        }
    }

    void Run() {
        using Due = std::pair<Clock::time_point, size_t>;
        std::priority_queue<Due, std::vector<Due>, std::greater<Due>> schedule;
        // The first polls spread over the shortest interval, so a large
        // fleet does not start all at once.
        const auto start = Clock::now();
        for (size_t i = 0; i < printers.size(); ++i) {
            const double spread = std::min(printers[i]->config.intervalSeconds, 10.0) * static_cast<double>(i) /
                                  static_cast<double>(printers.size());
            printers[i]->due = start + Milliseconds(spread);
            schedule.push({printers[i]->due, i});
        }
        auto lastExpiry = start;
        epoll_event events[256];
        while (!stopping.load()) {
            auto now = Clock::now();
            auto until = now + std::chrono::seconds(1);
            if (!schedule.empty()) until = std::min(until, schedule.top().first);
            for (size_t index : active) until = std::min(until, printers[index]->deadline);
            auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(until - now).count();
            {
                std::lock_guard<std::mutex> lock(queueMutex);
                if (!toNetwork.empty() || !finished.empty()) wait = 0;
                sleepingUntil = now + std::chrono::milliseconds(std::max<long long>(wait, 0));
            }
            const int ready = epoll_wait(epoll, events, 256, wait <= 0 ? 0 : static_cast<int>(wait) + 1);
            for (int i = 0; i < ready; ++i) {
                if (events[i].data.u64 == UINT64_MAX) {
                    uint64_t count;
                    (void)!read(wakeup, &count, sizeof count);
                    continue;
                }
                if (events[i].data.u64 == kSnmpSocket) {
                    OnAnswers(snmpClient->Read());
                    continue;
                }
                const size_t index = static_cast<size_t>(events[i].data.u64 >> 1);
                if (active.count(index) == 0) continue;  // ended by an earlier event
                if ((events[i].data.u64 & 1) != 0) {
                    OnSnmp(index);
                } else {
                    OnSocket(index, events[i].events);
                }
            }
            std::vector<size_t> send, reschedule;
            {
                std::lock_guard<std::mutex> lock(queueMutex);
                send.swap(toNetwork);
                reschedule.swap(finished);
                sleepingUntil = Clock::time_point::min();
            }
            for (size_t index : send) Connect(index);
            now = Clock::now();
            for (size_t index : reschedule) {
                Printer &p = *printers[index];
                const double delay = NextDelay(p);
                if (p.failures == 0) {
                    // Keeps the rhythm: the next poll is due one interval
                    // after this one was, unless that has passed already.
                    p.due = std::max(p.due + Milliseconds(delay), now);
                } else {
                    p.due = now + Milliseconds(delay);
                }
                schedule.push({p.due, index});
            }
            CheckDeadlines(now);
            if (snmpClient && now - lastExpiry >= std::chrono::seconds(1)) {
                OnAnswers(snmpClient->Expire());
                lastExpiry = now;
            }
            // Polls due in the next few milliseconds start now, while the
            // loop is awake anyway, rather than each waking it on its own.
            while (!schedule.empty() && schedule.top().first <= now + kEarlyStart) {
                const size_t index = schedule.top().second;
                schedule.pop();
                Printer &p = *printers[index];
                if (p.direct || p.addressLength == 0) {
                    workers->Submit([this, index] { BeginPoll(index); });
                } else if (Begin(index)) {
                    // A tcp printer whose address is known: its query is
                    // cheap to make, so it is made here and sent at once,
                    // without a round trip through a worker.
                    Connect(index);
                } else {
                    workers->Submit([this, index] { EndPoll(index); });
                }
            }
        }
    }
};

constexpr double FleetCounters::kLagBuckets[];

Fleet::Fleet(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

Fleet::~Fleet() { Stop(); }

std::unique_ptr<Fleet> Fleet::Create(const std::vector<FleetPrinterConfig> &configs, int workers,
                                     std::string *error) {
    auto impl = std::make_unique<Impl>();
    impl->workerCount = std::max(1, workers);
    for (const FleetPrinterConfig &config : configs) {
        const std::string named = "printer \"" + config.name + "\": ";
        auto p = std::make_unique<Impl::Printer>();
        p->config = config;
        if (!PatSetLocale(config.language.c_str())) {
            *error = named + "unknown language \"" + config.language + "\"";
            return nullptr;
        }
        if (config.language != configs.front().language) impl->mixedLanguages = true;
        std::optional<Target> target = ParseTarget(config.target, error);
        if (!target) {
            *error = named + *error;
            return nullptr;
        }
        p->target = *target;
        p->options.timeout = Milliseconds(config.timeoutSeconds);
        p->options.deviceId = config.deviceId;
        if (target->kind == Target::Kind::Virtual) {
            auto source = std::make_shared<PrinterSource>(target->scenario);
            if (!source->Load(error)) {
                *error = named + *error;
                return nullptr;
            }
            p->direct = VirtualTransport(source);
        } else if (target->kind == Target::Kind::Usb) {
            p->direct = UsbTransport(*target);
        } else {
            SnmpSource snmp{target->host, 161, config.community};
            if (!config.snmp.empty()) {
                const auto hostPort = ParseHostPort(config.snmp, 161);
                if (!hostPort) {
                    *error = named + "bad snmp address \"" + config.snmp + "\"";
                    return nullptr;
                }
                std::tie(snmp.host, snmp.port) = *hostPort;
            }
            p->snmp = snmp;
        }
        p->view.name = config.name;
        p->view.lastError = "not polled yet";
        impl->byName[config.name] = impl->printers.size();
        impl->printers.push_back(std::move(p));
    }
    // One language for the whole fleet is set once; mixed languages are
    // set for each poll's texts under a lock.
    if (!configs.empty()) PatSetLocale(configs.front().language.c_str());
    return std::unique_ptr<Fleet>(new Fleet(std::move(impl)));
}

void Fleet::Start() {
    Impl &impl = *impl_;
    impl.epoll = epoll_create1(EPOLL_CLOEXEC);
    impl.wakeup = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = UINT64_MAX;
    epoll_ctl(impl.epoll, EPOLL_CTL_ADD, impl.wakeup, &event);
    // One SNMP socket for every agent reachable over IPv4.
    if (SnmpAvailable() &&
        std::any_of(impl.printers.begin(), impl.printers.end(), [](const auto &p) { return p->snmp.has_value(); })) {
        std::string error;
        impl.snmpClient = DeviceIdClient::Open(&error);
        if (impl.snmpClient) {
            event.events = EPOLLIN;
            event.data.u64 = Impl::kSnmpSocket;
            epoll_ctl(impl.epoll, EPOLL_CTL_ADD, impl.snmpClient->Socket(), &event);
        }
    }
    impl.workers = std::make_unique<Workers>(impl.workerCount);
    impl.loop = std::thread([&impl] { impl.Run(); });
}

void Fleet::Stop() {
    Impl &impl = *impl_;
    if (!impl.loop.joinable()) return;
    impl.stopping.store(true);
    impl.Wake();
    impl.loop.join();
    impl.workers.reset();  // finishes the jobs already queued
    // Whatever is still on the network is dropped.
    for (auto &p : impl.printers) {
        if (p->socket >= 0) close(p->socket);
        p->socket = -1;
        p->snmpQuery.reset();
    }
    impl.snmpClient.reset();
}

std::vector<PrinterView> Fleet::Views() const {
    std::vector<PrinterView> views;
    views.reserve(impl_->printers.size());
    for (const auto &p : impl_->printers) {
        std::lock_guard<std::mutex> lock(p->viewMutex);
        views.push_back(p->view);
    }
    return views;
}

std::optional<PrinterView> Fleet::View(const std::string &name) const {
    const auto found = impl_->byName.find(name);
    if (found == impl_->byName.end()) return std::nullopt;
    const Impl::Printer &p = *impl_->printers[found->second];
    std::lock_guard<std::mutex> lock(p.viewMutex);
    return p.view;
}

std::optional<std::vector<uint8_t>> Fleet::Picture(const std::string &name) {
    const auto found = impl_->byName.find(name);
    if (found == impl_->byName.end()) return std::nullopt;
    Impl::Printer &p = *impl_->printers[found->second];
    std::vector<DrawStep> steps;
    uint64_t version;
    {
        std::lock_guard<std::mutex> lock(p.viewMutex);
        steps = p.view.picture;
        version = p.view.pictureVersion;
    }
    std::lock_guard<std::mutex> lock(p.pngMutex);
    if (version != p.pngVersion) {
        std::string error;
        std::vector<uint8_t> png;
        if (!EncodePng(ComposePicture(steps), &png, &error)) return std::vector<uint8_t>{};
        p.png = std::move(png);
        p.pngVersion = version;
    }
    return p.png;
}

FleetCounters Fleet::Counters() const {
    std::lock_guard<std::mutex> lock(impl_->countersMutex);
    return impl_->counters;
}

}  // namespace patmon
