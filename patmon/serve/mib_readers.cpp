#include "serve/mib_readers.h"

#include "transports/mib_poll.h"
#include "transports/printer_mib.h"

namespace patmon {

MibReaders::MibReaders(size_t printers, int threads) : slots_(printers) {
    for (int i = 0; i < threads; ++i) threads_.emplace_back([this] { Run(); });
}

MibReaders::~MibReaders() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        jobs_.clear();
    }
    wake_.notify_all();
    for (std::thread &thread : threads_) thread.join();
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

std::optional<MibReadings> MibReaders::Latest(size_t index, std::string *error) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (index >= slots_.size()) return std::nullopt;
    *error = slots_[index].error;
    return slots_[index].readings;
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
        std::lock_guard<std::mutex> lock(mutex_);
        Slot &slot = slots_[job.index];
        slot.busy = false;
        slot.error = error;
        if (mib) {
            slot.readings = InterpretMib(*mib);
        } else {
            slot.readings.reset();
        }
    }
}

}  // namespace patmon
