#!/usr/bin/env python3
"""Every JSON patmon writes follows docs/patmon-poll.schema.json: `poll
--json` of every built-in scenario in English and Japanese, `watch --json`
(one object a line), and patmon serve's /api/printers.

usage: json_schema_test.py PATMON SCHEMA
"""
import json
import os
import socket
import subprocess
import sys
import time
import urllib.request

import jsonschema

PATMON, SCHEMA = os.path.abspath(sys.argv[1]), sys.argv[2]
failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        failures.append(what)


def valid(validator, doc, what):
    errors = sorted(validator.iter_errors(doc), key=lambda e: list(e.path))
    check(not errors, what + ("" if not errors else f": {errors[0].message} at {list(errors[0].path)}"))


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def main():
    with open(SCHEMA) as f:
        schema = json.load(f)
    validator = jsonschema.Draft202012Validator(schema)
    scenarios = [line.split()[0] for line in
                 subprocess.run([PATMON, "scenarios"], capture_output=True, text=True).stdout.splitlines()]
    check(len(scenarios) >= 17, f"{len(scenarios)} built-in scenarios")
    for scenario in scenarios:
        for language in ("EN", "JP"):
            result = subprocess.run([PATMON, "poll", "virtual:" + scenario, "--json", "--lang", language],
                                    capture_output=True, text=True, timeout=60)
            doc = json.loads(result.stdout)
            valid(validator, doc, f"poll --json virtual:{scenario} in {language}")
            check(doc["target"] == "virtual:" + scenario and doc["responded"] == (result.returncode == 0),
                  f"{scenario}: target and responded")

    result = subprocess.run([PATMON, "watch", "virtual:toner-low", "--json", "--count", "2", "--interval", "0.2"],
                            capture_output=True, text=True, timeout=60)
    lines = [line for line in result.stdout.splitlines() if line]
    check(len(lines) == 1, f"watch --json prints one object for an unchanged printer ({len(lines)})")
    for line in lines:
        valid(validator, json.loads(line), "watch --json line")

    port = free_port()
    serve = subprocess.Popen([PATMON, "serve", "--simulate", "3", "--interval", "1", "--listen", f"127.0.0.1:{port}"],
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        printers = None
        until = time.time() + 30
        while time.time() < until:
            try:
                with urllib.request.urlopen(f"http://127.0.0.1:{port}/api/printers", timeout=5) as response:
                    printers = json.loads(response.read())
                if printers and all(p.get("schema") for p in printers):
                    break
            except OSError:
                pass
            time.sleep(0.3)
        check(bool(printers), "patmon serve's /api/printers answers")
        for doc in printers or []:
            valid(validator, doc, f"/api/printers: {doc.get('name')}")
    finally:
        serve.terminate()
        serve.wait(10)
    print(f"{len(failures)} failed" if failures else "all passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
