#include "simulator/printer_source.h"

#include <iostream>

#include "simulator/scenario_file.h"

namespace patmon {

PrinterSource::PrinterSource(std::string scenario) : scenario_(std::move(scenario)) {}

PrinterSource::PrinterSource(PrinterModel printer) : printer_(std::move(printer)), loaded_(true) {}

bool PrinterSource::Load(std::string *error) {
    std::lock_guard<std::mutex> lock(mutex_);
    return Refresh(error);
}

PrinterModel PrinterSource::Current() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string error;
    if (!Refresh(&error)) std::cerr << "patmon: " << error << " (keeping the last state)\n";
    return printer_;
}

uint64_t PrinterSource::Version() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string error;
    if (!Refresh(&error)) std::cerr << "patmon: " << error << " (keeping the last state)\n";
    return version_;
}

bool PrinterSource::Refresh(std::string *error) {
    if (scenario_.empty()) return true;
    if (!loaded_) {
        if (std::optional<PrinterModel> builtIn = ScenarioPrinter(scenario_)) {
            printer_ = *builtIn;
            loaded_ = true;
            ++version_;
            scenario_.clear();  // a built-in scenario never changes
            return true;
        }
    }
    std::error_code ec;
    const auto stamp = std::filesystem::last_write_time(scenario_, ec);
    if (ec) {
        *error = "unknown scenario \"" + scenario_ +
                 "\": neither a built-in name (see patmon scenarios) nor a readable file";
        return false;
    }
    if (loaded_ && stamp == stamp_) return true;
    std::optional<PrinterModel> read = ReadScenarioFile(scenario_, error);
    if (!read) return false;
    printer_ = *read;
    ++version_;
    stamp_ = stamp;
    loaded_ = true;
    return true;
}

}  // namespace patmon
