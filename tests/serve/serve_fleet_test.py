"""patmon serve watching a fleet of 50 printers over loopback: 46 `patmon
simulate` printers with mixed scenarios (some never answer) and four that
misbehave (garbage, half a reply, closing at once, nothing listening); one
of the 46 has its device ID asked of an agent that never answers, while the
others' answers share the service's SNMP socket.
Checks the JSON API, the pictures, the metrics with promtool and through a
real Prometheus server, bad requests, and bad configurations."""
import os
import re
import socket
import socketserver
import struct
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(__file__))
from serve_support import (Processes, expected_status, free_port, get_json, http_get, start_serve,  # noqa: E402
                           start_simulate, temp_dir, wait_for, write_config)

PATMON = sys.argv[1]
SCENARIOS = [line.split()[0] for line in
             subprocess.run([PATMON, "scenarios"], capture_output=True, text=True, check=True).stdout.splitlines()]
SILENT = {"no-response"}


class Misbehaving(socketserver.ThreadingTCPServer):
    """A 'printer' that answers a PJL query wrongly, as `behaviour` says."""
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, behaviour):
        self.behaviour = behaviour
        super().__init__(("127.0.0.1", 0), Handler)
        threading.Thread(target=self.serve_forever, daemon=True).start()


class Handler(socketserver.BaseRequestHandler):
    def handle(self):
        s = self.request
        s.settimeout(3)
        behaviour = self.server.behaviour
        if behaviour == "close":
            return
        try:
            s.recv(65536)
            if behaviour == "garbage":
                s.sendall(b"\x00\xff\x1b garbage \r\n" * 200)
            elif behaviour == "half":
                s.sendall(b"@PJL INFO STATUS\r\nCODE=10001\r\nDISPLAY=\"READY\"\r\n")  # no form feed, no more
            s.recv(1)  # until patmon gives up
        except OSError:
            pass


def check_bad_configs(directory):
    cases = {
        "unknown key": ({"printers": [{"name": "a", "target": "virtual", "colour": "red"}]}, "unknown key \"colour\""),
        "bad target": ({"printers": [{"name": "a", "target": "ftp://printer"}]}, "unknown target"),
        "duplicate": ({"printers": [{"name": "a", "target": "virtual"}, {"name": "a", "target": "virtual"}]},
                      "duplicate printer name \"a\""),
        "bad name": ({"printers": [{"name": "a/b", "target": "virtual"}]}, "bad printer name"),
        "top-level key": ({"printers": [], "polling": 1}, "unknown key \"polling\""),
        "language": ({"printers": [{"name": "a", "target": "virtual", "language": "XX"}]}, "unknown language"),
        "not JSON": (None, "config file"),
    }
    for name, (doc, message) in cases.items():
        path = os.path.join(directory, "bad.json")
        with open(path, "w") as f:
            f.write("{\"printers\": [" if doc is None else __import__("json").dumps(doc))
        result = subprocess.run([PATMON, "serve", "--config", path, "--listen", "127.0.0.1:0"],
                                capture_output=True, text=True, timeout=60)
        assert result.returncode == 2, f"{name}: exit {result.returncode}"
        assert message in result.stderr, f"{name}: {result.stderr!r}"
        assert "http://" not in result.stdout, f"{name}: served anyway"
    print("bad configurations: exit 2 with a message")


def metric_values(text, name):
    return {labels: float(value) for labels, value in re.findall(rf"^{name}(\{{[^}}]*\}})? (\S+)$", text, re.M)}


def main():
    processes = Processes()
    with temp_dir() as directory:
        try:
            check_bad_configs(directory)
            printers, expect = [], {}
            for i in range(46):
                scenario = SCENARIOS[i % len(SCENARIOS)]
                port, snmp = start_simulate(processes, PATMON, scenario)
                name = f"p{i:02d}-{scenario}"
                if i == 45:
                    mute, snmp = name, free_port(socket.SOCK_DGRAM)
                printers.append({"name": name, "target": f"tcp://127.0.0.1:{port}", "snmp": f"127.0.0.1:{snmp}",
                                 "interval": 1, "timeout": 1})
                expect[name] = scenario
            bad = {b: Misbehaving(b) for b in ("garbage", "half", "close")}
            for behaviour, server in bad.items():
                printers.append({"name": f"bad-{behaviour}", "target": f"tcp://127.0.0.1:{server.server_address[1]}",
                                 "interval": 1, "timeout": 1, "deviceId": "MFG:x;MDL:y;"})
            printers.append({"name": "bad-refused", "target": f"tcp://127.0.0.1:{free_port()}", "interval": 1,
                             "timeout": 1, "deviceId": "MFG:x;MDL:y;"})
            assert len(printers) == 50
            base = start_serve(processes, PATMON, write_config(directory, printers))

            cards = wait_for("every printer polled", lambda: (lambda c: c if all(p["polled"] for p in c) else None)(
                get_json(base + "/api/cards")), 30)
            by_name = {c["name"]: c for c in cards}
            labels = {s: expected_status(PATMON, s) for s in set(expect.values())}
            answering = 0
            for name, scenario in expect.items():
                card = by_name[name]
                if name == mute:
                    assert not card["responded"] and card["lastError"].endswith(" did not answer"), card
                    continue
                if scenario in SILENT:
                    assert not card["responded"] and card["lastError"], card
                    continue
                answering += 1
                assert card["responded"], card
                assert (card["label"], card["message"]) == labels[scenario], (card, labels[scenario])
            for name in ("bad-garbage", "bad-half", "bad-close", "bad-refused"):
                assert not by_name[name]["responded"] and by_name[name]["lastError"], by_name[name]
            print(f"50 printers polled: {answering} answer with their scenario's label, the rest not responding")

            # Not answering is backed off; answering printers keep their interval.
            wait_for("back-off", lambda: get_json(base + "/api/cards")[-1]["nextPollIn"] >= 4, 15)
            assert all(c["nextPollIn"] == 1 for c in get_json(base + "/api/cards") if c["responded"])

            # The API document: the poll's JSON plus name, time and error.
            ready = next(n for n, s in expect.items() if s == "toner-out")
            doc = get_json(f"{base}/api/printers/{ready}")
            for key in ("schema", "time", "severity", "printer", "trays", "record", "status", "picture", "lastPoll",
                        "lastError", "responded"):
                assert key in doc, key
            assert doc["status"]["label"] == labels["toner-out"][0] and doc["lastError"] is None
            assert doc["severity"] == "critical" and doc["target"]
            assert doc["printer"]["model"] and doc["record"]["PrnInfoEx"]["pModelName"]
            silent = get_json(f"{base}/api/printers/bad-garbage")
            assert silent["responded"] is False and silent["lastError"] and silent["status"]["codes"]
            assert len(get_json(base + "/api/printers")) == 50

            # The picture: a PNG of 320 x 200.
            status, png = http_get(f"{base}/printers/{ready}/status.png")
            assert status == 200 and png[:8] == b"\x89PNG\r\n\x1a\n"
            assert struct.unpack(">II", png[16:24]) == (320, 200)

            # Unknown names and paths are 404; long URLs and a flood of
            # requests leave polling alone.
            for path in ("/api/printers/nobody", "/printers/nobody/status.png", "/nothing", "/api/printers/a/b"):
                assert http_get(base + path)[0] == 404, path
            assert http_get(base + "/api/printers/" + "x" * 20000)[0] in (400, 404, 414)
            polls_before = metric_values(http_get(base + "/metrics")[1].decode(), "patmon_polls_total")[""]
            flood_end = time.monotonic() + 3

            def flood():
                while time.monotonic() < flood_end:
                    try:
                        with socket.create_connection(("127.0.0.1", int(base.rsplit(":", 1)[1])), timeout=2) as s:
                            s.sendall(b"GET /" + b"a" * 9000 + b" HTTP/1.1\r\nHost: x\r\n\r\n")
                            s.recv(100)
                    except OSError:
                        pass
                    http_get(base + "/api/printers", timeout=5)

            threads = [threading.Thread(target=flood) for _ in range(16)]
            for t in threads:
                t.start()
            for t in threads:
                t.join()
            metrics = http_get(base + "/metrics")[1].decode()
            polls_after = metric_values(metrics, "patmon_polls_total")[""]
            assert polls_after - polls_before >= 46 * 2, (polls_before, polls_after)
            assert metric_values(metrics, "patmon_poll_lag_max_seconds")[""] < 1.0
            now = time.time()
            for card in get_json(base + "/api/cards"):
                if card["responded"]:
                    assert now - card["lastPoll"] < 3, card
            print(f"404s, long URLs and a 3 s request flood: polling went on ({polls_after - polls_before:.0f} polls)")

            # promtool accepts the exposition; the values add up.
            check = subprocess.run(["promtool", "check", "metrics"], input=metrics, capture_output=True, text=True)
            assert check.returncode == 0, check.stdout + check.stderr
            assert sum(metric_values(metrics, "patmon_up").values()) == answering
            assert len(metric_values(metrics, "patmon_up")) == 50
            toner = metric_values(metrics, "patmon_toner_state")
            out_black = next(n for n, s in expect.items() if s == "toner-out-black")
            assert toner[f'{{printer="{out_black}",colour="black"}}'] == 2
            assert toner[f'{{printer="{out_black}",colour="cyan"}}'] == 0
            print("promtool check metrics: passed")

            check_prometheus(processes, directory, base, answering)
        finally:
            processes.stop_all()
        processes.check_clean_exit()
    print("1 passed, 0 failed")


def check_prometheus(processes, directory, base, answering):
    """A real Prometheus scrapes the service and counts the answering printers."""
    port = free_port()
    config = os.path.join(directory, "prometheus.yml")
    with open(config, "w") as f:
        f.write("global:\n  scrape_interval: 1s\n  scrape_timeout: 1s\n"
                "scrape_configs:\n  - job_name: patmon\n    static_configs:\n"
                f"      - targets: ['{base.split('//')[1]}']\n")
    processes.start(["prometheus", f"--config.file={config}", f"--storage.tsdb.path={directory}/tsdb",
                     f"--web.listen-address=127.0.0.1:{port}", "--web.enable-lifecycle"])
    api = f"http://127.0.0.1:{port}/api/v1/query?query="

    def count(query):
        try:
            status, body = http_get(api + query)
        except OSError:
            return None
        result = __import__("json").loads(body)["data"]["result"] if status == 200 else []
        return int(float(result[0]["value"][1])) if result else None

    up = wait_for("Prometheus to scrape patmon", lambda: count("sum(patmon_up)"), 60)
    assert up == answering, (up, answering)
    assert count("count(patmon_up)") == 50
    assert count("count(patmon_up%3D%3D0)") == 50 - answering
    print(f"Prometheus scraped patmon serve: sum(patmon_up) = {up}")


if __name__ == "__main__":
    main()
