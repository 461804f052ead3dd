#!/usr/bin/env bash
# patmon.exe with patprn.dll under Wine: polls of the virtual printer, and a
# poll over TCP (Winsock) of a patmon.exe simulate on a free loopback port.
# Usage: patmon_under_wine.sh PATMON.EXE
set -uo pipefail
patmon=$1
passed=0 failed=0
check() {  # check NAME EXPECTED-TEXT ACTUAL
    if [[ "$3" == *"$2"* ]]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        printf 'FAILED %s: expected "%s" in:\n%s\n' "$1" "$2" "$3"
    fi
}

out=$(timeout 120 wine "$patmon" poll virtual:toner-out --lang JP 2>&1)
check "Japanese status text in UTF-8, full-width" 'トナーギレ' "$out"
out=$(timeout 120 wine "$patmon" poll virtual:paper-out --json 2>&1)
check "JSON label" '"label": "No Paper"' "$out"
check "JSON draw list" '"name": "BM_BASE"' "$out"
timeout 120 wine "$patmon" poll virtual:no-response >/tmp/patmon-wine-$$.out 2>&1
check "no response exits 1" "status 1" "status $?"
check "no response text" "No Response from Machine" "$(cat /tmp/patmon-wine-$$.out)"
rm -f /tmp/patmon-wine-$$.out

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
log=$(mktemp)
timeout 120 wine "$patmon" simulate --scenario cover-open --listen "127.0.0.1:$port" >"$log" 2>&1 &
simulator=$!
for _ in $(seq 1 300); do
    grep -q "patmon simulate:" "$log" && break
    sleep 0.1
done
out=$(timeout 60 wine "$patmon" poll "tcp://127.0.0.1:$port" --timeout 10 \
    --device-id "MFG:Patprn;MDL:Colour Laser 500;STS:40208,3,CLOSE TOP COVER;" 2>&1)
check "poll over TCP" $'Cover Open\nClose the indicated cover.\nTop Cover' "$out"
check "trays over TCP" "Tray 1: A4, plain, level 80 %" "$out"
kill "$simulator" 2>/dev/null
wait "$simulator" 2>/dev/null
rm -f "$log"

echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
