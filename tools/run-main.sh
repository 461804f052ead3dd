#!/usr/bin/env bash
# The main job: builds libpatprn.so and patprn.dll and shows what each
# reports about itself through its exports (natively, and under Wine).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh

cmake --preset native-release -DPATPRN_TESTS=OFF >/dev/null
cmake --build --preset native-release
cmake --preset windows -DPATPRN_TESTS=OFF >/dev/null
cmake --build --preset windows

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEPREFIX="$PWD/build/windows/wineprefix"
echo "== libpatprn.so =="
build/native-release/bin/patprn-info
echo "== patprn.dll (under Wine) =="
wine build/windows/bin/patprn-info.exe
