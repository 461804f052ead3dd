#!/usr/bin/env python3
"""Load benchmark of patmon serve, in one run:

1. in-process: N virtual printers (`--simulate`, the built-in scenarios in
   turn) polled every INTERVAL seconds;
2. networked: M printers over loopback, PJL over TCP and the device ID over
   SNMP, served by bench/fleet_printers (one process for every printer's
   PJL port, one for every printer's SNMP agent, each printer at its own
   address 127.77.B.H; the simulator's replies, made once per scenario and
   query). All traffic stays on 127.0.0.0/8.

Each phase lets every printer be polled once, then measures over SECONDS
while /metrics is scraped every 15 s as Prometheus would: the service's CPU
(the scheduler's run time of its threads, split into user and system by
their clock ticks), CPU per poll, resident memory (and per 1,000
printers), and how late polls started (the service's own
patmon_poll_lag_seconds histogram: percentiles as the bucket they fall in,
and the latest start). Then, unless --profile 0, it profiles the service
for a while: where its CPU goes (perf record, user and kernel symbols) and
its system calls per poll (strace -c; this slows the service, so it comes
after the measurement). Without perf, callgrind on a short in-process run
takes its place.

    python3 bench/serve_load.py build/native-release/bin/patmon
    python3 bench/serve_load.py build/native-release/bin/patmon --printers 1000 --networked 10000 --seconds 60
    python3 bench/serve_load.py build/native-release/bin/patmon --networked 0   # in-process only

Every process it starts stops by itself: the service when the run ends,
fleet_printers at its own time limit or when this script goes.
"""
import argparse
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import urllib.request

OPENER = urllib.request.build_opener(urllib.request.ProxyHandler({}))
TICK = os.sysconf("SC_CLK_TCK")
PJL_PORT, SNMP_PORT = 9100, 1161


def cpu_seconds(pid):
    """(run, user, system) CPU seconds of the process so far. `run` is the
    scheduler's own count in nanoseconds, summed over the threads; user and
    system are clock ticks, which a service that wakes on timers for short
    spells is charged unevenly (its wake-ups fall on ticks), so they only
    split `run`."""
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    run = 0
    for task in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{task}/schedstat") as f:
                run += int(f.read().split()[0])
        except FileNotFoundError:  # a thread that ended meanwhile
            pass
    return run / 1e9, int(fields[11]) / TICK, int(fields[12]) / TICK


def memory_kb(pid):
    with open(f"/proc/{pid}/status") as f:
        status = dict(line.split(":", 1) for line in f if ":" in line)
    kb = lambda key: int(status[key].split()[0])
    return kb("VmRSS"), kb("VmHWM"), int(status["Threads"])


def address(index):
    return f"127.77.{1 + index // 250}.{1 + index % 250}"


def metrics(base):
    with OPENER.open(base + "/metrics", timeout=10) as response:
        text = response.read().decode()
    polls = float(re.search(r"^patmon_polls_total (\S+)$", text, re.M).group(1))
    errors = float(re.search(r"^patmon_poll_errors_total (\S+)$", text, re.M).group(1))
    buckets = {le: float(v) for le, v in re.findall(r'^patmon_poll_lag_seconds_bucket\{le="([^"]+)"\} (\S+)$', text, re.M)}
    lag_max = float(re.search(r"^patmon_poll_lag_max_seconds (\S+)$", text, re.M).group(1))
    return polls, errors, buckets, lag_max


def percentile(buckets0, buckets1, share):
    """The bucket bound under which `share` of the window's polls started."""
    total = buckets1["+Inf"] - buckets0.get("+Inf", 0)
    for le in buckets1:
        if total and (buckets1[le] - buckets0.get(le, 0)) / total >= share:
            return "+Inf" if le == "+Inf" else f"{float(le) * 1000:g} ms"
    return "-"


def start_service(command):
    service = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    base = service.stdout.readline().strip().split(" ")[-1].rstrip("/")
    return service, base


def tidy(row):
    """A perf report row's words, without its empty trailing columns."""
    words = row.split()
    while words and words[-1] == "-":
        words.pop()
    return words


def profile(pid, base, seconds, label, top):
    """perf's flat profile of the service and its system calls per poll."""
    report = {}
    if shutil.which("perf"):
        with tempfile.TemporaryDirectory(prefix="patmon-perf-") as d:
            data = os.path.join(d, "perf.data")
            subprocess.run(["perf", "record", "-q", "-F", "999", "-p", str(pid), "-o", data, "--", "sleep", str(seconds)],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            out = subprocess.run(["perf", "report", "-i", data, "--stdio", "--no-children", "--sort", "dso,symbol",
                                  "--percent-limit", "0.7"], capture_output=True, text=True).stdout
            rows = [" ".join(tidy(line)) for line in out.splitlines() if line.strip() and not line.startswith("#")]
            out_all = subprocess.run(["perf", "report", "-i", data, "--stdio", "--no-children", "--sort", "dso"],
                                     capture_output=True, text=True).stdout
            dsos = [" ".join(tidy(line)) for line in out_all.splitlines() if line.strip() and not line.startswith("#")]
            report["perf"] = rows[:top]
            report["dso"] = dsos[:8]
    if shutil.which("strace"):
        polls0 = metrics(base)[0]
        run = subprocess.run(["timeout", "-s", "INT", str(max(3, seconds // 2)), "strace", "-c", "-f", "-p", str(pid)],
                             capture_output=True, text=True)
        polls = metrics(base)[0] - polls0
        calls = []
        for line in run.stderr.splitlines():
            cols = line.split()
            if len(cols) >= 5 and cols[0][0].isdigit() and cols[-1] not in ("total",):
                count = int(cols[3])
                calls.append((count, cols[-1]))
        calls.sort(reverse=True)
        total = sum(c for c, _ in calls)
        report["syscalls"] = (total / max(polls, 1),
                              [(name, count / max(polls, 1)) for count, name in calls if count / max(polls, 1) >= 0.05])
    return report


def callgrind(patmon, printers, seconds):
    """Without perf: instructions of a short in-process run under callgrind."""
    with tempfile.TemporaryDirectory(prefix="patmon-callgrind-") as d:
        out = os.path.join(d, "callgrind.out")
        service = subprocess.Popen(["valgrind", "--tool=callgrind", f"--callgrind-out-file={out}", patmon, "serve",
                                    "--simulate", str(printers), "--interval", "1", "--listen", "127.0.0.1:0"],
                                   stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        service.stdout.readline()
        time.sleep(seconds)
        service.send_signal(2)
        service.wait()
        text = subprocess.run(["callgrind_annotate", out], capture_output=True, text=True).stdout
        return text.splitlines()[:40]


def measure(label, command, args, printers, extra=None):
    service, base = start_service(command)
    try:
        time.sleep(args.interval + 2)  # every printer polled once: the start is spread over one interval
        polls0, errors0, buckets0, _ = metrics(base)
        cpu0, t0 = cpu_seconds(service.pid), time.monotonic()
        while time.monotonic() - t0 < args.seconds:
            time.sleep(min(15, args.seconds - (time.monotonic() - t0)))
            metrics(base)  # a scrape, as Prometheus makes one
        polls1, errors1, buckets1, lag_max = metrics(base)
        cpu1, t1 = cpu_seconds(service.pid), time.monotonic()
        rss, peak, threads = memory_kb(service.pid)
        prof = profile(service.pid, base, args.profile, label, args.top) if args.profile else {}
    finally:
        service.terminate()
        service.wait()
        for process in extra or []:
            process.stdin.close()
            process.wait()

    span = t1 - t0
    polls = polls1 - polls0
    cpu, ticks_user, ticks_system = (b - a for a, b in zip(cpu0, cpu1))
    user = cpu * ticks_user / max(ticks_user + ticks_system, 1e-9)
    system = cpu - user
    per = lambda s: 1e6 * s / max(polls, 1)
    print(f"== {label}: {printers} printers every {args.interval:g} s, {args.workers} workers, "
          f"measured over {span:.0f} s")
    print(f"polls: {polls:.0f} ({polls / span:.1f}/s, {errors1 - errors0:.0f} not answered)")
    print(f"CPU: {cpu:.2f} s = {100 * cpu / span:.2f} % of one core; {per(cpu):.1f} us per poll "
          f"({per(user):.1f} user, {per(system):.1f} system)")
    print(f"memory: RSS {rss / 1024:.1f} MB (peak {peak / 1024:.1f} MB) = {rss / 1024 * 1000 / printers:.1f} MB "
          f"per 1,000 printers; {threads} threads")
    started = buckets1["+Inf"] - buckets0.get("+Inf", 0)
    within = {le: (buckets1[le] - buckets0.get(le, 0)) / max(started, 1) for le in buckets1}
    print("poll lag (start after its due time): p50 <= " + percentile(buckets0, buckets1, 0.5) + ", p99 <= " +
          percentile(buckets0, buckets1, 0.99) + ", p99.9 <= " + percentile(buckets0, buckets1, 0.999) +
          f"; latest start since the service began {lag_max * 1000:.1f} ms")
    print("  share started within: " + ", ".join(f"{float(le) * 1000:g} ms {100 * v:.2f} %"
                                                 for le, v in within.items() if le != "+Inf" and float(le) <= 0.1))
    if prof.get("dso"):
        print(f"profile ({args.profile} s of perf at 999 Hz), by object:")
        for row in prof["dso"]:
            print("  " + row.strip())
        print("by symbol ([k] kernel, [.] user):")
        for row in prof["perf"]:
            print("  " + row.strip())
    if prof.get("syscalls"):
        total, calls = prof["syscalls"]
        print(f"system calls per poll (strace -c): {total:.1f}: " +
              ", ".join(f"{name} {n:.2f}" for name, n in calls))
    print()
    sys.stdout.flush()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("patmon")
    parser.add_argument("--printers", type=int, default=1000, help="in-process printers (0: skip)")
    parser.add_argument("--networked", type=int, default=10000, help="networked printers (0: skip)")
    parser.add_argument("--interval", type=float, default=10)
    parser.add_argument("--seconds", type=float, default=60)
    parser.add_argument("--workers", type=int, default=2)
    parser.add_argument("--profile", type=int, default=15, help="seconds of profile after each phase (0: none)")
    parser.add_argument("--top", type=int, default=30, help="symbols of the profile shown")
    parser.add_argument("--fleet-printers", help="the fleet_printers program (default: beside patmon)")
    args = parser.parse_args()
    common = ["--workers", str(args.workers), "--listen", "127.0.0.1:0"]

    if args.printers:
        measure("in-process", [args.patmon, "serve", "--simulate", str(args.printers), "--interval",
                               str(args.interval)] + common, args, args.printers)
        if args.profile and not shutil.which("perf"):
            print("callgrind of a short in-process run (no perf here):")
            print("\n".join(callgrind(args.patmon, 100, 20)))

    if args.networked:
        responder = args.fleet_printers or os.path.join(os.path.dirname(args.patmon), "fleet_printers")
        limit = str(int(2 * args.interval + args.seconds + 2 * args.profile + 120))
        printers = []
        for role, port in (("pjl", PJL_PORT), ("snmp", SNMP_PORT)):
            process = subprocess.Popen([responder, role, str(args.networked), str(port), limit],
                                       stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
            printers.append(process)
            if process.stdout.readline().strip() != "ready":
                sys.exit(f"fleet_printers {role} did not start")
        with tempfile.TemporaryDirectory(prefix="patmon-bench-") as directory:
            config = [{"name": f"net-{i:05d}", "target": f"tcp://{address(i)}:{PJL_PORT}",
                       "snmp": f"{address(i)}:{SNMP_PORT}", "interval": args.interval, "timeout": 2}
                      for i in range(args.networked)]
            path = os.path.join(directory, "fleet.json")
            with open(path, "w") as f:
                json.dump({"printers": config}, f)
            measure("networked", [args.patmon, "serve", "--config", path] + common, args, args.networked, printers)


if __name__ == "__main__":
    main()
