#!/usr/bin/env bash
# Drives the built vornak under Xvfb like a user: start the scan from the menu, check the
# polling in the simulator's log, double-click a line and write a value, look at the grid and
# the status bar under a floating toolbar, then switch to an ASCII slave on COM2 from the
# settings dialog and check that the polling goes on there.
set -uo pipefail
vornak=$1
slave=$2
out=${3:-$(mktemp -d)}
mkdir -p "$out"
XVFB_SESSION_NAME=vornak-e2e
# shellcheck source=tests/support/xvfb_session.sh
source "$(dirname "$0")/../support/xvfb_session.sh"
# shellcheck source=tests/e2e/main_window.sh
source "$(dirname "$0")/main_window.sh"
fail() {
    echo "e2e: FAILED: $*"
    [ -n "${DISPLAY:-}" ] && import -display "$DISPLAY" -window root "$out/failure.png" 2>/dev/null
    echo "--- COM1 log (tail)"; tail -n 15 "$work/com1.log"
    echo "--- COM2 log (tail)"; tail -n 15 "$work/com2.log" 2>/dev/null
    exit 1
}

start_xvfb 90 120 || fail "Xvfb did not start"

# Two slaves: RTU id 1 on COM1, ASCII id 1 on COM2.
"$slave" --log --link "$work/COM1" >"$work/com1.log" 2>&1 &
pids+=($!)
"$slave" --log --mode ascii --link "$work/COM2" >"$work/com2.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -e "$work/COM1" ] && [ -e "$work/COM2" ] && break; sleep 0.1; done
[ -e "$work/COM1" ] && [ -e "$work/COM2" ] || fail "the simulators did not start"

# Stored settings: 500 ms period, slave 1, holding registers from 4, six of them.
export XDG_CONFIG_HOME="$work/config"
mkdir -p "$XDG_CONFIG_HOME/Quorvix"
cat >"$XDG_CONFIG_HOME/Quorvix/Vornak.ini" <<'INI'
[Main Env]
Scan Time=500
Time Outs=300
[ModBus Env]
Salve ID=1
Read Func=0
Read Addr=4
Read Quan=6
INI
export VORNAK_COM1="$work/COM1" VORNAK_COM2="$work/COM2"
export QT_QPA_PLATFORM=xcb
"$vornak" >"$work/vornak.log" 2>&1 &
vornak_pid=$!
pids+=($vornak_pid)

main_window || fail "the main window did not show"

# The function list is flat at rest, sunken under the mouse (a shadow line on top, a highlight
# line at the bottom), and flat again soon after the mouse leaves. Compared down one column
# across the list, in window coordinates.
column() {
    convert "$1" -crop "1x50+$((X + 300))+$((Y + 40))" +repage -depth 8 txt:- |
        tail -n +2 | awk '{print $3}'
}
eval "$(xdotool getwindowgeometry --shell "$wid")"
xdotool mousemove $((X + WIDTH + 40)) $((Y + 20))
sleep 0.3
import -window root "$out/list-flat.png"
xdotool mousemove --window "$wid" 300 70
sleep 0.25
import -window root "$out/list-hover.png"
xdotool mousemove $((X + WIDTH + 40)) $((Y + 20))
sleep 0.3
import -window root "$out/list-left.png"
paste <(column "$out/list-flat.png") <(column "$out/list-hover.png") | awk '
    $1 != $2 && !top { top = NR; topFlat = $1; topHover = $2 }
    $1 != $2 { bottom = NR; bottomHover = $2 }
    END {
        if (!top) { print "no change under the mouse"; exit 1 }
        # Shadow above, highlight below: the top line is darker than the face it replaces.
        if (topHover >= topFlat) { print "top line " topHover " not darker than " topFlat; exit 1 }
        if (bottomHover <= topHover) { print "bottom line " bottomHover " not lighter"; exit 1 }
    }' || fail "the function list did not sink under the mouse"
cmp -s <(column "$out/list-flat.png") <(column "$out/list-left.png") ||
    fail "the function list was not flat again 300 ms after the mouse left"
echo "e2e: the function list sinks under the mouse and is flat again after it leaves"

# 동작(&A) -> 데이타 스캔 시작 (the first item is the settings, then a separator).
xdotool key --window "$wid" alt+a
sleep 0.4
xdotool key Down Return
sleep 3.2

# Reads of slave 1, function 3, address 4, quantity 6, about one period apart.
reads=$(grep -E ' rx 01 03 00 04 00 06 ' "$work/com1.log" | awk '{print $1}')
count=$(echo "$reads" | grep -c . || true)
[ "$count" -ge 4 ] || fail "expected at least 4 reads in 3.2 s, saw $count"
echo "$reads" | awk -F'[:.]' '
    { t = (($1 * 60 + $2) * 60 + $3) * 1000 + $4
      if (NR > 1) { d = t - prev; if (d < 400 || d > 900) bad = bad " " d }
      prev = t }
    END { if (bad != "") { print "periods off:" bad; exit 1 } }' || fail "reads not one period apart"
echo "e2e: $count reads one scan period apart"

open_write_dialog || fail "double-clicking the list opened no write dialog"
import -window root "$out/write-dialog.png" 2>/dev/null
# OK has the focus; the value edit is four tab stops on. An empty value first: Enter closes
# the stop box (the dialog swallows only its own Enter), and the dialog stays.
xdotool key --window "$dialog" Tab Tab Tab Tab ctrl+a BackSpace Tab space
box=$(timeout 5 xdotool search --sync --onlyvisible --name "^Vornak\$" | head -1)
[ -n "$box" ] || fail "an empty value showed no message box"
import -window "$box" "$out/messagebox.png" 2>/dev/null
xdotool key Return
sleep 0.5
xdotool search --onlyvisible --name "^Vornak\$" >/dev/null && fail "Enter left the empty-value box open"
xdotool search --onlyvisible --name "데이타 쓰기" >/dev/null || fail "the write dialog closed with the box"
xdotool key --window "$dialog" Tab Tab Tab Tab ctrl+a
xdotool type --window "$dialog" --delay 30 "0x1234"
xdotool key --window "$dialog" Tab space
sleep 1.5
grep -qE ' rx 01 06 00 0[4-9A-F] 12 34 ' "$work/com1.log" || fail "the write did not reach the slave"
# The dialog gave the keyboard focus back to the main window, with no window manager about.
[ "$(xdotool getwindowfocus 2>/dev/null)" = "$wid" ] ||
    fail "the main window did not get the focus back after the write dialog"
echo "e2e: write of 0x1234 seen on the line: $(grep -E ' rx 01 06 ' "$work/com1.log" | tail -1)"
sleep 1
import -window root "$out/scanning.png" 2>/dev/null
import -window "$wid" "$out/screenshot.png" 2>/dev/null

# Grid lines: a column of the list right of its texts crosses them as separate non-white runs.
eval "$(xdotool getwindowgeometry --shell "$wid")"
runs=$(convert "$out/scanning.png" -crop "1x$((HEIGHT * 16 / 100))+$((X + WIDTH - 60))+$((Y + HEIGHT * 38 / 100))" \
    -depth 8 txt:- | awk 'NR > 1 { w = $3 == "#FFFFFF"; if (!w && !was) n++; was = !w } END { print n + 0 }')
[ "$runs" -ge 3 ] || fail "no grid lines between the list lines ($runs runs)"

# Floating the toolbar (its gripper dragged off the window) keeps the status bar's right end,
# panes and lit lamps, as it was.
panes() {
    import -window root "$work/root.png"
    eval "$(xdotool getwindowgeometry --shell "$wid")"
    convert "$work/root.png" -crop "300x18+$((X + WIDTH - 300))+$((Y + HEIGHT - 20))" +repage "$1"
}
panes "$work/docked.png"
xdotool mousemove $((X + 5)) $((Y + 34)) mousedown 1 sleep 0.2 mousemove $((X + 30)) $((Y + 40)) \
    sleep 0.2 mousemove $((X + WIDTH + 150)) $((Y + 100)) sleep 0.3 mouseup 1 sleep 1
panes "$work/floating.png"
[ "$(compare -metric AE "$work/docked.png" "$work/floating.png" null: 2>&1)" = 0 ] &&
    [ "$(convert "$work/floating.png" -depth 8 txt:- | grep -ci '#00FF00')" -gt 0 ] ||
    fail "the status bar lost its panes or lamps when the toolbar floated"
# A click on the message pane gives the keyboard back to the main window.
xdotool mousemove $((X + 40)) $((Y + HEIGHT - 10)) click 1 sleep 0.3

# 통신 환경 설정: COM2, ASCII, confirm. The port list has the focus.
xdotool key alt+a
sleep 0.4
xdotool key Return
settings=$(timeout 10 xdotool search --sync --name "통신 설정 환경" | head -1)
[ -n "$settings" ] || fail "the settings dialog did not open"
sleep 0.3
xdotool key --window "$settings" Down
# ASCII by mouse: the mode buttons carry no tab stop, as on the platform.
xdotool mousemove --window "$settings" 113 144 click 1
sleep 0.2
import -window root "$out/settings-dialog.png" 2>/dev/null
import -window "$settings" "$out/settings.png" 2>/dev/null
# Time-out, character interval, scan time, then OK.
xdotool key --window "$settings" Tab Tab Tab Tab space
sleep 3
ascii=$(grep -cE ' rx 01 03 00 04 00 06 ' "$work/com2.log" || true)
[ "$ascii" -ge 3 ] || fail "expected the polling to go on at COM2 in ASCII, saw $ascii reads"
echo "e2e: after the switch, $ascii reads on the ASCII slave at COM2"
import -window root "$out/after-switch.png" 2>/dev/null

# Closing the window ends the program and saves the settings.
[ "$(xdotool getwindowfocus 2>/dev/null)" = "$wid" ] ||
    fail "the main window did not get the focus back after the settings dialog"
xdotool key alt+a
sleep 0.3
xdotool key Up Return
for _ in $(seq 50); do kill -0 "$vornak_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$vornak_pid" 2>/dev/null && fail "vornak did not end on 종료"
grep -q 'COM%20Port=1' "$XDG_CONFIG_HOME/Quorvix/Vornak.ini" || fail "the new port was not saved"
grep -q 'Trans%20Mode=1' "$XDG_CONFIG_HOME/Quorvix/Vornak.ini" || fail "the new mode was not saved"
echo "e2e: 1 passed, 0 failed"
