// The fleet service's workers: a small pool of threads for the library
// calls (the replies into a record, the status text, picture and JSON, and
// whole polls of virtual and USB printers), so that the event loop never
// waits for them.
#pragma once

#include <condition_variable>
#include <algorithm>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace patmon {

// A small pool of threads for the library calls.
class Workers {
public:
    explicit Workers(int count) {
        for (int i = 0; i < count; ++i) threads_.emplace_back([this] { Run(); });
    }
    ~Workers() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        for (std::thread &t : threads_) t.join();
    }
    void Submit(std::function<void()> job) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            jobs_.push_back(std::move(job));
        }
        wake_.notify_one();
    }
    // Several jobs under one lock, with one wake-up for each (at most one
    // per thread): the loop hands over what one turn brought together.
    void SubmitAll(std::vector<std::function<void()>> &jobs) {
        if (jobs.empty()) return;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            for (std::function<void()> &job : jobs) jobs_.push_back(std::move(job));
        }
        for (size_t i = 0; i < jobs.size() && i < threads_.size(); ++i) wake_.notify_one();
        jobs.clear();
    }

private:
    void Run() {
        for (;;) {
            std::function<void()> job;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
                if (jobs_.empty()) return;
                job = std::move(jobs_.front());
                jobs_.pop_front();
            }
            job();
        }
    }
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> jobs_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace patmon
