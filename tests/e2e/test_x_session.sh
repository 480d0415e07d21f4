#!/usr/bin/env bash
# The test desktop itself: it comes up with a window manager, a system tray, private
# folders and the stand-in browser, and its teardown leaves no process or file
# behind, not even one that a program under test started detached.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$(mktemp -d "${TMPDIR:-/tmp}/vt-xsession-check.XXXXXX")
trap 'rm -rf "$out"' EXIT
fail() { echo "[test_x_session] FAIL: $*" >&2; exit 1; }

timeout 60 "$here/x-session.sh" -- bash -c '
    set -u
    echo "$DISPLAY" >"'"$out"'/display"
    echo "$XS_DIR" >"'"$out"'/dir"
    xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id" || echo "no window manager" >>"'"$out"'/errors"
    [[ -n $XS_TRAY_PANEL ]] || echo "no tray panel" >>"'"$out"'/errors"
    [[ $(stat -c %a "$XDG_RUNTIME_DIR") == 700 ]] || echo "runtime folder not private" >>"'"$out"'/errors"
    [[ $HOME == "$XS_DIR"/* && $XDG_CONFIG_HOME == "$XS_DIR"/* ]] || echo "home not private" >>"'"$out"'/errors"
    [[ $DBUS_SESSION_BUS_ADDRESS == unix:path=/nonexistent ]] || echo "a session bus is reachable" >>"'"$out"'/errors"
    xdg-open "http://127.0.0.1:1/opened?a=1&b=2"
    "$BROWSER" "https://example.invalid/second"
    [[ $(cat "$XS_DIR/browser.log") == $'"'"'http://127.0.0.1:1/opened?a=1&b=2\nhttps://example.invalid/second'"'"' ]] ||
        echo "stand-in browser did not record: $(cat "$XS_DIR/browser.log")" >>"'"$out"'/errors"
    # A program that detaches from us must still go at the teardown.
    setsid sleep 300 </dev/null >/dev/null 2>&1 &
    echo $! >"'"$out"'/detached"
' || fail "the session did not run (exit $?)"

[[ ! -s $out/errors ]] || fail "$(cat "$out/errors")"
display=$(cat "$out/display")
[[ $display == :[0-9]* ]] || fail "no display was set"
[[ ! -e /tmp/.X11-unix/X${display#:} ]] || fail "the X server of $display is still there"
[[ ! -e $(cat "$out/dir") ]] || fail "the session folder was left behind"
detached=$(cat "$out/detached")
if [[ -n $detached ]] && kill -0 "$detached" 2>/dev/null &&
    grep -qz "XS_TAG=" "/proc/$detached/environ" 2>/dev/null; then
    fail "the detached process $detached outlived the session"
fi
echo "[test_x_session] passed"
