#include "cli/commands.h"

#include "cli/labels.h"
#include "cli/session.h"

#include <chrono>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <map>
#include <thread>

#include "outputs/json_output.h"
#include "outputs/picture.h"
#include "poll/poll.h"
#include "simulator/scenario_file.h"
#include "simulator/virtual_transport.h"
#include "cli/report.h"
#include "transports/transport.h"

namespace patmon {

namespace {

// Builds the session; an exit status (and a line on stderr) on a usage error.
std::optional<int> Prepare(const PollCommand &command, Session *session) {
    const std::optional<std::string> error = session->Prepare(command);
    if (!error) return std::nullopt;
    std::cerr << "patmon: " << TerminalText(*error) << "\n";
    return kExitUsage;
}

void PrintText(const PollResult &result, const PrinterRecord &record, const std::string &language) {
    std::cout << TerminalText(result.label) << "\n" << TerminalText(result.message, true) << "\n\n";
    for (const std::string &line : SummaryLines(result, record, language)) std::cout << line << "\n";
}

// The picture file, when asked for; false (and a message) if it cannot be written.
bool WritePicture(const PollCommand &command, const PollResult &result) {
    if (command.picture.empty()) return true;
    std::vector<std::string> missing;
    const Image image = ComposePicture(result.picture, &missing);
    for (const std::string &name : missing) std::cerr << "patmon: bitmap " << name << " did not load\n";
    // Written beside the file and moved over it: a viewer never sees half a picture.
    std::string error;
    const std::string partial = command.picture + ".part";
    std::error_code moved;
    if (!WritePng(image, partial, &error)) {
        std::cerr << "patmon: " << error << "\n";
        return false;
    }
    std::filesystem::rename(partial, command.picture, moved);
    if (moved) {
        std::cerr << "patmon: cannot write " << command.picture << ": " << moved.message() << "\n";
        std::filesystem::remove(partial, moved);
        return false;
    }
    return true;
}

std::string Now() {
    const std::time_t now = std::time(nullptr);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", std::localtime(&now));
    return text;
}

}  // namespace

int RunPoll(const PollCommand &command) {
    Session session;
    if (std::optional<int> status = Prepare(command, &session)) return *status;
    PrinterRecord record;
    const PollResult result = session.Poll(record);
    if (command.json) {
        std::cout << ResultJson(result, record, PollContext{command.target}) << "\n";
    } else {
        PrintText(result, record, session.language);
    }
    const bool pictureWritten = WritePicture(command, result);
    if (!result.responded) {
        std::cerr << "patmon: " << TerminalText(result.problem) << "\n";
        return kExitNotPolled;
    }
    return pictureWritten ? kExitOk : kExitNotPolled;
}

int RunWatch(const PollCommand &command, const std::atomic<bool> &stop) {
    Session session;
    if (std::optional<int> status = Prepare(command, &session)) return *status;
    if (!(command.intervalSeconds >= 0.1)) {
        std::cerr << "patmon: --interval must be at least 0.1 s\n";
        return kExitUsage;
    }
    if (command.count < 0) {
        std::cerr << "patmon: --count must be 0 (no end) or more\n";
        return kExitUsage;
    }
    PrinterRecord record;
    std::vector<std::string> shown;
    bool lastResponded = true;
    for (long polls = 0; !stop.load() && (command.count == 0 || polls < command.count); ++polls) {
        const auto started = std::chrono::steady_clock::now();
        const PollResult result = session.Poll(record);
        const Labels &labels = LabelsOf(session.language);
        std::vector<std::string> lines{std::string(labels.label) + ": " + TerminalText(result.label),
                                       std::string(labels.message) + ": " + TerminalText(result.message, true)};
        for (const std::string &line : SummaryLines(result, record, session.language)) lines.push_back(line);
        const bool changed = lines != shown;
        if (command.json) {
            // One object per change, each on a line of its own (NDJSON).
            if (changed) std::cout << ResultJson(result, record, PollContext{command.target}, -1) << "\n";
        } else {
            // Only lines that are new or changed since the last poll.
            std::map<std::string, bool> before;
            for (const std::string &line : shown) before[line] = true;
            bool header = false;
            for (const std::string &line : lines) {
                if (before.count(line) != 0) continue;
                if (!header) std::cout << "== " << Now() << "\n";
                header = true;
                std::cout << line << "\n";
            }
        }
        std::cout.flush();
        if (changed || polls == 0) WritePicture(command, result);
        shown = lines;
        if (!result.responded && lastResponded) std::cerr << "patmon: " << TerminalText(result.problem) << "\n";
        lastResponded = result.responded;
        const auto next = started + std::chrono::milliseconds(static_cast<long long>(command.intervalSeconds * 1000));
        while (!stop.load() && std::chrono::steady_clock::now() < next &&
               (command.count == 0 || polls + 1 < command.count)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    return lastResponded ? kExitOk : kExitNotPolled;
}

int RunScenarios(const std::string &show) {
    if (!show.empty()) {
        const std::optional<PrinterModel> printer = ScenarioPrinter(show);
        if (!printer) {
            std::string names;
            for (const Scenario &scenario : BuiltInScenarios()) names += (names.empty() ? "" : ", ") + std::string(scenario.name);
            std::cerr << "patmon: unknown scenario \"" << TerminalText(show) << "\" (built in: " << names << ")\n";
            return kExitUsage;
        }
        std::cout << ScenarioFileOf(*printer, show);
        return kExitOk;
    }
    for (const Scenario &scenario : BuiltInScenarios()) {
        std::cout << scenario.name << std::string(20 - std::min<size_t>(19, std::string(scenario.name).size()), ' ')
                  << scenario.summary << "\n";
    }
    return kExitOk;
}

}  // namespace patmon
