#!/usr/bin/env bash
# The main job: builds libpatprn.so and patprn.dll with patmon, the reference
# status monitor, and polls the built-in virtual printer with it, natively
# and under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh

cmake --preset native-release -DPATPRN_TESTS=OFF >/dev/null
cmake --build --preset native-release
cmake --preset windows -DPATPRN_TESTS=OFF >/dev/null
cmake --build --preset windows

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEPREFIX="$PWD/build/windows/wineprefix"
echo "== patmon with libpatprn.so: the virtual printer, scenario \"ready\" =="
build/native-release/bin/patmon
echo
echo "== patmon.exe with patprn.dll (under Wine): the virtual printer, scenario \"toner-out\", in Japanese =="
wine build/windows/bin/patmon.exe poll virtual:toner-out --lang JP
