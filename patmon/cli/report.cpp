#include "cli/report.h"

#include <cstring>
#include <sstream>

#include "cli/labels.h"
#include "poll/text.h"

namespace patmon {

namespace {

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
    const PollReadings &readings = result.readings;
    const Labels &labels = LabelsOf(language);
    std::vector<std::string> lines;
    auto add = [&lines](const std::string &name, const std::string &value) { lines.push_back(name + ": " + value); };
    add(labels.model, Or(r.pModelName));
    add(labels.maker, Or(r.pMakerName));
    add(labels.description, Or(r.pDescription));
    for (const PollTray &tray : readings.trays) {
        std::string text = tray.paper + ", " + tray.media + ", " +
                           (tray.levelPercent ? std::string(labels.level) + " " + std::to_string(*tray.levelPercent) + " %"
                                              : std::string(labels.levelUnknown));
        if (tray.locked) text += ", locked";
        if (tray.frontCover) text += ", front-cover printing";
        add(TerminalText(tray.name), text);
    }
    for (const PollBin &bin : readings.bins) add(TerminalText(bin.name), bin.state);
    for (const PollSupply &supply : readings.supplies) {
        add(TerminalText(supply.name), (supply.levelPercent ? std::to_string(*supply.levelPercent) + " %"
                                                             : std::string(labels.levelUnknown)) +
                                           ", " + supply.state);
    }
    std::string options;
    for (const std::string &option : readings.options) options += (options.empty() ? "" : ", ") + option;
    add(labels.options, options.empty() ? labels.none : options);
    add(labels.memory, std::to_string(r.dwMemorySize) + " KB");
    std::string versions = "system " + Or(r.pSYSVersion) + ", main " + Or(r.pMainProgVersion) + ", PostScript " +
                           Or(r.pVPSVersion);
    for (const PollEmulation &e : readings.emulations) versions += "; " + e.name + " " + TerminalText(e.version);
    add(labels.versions, versions);
    add(labels.pageCounter, readings.printer.pageCount ? std::to_string(*readings.printer.pageCount) : "-");
    add(labels.severity, readings.severity);
    std::string codes;
    for (uint32_t code : result.codes) codes += (codes.empty() ? "" : " ") + std::to_string(code);
    add(labels.statusCodes, codes.empty() ? labels.none : codes);
    for (const PollCode &code : readings.codes) {
        if (!code.text.empty()) add(std::to_string(code.code), code.severity + ", " + TerminalText(code.text));
    }
    if (!result.problem.empty()) add(labels.note, TerminalText(result.problem));
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
