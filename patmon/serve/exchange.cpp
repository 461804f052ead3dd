#include "serve/exchange.h"

#include <arpa/inet.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace patmon {

namespace {

// The epoll tags of the wake-up, the shared SNMP sockets and the name
// lookups; a printer's tag (its index) is far below.
constexpr uint64_t kWakeup = UINT64_MAX;
constexpr uint64_t kSharedSnmp = UINT64_MAX - 1;
constexpr uint64_t kNames = UINT64_MAX - 2;

// Most bytes read from one printer in one turn of the loop, so that a
// printer that floods its replies holds up the others for no longer than
// reading and checking this much takes.
constexpr size_t kReadShare = 64 * 1024;

// Events taken from epoll in one go.
constexpr int kEventBatch = 256;

// How long the loop may be away from the network (handling a turn, or not
// scheduled by the system) before the exchanges under way are given that
// time back: their printers could not be heard meanwhile.
constexpr std::chrono::milliseconds kAwaySlack{100};

std::string Where(const ExchangePeer &peer) {
    return "the printer's PJL port at " + peer.host + ":" + std::to_string(peer.port);
}

std::string Agent(const ExchangePeer &peer) {
    return "SNMP agent at " + peer.snmp->host + ":" + std::to_string(peer.snmp->port);
}

std::string ErrorText(int error) { return std::strerror(error); }

void SetPort(sockaddr_storage &address, uint16_t port) {
    if (address.ss_family == AF_INET) reinterpret_cast<sockaddr_in &>(address).sin_port = htons(port);
    if (address.ss_family == AF_INET6) reinterpret_cast<sockaddr_in6 &>(address).sin6_port = htons(port);
}

constexpr const char *kNameServerLate = "no answer from the name server in time";

}  // namespace

ExchangeDriver::ExchangeDriver(size_t printers, Finished finished, Resolver::Options names)
    : links_(printers),
      finished_(std::move(finished)),
      resolver_(std::move(names)),
      lastExpiry_(Clock::now()),
      lastLooked_(Clock::now()) {
    epoll_ = epoll_create1(EPOLL_CLOEXEC);
    wakeup_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    Watch(wakeup_, EPOLLIN, kWakeup);
    Watch(resolver_.Descriptor(), EPOLLIN, kNames);
}

ExchangeDriver::~ExchangeDriver() {
    DropAll();
    if (epoll_ >= 0) close(epoll_);
    if (wakeup_ >= 0) close(wakeup_);
}

void ExchangeDriver::OpenSharedSnmp() {
    client_ = DeviceIdClient::Open(&snmpProblem_);
    if (!client_) return;
    for (int fd : client_->Sockets()) Watch(fd, EPOLLIN, kSharedSnmp);
}

void ExchangeDriver::Wake() {
    const uint64_t one = 1;
    (void)!write(wakeup_, &one, sizeof one);
}

// Time the loop spent away from the network beyond the slack is added to
// every deadline under way.
void ExchangeDriver::Excuse(Clock::duration away) {
    if (away <= kAwaySlack) return;
    for (size_t index : active_) links_[index].request.deadline += away - kAwaySlack;
}

int ExchangeDriver::Wait(int milliseconds) {
    const auto before = Clock::now();
    Excuse(before - lastLooked_);
    const int timeout = unread_.empty() ? std::max(milliseconds, 0) : 0;
    epoll_event events[kEventBatch];
    const int ready = epoll_wait(epoll_, events, kEventBatch, timeout);
    const auto after = Clock::now();
    Excuse(after - (before + std::chrono::milliseconds(timeout)));
    lastLooked_ = after;
    bool names = false;
    for (int i = 0; i < ready; ++i) {
        const uint64_t tag = events[i].data.u64;
        if (tag == kWakeup) {
            uint64_t count;
            (void)!read(wakeup_, &count, sizeof count);
        } else if (tag == kSharedSnmp) {
            if (client_) OnAnswers(client_->Read());
        } else if (tag == kNames) {
            names = true;
        } else if (active_.count(static_cast<size_t>(tag)) != 0) {  // else ended by an earlier event
            OnSocket(static_cast<size_t>(tag), events[i].events);
        }
    }
    if (names || resolver_.NextTimeout(Clock::time_point::max()) <= after) OnNames();
    // Then the printers that had more to read than their share.
    std::vector<size_t> unread;
    unread.swap(unread_);
    for (size_t index : unread) {
        if (active_.count(index) != 0 && links_[index].step == Step::Receiving) ReadReplies(index);
    }
    return std::max(ready, 0);
}

void ExchangeDriver::Watch(int fd, uint32_t events, uint64_t tag) {
    epoll_event event{};
    event.events = events;
    event.data.u64 = tag;
    epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &event);
}

void ExchangeDriver::Begin(size_t index, const ExchangeRequest &request) {
    Link &l = links_[index];
    l.request = request;
    l.exchange = Exchange{};
    l.completeness.emplace(*request.query);
    l.sent = 0;
    l.snmpAnswer.reset();
    l.step = Step::Resolving;
    l.agent = request.fetchDeviceId ? AgentStep::Resolving : AgentStep::None;
    active_.insert(index);
    Proceed(index);
}

// Moves an exchange on as far as the names it needs are known: the device
// ID is asked as soon as the agent's address is, the query sent as soon as
// the printer's is.
void ExchangeDriver::Proceed(size_t index) {
    Link &l = links_[index];
    if (l.agent == AgentStep::Resolving) ResolveAgent(index);
    if (l.step != Step::Resolving) return;
    const ExchangePeer &peer = *l.request.peer;
    const Resolver::Result found = resolver_.Look(peer.host, Clock::now());
    if (found.status == Resolver::Result::Status::Ready) return Connect(index, found);
    if (found.status == Resolver::Result::Status::Failed) return Fail(index, "cannot resolve " + peer.host + ": " + found.error);
}

// The device ID is asked alongside the query, so that both answers tend to
// arrive together. It only counts if the replies come complete, as when it
// was asked after them.
void ExchangeDriver::ResolveAgent(size_t index) {
    Link &l = links_[index];
    const ExchangePeer &peer = *l.request.peer;
    const Resolver::Result found = resolver_.Look(peer.snmp->host, Clock::now());
    if (found.status == Resolver::Result::Status::Pending) return;
    std::string error;
    if (found.status == Resolver::Result::Status::Failed) {
        error = "cannot resolve " + peer.snmp->host + ": " + found.error;
    } else if (!client_) {
        error = snmpProblem_.empty() ? "no SNMP socket" : snmpProblem_;
    } else {
        sockaddr_storage agent = found.address;
        SetPort(agent, peer.snmp->port);
        RememberAgent(index, agent);
        if (client_->Send(reinterpret_cast<const sockaddr *>(&agent), found.length, peer.snmp->community,
                          l.request.timeout + std::chrono::seconds(1), index, &error)) {
            l.agent = AgentStep::Asked;
            return;
        }
    }
    l.agent = AgentStep::Answered;
    l.snmpAnswer = DeviceIdClient::Answer{};
    l.snmpAnswer->error = ": " + error;
    if (l.step == Step::DeviceId) TakeAnswer(index);
}

void ExchangeDriver::RememberAgent(size_t index, const sockaddr_storage &agent) {
    char text[INET6_ADDRSTRLEN] = {};
    const void *address = agent.ss_family == AF_INET6
                              ? static_cast<const void *>(&reinterpret_cast<const sockaddr_in6 &>(agent).sin6_addr)
                              : static_cast<const void *>(&reinterpret_cast<const sockaddr_in &>(agent).sin_addr);
    if (inet_ntop(agent.ss_family, address, text, sizeof text) == nullptr) return;
    std::lock_guard<std::mutex> lock(agentMutex_);
    if (agentAddresses_.size() <= index) agentAddresses_.resize(index + 1);
    agentAddresses_[index] = text;
}

std::string ExchangeDriver::AgentAddress(size_t index) const {
    std::lock_guard<std::mutex> lock(agentMutex_);
    return index < agentAddresses_.size() ? agentAddresses_[index] : std::string();
}

void ExchangeDriver::Connect(size_t index, const Resolver::Result &found) {
    Link &l = links_[index];
    sockaddr_storage address = found.address;
    SetPort(address, l.request.peer->port);
    l.socket = ::socket(address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (l.socket < 0) return Fail(index, "cannot open a socket: " + ErrorText(errno));
    if (connect(l.socket, reinterpret_cast<const sockaddr *>(&address), found.length) != 0 && errno != EINPROGRESS) {
        return Fail(index, "cannot connect: " + ErrorText(errno));
    }
    l.step = Step::Connecting;
    // A connection to a near printer is often made already: the query
    // goes out now, without waiting for the loop's next turn.
    if (!SendQuery(index) && l.step == Step::Idle) return;  // failed (and ended)
    // Registered once for the whole exchange, edge-triggered: readable as
    // the replies come, and, while the query could not go out whole, ready
    // to send once connected. Replies that came before are reported at once.
    const uint32_t sending = l.step == Step::Receiving ? 0u : static_cast<uint32_t>(EPOLLOUT);
    Watch(l.socket, sending | EPOLLIN | EPOLLRDHUP | EPOLLET, index);
}

// Name lookups have ended: the exchanges waiting on those names go on.
void ExchangeDriver::OnNames() {
    const std::vector<std::string> ended = resolver_.Process();
    if (ended.empty()) return;
    const std::set<std::string> names(ended.begin(), ended.end());
    const std::vector<size_t> waiting(active_.begin(), active_.end());
    for (size_t index : waiting) {
        const Link &l = links_[index];
        if (active_.count(index) == 0) continue;
        const ExchangePeer &peer = *l.request.peer;
        if ((l.step == Step::Resolving && names.count(peer.host) != 0) ||
            (l.agent == AgentStep::Resolving && names.count(peer.snmp->host) != 0)) {
            Proceed(index);
        }
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
    if (l.step == Step::Receiving) ReadReplies(index);
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
    l.step = Step::DeviceId;
    if (l.snmpAnswer) TakeAnswer(index);
}

// Answers on the shared SNMP sockets (only ever from the agent asked, to
// the request sent): kept until the replies are in, or ending the poll if
// they are.
void ExchangeDriver::OnAnswers(std::vector<DeviceIdClient::Answer> answers) {
    for (DeviceIdClient::Answer &answer : answers) {
        const size_t index = static_cast<size_t>(answer.token);
        if (index >= links_.size() || active_.count(index) == 0) continue;
        Link &l = links_[index];
        if (l.agent != AgentStep::Asked) continue;
        l.agent = AgentStep::Answered;
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

ExchangeDriver::Clock::time_point ExchangeDriver::NextTurn(Clock::time_point until) const {
    if (!unread_.empty()) return Clock::now();
    for (size_t index : active_) until = std::min(until, links_[index].request.deadline);
    return resolver_.NextTimeout(until);
}

void ExchangeDriver::CheckDeadlines(Clock::time_point now) {
    const auto late = [&] {
        std::vector<size_t> found;
        for (size_t index : active_) {
            if (links_[index].request.deadline <= now) found.push_back(index);
        }
        return found;
    };
    if (!late().empty()) {
        // Before anyone is judged late, whatever has arrived is read (every
        // batch of events, however many), the time the loop was away given
        // back, and the device IDs waiting on the shared sockets taken.
        for (size_t turn = 0; turn <= links_.size() / kEventBatch + 1 && Wait(0) == kEventBatch; ++turn) {
        }
        if (client_) OnAnswers(client_->Read());
    }
    for (size_t index : late()) {
        Link &l = links_[index];
        if (active_.count(index) == 0) continue;
        // Replies still waiting beyond this turn's share: read on the next
        // turn, not cut off now.
        if (std::find(unread_.begin(), unread_.end(), index) != unread_.end()) continue;
        if (l.step == Step::Resolving) {
            Fail(index, kNameServerLate);
        } else if (l.step == Step::DeviceId) {
            l.exchange.problem = Agent(*l.request.peer) +
                                 (l.agent == AgentStep::Resolving ? std::string(": ") + kNameServerLate : " did not answer");
            Done(index);
        } else {
            Fail(index, l.step == Step::Receiving && !l.exchange.replies.empty() ? reply_problem::kStopped
                                                                                 : reply_problem::kNoAnswer);
        }
    }
    if (client_ && now - lastExpiry_ >= std::chrono::seconds(1)) {
        OnAnswers(client_->Read());
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
    // A device ID that comes after the poll ended is not taken for the next.
    if (client_ && l.agent == AgentStep::Asked) client_->Forget(index);
    l.agent = AgentStep::None;
    l.step = Step::Idle;
    l.completeness.reset();
    active_.erase(index);
    finished_(index, std::move(l.exchange));
}

void ExchangeDriver::DropAll() {
    for (size_t index : active_) {
        Link &l = links_[index];
        if (l.socket >= 0) close(l.socket);
        l.socket = -1;
        l.step = Step::Idle;
        l.agent = AgentStep::None;
    }
    active_.clear();
    client_.reset();
}

}  // namespace patmon
