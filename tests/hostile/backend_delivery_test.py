#!/usr/bin/env python3
"""The print queue's backend never reports a job printed that the printer
did not confirm. A printer in front of `patmon simulate` answers every
status query honestly (relayed to the simulator) but treats the job's own
connection in a hostile way: it resets it unread, resets it after 1,000
bytes, or reads everything and then neither echoes nor closes. Each must
send the job back to the queue (exit 6) within a bounded time; the honest
printer, which echoes, must take it (exit 0).

usage: backend_delivery_test.py PATMON
"""
import os
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time

from hostile_support import EXIT_RETRY, Simulator, check, summary

PATMON = os.path.abspath(sys.argv[1])
CONTIMEOUT = 3


def reset(connection):
    # SO_LINGER with a zero timeout: close sends a reset, not a FIN.
    connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    connection.close()


def relay(a, b):
    try:
        while True:
            data = a.recv(65536)
            if not data:
                break
            b.sendall(data)
    except OSError:
        pass
    for s in (a, b):
        try:
            s.shutdown(socket.SHUT_WR)
        except OSError:
            pass


class HostilePrinter:
    """Relays status queries to the simulator; a job connection (its first
    line is @PJL JOB) gets `mode`."""

    def __init__(self, simulator_port, mode):
        self.simulator_port, self.mode, self.held = simulator_port, mode, []
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(16)
        self.port = self.listener.getsockname()[1]
        threading.Thread(target=self.serve, daemon=True).start()

    def serve(self):
        while True:
            try:
                connection, _ = self.listener.accept()
            except OSError:
                return
            threading.Thread(target=self.handle, args=(connection,), daemon=True).start()

    def handle(self, connection):
        first = b""
        while len(first) < 24:
            chunk = connection.recv(24 - len(first))
            if not chunk:
                break
            first += chunk
        if b"@PJL JOB" not in first or self.mode == "honest":
            upstream = socket.create_connection(("127.0.0.1", self.simulator_port))
            upstream.sendall(first)
            threading.Thread(target=relay, args=(upstream, connection), daemon=True).start()
            relay(connection, upstream)
            return
        if self.mode == "reset-unread":
            reset(connection)
        elif self.mode == "reset-after-1000":
            got = len(first)
            while got < 1000:
                got += len(connection.recv(1000 - got))
            reset(connection)
        elif self.mode == "never-confirms":
            self.held.append(connection)
            try:
                while connection.recv(65536):
                    pass
            except OSError:
                pass

    def close(self):
        self.listener.close()


def run_backend(printer_port, snmp_port, job_file):
    backend = os.path.join(os.path.dirname(job_file), "patprn")
    if not os.path.exists(backend):
        os.symlink(PATMON, backend)  # the program under the backend's name
    env = dict(os.environ, DEVICE_URI=f"patprn://127.0.0.1:{printer_port}/?snmp=127.0.0.1:{snmp_port}"
                                      f"&contimeout={CONTIMEOUT}")
    started = time.time()
    try:
        result = subprocess.run([backend, "7", "user", "title", "1", "", job_file], env=env,
                                capture_output=True, text=True, timeout=60)
    except subprocess.TimeoutExpired as e:
        result = subprocess.CompletedProcess(e.cmd, None, "", str(e.stderr or ""))
    return result, time.time() - started


def main():
    root = tempfile.mkdtemp(prefix="patprn-hostile-")
    job_file = os.path.join(root, "job.bin")
    with open(job_file, "wb") as f:
        f.write(os.urandom(67629))
    simulator = Simulator(PATMON, extra=["--job-file", os.path.join(root, "printed.bin")])
    try:
        for mode, expected, what in (
                ("reset-unread", EXIT_RETRY, "resets the job's connection unread"),
                ("reset-after-1000", EXIT_RETRY, "resets it after 1,000 bytes"),
                ("never-confirms", EXIT_RETRY, "takes the job but never confirms or closes"),
                ("honest", 0, "echoes after the job")):
            printer = HostilePrinter(simulator.pjl, mode)
            result, seconds = run_backend(printer.port, simulator.snmp, job_file)
            check(result.returncode == expected,
                  f"a printer that {what}: exit {result.returncode} in {seconds:.1f} s")
            # Confirmation is waited for at most contimeout (plus a poll).
            check(seconds < 4 * CONTIMEOUT + 15, f"{mode}: the backend ends in bounded time ({seconds:.1f} s)")
            if result.returncode != expected:
                print(result.stderr[-2000:])
            printer.close()
        printed = open(os.path.join(root, "printed.bin"), "rb").read() if os.path.exists(
            os.path.join(root, "printed.bin")) else b""
        check(open(job_file, "rb").read() in printed, "the honest printer got the job byte for byte")
    finally:
        simulator.stop()
    return summary()


if __name__ == "__main__":
    sys.exit(main())
