"""patmon serve with the printers' standard MIB: a printer of this family
over TCP shows its supplies beside the library's status, a printer watched
through SNMP alone (snmp://) is polled from its MIB, a printer whose toner
runs low shows it in its supply series and alerts, and the metrics stay
valid Prometheus text.

usage: serve_mib_test.py PATMON
"""
import json
import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.dirname(__file__))
from serve_support import (Processes, http_get, start_serve, start_simulate, temp_dir,  # noqa: E402
                           wait_for, write_config)

PATMON = sys.argv[1]


def polled(url, ready):
    """The document at `url` once the printer was polled and `ready` says so."""
    status, body = http_get(url)
    if status != 200:
        return None  # not polled yet
    doc = json.loads(body)
    return doc if ready(doc) else None


def series(metrics, name):
    return {labels: float(value) for labels, value in re.findall(r"^" + name + r"\{(.*)\} (\S+)$", metrics, re.M)}


def main():
    processes = Processes()
    with temp_dir() as directory:
        try:
            path = os.path.join(directory, "desk.json")
            with open(path, "w") as f:
                json.dump({"base": "ready"}, f)
            port, snmp = start_simulate(processes, PATMON, path)
            printers = [
                {"name": "desk", "target": f"tcp://127.0.0.1:{port}", "snmp": f"127.0.0.1:{snmp}", "interval": 1,
                 "mibInterval": 1},
                {"name": "other", "target": f"snmp://127.0.0.1:{snmp}", "interval": 1},
                {"name": "v3", "target": f"snmp://127.0.0.1:{snmp}", "snmpVersion": "3", "user": "nobody",
                 "auth": "SHA:not-the-pass", "interval": 1},
            ]
            base = start_serve(processes, PATMON, write_config(directory, printers))

            # The tcp printer's supplies join its poll after the first walk.
            desk = wait_for("the desk's supplies", lambda: polled(base + "/api/printers/desk", lambda d: d["supplies"]), 30)
            assert desk["status"]["label"] == "Operational" and desk["severity"] == "ok", desk["status"]
            kinds = [s["kind"] for s in desk["supplies"]]
            assert kinds.count("toner") == 4 and "wasteToner" in kinds, kinds
            other = wait_for("the snmp printer", lambda: polled(base + "/api/printers/other", lambda d: d["responded"]), 30)
            assert other["supplies"] and other["trays"], other
            # A v3 user the agent does not know: not answering, with the reason.
            v3 = wait_for("the v3 printer polled", lambda: polled(base + "/api/printers/v3", lambda d: d["lastError"]), 30)
            assert not v3["responded"] and "SNMP agent at 127.0.0.1" in v3["lastError"], v3["lastError"]
            print("tcp and snmp:// printers show their supplies; a refused v3 user says why")

            # Black toner runs low: its series and the alert follow.
            with open(path, "w") as f:
                json.dump({"base": "toner-low"}, f)
            os.utime(path, (os.path.getatime(path), os.path.getmtime(path) + 2))
            # (A walk that spans the change may see some columns before it:
            # the test waits for the level itself.)
            black = 'printer="desk",supply="Black Toner Cartridge",colour="black",kind="toner"'
            metrics = wait_for("the low toner in /metrics", lambda: (lambda m: m if series(
                m, "patmon_supply_level_percent").get(black, 100) <= 10 and any(
                'printer="desk"' in k and "toner-low" in k for k in series(m, "patmon_alert")) else None)(
                http_get(base + "/metrics")[1].decode()), 30)
            states = series(metrics, "patmon_supply_state")
            assert states[black + ',state="low"'] == 1, states
            check = subprocess.run(["promtool", "check", "metrics"], input=metrics, capture_output=True, text=True)
            assert check.returncode == 0, check.stdout + check.stderr
            print("a low toner shows in the supply series and alerts; promtool accepts the metrics")
        finally:
            processes.stop_all()
        processes.check_clean_exit()
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
