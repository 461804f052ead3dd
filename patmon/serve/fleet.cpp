// The fleet's setup (each printer's target, language and SNMP settings),
// start and stop, and what the outputs read of it; its loop is in
// serve/fleet_loop.h.
#include "serve/fleet.h"

#include "poll/languages.h"
#include "serve/fleet_loop.h"
#include "simulator/virtual_transport.h"

namespace patmon {


constexpr double FleetCounters::kLagBuckets[];

Fleet::Fleet(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

Fleet::~Fleet() { Stop(); }

namespace {

// The printer's SNMP settings for an agent at `host`:`port`.
SnmpSource SnmpOf(const FleetPrinterConfig &config, const std::string &host, uint16_t port) {
    SnmpSource snmp;
    snmp.host = host;
    snmp.port = port;
    snmp.community = config.community;
    snmp.version = config.snmpVersion;
    snmp.user = config.user;
    snmp.auth = config.auth;
    snmp.priv = config.priv;
    return snmp;
}

// How a printer is asked, from its target; false with `error` set.
bool Connectable(const FleetPrinterConfig &config, const Target &target, Fleet::Impl::Printer &p,
                 std::string *error) {
    if (target.kind == Target::Kind::Virtual) {
        auto source = std::make_shared<PrinterSource>(target.scenario);
        if (!source->Load(error)) return false;
        p.direct = VirtualTransport(source);
    } else if (target.kind == Target::Kind::Usb) {
        p.direct = UsbTransport(target);
    } else if (target.kind == Target::Kind::Snmp) {
        p.mib = SnmpOf(config, target.host, target.port);
        p.mibOnly = true;
    } else {
        SnmpSource snmp = SnmpOf(config, target.host, 161);
        if (!config.snmp.empty()) {
            const auto hostPort = ParseHostPort(config.snmp, 161);
            if (!hostPort) {
                *error = "bad snmp address \"" + config.snmp + "\"";
                return false;
            }
            std::tie(snmp.host, snmp.port) = *hostPort;
        }
        p.peer.host = target.host;
        p.peer.port = target.port;
        p.peer.snmp = snmp;
        p.mib = snmp;
    }
    return true;
}

}  // namespace

std::unique_ptr<Fleet> Fleet::Create(const std::vector<FleetPrinterConfig> &configs, int workers,
                                     std::string *error) {
    auto impl = std::make_unique<Impl>();
    impl->workerCount = std::max(1, workers);
    std::string firstLanguage;
    for (const FleetPrinterConfig &config : configs) {
        const std::string named = "printer \"" + config.name + "\": ";
        auto p = std::make_unique<Impl::Printer>();
        p->config = config;
        // The language of the texts: the library's code for any name of it,
        // English for a language the library has no texts for.
        const std::optional<std::string> code = LanguageCode(config.language);
        if (!code) {
            *error = named + "unknown language \"" + config.language + "\" (one of " + LanguageList() + ")";
            return nullptr;
        }
        const Language &language = *FindLanguage(*code);
        p->config.language = language.hasTexts ? language.code : kFallbackLanguage;
        if (impl->printers.empty()) firstLanguage = p->config.language;
        if (p->config.language != firstLanguage) impl->mixedLanguages = true;
        std::optional<Target> target = ParseTarget(config.target, error);
        if (!target || !Connectable(config, *target, *p, error)) {
            *error = named + *error;
            return nullptr;
        }
        p->target = *target;
        p->options.timeout = Milliseconds(config.timeoutSeconds);
        p->options.deviceId = config.deviceId;
        p->view.name = config.name;
        p->view.lastError = "not polled yet";
        impl->byName[config.name] = impl->printers.size();
        impl->printers.push_back(std::move(p));
    }
    // One language for the whole fleet is set once; mixed languages are
    // set for each poll's texts under a lock.
    if (!impl->printers.empty()) PatSetLocale(firstLanguage.c_str());
    return std::unique_ptr<Fleet>(new Fleet(std::move(impl)));
}

void Fleet::Start() {
    Impl &impl = *impl_;
    impl.network = std::make_unique<ExchangeDriver>(
        impl.printers.size(), [&impl](size_t index, Exchange exchange) { impl.Received(index, std::move(exchange)); });
    // One pair of SNMP sockets for every agent of the fleet.
    if (SnmpAvailable() && std::any_of(impl.printers.begin(), impl.printers.end(),
                                       [](const auto &p) { return p->peer.snmp.has_value(); })) {
        impl.network->OpenSharedSnmp();
    }
    impl.workers = std::make_unique<Workers>(impl.workerCount);
    // The MIB readers: their own two threads, so that walking agents never
    // takes a library worker.
    if (std::any_of(impl.printers.begin(), impl.printers.end(), [](const auto &p) { return p->mib.has_value(); })) {
        impl.mibReaders = std::make_unique<MibReaders>(impl.printers.size(), 2,
                                                       [&impl](size_t index) { impl.MibRead(index); });
    }
    impl.loop = std::thread([&impl] { impl.Run(); });
}

void Fleet::Stop() {
    Impl &impl = *impl_;
    if (!impl.loop.joinable()) return;
    impl.stopping.store(true);
    impl.network->Wake();
    impl.loop.join();
    impl.workers.reset();  // finishes the jobs already queued
    if (impl.mibReaders) impl.mibReaders->Stop();  // ends the walks under way; then no callback runs
    impl.network->DropAll();  // whatever is still on the network is dropped
}

namespace {

// The API's document of a view, from its last poll's JSON.
void AddDocument(PrinterView &view) {
    if (view.pollJson) {
        view.document = PrinterDocument(view.name, view.pollJson->Text(), view.lastPoll, view.lastError);
    }
}

}  // namespace

std::vector<PrinterView> Fleet::Views(bool documents) const {
    std::vector<PrinterView> views;
    views.reserve(impl_->printers.size());
    for (const auto &p : impl_->printers) {
        {
            std::lock_guard<std::mutex> lock(p->viewMutex);
            views.push_back(p->view);
        }
        if (documents) AddDocument(views.back());
    }
    return views;
}

std::optional<PrinterView> Fleet::View(const std::string &name) const {
    const auto found = impl_->byName.find(name);
    if (found == impl_->byName.end()) return std::nullopt;
    const Impl::Printer &p = *impl_->printers[found->second];
    std::optional<PrinterView> view;
    {
        std::lock_guard<std::mutex> lock(p.viewMutex);
        view = p.view;
    }
    AddDocument(*view);
    return view;
}

std::optional<std::vector<uint8_t>> Fleet::Picture(const std::string &name) {
    const auto found = impl_->byName.find(name);
    if (found == impl_->byName.end()) return std::nullopt;
    Impl::Printer &p = *impl_->printers[found->second];
    std::vector<DrawStep> steps;
    uint64_t version;
    {
        std::lock_guard<std::mutex> lock(p.viewMutex);
        steps = p.view.picture;
        version = p.view.pictureVersion;
    }
    return p.png.Png(steps, version);
}

FleetCounters Fleet::Counters() const {
    std::lock_guard<std::mutex> lock(impl_->countersMutex);
    return impl_->counters;
}

}  // namespace patmon
