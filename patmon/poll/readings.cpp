#include "poll/readings.h"

#include <cstring>

#include "poll/names.h"
#include "poll/poll.h"
#include "poll/status_meanings.h"
#include "poll/status_tree.h"
#include "poll/text.h"

namespace patmon {

namespace {

template <typename Item>
const Item *Next(const Item *item) {
    return reinterpret_cast<const Item *>(item->next);
}

std::string Text(const char *text) { return text != nullptr ? text : ""; }

// The localized name of a tray or bin, or `fallback` for a code without one.
std::string PlaceName(DWORD kind, const PlaceNames *names, const std::string &fallback, const std::string &language) {
    char name[256] = {};
    DWORD length = sizeof name;
    if (names != nullptr && PatGetDeviceName(kind, names->english, DEVICE_KEY_TEXT, name, &length)) {
        return ToUtf8(name, language);
    }
    return names != nullptr ? names->english : fallback;
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
    for (uint32_t code : codes) {
        PollCode reading{code, {}, SeverityName(MeaningOf(code).severity)};
        for (const EngineStatusItem *item = r.pEngineStatus; responded && item != nullptr; item = Next(item)) {
            if (item->dwCode != code) continue;
            reading.text = CodeText(record, item, language);
            break;
        }
        readings.codes.push_back(std::move(reading));
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

}  // namespace patmon
