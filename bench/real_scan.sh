#!/usr/bin/env bash
# The real vornak under Xvfb against vornak-slave, driven like a user: start-up to first
# paint (the program's own report), then CPU share and wake-ups (voluntary context switches)
# of the whole process and of its UI thread, stopped before the first scan, while scanning,
# stopped after it and stopped with the focus off the edits, each over a window.
#   bench/real_scan.sh BUILD_DIR [ascii|rtu] [WINDOW_SECONDS]
# ascii: 125 registers every 10 ms at 115200 bit/s; rtu: the default settings.
set -uo pipefail
build=${1:-build/release}
mode=${2:-ascii}
window=${3:-10}
vornak=$build/app/vornak
slave=$build/tools/slave/vornak-slave
XVFB_SESSION_NAME=vornak-bench
# shellcheck source=tests/support/xvfb_session.sh
source "$(dirname "$0")/../tests/support/xvfb_session.sh"
fail() { echo "real_scan: $*" >&2; exit 1; }

start_xvfb 130 160 || fail "Xvfb did not start"

export XDG_CONFIG_HOME="$work/config"
mkdir -p "$XDG_CONFIG_HOME/Quorvix"
if [ "$mode" = ascii ]; then
    "$slave" --log --mode ascii --baud 115200 --link "$work/COM1" >"$work/slave.log" 2>&1 &
    printf '[Main Env]\nCOM Bps=7\nTrans Mode=1\nScan Time=10\n[ModBus Env]\nRead Quan=125\n' \
        >"$XDG_CONFIG_HOME/Quorvix/Vornak.ini"
else
    "$slave" --log --link "$work/COM1" >"$work/slave.log" 2>&1 &
fi
pids+=($!)
for _ in $(seq 50); do [ -e "$work/COM1" ] && break; sleep 0.1; done
[ -e "$work/COM1" ] || fail "the simulator did not start"

export VORNAK_COM1="$work/COM1" QT_QPA_PLATFORM=xcb VORNAK_FIRST_PAINT_REPORT=1
"$vornak" >"$work/vornak.log" 2>&1 &
pid=$!
pids+=($pid)
wid=$(timeout 20 xdotool search --sync --name "Modbus Master Scan Program" | head -1)
[ -n "$wid" ] || fail "the main window did not show"
xdotool windowactivate --sync "$wid" 2>/dev/null || xdotool windowfocus --sync "$wid"
sleep 1
grep "first paint" "$work/vornak.log"

ticks=$(getconf CLK_TCK)
# Per thread: id, CPU ticks, voluntary context switches. Threads that come or go within a
# window are left out of its sums rather than making them jump.
snapshot() {
    for t in /proc/"$pid"/task/*; do
        echo "$(basename "$t") $(awk '{ print $14 + $15 }' "$t/stat") \
$(awk '/^voluntary_ctxt_switches/ { print $2 }' "$t/status")"
    done 2>/dev/null | sort
}
reads() { grep -c ' rx ' "$work/slave.log"; }
measure() {
    local r0 r1 t0 t1
    snapshot >"$work/before"; r0=$(reads); t0=$(date +%s.%N)
    sleep "$window"
    snapshot >"$work/after"; r1=$(reads); t1=$(date +%s.%N)
    join "$work/before" "$work/after" | awk -v what="$1" -v main="$pid" -v r=$((r1 - r0)) \
        -v t0="$t0" -v t1="$t1" -v hz="$ticks" '
        { c += $4 - $2; s += $5 - $3; if ($1 == main) ui += $5 - $3 }
        END { w = t1 - t0
            printf "%-26s cpu %5.1f %%  wake-ups %7.1f /s (UI thread %6.1f /s)  requests %5.1f /s\n",
                what, 100 * c / hz / w, s / w, ui / w, r / w }'
}
menu_second_item() {
    xdotool key --window "$wid" alt+a
    sleep 0.4
    xdotool key Down Return
}

measure "stopped, before scan"
menu_second_item
sleep 1
measure "scanning"
menu_second_item
sleep 1
measure "stopped, after scan"
# The caret blinks in the focused edit; on the next control (the function list) it does not.
xdotool key --window "$wid" Tab
sleep 1
measure "stopped, no caret"
