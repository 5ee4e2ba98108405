#!/usr/bin/env bash
# The built vornak under Xvfb over Modbus TCP (COM1=tcp://127.0.0.1:PORT in the Port Map): the mode
# pane, a scan of vornak-slave --tcp, a write, and the slave's death taken as an unplugged adapter.
set -uo pipefail
vornak=$1
slave=$2
out=${3:-$(mktemp -d)}
mkdir -p "$out"
XVFB_SESSION_NAME="vornak-e2e-tcp"
# shellcheck source=tests/support/xvfb_session.sh
source "$(dirname "$0")/../support/xvfb_session.sh"
# shellcheck source=tests/e2e/main_window.sh
source "$(dirname "$0")/main_window.sh"
fail() {
    echo "e2e-tcp: FAILED: $*"
    [ -n "${DISPLAY:-}" ] && import -display "$DISPLAY" -window root "$out/tcp-failure.png" 2>/dev/null
    for log in "$work"/tcp*.log; do echo "--- $log (tail)"; tail -n 10 "$log"; done
    exit 1
}

start_xvfb 121 150 || fail "Xvfb did not start"
unset VORNAK_COM1 VORNAK_TRACE

# A slave on 127.0.0.1:$1 (0: a free port) logging to $2; sets slave_pid and port.
start_slave() {
    "$slave" --tcp "$1" --log >"$2" 2>&1 &
    slave_pid=$!
    pids+=("$slave_pid")
    for _ in $(seq 50); do grep -qs 'listening on' "$2" && break; sleep 0.1; done
    port=$(sed -n 's/^vornak-slave: listening on 127\.0\.0\.1:\([0-9]*\) .*/\1/p' "$2")
    [ -n "$port" ] || fail "the simulator did not listen"
}
start_slave 0 "$work/tcp1.log"

export XDG_CONFIG_HOME="$work/config"
mkdir -p "$XDG_CONFIG_HOME/Quorvix"
# COM1 mapped to $1, mode $2 (0 RTU, 1 ASCII); six holding registers from 4 of slave 1.
write_ini() {
    printf '%s\n' '[Main Env]' 'Scan Time=300' 'Time Outs=300' "Trans Mode=$2" '[ModBus Env]' \
        'Salve ID=1' 'Read Func=0' 'Read Addr=4' 'Read Quan=6' '[Port Map]' "COM1=$1" \
        >"$XDG_CONFIG_HOME/Quorvix/Vornak.ini"
}
export QT_QPA_PLATFORM=xcb

# The status bar as first painted (nothing is opened before a scan): only the mode pane differs.
status_bar() {
    write_ini "$1" "$2"
    VORNAK_STARTUP_SNAPSHOT="$work/$3.png" timeout 20 "$vornak" >/dev/null 2>&1 ||
        fail "the start-up snapshot for $1 failed"
    convert "$work/$3.png" -gravity South -crop "x20+0+0" +repage "$work/$3-bar.png"
}
same() { [ "$(compare -metric AE "$work/$1-bar.png" "$work/$2-bar.png" null: 2>&1)" = 0 ]; }
status_bar /dev/null 0 rtu
status_bar "udp://127.0.0.1:$port" 0 udp
status_bar "tcp://127.0.0.1:$port" 1 tcp-ascii
status_bar "tcp://127.0.0.1:$port" 0 tcp
same tcp tcp-ascii || fail "the mode pane of a tcp:// line followed the RTU/ASCII choice"
same tcp rtu && fail "the mode pane of a tcp:// line reads as on a serial line"
same tcp udp && fail "the mode pane does not tell tcp:// from udp://"
same udp rtu && fail "the mode pane of a udp:// line reads as on a serial line"
cp "$work/tcp-bar.png" "$out/tcp-status-bar.png"
echo "e2e-tcp: the mode pane names tcp:// and udp:// lines, whatever the mode"

"$vornak" >"$work/vornak.log" 2>&1 &
vornak_pid=$!
pids+=("$vornak_pid")
main_window || fail "the main window did not show"

# Where the status line's text ends in screenshot $1: its blue ink's rightmost column.
status_end() {
    eval "$(xdotool getwindowgeometry --shell "$wid")"
    convert "$1" -crop "${WIDTH}x$((HEIGHT * 6 / 100))+$X+$((Y + HEIGHT * 27 / 100))" +repage \
        -depth 8 txt:- | awk '$3 == "#0000FF" { split($1, p, ","); if (p[1] + 0 > m) m = p[1] + 0 }
                              END { print m + 0 }'
}

# Requests in the simulator's log $1: an MBAP header (six bytes), then unit 1 and the PDU $2.
requests() { grep -cE " rx ([0-9A-F]{2} ){6}01 $2( |$)" "$1" || true; }
read_pdu='03 00 04 00 06'
# 동작(&A), then the keys to its item: Down to 데이타 스캔 시작, Up Up to 중지, Up to 종료.
menu() {
    xdotool key --window "$wid" alt+a
    sleep 0.4
    xdotool key "$@" Return
    sleep 1.5
}

menu Down
reads=$(requests "$work/tcp1.log" "$read_pdu")
[ "$reads" -ge 3 ] || fail "expected at least 3 reads over tcp:// in 1.5 s, saw $reads"
echo "e2e-tcp: $reads reads over tcp://127.0.0.1:$port"

# Write 0x1234 from the dialog a line of the list opens.
open_write_dialog || fail "double-clicking the list opened no write dialog"
xdotool key --window "$dialog" Tab Tab Tab Tab ctrl+a
xdotool type --window "$dialog" --delay 30 "0x1234"
xdotool key --window "$dialog" Tab space
sleep 1
[ "$(requests "$work/tcp1.log" '06 00 0[4-9A-F] 12 34')" -ge 1 ] ||
    fail "the write did not reach the slave over tcp://"
import -window root "$out/tcp-scanning.png" 2>/dev/null

# The slave dies: the line is let go, and a slave listening again on the port hears nothing
# while the scan goes on ("Comm Port Not Opened" at once), only after a stop and a start.
kill -9 "$slave_pid"
wait "$slave_pid" 2>/dev/null
sleep 1
start_slave "$port" "$work/tcp2.log"
sleep 1.2
import -window root "$out/tcp-lost.png" 2>/dev/null
ok_end=$(status_end "$out/tcp-scanning.png") lost_end=$(status_end "$out/tcp-lost.png")
# "OK" then "Comm Port Not Opened": some 130 pixels longer in the program's font.
[ $((lost_end - ok_end)) -ge 90 ] ||
    fail "the status line did not show the failure (its text ends at $ok_end, then $lost_end)"
[ "$(requests "$work/tcp2.log" "$read_pdu")" = 0 ] ||
    fail "the scan connected again by itself instead of failing as an unplugged adapter"
kill -0 "$vornak_pid" 2>/dev/null || fail "vornak ended when the slave died"
menu Up Up
menu Down
reads=$(requests "$work/tcp2.log" "$read_pdu")
[ "$reads" -ge 3 ] || fail "expected at least 3 reads after the stop and start, saw $reads"
echo "e2e-tcp: after the slave came back, a stop and a start gave $reads reads"

menu Up
for _ in $(seq 50); do kill -0 "$vornak_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$vornak_pid" 2>/dev/null && fail "vornak did not end on 종료"
echo "e2e-tcp: 1 passed, 0 failed"
