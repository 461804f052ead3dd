// The network side of the fleet's tcp polls, all at once on the event
// loop's thread: a non-blocking connection per printer under epoll that
// sends the query and reads the replies until they are complete, the
// device ID asked alongside through one SNMP socket shared by the fleet
// (or a session of its own for an agent reached only over IPv6), and each
// exchange's deadline. Nothing here waits; everything but Wake runs on
// the loop's thread.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "poll/poll.h"
#include "transports/reply_exchange.h"
#include "transports/snmp.h"

namespace patmon {

// Where a printer is reached, fixed once its addresses are resolved.
struct ExchangePeer {
    std::string host;  // for messages: "printer at HOST:PORT"
    uint16_t port = 0;
    sockaddr_storage address{};
    socklen_t addressLength = 0;  // 0 until resolved
    std::optional<SnmpSource> snmp;  // where the device ID is asked
    // The SNMP agent's IPv4 address, for the shared SNMP socket; other
    // agents get a session of their own for each poll.
    sockaddr_in snmpAddress{};
    bool snmpShared = false;
};

// Resolves the printer's address, and its SNMP agent's for the shared
// socket when `sharedSnmp` (an agent reached only over IPv6 is not shared).
// Name lookups wait, so this runs on a worker, never on the loop. False
// with `problem` set when the printer's name does not resolve.
bool ResolvePeer(ExchangePeer &peer, bool sharedSnmp, std::string *problem);

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
    ExchangeDriver(size_t printers, Finished finished);
    ~ExchangeDriver();
    ExchangeDriver(const ExchangeDriver &) = delete;
    ExchangeDriver &operator=(const ExchangeDriver &) = delete;

    // Opens the SNMP socket shared by every agent reachable over IPv4;
    // without it, each poll that asks a device ID has a session of its own.
    void OpenSharedSnmp();
    bool SharesSnmp() const { return client_ != nullptr; }

    // From any thread: ends the loop's Wait at once.
    void Wake();
    // Waits up to `milliseconds` for the network (or Wake) and handles
    // what came: sends, replies, device IDs.
    void Wait(int milliseconds);

    // Starts printer `index`'s exchange; at most one per printer at a time.
    void Begin(size_t index, const ExchangeRequest &request);
    // When the loop is next needed here: the earlier of `until` and the
    // deadline of every exchange under way; at once while a printer has
    // more to read than it was given on the last turn.
    Clock::time_point NextTurn(Clock::time_point until) const;
    // Ends the exchanges whose deadline has come, and (once a second) the
    // shared socket's requests that were never answered.
    void CheckDeadlines(Clock::time_point now);
    // Drops whatever is still on the network, without telling anyone.
    void DropAll();

private:
    // Where an exchange stands.
    enum class Step { Idle, Connecting, Sending, Receiving, DeviceId };
    struct Link {
        ExchangeRequest request;
        Exchange exchange;
        std::optional<ReplyCompleteness> completeness;  // fed each read's new bytes
        Step step = Step::Idle;
        int socket = -1;
        size_t sent = 0;
        uint32_t snmpRequest = 0;  // counts this printer's device-ID requests
        // The shared socket's answer, when it came before the replies did.
        std::optional<DeviceIdClient::Answer> snmpAnswer;
        std::unique_ptr<DeviceIdQuery> snmpQuery;  // an agent with a session of its own
    };

    void Watch(int fd, uint32_t events, size_t index, bool snmpSocket, bool add);
    void AskSharedSnmp(size_t index);
    void OnSocket(size_t index, uint32_t events);
    bool SendQuery(size_t index);
    void ReadReplies(size_t index);
    void AskDeviceId(size_t index);
    void OnAnswers(std::vector<DeviceIdClient::Answer> answers);
    void TakeAnswer(size_t index);
    void OnSnmp(size_t index);
    void Fail(size_t index, const std::string &problem);
    void Done(size_t index);

    std::vector<Link> links_;
    Finished finished_;
    std::set<size_t> active_;  // on the network now
    std::vector<size_t> unread_;  // printers with replies left to read on the next turn
    int epoll_ = -1;
    int wakeup_ = -1;
    std::unique_ptr<DeviceIdClient> client_;  // the shared SNMP socket
    Clock::time_point lastExpiry_;
};

}  // namespace patmon
