#!/usr/bin/env python3
"""patmon serve with one hostile SNMP agent in its fleet. Besides answering
its own device-ID request, the agent sprays GetResponse packets with request
IDs around the one it was sent, from its own port and from another one, all
carrying the device ID of a printer out of toner, at the service's shared
SNMP socket. The two honest printers beside it must show Ready the whole
time: an answer counts only from the agent asked, to the request it was
sent, and request IDs cannot be guessed from one another.

usage: serve_snmp_test.py PATMON
"""
import json
import os
import socket
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request

from hostile_support import Simulator, check, free_port, summary, wait_for

PATMON = os.path.abspath(sys.argv[1])
OPENER = urllib.request.build_opener(urllib.request.ProxyHandler({}))
DEVICE_ID_COLUMN = (1, 3, 6, 1, 4, 1, 2699, 1, 2, 1, 2, 1, 1, 3)
RUN_SECONDS = 10


# ---- the little of SNMPv2c (BER) the agent and the probe need ----

def tlv(tag, content):
    n = len(content)
    if n < 0x80:
        head = bytes([n])
    elif n < 0x100:
        head = bytes([0x81, n])
    else:
        head = bytes([0x82, n >> 8, n & 0xFF])
    return bytes([tag]) + head + content


def integer(value):
    return tlv(0x02, value.to_bytes(max(1, (value.bit_length() + 8) // 8), "big", signed=True))


def object_id(parts):
    out = bytearray([parts[0] * 40 + parts[1]])
    for part in parts[2:]:
        chunk = [part & 0x7F]
        part >>= 7
        while part:
            chunk.insert(0, 0x80 | (part & 0x7F))
            part >>= 7
        out += bytes(chunk)
    return tlv(0x06, bytes(out))


def read_tlv(data, at):
    tag, length = data[at], data[at + 1]
    at += 2
    if length & 0x80:
        count = length & 0x7F
        length = int.from_bytes(data[at:at + count], "big")
        at += count
    return tag, data[at:at + length], at + length


def parse_message(data):
    """(pdu tag, community, request id, first value or None) of an SNMPv2c message."""
    _, message, _ = read_tlv(data, 0)
    _, _, at = read_tlv(message, 0)  # version
    _, community, at = read_tlv(message, at)
    tag, pdu, _ = read_tlv(message, at)
    _, request_id, at = read_tlv(pdu, 0)
    _, _, at = read_tlv(pdu, at)
    _, _, at = read_tlv(pdu, at)
    _, bindings, _ = read_tlv(pdu, at)
    _, binding, _ = read_tlv(bindings, 0)
    _, _, at = read_tlv(binding, 0)
    value_tag, value, _ = read_tlv(binding, at)
    return tag, community, int.from_bytes(request_id, "big", signed=True), value if value_tag == 0x04 else None


def message(pdu_tag, community, request_id, value):
    binding = tlv(0x30, object_id(DEVICE_ID_COLUMN + ((1,) if value is not None else ())) +
                  (tlv(0x04, value) if value is not None else b"\x05\x00"))
    pdu = tlv(pdu_tag, integer(request_id) + integer(0) + integer(0) + tlv(0x30, binding))
    return tlv(0x30, integer(1) + tlv(0x04, community) + pdu)


def device_id_of(port):
    """The device ID an agent on 127.0.0.1:port answers (a toner-out simulator here)."""
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.settimeout(1)
        for _ in range(20):
            s.sendto(message(0xA1, b"public", 4242, None), ("127.0.0.1", port))
            try:
                return parse_message(s.recv(65536))[3]
            except socket.timeout:
                continue
    raise RuntimeError("the toner-out simulator's agent did not answer")


class HostileAgent:
    """Answers its own request with an honest device ID, then keeps sending
    forged answers with request IDs around every one it has seen, from its
    own port and from a second one, until stopped."""

    def __init__(self, honest_id, forged_id):
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.bind(("127.0.0.1", 0))
        self.port = self.sock.getsockname()[1]
        self.other = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.other.bind(("127.0.0.1", 0))
        self.honest_id, self.forged_id = honest_id, forged_id
        self.seen = []  # request IDs asked of this agent
        self.client = None
        self.forged = 0
        self.stopping = threading.Event()
        self.threads = [threading.Thread(target=self.answer, daemon=True),
                        threading.Thread(target=self.spray, daemon=True)]
        for t in self.threads:
            t.start()

    def answer(self):
        self.sock.settimeout(0.2)
        while not self.stopping.is_set():
            try:
                data, client = self.sock.recvfrom(65536)
                tag, community, request_id, _ = parse_message(data)
            except (socket.timeout, IndexError, ValueError):
                continue
            if tag != 0xA1:
                continue
            self.client, self.community = client, community
            self.seen.append(request_id)
            self.sock.sendto(message(0xA2, community, request_id, self.honest_id), client)

    def spray(self):
        while not self.stopping.is_set():
            if not self.seen:
                time.sleep(0.01)
                continue
            last = self.seen[-1]
            for offset in list(range(-8, 0)) + list(range(1, 25)):
                forged = message(0xA2, self.community, (last + offset) & 0x7FFFFFFF, self.forged_id)
                (self.sock if offset % 2 else self.other).sendto(forged, self.client)
                self.forged += 1
            time.sleep(0.002)

    def stop(self):
        self.stopping.set()
        for t in self.threads:
            t.join(5)
        self.sock.close()
        self.other.close()


def get_json(url):
    with OPENER.open(url, timeout=10) as response:
        return json.loads(response.read())


def main():
    honest = [Simulator(PATMON, "ready"), Simulator(PATMON, "ready")]
    toner_out = Simulator(PATMON, "toner-out")
    hostile_pjl = Simulator(PATMON, "ready", extra=("--no-snmp",))
    serve = None
    agent = None
    workdir = tempfile.TemporaryDirectory(prefix="patmon-hostile-snmp-")
    try:
        ready_label = json.loads(subprocess.run([PATMON, "poll", "virtual:ready", "--json"], capture_output=True,
                                                text=True, timeout=60, check=True).stdout)["status"]["label"]
        forged_id = device_id_of(toner_out.snmp)
        ready_id = device_id_of(honest[0].snmp)
        check(forged_id != ready_id, "the forged device ID differs from a ready printer's")
        agent = HostileAgent(ready_id, forged_id)
        printers = [{"name": f"honest-{i}", "target": f"tcp://127.0.0.1:{s.pjl}", "snmp": f"127.0.0.1:{s.snmp}",
                     "interval": 0.3, "timeout": 2} for i, s in enumerate(honest)]
        printers.append({"name": "hostile", "target": f"tcp://127.0.0.1:{hostile_pjl.pjl}",
                         "snmp": f"127.0.0.1:{agent.port}", "interval": 0.3, "timeout": 2})
        config = os.path.join(workdir.name, "fleet.json")
        with open(config, "w") as f:
            json.dump({"printers": printers}, f)
        log = open(os.path.join(workdir.name, "serve.log"), "w+")
        serve = subprocess.Popen([PATMON, "serve", "--config", config, "--listen", "127.0.0.1:0"],
                                 stdout=subprocess.PIPE, stderr=log, text=True)
        line = serve.stdout.readline()
        check("http://" in line, "patmon serve started")
        base = line.strip().split(" ")[-1].rstrip("/")

        def views():
            return {p["name"]: p for p in get_json(base + "/api/printers")}

        def answered():
            seen = views()
            return all(name in seen and seen[name]["lastError"] is None for name in ("honest-0", "honest-1"))

        check(wait_for(answered, 20), "both honest printers answered")
        first = {name: view["lastPoll"] for name, view in views().items()}
        wrong = []
        samples = 0
        until = time.time() + RUN_SECONDS
        while time.time() < until:
            for name, view in views().items():
                if not name.startswith("honest"):
                    continue
                samples += 1
                label = view["status"]["label"]
                if view["lastError"] is not None or label != ready_label:
                    wrong.append(f"{name}: {label} ({view['lastError']})")
            time.sleep(0.1)
        last = views()
        check(samples > 100, f"the honest printers were looked at {samples} times")
        check(not wrong, "the honest printers showed Ready throughout" +
              (f" (not {len(wrong)} times, first: {wrong[0]})" if wrong else ""))
        check(all(last[n]["lastPoll"] - first[n] > RUN_SECONDS / 2 for n in ("honest-0", "honest-1")),
              "the honest printers were polled all along")
        check(agent.forged > 1000, f"the hostile agent sent {agent.forged} forged answers")
        check(len(agent.seen) > 10, f"the hostile agent was asked {len(agent.seen)} times")
        ids = agent.seen
        steps = {b - a for a, b in zip(ids, ids[1:])}
        check(len(steps) == len(ids) - 1 or len(ids) < 3,
              "the request IDs it saw follow no step")
        check(last["hostile"]["lastError"] is None, "the hostile agent's own honest answer was taken")
        serve.terminate()
        check(serve.wait(20) == 0, "patmon serve stopped cleanly")
        log.seek(0)
        text = log.read()
        check("Sanitizer" not in text and "runtime error" not in text, "no sanitizer report")
    finally:
        if agent:
            agent.stop()
        if serve and serve.poll() is None:
            serve.kill()
            serve.wait()
        for s in honest + [toner_out, hostile_pjl]:
            s.stop()
        workdir.cleanup()
    return summary()


if __name__ == "__main__":
    sys.exit(main())
