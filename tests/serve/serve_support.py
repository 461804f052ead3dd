"""Starting and stopping the real programs the patmon serve tests need:
patmon simulate printers, patmon serve, Prometheus; all on loopback with
free ports, all stopped by the test that started them."""
import json
import os
import socket
import subprocess
import tempfile
import time
import urllib.error
import urllib.request

# Loopback only: no proxy from the environment.
_OPENER = urllib.request.build_opener(urllib.request.ProxyHandler({}))


def free_port(kind=socket.SOCK_STREAM):
    with socket.socket(socket.AF_INET, kind) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def http_get(url, timeout=10):
    """(status, body bytes) of a GET; error statuses are returned, not raised."""
    try:
        with _OPENER.open(url, timeout=timeout) as response:
            return response.status, response.read()
    except urllib.error.HTTPError as error:
        return error.code, error.read()


def get_json(url):
    status, body = http_get(url)
    assert status == 200, f"{url}: {status} {body[:200]!r}"
    return json.loads(body)


def wait_for(what, predicate, timeout):
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out waiting for {what}")
        time.sleep(0.2)


class Processes:
    """Every process a test starts, stopped (TERM, then KILL) at the end."""

    def __init__(self):
        self.started = []
        self.checked = []  # (process, stderr file): must stop cleanly

    def check_clean_exit(self):
        """Every checked process ended with status 0 and no sanitizer report."""
        for process, log in self.checked:
            with open(log) as f:
                text = f.read()
            assert process.returncode == 0, f"exit {process.returncode}: {text[-2000:]}"
            assert "Sanitizer" not in text and "runtime error" not in text, text[-4000:]

    def start(self, args, **kwargs):
        process = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=kwargs.pop("stderr", subprocess.DEVNULL),
                                   text=True, **kwargs)
        self.started.append(process)
        return process

    def stop_all(self):
        for process in self.started:
            if process.poll() is None:
                process.terminate()
        for process in self.started:
            try:
                process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
        self.started.clear()


def start_simulate(processes, patmon, scenario):
    """A `patmon simulate` printer; returns its (PJL port, SNMP port) once it serves."""
    for _ in range(5):
        port, snmp = free_port(), free_port(socket.SOCK_DGRAM)
        process = processes.start([patmon, "simulate", "--scenario", scenario, "--listen", f"127.0.0.1:{port}",
                                   "--snmp", f"127.0.0.1:{snmp}"])
        line = process.stdout.readline()
        if "PJL on" in line:
            return port, snmp
        process.wait()  # a port was taken meanwhile: try others
    raise AssertionError(f"patmon simulate {scenario} did not start")


def start_serve(processes, patmon, config):
    """`patmon serve --config` on a free port; returns its base URL. Its log
    goes to a file beside the config, checked when the test stops it."""
    return start_serve_with(processes, patmon, ["--config", config], config + ".log")[0]


def start_serve_with(processes, patmon, args, log):
    """`patmon serve ARGS` on a free loopback port, its stderr in `log`
    (checked when the test stops it); returns (base URL, process)."""
    with open(log, "w") as stderr:
        process = processes.start([patmon, "serve", *args, "--listen", "127.0.0.1:0"], stderr=stderr)
    processes.checked.append((process, log))
    line = process.stdout.readline()
    assert "http://" in line, f"patmon serve did not start: {line!r}"
    return line.strip().split(" ")[-1].rstrip("/"), process


def expected_status(patmon, scenario, language="EN"):
    """The label and message `patmon poll` gives for a built-in scenario."""
    result = subprocess.run([patmon, "poll", "virtual:" + scenario, "--json", "--lang", language],
                            capture_output=True, text=True, timeout=60)
    status = json.loads(result.stdout)["status"]
    return status["label"], status["message"]


def write_config(directory, printers, **top):
    path = os.path.join(directory, "fleet.json")
    with open(path, "w") as f:
        json.dump(dict(top, printers=printers), f)
    return path


def temp_dir():
    return tempfile.TemporaryDirectory(prefix="patmon-serve-")
