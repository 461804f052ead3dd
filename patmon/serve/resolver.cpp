#include "serve/resolver.h"

#include <ares.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <utility>

namespace patmon {

namespace {

std::once_flag g_library;

bool Numeric(const std::string &host, sockaddr_storage *address, socklen_t *length) {
    *address = sockaddr_storage{};
    auto *v4 = reinterpret_cast<sockaddr_in *>(address);
    if (inet_pton(AF_INET, host.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        *length = sizeof(sockaddr_in);
        return true;
    }
    auto *v6 = reinterpret_cast<sockaddr_in6 *>(address);
    if (inet_pton(AF_INET6, host.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        *length = sizeof(sockaddr_in6);
        return true;
    }
    return false;
}

}  // namespace

struct Resolver::Query {
    Resolver *resolver;
    std::string host;
};

Resolver::Resolver(Options options) : options_(std::move(options)) {
    std::call_once(g_library, [] { ares_library_init(ARES_LIB_INIT_ALL); });
    epoll_ = epoll_create1(EPOLL_CLOEXEC);
    ares_options settings{};
    settings.timeout = static_cast<int>(options_.tryTimeout.count());
    settings.tries = options_.tries;
    settings.sock_state_cb = &Resolver::OnSocketState;
    settings.sock_state_cb_data = this;
    ares_channel channel = nullptr;
    const int rc = ares_init_options(&channel, &settings, ARES_OPT_TIMEOUTMS | ARES_OPT_TRIES | ARES_OPT_SOCK_STATE_CB);
    if (rc != ARES_SUCCESS) {
        problem_ = std::string("name lookups unavailable: ") + ares_strerror(rc);
        return;
    }
    if (!options_.servers.empty() && ares_set_servers_ports_csv(channel, options_.servers.c_str()) != ARES_SUCCESS) {
        problem_ = "bad name servers \"" + options_.servers + "\"";
        ares_destroy(channel);
        return;
    }
    channel_ = channel;
}

Resolver::~Resolver() {
    // Ends the lookups under way: their callbacks run now, told so.
    if (channel_ != nullptr) ares_destroy(static_cast<ares_channel>(channel_));
    if (epoll_ >= 0) close(epoll_);
}

// c-ares opens, watches and closes its sockets as its queries need them;
// they are kept in this resolver's own epoll set, which the loop watches as
// one descriptor.
void Resolver::OnSocketState(void *data, int socket, int readable, int writable) {
    auto *self = static_cast<Resolver *>(data);
    if (readable == 0 && writable == 0) {
        epoll_ctl(self->epoll_, EPOLL_CTL_DEL, socket, nullptr);
        return;
    }
    epoll_event event{};
    event.events = (readable != 0 ? EPOLLIN : 0u) | (writable != 0 ? EPOLLOUT : 0u);
    event.data.fd = socket;
    if (epoll_ctl(self->epoll_, EPOLL_CTL_MOD, socket, &event) != 0) {
        epoll_ctl(self->epoll_, EPOLL_CTL_ADD, socket, &event);
    }
}

Resolver::Result Resolver::Look(const std::string &host, Clock::time_point now) {
    Entry &entry = entries_[host];
    if (entry.length == 0 && !entry.looking && Numeric(host, &entry.address, &entry.length)) entry.numeric = true;
    Result result;
    if (!entry.numeric && !entry.looking) {
        const bool due = entry.length == 0 ? now >= entry.retryAt
                                           : now >= entry.refreshAt && now >= entry.retryAt;
        if (due) {
            Start(host, entry);
            // A lookup answered at once (from the hosts file, or refused)
            // is not waited for; nobody else waits on it either.
            if (!entry.looking) ended_.erase(std::remove(ended_.begin(), ended_.end(), host), ended_.end());
        }
    }
    if (entry.length != 0) {
        // Known (even while it is being looked up again): used as it is.
        result.status = Result::Status::Ready;
        result.address = entry.address;
        result.length = entry.length;
    } else if (entry.looking) {
        result.status = Result::Status::Pending;
    } else {
        result.status = Result::Status::Failed;
        result.error = entry.error;
    }
    return result;
}

void Resolver::Start(const std::string &host, Entry &entry) {
    if (channel_ == nullptr) {
        entry.error = problem_;
        entry.retryAt = Clock::time_point::max();
        return;
    }
    entry.looking = true;
    ++looking_;
    ++started_;
    ares_addrinfo_hints hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    auto *query = new Query{this, host};
    ares_getaddrinfo(static_cast<ares_channel>(channel_), host.c_str(), nullptr, &hints, &Resolver::OnAnswer, query);
}

void Resolver::OnAnswer(void *arg, int status, int, ares_addrinfo *result) {
    auto *query = static_cast<Query *>(arg);
    if (status != ARES_EDESTRUCTION) query->resolver->Ended(query->host, status, result);
    if (result != nullptr) ares_freeaddrinfo(result);
    delete query;
}

void Resolver::Ended(const std::string &host, int status, const void *answer) {
    Entry &entry = entries_[host];
    entry.looking = false;
    --looking_;
    ended_.push_back(host);
    const auto now = Clock::now();
    const auto *found = static_cast<const ares_addrinfo *>(answer);
    const ares_addrinfo_node *node = found != nullptr ? found->nodes : nullptr;
    while (node != nullptr && node->ai_family != AF_INET && node->ai_family != AF_INET6) node = node->ai_next;
    if (status == ARES_SUCCESS && node != nullptr && node->ai_addrlen <= sizeof entry.address) {
        entry.address = sockaddr_storage{};
        std::memcpy(&entry.address, node->ai_addr, node->ai_addrlen);
        entry.length = node->ai_addrlen;
        entry.error.clear();
        entry.backOff = std::chrono::milliseconds(0);
        // The answer holds for its TTL, within bounds; an answer without one
        // (the hosts file) for the fixed refresh time.
        const auto ttl = std::chrono::milliseconds(static_cast<long long>(node->ai_ttl) * 1000);
        entry.refreshAt = now + (node->ai_ttl > 0 ? std::clamp(ttl, options_.minTtl, options_.maxTtl) : options_.refresh);
        entry.retryAt = now;
        nextDue_ = std::min(nextDue_, entry.refreshAt);
        return;
    }
    // A name that stops resolving keeps the address it had, if any, and is
    // tried again after the back-off.
    entry.error = status == ARES_SUCCESS ? "no address" : ares_strerror(status);
    entry.backOff = entry.backOff.count() == 0 ? options_.firstRetry : std::min(entry.backOff * 2, options_.maxRetry);
    entry.retryAt = now + entry.backOff;
    nextDue_ = std::min(nextDue_, entry.retryAt);
}

std::vector<std::string> Resolver::Process() {
    if (channel_ != nullptr) {
        epoll_event events[64];
        const int ready = epoll_wait(epoll_, events, 64, 0);
        for (int i = 0; i < ready; ++i) {
            const int fd = events[i].data.fd;
            const bool in = (events[i].events & (EPOLLIN | EPOLLERR | EPOLLHUP)) != 0;
            const bool out = (events[i].events & EPOLLOUT) != 0;
            ares_process_fd(static_cast<ares_channel>(channel_), in ? fd : ARES_SOCKET_BAD, out ? fd : ARES_SOCKET_BAD);
        }
        // The queries whose time is up.
        ares_process_fd(static_cast<ares_channel>(channel_), ARES_SOCKET_BAD, ARES_SOCKET_BAD);
    }
    const auto now = Clock::now();
    if (now >= nextDue_) {
        nextDue_ = Clock::time_point::max();
        for (auto &[host, entry] : entries_) {
            if (entry.numeric || entry.looking) continue;
            const auto due = std::max(entry.refreshAt, entry.retryAt);
            if (now >= due) {
                Start(host, entry);
            } else {
                nextDue_ = std::min(nextDue_, due);
            }
        }
    }
    return std::exchange(ended_, {});
}

Resolver::Clock::time_point Resolver::NextTimeout(Clock::time_point until) const {
    if (!ended_.empty()) return Clock::now();
    until = std::min(until, nextDue_);
    if (channel_ == nullptr || looking_ == 0) return until;
    timeval longest{3600, 0}, left{};
    const timeval *next = ares_timeout(static_cast<ares_channel>(channel_), &longest, &left);
    if (next == nullptr || next->tv_sec >= 3600) return until;
    const auto wait = std::chrono::seconds(next->tv_sec) + std::chrono::microseconds(next->tv_usec);
    return std::min(until, Clock::now() + std::chrono::duration_cast<Clock::duration>(wait));
}

}  // namespace patmon
