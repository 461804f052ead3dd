#!/usr/bin/env bash
# Installs what building and testing patprn needs on Debian (run as root).
# Does nothing when everything is already there.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config         # native build of libpatprn.so
    g++-mingw-w64-x86-64-posix                # cross build of patprn.dll
    binutils-mingw-w64-x86-64                 # windres: resources for both targets
    wine wine64                               # runs the Windows tests and tools
    libgtest-dev                              # test framework (native, find_package(GTest))
    googletest                                # test framework sources (built for the Windows tests)
    doxygen                                   # the docs target
    libbenchmark-dev                          # bench/: Google Benchmark (native)
    dpkg-dev fakeroot                         # cpack .deb (dpkg-shlibdeps)
    libcli11-dev nlohmann-json3-dev           # patmon: arguments, scenario files and JSON
    libsnmp-dev                               # patmon: device ID over SNMP, the simulator's agent
    libpng-dev                                # patmon and the bitmap generator: PNG pictures
    libicu-dev                                # patmon: Japanese texts normalised (NFKC) for UTF-8 outputs
    libxxhash-dev                             # patmon: records' fingerprints (xxHash, from its header)
    help2man                                  # patmon(1), made from patmon --help
    python3-jsonschema                        # tests: every JSON output checked against its schema
    snmpd                                     # tests: an SNMP agent that answers the wrong type
    snmpsim                                   # tests: replays printer MIB recordings (v1, v2c, v3)
    cups cups-client cups-ipp-utils           # tests: the patprn backend behind a private cupsd, lp, ipptool
    python3                                   # tests: the print-system test script
    libmicrohttpd-dev                         # patmon serve: the HTTP service (event-driven, bounded)
    libc-ares-dev                             # patmon serve: name lookups that never block the poll loop
    liblz4-dev                                # patmon serve: every printer's JSON kept packed
    prometheus                                # tests: promtool checks /metrics, a real server scrapes it
    chromium chromium-driver python3-selenium # tests: the status page in a headless browser
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if ((${#missing[@]} > 0)); then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update
    apt-get install -y "${missing[@]}"
fi
