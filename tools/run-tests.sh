#!/usr/bin/env bash
# Builds both targets and runs every test: natively with address and
# undefined-behaviour sanitizers, then the Windows build under Wine against
# the real patprn.dll.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh

cmake --preset native -DPATPRN_TESTS=ON
cmake --build --preset native
ctest --preset native

cmake --preset windows -DPATPRN_TESTS=ON
cmake --build --preset windows
ctest --preset windows
