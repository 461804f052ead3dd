#include "poll/text.h"

#include <cctype>
#include <cerrno>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace patmon {

namespace {

// Languages whose texts are not in code page 1252.
struct CodePageRow {
    const char *language;
    unsigned codePage;
};
constexpr CodePageRow kCodePages[] = {
    {"JP", 932},   // half-width katakana and ASCII
    {"CS", 1250},
    {"HU", 1250},
    {"PL", 1250},
};
constexpr unsigned kDefaultCodePage = 1252;

#ifndef _WIN32
std::string Convert(const std::string &text, unsigned codePage) {
    const std::string from = "CP" + std::to_string(codePage);
    iconv_t cd = iconv_open("UTF-8", from.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return text;
    std::string out;
    char buffer[1024];
    char *in = const_cast<char *>(text.data());
    size_t inLeft = text.size();
    while (inLeft > 0) {
        char *o = buffer;
        size_t oLeft = sizeof buffer;
        const size_t done = iconv(cd, &in, &inLeft, &o, &oLeft);
        out.append(buffer, static_cast<size_t>(o - buffer));
        if (done == static_cast<size_t>(-1) && errno != E2BIG) {
            out += "\xEF\xBF\xBD";  // a byte the code page does not define
            ++in;
            --inLeft;
        }
    }
    iconv_close(cd);
    return out;
}
#else
std::string Convert(const std::string &text, unsigned codePage) {
    if (text.empty()) return text;
    const int wide = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (wide <= 0) return text;
    std::wstring w(static_cast<size_t>(wide), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), w.data(), wide);
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, out.data(), bytes, nullptr, nullptr);
    return out;
}
#endif

}  // namespace

unsigned CodePageOf(const std::string &language) {
    std::string upper;
    for (char c : language) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const CodePageRow &row : kCodePages) {
        if (upper == row.language) return row.codePage;
    }
    return kDefaultCodePage;
}

std::string ToUtf8(const std::string &text, const std::string &language) {
    return Convert(text, CodePageOf(language));
}

}  // namespace patmon
