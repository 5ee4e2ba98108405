#!/usr/bin/env bash
# The real vornak under Xvfb against vornak-slave, driven like a user: start-up to first
# paint (the program's own report), then CPU share and wake-ups of the whole process,
# stopped before the first scan, while scanning and stopped after it, each over a window.
#   bench/real_scan.sh BUILD_DIR [ascii|rtu] [WINDOW_SECONDS]
# ascii: 125 registers every 10 ms at 115200 bit/s; rtu: the default settings.
set -uo pipefail
build=${1:-build/release}
mode=${2:-ascii}
window=${3:-10}
vornak=$build/app/vornak
slave=$build/tools/slave/vornak-slave
work=$(mktemp -d /tmp/vornak-bench.XXXXXX)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "real_scan: $*" >&2; exit 1; }

for n in $(seq 130 160); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=":$n"; break; }
done
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

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
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$pid/stat"; }
switches() { cat /proc/"$pid"/task/*/status | awk '/^voluntary_ctxt_switches/ { s += $2 } END { print s }'; }
reads() { grep -c ' rx ' "$work/slave.log"; }
measure() {
    local c0 s0 r0 t0 c1 s1 r1 t1
    c0=$(cpu_ticks); s0=$(switches); r0=$(reads); t0=$(date +%s.%N)
    sleep "$window"
    c1=$(cpu_ticks); s1=$(switches); r1=$(reads); t1=$(date +%s.%N)
    awk -v what="$1" -v c=$((c1 - c0)) -v s=$((s1 - s0)) -v r=$((r1 - r0)) -v t0="$t0" -v t1="$t1" \
        -v hz="$ticks" 'BEGIN { w = t1 - t0
            printf "%-22s cpu %5.1f %%  wake-ups %6.1f /s  requests %5.1f /s\n", what,
                100 * c / hz / w, s / w, r / w }'
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
