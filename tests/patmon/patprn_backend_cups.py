#!/usr/bin/env python3
"""The patprn backend behind a real print system: a private cupsd (own
configuration, loopback port and domain socket, started and stopped here, as
root) with a queue on patprn://127.0.0.1:PORT/ in front of `patmon simulate`.

A job printed with lp reaches the simulated printer byte for byte; while the
printer reports toner out, then an open cover, the queue's
printer-state-reasons hold toner-empty-error, then cover-open-error, and the
job waits; once the printer is ready both are cleared and the job completes.
A printer that never answers leaves its job queued for a retry. Without the
print system: a printer that stops taking data mid-job, or drops the
connection, sends the job back (exit status 6), never reports success.

usage: patprn_backend_cups.py PATMON
"""
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "hostile"))
from hostile_support import EXIT_RETRY, check, failures, free_port, wait_for  # noqa: E402

PATMON = os.path.abspath(sys.argv[1])


def write_scenario(path, base):
    # Replaced whole, so the simulator never reads half a file.
    with open(path + ".new", "w") as f:
        f.write('{"base": "%s"}\n' % base)
    os.replace(path + ".new", path)


class Cups:
    """A private cupsd: configuration, spool, state and logs under `root`."""

    def __init__(self, root):
        self.root = root
        self.port = free_port()
        self.socket = os.path.join(root, "cups.sock")
        conf = os.path.join(root, "conf")
        serverbin = os.path.join(root, "serverbin")
        for d in (conf, os.path.join(serverbin, "backend"), os.path.join(root, "log"),
                  os.path.join(root, "spool", "tmp"), os.path.join(root, "cache"), os.path.join(root, "state")):
            os.makedirs(d)
        # The helpers the scheduler runs programs with come from the system.
        for d in ("daemon", "filter", "notifier", "monitor"):
            os.symlink(os.path.join("/usr/lib/cups", d), os.path.join(serverbin, d))
        backend = os.path.join(serverbin, "backend", "patprn")
        shutil.copy(PATMON, backend)
        # The scheduler runs a backend of mode 0755 as the lp user, who must
        # then reach the library; where it cannot (a private build tree),
        # mode 0700 has it run as root.
        os.chmod(backend, 0o755)
        as_lp = subprocess.run(["setpriv", "--reuid=lp", "--regid=lp", "--clear-groups", backend],
                               env={"PATH": "/usr/bin:/bin"}, capture_output=True, text=True)
        if not (as_lp.returncode == 0 and as_lp.stdout.startswith("network patprn")):
            os.chmod(backend, 0o700)
        print("backend runs as " + ("lp" if as_lp.returncode == 0 else "root"), flush=True)
        with open(os.path.join(conf, "cupsd.conf"), "w") as f:
            f.write(f"""LogLevel debug
Listen 127.0.0.1:{self.port}
Listen {self.socket}
Browsing Off
WebInterface No
JobRetryInterval 600
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
    Allow all
  </Limit>
</Policy>
""")
        with open(os.path.join(conf, "cups-files.conf"), "w") as f:
            f.write(f"""ServerRoot {conf}
ServerBin {serverbin}
DataDir /usr/share/cups
RequestRoot {root}/spool
TempDir {root}/spool/tmp
CacheDir {root}/cache
StateDir {root}/state
AccessLog {root}/log/access_log
ErrorLog {root}/log/error_log
PageLog {root}/log/page_log
SystemGroup root
FileDevice No
Printcap {root}/printcap
""")
        self.env = dict(os.environ, CUPS_SERVER=self.socket)
        self.process = subprocess.Popen(
            ["cupsd", "-f", "-c", os.path.join(conf, "cupsd.conf"), "-s", os.path.join(conf, "cups-files.conf")],
            stdout=subprocess.DEVNULL, stderr=subprocess.STDOUT)
        if not wait_for(lambda: "is running" in self.run("lpstat", "-r").stdout, 20):
            raise RuntimeError("cupsd did not start:\n" + self.log())

    def run(self, *args, env=None):
        return subprocess.run(list(args), env=env or self.env, capture_output=True, text=True)

    def attributes(self, queue, *names):
        test = os.path.join(self.root, "attributes.test")
        with open(test, "w") as f:
            f.write("{\n OPERATION Get-Printer-Attributes\n GROUP operation-attributes-tag\n"
                    " ATTR charset attributes-charset utf-8\n ATTR naturalLanguage attributes-natural-language en\n"
                    " ATTR uri printer-uri $uri\n ATTR keyword requested-attributes " + ",".join(names) + "\n"
                    " STATUS successful-ok\n" + "".join(f" DISPLAY {n}\n" for n in names) + "}\n")
        out = self.run("ipptool", "-t", f"ipp://127.0.0.1:{self.port}/printers/{queue}", test).stdout
        values = {}
        for line in out.splitlines():
            name, _, value = line.strip().partition(" = ")
            if value:
                values[name.split(" ")[0]] = value
        return values

    def reasons(self, queue):
        return set(self.attributes(queue, "printer-state-reasons").get("printer-state-reasons", "").split(","))

    def job_states(self, queue):
        """Job id -> state word, from lpstat's lists of open and completed jobs."""
        states = {}
        for which in ("completed", "not-completed"):
            for line in self.run("lpstat", "-W", which, "-o", queue).stdout.splitlines():
                if line.strip():
                    states[line.split()[0]] = which
        return states

    def log(self):
        try:
            with open(os.path.join(self.root, "log", "error_log"), errors="replace") as f:
                return f.read()
        except OSError:
            return ""

    def stop(self):
        self.process.send_signal(signal.SIGTERM)
        try:
            self.process.wait(15)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


def submit(cups, queue, path, env=None):
    result = cups.run("lp", "-d", queue, path, env=env)
    check(result.returncode == 0, f"lp accepts {os.path.basename(path)} ({result.stdout.strip()}{result.stderr.strip()})")
    return result.stdout.split()[3] if result.returncode == 0 else None  # "request id is q-1 (1 file(s))"


def with_print_system(root):
    pjl, snmp = free_port(), free_port(socket.SOCK_DGRAM)
    scenario = os.path.join(root, "scenario.json")
    jobs = os.path.join(root, "received.bin")
    write_scenario(scenario, "ready")
    simulator = subprocess.Popen([PATMON, "simulate", "--scenario", scenario, "--listen", f"127.0.0.1:{pjl}",
                                  "--snmp", f"127.0.0.1:{snmp}", "--job-file", jobs],
                                 stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    simulator.stdout.readline()  # the announcement: both ports are open

    cups = Cups(root)
    try:
        uri = f"patprn://127.0.0.1:{pjl}/?snmp=127.0.0.1:{snmp}&contimeout=4"
        added = cups.run("lpadmin", "-p", "q", "-E", "-v", uri, "-m", "raw")
        check(added.returncode == 0, "lpadmin adds a queue on " + uri)
        if added.returncode != 0:
            raise RuntimeError(added.stderr)

        # Binary data with what looks like PJL inside it: all of it is print data.
        data = os.urandom(200000) + b"\n@PJL INFO CONFIG\r\n\x00\xff" + os.urandom(30000)
        job_file = os.path.join(root, "job.bin")
        with open(job_file, "wb") as f:
            f.write(b"\x02" + data)
        os.chmod(root, 0o755)
        os.chmod(job_file, 0o644)

        write_scenario(scenario, "toner-out")
        job = submit(cups, "q", job_file, env=dict(cups.env, LANG="ja_JP.UTF-8"))
        check(wait_for(lambda: "toner-empty-error" in cups.reasons("q"), 30),
              "toner out: printer-state-reasons hold toner-empty-error")
        attributes = cups.attributes("q", "marker-levels", "marker-names", "printer-state-message")
        # The printer's MIB gives every supply's level: four empty toners,
        # then the waste bottle (how full) and the drum.
        levels = attributes.get("marker-levels", "").split(",")
        check(levels[:4] == ["0", "0", "0", "0"] and len(levels) == 6,
              "toner out: the four toner markers at level 0, beside the MIB's other supplies " + str(attributes))
        # The job was sent in Japanese: the status text is in Japanese (full-width).
        check(any("\u30a0" <= c <= "\u30ff" for c in attributes.get("printer-state-message", "")),
              "toner out: printer-state-message in the job's language")
        check(cups.job_states("q").get(job) == "not-completed", "the job waits while the toner is out")

        write_scenario(scenario, "cover-open")
        check(wait_for(lambda: (lambda r: "cover-open-error" in r and "toner-empty-error" not in r)(cups.reasons("q")),
                       30), "cover open: cover-open-error replaces toner-empty-error")

        write_scenario(scenario, "ready")
        check(wait_for(lambda: cups.job_states("q").get(job) == "completed", 40), "ready: the job completes")
        reasons = cups.reasons("q")
        check(not reasons & {"toner-empty-error", "cover-open-error"}, f"ready: the reasons are cleared ({reasons})")
        with open(jobs, "rb") as f:
            received = f.read()
        check(received == b"\x02" + data, f"the printer received the job byte for byte ({len(received)} bytes)")

        # A printer that never answers: the job stays queued.
        write_scenario(scenario, "no-response")
        started = time.time()
        job = submit(cups, "q", job_file)
        check(wait_for(lambda: f"[Job {job.split('-')[-1]}] Backend returned status 6" in cups.log(), 40),
              "no response: the backend gives the job back (exit status 6, retry)")
        time.sleep(2)
        states = cups.job_states("q")
        check(states.get(job) == "not-completed",
              f"no response: the job is still queued after {time.time() - started:.0f} s ({states})")
        with open(jobs, "rb") as f:
            check(f.read() == b"\x02" + data, "no response: nothing more reached the printer")
    finally:
        cups.stop()
        simulator.send_signal(signal.SIGINT)
        try:
            simulator.wait(10)
        except subprocess.TimeoutExpired:
            simulator.kill()
    if failures:
        print("---- cupsd error_log (tail)\n" + "\n".join(cups.log().splitlines()[-80:]))


class StallingPrinter:
    """A printer that takes `take` bytes of each connection, then reads no
    more and answers nothing (or, with `drop`, closes the connection)."""

    def __init__(self, take, drop):
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(8)
        self.port = self.listener.getsockname()[1]
        self.take, self.drop, self.held = take, drop, []
        threading.Thread(target=self.serve, daemon=True).start()

    def serve(self):
        while True:
            try:
                connection, _ = self.listener.accept()
            except OSError:
                return
            connection.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 65536)
            got = 0
            while got < self.take:
                chunk = connection.recv(65536)
                if not chunk:
                    break
                got += len(chunk)
            if self.drop:
                connection.close()
            else:
                self.held.append(connection)


def without_print_system(root):
    job_file = os.path.join(root, "big.bin")
    with open(job_file, "wb") as f:
        f.write(b"\x00" * (64 << 20))
    silent_snmp = free_port(socket.SOCK_DGRAM)
    backend = os.path.join(root, "patprn")  # the program under the backend's name
    os.symlink(PATMON, backend)
    for drop, what in ((False, "stops taking data"), (True, "drops the connection")):
        printer = StallingPrinter(1 << 20, drop)
        env = dict(os.environ, DEVICE_URI=f"patprn://127.0.0.1:{printer.port}/?snmp=127.0.0.1:{silent_snmp}&contimeout=3")
        started = time.time()
        result = subprocess.run([backend, "1", "user", "title", "1", "", job_file], env=env,
                                capture_output=True, text=True, timeout=120)
        check(result.returncode == EXIT_RETRY,
              f"a printer that {what} mid-job: exit {result.returncode} after {time.time() - started:.0f} s")
        printer.listener.close()


def main():
    if os.geteuid() != 0:
        print("the private print system needs root; skipped")
        return 77
    if shutil.which("cupsd") is None or shutil.which("ipptool") is None:
        print("cupsd or ipptool missing (Debian cups, cups-ipp-utils); skipped")
        return 77
    root = tempfile.mkdtemp(prefix="patprn-cups-")
    os.chmod(root, 0o755)
    try:
        with_print_system(root)
        without_print_system(root)
    finally:
        shutil.rmtree(root, ignore_errors=True)
    print(f"{len(failures)} failed" if failures else "all passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
