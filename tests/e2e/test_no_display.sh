#!/usr/bin/env bash
# Without a display the program says so in one line on stderr and ends with status 1,
# whatever its arguments, with no abort and no core; --help and --version still answer.
. "$(dirname "$0")/e2e-lib.sh"
prog=$1/VantobelPlayTray
[[ -x $prog ]] || e2e_fail "no program $prog"
xs_private_session "$(mktemp -d "${TMPDIR:-/tmp}/vt-nodisplay.XXXXXX")"
export VANTOBEL_PLAY_HOME=$XS_DIR/prog DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent
unset DISPLAY QT_QPA_PLATFORM
ulimit -c 0

# A display number nobody serves.
n=$((200 + RANDOM % 700))
while [[ -e /tmp/.X11-unix/X$n ]]; do n=$((n + 1)); done

# check EXPECTED ENV=VALUE ARGS...: with that setting, one line on stderr saying
# EXPECTED, and status 1.
check() {
    local status err
    env "$2" timeout 20 "$prog" "${@:3}" >/dev/null 2>"$XS_DIR/err"
    status=$?
    err=$(cat "$XS_DIR/err")
    [[ $status == 1 && $(grep -c . <<<"$err") == 1 && $err == *"$1"* ]] ||
        e2e_fail "$2 ${*:3}: status $status and stderr '$err', not one line saying '$1'"
}
none='no display to show the tray on (DISPLAY is not set)'
check "$none" LC_ALL=C.UTF-8 /TRAY
check "$none" LC_ALL=C.UTF-8 -v
check "$none" LC_ALL=C.UTF-8
check "$none" LC_ALL=C.UTF-8 "$(e2e_parent u)"
check "cannot open the X display \":$n\"" DISPLAY=:$n /TRAY
check 'WAYLAND_DISPLAY is not set' XDG_SESSION_TYPE=wayland /TRAY

out=$(timeout 20 "$prog" --version) || e2e_fail "--version failed without a display"
[[ $out == "VantobelPlayTray "* ]] || e2e_fail "--version printed '$out'"
timeout 20 "$prog" --help | grep -q '^Usage: VantobelPlayTray' || e2e_fail "--help did not answer without a display"
[[ -z $(ls -A "$XDG_RUNTIME_DIR") && ! -e $VANTOBEL_PLAY_HOME ]] ||
    e2e_fail "a start without a display left files: $(ls -A "$XDG_RUNTIME_DIR" "$XS_DIR")"
e2e_pass
