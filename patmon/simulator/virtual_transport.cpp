#include "simulator/virtual_transport.h"

namespace patmon {

namespace {

class Virtual : public Transport {
public:
    explicit Virtual(std::shared_ptr<PrinterSource> source) : source_(std::move(source)) {}
    bool CanReadDeviceId() const override { return true; }
    Exchange Ask(const std::string &pjl, bool wantDeviceId, std::chrono::milliseconds timeout) override {
        Exchange exchange;
        const PrinterModel printer = source_->Current();
        if (!printer.answers) {
            exchange.problem = "the printer did not answer within " + std::to_string(timeout.count()) + " ms";
            return exchange;
        }
        exchange.answered = true;
        exchange.replies = RepliesTo(printer, pjl);
        if (wantDeviceId) exchange.deviceId = DeviceIdOf(printer);
        return exchange;
    }

private:
    std::shared_ptr<PrinterSource> source_;
};

}  // namespace

std::unique_ptr<Transport> VirtualTransport(PrinterModel printer) {
    return std::make_unique<Virtual>(std::make_shared<PrinterSource>(std::move(printer)));
}

std::unique_ptr<Transport> VirtualTransport(std::shared_ptr<PrinterSource> source) {
    return std::make_unique<Virtual>(std::move(source));
}

}  // namespace patmon
