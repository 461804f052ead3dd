// The fleet's loop: every printer's state, the schedule, the event loop
// that does the network side of every tcp poll, and the hand-over of polls
// to the workers (the library calls) and the MIB readers. Private to
// serve/fleet.cpp and the fleet's setup; the rest of patmon sees fleet.h.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>
#include <iostream>
#include <map>
#include <mutex>
#include <thread>

#include "poll/status_meanings.h"
#include "poll/supplies.h"
#include "serve/exchange.h"
#include "serve/fleet.h"
#include "serve/mib_readers.h"
#include "serve/schedule.h"
#include "serve/serve_json.h"
#include "serve/views.h"
#include "serve/workers.h"
#include "transports/mib_poll.h"
#include "transports/snmp.h"

namespace patmon {

namespace fleet_loop {

using Clock = std::chrono::steady_clock;

inline double UnixNow() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// One line on stderr, whole even when several threads log.
inline void Log(const std::string &line) {
    static std::mutex mutex;
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &local);
    std::lock_guard<std::mutex> lock(mutex);
    std::cerr << stamp << " " << line << std::endl;
}

}  // namespace fleet_loop

using fleet_loop::Clock;
using fleet_loop::Log;
using fleet_loop::UnixNow;

struct Fleet::Impl {
    struct Printer {
        FleetPrinterConfig config;
        Target target;
        PollOptions options;
        std::unique_ptr<Transport> direct;  // virtual and usb: asked on a worker
        ExchangePeer peer;                  // tcp: where the loop reaches it
        // The agent whose Printer MIB is read: a tcp printer's supplies, or
        // the whole poll of an snmp:// printer (mibOnly).
        std::optional<SnmpSource> mib;
        bool mibOnly = false;
        Clock::time_point lastMibRequest;  // tcp: when its MIB was last asked for
        PrinterRecord record;

        // The poll in flight: handed from worker to loop and back, never
        // used by two threads at once.
        std::unique_ptr<PendingPoll> pending;
        Exchange exchange;
        Clock::time_point due, started;
        int failures = 0;
        std::string lastState;  // for the log: what the last poll showed
        PollJsonCache pollJson;

        mutable std::mutex viewMutex;
        PrinterView view;
        PictureCache png;
    };

    std::vector<std::unique_ptr<Printer>> printers;
    std::map<std::string, size_t> byName;
    bool mixedLanguages = false;
    std::mutex localeMutex;  // the library's language is one for the process
    int workerCount = 2;
    std::unique_ptr<Workers> workers;
    std::unique_ptr<MibReaders> mibReaders;  // when any printer's MIB is read
    std::unique_ptr<ExchangeDriver> network;  // the loop's, but for Wake

    std::thread loop;
    std::atomic<bool> stopping{false};
    std::mutex queueMutex;
    std::vector<size_t> finished;  // polls done: to be scheduled again
    // The loop's own: polls for the workers, handed over at the end of a turn.
    std::vector<size_t> toBegin, toFinish;
    // Until when the loop sleeps without looking at the queues; the
    // earliest time while it is awake (it looks before it sleeps).
    Clock::time_point sleepingUntil = Clock::time_point::min();

    mutable std::mutex countersMutex;
    FleetCounters counters;

    // Hands a printer to the loop. The loop is woken only when it sleeps
    // past `before`: a finished poll's printer is not due again for a
    // while, and the loop takes the queues every time it wakes anyway.
    void Post(std::vector<size_t> &queue, size_t index, Clock::time_point before) {
        bool wake;
        {
            std::lock_guard<std::mutex> lock(queueMutex);
            queue.push_back(index);
            wake = before < sleepingUntil;
        }
        if (wake) network->Wake();
    }

    // Starts a poll: its start (and lag) and the library's query. True
    // when the query is to go out over the network; false when the poll
    // is only to be finished (no query, or asked through `direct`, which
    // waits and so must run on a worker).
    bool Begin(size_t index) {
        Printer &p = *printers[index];
        p.started = Clock::now();
        {
            std::lock_guard<std::mutex> lock(countersMutex);
            CountLag(counters, std::max(0.0, std::chrono::duration<double>(p.started - p.due).count()));
        }
        p.exchange = Exchange{};
        p.pending = std::make_unique<PendingPoll>();
        const bool canReadDeviceId = p.direct ? p.direct->CanReadDeviceId() : p.peer.snmp.has_value() && SnmpAvailable();
        StartPoll(p.record, p.options, canReadDeviceId, *p.pending);
        if (p.pending->query == nullptr) return false;
        if (p.direct) {
            p.exchange = p.direct->Ask(p.pending->pjl, p.pending->fetchDeviceId, p.options.timeout);
            return false;
        }
        return true;
    }

    // ---- on a worker ----

    // A whole poll of a virtual or USB printer, whose transport waits.
    void BeginPoll(size_t index) {
        Begin(index);
        EndPoll(index);
    }

    // The replies into the record, the texts in the printer's language.
    PollResult Finish(Printer &p) {
        PollResult result;
        {
            std::unique_lock<std::mutex> lock(localeMutex, std::defer_lock);
            if (mixedLanguages) {
                lock.lock();
                PatSetLocale(p.config.language.c_str());
            }
            result = FinishPoll(*p.pending, std::move(p.exchange), p.record, p.options, p.config.language);
        }
        p.pending.reset();
        return result;
    }

    void EndPoll(size_t index) {
        Printer &p = *printers[index];
        PollResult result = Finish(p);
        // The latest reading of the printer's MIB joins the poll, and the
        // next one is asked for: a slow agent never holds up the poll.
        const auto now = Clock::now();
        if (p.mib && mibReaders && result.responded) {
            std::string error;
            if (const std::optional<MibReading> mib = mibReaders->Latest(index, &error)) {
                MergeMib(result.readings, InterpretMib(*mib));
            }
            // At the address the loop found the agent at: a walk never
            // looks a name up (the loop's lookups keep to its TTL).
            // Supplies change slowly: a walk at most every `mibInterval`
            // (a minute unless configured) or poll interval, if longer, so
            // the walks cost a fleet little.
            SnmpSource source = *p.mib;
            source.host = network->AgentAddress(index);
            const auto every = std::max<Clock::duration>(Milliseconds(p.config.mibIntervalSeconds),
                                                         Milliseconds(p.config.intervalSeconds));
            if (!source.host.empty() && (p.lastMibRequest == Clock::time_point{} || now - p.lastMibRequest >= every)) {
                mibReaders->Request(index, source, p.options.timeout);
                p.lastMibRequest = now;
            }
        }
        Publish(index, result);
    }

    // An snmp:// printer's poll, when its MIB reader has walked it.
    void MibRead(size_t index) {
        Printer &p = *printers[index];
        if (!p.mibOnly) return;
        std::string error;
        const std::optional<MibReading> mib = mibReaders->Latest(index, &error);
        Publish(index, ResultOfMib(mib, error));
    }

    // The poll's view for the outputs, the log line, the counts, and the
    // printer handed back to the loop for its next poll.
    void Publish(size_t index, const PollResult &result) {
        Printer &p = *printers[index];
        const auto now = Clock::now();
        PrinterView view = ViewOfPoll(p.config.name, result, p.record);
        view.lastPoll = UnixNow();
        view.pollSeconds = std::chrono::duration<double>(now - p.started).count();
        view.pollJson = p.pollJson.Json(result, p.record, p.config.target);
        LogChange(p, result);
        {
            std::lock_guard<std::mutex> lock(countersMutex);
            ++counters.polls;
            if (!result.responded) ++counters.errors;
        }
        p.failures = result.responded ? 0 : p.failures + 1;
        {
            std::lock_guard<std::mutex> lock(p.viewMutex);
            view.pictureVersion = PictureVersion(p.view, view.picture);
            view.nextPollIn = NextDelay(p.config.intervalSeconds, p.failures);
            p.view = std::move(view);
        }
        // No later than the loop will schedule the next poll (see Run).
        Post(finished, index, NextDue(p.due, now, p.config.intervalSeconds, p.failures));
    }

    // One line on stderr when what the printer shows has changed.
    static void LogChange(Printer &p, const PollResult &result) {
        std::string state = (result.responded ? "" : "not responding: ") + result.label;
        if (state == p.lastState) return;
        std::string codes;
        for (uint32_t code : result.codes) codes += (codes.empty() ? "" : " ") + std::to_string(code);
        Log("printer " + p.config.name + ": " + result.label + " [" + codes + "]" +
            (result.responded ? "" : " (" + result.problem + ")"));
        p.lastState = std::move(state);
    }

    // ---- on the loop ----

    // The query goes out: the network part of a tcp poll.
    void Send(size_t index) {
        Printer &p = *printers[index];
        ExchangeRequest request;
        request.peer = &p.peer;
        request.query = &p.pending->pjl;
        request.fetchDeviceId = p.pending->fetchDeviceId;
        request.timeout = p.options.timeout;
        request.deadline = p.started + p.options.timeout;  // from when it started, not when it was due
        network->Begin(index, request);
    }

    // The network part has ended; a worker finishes the poll.
    void Received(size_t index, Exchange exchange) {
        printers[index]->exchange = std::move(exchange);
        toFinish.push_back(index);
    }

    void StartDue(size_t index) {
        Printer &p = *printers[index];
        if (p.mibOnly) {
            // Walked by a MIB reader, which publishes the poll (MibRead).
            p.started = Clock::now();
            {
                std::lock_guard<std::mutex> lock(countersMutex);
                CountLag(counters, std::max(0.0, std::chrono::duration<double>(p.started - p.due).count()));
            }
            mibReaders->Request(index, *p.mib, p.options.timeout);
        } else if (p.direct) {
            toBegin.push_back(index);
        } else if (Begin(index)) {
            // A tcp printer: its query is cheap to make, so it is made here
            // and sent at once (once its name is known: the exchange looks
            // it up without waiting), without a round trip through a worker.
            Send(index);
        } else {
            toFinish.push_back(index);
        }
    }

    // What this turn of the loop gave the workers, handed over together:
    // in runs of a few polls, each run one job and one wake-up, rather
    // than a wake-up per poll. A run is short (a few finished polls) so
    // that no poll waits long behind the others of its run.
    void HandOver() {
        constexpr size_t kRun = 4;
        std::vector<std::function<void()>> jobs;
        for (size_t first = 0; first < toBegin.size(); first += kRun) {
            std::vector<size_t> run(toBegin.begin() + static_cast<std::ptrdiff_t>(first),
                                    toBegin.begin() + static_cast<std::ptrdiff_t>(std::min(toBegin.size(), first + kRun)));
            jobs.push_back([this, run = std::move(run)] {
                for (size_t index : run) BeginPoll(index);
            });
        }
        for (size_t first = 0; first < toFinish.size(); first += kRun) {
            std::vector<size_t> run(toFinish.begin() + static_cast<std::ptrdiff_t>(first),
                                    toFinish.begin() + static_cast<std::ptrdiff_t>(std::min(toFinish.size(), first + kRun)));
            jobs.push_back([this, run = std::move(run)] {
                for (size_t index : run) EndPoll(index);
            });
        }
        toBegin.clear();
        toFinish.clear();
        workers->SubmitAll(jobs);
    }

    // Sleeps until the next poll is due, an exchange's deadline comes, the
    // network has something, or a worker hands a printer back.
    void Sleep(const Schedule &schedule) {
        const auto now = Clock::now();
        auto until = now + std::chrono::seconds(1);
        if (!schedule.Empty()) until = std::min(until, schedule.Earliest());
        until = network->NextTurn(until);
        auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(until - now).count();
        {
            std::lock_guard<std::mutex> lock(queueMutex);
            if (!finished.empty()) wait = 0;
            sleepingUntil = now + std::chrono::milliseconds(std::max<long long>(wait, 0));
        }
        network->Wait(wait <= 0 ? 0 : static_cast<int>(wait) + 1);
    }

    void Run() {
        Schedule schedule;
        const auto start = Clock::now();
        for (size_t i = 0; i < printers.size(); ++i) {
            printers[i]->due = FirstDue(start, i, printers.size(), printers[i]->config.intervalSeconds);
            schedule.Add(i, printers[i]->due);
        }
        while (!stopping.load()) {
            // What the network brought is handled first (in Wait), so that
            // the deadlines below are judged on what has arrived.
            Sleep(schedule);
            std::vector<size_t> reschedule;
            {
                std::lock_guard<std::mutex> lock(queueMutex);
                reschedule.swap(finished);
                sleepingUntil = Clock::time_point::min();
            }
            const auto now = Clock::now();
            for (size_t index : reschedule) {
                Printer &p = *printers[index];
                p.due = NextDue(p.due, now, p.config.intervalSeconds, p.failures);
                schedule.Add(index, p.due);
            }
            network->CheckDeadlines(now);
            for (size_t index : schedule.TakeDue(now)) StartDue(index);
            HandOver();
        }
    }
};

}  // namespace patmon
