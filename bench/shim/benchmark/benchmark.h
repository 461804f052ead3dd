// The part of Google Benchmark's interface the patprn benchmarks use, for
// the Windows build: Debian packages Google Benchmark for Linux only, so
// under MinGW the same benchmark source compiles against this header.
//
// Each benchmark's iteration count grows until one batch runs for at least
// --benchmark_min_time seconds (default 0.5); --benchmark_repetitions=N runs
// N batches and reports their median. Counters follow Google Benchmark's
// meaning of the flags used here (per-iteration values, rates, inverses).
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace benchmark {

enum TimeUnit { kNanosecond, kMicrosecond, kMillisecond };

class Counter {
public:
    enum Flags : uint32_t {
        kDefaults = 0,
        kIsRate = 1u << 0,
        kIsIterationInvariant = 1u << 2,
        kIsIterationInvariantRate = kIsRate | kIsIterationInvariant,
        kInvert = 1u << 31,
    };
    Counter(double v = 0.0, uint32_t f = kDefaults) : value(v), flags(f) {}
    // The value as reported after `iterations` iterations that took `seconds`.
    double Finish(int64_t iterations, double seconds) const {
        double v = value;
        if (flags & kIsIterationInvariant) v *= static_cast<double>(iterations);
        if (flags & kIsRate) v /= seconds;
        if (flags & kInvert) v = 1.0 / v;
        return v;
    }
    double value;
    uint32_t flags;
};

template <typename T>
inline void DoNotOptimize(T const &value) {
    asm volatile("" : : "r,m"(value) : "memory");
}
inline void ClobberMemory() { asm volatile("" : : : "memory"); }

class State {
public:
    State(int64_t iterations, std::vector<int64_t> args) : iterations_(iterations), args_(std::move(args)) {}

    struct Iterator {
        int64_t left;
        State *state;
        bool operator!=(const Iterator &) const {
            if (left != 0) return true;
            state->Stop();
            return false;
        }
        void operator++() { --left; }
        // Marked unused: `for (auto _ : state)` draws no warning.
        struct __attribute__((unused)) Value {};
        Value operator*() const { return Value(); }
    };
    Iterator begin() {
        start_ = std::chrono::steady_clock::now();
        return Iterator{iterations_, this};
    }
    Iterator end() { return Iterator{0, this}; }

    int64_t range(size_t index = 0) const { return args_.at(index); }
    int64_t iterations() const { return iterations_; }
    void SkipWithError(const char *message) { error_ = message; }

    std::map<std::string, Counter> counters;
    double seconds = 0.0;
    std::string error_;

private:
    void Stop() { seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count(); }
    int64_t iterations_;
    std::vector<int64_t> args_;
    std::chrono::steady_clock::time_point start_;
};

namespace internal {

struct Benchmark {
    std::string name;
    void (*function)(State &);
    std::vector<int64_t> args;  // one run per argument; none: one run
    TimeUnit unit = kNanosecond;
    Benchmark *Arg(int64_t value) {
        args.push_back(value);
        return this;
    }
    Benchmark *Unit(TimeUnit u) {
        unit = u;
        return this;
    }
};

inline std::vector<Benchmark *> &Registry() {
    static std::vector<Benchmark *> registry;
    return registry;
}

inline Benchmark *Register(const char *name, void (*function)(State &)) {
    Registry().push_back(new Benchmark{name, function, {}, kNanosecond});
    return Registry().back();
}

struct Result {
    double seconds;  // per iteration
    int64_t iterations;
    std::map<std::string, double> counters;
    std::string error;
};

// One batch, its iteration count grown until it runs long enough.
inline Result RunBatch(const Benchmark &b, std::vector<int64_t> args, double minTime) {
    for (int64_t n = 1;; n = std::min<int64_t>(n * 10, std::max<int64_t>(n + 1, n * 1.4))) {
        State state(n, args);
        b.function(state);
        if (!state.error_.empty() || state.seconds >= minTime || n >= 1000000000) {
            Result result{state.seconds / static_cast<double>(n), n, {}, state.error_};
            for (const auto &[name, counter] : state.counters)
                result.counters[name] = counter.Finish(n, state.seconds);
            return result;
        }
        // Aim a little past the minimum time from what this batch took.
        if (state.seconds > 0.0) {
            const double wanted = minTime * 1.4 / state.seconds * static_cast<double>(n);
            n = std::max<int64_t>(n, static_cast<int64_t>(wanted / 10.0));
        }
    }
}

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t m = values.size() / 2;
    return values.size() % 2 != 0 ? values[m] : (values[m - 1] + values[m]) / 2.0;
}

inline std::string Number(double value) {
    const char *suffix = "";
    double v = value;
    // Small values are per-KB times: shown in ns or us.
    if (v != 0.0 && v < 1e-6) v *= 1e9, suffix = "n";
    else if (v != 0.0 && v < 1e-3) v *= 1e6, suffix = "u";
    else if (v >= 1e6) v /= 1e6, suffix = "M";
    else if (v >= 1e3) v /= 1e3, suffix = "k";
    char text[64];
    std::snprintf(text, sizeof text, "%.4g%s", v, suffix);
    return text;
}

inline int RunAll(int argc, char **argv) {
    double minTime = 0.5;
    int repetitions = 1;
    std::string filter;
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        if (std::strncmp(arg, "--benchmark_min_time=", 21) == 0) minTime = std::atof(arg + 21);
        else if (std::strncmp(arg, "--benchmark_repetitions=", 24) == 0) repetitions = std::atoi(arg + 24);
        else if (std::strncmp(arg, "--benchmark_filter=", 19) == 0) filter = arg + 19;
        else if (std::strncmp(arg, "--benchmark_", 12) == 0) continue;  // output options: one format only
        else {
            std::fprintf(stderr, "unknown argument %s\n", arg);
            return 2;
        }
    }
    std::printf("%-28s %14s %12s  counters (median of %d)\n", "Benchmark", "Time", "Iterations", repetitions);
    int failed = 0;
    for (const Benchmark *b : Registry()) {
        std::vector<std::vector<int64_t>> runs;
        for (int64_t arg : b->args) runs.push_back({arg});
        if (runs.empty()) runs.push_back({});
        for (const auto &args : runs) {
            std::string name = b->name;
            for (int64_t a : args) name += "/" + std::to_string(a);
            if (!filter.empty() && name.find(filter) == std::string::npos) continue;
            std::vector<Result> results;
            for (int r = 0; r < std::max(1, repetitions); ++r) results.push_back(RunBatch(*b, args, minTime));
            if (!results[0].error.empty()) {
                std::printf("%-28s ERROR: %s\n", name.c_str(), results[0].error.c_str());
                ++failed;
                continue;
            }
            std::vector<double> times;
            for (const Result &r : results) times.push_back(r.seconds);
            const double scale = b->unit == kMicrosecond ? 1e6 : b->unit == kMillisecond ? 1e3 : 1e9;
            const char *unit = b->unit == kMicrosecond ? "us" : b->unit == kMillisecond ? "ms" : "ns";
            std::printf("%-28s %11.3f %s %12lld ", name.c_str(), Median(times) * scale, unit,
                        static_cast<long long>(results[0].iterations));
            for (const auto &entry : results[0].counters) {
                std::vector<double> values;
                for (const Result &r : results) values.push_back(r.counters.at(entry.first));
                std::printf(" %s=%s", entry.first.c_str(), Number(Median(values)).c_str());
            }
            std::printf("\n");
            std::fflush(stdout);
        }
    }
    return failed != 0 ? 1 : 0;
}

}  // namespace internal
}  // namespace benchmark

#define BENCHMARK_CONCAT_(a, b) a##b
#define BENCHMARK_CONCAT(a, b) BENCHMARK_CONCAT_(a, b)
#define BENCHMARK(function)                                                                          \
    [[maybe_unused]] static ::benchmark::internal::Benchmark *BENCHMARK_CONCAT(benchmark_, __LINE__) = \
        ::benchmark::internal::Register(#function, function)
#define BENCHMARK_MAIN() \
    int main(int argc, char **argv) { return ::benchmark::internal::RunAll(argc, argv); }
