// The commands of patmon, each returning the process exit status:
// 0 a successful poll, 1 a printer that could not be polled, 2 a usage error.
#pragma once

#include <atomic>
#include <optional>
#include <string>

#include "simulator/simulate.h"

namespace patmon {

constexpr int kExitOk = 0;
constexpr int kExitNotPolled = 1;
constexpr int kExitUsage = 2;

struct PollCommand {
    std::string target = "virtual:ready";
    std::string language = "EN";
    std::string picture;  // PNG file to write; empty: none
    bool json = false;
    double timeoutSeconds = 5;
    std::optional<std::string> deviceId;
    std::string snmp;  // HOST[:PORT]; empty: the target's host
    std::string community = "public";
    std::string snmpVersion = "2c";  // 1, 2c or 3
    std::string user;                // SNMP v3
    std::string auth;                // SNMP v3: PROTOCOL:PASSPHRASE
    std::string priv;                // SNMP v3: PROTOCOL:PASSPHRASE
    double intervalSeconds = 5;  // watch
    long count = 0;              // watch: polls before stopping; 0 runs until stopped
};

int RunPoll(const PollCommand &command);
int RunWatch(const PollCommand &command, const std::atomic<bool> &stop);
// The built-in scenarios, one line each; with `show`, that scenario as a
// scenario file one can edit.
int RunScenarios(const std::string &show = {});

}  // namespace patmon
