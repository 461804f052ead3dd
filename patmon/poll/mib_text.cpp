#include "poll/mib_text.h"

#include <cctype>
#include <cstdint>

namespace patmon {

namespace {

void AppendUtf8(std::string &out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xc0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3f));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xe0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (cp & 0x3f));
    } else {
        out += static_cast<char>(0xf0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3f));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (cp & 0x3f));
    }
}

// The next character of `s` at `i` (advanced past it); a byte that does
// not start a well-formed UTF-8 sequence is read as Latin-1.
uint32_t NextChar(std::string_view s, size_t &i) {
    const auto byte = [&](size_t k) { return static_cast<uint8_t>(s[k]); };
    const uint8_t b = byte(i);
    size_t length = b >= 0xf0 && b < 0xf5 ? 4 : b >= 0xe0 ? 3 : b >= 0xc2 && b < 0xe0 ? 2 : 1;
    if (b < 0x80 || length == 1 || i + length > s.size()) {
        ++i;
        return b;
    }
    uint32_t cp = b & (0x7f >> length);
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xc0) != 0x80) {
            ++i;
            return b;
        }
        cp = (cp << 6) | (byte(i + k) & 0x3f);
    }
    const uint32_t least = length == 3 ? 0x800 : length == 4 ? 0x10000 : 0x80;
    if (cp < least || cp > 0x10ffff || (cp >= 0xd800 && cp < 0xe000)) {
        ++i;
        return b;
    }
    i += length;
    return cp;
}

constexpr uint32_t kReplacement = 0xfffd;

}  // namespace

// A name nobody can read: nothing, or as many unreadable characters as
// letters and digits.
bool GarbledMibText(const std::string &cleaned) {
    size_t readable = 0, unreadable = 0;
    for (size_t i = 0; i < cleaned.size();) {
        const uint32_t cp = NextChar(cleaned, i);
        if (cp == kReplacement) ++unreadable;
        else if ((cp < 0x80 && std::isalnum(static_cast<int>(cp))) || cp >= 0xc0) ++readable;
    }
    return readable == 0 || unreadable >= readable;
}

std::string LowerAscii(std::string s) {
    for (char &c : s) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}

std::string CleanMibText(std::string_view raw, size_t maxBytes) {
    while (!raw.empty() && raw.back() == '\0') raw.remove_suffix(1);
    std::string out;
    bool space = false;
    for (size_t i = 0; i < raw.size() && out.size() < maxBytes + 4;) {
        uint32_t cp = NextChar(raw, i);
        if (cp == '\t' || cp == '\n' || cp == '\r' || cp == '\v' || cp == '\f' || cp == ' ') {
            space = true;
            continue;
        }
        if (cp < 0x20 || cp == 0x7f || (cp >= 0x80 && cp < 0xa0)) cp = kReplacement;
        if (space && !out.empty()) out += ' ';
        space = false;
        AppendUtf8(out, cp);
    }
    if (out.size() > maxBytes) {
        size_t cut = maxBytes;
        while (cut > 0 && (static_cast<uint8_t>(out[cut]) & 0xc0) == 0x80) --cut;
        out.resize(cut);
        while (!out.empty() && out.back() == ' ') out.pop_back();
    }
    return out;
}

}  // namespace patmon
