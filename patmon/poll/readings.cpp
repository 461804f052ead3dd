#include "poll/readings.h"

#include <algorithm>
#include <cctype>
#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <tuple>
#include <unordered_map>

#include "poll/fingerprint.h"
#include "poll/names.h"
#include "poll/poll.h"
#include "poll/status_meanings.h"
#include "poll/status_tree.h"
#include "poll/supplies.h"
#include "poll/text.h"

namespace patmon {

namespace {

template <typename Item>
const Item *Next(const Item *item) {
    return reinterpret_cast<const Item *>(item->next);
}

std::string Text(const char *text) { return text != nullptr ? text : ""; }

// The localized name of a tray or bin, or `fallback` for a code without one.
// A name depends only on the place, the language and the library's locale
// (which follows the language), so each is asked once.
std::string PlaceName(DWORD kind, const PlaceNames *names, const std::string &fallback, const std::string &language) {
    if (names == nullptr) return fallback;
    static std::mutex mutex;
    static std::map<std::tuple<DWORD, const char *, std::string>, std::string> known;
    const auto key = std::make_tuple(kind, names->english, language);
    {
        std::lock_guard<std::mutex> lock(mutex);
        const auto found = known.find(key);
        if (found != known.end()) return found->second;
    }
    char name[256] = {};
    DWORD length = sizeof name;
    std::string text = PatGetDeviceName(kind, names->english, DEVICE_KEY_TEXT, name, &length) ? ToUtf8(name, language)
                                                                                            : names->english;
    std::lock_guard<std::mutex> lock(mutex);
    known.emplace(key, text);
    return text;
}

// The code texts last made for a record, by the record's address: a text
// is the library's answer for the record's content, the code and the
// language, so while those stay as they were (a printer that shows the
// same state poll after poll) the texts are taken again rather than asked
// again. An entry is used only when the content is byte for byte the same,
// so a record that moved or changed just asks anew.
class CodeTexts {
public:
    struct Entry {
        std::string language;
        Fingerprint record;
        std::vector<std::pair<uint32_t, std::string>> texts;  // a code, its text
    };
    // The entry of `record` when its language and content are as given.
    std::shared_ptr<const Entry> Find(const PrinterRecord *record, const std::string &language,
                                      const Fingerprint &content) {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto found = entries_.find(record);
        if (found == entries_.end() || found->second->language != language || found->second->record != content) {
            return nullptr;
        }
        return found->second;
    }
    void Keep(const PrinterRecord *record, std::shared_ptr<const Entry> entry) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (entries_.size() >= kMostRecords && entries_.count(record) == 0) entries_.clear();
        entries_[record] = std::move(entry);
    }

private:
    static constexpr size_t kMostRecords = 1 << 17;
    std::mutex mutex_;
    std::unordered_map<const PrinterRecord *, std::shared_ptr<const Entry>> entries_;
};

CodeTexts &KnownCodeTexts() {
    static CodeTexts texts;
    return texts;
}

// The library's message for one status code: the text of a status tree
// whose record holds just that code (the rest of the record as it is, for
// the names the message puts in).
std::string CodeText(const PrinterRecord &record, const EngineStatusItem *item, const std::string &language) {
    auto *alone = static_cast<EngineStatusItem *>(GlobalAlloc(GPTR, sizeof(EngineStatusItem)));
    if (alone == nullptr) return {};
    std::memcpy(alone, item, sizeof *alone);
    alone->next = nullptr;
    PrinterRecord copy;  // the same record, sharing its lists for the call
    std::memcpy(copy.get(), record.get(), PAT_PRNINFOEX_MIN_SIZE);
    copy.get()->pEngineStatus = alone;
    copy.get()->nEngineStatus = 1;
    copy.get()->bNoResponse = 0;
    std::string text;
    {
        Tree status{StatusTreeOf(copy.get())};
        if (status.root != nullptr) text = ToUtf8(StatusText(status.root, PAT_STATUS_TEXT_DETAILED), language);
    }
    std::memset(copy.get(), 0, PAT_PRNINFOEX_MIN_SIZE);  // its lists are the record's: not released here
    GlobalFree(alone);
    // One line: the message's sentences joined.
    std::string line;
    for (char c : text) {
        if (c == '\r') continue;
        if (c == '\n') {
            while (!line.empty() && line.back() == ' ') line.pop_back();
            if (!line.empty()) line += ' ';
        } else {
            line += c;
        }
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return line;
}

const char *BinState(uint16_t state) {
    switch (state) {
        case 0: return "ok";
        case 1: return "paper present";
        case 2: return "full";
        default: return "unknown";
    }
}

PollTray ReadTray(const TrayInfoItem &t, const std::string &language) {
    const PlaceNames *names = TrayNames(t.wTray);
    PollTray tray;
    tray.code = t.wTray;
    tray.id = TrayId(t.wTray);
    tray.name = PlaceName(PAT_DEVICE_INPUT_TRAY, names, "tray " + std::to_string(t.wTray), language);
    tray.paper = PaperSizeName(t.wPaperSize);
    tray.media = MediaTypeName(t.wMediaType);
    tray.locked = (t.dwFlags & PAT_TRAY_FLAG_LOCKED) != 0;
    tray.frontCover = (t.dwFlags & PAT_TRAY_FLAG_FRONT_COVER) != 0;
    if (names == nullptr || names->levelReported) tray.levelPercent = std::min<int>(t.wPaperLevel, 100);
    tray.state = !tray.levelPercent            ? "unknown"
                 : *tray.levelPercent == 0     ? "empty"
                 : *tray.levelPercent <= kLowPaperPercent ? "low"
                                               : "ok";
    return tray;
}

}  // namespace

PollReadings ReadRecord(const PrinterRecord &record, bool responded, const std::vector<uint32_t> &codes,
                        const std::string &language) {
    const PrnInfoEx &r = *record.get();
    PollReadings readings;
    readings.severity = responded ? SeverityName(SeverityOf(codes)) : "unknown";
    // The texts of the codes, as they were for the same record content.
    Fingerprint content;
    std::shared_ptr<const CodeTexts::Entry> known;
    std::shared_ptr<CodeTexts::Entry> made;
    if (responded && r.pEngineStatus != nullptr) {
        content = FingerprintOf(r);
        known = KnownCodeTexts().Find(&record, language, content);
        if (!known) {
            made = std::make_shared<CodeTexts::Entry>();
            made->language = language;
        }
    }
    for (uint32_t code : codes) {
        PollCode reading{code, {}, SeverityName(MeaningOf(code).severity)};
        for (const EngineStatusItem *item = r.pEngineStatus; responded && item != nullptr; item = Next(item)) {
            if (item->dwCode != code) continue;
            // The first item of a code gives its text; with the record's
            // content the same, so is that item.
            const std::string *text = nullptr;
            const auto &texts = known ? known->texts : made->texts;
            for (const auto &[of, kept] : texts) {
                if (of == code) text = &kept;
            }
            if (text != nullptr) {
                reading.text = *text;
            } else {
                reading.text = CodeText(record, item, language);
                if (made) made->texts.emplace_back(code, reading.text);
            }
            break;
        }
        readings.codes.push_back(std::move(reading));
    }
    if (made) {
        made->record = content;
        KnownCodeTexts().Keep(&record, std::move(made));
    }
    if (!responded) return readings;
    readings.printer.model = Text(r.pModelName);
    readings.printer.maker = Text(r.pMakerName);
    readings.printer.description = Text(r.pDescription);
    readings.printer.firmware = Text(r.pSYSVersion);
    readings.printer.memoryKB = r.dwMemorySize;
    for (const CounterInfoItem *c = r.pCounterInfo; c != nullptr; c = Next(c)) {
        if (c->wCounter == 1) readings.printer.pageCount = c->dwValue;
    }
    for (const TrayInfoItem *t = r.pTrayInfo; t != nullptr; t = Next(t)) readings.trays.push_back(ReadTray(*t, language));
    for (const OutBinInfoItem *b = r.pOutBinInfo; b != nullptr; b = Next(b)) {
        readings.bins.push_back({b->wBin, BinId(b->wBin),
                                 PlaceName(PAT_DEVICE_OUTPUT_BIN, BinNames(b->wBin), "bin " + std::to_string(b->wBin),
                                           language),
                                 BinState(b->wBinState)});
    }
    for (const DeviceInfoItem *d = r.pDeviceInfo; d != nullptr; d = Next(d)) {
        const char *name = OptionName(d->wDevice);
        readings.options.push_back(name != nullptr ? name : "device " + std::to_string(d->wDevice));
    }
    for (const LoadedEmulItem *e = r.pLoadedEmul; e != nullptr; e = Next(e)) {
        const char *name = EmulationName(e->wEmul);
        readings.emulations.push_back({e->wEmul, name != nullptr ? name : "emulation " + std::to_string(e->wEmul),
                                       std::string(e->szVersion, strnlen(e->szVersion, sizeof e->szVersion))});
    }
    return readings;
}

namespace {

bool SameName(const std::string &a, const std::string &b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

PollSupply SupplyOf(const SupplyReading &s) { return {s.name, s.colour, s.kind, s.levelPercent, s.state}; }

}  // namespace

void MergeMib(PollReadings &readings, const MibReadings &mib) {
    for (const SupplyReading &supply : mib.supplies) readings.supplies.push_back(SupplyOf(supply));
    // A tray of the MIB under the same English name as the library's; its
    // level counts sheets, the replies' only fifths.
    for (PollTray &tray : readings.trays) {
        const PlaceNames *names = TrayNames(tray.code);
        if (names == nullptr) continue;
        for (const TrayReading &input : mib.trays) {
            if (!SameName(input.name, names->english) || !input.levelPercent) continue;
            tray.levelPercent = input.levelPercent;
            tray.state = input.state;
        }
    }
    if (!readings.printer.pageCount) readings.printer.pageCount = mib.pageCount;
    readings.reasons = mib.state.reasons;
    readings.serialNumber = mib.serialNumber;
}

PollReadings ReadingsOfMib(const MibReadings &mib, const std::string &model, const std::string &description) {
    PollReadings readings;
    readings.severity = mib.state.severity;
    readings.printer.model = model;
    readings.printer.description = description;
    readings.printer.pageCount = mib.pageCount;
    for (const TrayReading &input : mib.trays) {
        PollTray tray;
        tray.id = input.id;
        tray.name = input.name;
        tray.paper = !input.size.empty() ? input.size : "unknown";
        tray.media = !input.paper.empty() ? input.paper : "unknown";
        tray.levelPercent = input.levelPercent;
        tray.state = input.state;
        readings.trays.push_back(std::move(tray));
    }
    for (const OutputReading &output : mib.outputs) {
        readings.bins.push_back({0, output.id, output.name, output.state});
    }
    for (const SupplyReading &supply : mib.supplies) readings.supplies.push_back(SupplyOf(supply));
    readings.reasons = mib.state.reasons;
    readings.serialNumber = mib.serialNumber;
    return readings;
}

}  // namespace patmon
