#!/usr/bin/env bash
# The install command: install what is missing, build the release and make the Debian package
# of it, build/release/vornak_<version>_<arch>.deb.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target package
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/release/CMakeCache.txt)
deb="build/release/vornak_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { echo "no package at $deb" >&2; exit 1; }
echo "The package: $deb"
echo "Install it as root with: apt install ./$deb"
