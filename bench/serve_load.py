#!/usr/bin/env python3
"""Load benchmark of patmon serve: N in-process virtual printers (the
built-in scenarios in turn) polled every INTERVAL seconds, or with --tcp N
`patmon simulate` printers over loopback TCP and SNMP, while /metrics is
scraped every 15 s as Prometheus would. Reports the service's CPU (from
/proc), CPU per poll, memory, and how late polls started (from the
service's own patmon_poll_lag_seconds histogram) over the measured window.

    python3 bench/serve_load.py build/native-release/bin/patmon [--printers 1000] [--interval 10] [--seconds 120]
    python3 bench/serve_load.py build/native-release/bin/patmon --tcp 250 --interval 2.5
"""
import argparse
import json
import os
import re
import socket
import subprocess
import tempfile
import time
import urllib.request

OPENER = urllib.request.build_opener(urllib.request.ProxyHandler({}))
TICK = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    """(user, system) CPU seconds of the process so far."""
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) / TICK, int(fields[12]) / TICK


def memory(pid):
    with open(f"/proc/{pid}/status") as f:
        status = dict(line.split(":", 1) for line in f if ":" in line)
    return status["VmRSS"].strip(), status["VmHWM"].strip(), int(status["Threads"])


def free_port(kind=socket.SOCK_STREAM):
    with socket.socket(socket.AF_INET, kind) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def start_printers(patmon, scenarios, count, processes):
    """`count` patmon simulate printers, the scenarios in turn; their ports."""
    ports = []
    for i in range(count):
        port, snmp = free_port(), free_port(socket.SOCK_DGRAM)
        process = subprocess.Popen([patmon, "simulate", "--scenario", scenarios[i % len(scenarios)], "--listen",
                                    f"127.0.0.1:{port}", "--snmp", f"127.0.0.1:{snmp}"],
                                   stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        processes.append(process)
        process.stdout.readline()  # serving
        ports.append((port, snmp))
    return ports


def metrics(base):
    with OPENER.open(base + "/metrics", timeout=10) as response:
        text = response.read().decode()
    polls = float(re.search(r"^patmon_polls_total (\S+)$", text, re.M).group(1))
    buckets = {le: float(v) for le, v in re.findall(r'^patmon_poll_lag_seconds_bucket\{le="([^"]+)"\} (\S+)$', text, re.M)}
    lag_max = float(re.search(r"^patmon_poll_lag_max_seconds (\S+)$", text, re.M).group(1))
    return polls, buckets, lag_max


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("patmon")
    parser.add_argument("--printers", type=int, default=1000)
    parser.add_argument("--interval", type=float, default=10)
    parser.add_argument("--seconds", type=float, default=120)
    parser.add_argument("--workers", type=int, default=2)
    parser.add_argument("--tcp", type=int, default=0, help="this many patmon simulate printers instead")
    args = parser.parse_args()

    printers = []
    directory = tempfile.TemporaryDirectory(prefix="patmon-bench-")
    if args.tcp:
        scenarios = [line.split()[0] for line in subprocess.run([args.patmon, "scenarios"], capture_output=True,
                                                                text=True, check=True).stdout.splitlines()]
        config = [{"name": f"tcp-{i:04d}", "target": f"tcp://127.0.0.1:{port}", "snmp": f"127.0.0.1:{snmp}",
                   "interval": args.interval, "timeout": 2}
                  for i, (port, snmp) in enumerate(start_printers(args.patmon, scenarios, args.tcp, printers))]
        path = os.path.join(directory.name, "fleet.json")
        with open(path, "w") as f:
            json.dump({"printers": config}, f)
        command = [args.patmon, "serve", "--config", path]
    else:
        command = [args.patmon, "serve", "--simulate", str(args.printers), "--interval", str(args.interval)]
    service = subprocess.Popen(command + ["--workers", str(args.workers), "--listen", "127.0.0.1:0"],
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    try:
        base = service.stdout.readline().strip().split(" ")[-1].rstrip("/")
        time.sleep(args.interval + 2)  # every printer polled once: the start is spread over one interval
        polls0, buckets0, _ = metrics(base)
        cpu0, t0 = cpu_seconds(service.pid), time.monotonic()
        while time.monotonic() - t0 < args.seconds:
            time.sleep(min(15, args.seconds - (time.monotonic() - t0)))
            metrics(base)  # a scrape, as Prometheus makes one
        polls1, buckets1, lag_max = metrics(base)
        cpu1, t1 = cpu_seconds(service.pid), time.monotonic()
        rss, peak, threads = memory(service.pid)
    finally:
        for process in [service] + printers:
            process.terminate()
        for process in [service] + printers:
            process.wait()

    polls = polls1 - polls0
    user, system = cpu1[0] - cpu0[0], cpu1[1] - cpu0[1]
    cpu = user + system
    kind = f"{args.tcp} tcp printers (patmon simulate)" if args.tcp else f"{args.printers} virtual printers"
    print(f"{kind}, every {args.interval:g} s, {args.workers} workers, "
          f"measured over {t1 - t0:.0f} s")
    print(f"polls: {polls:.0f} ({polls / (t1 - t0):.1f}/s)")
    print(f"CPU: {cpu:.2f} s = {100 * cpu / (t1 - t0):.2f} % of one core; {1e6 * cpu / max(polls, 1):.0f} us per poll "
          f"({1e6 * user / max(polls, 1):.0f} user, {1e6 * system / max(polls, 1):.0f} system)")
    print(f"memory: RSS {rss} (peak {peak}), {threads} threads")
    print("poll lag (start after its due time), share of polls at or under:")
    started = buckets1["+Inf"] - buckets0.get("+Inf", 0)
    for le in buckets1:
        share = (buckets1[le] - buckets0.get(le, 0)) / max(started, 1)
        print(f"  {le:>6} s: {100 * share:6.2f} %")
    print(f"latest start since the service began: {lag_max * 1000:.1f} ms")


if __name__ == "__main__":
    main()
