"""Hostile HTTP clients against patmon serve (`--simulate`), all on
127.0.0.1 with real sockets, every loop bounded: a Range header of
thousands of ranges, thousands of idle connections, slowloris clients,
malformed requests and open status pages held while /metrics must answer
within a second, methods and request bodies it does not take, oversized
requests, a second service on the same port and out-of-range options."""
import os
import resource
import socket
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "serve"))
from hostile_support import check, summary, wait_for  # noqa: E402
from serve_support import Processes, start_serve_with  # noqa: E402

PATMON = sys.argv[1]
PRINTERS = 100
HOST = "127.0.0.1"
port = 0
pid = 0


def connect(timeout=5):
    return socket.create_connection((HOST, port), timeout=timeout)


def read_response(s, limit=16 << 20):
    """(status, headers with lower-case names, body) of one response on `s`;
    the body is None when it announces more than `limit` bytes."""
    data = b""
    while b"\r\n\r\n" not in data:
        chunk = s.recv(65536)
        if not chunk:
            raise EOFError(f"closed after {data[:200]!r}")
        data += chunk
        if len(data) > 65536:
            raise ValueError("header too long")
    head, _, body = data.partition(b"\r\n\r\n")
    lines = head.decode("latin-1").split("\r\n")
    headers = {}
    for line in lines[1:]:
        name, _, value = line.partition(":")
        headers[name.strip().lower()] = value.strip()
    length = int(headers.get("content-length", "0"))
    if length > limit:
        return int(lines[0].split()[1]), headers, None
    while len(body) < length:
        chunk = s.recv(min(1 << 20, length - len(body)))
        if not chunk:
            break
        body += chunk
    return int(lines[0].split()[1]), headers, body


def exchange(raw, timeout=5):
    """Sends `raw` on a new connection: (status, headers, body, seconds,
    whether the service closed the connection after the response)."""
    with connect(timeout) as s:
        start = time.monotonic()
        s.sendall(raw)
        status, headers, body = read_response(s)
        seconds = time.monotonic() - start
        s.settimeout(2)
        try:
            closed = s.recv(1) == b""
        except OSError:
            closed = False
        return status, headers, body, seconds, closed


def get(path, extra=b""):
    return exchange(b"GET " + path.encode() + b" HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" +
                    extra + b"\r\n")


def rss_kb():
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def check_range():
    """8 KB of `bytes=0-,0-,...`: one plain answer, not a body per range."""
    status, _, plain, _, _ = get("/api/printers")
    before = rss_kb()
    ranges = b"Range: bytes=" + b"0-," * 2700 + b"0-\r\n"
    try:
        status, headers, body, seconds, _ = get("/api/printers", ranges)
    except (OSError, EOFError, ValueError) as error:
        status, headers, body, seconds = None, {}, None, 0
        print(f"     range request: {error}")
    grown = (rss_kb() - before) // 1024
    check(status in (200, 416) and body is not None and len(body) < 4 * len(plain) + 65536
          and "multipart" not in headers.get("content-type", ""),
          f"{len(ranges)} bytes of Range on /api/printers: status {status}, "
          f"{headers.get('content-length')} bytes (plain {len(plain)}) in {seconds:.2f} s")
    check(grown < 64, f"memory after the Range request grew by {grown} MB (under 64 MB)")


class Held:
    """Connections held open while /metrics is timed: idle ones, slowloris
    ones sending a header byte a second, malformed requests left open, and
    status pages fetching /api/cards every 2 s on one keep-alive connection."""

    def __init__(self, idle, slow, pages, malformed):
        self.stop = threading.Event()
        self.sockets = []
        self.page_answers = [0] * pages
        self.page_errors = []
        for _ in range(idle):
            self.sockets.append(connect())
        self.slow = [connect() for _ in range(slow)]
        for raw in malformed:
            s = connect()
            s.sendall(raw)
            self.sockets.append(s)
        self.threads = [threading.Thread(target=self.slowloris)]
        self.threads += [threading.Thread(target=self.page, args=(i,)) for i in range(pages)]
        for thread in self.threads:
            thread.start()

    def slowloris(self):
        text = b"GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: " + b"a" * 100
        for byte in text:  # at most len(text) seconds, until stopped
            for s in self.slow:
                try:
                    s.sendall(bytes([byte]))
                except OSError:
                    pass
            if self.stop.wait(1):
                return

    def page(self, index):
        try:
            with connect() as s:
                s.sendall(b"GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
                read_response(s)
                for _ in range(60):  # every 2 s on the same connection, until stopped
                    s.sendall(b"GET /api/cards HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
                    status, _, _ = read_response(s)
                    if status != 200:
                        raise ValueError(f"status {status}")
                    self.page_answers[index] += 1
                    if self.stop.wait(2):
                        return
        except (OSError, EOFError, ValueError) as error:
            self.page_errors.append(repr(error))

    def close(self):
        self.stop.set()
        for thread in self.threads:
            thread.join(10)
        for s in self.sockets + self.slow:
            s.close()


def check_held_load():
    idle = 2000
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (hard, hard))
    if hard < idle + 200:
        idle = max(100, hard - 200)
        print(f"     only {hard} descriptors: {idle} idle connections")
    malformed = [b"BLAH\r\n\r\n", b"GET / HTTP/1.1\r\nHost: x\r\nno colon here\r\n\r\n",
                 b"GET /metrics HTTP/1.1\r\nHost: x\r\nContent-Length: -1\r\n\r\n",
                 b"\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03" + b"\x00" * 40]
    held = Held(idle, 8, 6, malformed)
    try:
        time.sleep(2.5)  # every page has fetched, the slowloris clients have started
        times = []
        for _ in range(6):
            try:
                status, _, body, seconds, _ = exchange(b"GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                                                       b"Connection: close\r\n\r\n", timeout=3)
                times.append(seconds if status == 200 and b"patmon_up" in body else 99)
            except (OSError, EOFError, ValueError):
                times.append(99)
            time.sleep(0.3)
        check(max(times) < 1.0, f"/metrics with {idle} idle, 8 slowloris, {len(malformed)} malformed and 6 page "
                                f"connections held: slowest of 6 in {max(times):.3f} s (under 1 s)")
        check(all(held.page_answers) and not held.page_errors,
              f"6 status pages on keep-alive connections answered {held.page_answers}, errors {held.page_errors[:2]}")
        # An idle connection is let go after the idle timeout.
        sample = held.sockets[0]
        sample.settimeout(0.5)

        def closed():
            try:
                return sample.recv(1) == b""
            except socket.timeout:
                return False
            except OSError:
                return True
        check(wait_for(closed, 15, 0), "an idle connection is closed by the service within 15 s")
    finally:
        held.close()


def check_methods_and_errors():
    status, headers, _, _, closed = exchange(b"FROB /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
    check(status == 501 and closed, f"unknown method: {status}, closed {closed}")
    for method, path in (("POST", "/metrics"), ("PUT", "/api/printers/sim-0001"), ("DELETE", "/")):
        status, headers, _, _, closed = exchange(f"{method} {path} HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                                                 "Content-Length: 0\r\n\r\n".encode())
        check(status == 405 and "GET" in headers.get("allow", "") and closed,
              f"{method} {path}: {status}, Allow {headers.get('allow')!r}, closed {closed}")
    status, _, _, _, _ = exchange(b"POST /nothing HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 0\r\n\r\n")
    check(status == 404, f"POST to an unknown path: {status}")

    # A body announced but never sent is refused at once, not waited for.
    for raw in (b"POST /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 99999999999\r\n"
                b"Expect: 100-continue\r\n\r\n",
                b"GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 99999999\r\n\r\n",
                b"POST /api/cards HTTP/1.1\r\nHost: 127.0.0.1\r\nTransfer-Encoding: chunked\r\n\r\n"):
        request_line = raw.split(b"\r\n")[0].decode()
        try:
            status, _, _, seconds, closed = exchange(raw, timeout=3)
        except (OSError, EOFError) as error:
            status, seconds, closed = repr(error), 99, False
        check(isinstance(status, int) and 400 <= status < 500 and seconds < 1 and closed,
              f"{request_line} with a body announced: {status} in {seconds:.2f} s, closed {closed}")

    # 404s echo the name as plain text, never sniffed; the connection closes.
    status, headers, body, _, closed = exchange(b"GET /api/printers/%3Cscript%3Ealert(1)%3C%2Fscript%3E HTTP/1.1\r\n"
                                                b"Host: 127.0.0.1\r\n\r\n")
    check(status == 404 and headers.get("content-type", "").startswith("text/plain")
          and headers.get("x-content-type-options") == "nosniff" and closed,
          f"404 for a hostile name: {status}, {headers.get('content-type')!r}, "
          f"nosniff {headers.get('x-content-type-options')!r}, closed {closed}, body {body[:60]!r}")
    for path in ("/", "/metrics", "/api/cards", "/api/printers", "/api/printers/sim-0001",
                 "/printers/sim-0001/status.png"):
        status, headers, _, _, _ = get(path)
        check(status == 200 and headers.get("x-content-type-options") == "nosniff",
              f"GET {path}: {status}, nosniff {headers.get('x-content-type-options')!r}")

    # Oversized requests are refused, not buffered.
    status, _, _, _, _ = get("/api/printers/" + "x" * 20000)
    check(status in (400, 414), f"a 20 KB URL: {status}")
    status, _, _, _, _ = get("/metrics", b"X-Big: " + b"b" * 40000 + b"\r\n")
    check(status in (400, 413, 431), f"a 40 KB header: {status}")


def run_serve(args, seconds=10):
    """(exit status or None if still running after `seconds`, stderr)."""
    process = subprocess.Popen([PATMON, "serve", *args], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    try:
        _, err = process.communicate(timeout=seconds)
        return process.returncode, err
    except subprocess.TimeoutExpired:
        process.kill()
        _, err = process.communicate()
        return None, err


def check_second_service_and_options():
    status, err = run_serve(["--simulate", "1", "--listen", f"{HOST}:{port}"])
    lines = err.strip().splitlines()
    check(status == 2 and len(lines) == 1 and f"{HOST}:{port}" in lines[0] and "in use" in lines[0],
          f"a second serve on port {port}: exit {status}, {lines[:2]}")
    for args in (["--simulate", "3", "--interval", "-5"], ["--simulate", "3", "--interval", "0"],
                 ["--simulate", "3", "--interval", "nan"], ["--simulate", "-3"], ["--simulate", "0"],
                 ["--simulate", "3", "--workers", "0"], ["--simulate", "3", "--workers", "1000"]):
        status, err = run_serve([*args, "--listen", f"{HOST}:0"], seconds=5)
        check(status == 2, f"serve {' '.join(args)}: exit {status}")


def main():
    global port, pid
    processes = Processes()
    with tempfile.TemporaryDirectory(prefix="patmon-hostile-http-") as directory:
        try:
            base, process = start_serve_with(processes, PATMON, ["--simulate", str(PRINTERS), "--interval", "1"],
                                             os.path.join(directory, "serve.log"))
            port, pid = int(base.rsplit(":", 1)[1]), process.pid
            wait_for(lambda: get("/api/printers")[2].count(b'"name"') >= PRINTERS * 3 // 4, 20, 0.5)
            check_range()
            check_methods_and_errors()
            check_held_load()
            check_second_service_and_options()
            status, _, _, _, _ = get("/metrics")
            check(status == 200, f"the service still answers: {status}")
        finally:
            processes.stop_all()
        try:
            processes.check_clean_exit()
            check(True, "patmon serve stopped cleanly, no sanitizer report")
        except AssertionError as error:
            check(False, f"patmon serve stopped cleanly: {str(error)[-500:]}")
    return summary()


if __name__ == "__main__":
    sys.exit(main())
