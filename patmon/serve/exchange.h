// The network side of the fleet's tcp polls, all at once on the event
// loop's thread: the printer's and its SNMP agent's names looked up without
// waiting (c-ares), a non-blocking connection per printer under epoll that
// sends the query and reads the replies until they are complete, the
// device ID asked alongside through the SNMP sockets shared by the fleet,
// and each exchange's deadline. Nothing here waits; everything but Wake
// runs on the loop's thread.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "poll/poll.h"
#include "serve/resolver.h"
#include "transports/reply_exchange.h"
#include "transports/snmp.h"

namespace patmon {

// Where a printer is reached: names (or numeric addresses), looked up by
// the exchange driver as each poll needs them.
struct ExchangePeer {
    std::string host;  // also for messages: "printer at HOST:PORT"
    uint16_t port = 0;
    std::optional<SnmpSource> snmp;  // where the device ID is asked
};

// One exchange: the query to send and until when the printer may take.
// `peer` and `query` must stay as they are until the exchange ends.
struct ExchangeRequest {
    const ExchangePeer *peer = nullptr;
    const std::string *query = nullptr;  // the PJL text
    bool fetchDeviceId = false;
    std::chrono::milliseconds timeout{5000};
    std::chrono::steady_clock::time_point deadline;
};

class ExchangeDriver {
public:
    using Clock = std::chrono::steady_clock;
    // Told on the loop's thread when printer `index`'s exchange has ended,
    // with what came back (answered, or the problem).
    using Finished = std::function<void(size_t index, Exchange exchange)>;

    // For printers 0 to `printers` - 1.
    ExchangeDriver(size_t printers, Finished finished, Resolver::Options names = {});
    ~ExchangeDriver();
    ExchangeDriver(const ExchangeDriver &) = delete;
    ExchangeDriver &operator=(const ExchangeDriver &) = delete;

    // Opens the SNMP sockets the whole fleet's device-ID requests share;
    // without them, a poll that asks a device ID gets no answer.
    void OpenSharedSnmp();

    // From any thread: ends the loop's Wait at once.
    void Wake();
    // Waits up to `milliseconds` for the network (or Wake) and handles
    // what came: sends, replies, device IDs, name servers' answers.
    // Returns how many events it handled.
    int Wait(int milliseconds);

    // Starts printer `index`'s exchange; at most one per printer at a time.
    // Its names are looked up first when they are not known yet.
    void Begin(size_t index, const ExchangeRequest &request);
    // When the loop is next needed here: the earlier of `until` and the
    // deadline of every exchange under way and of the name lookups; at once
    // while a printer has more to read than it was given on the last turn.
    Clock::time_point NextTurn(Clock::time_point until) const;
    // Ends the exchanges whose deadline has come, and (once a second) the
    // shared sockets' requests that were never answered. What has arrived
    // is read first, and a printer with replies still waiting to be read is
    // not judged this turn: an exchange ends for its printer's lateness,
    // never for the loop's.
    void CheckDeadlines(Clock::time_point now);
    // Drops whatever is still on the network, without telling anyone.
    void DropAll();

    const Resolver &Names() const { return resolver_; }

    // The address (numeric text) printer `index`'s SNMP agent was last
    // found at, for others that speak to the same agent without looking
    // its name up again; empty before the first lookup. Any thread.
    std::string AgentAddress(size_t index) const;

private:
    mutable std::mutex agentMutex_;
    std::vector<std::string> agentAddresses_;  // by printer
    // Where an exchange stands.
    enum class Step { Idle, Resolving, Connecting, Sending, Receiving, DeviceId };
    // Where its device-ID request stands.
    enum class AgentStep { None, Resolving, Asked, Answered };
    struct Link {
        ExchangeRequest request;
        Exchange exchange;
        std::optional<ReplyCompleteness> completeness;  // fed each read's new bytes
        Step step = Step::Idle;
        AgentStep agent = AgentStep::None;
        int socket = -1;
        size_t sent = 0;
        // The agent's answer, when it came before the replies did.
        std::optional<DeviceIdClient::Answer> snmpAnswer;
    };

    void Watch(int fd, uint32_t events, uint64_t tag);
    void Proceed(size_t index);
    void ResolveAgent(size_t index);
    void RememberAgent(size_t index, const sockaddr_storage &agent);
    void Connect(size_t index, const Resolver::Result &address);
    void OnNames();
    void OnSocket(size_t index, uint32_t events);
    bool SendQuery(size_t index);
    void ReadReplies(size_t index);
    void AskDeviceId(size_t index);
    void OnAnswers(std::vector<DeviceIdClient::Answer> answers);
    void TakeAnswer(size_t index);
    void Excuse(Clock::duration away);
    void Fail(size_t index, const std::string &problem);
    void Done(size_t index);

    std::vector<Link> links_;
    Finished finished_;
    Resolver resolver_;
    std::set<size_t> active_;  // on the network now
    std::vector<size_t> unread_;  // printers with replies left to read on the next turn
    int epoll_ = -1;
    int wakeup_ = -1;
    std::unique_ptr<DeviceIdClient> client_;  // the shared SNMP sockets
    std::string snmpProblem_;                 // why there are none
    Clock::time_point lastExpiry_;
    Clock::time_point lastLooked_;  // when the loop last looked at the network
};

}  // namespace patmon
