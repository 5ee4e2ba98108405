# shellcheck shell=bash
# Sourced by the e2e scripts after start_xvfb: the program's windows as a user reaches them.

# The main window's id in $wid, activated; false when it did not show within 20 s.
main_window() {
    wid=$(timeout 20 xdotool search --sync --name "Modbus Master Scan Program" | head -1)
    [ -n "$wid" ] || return 1
    xdotool windowactivate --sync "$wid" 2>/dev/null || xdotool windowfocus --sync "$wid"
    sleep 0.5
}

# Double-clicks points down the list until the write dialog opens, its id then in $dialog;
# false when none opened it. Leaves the main window's geometry in X, Y, WIDTH and HEIGHT.
open_write_dialog() {
    local frac
    eval "$(xdotool getwindowgeometry --shell "$wid")"
    dialog=""
    for frac in $(seq 40 4 80); do
        xdotool mousemove --window "$wid" $((WIDTH / 2)) $((HEIGHT * frac / 100)) \
            click --repeat 2 --delay 80 1
        sleep 0.6
        dialog=$(xdotool search --name "데이타 쓰기" 2>/dev/null | head -1)
        [ -n "$dialog" ] && return 0
    done
    return 1
}
