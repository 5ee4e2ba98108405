# Sourced by the scripts that drive the real program: a scratch folder ($work), the
# processes to end with it ($pids), and start_xvfb FIRST LAST, which starts Xvfb on the first
# free display of that range, exports DISPLAY and fails when the server does not answer.
work=$(mktemp -d "/tmp/${XVFB_SESSION_NAME:-vornak}.XXXXXX")
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

start_xvfb() {
    local n display=""
    for n in $(seq "$1" "$2"); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=":$n"; break; }
    done
    [ -n "$display" ] || return 1
    Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
    pids+=($!)
    export DISPLAY=$display
    for _ in $(seq 50); do
        xdpyinfo >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}
