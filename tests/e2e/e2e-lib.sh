#!/usr/bin/env bash
# Shared steps of the end-to-end tests: a fresh X session (x-session.sh), a copy of
# the built program folder with the demo stand-ins beside the program (the demo
# vendor service, player and updater), and small checks that wait by polling with a
# time limit.
#
#   . e2e-lib.sh; e2e_init <build/bin> [seconds]; ...; e2e_pass
#
# Exit codes: 0 passed, 1 failed, 77 skipped (a binary of ours is not built yet).

set -uo pipefail

E2E_HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$E2E_HERE/x-session.sh"

E2E_BUILD_BIN=
# Where the demo stand-ins are built (CTest sets it; else the build's demo-bin/).
E2E_DEMO_BIN=${E2E_DEMO_BIN:-}
E2E_PROG=
E2E_PORT=
E2E_TRAY_PID=
E2E_PLAYER_PID=
E2E_NAME=$(basename "$0" .sh)

e2e_note() { printf '[%s] %s\n' "$E2E_NAME" "$*" >&2; }

e2e_dump_logs() {
    local f pid
    [[ -n $XS_DIR && -d $XS_DIR/log ]] || return 0
    echo "----- processes of this session" >&2
    for pid in $(xs_tagged_pids); do
        ps -o pid=,stat=,args= -p "$pid" >&2
    done
    for f in "$XS_DIR"/log/*.log "$XS_DIR"/browser.log "${VANTOBEL_PLAYER_LOG:-}"; do
        [[ -s $f ]] || continue
        printf -- '----- %s (last 40 lines)\n' "${f#"$XS_DIR"/}" >&2
        tail -n 40 "$f" >&2
    done
}

e2e_fail() {
    e2e_note "FAIL: $*"
    e2e_dump_logs
    exit 1
}

e2e_pass() {
    e2e_note "passed"
    exit 0
}

# e2e_check DESCRIPTION COMMAND...: the command must succeed now.
e2e_check() {
    local what=$1
    shift
    "$@" >/dev/null 2>&1 || e2e_fail "$what"
}

# e2e_eventually SECONDS DESCRIPTION COMMAND...: the command must succeed within the time.
e2e_eventually() {
    local limit=$1 what=$2
    shift 2
    xs_wait "$limit" "$what" "$@" || e2e_fail "$what"
}

# e2e_never SECONDS DESCRIPTION COMMAND...: the command must not succeed at any poll
# during the time (used only where something must stay absent).
e2e_never() {
    local limit=$1 what=$2
    shift 2
    local deadline=$((SECONDS + limit))
    while ((SECONDS < deadline)); do
        if "$@" >/dev/null 2>&1; then
            e2e_fail "$what"
        fi
        sleep 0.1
    done
}

# e2e_need NAME...: skip (77) when one of our binaries (program or stand-in) is not built.
e2e_need() {
    local name
    for name in "$@"; do
        if [[ ! -x $E2E_BUILD_BIN/$name && ! -x $E2E_DEMO_BIN/$name ]]; then
            e2e_note "SKIP: $name is built neither in $E2E_BUILD_BIN nor in $E2E_DEMO_BIN"
            exit 77
        fi
    done
}

# e2e_lay_out_program: a fresh copy of the built program folder in $E2E_PROG, with no
# user data, and the demo stand-ins beside it where the tray looks for the player.
e2e_lay_out_program() {
    E2E_DEMO_BIN=${E2E_DEMO_BIN:-$(dirname "$E2E_BUILD_BIN")/demo-bin}
    mkdir -p "$E2E_PROG"
    (cd "$E2E_BUILD_BIN" && tar --exclude='./Users/*/Info.db-journal' --exclude='./*.debug' -cf - .) | (cd "$E2E_PROG" && tar -xf -)
    find "$E2E_PROG/Users" -mindepth 1 -maxdepth 1 -type d ! -name 'All Users' -exec rm -rf {} + 2>/dev/null
    rm -f "$E2E_PROG/Users/All Users/Sys.ini"
    if [[ -d $E2E_DEMO_BIN ]]; then
        cp -p "$E2E_DEMO_BIN"/* "$E2E_PROG"/ || e2e_fail "could not copy the demo stand-ins"
    fi
}

# e2e_watchdog SECONDS: the test's own time limit, below ctest's, so the teardown
# always runs.
e2e_watchdog() {
    (
        sleep "$1"
        echo "[$E2E_NAME] time limit of ${1}s reached" >&2
        kill -TERM $$ 2>/dev/null
    ) &
    XS_PIDS+=($!)
}

# e2e_menus: the tray's menus on screen, override-redirect windows of the tray that
# are neither the icon nor a tooltip.
e2e_menus() {
    local w icons
    icons=$(e2e_icons | xargs -r printf '%d\n')
    for w in $(e2e_tray_windows); do
        grep -qx "$w" <<<"$icons" && continue
        e2e_is_override_redirect "$w" || continue
        xprop -id "$w" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q TOOLTIP && continue
        echo "$w"
    done
}
e2e_menu_open() { [[ -n $(e2e_menus) ]]; }

# e2e_init BUILD_BIN SECONDS BINARY...: checks the binaries, starts the X session
# and a watchdog, and lays out a private program folder.
e2e_init() {
    E2E_BUILD_BIN=$(cd "$1" 2>/dev/null && pwd) || {
        e2e_note "SKIP: no program folder $1"
        exit 77
    }
    E2E_DEMO_BIN=${E2E_DEMO_BIN:-$(dirname "$E2E_BUILD_BIN")/demo-bin}
    local limit=$2
    shift 2
    e2e_need "$@"
    for tool in sqlite3 xwininfo xprop; do
        command -v "$tool" >/dev/null || e2e_fail "missing tool $tool (scripts/install-deps.sh installs it)"
    done
    xs_start || e2e_fail "the X session did not come up"

    e2e_watchdog "$limit"

    E2E_PROG=$XS_DIR/prog
    mkdir -p "$E2E_PROG"
    # The program folder without what other tests left in its Users folder.
    e2e_lay_out_program
    export VANTOBEL_PLAY_HOME=$E2E_PROG
    # Every demo player, also one the tray starts, records its commands here.
    export VANTOBEL_PLAYER_LOG=$XS_DIR/player-commands.log
    : >"$VANTOBEL_PLAYER_LOG"
    export VANTOBEL_TRAY_TICK_MS=${VANTOBEL_TRAY_TICK_MS:-5}
}

# e2e_service [NOTICES_FILE [OPTION...]]: starts the demo vendor service on a free port
# (with the further options) and points the copied Bin/Settings.xml at it.
e2e_service() {
    local args=(--port 0)
    [[ -n ${1:-} ]] && args+=(--notices "$1")
    (($# > 1)) && args+=("${@:2}")
    xs_spawn service "$E2E_PROG/vantobel-vendor-service" "${args[@]}"
    e2e_eventually 15 "the vendor service to listen" grep -q 'listening on http://127.0.0.1:[0-9]' "$XS_DIR/log/service.log"
    E2E_PORT=$(sed -n 's|.*listening on http://127.0.0.1:\([0-9]*\).*|\1|p' "$XS_DIR/log/service.log" | head -n1)
    local settings=$E2E_PROG/Bin/Settings.xml
    [[ -f $settings ]] || e2e_fail "no Bin/Settings.xml in the program folder"
    sed -i "s|http://127.0.0.1:[0-9]*|http://127.0.0.1:$E2E_PORT|g" "$settings"
    grep -q "127.0.0.1:$E2E_PORT/notice" "$settings" || e2e_fail "Settings.xml has no notice address to point at the service"
}

# How many notice requests the service has answered.
e2e_notice_requests() { grep -c 'GET /notice?' "$XS_DIR/log/service.log" 2>/dev/null || true; }

# e2e_tray ARGS...: starts the tray from the copied folder (the first copy, in the background).
e2e_tray() {
    xs_spawn tray "$E2E_PROG/VantobelPlayTray" "$@"
    E2E_TRAY_PID=${XS_PIDS[-1]}
}

# e2e_tray_again ARGS...: a second start; it must forward and end on its own.
e2e_tray_again() {
    timeout 20 "$E2E_PROG/VantobelPlayTray" "$@" >>"$XS_DIR/log/tray-second.log" 2>&1
}

e2e_running() { kill -0 "$1" 2>/dev/null && [[ $(ps -o stat= -p "$1" 2>/dev/null) != Z* ]]; }

# The tray's icon windows inside trayer's panel.
e2e_icons() { xs_tray_icons VantobelPlayTray; }
e2e_icon_count() { e2e_icons | grep -c . || true; }
e2e_has_icon() { [[ $(e2e_icon_count) -ge 1 ]]; }

# e2e_wait_icon: waits for exactly one embedded icon and sets E2E_ICON.
e2e_wait_icon() {
    e2e_eventually 20 "the tray icon to be embedded in trayer's panel" e2e_has_icon
    E2E_ICON=$(e2e_icons | head -n1)
}

# Visible top-level windows of the tray program (pop-ups, menus, boxes).
e2e_tray_windows() { xdotool search --onlyvisible --class VantobelPlayTray 2>/dev/null | sort -n; }

# e2e_window_geometry ID: prints "x y width height" of the window's frame-less area.
e2e_window_geometry() {
    xwininfo -id "$1" 2>/dev/null | awk '
        /Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
        /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}'
}

# e2e_player: starts the demo player and waits for its link socket.
e2e_player() {
    xs_spawn player "$E2E_PROG/VantobelPlay" "$@"
    E2E_PLAYER_PID=${XS_PIDS[-1]}
    e2e_eventually 15 "the demo player to listen" test -S "$XDG_RUNTIME_DIR/VantobelPlay|VantobelPlayDDEForm"
}

# e2e_player_got TEXT: the demo player has recorded exactly this command line.
e2e_player_got() { grep -qxF -- "$1" "$VANTOBEL_PLAYER_LOG"; }
e2e_player_lines() { grep -c . "$VANTOBEL_PLAYER_LOG" 2>/dev/null || true; }

# Fresh Info.db for a user, copied from the template, so a test can set settings first.
e2e_user_db() {
    local user=${1:-guest}
    mkdir -p "$E2E_PROG/Users/$user"
    cp "$E2E_PROG/Users/All Users/Info.db" "$E2E_PROG/Users/$user/Info.db"
    echo "$E2E_PROG/Users/$user/Info.db"
}

e2e_sql() { sqlite3 -batch -noheader "$1" "$2" 2>/dev/null; }

# e2e_link_send TOPIC COMMAND: one command over the player link, as another program.
e2e_link_send() { timeout 20 perl "$E2E_HERE/link-send.pl" "$@"; }
e2e_tray_send() { e2e_link_send 'VantobelPlayTray|VantobelPlayTrayDDEForm' "$1"; }

# e2e_quit_tray: "/exit" over the link; the tray must end by itself.
e2e_quit_tray() {
    e2e_tray_send /exit || e2e_fail "the tray did not accept /exit"
    e2e_eventually 15 "the tray to end after /exit" eval '! e2e_running "$E2E_TRAY_PID"'
}

e2e_is_override_redirect() { xwininfo -id "$1" 2>/dev/null | grep -q 'Override Redirect State: yes'; }

# The tray's managed top-level windows on screen (pop-ups, boxes, dialogs): no menus,
# no tooltips, no icon.
e2e_managed_windows() {
    local w icons
    icons=$(e2e_icons | xargs -r printf '%d\n')
    for w in $(e2e_tray_windows); do
        grep -qx "$w" <<<"$icons" && continue
        e2e_is_override_redirect "$w" && continue
        echo "$w"
    done
}
e2e_managed_count() { e2e_managed_windows | grep -c . || true; }

# Pixels of a window, as a digest (the icon's look).
e2e_look() { import -window "$1" rgb:- 2>/dev/null | md5sum | cut -d' ' -f1; }

# e2e_click_icon BUTTON: one click on the tray icon. Two clicks closer than the
# double-click time would reach the tray as one double click, so clicks are spaced.
E2E_LAST_CLICK_MS=0
e2e_click_icon() {
    local now gap
    now=$(($(date +%s%N) / 1000000))
    gap=$((now - E2E_LAST_CLICK_MS))
    if ((gap < 700)); then
        sleep "0.$(printf '%03d' $((700 - gap)))"
    fi
    xdotool mousemove --window "$E2E_ICON" 11 11 click "$1"
    E2E_LAST_CLICK_MS=$(($(date +%s%N) / 1000000))
}
