// Text out: the library's texts are 8-bit, in the ANSI code page of the
// selected language; the terminal, JSON and HTML want UTF-8.
#pragma once

#include <string>

namespace patmon {

// The ANSI code page of a language code as PatSetLocale takes it.
unsigned CodePageOf(const std::string &language);

// Converts `text` from the code page of `language` to UTF-8; a byte that
// does not convert becomes U+FFFD. Japanese text is also normalised (NFKC):
// the library's half-width katakana come out full-width.
std::string ToUtf8(const std::string &text, const std::string &language);

}  // namespace patmon
