// Name lookups for the fleet's event loop (c-ares): asynchronous, so that a
// slow or silent name server delays no poll and holds up no thread. Each
// name is looked up once for every printer and SNMP agent that uses it and
// kept for its TTL (or a fixed time when the answer has none), then looked
// up again in the background while the known address stays in use; a name
// that does not resolve is tried again after a back-off, not at every
// poll. Everything here runs on the loop's thread.
#pragma once

#include <sys/socket.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct ares_addrinfo;

namespace patmon {

class Resolver {
public:
    using Clock = std::chrono::steady_clock;

    struct Options {
        std::chrono::milliseconds tryTimeout{2000};  // one query to one server
        int tries = 2;
        std::chrono::milliseconds firstRetry{5000};  // after a failed lookup, doubling
        std::chrono::milliseconds maxRetry{300000};
        std::chrono::milliseconds refresh{300000};   // when the answer gives no TTL
        std::chrono::milliseconds minTtl{1000};
        std::chrono::milliseconds maxTtl{3600000};
        std::string servers;  // "HOST:PORT,..." instead of resolv.conf's (tests)
    };

    struct Result {
        enum class Status { Ready, Pending, Failed };
        Status status = Status::Pending;
        sockaddr_storage address{};  // Ready: the port is 0, the caller's to set
        socklen_t length = 0;
        std::string error;  // Failed: why, for "cannot resolve HOST: ..."
    };

    Resolver() : Resolver(Options{}) {}
    explicit Resolver(Options options);
    ~Resolver();
    Resolver(const Resolver &) = delete;
    Resolver &operator=(const Resolver &) = delete;

    // Readable when the name servers' answers are waiting: for the loop's
    // epoll. Process() then takes them.
    int Descriptor() const { return epoll_; }

    // What is known of `host` at `now`, starting a lookup when it is needed
    // (none yet, the answer's time is up, or a failure's back-off is over).
    // A numeric address is Ready at once and never looked up.
    Result Look(const std::string &host, Clock::time_point now);

    // Takes the answers that arrived, gives up the queries whose time is
    // up, and looks up again the names whose answer has run out or whose
    // back-off after a failure is over (in the background: the address
    // known stays in use meanwhile, so a printer that moved is found at
    // its new address by its next poll). Returns the names whose lookup
    // ended meanwhile (resolved or not), for whoever waits on them.
    std::vector<std::string> Process();
    // When Process() is next needed if nothing arrives: the earlier of
    // `until`, the lookups' next timeout and the next name due again.
    Clock::time_point NextTimeout(Clock::time_point until) const;
    // Lookups sent to the name servers so far (for tests and metrics).
    uint64_t LookupsStarted() const { return started_; }

private:
    struct Entry {
        bool numeric = false;
        bool looking = false;
        sockaddr_storage address{};
        socklen_t length = 0;  // 0: no address known
        Clock::time_point refreshAt;  // an address known: when to look again
        Clock::time_point retryAt;    // after a failure: not before
        std::chrono::milliseconds backOff{0};
        std::string error;
    };
    struct Query;

    void Start(const std::string &host, Entry &entry);
    void Ended(const std::string &host, int status, const void *answer);
    static void OnSocketState(void *data, int socket, int readable, int writable);  // socket: an ares_socket_t
    static void OnAnswer(void *arg, int status, int timeouts, struct ares_addrinfo *result);

    Options options_;
    void *channel_ = nullptr;  // ares_channel
    std::string problem_;      // why there is no channel
    int epoll_ = -1;
    std::map<std::string, Entry> entries_;
    std::vector<std::string> ended_;
    uint64_t started_ = 0;
    int looking_ = 0;
    Clock::time_point nextDue_ = Clock::time_point::max();  // the earliest name due again
};

}  // namespace patmon
