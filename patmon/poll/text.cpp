#include "poll/text.h"

#include "poll/languages.h"

#include <cctype>
#include <cerrno>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#include <unicode/unorm2.h>
#include <unicode/ustring.h>
#endif

namespace patmon {

namespace {

constexpr unsigned kJapaneseCodePage = 932;

#ifndef _WIN32
// One converter per code page and thread, kept for the thread's life:
// opening one costs more than converting a status text.
class Converters {
public:
    ~Converters() {
        for (const auto &[codePage, cd] : open_) iconv_close(cd);
    }
    // nullptr-like (iconv_t)-1 when the code page has no converter.
    iconv_t For(unsigned codePage) {
        for (const auto &[page, cd] : open_) {
            if (page == codePage) {
                iconv(cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
                return cd;
            }
        }
        const std::string from = "CP" + std::to_string(codePage);
        iconv_t cd = iconv_open("UTF-8", from.c_str());
        if (cd != reinterpret_cast<iconv_t>(-1)) open_.emplace_back(codePage, cd);
        return cd;
    }

private:
    std::vector<std::pair<unsigned, iconv_t>> open_;
};

std::string Convert(const std::string &text, unsigned codePage) {
    static thread_local Converters converters;
    iconv_t cd = converters.For(codePage);
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
    return out;
}

// Compatibility forms made canonical (NFKC): the half-width katakana of the
// Japanese texts become the full-width ones every UTF-8 reader expects.
std::string Nfkc(const std::string &utf8) {
    UErrorCode status = U_ZERO_ERROR;
    const UNormalizer2 *nfkc = unorm2_getNFKCInstance(&status);
    if (U_FAILURE(status) || utf8.empty()) return utf8;
    std::u16string wide(utf8.size(), u'\0');
    int32_t length = 0;
    u_strFromUTF8(wide.data(), static_cast<int32_t>(wide.size()), &length, utf8.data(),
                  static_cast<int32_t>(utf8.size()), &status);
    if (U_FAILURE(status)) return utf8;
    std::u16string normal(static_cast<size_t>(length) * 3 + 16, u'\0');
    const int32_t normalLength = unorm2_normalize(nfkc, wide.data(), length, normal.data(),
                                                  static_cast<int32_t>(normal.size()), &status);
    if (U_FAILURE(status)) return utf8;
    std::string out(static_cast<size_t>(normalLength) * 3 + 4, '\0');
    int32_t outLength = 0;
    u_strToUTF8(out.data(), static_cast<int32_t>(out.size()), &outLength, normal.data(), normalLength, &status);
    if (U_FAILURE(status)) return utf8;
    out.resize(static_cast<size_t>(outLength));
    return out;
}
#else
std::string ToUtf8Wide(const std::wstring &w) {
    const int wide = static_cast<int>(w.size());
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0) WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, out.data(), bytes, nullptr, nullptr);
    return out;
}

std::wstring Wide(const std::string &text, unsigned codePage) {
    const int wide = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(wide > 0 ? wide : 0), L'\0');
    if (wide > 0) MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), w.data(), wide);
    return w;
}

std::string Convert(const std::string &text, unsigned codePage) {
    if (text.empty()) return text;
    const std::wstring w = Wide(text, codePage);
    return w.empty() ? text : ToUtf8Wide(w);
}

// Compatibility forms made canonical (NFKC): the half-width katakana of the
// Japanese texts become the full-width ones every UTF-8 reader expects.
std::string Nfkc(const std::string &utf8) {
    const std::wstring w = Wide(utf8, CP_UTF8);
    if (w.empty()) return utf8;
    const int needed = NormalizeString(NormalizationKC, w.data(), static_cast<int>(w.size()), nullptr, 0);
    if (needed <= 0) return utf8;
    std::wstring normal(static_cast<size_t>(needed), L'\0');
    const int length = NormalizeString(NormalizationKC, w.data(), static_cast<int>(w.size()), normal.data(), needed);
    if (length <= 0) return utf8;
    normal.resize(static_cast<size_t>(length));
    return ToUtf8Wide(normal);
}
#endif

}  // namespace

unsigned CodePageOf(const std::string &language) {
    const std::optional<std::string> code = LanguageCode(language);
    const Language *row = code ? FindLanguage(*code) : nullptr;
    return row != nullptr ? row->codePage : 1252;
}

std::string ToUtf8(const std::string &text, const std::string &language) {
    const unsigned codePage = CodePageOf(language);
    const std::string utf8 = Convert(text, codePage);
    return codePage == kJapaneseCodePage ? Nfkc(utf8) : utf8;
}

}  // namespace patmon
