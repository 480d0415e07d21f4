#!/usr/bin/env bash
# Shared steps of the end-to-end tests: a fresh X session (x-session.sh), a copy of
# the built program folder with the demo stand-ins beside the program (the demo
# vendor service, player and updater), notices and user databases made to order,
# and checks that wait by polling with a time limit.
#
#   . e2e-lib.sh; e2e_init <build/bin> SECONDS BINARY...; ...; e2e_pass
#
# Exit codes: 0 passed, 1 failed. Nothing skips: what is missing fails the test.

set -uo pipefail

E2E_HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$E2E_HERE/x-session.sh"

# Where the demo stand-ins are built (CTest sets it; else the build's demo-bin/).
E2E_DEMO_BIN=${E2E_DEMO_BIN:-}
E2E_NAME=$(basename "$0" .sh)

e2e_note() { printf '[%s] %s\n' "$E2E_NAME" "$*" >&2; }

e2e_dump_logs() {
    local f
    [[ -n $XS_DIR && -d $XS_DIR/log ]] || return 0
    echo "----- processes of this session" >&2
    xs_tagged_pids | paste -sd, | xargs -r ps -o pid=,stat=,args= -p >&2
    for f in "$XS_DIR"/log/*.log "$XS_DIR"/browser.log "${VANTOBEL_PLAYER_LOG:-}"; do
        [[ -s $f ]] || continue
        printf -- '----- %s (last 40 lines)\n' "${f#"$XS_DIR"/}" >&2
        tail -n 40 "$f" >&2
    done
}

e2e_fail() { e2e_note "FAIL: $*"; e2e_dump_logs; exit 1; }
e2e_pass() { e2e_note passed; exit 0; }

# e2e_check DESCRIPTION COMMAND...: the command must succeed now.
e2e_check() { "${@:2}" >/dev/null 2>&1 || e2e_fail "$1"; }

# e2e_eventually SECONDS DESCRIPTION COMMAND...: the command must succeed within the time.
e2e_eventually() { xs_wait "$@" || e2e_fail "$2"; }

# e2e_never SECONDS DESCRIPTION COMMAND...: the command must not succeed at any poll
# during the time (used only where something must stay absent).
e2e_never() { ! xs_wait "$@" 2>/dev/null || e2e_fail "$2"; }

# e2e_need TOOL...: every tool must be installed (scripts/install-deps.sh installs them).
e2e_need() { for t in "$@"; do command -v "$t" >/dev/null || e2e_fail "missing tool $t (scripts/install-deps.sh installs it)"; done; }

# e2e_init BUILD_BIN SECONDS BINARY...: checks the binaries, starts the X session (or,
# with E2E_DESKTOP set, only the private folders: the desktop brings its own display)
# and a watchdog, and lays out a private program folder.
e2e_init() {
    E2E_BUILD_BIN=$(cd "$1" 2>/dev/null && pwd) || e2e_fail "no program folder $1"
    E2E_DEMO_BIN=${E2E_DEMO_BIN:-$(dirname "$E2E_BUILD_BIN")/demo-bin}
    local limit=$2 name
    shift 2
    for name in "$@"; do
        [[ -x $E2E_BUILD_BIN/$name || -x $E2E_DEMO_BIN/$name ]] ||
            e2e_fail "$name is built neither in $E2E_BUILD_BIN nor in $E2E_DEMO_BIN"
    done
    e2e_need sqlite3 xwininfo xprop xdotool
    if [[ -n ${E2E_DESKTOP:-} ]]; then
        xs_private_session "$(mktemp -d "${TMPDIR:-/tmp}/vt-desktop.XXXXXX")"
        unset DISPLAY XAUTHORITY QT_QPA_PLATFORM
        export GSETTINGS_BACKEND=memory
        # Services the bus starts on demand get this session's folders, never the real home's.
        dbus-update-activation-environment --all >/dev/null 2>&1 || e2e_fail "could not set the bus's activation environment"
    else
        xs_start || e2e_fail "the X session did not come up"
    fi
    # The test's own time limit, below ctest's, so the teardown always runs.
    (
        sleep "$limit"
        echo "[$E2E_NAME] time limit of ${limit}s reached" >&2
        kill -TERM $$ 2>/dev/null
    ) &
    XS_PIDS+=($!)

    # A fresh copy of the built program folder with no user data, and the demo
    # stand-ins beside it where the tray looks for the player.
    E2E_PROG=$XS_DIR/prog
    mkdir -p "$E2E_PROG"
    (cd "$E2E_BUILD_BIN" && tar --exclude='./Users/*/Info.db-journal' --exclude='./*.debug' -cf - .) | (cd "$E2E_PROG" && tar -xf -)
    find "$E2E_PROG/Users" -mindepth 1 -maxdepth 1 -type d ! -name 'All Users' -exec rm -rf {} + 2>/dev/null
    rm -f "$E2E_PROG/Users/All Users/Sys.ini"
    [[ ! -d $E2E_DEMO_BIN ]] || cp -p "$E2E_DEMO_BIN"/* "$E2E_PROG"/ || e2e_fail "could not copy the demo stand-ins"
    export VANTOBEL_PLAY_HOME=$E2E_PROG
    # Every demo player and updater, also one the tray starts, records its commands here.
    export VANTOBEL_PLAYER_LOG=$XS_DIR/player-commands.log VANTOBEL_UPDATER_LOG=$XS_DIR/updater-commands.log
    : >"$VANTOBEL_PLAYER_LOG"
    export VANTOBEL_TRAY_TICK_MS=${VANTOBEL_TRAY_TICK_MS:-5}
}

# e2e_notices FILE KIND [TITLE PATH TYPE TIMES]...: a notices file for the demo service,
# handing out each notice TIMES times in a row (an empty title and path: the empty notice).
e2e_notices() {
    local file=$1 kind=$2 i
    shift 2
    {
        echo '<?xml version="1.0" encoding="utf-8"?>'
        echo '<Notices>'
        while (($# >= 4)); do
            for ((i = 0; i < $4; i++)); do
                printf '  <Notice kind="%s"><Title>%s</Title><Url>%s</Url><Pic></Pic><Brief>简介：%s</Brief><TypeStr>%s</TypeStr>%s\n' \
                    "$kind" "$1" "$2" "$1" "$3" '<CrowdType>全部</CrowdType><Area>全国</Area><TimeAxes>2026-03-01 08:00:00</TimeAxes></Notice>'
            done
            shift 4
        done
        echo '</Notices>'
    } >"$file"
}

# e2e_service [NOTICES_FILE [OPTION...]]: starts the demo vendor service on a free port
# (with the further options) and points the copied Bin/Settings.xml at it.
e2e_service() {
    local args=(--port 0)
    [[ -n ${1:-} ]] && args+=(--notices "$1")
    (($# > 1)) && args+=("${@:2}")
    xs_spawn service "$E2E_PROG/vantobel-vendor-service" "${args[@]}"
    E2E_SERVICE_PID=${XS_PIDS[-1]}
    e2e_eventually 15 "the vendor service to listen" grep -q 'listening on http://127.0.0.1:[0-9]' "$XS_DIR/log/service.log"
    E2E_PORT=$(sed -n 's|.*listening on http://127.0.0.1:\([0-9]*\).*|\1|p' "$XS_DIR/log/service.log" | head -n1)
    local settings=$E2E_PROG/Bin/Settings.xml
    [[ -f $settings ]] || e2e_fail "no Bin/Settings.xml in the program folder"
    sed -i "s|http://127.0.0.1:[0-9]*|http://127.0.0.1:$E2E_PORT|g" "$settings"
    grep -q "127.0.0.1:$E2E_PORT/notice" "$settings" || e2e_fail "Settings.xml has no notice address to point at the service"
}

# e2e_serve KIND [TITLE PATH TYPE TIMES]...: the demo service handing out these notices.
e2e_serve() { e2e_notices "$XS_DIR/notices.xml" "$@" && e2e_service "$XS_DIR/notices.xml"; }

# How many notice requests the service has answered.
e2e_notice_requests() { grep -c 'GET /notice?' "$XS_DIR/log/service.log" 2>/dev/null || true; }

# e2e_fields NAME: the seven fields of a player's user NAME; e2e_parent NAME: the
# command line of the parent player's user.
e2e_fields() { echo "p1|||$1|||secret|||p4|||p5|||p6|||p7"; }
e2e_parent() { echo "/u|||E2E|||$(e2e_fields "$1")"; }

# e2e_tray ARGS...: starts the tray from the copied folder (the first copy, in the background).
e2e_tray() {
    xs_spawn tray "$E2E_PROG/VantobelPlayTray" "$@"
    E2E_TRAY_PID=${XS_PIDS[-1]}
}

e2e_running() { kill -0 "$1" 2>/dev/null && [[ $(ps -o stat= -p "$1" 2>/dev/null) != Z* ]]; }

# The tray's icon windows inside trayer's panel.
e2e_icons() { xs_tray_icons VantobelPlayTray; }
e2e_icon_count() { e2e_icons | grep -c .; }

# e2e_wait_icon: waits for an embedded icon and sets E2E_ICON.
e2e_wait_icon() {
    e2e_eventually 20 "the tray icon to be embedded in trayer's panel" eval '(($(e2e_icon_count) >= 1))'
    E2E_ICON=$(e2e_icons | head -n1)
}

# Visible top-level windows of the tray program (pop-ups, menus, boxes); e2e_window_named
# TITLE: the first visible window of any program titled so (TITLE a regular expression).
e2e_tray_windows() { xdotool search --onlyvisible --class VantobelPlayTray 2>/dev/null | sort -n; }
e2e_window_named() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1 | grep .; }

# e2e_window_geometry ID: prints "x y width height" of the window's frame-less area.
e2e_window_geometry() {
    xwininfo -id "$1" 2>/dev/null | awk '
        /Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
        /Width:/ {w=$NF} /Height:/ {h=$NF} END {if (h != "") print x, y, w, h}'
}

# e2e_player: starts the demo player and waits for its link socket.
e2e_player() {
    xs_spawn player "$E2E_PROG/VantobelPlay" "$@"
    E2E_PLAYER_PID=${XS_PIDS[-1]}
    e2e_eventually 15 "the demo player to listen" test -S "$XDG_RUNTIME_DIR/VantobelPlay|VantobelPlayDDEForm"
}

# e2e_player_got TEXT: the demo player has recorded exactly this command line.
e2e_player_got() { grep -qxF -- "$1" "$VANTOBEL_PLAYER_LOG"; }

# e2e_user_db USER [keep]: a fresh Info.db for the user, copied from the template, so a
# test can set settings first; with "keep" no notice closes by itself (to be counted).
e2e_user_db() {
    local user=${1:-guest} db
    db=$E2E_PROG/Users/$user/Info.db
    mkdir -p "$E2E_PROG/Users/$user"
    cp "$E2E_PROG/Users/All Users/Info.db" "$db"
    [[ ${2:-} != keep ]] || e2e_sql "$db" "delete from SoftSettings where FieldStr like 'PopAutoClose%'"
    echo "$db"
}

e2e_sql() { sqlite3 -batch -noheader "$1" "$2" 2>/dev/null; }
e2e_rows() { e2e_sql "$1" "select count(*) from HistoryNews${2:+ where $2}"; }

# e2e_link_send TOPIC COMMAND: one command over the player link, as another program
# (of the user E2E_AS runs as, when set).
e2e_link_send() { ${E2E_AS:-} timeout 20 perl "$E2E_HERE/link-send.pl" "$@"; }

# e2e_quit_tray: "/exit" over the link; the tray must end by itself.
e2e_quit_tray() {
    e2e_link_send 'VantobelPlayTray|VantobelPlayTrayDDEForm' /exit || e2e_fail "the tray did not accept /exit"
    e2e_eventually 15 "the tray to end after /exit" eval '! e2e_running "$E2E_TRAY_PID"'
}

# e2e_windows managed|menus: the tray's managed top-level windows on screen (pop-ups,
# boxes, dialogs), or its menus (override-redirect, no tooltip); never the icon.
e2e_windows() {
    local w icons
    icons=$(e2e_icons | xargs -r printf '%d\n')
    for w in $(e2e_tray_windows); do
        grep -qx "$w" <<<"$icons" && continue
        if xwininfo -id "$w" 2>/dev/null | grep -q 'Override Redirect State: yes'; then
            [[ $1 == menus ]] && ! xprop -id "$w" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q TOOLTIP && echo "$w"
        else
            [[ $1 == managed ]] && echo "$w"
        fi
    done
}
e2e_managed_windows() { e2e_windows managed; }
e2e_managed_count() { e2e_windows managed | grep -c .; }
e2e_one_popup() { [[ $(e2e_managed_count) == 1 ]]; }
e2e_menu_open() { [[ -n $(e2e_windows menus) ]]; }

# e2e_menu_opens SECONDS WHY: none is open, and a right click on the icon opens the menu
# within the time (the tray is not frozen or blocked by an open prompt); Escape closes it.
e2e_menu_opens() {
    e2e_check "no menu before the right click" eval '! e2e_menu_open'
    e2e_click_icon 3
    e2e_eventually "$1" "the tray menu to open ${2:-}" e2e_menu_open
    xdotool key Escape
    e2e_eventually 10 "the tray menu to close" eval '! e2e_menu_open'
}

# e2e_click_icon BUTTON: one click on the tray icon. Two clicks closer than the
# double-click time would reach the tray as one double click, so clicks are spaced.
E2E_LAST_CLICK_MS=0
e2e_click_icon() {
    local now gap
    now=$(($(date +%s%N) / 1000000))
    gap=$((now - E2E_LAST_CLICK_MS))
    ((gap >= 700)) || sleep "0.$(printf '%03d' $((700 - gap)))"
    xdotool mousemove --window "$E2E_ICON" 11 11 click "$1"
    E2E_LAST_CLICK_MS=$(($(date +%s%N) / 1000000))
}

# e2e_popup_rests_bottom_right ID: the window has come to rest at the bottom right of
# the screen, clear of its lower edge (the frame adds a few pixels; 430 twips, about
# 29 px, stay free below the window).
e2e_popup_rests_bottom_right() {
    local x y w h sw sh
    read -r x y w h <<<"$(e2e_window_geometry "$1")"
    sleep 0.4
    [[ $(e2e_window_geometry "$1") == "$x $y $w $h" ]] || return 1
    read -r sw sh <<<"$(xdotool getdisplaygeometry)"
    [[ -n $h ]] && ((w > 150 && h > 100 && sw - x - w >= 0 && sw - x - w <= 12 &&
        sh - y - h >= 25 && sh - y - h <= 70))
}

# e2e_popup_kind_problems WINDOW [TOLERATED...]: what differs from the pop-up as
# designed, one line each (nothing when all is well): a utility window of fixed size,
# kept off the taskbar and the pager, framed by nothing of the window manager's (it
# draws its own title bar with a close button only), allowing close but neither
# minimise nor maximise (in its Motif hints, and in the actions the window manager
# allows where it lists them), and not the active window. What a window manager
# decides whatever the window asks may be tolerated: "wm-state" (it keeps only its own
# states in _NET_WM_STATE, as wlroots does for XWayland), "wm-minimise" (openbox lists
# minimise for every utility window, for its window menu; there is no button for it).
e2e_popup_kind_problems() {
    local w=$1 type state flags functions extents actions hints min max active a
    local tolerated=" ${*:2} "
    type=$(xprop -id "$w" _NET_WM_WINDOW_TYPE 2>/dev/null)
    [[ $type == *_NET_WM_WINDOW_TYPE_UTILITY* ]] || echo "not a utility window ($type)"
    state=$(xprop -id "$w" _NET_WM_STATE 2>/dev/null)
    [[ $tolerated == *" wm-state "* || ($state == *_SKIP_TASKBAR* && $state == *_SKIP_PAGER*) ]] ||
        echo "not off the taskbar and the pager ($state)"
    # Motif functions: 1 all, 8 minimise, 16 maximise, 32 close (none read: no hints). No
    # frame, checked below, leaves the decorations nothing to show.
    read -r flags functions _ < <(xprop -id "$w" _MOTIF_WM_HINTS 2>/dev/null | sed -n 's/^[^=]*= *//p' | tr -d ',')
    (((flags & 1) && !(functions & 1) && (functions & 32) && !(functions & 24))) ||
        echo "Motif functions '$functions' (flags '$flags'): a close without minimise or maximise wanted"
    extents=$(xprop -id "$w" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/^[^=]*= *//p')
    [[ -z $extents || $extents == "0, 0, 0, 0" ]] || echo "the window manager frames it ($extents)"
    actions=$(xprop -id "$w" _NET_WM_ALLOWED_ACTIONS 2>/dev/null)
    if [[ $actions == *_NET_WM_ACTION_* ]]; then
        for a in MINIMIZE MAXIMIZE_HORZ MAXIMIZE_VERT RESIZE; do
            [[ $a == MINIMIZE && $tolerated == *" wm-minimise "* ]] && continue
            [[ $actions != *_NET_WM_ACTION_$a* ]] || echo "the window manager allows $a"
        done
        [[ $actions == *_NET_WM_ACTION_CLOSE* ]] || echo "the window manager offers no close"
    fi
    hints=$(xprop -id "$w" WM_NORMAL_HINTS 2>/dev/null)
    min=$(sed -n 's/.*minimum size: *//p' <<<"$hints")
    max=$(sed -n 's/.*maximum size: *//p' <<<"$hints")
    [[ -n $min && $min == "$max" ]] || echo "not of fixed size (minimum '$min', maximum '$max')"
    active=$(xprop -root _NET_ACTIVE_WINDOW 2>/dev/null | grep -o '0x[0-9a-f]*' | head -n1)
    [[ -z $active ]] || ((active != w)) || echo "the pop-up is the active window"
}

# e2e_check_popup_kind WINDOW [TOLERATED...]: the pop-up is as designed within a few
# seconds (the window manager sets some of it once it has mapped the window).
e2e_popup_as_designed() { [[ -z $(e2e_popup_kind_problems "$@") ]]; }
e2e_check_popup_kind() {
    xs_wait 5 "the pop-up as designed" e2e_popup_as_designed "$@" ||
        e2e_fail "the pop-up is not as designed: $(e2e_popup_kind_problems "$@" | tr '\n' ';')"
}
