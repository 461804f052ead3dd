// Where the virtual printer's state comes from: a built-in scenario, or a
// scenario file that is read again whenever it changes, so that a user or
// a test can change the printer's state while it is polled or simulated.
#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>

#include "simulator/printer_model.h"

namespace patmon {

class PrinterSource {
public:
    // `scenario`: a built-in scenario name or the path of a scenario file.
    explicit PrinterSource(std::string scenario);
    // A printer that never changes.
    explicit PrinterSource(PrinterModel printer);

    // Reads the scenario; false with `error` naming the problem.
    bool Load(std::string *error);
    // The printer as it is now; a file that became unreadable keeps the
    // last state and says so on stderr.
    PrinterModel Current();
    // A number that changes whenever the printer's state does (the file
    // is looked at first), so that what was made from one state can be
    // kept until it changes.
    uint64_t Version();

private:
    bool Refresh(std::string *error);

    std::string scenario_;  // empty for a fixed printer
    std::mutex mutex_;
    PrinterModel printer_;
    bool loaded_ = false;
    uint64_t version_ = 0;
    std::filesystem::file_time_type stamp_;
};

}  // namespace patmon
