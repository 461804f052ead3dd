// PatSetLocale: selects the language of every text by its two-letter code.
#include "frame/locale.h"

#include "frame/result.h"

#include <cstring>

namespace patprn {

// Table order is the order of comparison; the first equal code wins.
const LocaleRow LocaleTable[] = {
    {"JP", 0x11, 1},  // 0x0411 Japanese
    {"EN", 0x09, 1},  // 0x0409 English (United States)
    {"DE", 0x07, 1},  // 0x0407 German
    {"FR", 0x0C, 1},  // 0x040C French
    {"IT", 0x10, 1},  // 0x0410 Italian
    {"ES", 0x0A, 1},  // 0x040A Spanish
    {"NL", 0x13, 1},  // 0x0413 Dutch
    {"SV", 0x1D, 1},  // 0x041D Swedish
    {"DA", 0x06, 1},  // 0x0406 Danish
    {"NO", 0x14, 1},  // 0x0414 Norwegian
    {"CS", 0x05, 1},  // 0x0405 Czech (no string table)
    {"HU", 0x0E, 1},  // 0x040E Hungarian
    {"PL", 0x15, 1},  // 0x0415 Polish
    {"PT", 0x16, 1},  // 0x0416 Portuguese (Brazil)
    {"FI", 0x0B, 1},  // 0x040B Finnish
    {nullptr, 0, 0},
};

std::atomic<uint16_t> SelectedLanguage{kUserDefaultLanguage};

}  // namespace patprn

extern "C" BOOL WINAPI PatSetLocale(const char *code) {
    if (code == nullptr) return patprn::ExportResult(ERROR_INVALID_PARAMETER);

    // At most 9 characters take part; a longer text is compared by its
    // first 9, so it matches no two-letter code.
    char upper[10];
    lstrcpynA(upper, code, sizeof upper);
    CharUpperA(upper);

    for (const patprn::LocaleRow *row = patprn::LocaleTable; row->code != nullptr; ++row) {
        if (std::strcmp(upper, row->code) == 0) {
            patprn::SelectedLanguage.store(patprn::LocaleLanguageId(*row), std::memory_order_relaxed);
            return patprn::ExportResult(ERROR_SUCCESS);
        }
    }
    return patprn::ExportResult(PAT_ERROR_LANGUAGE);
}
