// The fourteen languages of the library's texts and the names people give
// them: the library's codes ("JP"), ISO 639 codes ("ja"), POSIX locale
// names ("ja_JP.UTF-8"). One table; the command line, the fleet
// configuration and the print queue's backend all read it.
#pragma once

#include <optional>
#include <string>

namespace patmon {

struct Language {
    const char *code;      // as PatSetLocale takes it: "JP", "EN" ...
    const char *iso;       // ISO 639-1: "ja", "en" ...
    const char *name;      // in English, for messages
    unsigned codePage;     // the ANSI code page of the library's texts
    bool hasTexts;         // false: the library selects it but holds no texts for it
};

// The library's code for `text` (a code, an ISO 639 code or a POSIX locale
// name, any case); nullopt for a language it does not know.
std::optional<std::string> LanguageCode(const std::string &text);

// The row of a library code; nullptr for an unknown one.
const Language *FindLanguage(const std::string &code);

// The language whose texts stand in for one without texts (English).
constexpr const char *kFallbackLanguage = "EN";

// "JP, EN, DE, ..." for messages that list the valid codes.
std::string LanguageList();

}  // namespace patmon
