#!/usr/bin/env bash
# Without a display the program says so in one line on stderr and ends with status 1,
# whatever its arguments, with no abort and no core; --help and --version still answer.
set -uo pipefail
prog=$1/VantobelPlayTray
[[ -x $prog ]] || {
    echo "SKIP: no program $prog"
    exit 77
}
dir=$(mktemp -d "${TMPDIR:-/tmp}/vt-nodisplay.XXXXXX")
trap 'rm -rf "$dir"' EXIT
mkdir -m 0700 "$dir/run"
export HOME=$dir XDG_RUNTIME_DIR=$dir/run XDG_CONFIG_HOME=$dir/config XDG_DATA_HOME=$dir/data
export VANTOBEL_PLAY_HOME=$dir/prog LC_ALL=C.UTF-8 DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM XDG_SESSION_TYPE
ulimit -c 0
failed=0
fail() {
    echo "FAIL: $*" >&2
    failed=1
}

# A display number nobody serves.
n=$((200 + RANDOM % 700))
while [[ -e /tmp/.X11-unix/X$n ]]; do n=$((n + 1)); done

# check WHAT ENV... -- ARGS...: one line naming the display problem, status 1.
check() {
    local what=$1 envs=() status lines
    shift
    while (($#)) && [[ $1 != -- ]]; do
        envs+=("$1")
        shift
    done
    shift
    env "${envs[@]}" timeout 20 "$prog" "$@" >"$dir/out" 2>"$dir/err"
    status=$?
    lines=$(grep -c . "$dir/err")
    [[ $status == 1 ]] || fail "$what: status $status, not 1: $(cat "$dir/err")"
    [[ $lines == 1 ]] || fail "$what: $lines lines on stderr, not one: $(cat "$dir/err")"
    grep -qF -- "$expect" "$dir/err" || fail "$what: stderr does not say '$expect': $(cat "$dir/err")"
}

expect='no display to show the tray on (DISPLAY is not set)'
check "no DISPLAY, /TRAY" -- /TRAY
check "no DISPLAY, an unknown option" -- -v
check "no DISPLAY, no arguments" --
check "no DISPLAY, player data" -- '/u|||E2E|||p1|||u|||s|||p4|||p5|||p6|||p7'
expect="cannot open the X display \":$n\""
check "a display nobody serves" DISPLAY=:$n -- /TRAY
expect='WAYLAND_DISPLAY is not set'
check "a Wayland session without its display" XDG_SESSION_TYPE=wayland -- /TRAY

out=$(timeout 20 "$prog" --version) || fail "--version failed without a display"
[[ $out == "VantobelPlayTray "* ]] || fail "--version printed '$out'"
timeout 20 "$prog" --help | grep -q '^Usage: VantobelPlayTray' || fail "--help did not answer without a display"
[[ -z $(ls -A "$dir/run") && ! -e $dir/prog ]] || fail "a start without a display left files: $(ls -A "$dir/run" "$dir")"
((failed == 0)) && echo "passed"
exit $failed
