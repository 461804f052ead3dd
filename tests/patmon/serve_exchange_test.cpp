// The fleet service's network side against printers on loopback: replies
// that arrive a byte at a time or all at once make the same record, a
// printer that floods its reply with a megabyte of repeated echo lines is
// read in one pass without holding up the others, and printers that answer
// badly are reported in the words every transport uses.
#include "serve/exchange.h"

#include <gtest/gtest.h>
#include <netinet/tcp.h>
#include <nlohmann/json.hpp>

#include <deque>
#include <map>

#include "harness.h"
#include "outputs/json_output.h"
#include "serve/fleet.h"
#include "serve/views.h"
#include "simulator/printer_model.h"

namespace patmon {
namespace {

using namespace std::chrono_literals;
using patmontest::FakePrinter;
using patmontest::HoldUntilClosed;
using patmontest::SendAll;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// The exchange driver run as the fleet's loop runs it, noting each
// exchange as it ends.
class Loop {
public:
    explicit Loop(size_t printers)
        : driver(printers, [this](size_t index, Exchange exchange) {
              ended[index] = {std::move(exchange), Clock::now()};
          }) {}
    // Runs until `count` exchanges have ended, at most `limit`.
    void RunUntil(size_t count, Clock::duration limit) {
        const auto end = Clock::now() + limit;
        while (ended.size() < count && Clock::now() < end) {
            driver.Wait(10);
            driver.CheckDeadlines(Clock::now());
        }
    }
    struct Ended {
        Exchange exchange;
        Clock::time_point at;
    };
    std::map<size_t, Ended> ended;
    ExchangeDriver driver;
};

// One printer polled over the network: the library's query for its record
// and where it listens; its device ID is known, not asked.
struct Polled {
    explicit Polled(uint16_t port, std::chrono::milliseconds timeout = 5s) {
        options.timeout = timeout;
        options.deviceId = DeviceIdOf(DefaultPrinter());
        StartPoll(record, options, false, pending);
        peer.host = "127.0.0.1";
        peer.port = port;
    }
    ExchangeRequest Request() {
        started = Clock::now();
        return {&peer, &pending.pjl, pending.fetchDeviceId, options.timeout, started + options.timeout};
    }
    PollResult Finish(Exchange exchange) {
        return FinishPoll(pending, std::move(exchange), record, options, "EN");
    }
    PrinterRecord record;
    PendingPoll pending;
    PollOptions options;
    ExchangePeer peer;
    Clock::time_point started;
};

PrinterModel TonerLow() { return *ScenarioPrinter("toner-low"); }

FakePrinter::Behaviour AnswersWhole(PrinterModel model, std::chrono::milliseconds after = 0ms) {
    return [model, after](int connection, const std::string &query) {
        std::this_thread::sleep_for(after);
        SendAll(connection, RepliesTo(model, query));
        HoldUntilClosed(connection, 5s);
    };
}

FakePrinter::Behaviour AnswersByteByByte(PrinterModel model) {
    return [model](int connection, const std::string &query) {
        const int one = 1;
        setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        for (char c : RepliesTo(model, query)) {
            if (!SendAll(connection, std::string(1, c))) return;
            std::this_thread::sleep_for(20us);
        }
        HoldUntilClosed(connection, 5s);
    };
}

TEST(Exchange, RepliesArrivingAByteAtATimeMakeTheSameRecordAsRepliesSentWhole) {
    FakePrinter whole(AnswersWhole(TonerLow()));
    FakePrinter bytewise(AnswersByteByByte(TonerLow()));
    Loop loop(2);
    Polled a(whole.port()), b(bytewise.port());
    loop.driver.Begin(0, a.Request());
    loop.driver.Begin(1, b.Request());
    loop.RunUntil(2, 15s);
    ASSERT_EQ(loop.ended.size(), 2u);
    Exchange &first = loop.ended[0].exchange, &second = loop.ended[1].exchange;
    EXPECT_TRUE(first.answered) << first.problem;
    EXPECT_TRUE(second.answered) << second.problem;
    EXPECT_EQ(first.replies, second.replies);

    const PollResult ra = a.Finish(std::move(first)), rb = b.Finish(std::move(second));
    EXPECT_TRUE(ra.responded);
    EXPECT_EQ(ra.label, rb.label);
    EXPECT_EQ(FingerprintOf(*a.record.get()), FingerprintOf(*b.record.get()));
    EXPECT_EQ(ResultJson(ra, a.record), ResultJson(rb, b.record));
}

// The printer sends its first echo line over and over, close to the most a
// poll takes, in pieces, before its real replies; three others answer
// meanwhile.
TEST(Exchange, APrinterRepeatingItsEchoForAMegabyteIsReadQuicklyAndDelaysNoOtherPrinter) {
    const PrinterModel model = TonerLow();
    FakePrinter flood([model](int connection, const std::string &query) {
        const std::string replies = RepliesTo(model, query);
        const std::string echo = replies.substr(0, replies.find('\n') + 1);
        std::string repeated;
        while (repeated.size() + echo.size() + replies.size() <= kMaxReplyBytes) repeated += echo;
        for (size_t at = 0; at < repeated.size(); at += 65536) {
            if (!SendAll(connection, repeated.substr(at, 65536))) return;
            std::this_thread::sleep_for(5ms);
        }
        SendAll(connection, replies);
        HoldUntilClosed(connection, 5s);
    });
    std::deque<FakePrinter> others;
    std::deque<Polled> polled;
    polled.emplace_back(flood.port());
    for (int i = 0; i < 3; ++i) {
        others.emplace_back(AnswersWhole(model, 50ms));
        polled.emplace_back(others.back().port());
    }
    Loop loop(polled.size());
    for (size_t i = 0; i < polled.size(); ++i) loop.driver.Begin(i, polled[i].Request());
    loop.RunUntil(polled.size(), 15s);
    ASSERT_EQ(loop.ended.size(), polled.size());
    const Exchange &flooded = loop.ended[0].exchange;
    EXPECT_TRUE(flooded.answered) << flooded.problem;
    EXPECT_GT(flooded.replies.size(), kMaxReplyBytes - 4096);
    EXPECT_LT(Seconds(loop.ended[0].at - polled[0].started), 3.0);
    EXPECT_TRUE(polled[0].Finish(loop.ended[0].exchange).responded);
    for (size_t i = 1; i < polled.size(); ++i) {
        EXPECT_TRUE(loop.ended[i].exchange.answered) << loop.ended[i].exchange.problem;
        // They answer after 50 ms, while the flood is still coming.
        EXPECT_LT(Seconds(loop.ended[i].at - polled[i].started), 0.4) << "printer " << i;
        EXPECT_LT(loop.ended[i].at, loop.ended[0].at) << "printer " << i;
    }
}

TEST(Exchange, PrintersThatAnswerBadlyAreReportedEachInItsOwnWords) {
    const PrinterModel model = TonerLow();
    auto half = [model](const std::string &query) {
        const std::string replies = RepliesTo(model, query);
        return replies.substr(0, replies.size() / 2);
    };
    FakePrinter closes([half](int connection, const std::string &query) { SendAll(connection, half(query)); });
    FakePrinter stops([half](int connection, const std::string &query) {
        SendAll(connection, half(query));
        HoldUntilClosed(connection, 5s);
    });
    FakePrinter silent([](int connection, const std::string &) { HoldUntilClosed(connection, 5s); });
    const uint16_t nobody = patmontest::FreeTcpPort();
    std::deque<Polled> polled;
    for (uint16_t port : {closes.port(), stops.port(), silent.port(), nobody}) polled.emplace_back(port, 300ms);
    Loop loop(polled.size());
    for (size_t i = 0; i < polled.size(); ++i) loop.driver.Begin(i, polled[i].Request());
    loop.RunUntil(polled.size(), 10s);
    ASSERT_EQ(loop.ended.size(), polled.size());

    const std::string at = "the printer's PJL port at 127.0.0.1:";
    const std::string expected[] = {
        at + std::to_string(closes.port()) + ": " + reply_problem::kClosed,
        at + std::to_string(stops.port()) + ": " + reply_problem::kStopped,
        at + std::to_string(silent.port()) + ": " + reply_problem::kNoAnswer,
        at + std::to_string(nobody) + ": cannot connect: Connection refused",
    };
    for (size_t i = 0; i < polled.size(); ++i) {
        EXPECT_FALSE(loop.ended[i].exchange.answered);
        EXPECT_EQ(loop.ended[i].exchange.problem, expected[i]);
        EXPECT_LT(Seconds(loop.ended[i].at - polled[i].started), 2.0);
    }
    // The two that went quiet were given up at their deadline, not before.
    EXPECT_GE(Seconds(loop.ended[1].at - polled[1].started), 0.29);
    EXPECT_GE(Seconds(loop.ended[2].at - polled[2].started), 0.29);
}

// The loop is held up (a slow machine, a debugger) while printers answer:
// one with its whole reply, one with a reply four times the share a turn
// reads. When the loop comes back and judges the deadlines first, what
// arrived is read before anyone is judged, and the long reply is read to
// its end over the next turns instead of being cut off as stopped.
TEST(Exchange, ALoopThatWasHeldUpReadsWhatArrivedBeforeJudgingAnyDeadline) {
    const PrinterModel model = TonerLow();
    FakePrinter prompt(AnswersWhole(model, 20ms));
    FakePrinter lengthy([model](int connection, const std::string &query) {
        const std::string replies = RepliesTo(model, query);
        const std::string echo = replies.substr(0, replies.find('\n') + 1);
        std::string repeated;
        while (repeated.size() < 256 * 1024) repeated += echo;
        SendAll(connection, repeated + replies);
        HoldUntilClosed(connection, 5s);
    });
    FakePrinter silent([](int connection, const std::string &) { HoldUntilClosed(connection, 5s); });
    std::deque<Polled> polled;
    for (uint16_t port : {prompt.port(), lengthy.port(), silent.port()}) polled.emplace_back(port, 200ms);
    Loop loop(polled.size());
    for (size_t i = 0; i < polled.size(); ++i) loop.driver.Begin(i, polled[i].Request());
    std::this_thread::sleep_for(800ms);  // held up past every deadline
    loop.driver.CheckDeadlines(Clock::now());
    loop.RunUntil(polled.size(), 5s);
    ASSERT_EQ(loop.ended.size(), polled.size());
    EXPECT_TRUE(loop.ended[0].exchange.answered) << loop.ended[0].exchange.problem;
    EXPECT_TRUE(loop.ended[1].exchange.answered) << loop.ended[1].exchange.problem;
    EXPECT_GT(loop.ended[1].exchange.replies.size(), 256u * 1024);
    // The silent one is still given up, once the loop has been back for
    // its timeout.
    EXPECT_FALSE(loop.ended[2].exchange.answered);
    EXPECT_NE(loop.ended[2].exchange.problem.find(reply_problem::kNoAnswer), std::string::npos);
    EXPECT_LT(Seconds(loop.ended[2].at - polled[2].started), 2.0);
}

// A printer named rather than numbered is looked up without holding up the
// loop: while its name server never answers, a printer by address is polled
// at once, and the named one is reported once its own deadline comes.
TEST(Exchange, APrinterWhoseNameServerIsSilentHoldsUpNoOther) {
    patmontest::SilentUdp nameServer;
    Resolver::Options names;
    names.servers = "127.0.0.1:" + std::to_string(nameServer.port());
    FakePrinter printer(AnswersWhole(TonerLow()));
    std::deque<Polled> polled;
    polled.emplace_back(printer.port(), 400ms);
    polled.emplace_back(printer.port(), 400ms);
    polled[1].peer.host = "printer.patmon.test";
    std::map<size_t, Loop::Ended> ended;
    ExchangeDriver network(2, [&ended](size_t index, Exchange exchange) {
        ended[index] = {std::move(exchange), Clock::now()};
    }, names);
    network.Begin(1, polled[1].Request());
    network.Begin(0, polled[0].Request());
    for (const auto end = Clock::now() + 5s; ended.size() < 2 && Clock::now() < end;) {
        network.Wait(10);
        network.CheckDeadlines(Clock::now());
    }
    ASSERT_EQ(ended.size(), 2u);
    EXPECT_TRUE(ended[0].exchange.answered) << ended[0].exchange.problem;
    EXPECT_LT(Seconds(ended[0].at - polled[0].started), 0.3);
    EXPECT_FALSE(ended[1].exchange.answered);
    EXPECT_EQ(ended[1].exchange.problem, "the printer's PJL port at printer.patmon.test:" + std::to_string(printer.port()) +
                                             ": no answer from the name server in time");
    EXPECT_GE(Seconds(ended[1].at - polled[1].started), 0.39);
    EXPECT_EQ(network.Names().LookupsStarted(), 1u);
}

// What an admin sees of two printers in the same state, one of which
// dribbles its replies: the same status, trays, toners and API document.
TEST(Exchange, AFleetShowsAPrinterAlikeWhetherItsRepliesCameInPiecesOrWhole) {
    const PrinterModel model = TonerLow();
    FakePrinter whole(AnswersWhole(model));
    FakePrinter bytewise(AnswersByteByByte(model));
    std::vector<FleetPrinterConfig> configs(2);
    configs[0].name = "whole";
    configs[0].target = whole.Target();
    configs[1].name = "dribbling";
    configs[1].target = bytewise.Target();
    for (FleetPrinterConfig &config : configs) {
        config.intervalSeconds = 0.5;
        config.deviceId = DeviceIdOf(model);
    }
    std::string error;
    std::unique_ptr<Fleet> fleet = Fleet::Create(configs, 2, &error);
    ASSERT_TRUE(fleet) << error;
    fleet->Start();
    std::vector<PrinterView> views;
    for (const auto end = Clock::now() + 15s; Clock::now() < end; std::this_thread::sleep_for(20ms)) {
        views = fleet->Views();
        if (views[0].polled && views[1].polled) break;
    }
    fleet->Stop();
    ASSERT_TRUE(views[0].polled && views[1].polled);
    const PrinterView &a = views[0], &b = views[1];
    EXPECT_TRUE(a.responded) << a.lastError;
    EXPECT_TRUE(b.responded) << b.lastError;
    EXPECT_EQ(a.label, b.label);
    EXPECT_EQ(a.message, b.message);
    EXPECT_EQ(a.codes, model.statusCodes);
    EXPECT_EQ(a.codes, b.codes);
    EXPECT_EQ(a.pageCount, b.pageCount);
    EXPECT_EQ(a.trays.size(), b.trays.size());
    EXPECT_TRUE(std::equal(std::begin(a.toner), std::end(a.toner), std::begin(b.toner)));
    EXPECT_TRUE(SamePicture(a.picture, b.picture));
    nlohmann::json da = nlohmann::json::parse(a.document), db = nlohmann::json::parse(b.document);
    for (const char *key : {"name", "lastPoll", "time", "target"}) {
        da.erase(key);
        db.erase(key);
    }
    EXPECT_EQ(da, db);
}

}  // namespace
}  // namespace patmon
