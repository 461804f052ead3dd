#include "serve/exchange.h"

#include <netdb.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace patmon {

namespace {

// The epoll tags of the wake-up and the shared SNMP socket; a printer's
// tags (its index, shifted) are far below.
constexpr uint64_t kWakeup = UINT64_MAX;
constexpr uint64_t kSharedSnmp = UINT64_MAX - 1;

// Most bytes read from one printer in one turn of the loop, so that a
// printer that floods its replies holds up the others for no longer than
// reading and checking this much takes.
constexpr size_t kReadShare = 64 * 1024;

// A shared-socket request's token: the printer and its request count, so
// that a late answer to an earlier poll is not taken for this one's.
uint64_t Token(size_t index, uint32_t request) { return (static_cast<uint64_t>(index) << 32) | request; }

std::string Where(const ExchangePeer &peer) { return "printer at " + peer.host + ":" + std::to_string(peer.port); }

std::string Agent(const ExchangePeer &peer) {
    return "SNMP agent at " + peer.snmp->host + ":" + std::to_string(peer.snmp->port);
}

std::string ErrorText(int error) { return std::strerror(error); }

// The first address of HOST:PORT for sockets of `type`; false when there
// is none (nullptr in `found`, or one to free).
bool Resolve(const std::string &host, uint16_t port, int type, addrinfo **found, int *rc) {
    addrinfo hints{};
    hints.ai_socktype = type;
    *found = nullptr;
    *rc = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, found);
    return *rc == 0 && *found != nullptr;
}

}  // namespace

bool ResolvePeer(ExchangePeer &peer, bool sharedSnmp, std::string *problem) {
    addrinfo *found = nullptr;
    int rc = 0;
    if (!Resolve(peer.host, peer.port, SOCK_STREAM, &found, &rc)) {
        *problem = "cannot resolve " + peer.host + ": " + gai_strerror(rc);
        return false;
    }
    std::memcpy(&peer.address, found->ai_addr, found->ai_addrlen);
    const socklen_t length = found->ai_addrlen;
    freeaddrinfo(found);
    if (peer.snmp && sharedSnmp) {
        if (Resolve(peer.snmp->host, peer.snmp->port, SOCK_DGRAM, &found, &rc) && found->ai_family == AF_INET) {
            std::memcpy(&peer.snmpAddress, found->ai_addr, sizeof peer.snmpAddress);
            peer.snmpShared = true;
        }
        if (found != nullptr) freeaddrinfo(found);
    }
    peer.addressLength = length;  // last: the loop reads the addresses once this is set
    return true;
}

ExchangeDriver::ExchangeDriver(size_t printers, Finished finished)
    : links_(printers), finished_(std::move(finished)), lastExpiry_(Clock::now()) {
    epoll_ = epoll_create1(EPOLL_CLOEXEC);
    wakeup_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = kWakeup;
    epoll_ctl(epoll_, EPOLL_CTL_ADD, wakeup_, &event);
}

ExchangeDriver::~ExchangeDriver() {
    DropAll();
    if (epoll_ >= 0) close(epoll_);
    if (wakeup_ >= 0) close(wakeup_);
}

void ExchangeDriver::OpenSharedSnmp() {
    std::string error;
    client_ = DeviceIdClient::Open(&error);
    if (!client_) return;
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = kSharedSnmp;
    epoll_ctl(epoll_, EPOLL_CTL_ADD, client_->Socket(), &event);
}

void ExchangeDriver::Wake() {
    const uint64_t one = 1;
    (void)!write(wakeup_, &one, sizeof one);
}

void ExchangeDriver::Wait(int milliseconds) {
    epoll_event events[256];
    const int ready = epoll_wait(epoll_, events, 256, unread_.empty() ? milliseconds : 0);
    for (int i = 0; i < ready; ++i) {
        const uint64_t tag = events[i].data.u64;
        if (tag == kWakeup) {
            uint64_t count;
            (void)!read(wakeup_, &count, sizeof count);
        } else if (tag == kSharedSnmp) {
            OnAnswers(client_->Read());
        } else if (active_.count(static_cast<size_t>(tag >> 1)) == 0) {
            continue;  // ended by an earlier event
        } else if ((tag & 1) != 0) {
            OnSnmp(static_cast<size_t>(tag >> 1));
        } else {
            OnSocket(static_cast<size_t>(tag >> 1), events[i].events);
        }
    }
    // Then the printers that had more to read than their share.
    std::vector<size_t> unread;
    unread.swap(unread_);
    for (size_t index : unread) {
        if (active_.count(index) != 0 && links_[index].step == Step::Receiving) ReadReplies(index);
    }
}

void ExchangeDriver::Watch(int fd, uint32_t events, size_t index, bool snmpSocket, bool add) {
    epoll_event event{};
    event.events = events;
    event.data.u64 = (static_cast<uint64_t>(index) << 1) | (snmpSocket ? 1 : 0);
    epoll_ctl(epoll_, add ? EPOLL_CTL_ADD : EPOLL_CTL_MOD, fd, &event);
}

void ExchangeDriver::Begin(size_t index, const ExchangeRequest &request) {
    Link &l = links_[index];
    l.request = request;
    l.exchange = Exchange{};
    l.completeness.emplace(*request.query);
    l.sent = 0;
    l.snmpAnswer.reset();
    if (request.fetchDeviceId && request.peer->snmpShared) AskSharedSnmp(index);
    const ExchangePeer &peer = *request.peer;
    l.socket = ::socket(peer.address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (l.socket < 0) return Fail(index, "cannot open a socket: " + ErrorText(errno));
    if (connect(l.socket, reinterpret_cast<const sockaddr *>(&peer.address), peer.addressLength) != 0 &&
        errno != EINPROGRESS) {
        return Fail(index, "cannot connect: " + ErrorText(errno));
    }
    active_.insert(index);
    l.step = Step::Connecting;
    // Registered once for the whole exchange, edge-triggered: ready to
    // send once connected, then readable as the replies come.
    Watch(l.socket, EPOLLOUT | EPOLLIN | EPOLLRDHUP | EPOLLET, index, false, true);
    // A connection to a near printer is often made already: the query
    // goes out now, without waiting for the loop's next turn.
    OnSocket(index, EPOLLOUT);
}

// The device ID is asked alongside the query, so that both answers tend to
// arrive together. It only counts if the replies come complete, as when it
// was asked after them.
void ExchangeDriver::AskSharedSnmp(size_t index) {
    Link &l = links_[index];
    const ExchangePeer &peer = *l.request.peer;
    std::string error;
    if (!client_->Send(peer.snmpAddress, *peer.snmp, l.request.timeout + std::chrono::seconds(1),
                       Token(index, ++l.snmpRequest), &error)) {
        l.snmpAnswer = DeviceIdClient::Answer{};
        l.snmpAnswer->error = ": " + error;
    }
}

void ExchangeDriver::OnSocket(size_t index, uint32_t events) {
    Link &l = links_[index];
    if (l.step == Step::Connecting && (events & (EPOLLERR | EPOLLHUP)) != 0) {
        int error = 0;
        socklen_t length = sizeof error;
        getsockopt(l.socket, SOL_SOCKET, SO_ERROR, &error, &length);
        if (error != 0) return Fail(index, "cannot connect: " + ErrorText(error));
    }
    if ((l.step == Step::Connecting || l.step == Step::Sending) && !SendQuery(index)) return;
    ReadReplies(index);
}

// Sends what is left of the query; false while sending must wait, or when
// it failed (and the exchange has ended).
bool ExchangeDriver::SendQuery(size_t index) {
    Link &l = links_[index];
    // Sending waits (EAGAIN) while the connection is being made; an error
    // before the first byte is the connection's.
    const std::string &query = *l.request.query;
    while (l.sent < query.size()) {
        const ssize_t n = send(l.socket, query.data() + l.sent, query.size() - l.sent, MSG_NOSIGNAL);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return false;
        if (n < 0) {
            Fail(index, (l.step == Step::Connecting ? "cannot connect: " : "cannot send the query: ") +
                            ErrorText(errno));
            return false;
        }
        l.step = Step::Sending;
        l.sent += static_cast<size_t>(n);
    }
    l.step = Step::Receiving;
    return true;
}

// Edge-triggered: reads until there is nothing more for now, the replies
// are complete, or this turn's share is read (the rest is read on the
// loop's next turn, after the other printers' events). Only the bytes of
// each read are checked, so a long reply costs one pass however it is cut.
void ExchangeDriver::ReadReplies(size_t index) {
    Link &l = links_[index];
    char buffer[16384];
    for (size_t budget = kReadShare;;) {
        if (budget == 0) {
            unread_.push_back(index);
            return;
        }
        const ssize_t n = recv(l.socket, buffer, std::min(sizeof buffer, budget), 0);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        if (n < 0) return Fail(index, reply_problem::kReadFailed);
        if (n == 0) return Fail(index, reply_problem::kClosed);
        const size_t size = static_cast<size_t>(n);
        budget -= size;
        if (l.exchange.replies.size() + size > kMaxReplyBytes) return Fail(index, reply_problem::kTooLong);
        l.exchange.replies.append(buffer, size);
        if (l.completeness->Feed(buffer, size)) break;
    }
    close(l.socket);
    l.socket = -1;
    AskDeviceId(index);
}

// The replies are in: the device ID next, when the poll wants it.
void ExchangeDriver::AskDeviceId(size_t index) {
    Link &l = links_[index];
    if (!l.request.fetchDeviceId) {
        l.exchange.answered = true;
        return Done(index);
    }
    const ExchangePeer &peer = *l.request.peer;
    if (peer.snmpShared) {
        l.step = Step::DeviceId;
        if (l.snmpAnswer) TakeAnswer(index);
        return;
    }
    std::string error;
    l.snmpQuery = DeviceIdQuery::Send(*peer.snmp, &error);
    if (!l.snmpQuery) {
        l.exchange.problem = error;
        return Done(index);
    }
    l.step = Step::DeviceId;
    Watch(l.snmpQuery->Socket(), EPOLLIN, index, true, true);
}

// Answers on the shared SNMP socket: kept until the replies are in, or
// ending the poll if they are. One whose poll has ended (given up at its
// deadline) is dropped.
void ExchangeDriver::OnAnswers(std::vector<DeviceIdClient::Answer> answers) {
    for (DeviceIdClient::Answer &answer : answers) {
        const size_t index = static_cast<size_t>(answer.token >> 32);
        if (index >= links_.size() || active_.count(index) == 0) continue;
        Link &l = links_[index];
        if (!l.request.peer->snmpShared || l.snmpAnswer || Token(index, l.snmpRequest) != answer.token) continue;
        l.snmpAnswer = std::move(answer);
        if (l.step == Step::DeviceId) TakeAnswer(index);
    }
}

void ExchangeDriver::TakeAnswer(size_t index) {
    Link &l = links_[index];
    l.exchange.deviceId = std::move(l.snmpAnswer->deviceId);
    l.exchange.answered = l.exchange.deviceId.has_value();
    if (!l.exchange.answered) l.exchange.problem = Agent(*l.request.peer) + l.snmpAnswer->error;
    l.snmpAnswer.reset();
    Done(index);
}

void ExchangeDriver::OnSnmp(size_t index) {
    Link &l = links_[index];
    if (l.step != Step::DeviceId || !l.snmpQuery->Read()) return;
    l.exchange.deviceId = l.snmpQuery->deviceId;
    l.exchange.answered = l.exchange.deviceId.has_value();
    if (!l.exchange.answered) l.exchange.problem = l.snmpQuery->error;
    Done(index);
}

ExchangeDriver::Clock::time_point ExchangeDriver::NextTurn(Clock::time_point until) const {
    if (!unread_.empty()) return Clock::now();
    for (size_t index : active_) until = std::min(until, links_[index].request.deadline);
    return until;
}

void ExchangeDriver::CheckDeadlines(Clock::time_point now) {
    std::vector<size_t> late;
    for (size_t index : active_) {
        if (links_[index].request.deadline <= now) late.push_back(index);
    }
    for (size_t index : late) {
        Link &l = links_[index];
        if (l.step == Step::DeviceId) {
            l.exchange.problem = Agent(*l.request.peer) + " did not answer";
            Done(index);
        } else {
            Fail(index, l.step == Step::Receiving && !l.exchange.replies.empty() ? reply_problem::kStopped
                                                                                 : reply_problem::kNoAnswer);
        }
    }
    if (client_ && now - lastExpiry_ >= std::chrono::seconds(1)) {
        OnAnswers(client_->Expire());
        lastExpiry_ = now;
    }
}

void ExchangeDriver::Fail(size_t index, const std::string &problem) {
    Link &l = links_[index];
    l.exchange.answered = false;
    l.exchange.problem = Where(*l.request.peer) + ": " + problem;
    Done(index);
}

// Ends the network part and hands over what came back.
void ExchangeDriver::Done(size_t index) {
    Link &l = links_[index];
    if (l.socket >= 0) {
        close(l.socket);  // which also ends its watch: the socket is not shared
        l.socket = -1;
    }
    if (l.snmpQuery) {
        epoll_ctl(epoll_, EPOLL_CTL_DEL, l.snmpQuery->Socket(), nullptr);
        l.snmpQuery.reset();
    }
    l.step = Step::Idle;
    active_.erase(index);
    finished_(index, std::move(l.exchange));
}

void ExchangeDriver::DropAll() {
    for (Link &l : links_) {
        if (l.socket >= 0) close(l.socket);
        l.socket = -1;
        l.snmpQuery.reset();
    }
    active_.clear();
    client_.reset();
}

}  // namespace patmon
