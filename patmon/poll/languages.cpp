#include "poll/languages.h"

#include <cctype>

namespace patmon {

namespace {

constexpr Language kLanguages[] = {
    {"JP", "ja", "Japanese", 932, true},    {"EN", "en", "English", 1252, true},
    {"DE", "de", "German", 1252, true},     {"FR", "fr", "French", 1252, true},
    {"IT", "it", "Italian", 1252, true},    {"ES", "es", "Spanish", 1252, true},
    {"NL", "nl", "Dutch", 1252, true},      {"SV", "sv", "Swedish", 1252, true},
    {"DA", "da", "Danish", 1252, true},     {"NO", "no", "Norwegian", 1252, true},
    {"CS", "cs", "Czech", 1250, false},     {"HU", "hu", "Hungarian", 1250, true},
    {"PL", "pl", "Polish", 1250, true},     {"PT", "pt", "Portuguese", 1252, true},
    {"FI", "fi", "Finnish", 1252, true},
};

// Other names of a language: ISO codes a locale may carry instead.
struct Alias {
    const char *name;
    const char *code;
};
constexpr Alias kAliases[] = {{"ja", "JP"}, {"jp", "JP"}, {"nb", "NO"}, {"nn", "NO"}};

std::string Lower(const std::string &text) {
    std::string out;
    for (char c : text) out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

const Language *FindLanguage(const std::string &code) {
    for (const Language &language : kLanguages) {
        if (code == language.code) return &language;
    }
    return nullptr;
}

std::optional<std::string> LanguageCode(const std::string &text) {
    // "ja_JP.UTF-8@euro": the language is what comes before '_', '.' or '@'.
    const std::string lower = Lower(text.substr(0, text.find_first_of("_.@-")));
    for (const Alias &alias : kAliases) {
        if (lower == alias.name) return alias.code;
    }
    for (const Language &language : kLanguages) {
        if (lower == Lower(language.code) || lower == language.iso) return language.code;
    }
    return std::nullopt;
}

std::string LanguageList() {
    std::string list;
    for (const Language &language : kLanguages) list += (list.empty() ? "" : ", ") + std::string(language.code);
    return list;
}

}  // namespace patmon
