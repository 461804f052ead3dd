"""Shared parts of the hostile tests: free loopback ports, patmon simulate
as the honest printer, and a bounded wait. Every socket here is on
127.0.0.1."""
import os
import socket
import subprocess
import time

EXIT_RETRY = 6
failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        failures.append(what)


def free_port(kind=socket.SOCK_STREAM):
    with socket.socket(socket.AF_INET, kind) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for(condition, seconds, step=0.1):
    until = time.time() + seconds
    while time.time() < until:
        value = condition()
        if value:
            return value
        time.sleep(step)
    return condition()


class Simulator:
    """`patmon simulate` on loopback: a PJL port and an SNMP agent."""

    def __init__(self, patmon, scenario="ready", extra=()):
        self.pjl = free_port()
        self.snmp = free_port(socket.SOCK_DGRAM)
        self.process = subprocess.Popen(
            [patmon, "simulate", "--scenario", scenario, "--listen", f"127.0.0.1:{self.pjl}",
             "--snmp", f"127.0.0.1:{self.snmp}", *extra],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        if not wait_for(self.listening, 20):
            raise RuntimeError("patmon simulate did not start")

    def listening(self):
        try:
            socket.create_connection(("127.0.0.1", self.pjl), timeout=0.5).close()
            return True
        except OSError:
            return False

    def stop(self):
        self.process.terminate()
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


def summary():
    print(f"{len(failures)} failed" if failures else "all passed", flush=True)
    return 1 if failures else 0
