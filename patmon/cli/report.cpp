#include "cli/report.h"

#include <cstring>
#include <sstream>

#include "poll/text.h"

namespace patmon {

namespace {

// English key names of the tray and bin codes, as PatGetDeviceName takes them.
struct NameRow {
    uint16_t code;
    const char *name;
};
constexpr NameRow kTrayNames[] = {{1, "Bypass Tray"}, {3, "Tray 1"}, {4, "Tray 2"}, {5, "Tray 3"}};
constexpr NameRow kBinNames[] = {{1, "Standard Tray"}};
// The optional devices a record lists (DeviceInfoItem.wDevice).
constexpr NameRow kOptionNames[] = {
    {1, "duplex unit"}, {3, "hard disk"}, {16, "manual feed"}, {105, "tray 2 unit"}, {106, "tray 3 unit"}};

template <size_t N>
const char *Find(const NameRow (&table)[N], uint16_t code) {
    for (const NameRow &row : table) {
        if (row.code == code) return row.name;
    }
    return nullptr;
}

// The localized name of a tray or bin, or "tray N" for a code without one.
std::string PlaceName(DWORD kind, const char *english, uint16_t code, const std::string &language) {
    char name[256] = {};
    DWORD length = sizeof name;
    if (english != nullptr && PatGetDeviceName(kind, english, DEVICE_KEY_TEXT, name, &length)) {
        return ToUtf8(name, language);
    }
    return (kind == PAT_DEVICE_INPUT_TRAY ? "tray " : "bin ") + std::to_string(code);
}

const char *BinState(uint16_t state) {
    switch (state) {
        case 0: return "ready";
        case 1: return "paper present";
        case 2: return "full";
        default: return "unknown";
    }
}

std::string Or(const char *text, const char *fallback = "-") {
    return text != nullptr ? TerminalText(text) : fallback;
}

constexpr const char *kReplacement = "\xEF\xBF\xBD";

// The length of the well-formed UTF-8 character at `at`, 0 if there is none.
size_t CharacterLength(const std::string &text, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                                : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
    if (length == 0 || at + length > text.size()) return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
    }
    // Overlong forms, surrogates and code points past U+10FFFF.
    if ((lead == 0xE0 && byte(at + 1) < 0xA0) || (lead == 0xED && byte(at + 1) >= 0xA0) ||
        (lead == 0xF0 && byte(at + 1) < 0x90) || (lead == 0xF4 && byte(at + 1) >= 0x90)) {
        return 0;
    }
    return length;
}

}  // namespace

std::vector<std::string> SummaryLines(const PollResult &result, const PrinterRecord &record,
                                      const std::string &language) {
    const PrnInfoEx &r = *record.get();
    std::vector<std::string> lines;
    auto add = [&lines](const std::string &name, const std::string &value) { lines.push_back(name + ": " + value); };
    add("model", Or(r.pModelName));
    add("maker", Or(r.pMakerName));
    add("description", Or(r.pDescription));
    for (const TrayInfoItem *t = r.pTrayInfo; t != nullptr; t = reinterpret_cast<const TrayInfoItem *>(t->next)) {
        std::ostringstream tray;
        tray << "size " << t->wPaperSize << ", level " << t->wPaperLevel << " %, media " << t->wMediaType
             << ((t->dwFlags & PAT_TRAY_FLAG_LOCKED) != 0 ? ", locked" : "")
             << ((t->dwFlags & PAT_TRAY_FLAG_FRONT_COVER) != 0 ? ", front-cover printing" : "");
        add(PlaceName(PAT_DEVICE_INPUT_TRAY, Find(kTrayNames, t->wTray), t->wTray, language), tray.str());
    }
    for (const OutBinInfoItem *b = r.pOutBinInfo; b != nullptr;
         b = reinterpret_cast<const OutBinInfoItem *>(b->next)) {
        add(PlaceName(PAT_DEVICE_OUTPUT_BIN, Find(kBinNames, b->wBin), b->wBin, language), BinState(b->wBinState));
    }
    std::string options;
    for (const DeviceInfoItem *d = r.pDeviceInfo; d != nullptr;
         d = reinterpret_cast<const DeviceInfoItem *>(d->next)) {
        const char *name = Find(kOptionNames, d->wDevice);
        options += (options.empty() ? "" : ", ") + (name != nullptr ? std::string(name) : std::to_string(d->wDevice));
    }
    add("options", options.empty() ? "none" : options);
    add("memory", std::to_string(r.dwMemorySize) + " KB");
    std::string versions = "system " + Or(r.pSYSVersion) + ", main " + Or(r.pMainProgVersion) + ", PostScript " +
                           Or(r.pVPSVersion);
    for (const LoadedEmulItem *e = r.pLoadedEmul; e != nullptr;
         e = reinterpret_cast<const LoadedEmulItem *>(e->next)) {
        versions += "; emulation " + std::to_string(e->wEmul) + " " +
                    TerminalText(std::string(e->szVersion, strnlen(e->szVersion, sizeof e->szVersion)));
    }
    add("versions", versions);
    std::string counter = "-";
    for (const CounterInfoItem *c = r.pCounterInfo; c != nullptr;
         c = reinterpret_cast<const CounterInfoItem *>(c->next)) {
        if (c->wCounter == 1) counter = std::to_string(c->dwValue);
    }
    add("page counter", counter);
    std::string codes;
    for (uint32_t code : result.codes) codes += (codes.empty() ? "" : " ") + std::to_string(code);
    add("status codes", codes.empty() ? "none" : codes);
    if (!result.problem.empty()) add("note", TerminalText(result.problem));
    return lines;
}

std::string TerminalText(const std::string &text, bool keepLineEnds) {
    std::string out;
    out.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        const size_t length = CharacterLength(text, at);
        const unsigned char c = static_cast<unsigned char>(text[at]);
        const bool c1 = length == 2 && c == 0xC2 && static_cast<unsigned char>(text[at + 1]) < 0xA0;
        if (length == 1 && c == '\n' && keepLineEnds) {
            out += '\n';
        } else if (length == 0 || c1 || (length == 1 && (c < 0x20 || c == 0x7F))) {
            out += kReplacement;
        } else {
            out.append(text, at, length);
        }
        at += length == 0 ? 1 : length;
    }
    return out;
}

}  // namespace patmon
