#!/usr/bin/env python3
"""`patmon simulate` under a fleet's load: thousands of short connections
leave no thread behind, a burst of idle connections cannot grow it past its
bound, and its SNMP agent listens only where it was told (no SMUX port).

usage: simulator_test.py PATMON
"""
import os
import socket
import subprocess
import sys
import time

from hostile_support import Simulator, check, summary

PATMON = os.path.abspath(sys.argv[1])
QUERY = b"\x1b%-12345X@PJL\r\n@PJL INFO STATUS\r\n\x1b%-12345X"


def mappings(pid):
    # An ended thread that nobody joined keeps its stack mapped.
    with open(f"/proc/{pid}/maps") as f:
        return sum(1 for _ in f)


def threads(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("Threads:"):
                return int(line.split()[1])
    return -1


def listening_ports(pid):
    inodes = set()
    for fd in os.listdir(f"/proc/{pid}/fd"):
        try:
            target = os.readlink(f"/proc/{pid}/fd/{fd}")
        except OSError:
            continue
        if target.startswith("socket:["):
            inodes.add(target[8:-1])
    ports = set()
    for table in ("/proc/net/tcp", "/proc/net/tcp6"):
        with open(table) as f:
            for line in f.readlines()[1:]:
                fields = line.split()
                if fields[3] == "0A" and fields[9] in inodes:  # LISTEN
                    ports.add(int(fields[1].split(":")[1], 16))
    return ports


def main():
    simulator = Simulator(PATMON)
    pid = simulator.process.pid
    try:
        before, mapped = threads(pid), mappings(pid)
        started = time.time()
        for _ in range(2000):
            with socket.create_connection(("127.0.0.1", simulator.pjl), timeout=5) as c:
                c.sendall(QUERY)
                c.recv(4096)
        time.sleep(0.5)
        check(mappings(pid) <= mapped + 20,
              f"2,000 polls in {time.time() - started:.1f} s leave no threads behind "
              f"({mapped} -> {mappings(pid)} mappings)")
        idle = [socket.create_connection(("127.0.0.1", simulator.pjl), timeout=5) for _ in range(300)]
        time.sleep(1)
        check(threads(pid) <= before + 70, f"300 idle connections hold at most its bound of threads ({threads(pid)})")
        for c in idle:
            c.close()
        time.sleep(0.5)
        with socket.create_connection(("127.0.0.1", simulator.pjl), timeout=5) as c:
            c.sendall(QUERY)
            c.settimeout(5)
            check(b"@PJL INFO STATUS" in c.recv(4096), "it still answers after the idle ones left")
        ports = listening_ports(pid)
        check(ports == {simulator.pjl}, f"it listens on its PJL port alone (TCP ports {sorted(ports)})")
        check(simulator.process.poll() is None, "the simulator is still running")
    finally:
        simulator.stop()
    return summary()


if __name__ == "__main__":
    sys.exit(main())
