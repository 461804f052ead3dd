// One poll, through the library only: ask it what to send, let the caller
// fetch the replies, hand them back in an answer tree, then read the status
// text and the status picture's draw list from a status tree. Uses nothing
// of patmon's but the library's public header.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "patprn/patprn.h"
#include "poll/readings.h"

namespace patmon {

// What came back from a printer for one query: the transports fill it.
struct Exchange {
    bool answered = false;  // false: nothing usable came back in time
    std::string replies;    // every byte of PJL reply received
    std::optional<std::string> deviceId;
    std::string problem;    // why it was not answered, or what was left out
};

// The host's record of one printer, kept across polls: a zero-filled
// PrnInfoEx whose lists and strings the library fills; released here.
class PrinterRecord {
public:
    PrinterRecord();
    ~PrinterRecord();
    PrinterRecord(const PrinterRecord &) = delete;
    PrinterRecord &operator=(const PrinterRecord &) = delete;
    PrnInfoEx *get() { return reinterpret_cast<PrnInfoEx *>(bytes_); }
    const PrnInfoEx *get() const { return reinterpret_cast<const PrnInfoEx *>(bytes_); }

private:
    alignas(8) unsigned char bytes_[PAT_PRNINFOEX_MIN_SIZE] = {};
};

struct DrawStep {
    std::string name;
    int32_t x = 0;
    int32_t y = 0;
    uint32_t rop = 0;
};

struct PollResult {
    bool responded = false;
    std::string problem;          // why not, or what was left out
    bool deviceIdRead = false;
    std::vector<uint32_t> codes;  // the engine status codes the record holds
    std::string label;            // short text, UTF-8
    std::string message;          // detailed text, UTF-8
    std::vector<DrawStep> picture;
    PrnInfo summary{};            // the flat record of everything
    PollReadings readings;        // the same in people's terms
};

struct PollOptions {
    std::chrono::milliseconds timeout{5000};
    std::optional<std::string> deviceId;  // used instead of asking the printer
};

// Sends a query's PJL text to the printer and brings back its replies
// (and its device ID when `wantDeviceId`).
using AskPrinter = std::function<Exchange(const std::string &pjl, bool wantDeviceId)>;

// Polls once into `record`, asking through `ask`; `canReadDeviceId` says
// whether `ask` can fetch a device ID. The status text is in the language
// selected with PatSetLocale, converted to UTF-8 with the code page of
// `language`.
PollResult Poll(const AskPrinter &ask, bool canReadDeviceId, PrinterRecord &record, const PollOptions &options,
                const std::string &language);

// A poll in two halves, for hosts that fetch the replies elsewhere (the
// fleet service's event loop): the query the library made for a record,
// then the replies handed back. Both halves use the record, so a record's
// poll must not overlap another poll of the same record.
class PendingPoll {
public:
    PendingPoll() = default;
    ~PendingPoll();
    PendingPoll(const PendingPoll &) = delete;
    PendingPoll &operator=(const PendingPoll &) = delete;

    std::string pjl;             // the text to send
    bool fetchDeviceId = false;  // whether the transport should read the device ID
    bool deviceIdAsked = false;
    DWORD flags = 0;             // the request flags of the query
    std::string problem;         // set when no query was made
    QueryNode *query = nullptr;  // owned; handed to the answer tree
};

// The first half: the library's query for `record`. `canReadDeviceId`
// says whether the transport can fetch a device ID.
void StartPoll(PrinterRecord &record, const PollOptions &options, bool canReadDeviceId, PendingPoll &pending);
// The second half: the replies into the record, then the status text and
// picture, as Poll does.
PollResult FinishPoll(PendingPoll &pending, Exchange exchange, PrinterRecord &record, const PollOptions &options,
                      const std::string &language);

const char *RopName(uint32_t rop);

}  // namespace patmon
