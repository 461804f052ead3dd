#include "serve/mib_readers.h"

#include "transports/mib_poll.h"
#include "transports/printer_mib.h"

namespace patmon {

MibReaders::MibReaders(size_t printers, int threads, std::function<void(size_t)> read)
    : slots_(printers), read_(std::move(read)) {
    for (int i = 0; i < threads; ++i) threads_.emplace_back([this] { Run(); });
}

MibReaders::~MibReaders() { Stop(); }

void MibReaders::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        jobs_.clear();
    }
    wake_.notify_all();
    for (std::thread &thread : threads_) {
        if (thread.joinable()) thread.join();
    }
}

void MibReaders::Request(size_t index, const SnmpSource &source, std::chrono::milliseconds timeout) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (index >= slots_.size() || slots_[index].busy || stopping_) return;
        slots_[index].busy = true;
        jobs_.push_back({index, source, timeout});
    }
    wake_.notify_one();
}

std::optional<MibReading> MibReaders::Latest(size_t index, std::string *error) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (index >= slots_.size()) return std::nullopt;
    *error = slots_[index].error;
    return slots_[index].reading;
}

void MibReaders::Run() {
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
            if (stopping_) return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        std::string error;
        const std::optional<MibReading> mib =
            ReadPrinterMib(MibSourceOf(job.source), std::chrono::steady_clock::now() + job.timeout, &error);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            Slot &slot = slots_[job.index];
            slot.busy = false;
            slot.error = error;
            slot.reading = mib;
        }
        if (read_) read_(job.index);
    }
}

}  // namespace patmon
