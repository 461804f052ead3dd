// The cost of a poll through the library's exports, as a host makes it:
// asking what to send, handing the printer's replies back, the status text
// and the status picture. Built against the shared library (libpatprn.so,
// or patprn.dll under Wine) and only its public header.
//
// Every figure comes with its reference in the same run: touching the reply
// bytes once (length and byte sum) is the least any interpretation must do,
// so the interpretation is also reported as a share of that rate.
#include "patprn/patprn.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

// ---- The printer: replies to every category the query asks ----

// What this printer answers to each inquiry of the query.
struct InquiryValue {
    const char *category;
    const char *value;
};
constexpr InquiryValue kInquiryValues[] = {
    {"FRONTCOVERPRINTTRAY", "TRAY1"}, {"INTRAY1", "UNLOCKED"},      {"INTRAY2", "LOCKED"},
    {"INTRAY3", "UNLOCKED"},          {"INTRAYMANUAL", "UNLOCKED"}, {"INTRAY1SIZE", "A4SRT"},
    {"INTRAY2SIZE", "LEGAL"},         {"INTRAY3SIZE", "LETTER"},    {"INTRAYMSIZE", "COM10"},
    {"INTRAY1QUANT", "END"},          {"INTRAY2QUANT", "FULL"},     {"INTRAY3QUANT", "HALF"},
    {"INTRAY1MEDIA", "PLAIN"},        {"INTRAY2MEDIA", "THICK"},    {"INTRAY3MEDIA", "RECYCLED"},
    {"INTRAYMMEDIA", "ENVELOPE"},
};

const char kConfigReply[] =
    "@PJL INFO CONFIG\r\n"
    "IN TRAYS [4 ENUMERATED]\r\n\tINTRAY1\r\n\tINTRAY2\r\n\tINTRAY3\r\n\tINTRAYMANUAL\r\n"
    "OUT TRAYS [1 ENUMERATED]\r\n\tUPPER\r\n"
    "DUPLEX\r\nDISK\r\n"
    "PAPER SIZES [8 ENUMERATED]\r\n\tLETTER\r\n\tLEGAL\r\n\tA4\r\n\tA5\r\n\tB5\r\n\tEXECUTIVE\r\n\tCOM10\r\n\tDL\r\n"
    "MEDIA TYPES [5 ENUMERATED]\r\n\tPLAIN\r\n\tRECYCLED\r\n\tTHICK\r\n\tENVELOPE\r\n\tTRANSPARENCY\r\n"
    "MEMORY=268435456\r\n"
    "DISPLAY LINES=2\r\nDISPLAY CHARACTER SIZE=16\r\n"
    "VERSION [3 ENUMERATED]\r\n\tFIRMWARE=1.20\r\n\tWENK=2.05\r\n\tPCL=1.07\r\n"
    "LANGUAGES [3 ENUMERATED]\r\n\tPCL\r\n\tTOLV\r\n\tPOSTSCRIPT\r\n"
    "USTATUS [4 ENUMERATED]\r\n\tDEVICE\r\n\tJOB\r\n\tPAGE\r\n\tTIMED\r\n"
    "\f";
const char kOutBinReply[] = "@PJL INFO OUTBINSTATUS\r\nUPPER=READY\r\n\f";

// Replies of categories the query never asks: what fills a long text
// between the replies that matter.
const char kFillerReply[] =
    "@PJL INFO STATUS\r\nCODE=10001\r\nDISPLAY=\"READY\"\r\nONLINE=TRUE\r\n\f"
    "@PJL INFO VARIABLES\r\nCOPIES=1 [2 RANGE]\r\n\t1\r\n\t999\r\nORIENTATION=PORTRAIT [2 ENUMERATED]\r\n"
    "\tPORTRAIT\r\n\tLANDSCAPE\r\nRESOLUTION=600 [2 ENUMERATED]\r\n\t600\r\n\t1200\r\n\f";

const char kDeviceId[] =
    "MFG:Printer Maker;CMD:PJL,PCL;MDL:Colour Laser 500;CLS:PRINTER;DES:Colour laser printer with duplex unit;"
    "STS:10001/41213,3,ADD PAPER TO TRAY 1;KWZ:18411/84,69,60,90;";

// The category words of a query text, in order ("CONFIG", "INTRAY1SIZE").
std::vector<std::string> QueryCategories(const std::string &query) {
    std::vector<std::string> categories;
    for (size_t at = query.find("@PJL "); at != std::string::npos; at = query.find("@PJL ", at + 1)) {
        const size_t command = at + 5;
        const size_t category = query.find(' ', command);
        const size_t end = query.find_first_of("\r\n", category);
        if (category == std::string::npos || end == std::string::npos) continue;
        categories.push_back(query.substr(category + 1, end - category - 1));
    }
    return categories;
}

// The printer's reply to one category of the query.
std::string ReplyTo(const std::string &category) {
    if (category == "CONFIG") return kConfigReply;
    if (category == "OUTBINSTATUS") return kOutBinReply;
    for (const InquiryValue &row : kInquiryValues) {
        if (category == row.category) return "@PJL INQUIRE " + category + "\r\n" + row.value + "\r\n\f";
    }
    return "@PJL INQUIRE " + category + "\r\n?\r\n\f";
}

// The replies to `categories`, at least `size` bytes: each category's reply
// once, spread evenly over the whole text with filler replies between them,
// so that the last reply asked for stands near the end.
std::string Replies(const std::vector<std::string> &categories, size_t size) {
    std::string core;
    for (const std::string &category : categories) core += ReplyTo(category);
    std::string text;
    const size_t filler = sizeof kFillerReply - 1;
    const size_t gap = size > core.size() ? (size - core.size()) / categories.size() : 0;
    size_t fillerWanted = 0, fillerWritten = 0;
    for (const std::string &category : categories) {
        fillerWanted += gap;
        for (; fillerWritten + filler <= fillerWanted; fillerWritten += filler) text += kFillerReply;
        text += ReplyTo(category);
    }
    return text;
}

// ---- The host: trees and records on the global heap ----

QueryNode *NewNode(int32_t type, const void *data, uint32_t length) {
    auto *node = static_cast<QueryNode *>(GlobalAlloc(GPTR, QNODE_HEADER_SIZE + length));
    node->nType = type;
    node->dwLength = length;
    if (length != 0) std::memcpy(QNODE_DATA(node), data, length);
    return node;
}

void AppendChild(QueryNode *parent, QueryNode *child) {
    child->pParent = parent;
    if (parent->pLastChild != nullptr) parent->pLastChild->pNextSibling = child;
    else parent->pFirstChild = child;
    parent->pLastChild = child;
}

void FreeNodes(QueryNode *node) {
    while (node != nullptr) {
        QueryNode *next = node->pNextSibling;
        FreeNodes(node->pFirstChild);
        GlobalFree(node);
        node = next;
    }
}

void FreeChain(void *head) {
    for (auto *item = static_cast<InfoItem *>(head); item != nullptr;) {
        InfoItem *next = item->next;
        GlobalFree(item);
        item = next;
    }
}

// The host's record of one printer, kept from poll to poll.
struct Record {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(PAT_PRNINFOEX_MIN_SIZE);
    Record() { get()->dwSize = PAT_PRNINFOEX_MIN_SIZE; }
    ~Record() {
        PrnInfoEx *r = get();
        for (void *head : {(void *)r->pEngineStatus, (void *)r->pLoadedEmul, (void *)r->pLoadedFont,
                           (void *)r->pTrayInfo, (void *)r->pOutBinInfo, (void *)r->pDeviceInfo,
                           (void *)r->pEmulUniqInfo, (void *)r->pCounterInfo, (void *)r->pSupplyInfo,
                           (void *)r->pColorCorrection, (void *)r->pCustomMediaInfo})
            FreeChain(head);
        for (char *text : {r->pModelName, r->pMakerName, r->pDescription, r->pSYSVersion, r->pMainProgVersion,
                           r->pVPSVersion})
            GlobalFree(text);
    }
    PrnInfoEx *get() { return reinterpret_cast<PrnInfoEx *>(bytes.data()); }
};

void AddStatusCode(PrnInfoEx *record, DWORD code) {
    auto *item = static_cast<EngineStatusItem *>(GlobalAlloc(GPTR, sizeof(EngineStatusItem)));
    item->dwCode = code;
    item->wCode = static_cast<WORD>(code);
    auto **slot = &record->pEngineStatus;
    while (*slot != nullptr) slot = reinterpret_cast<EngineStatusItem **>(&(*slot)->next);
    *slot = item;
    ++record->nEngineStatus;
}

constexpr DWORD kQueryFlags = PAT_QUERY_DEVICE_ID | PAT_QUERY_CONFIG | PAT_QUERY_TRAYS | PAT_QUERY_OUTBINS;

std::string ChildText(const QueryNode *root, int32_t type) {
    for (const QueryNode *child = root->pFirstChild; child != nullptr; child = child->pNextSibling) {
        if (child->nType != type) continue;
        return std::string(static_cast<const char *>(QNODE_DATA(const_cast<QueryNode *>(child))),
                           strnlen(static_cast<const char *>(QNODE_DATA(const_cast<QueryNode *>(child))),
                                   child->dwLength));
    }
    return std::string();
}

// A printer polled once already: the record knows its four trays, so the
// query asks about each of them.
struct Printer {
    Record record;
    std::string query;
    std::string replies;

    explicit Printer(size_t size) {
        PatSetLocale("EN");
        // The first poll learns the trays from the configuration alone.
        QueryNode *first = NewNode(PAT_NODE_ANSWER_ROOT, nullptr, 0);
        const std::string config = ReplyTo("CONFIG");
        AppendChild(first, NewNode(PAT_NODE_PJL_REPLIES, config.c_str(), static_cast<uint32_t>(config.size() + 1)));
        PatSetCentroDataTo(first, 0, record.get(), PAT_REVISION_PJL);
        FreeNodes(first);
        QueryNode *asked = PatCreateQueryInfo(record.get(), PAT_REVISION_PJL, kQueryFlags);
        query = ChildText(asked, QNODE_PJL_TEXT);
        FreeNodes(asked);
        replies = Replies(QueryCategories(query), size);
    }

    // The answer tree over this poll's query; `Interpret` hands it over.
    QueryNode *Answer(const std::string &text) {
        QueryNode *root = NewNode(PAT_NODE_ANSWER_ROOT, nullptr, 0);
        AppendChild(root, PatCreateQueryInfo(record.get(), PAT_REVISION_PJL, kQueryFlags));
        AppendChild(root, NewNode(PAT_NODE_PJL_REPLIES, text.c_str(), static_cast<uint32_t>(text.size() + 1)));
        AppendChild(root, NewNode(PAT_NODE_DEVICE_ID, kDeviceId, sizeof kDeviceId));
        return root;
    }
};

// A status tree over a main record with `codes` and an empty supplement.
struct StatusPrinter {
    Record main;
    Record supplement;
    QueryNode *tree;
    explicit StatusPrinter(std::initializer_list<DWORD> codes) {
        for (DWORD code : codes) AddStatusCode(main.get(), code);
        tree = NewNode(PAT_NODE_STATUS_ROOT, nullptr, 0);
        PrnInfoEx *s = supplement.get(), *m = main.get();
        AppendChild(tree, NewNode(PAT_NODE_STATUS_SUPPLEMENT, &s, sizeof s));
        AppendChild(tree, NewNode(PAT_NODE_STATUS_MAIN_PJL, &m, sizeof m));
    }
    ~StatusPrinter() { FreeNodes(tree); }
};

// ---- The reference: touching the bytes ----

// The compiler sums many bytes at a time (vector instructions); the
// bytewise touch keeps the sum in a register from byte to byte, as a loop
// that is not vectorised would. Both are reported: a ratio to the touch
// rate depends much on which one it is.
template <bool Bytewise>
uint64_t Touch(const char *text) {
    const size_t length = std::strlen(text);
    uint64_t sum = length;
    for (size_t i = 0; i < length; ++i) {
        sum += static_cast<unsigned char>(text[i]);
        if constexpr (Bytewise) asm("" : "+r"(sum));
    }
    return sum;
}

template <bool Bytewise = false>
uint64_t TouchReplies(const std::string &replies) {
    return Touch<Bytewise>(replies.c_str()) + Touch<Bytewise>(kDeviceId);
}

// Seconds one touch of `replies` takes: the fastest of a few timed rounds.
template <bool Bytewise = false>
double TouchSeconds(const std::string &replies) {
    const int passes = static_cast<int>(std::max<size_t>(1, (1u << 22) / (replies.size() + 1)));
    double best = 1e9;
    for (int round = 0; round < 7; ++round) {
        const auto start = std::chrono::steady_clock::now();
        uint64_t sum = 0;
        for (int i = 0; i < passes; ++i) {
            benchmark::DoNotOptimize(replies.data());
            sum += TouchReplies<Bytewise>(replies);
            benchmark::ClobberMemory();
        }
        benchmark::DoNotOptimize(sum);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count() / passes);
    }
    return best;
}

constexpr size_t kReplySetSize = 2 * 1024;

template <bool Bytewise>
void TouchBenchmark(benchmark::State &state) {
    Printer printer(kReplySetSize);
    for (auto _ : state) {
        benchmark::DoNotOptimize(printer.replies.data());
        benchmark::DoNotOptimize(TouchReplies<Bytewise>(printer.replies));
        benchmark::ClobberMemory();
    }
    state.counters["bytes"] = static_cast<double>(printer.replies.size() + sizeof kDeviceId - 1);
}

void BM_TouchReplies(benchmark::State &state) { TouchBenchmark<false>(state); }
BENCHMARK(BM_TouchReplies)->Unit(benchmark::kMicrosecond);

void BM_TouchRepliesBytewise(benchmark::State &state) { TouchBenchmark<true>(state); }
BENCHMARK(BM_TouchRepliesBytewise)->Unit(benchmark::kMicrosecond);

// PatSetCentroDataTo over replies of `range(0)` KB and the device ID, the
// query attached. The answer tree is built before the clock runs.
// touch_pct: the interpretation's rate as a percentage of the touch rate;
// bytewise_pct: the same against the bytewise touch; per_KB: the time per
// KB of replies.
void BM_Interpret(benchmark::State &state) {
    Printer printer(static_cast<size_t>(state.range(0)) * 1024);
    QueryNode *answer = printer.Answer(printer.replies);
    const double touch = TouchSeconds(printer.replies);
    const double bytewise = TouchSeconds<true>(printer.replies);
    bool ok = true;
    for (auto _ : state) ok = PatSetCentroDataTo(answer, 0, printer.record.get(), PAT_REVISION_PJL) == TRUE && ok;
    FreeNodes(answer);
    if (!ok) state.SkipWithError("PatSetCentroDataTo failed");
    const double kilobytes = static_cast<double>(printer.replies.size() + sizeof kDeviceId - 1) / 1024.0;
    state.counters["touch_pct"] = benchmark::Counter(touch * 100.0, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["bytewise_pct"] =
        benchmark::Counter(bytewise * 100.0, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["per_KB"] = benchmark::Counter(
        kilobytes, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_Interpret)->Arg(2)->Arg(64)->Arg(1024)->Unit(benchmark::kMicrosecond);

// The detailed status text of one printer state.
void StatusText(benchmark::State &state, StatusPrinter &printer) {
    PatSetLocale("EN");
    char text[512];
    bool ok = true;
    for (auto _ : state) {
        DWORD length = sizeof text;
        ok = PatGetStatusString(PAT_STATUS_ARG_PJL, printer.tree, PAT_REVISION_STATUS, PAT_STATUS_TEXT_DETAILED,
                                text, &length) == TRUE && ok;
        benchmark::DoNotOptimize(text);
    }
    if (!ok) state.SkipWithError("PatGetStatusString failed");
}

void BM_StatusTextToner(benchmark::State &state) {
    StatusPrinter printer({40012, 40013, 40014, 40015});
    StatusText(state, printer);
}
BENCHMARK(BM_StatusTextToner)->Unit(benchmark::kMicrosecond);

void BM_StatusTextReady(benchmark::State &state) {
    StatusPrinter printer({10001});
    StatusText(state, printer);
}
BENCHMARK(BM_StatusTextReady)->Unit(benchmark::kMicrosecond);

// The picture of the four toner codes, created and disposed of.
void BM_StatusPicture(benchmark::State &state) {
    StatusPrinter printer({40012, 40013, 40014, 40015});
    bool ok = true;
    for (auto _ : state) {
        BitmapInfo *picture = PatCreateBitmapInfo(PAT_STATUS_ARG_PJL, printer.tree, PAT_REVISION_STATUS);
        ok = picture != nullptr && PatDisposeBitmapInfo(picture) == TRUE && ok;
    }
    if (!ok) state.SkipWithError("PatCreateBitmapInfo failed");
}
BENCHMARK(BM_StatusPicture)->Unit(benchmark::kMicrosecond);

// A whole poll as a host makes it: the query, the answer tree over the
// replies, the interpretation, the status text, the picture, and every
// tree and picture released.
void BM_WholePoll(benchmark::State &state) {
    Printer printer(kReplySetSize);
    Record supplement;
    PrnInfoEx *s = supplement.get(), *m = printer.record.get();
    QueryNode *statusTree = NewNode(PAT_NODE_STATUS_ROOT, nullptr, 0);
    AppendChild(statusTree, NewNode(PAT_NODE_STATUS_SUPPLEMENT, &s, sizeof s));
    AppendChild(statusTree, NewNode(PAT_NODE_STATUS_MAIN_PJL, &m, sizeof m));
    char text[512];
    bool ok = true;
    for (auto _ : state) {
        QueryNode *answer = printer.Answer(printer.replies);
        ok = PatSetCentroDataTo(answer, 0, m, PAT_REVISION_PJL) == TRUE && ok;
        FreeNodes(answer);
        DWORD length = sizeof text;
        ok = PatGetStatusString(PAT_STATUS_ARG_PJL, statusTree, PAT_REVISION_STATUS, PAT_STATUS_TEXT_DETAILED, text,
                                &length) == TRUE && ok;
        BitmapInfo *picture = PatCreateBitmapInfo(PAT_STATUS_ARG_PJL, statusTree, PAT_REVISION_STATUS);
        ok = picture != nullptr && PatDisposeBitmapInfo(picture) == TRUE && ok;
    }
    FreeNodes(statusTree);
    if (!ok) state.SkipWithError("a call of the poll failed");
}
BENCHMARK(BM_WholePoll)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
