#!/usr/bin/env bash
# The run command: install what is missing, build, start the slave simulator on a
# pseudo-terminal, point COM1 at it and start the scanner. Without a display the scanner
# shows on a virtual X display that x11vnc offers on 127.0.0.1:5900 only.
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
xvfb=""
vnc=""
cleanup() {
    for pid in $vnc $xvfb $slave; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
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
    # The viewer gets the whole program, writes included, and x11vnc asks no password here:
    # it answers on the loopback interface only. From another machine: ssh -L 5900:127.0.0.1:5900.
    display=""
    for n in $(seq 70 99); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=":$n"; break; }
    done
    [ -n "$display" ] || { echo "no free X display number" >&2; exit 1; }
    Xvfb "$display" -screen 0 800x600x24 -nolisten tcp &
    xvfb=$!
    for _ in $(seq 50); do
        [ -e "/tmp/.X11-unix/X${display#:}" ] && break
        sleep 0.1
    done
    export DISPLAY="$display"
    x11vnc -display "$display" -localhost -autoport 5900 -nopw -forever -shared \
        >"$run_dir/x11vnc.log" 2>&1 &
    vnc=$!
    port=""
    for _ in $(seq 100); do
        port=$(sed -n 's/^PORT=\([0-9]*\)$/\1/p' "$run_dir/x11vnc.log")
        [ -n "$port" ] && break
        sleep 0.1
    done
    [ -n "$port" ] || { echo "x11vnc did not start:" >&2; cat "$run_dir/x11vnc.log" >&2; exit 1; }
    echo "No display: Vornak shows on VNC at 127.0.0.1:$port, on this machine only (no password)."
fi
echo "Start the scan with the second toolbar button; close the window to end."
build/release/app/vornak
