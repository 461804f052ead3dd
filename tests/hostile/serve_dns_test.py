#!/usr/bin/env python3
"""patmon serve with printers known by name, against a name server of the
test's own on 127.0.0.1:53 (patmon serve runs in a private mount namespace
whose /etc/resolv.conf and /etc/hosts point there). The server never answers
for two names, says another does not exist, and moves a third from an address
where nothing listens to its printer's. Healthy printers (by address and by
name) must be polled on time all along; the missing name is asked again with
a growing back-off, not at every poll; the moved printer is found at its new
address once its answer's TTL has run out.

Needs root and unshare; reports itself skipped (77) otherwise.
usage: serve_dns_test.py PATMON
"""
import json
import os
import re
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request

from hostile_support import Simulator, check, summary, wait_for

PATMON = os.path.abspath(sys.argv[1])
OPENER = urllib.request.build_opener(urllib.request.ProxyHandler({}))
SKIPPED = 77
TTL = 2


class NameServer:
    """A DNS server on 127.0.0.1:53 for the names of this test."""

    def __init__(self):
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.bind(("127.0.0.1", 53))
        self.sock.settimeout(0.2)
        self.asked = {}  # name: [time of each query]
        self.moved = False
        self.stopping = threading.Event()
        self.thread = threading.Thread(target=self.serve, daemon=True)
        self.thread.start()

    def answers(self, name, qtype):
        """(rcode, [(type, rdata)]) for a question, or None for no answer at all."""
        a, aaaa = 1, 28
        if name.startswith("slow"):
            return None
        if name == "ok.patmon.test":
            return 0, [(a, socket.inet_aton("127.0.0.1"))] if qtype == a else []
        if name == "moved.patmon.test":
            if self.moved:
                return 0, [(a, socket.inet_aton("127.0.0.1"))] if qtype == a else []
            return 0, [(aaaa, socket.inet_pton(socket.AF_INET6, "::1"))] if qtype == aaaa else []
        return 3, []  # no such name

    def serve(self):
        while not self.stopping.is_set():
            try:
                query, client = self.sock.recvfrom(4096)
            except socket.timeout:
                continue
            if len(query) < 17:
                continue
            at, labels = 12, []
            while query[at] != 0:
                labels.append(query[at + 1:at + 1 + query[at]].decode("ascii", "replace"))
                at += 1 + query[at]
            qtype = struct.unpack("!H", query[at + 1:at + 3])[0]
            question = query[12:at + 5]
            name = ".".join(labels).lower()
            self.asked.setdefault(name, []).append(time.monotonic())
            found = self.answers(name, qtype)
            if found is None:
                continue
            rcode, records = found
            header = query[:2] + struct.pack("!HHHHH", 0x8180 | rcode, 1, len(records), 0, 0)
            ttl = TTL if name == "moved.patmon.test" else 300
            body = b"".join(b"\xc0\x0c" + struct.pack("!HHIH", rtype, 1, ttl, len(data)) + data
                            for rtype, data in records)
            self.sock.sendto(header + question + body, client)

    def attempts(self, name):
        """The times of each lookup of `name`: queries less than 0.5 s apart are one."""
        times, starts = self.asked.get(name, []), []
        for t in times:
            if not starts or t - last > 0.5:
                starts.append(t)
            last = t
        return starts

    def stop(self):
        self.stopping.set()
        self.thread.join(5)
        self.sock.close()


def get_json(url):
    with OPENER.open(url, timeout=10) as response:
        return json.loads(response.read())


def get_text(url):
    with OPENER.open(url, timeout=10) as response:
        return response.read().decode()


def in_namespace(directory, command):
    """`command` in a mount namespace of its own, with this test's resolv.conf and hosts."""
    script = ('mount --bind "$1/resolv.conf" /etc/resolv.conf && mount --bind "$1/hosts" /etc/hosts && '
              'shift && exec "$@"')
    return ["unshare", "-m", "--propagation", "private", "sh", "-c", script, "sh", directory] + command


def main():
    if os.geteuid() != 0 or shutil.which("unshare") is None:
        print("skipped: needs root and unshare")
        return SKIPPED
    workdir = tempfile.TemporaryDirectory(prefix="patmon-hostile-dns-")
    directory = workdir.name
    with open(os.path.join(directory, "resolv.conf"), "w") as f:
        f.write("nameserver 127.0.0.1\n")
    with open(os.path.join(directory, "hosts"), "w") as f:
        f.write("127.0.0.1 localhost\n::1 localhost\n")
    if subprocess.run(in_namespace(directory, ["true"]), capture_output=True).returncode != 0:
        print("skipped: cannot make a mount namespace here")
        return SKIPPED
    try:
        names = NameServer()
    except OSError as error:
        print(f"skipped: cannot serve names on 127.0.0.1:53 ({error})")
        return SKIPPED
    printers = [Simulator(PATMON, "ready") for _ in range(3)]
    serve = None
    try:
        a, b, c = printers
        fleet = [
            {"name": "by-address-1", "target": f"tcp://127.0.0.1:{a.pjl}", "snmp": f"127.0.0.1:{a.snmp}"},
            {"name": "by-address-2", "target": f"tcp://127.0.0.1:{b.pjl}", "snmp": f"127.0.0.1:{b.snmp}"},
            {"name": "by-name", "target": f"tcp://ok.patmon.test:{c.pjl}", "snmp": f"ok.patmon.test:{c.snmp}"},
            {"name": "slow-name", "target": f"tcp://slow.patmon.test:{a.pjl}"},
            {"name": "slow-name-2", "target": f"tcp://slow2.patmon.test:{b.pjl}"},
            {"name": "missing-name", "target": f"tcp://gone.patmon.test:{a.pjl}"},
            {"name": "moved", "target": f"tcp://moved.patmon.test:{b.pjl}", "snmp": f"127.0.0.1:{b.snmp}"},
        ]
        for printer in fleet:
            printer.update(interval=0.5, timeout=2)
        healthy = ("by-address-1", "by-address-2", "by-name")
        config = os.path.join(directory, "fleet.json")
        with open(config, "w") as f:
            json.dump({"printers": fleet}, f)
        log = open(os.path.join(directory, "serve.log"), "w+")
        serve = subprocess.Popen(in_namespace(directory, [PATMON, "serve", "--config", config, "--listen",
                                                          "127.0.0.1:0"]),
                                 stdout=subprocess.PIPE, stderr=log, text=True)
        line = serve.stdout.readline()
        check("http://" in line, "patmon serve started in its own namespace")
        base = line.strip().split(" ")[-1].rstrip("/")
        started = time.monotonic()

        def views():
            return {p["name"]: p for p in get_json(base + "/api/cards")}

        # Healthy printers: polled on time from the start, while the slow
        # name's lookups go unanswered.
        late, silent = [], []
        moved_down = False
        while time.monotonic() - started < 8:
            now = time.time()
            seen = views()
            for name in healthy:
                view = seen[name]
                if time.monotonic() - started > 2 and now - view["lastPoll"] > 1.5:
                    late.append(f"{name}: last polled {now - view['lastPoll']:.1f} s ago")
                if view["polled"] and not view["responded"]:
                    silent.append(f"{name}: {view['lastError']}")
            moved_down = moved_down or (seen["moved"]["polled"] and not seen["moved"]["responded"])
            time.sleep(0.2)
        check(not late, "the healthy printers were polled on time" + (f" (first: {late[0]})" if late else ""))
        check(not silent, "the healthy printers answered" + (f" (first: {silent[0]})" if silent else ""))
        metrics = get_text(base + "/metrics")
        lag = re.search(r"^patmon_poll_lag_max_seconds(?:\{[^}]*\})? ([0-9.e+-]+)$", metrics, re.M)
        check(lag is not None and float(lag.group(1)) < 0.5,
              f"no poll started late (latest {lag.group(1) if lag else '?'} s)")
        seen = views()
        check(not seen["slow-name"]["responded"] and "slow.patmon.test" in seen["slow-name"]["lastError"],
              f"the printer behind the silent name server is shown as such ({seen['slow-name']['lastError']})")
        check(not seen["missing-name"]["responded"] and "gone.patmon.test" in seen["missing-name"]["lastError"],
              f"the missing name is reported ({seen['missing-name']['lastError']})")
        check(moved_down, "the moved printer is down at its old address")

        # The name moves to where its printer listens.
        names.moved = True
        moved_at = time.monotonic()
        found = wait_for(lambda: views()["moved"]["responded"], 20, 0.2)
        check(found, "the moved printer is found at its new address "
              f"({time.monotonic() - moved_at:.1f} s after the name moved)")

        missing = names.attempts("gone.patmon.test")
        gaps = [round(b - a, 1) for a, b in zip(missing, missing[1:])]
        check(len(missing) >= 2, f"the missing name was looked up again ({len(missing)} lookups)")
        check(all(gap >= 4 for gap in gaps), f"with a back-off of seconds, not at every poll (gaps {gaps})")
        check(all(later >= earlier * 1.5 for earlier, later in zip(gaps, gaps[1:])),
              f"growing after each failure (gaps {gaps})")
        slow = names.attempts("slow.patmon.test")
        check(1 <= len(slow) <= 6, f"the silent name was not asked at every poll ({len(slow)} lookups)")
        check(len(names.attempts("ok.patmon.test")) <= 2, "a name that resolved is not asked again within its TTL "
              f"({len(names.attempts('ok.patmon.test'))} lookups)")

        serve.terminate()
        check(serve.wait(20) == 0, "patmon serve stopped cleanly")
        log.seek(0)
        text = log.read()
        check("Sanitizer" not in text and "runtime error" not in text, "no sanitizer report")
    finally:
        if serve and serve.poll() is None:
            serve.kill()
            serve.wait()
        for printer in printers:
            printer.stop()
        names.stop()
        workdir.cleanup()
    return summary()


if __name__ == "__main__":
    sys.exit(main())
