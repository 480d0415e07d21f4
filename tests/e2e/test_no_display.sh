#!/usr/bin/env bash
# Without a display the program says so in one line on stderr and ends with status 1,
# whatever its arguments, with no abort and no core; --help and --version still answer.
set -uo pipefail
prog=$1/VantobelPlayTray
dir=$(mktemp -d "${TMPDIR:-/tmp}/vt-nodisplay.XXXXXX")
trap 'rm -rf "$dir"' EXIT
mkdir -m 0700 "$dir/run"
export HOME=$dir XDG_RUNTIME_DIR=$dir/run VANTOBEL_LINK_DIR=$dir/run XDG_CONFIG_HOME=$dir/config XDG_DATA_HOME=$dir/data
export VANTOBEL_PLAY_HOME=$dir/prog LC_ALL=C.UTF-8 DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM XDG_SESSION_TYPE
ulimit -c 0
failed=0
fail() {
    echo "FAIL: $*" >&2
    failed=1
}
[[ -x $prog ]] || fail "no program $prog"

# A display number nobody serves.
n=$((200 + RANDOM % 700))
while [[ -e /tmp/.X11-unix/X$n ]]; do n=$((n + 1)); done

# check EXPECTED [ENV=VALUE...] -- ARGS...: one line on stderr saying EXPECTED, status 1.
check() {
    local expect=$1 envs=() status err
    shift
    while [[ $1 != -- ]]; do
        envs+=("$1")
        shift
    done
    shift
    env "${envs[@]}" timeout 20 "$prog" "$@" >"$dir/out" 2>"$dir/err"
    status=$?
    err=$(cat "$dir/err")
    [[ $status == 1 && $(grep -c . <<<"$err") == 1 && $err == *"$expect"* ]] ||
        fail "${envs[*]} $*: status $status and stderr '$err', not one line saying '$expect'"
}
none='no display to show the tray on (DISPLAY is not set)'
check "$none" -- /TRAY
check "$none" -- -v
check "$none" --
check "$none" -- '/u|||E2E|||p1|||u|||s|||p4|||p5|||p6|||p7'
check "cannot open the X display \":$n\"" DISPLAY=:$n -- /TRAY
check 'WAYLAND_DISPLAY is not set' XDG_SESSION_TYPE=wayland -- /TRAY

out=$(timeout 20 "$prog" --version) || fail "--version failed without a display"
[[ $out == "VantobelPlayTray "* ]] || fail "--version printed '$out'"
timeout 20 "$prog" --help | grep -q '^Usage: VantobelPlayTray' || fail "--help did not answer without a display"
[[ -z $(ls -A "$dir/run") && ! -e $dir/prog ]] || fail "a start without a display left files: $(ls -A "$dir/run" "$dir")"
((failed == 0)) && echo "passed"
exit $failed
