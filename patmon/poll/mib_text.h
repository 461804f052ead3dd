// Texts from a printer's agent as they can be shown (CleanMibText is
// declared in poll/mib_reading.h), and whether a cleaned text is readable.
#pragma once

#include <string>

#include "poll/mib_reading.h"

namespace patmon {

// A name nobody can read: nothing, or as many unreadable characters as
// letters and digits.
bool GarbledMibText(const std::string &cleaned);

// ASCII letters in lower case, the rest as it is.
std::string LowerAscii(std::string s);

}  // namespace patmon
