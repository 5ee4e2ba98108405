#!/usr/bin/env bash
# The run command: install what is missing, build, start the slave simulator on a
# pseudo-terminal, point COM1 at it and start the scanner. Without a display the scanner
# shows on Qt's VNC platform at localhost:5900.
# Extra arguments go to vornak-slave (for example: --mode ascii --id 7 --delay 50).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target vornak vornak-slave

run_dir=$(mktemp -d /tmp/vornak-demo.XXXXXX)
link="$run_dir/COM1"
build/release/tools/slave/vornak-slave --link "$link" "$@" &
slave=$!
cleanup() {
    kill "$slave" 2>/dev/null || true
    wait "$slave" 2>/dev/null || true
    rm -rf "$run_dir"
}
trap cleanup EXIT INT TERM
for _ in $(seq 50); do
    [ -e "$link" ] && break
    sleep 0.1
done
[ -e "$link" ] || { echo "vornak-slave did not start" >&2; exit 1; }

export VORNAK_COM1="$link"
echo "COM1 is the simulator at $link (-> $(readlink "$link"))."
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    export QT_QPA_PLATFORM="vnc:size=800x600:port=5900"
    echo "No display: Vornak shows on VNC, connect a viewer to localhost:5900."
    echo "(Qt's VNC platform listens on every interface of this machine.)"
fi
echo "Start the scan with the second toolbar button; close the window to end."
build/release/app/vornak
