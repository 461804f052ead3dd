#include "poll/poll.h"

#include <algorithm>
#include <cstring>

#include "poll/device_id.h"
#include "poll/readings.h"
#include "poll/status_tree.h"
#include "poll/text.h"

namespace patmon {

namespace {

constexpr DWORD kQueryFlags = PAT_QUERY_CONFIG | PAT_QUERY_TRAYS | PAT_QUERY_OUTBINS;
constexpr DWORD kShortRecordFlags = PAT_PRNINFO_STATE | PAT_PRNINFO_SYSTEM | PAT_PRNINFO_TRAYS | PAT_PRNINFO_OUTBINS |
                                    PAT_PRNINFO_EMULATIONS | PAT_PRNINFO_FONTS | PAT_PRNINFO_IDENTITY | PAT_PRNINFO_DUPLEX |
                                    PAT_PRNINFO_ENGINE_STATUS;

std::vector<DrawStep> DrawList(const QueryNode *statusTree) {
    std::vector<DrawStep> steps;
    BitmapInfo *info = PatCreateBitmapInfo(PAT_STATUS_SOURCE_PJL, statusTree, PAT_REVISION_STATUS);
    if (info == nullptr) return steps;
    for (DWORD l = 0; l < info->nLayers; ++l) {
        const BitmapLayer &layer = info->pLayers[l];
        for (DWORD e = 0; e < layer.nEntries; ++e) {
            const BitmapEntry &entry = layer.pEntries[e];
            steps.push_back({std::string(entry.szName, strnlen(entry.szName, sizeof entry.szName)), entry.nX,
                             entry.nY, entry.dwRop});
        }
    }
    PatDisposeBitmapInfo(info);
    return steps;
}

// The PJL text of the query the library makes for the record as it is now.
std::string QueryText(PrinterRecord &record, DWORD flags) {
    Tree query{PatCreateQueryInfo(record.get(), PAT_REVISION_PJL, flags)};
    return query.root != nullptr ? ChildText(query.root, QNODE_PJL_TEXT) : std::string();
}

// Hands the replies to the library. Fills `result`'s problem when the
// printer did not answer.
bool Interpret(PendingPoll &pending, Exchange exchange, PrinterRecord &record, const PollOptions &options,
               PollResult &result) {
    if (pending.query == nullptr) {
        result.problem = pending.problem;
        return false;
    }
    if (!exchange.answered) {
        result.problem = exchange.problem;
        return false;
    }
    if (options.deviceId) exchange.deviceId = options.deviceId;
    if (exchange.deviceId) {
        const std::string problem = DeviceIdStatusProblem(*exchange.deviceId);
        if (!problem.empty()) {
            result.problem = problem;
            return false;
        }
    }

    // The answer tree: the query attached unchanged, the replies, the device ID.
    Tree answer{MakeNode(QNODE_ANSWER_ROOT, nullptr, 0)};
    if (answer.root == nullptr) {
        result.problem = "out of memory";
        return false;
    }
    AppendChild(answer.root, pending.query);
    pending.query = nullptr;
    AppendChild(answer.root, MakeTextNode(QNODE_PJL_TEXT, exchange.replies));
    if (exchange.deviceId) AppendChild(answer.root, MakeTextNode(QNODE_DEVICE_ID, *exchange.deviceId));
    if (!PatSetCentroDataTo(answer.root, 0, record.get(), PAT_REVISION_PJL)) {
        const DWORD error = GetLastError();
        result.problem = error == PAT_ERROR_REPLY_MISSING
                             ? "the printer's replies are incomplete"
                             : "the library refused the replies (error " + std::to_string(error) + ")";
        return false;
    }
    result.deviceIdRead = exchange.deviceId.has_value();
    if (!pending.deviceIdAsked) result.problem = pending.problem;
    if (!exchange.problem.empty()) result.problem = exchange.problem;
    return true;
}

}  // namespace

PrinterRecord::PrinterRecord() { get()->dwSize = PAT_PRNINFOEX_MIN_SIZE; }

PrinterRecord::~PrinterRecord() {
    PrnInfoEx *r = get();
    for (void *head : {static_cast<void *>(r->pEngineStatus), static_cast<void *>(r->pLoadedEmul),
                       static_cast<void *>(r->pLoadedFont), static_cast<void *>(r->pTrayInfo),
                       static_cast<void *>(r->pOutBinInfo), static_cast<void *>(r->pDeviceInfo),
                       static_cast<void *>(r->pEmulUniqInfo), static_cast<void *>(r->pCounterInfo),
                       static_cast<void *>(r->pSupplyInfo)}) {
        for (auto *item = static_cast<InfoItem *>(head); item != nullptr;) {
            InfoItem *next = item->next;
            GlobalFree(item);
            item = next;
        }
    }
    for (char *text : {r->pModelName, r->pMakerName, r->pDescription, r->pSYSVersion, r->pMainProgVersion,
                       r->pVPSVersion}) {
        if (text != nullptr) GlobalFree(text);
    }
}

PendingPoll::~PendingPoll() { FreeTree(query); }

void StartPoll(PrinterRecord &record, const PollOptions &options, bool canReadDeviceId, PendingPoll &pending) {
    pending.deviceIdAsked = options.deviceId.has_value() || canReadDeviceId;
    if (!pending.deviceIdAsked) pending.problem = "no device ID source: the device ID was left out of the query";
    pending.flags = kQueryFlags | (pending.deviceIdAsked ? PAT_QUERY_DEVICE_ID : 0);
    pending.query = PatCreateQueryInfo(record.get(), PAT_REVISION_PJL, pending.flags);
    if (pending.query == nullptr) {
        pending.problem = "the library made no query (error " + std::to_string(GetLastError()) + ")";
        return;
    }
    pending.pjl = ChildText(pending.query, QNODE_PJL_TEXT);
    pending.fetchDeviceId = pending.deviceIdAsked && !options.deviceId.has_value();
}

namespace {

// One exchange with the printer. `askAgain` tells whether the replies
// changed what the library would ask next.
PollResult PollOnce(const AskPrinter &ask, bool canReadDeviceId, PrinterRecord &record, const PollOptions &options,
                    const std::string &language, bool *askAgain) {
    PendingPoll pending;
    StartPoll(record, options, canReadDeviceId, pending);
    Exchange exchange;
    if (pending.query != nullptr) exchange = ask(pending.pjl, pending.fetchDeviceId);
    PollResult result = FinishPoll(pending, std::move(exchange), record, options, language);
    *askAgain = result.responded && QueryText(record, pending.flags) != pending.pjl;
    return result;
}

}  // namespace

PollResult Poll(const AskPrinter &ask, bool canReadDeviceId, PrinterRecord &record, const PollOptions &options,
                const std::string &language) {
    bool askAgain = false;
    PollResult result = PollOnce(ask, canReadDeviceId, record, options, language, &askAgain);
    // The library asks about optional trays (feed units) only once the
    // record lists them, so the first replies of such a printer leave their
    // size, level and media out; one more exchange completes the record.
    if (askAgain) result = PollOnce(ask, canReadDeviceId, record, options, language, &askAgain);
    return result;
}

PollResult FinishPoll(PendingPoll &pending, Exchange exchange, PrinterRecord &record, const PollOptions &options,
                      const std::string &language) {
    PollResult result;
    result.responded = Interpret(pending, std::move(exchange), record, options, result);
    // A printer that does not answer is the host's to report: the record
    // says so, and the library then shows the no-response status.
    record.get()->bNoResponse = result.responded ? 0 : 1;

    // The printer's codes, each once; a printer that did not answer has no
    // codes but the no-response one (what it said before is no longer so).
    if (result.responded) {
        for (const EngineStatusItem *item = record.get()->pEngineStatus; item != nullptr;
             item = reinterpret_cast<const EngineStatusItem *>(item->next)) {
            if (std::find(result.codes.begin(), result.codes.end(), item->dwCode) == result.codes.end()) {
                result.codes.push_back(item->dwCode);
            }
        }
    } else {
        result.codes.push_back(PAT_STATUS_NO_RESPONSE);
    }

    Tree status{StatusTreeOf(record.get())};
    if (status.root != nullptr) {
        result.label = ToUtf8(StatusText(status.root, PAT_STATUS_TEXT_SHORT), language);
        result.message = ToUtf8(StatusText(status.root, PAT_STATUS_TEXT_DETAILED), language);
        result.picture = DrawList(status.root);
    }
    PatPrnInfoExToPrnInfo(record.get(), &result.summary, kShortRecordFlags);
    result.readings = ReadRecord(record, result.responded, result.codes, language);
    return result;
}

const char *RopName(uint32_t rop) {
    switch (rop) {
        case PAT_ROP_SRCCOPY: return "SRCCOPY";
        case PAT_ROP_SRCAND: return "SRCAND";
        case PAT_ROP_SRCPAINT: return "SRCPAINT";
        default: return "";
    }
}

}  // namespace patmon
