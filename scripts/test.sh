#!/usr/bin/env bash
# The test command: install what is missing, build, run the core and port tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, then every test of the release build.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh

echo "== core and port tests under the sanitizers"
cmake --preset debug >/dev/null
cmake --build --preset debug
ctest --preset debug

echo "== all tests, release build"
cmake --preset release >/dev/null
cmake --build --preset release
ctest --preset release
