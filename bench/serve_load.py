#!/usr/bin/env python3
"""Load benchmark of patmon serve: N in-process virtual printers (the
built-in scenarios in turn) polled every INTERVAL seconds, while /metrics is
scraped every 15 s as Prometheus would. Reports the service's CPU (from
/proc), CPU per poll, memory, and how late polls started (from the
service's own patmon_poll_lag_seconds histogram) over the measured window.

    python3 bench/serve_load.py build/native-release/bin/patmon [--printers 1000] [--interval 10] [--seconds 120]
"""
import argparse
import os
import re
import subprocess
import time
import urllib.request

OPENER = urllib.request.build_opener(urllib.request.ProxyHandler({}))
TICK = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICK  # utime + stime


def memory(pid):
    with open(f"/proc/{pid}/status") as f:
        status = dict(line.split(":", 1) for line in f if ":" in line)
    return status["VmRSS"].strip(), status["VmHWM"].strip(), int(status["Threads"])


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
    args = parser.parse_args()

    service = subprocess.Popen([args.patmon, "serve", "--simulate", str(args.printers), "--interval",
                                str(args.interval), "--workers", str(args.workers), "--listen", "127.0.0.1:0"],
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
        service.terminate()
        service.wait()

    polls = polls1 - polls0
    cpu = cpu1 - cpu0
    print(f"{args.printers} virtual printers, every {args.interval:g} s, {args.workers} workers, "
          f"measured over {t1 - t0:.0f} s")
    print(f"polls: {polls:.0f} ({polls / (t1 - t0):.1f}/s)")
    print(f"CPU: {cpu:.2f} s = {100 * cpu / (t1 - t0):.2f} % of one core; {1e6 * cpu / max(polls, 1):.0f} us per poll")
    print(f"memory: RSS {rss} (peak {peak}), {threads} threads")
    print("poll lag (start after its due time), share of polls at or under:")
    for le in buckets1:
        share = (buckets1[le] - buckets0.get(le, 0)) / max(polls, 1)
        print(f"  {le:>6} s: {100 * share:6.2f} %")
    print(f"latest start since the service began: {lag_max * 1000:.1f} ms")


if __name__ == "__main__":
    main()
