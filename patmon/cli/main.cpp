// patmon: the reference status monitor of the printer data library. The
// command line (CLI11) is read here; the commands do the work.
#include <CLI/CLI.hpp>

#include <csignal>
#include <iostream>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "cli/check.h"
#include "cli/commands.h"
#include "poll/languages.h"
#ifdef PATMON_HAVE_SERVE
#include "serve/serve.h"
#endif
#include "transports/snmp.h"
#ifndef _WIN32
#include "cups/cups_backend.h"
#endif

namespace {

std::atomic<bool> g_stop{false};

void OnSignal(int) { g_stop.store(true); }

void AddPollOptions(CLI::App *app, patmon::PollCommand &command) {
    app->add_option("TARGET", command.target, "virtual[:SCENARIO] | tcp://HOST[:PORT] | snmp://HOST[:PORT] | usb:DEVICE")
        ->required();
    app->add_option("--lang", command.language,
                    "language: " + patmon::LanguageList() + ", or an ISO code or locale name (ja, ja_JP.UTF-8)");
    app->add_option("--picture", command.picture, "write the status picture to this PNG file (watch: on each change)");
    app->add_flag("--json", command.json, "the result as JSON (docs/json.md; watch: one object a line per change)");
    app->add_option("--timeout", command.timeoutSeconds, "seconds per poll");
    app->add_option("--device-id", command.deviceId, "use this device ID instead of asking the printer");
    app->add_option("--snmp", command.snmp, "HOST[:PORT] of the SNMP agent (tcp targets; default: the target host)");
    app->add_option("--community", command.community, "SNMP read community (v1, v2c)");
    app->add_option("--snmp-version", command.snmpVersion, "SNMP version: 1, 2c or 3");
    app->add_option("--user", command.user, "SNMP v3 user");
    app->add_option("--auth", command.auth, "SNMP v3 authentication, PROTOCOL:PASSPHRASE (MD5, SHA, SHA-256 ...)");
    app->add_option("--priv", command.priv, "SNMP v3 privacy, PROTOCOL:PASSPHRASE (DES, AES)");
}

}  // namespace

int main(int argc, char **argv) {
#ifndef _WIN32
    // Installed as the print queue's backend "patprn", the program is that.
    if (argc > 0 && patmon::IsBackendInvocation(argv[0])) return patmon::RunBackend(argc, argv);
#endif
#ifdef _WIN32
    // UTF-8 bytes out as they are, with the same line ends as on Linux.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);

    CLI::App app{"patmon: printer status monitor"};
    app.require_subcommand(0, 1);
    app.set_version_flag("--version", "patmon " PATMON_VERSION);
    // Every option's default shows in --help.
    app.option_defaults()->always_capture_default();
    patmon::PollCommand poll, watch;
    patmon::SimulateOptions simulate;
    bool noSnmp = false;

    CLI::App *pollCommand = app.add_subcommand("poll", "poll a printer once and show its status");
    AddPollOptions(pollCommand, poll);
    CLI::App *watchCommand = app.add_subcommand("watch", "poll every few seconds and show what changed");
    AddPollOptions(watchCommand, watch);
    watchCommand->add_option("--interval", watch.intervalSeconds, "seconds between polls");
    watchCommand->add_option("--count", watch.count, "stop after this many polls");
    CLI::App *simulateCommand = app.add_subcommand("simulate", "serve the virtual printer over TCP and SNMP");
    simulateCommand->add_option("--scenario", simulate.scenario, "built-in scenario name or scenario file");
    simulateCommand->add_option("--listen", simulate.listen, "HOST:PORT of the PJL port");
    simulateCommand->add_option("--snmp", simulate.snmp, "HOST:PORT of the SNMP agent");
    simulateCommand->add_flag("--no-snmp", noSnmp, "serve no SNMP agent");
    simulateCommand->add_option("--job-file", simulate.jobFile, "append received print data to this file");
    CLI::App *scenariosCommand = app.add_subcommand("scenarios", "list the built-in scenarios");
    std::string showScenario;
    scenariosCommand->add_option("--show", showScenario, "print this scenario as a scenario file to edit");
    patmon::CheckCommand check;
    CLI::App *checkCommand =
        app.add_subcommand("check", "poll once as a monitoring plugin: one line, exit 0 OK, 1 WARNING, 2 CRITICAL, 3 UNKNOWN");
    AddPollOptions(checkCommand, check.poll);
    checkCommand->add_option("--warning-level", check.warningLevel,
                             "a tray level (percent) at or below this is a warning; -1: never");
    checkCommand->add_option("--critical-level", check.criticalLevel,
                             "a tray level (percent) at or below this is critical; -1: never");
#ifdef PATMON_HAVE_SERVE
    patmon::ServeOptions serve;
    CLI::App *serveCommand = app.add_subcommand("serve", "watch a fleet of printers; serve metrics, API and page");
    serveCommand->add_option("--config", serve.config, "the fleet's configuration file (JSON)");
    serveCommand->add_option("--listen", serve.listen, "HOST:PORT of the HTTP service (default 127.0.0.1:9464)");
    serveCommand->add_option("--simulate", serve.simulate, "instead of a config: N virtual printers")
        ->check(CLI::Range(1, 100000));
    serveCommand->add_option("--interval", serve.intervalSeconds, "with --simulate: seconds between polls")
        ->check(CLI::Range(0.1, 86400.0));
    serveCommand->add_option("--lang", serve.language, "with --simulate: language code");
    serveCommand->add_option("--workers", serve.workers, "threads for the library calls (default 2)")
        ->check(CLI::Range(1, 64));
#endif

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError &e) {
        // A check that cannot be made is UNKNOWN to the scheduler that ran it.
        if (*checkCommand && e.get_exit_code() != 0) {
            std::cout << "PATMON UNKNOWN - " << e.what() << "\n";
            return patmon::kCheckUnknown;
        }
        const int status = app.exit(e);
        return status == 0 ? patmon::kExitOk : patmon::kExitUsage;
    }
    if (*checkCommand) return patmon::RunCheck(check);
    if (*pollCommand) return patmon::RunPoll(poll);
    if (*watchCommand) return patmon::RunWatch(watch, g_stop);
    if (*simulateCommand) {
        if (noSnmp || !patmon::SnmpAvailable()) simulate.snmp.clear();
        return patmon::Simulate(simulate, g_stop);
    }
    if (*scenariosCommand) return patmon::RunScenarios(showScenario);
#ifdef PATMON_HAVE_SERVE
    if (*serveCommand) return patmon::Serve(serve, g_stop);
#endif
    return patmon::RunPoll(patmon::PollCommand{});
}
