#include "simulator/virtual_transport.h"

namespace patmon {

namespace {

class Virtual : public Transport {
public:
    explicit Virtual(std::shared_ptr<PrinterSource> source) : source_(std::move(source)) {}
    bool CanReadDeviceId() const override { return true; }
    // The answer is made again only when the printer or the question
    // changed: a printer's replies to the same query are the same (a fleet
    // of virtual printers asks the same thing again and again).
    Exchange Ask(const std::string &pjl, bool wantDeviceId, std::chrono::milliseconds timeout) override {
        const uint64_t version = source_->Version();
        if (made_ && version == version_ && pjl == pjl_ && wantDeviceId == wantDeviceId_) {
            Exchange again = last_;
            if (!again.answered) again.problem = NoAnswer(timeout);
            return again;
        }
        Exchange exchange;
        const PrinterModel printer = source_->Current();
        if (!printer.answers) {
            exchange.problem = NoAnswer(timeout);
        } else {
            exchange.answered = true;
            exchange.replies = RepliesTo(printer, pjl);
            if (wantDeviceId) exchange.deviceId = DeviceIdOf(printer);
        }
        made_ = true;
        version_ = version;
        pjl_ = pjl;
        wantDeviceId_ = wantDeviceId;
        last_ = exchange;
        return exchange;
    }

private:
    static std::string NoAnswer(std::chrono::milliseconds timeout) {
        return "the printer did not answer within " + std::to_string(timeout.count()) + " ms";
    }

    std::shared_ptr<PrinterSource> source_;
    // The last answer and what it answered (one poll at a time asks).
    bool made_ = false;
    uint64_t version_ = 0;
    std::string pjl_;
    bool wantDeviceId_ = false;
    Exchange last_;
};

}  // namespace

std::unique_ptr<Transport> VirtualTransport(PrinterModel printer) {
    return std::make_unique<Virtual>(std::make_shared<PrinterSource>(std::move(printer)));
}

std::unique_ptr<Transport> VirtualTransport(std::shared_ptr<PrinterSource> source) {
    return std::make_unique<Virtual>(std::move(source));
}

}  // namespace patmon
