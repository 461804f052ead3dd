// National-language support shared inside the platform layer.
#pragma once

#include "platform/win32.h"

namespace patprn::platform {

// The user's default language, from the environment's locale as Wine reads
// it (LC_ALL, then LC_MESSAGES, then LANG): "de_DE.UTF-8" is 0x0407, a
// language alone ("de") its usual country; "C", "POSIX", an unset locale
// and any locale not known here are English 0x0409. Read on every call.
LANGID UserDefaultLanguage();

}  // namespace patprn::platform
