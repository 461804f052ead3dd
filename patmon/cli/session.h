// What every poll command (poll, watch, check) sets up before its first
// poll: the language, the timeout, the target's transport.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "cli/commands.h"
#include "poll/poll.h"
#include "transports/transport.h"

namespace patmon {

// Everything a poll command needs, checked before the first poll.
struct Session {
    std::unique_ptr<Transport> transport;
    PollOptions options;
    std::string language;      // the library's code of the language asked for: labels
    std::string textLanguage;  // the language of the library's texts (English for one without texts)
    std::string note;          // said with every poll: why the texts are in another language
    // The agent whose Printer MIB is read: a tcp printer's supplies beside
    // the library's view, or the whole poll of an snmp:// printer.
    std::optional<SnmpSource> mib;
    bool mibOnly = false;

    // Checks the command (language, timeout, target) and makes the
    // transport; the usage error otherwise.
    std::optional<std::string> Prepare(const PollCommand &command);
    // One poll, with the note (if any) added to what it says.
    PollResult Poll(PrinterRecord &record) const;
};


}  // namespace patmon
