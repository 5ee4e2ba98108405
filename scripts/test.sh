#!/usr/bin/env bash
# The test command: install what is missing, build, run the core and port tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, fuzz the master's answer paths, run the
# threaded scan and line-abort tests under ThreadSanitizer, then the Debian package (unpacked and started)
# and every test of the release build (the long fault soak included).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh

# A fresh clone elsewhere reuses what an earlier build here compiled: ccache is told to hash
# paths relative to the tree.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1

echo "== core and port tests under the sanitizers"
cmake --preset debug >/dev/null
cmake --build --preset debug
ctest --preset debug

echo "== the master's answer paths fuzzed under the sanitizers"
scripts/fuzz.sh

echo "== scan thread, call gate and aborted line tests under ThreadSanitizer"
cmake --preset tsan >/dev/null
cmake --build --preset tsan --target app_tests scan_tests modbus_tests lines_tests \
    vornak_device_server_tests
ctest --preset tsan

echo "== release build"
cmake --preset release >/dev/null
cmake --build --preset release

echo "== the Debian package: made from the release build, unpacked into a scratch root, started"
cmake --build --preset release --target package
tests/package/package_test.sh build/release

echo "== all tests, release build"
ctest --preset release
