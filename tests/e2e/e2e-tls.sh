#!/usr/bin/env bash
# The built vornak under Xvfb over Modbus/TCP Security (COM1=tls://127.0.0.1:PORT?cert=...): the
# mode pane, a scan of vornak-slave --tls with certificates on both sides, and a device whose CA
# this end does not trust refused with the open-failure box.
set -uo pipefail
vornak=$1
slave=$2
out=${3:-$(mktemp -d)}
mkdir -p "$out"
XVFB_SESSION_NAME="vornak-e2e-tls"
# shellcheck source=tests/support/xvfb_session.sh
source "$(dirname "$0")/../support/xvfb_session.sh"
# shellcheck source=tests/e2e/main_window.sh
source "$(dirname "$0")/main_window.sh"
fail() {
    echo "e2e-tls: FAILED: $*"
    [ -n "${DISPLAY:-}" ] && import -display "$DISPLAY" -window root "$out/tls-failure.png" 2>/dev/null
    for log in "$work"/tls*.log; do echo "--- $log (tail)"; tail -n 10 "$log"; done
    exit 1
}

start_xvfb 123 150 || fail "Xvfb did not start"
unset VORNAK_COM1 VORNAK_TRACE

pki="$work/pki"
bash "$(dirname "$0")/../../examples/make-test-pki.sh" "$pki" >/dev/null ||
    fail "the rehearsal PKI was not made"
# A second CA the device's certificate does not come from.
bash "$(dirname "$0")/../../examples/make-test-pki.sh" "$work/other" >/dev/null ||
    fail "the second PKI was not made"

"$slave" --tls 0 --cert "$pki/device.pem" --key "$pki/device.key" --ca "$pki/ca.pem" --log \
    >"$work/tls1.log" 2>&1 &
pids+=("$!")
for _ in $(seq 50); do grep -qs 'listening on' "$work/tls1.log" && break; sleep 0.1; done
port=$(sed -n 's/^vornak-slave: listening on 127\.0\.0\.1:\([0-9]*\) .*/\1/p' "$work/tls1.log")
[ -n "$port" ] || fail "the simulator did not listen"
# The device as the operator reaches it, trusting the CA file $1.
device() { echo "tls://127.0.0.1:$port?cert=$pki/operator.pem&key=$pki/operator.key&ca=$1"; }

export XDG_CONFIG_HOME="$work/config"
mkdir -p "$XDG_CONFIG_HOME/Quorvix"
# COM1 mapped to $1; six holding registers from 4 of slave 1.
write_ini() {
    printf '%s\n' '[Main Env]' 'Scan Time=300' 'Time Outs=300' 'Trans Mode=0' '[ModBus Env]' \
        'Salve ID=1' 'Read Func=0' 'Read Addr=4' 'Read Quan=6' '[Port Map]' "COM1=$1" \
        >"$XDG_CONFIG_HOME/Quorvix/Vornak.ini"
}
export QT_QPA_PLATFORM=xcb

status_bar() {
    write_ini "$1"
    VORNAK_STARTUP_SNAPSHOT="$work/$2.png" timeout 20 "$vornak" >/dev/null 2>&1 ||
        fail "the start-up snapshot for $1 failed"
    convert "$work/$2.png" -gravity South -crop "x20+0+0" +repage "$work/$2-bar.png"
}
same() { [ "$(compare -metric AE "$work/$1-bar.png" "$work/$2-bar.png" null: 2>&1)" = 0 ]; }
status_bar "tcp://127.0.0.1:$port" tcp
status_bar "$(device "$pki/ca.pem")" tls
same tls tcp && fail "the mode pane does not tell tls:// from tcp://"
cp "$work/tls-bar.png" "$out/tls-status-bar.png"
echo "e2e-tls: the mode pane names a tls:// line"

# Requests in the simulator's log: an MBAP header (six bytes), then unit 1 and the read.
requests() { grep -cE " rx ([0-9A-F]{2} ){6}01 03 00 04 00 06( |$)" "$1" || true; }
menu() {
    xdotool key --window "$wid" alt+a
    sleep 0.4
    xdotool key "$@" Return
    sleep 1.5
}

write_ini "$(device "$pki/ca.pem")"
"$vornak" >"$work/vornak.log" 2>&1 &
vornak_pid=$!
pids+=("$vornak_pid")
main_window || fail "the main window did not show"
menu Down
reads=$(requests "$work/tls1.log")
[ "$reads" -ge 3 ] || fail "expected at least 3 reads over tls:// in 1.5 s, saw $reads"
grep -q "role operator" "$work/tls1.log" || fail "the simulator did not see the operator's role"
import -window root "$out/tls-scanning.png" 2>/dev/null
echo "e2e-tls: $reads reads over tls://127.0.0.1:$port as the operator"
menu Up
for _ in $(seq 50); do kill -0 "$vornak_pid" 2>/dev/null || break; sleep 0.1; done
reads=$(requests "$work/tls1.log")  # with those the scan made before it stopped

# This end trusts another CA: the handshake fails and the scan start shows the open-failure box.
write_ini "$(device "$work/other/ca.pem")"
"$vornak" >"$work/vornak2.log" 2>&1 &
vornak_pid=$!
pids+=("$vornak_pid")
main_window || fail "the main window did not show the second time"
xdotool key --window "$wid" alt+a
sleep 0.4
xdotool key Down Return
box=$(timeout 10 xdotool search --sync --onlyvisible --name "^Vornak\$" | head -1)
[ -n "$box" ] || fail "a device from an unknown CA showed no open-failure box"
import -window root "$out/tls-refused.png" 2>/dev/null
[ "$(requests "$work/tls1.log")" = "$reads" ] || fail "a request went out over a refused line"
echo "e2e-tls: a device from another CA is refused with the open-failure box"
echo "e2e-tls: 1 passed, 0 failed"
