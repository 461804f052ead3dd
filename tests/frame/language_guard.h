// Tests of the frame change the process-wide selected language; this guard
// puts back whatever was selected before, so test order does not matter.
#pragma once

#include "frame/locale.h"

namespace pattest {

struct LanguageGuard {
    LanguageGuard() : saved(patprn::SelectedLanguage.load()) {}
    ~LanguageGuard() { patprn::SelectedLanguage.store(saved); }
    LanguageGuard(const LanguageGuard &) = delete;
    LanguageGuard &operator=(const LanguageGuard &) = delete;
    uint16_t saved;
};

}  // namespace pattest
