// The selected language and the table of language codes that PatSetLocale
// accepts.
#pragma once

#include <atomic>
#include <cstdint>

namespace patprn {

// One language the host may select: its two-letter uppercase code and the
// parts of its Windows language id.
struct LocaleRow {
    const char *code;  // null in the end row
    uint16_t primary;
    uint16_t sub;
};

// The codes PatSetLocale knows, in the order they are compared; ends with a
// row whose code is null. Czech is accepted although no Czech string table
// exists: its texts come from the resource loader's language fallback.
extern const LocaleRow LocaleTable[];

// The row's Windows language id: the sublanguage shifted left by 10, OR the
// primary language.
constexpr uint16_t LocaleLanguageId(const LocaleRow &row) {
    return static_cast<uint16_t>((row.sub << 10) | row.primary);
}

// Language id of every text the library loads. Starts as 0x0400 (the
// user's default language); only PatSetLocale changes it. Relaxed: a load
// racing with PatSetLocale may see either language, as with a plain global,
// but without a data race. Read it once per load with
// SelectedLanguage.load(std::memory_order_relaxed).
inline constexpr uint16_t kUserDefaultLanguage = 0x0400;
extern std::atomic<uint16_t> SelectedLanguage;

}  // namespace patprn
