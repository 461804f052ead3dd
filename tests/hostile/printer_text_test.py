#!/usr/bin/env python3
"""A printer's own words cannot pass for good status or forge output.
`patmon simulate` plays a printer whose scenario file (read again when it
changes) carries hostile text and status; `patmon poll` and `watch` must
refuse a device ID whose status cannot be read, never show the host's own
no-response code as the printer's, drop what a silent printer said before,
and print no control character of the printer's on the terminal.

usage: printer_text_test.py PATMON
"""
import json
import os
import subprocess
import sys
import tempfile
import time

from hostile_support import Simulator, check, summary

PATMON = os.path.abspath(sys.argv[1])


def write(path, scenario):
    with open(path + ".new", "w") as f:
        json.dump(scenario, f)
    os.replace(path + ".new", path)


def poll(simulator, *extra, command="poll"):
    return subprocess.run([PATMON, command, f"tcp://127.0.0.1:{simulator.pjl}", "--snmp",
                           f"127.0.0.1:{simulator.snmp}", "--timeout", "5", *extra],
                          capture_output=True, text=True, errors="replace", timeout=60)


def main():
    root = tempfile.mkdtemp(prefix="patmon-hostile-")
    scenario = os.path.join(root, "printer.json")
    write(scenario, {"model": "Colour\x1b]0;owned\x07 Laser\nstatus codes: 10001",
                     "maker": "Pat\x1b[2Jprn\r", "description": "desc\x9b31m"})
    simulator = Simulator(PATMON, scenario=scenario)
    try:
        result = poll(simulator)
        out = result.stdout
        check(result.returncode == 0, f"a printer with hostile names is polled (exit {result.returncode})")
        check("\x1b" not in out and "\r" not in out and "\x07" not in out and "\x9b" not in out,
              "no escape, bell, carriage return or C1 control of the printer's reaches the terminal")
        check(sum(line.startswith("status codes:") for line in out.splitlines()) == 1,
              "a printer's model name cannot forge a line of the report")

        # Device IDs whose status cannot be read: the poll fails and says why.
        for device_id, what in (("MFG:Patprn;MDL:Colour Laser 500;", "without a status field"),
                                ("MFG:Patprn;STS:,,,;", "with an empty status"),
                                ("MFG:Patprn;STS:4294967042,1,READY;", "with the host's no-response code"),
                                ("MFG:Patprn;STS:99999999999999999999,1,READY;", "with a code past 32 bits")):
            result = poll(simulator, "--device-id", device_id, "--json")
            doc = json.loads(result.stdout)
            check(result.returncode == 1 and not doc["responded"] and "device ID" in result.stderr,
                  f"a device ID {what} is no successful poll (exit {result.returncode}: {result.stderr.strip()})")
        # A NUL cuts the device ID where the library stops reading it.
        write(scenario, {"maker": "Patprn\u0000"})
        result = poll(simulator)
        check(result.returncode == 1 and "no status" in result.stderr,
              f"a device ID whose status follows a NUL is refused (exit {result.returncode})")

        # The same code twice is listed once; a printer that stops answering
        # keeps none of its earlier codes.
        write(scenario, {"statusCodes": [10072, 10072, 10073]})
        doc = json.loads(poll(simulator, "--json").stdout)
        codes = [code["code"] for code in doc["status"]["codes"]]
        check(codes == [10072, 10073], f"a repeated code is listed once ({codes})")
        write(scenario, {"base": "ready"})
        watch = subprocess.Popen([PATMON, "watch", f"tcp://127.0.0.1:{simulator.pjl}", "--snmp",
                                  f"127.0.0.1:{simulator.snmp}", "--interval", "1", "--count", "4", "--timeout", "1"],
                                 stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        time.sleep(1.5)
        write(scenario, {"answers": False})
        out, _ = watch.communicate(timeout=60)
        last = [line for line in out.splitlines() if line.startswith("status codes:")][-1]
        check(last == "status codes: 4294967042", f"a printer that stopped answering shows only that ({last})")
    finally:
        simulator.stop()
    return summary()


if __name__ == "__main__":
    sys.exit(main())
