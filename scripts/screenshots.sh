#!/usr/bin/env bash
# Takes the guide's pictures again: runs the end-to-end test of the release build under Xvfb
# and copies the window shots it takes into docs/ under the names the pages show.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
cmake --build "$build" --target vornak vornak-slave
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
bash tests/e2e/e2e.sh "$build/app/vornak" "$build/tools/slave/vornak-slave" "$out"
for shot in screenshot settings messagebox; do
    cp "$out/$shot.png" "docs/$shot.png"
done
echo "screenshots: docs/screenshot.png docs/settings.png docs/messagebox.png"
