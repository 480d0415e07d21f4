#!/usr/bin/env bash
# A throw-away X desktop for the end-to-end tests and the demo: Xvfb on a free
# display, openbox as the window manager, trayer as the system tray, a private
# HOME/XDG/runtime folder, no session bus, and a stand-in browser that records
# the addresses it is asked to open.
#
#   . x-session.sh; xs_start; ...   (xs_stop runs on exit)
#
# After xs_start: DISPLAY, HOME, XDG_*, XDG_RUNTIME_DIR, VANTOBEL_LINK_DIR, PATH and BROWSER point
# into $XS_DIR; $XS_DIR/browser.log gets one line per opened address;
# $XS_TRAY_PANEL is trayer's panel window.

XS_DIR=
XS_PIDS=()
# The desktop's own processes (Xvfb, openbox, trayer): stopped after everything else.
XS_DISPLAY_PIDS=()
XS_TAG=
XS_TRAY_PANEL=

xs_log() { printf '[x-session] %s\n' "$*" >&2; }

# xs_wait SECONDS DESCRIPTION COMMAND...: polls COMMAND every 0.1 s until it
# succeeds; fails with a message when the time is up.
xs_wait() {
    local limit=$1 what=$2
    shift 2
    local deadline=$((SECONDS + limit))
    while ! "$@" >/dev/null 2>&1; do
        if ((SECONDS >= deadline)); then
            xs_log "timed out after ${limit}s waiting for: $what"
            return 1
        fi
        sleep 0.1
    done
}

# Starts a background process and remembers it for the teardown.
xs_spawn() {
    local logname=$1
    shift
    "$@" >>"$XS_DIR/log/$logname.log" 2>&1 &
    XS_PIDS+=($!)
}

# Every process that carries this session's tag in its environment: also those
# that the programs under test started detached (the player, the browser).
xs_tagged_pids() {
    local env pid
    for env in /proc/[0-9]*/environ; do
        pid=${env//[^0-9]/}
        [[ $pid == "$$" || $pid == "$BASHPID" ]] && continue
        grep -qzxF "XS_TAG=$XS_TAG" "$env" 2>/dev/null && echo "$pid"
    done
}

# xs_stop_pids SECONDS PID...: asks each to end, waits up to SECONDS for all of them,
# then kills what is left.
xs_stop_pids() {
    local deadline=$((SECONDS + $1))
    shift
    (($#)) || return 0
    kill -TERM "$@" 2>/dev/null
    # kill -0 succeeds while any of them is left.
    while ((SECONDS < deadline)) && kill -0 "$@" 2>/dev/null; do
        sleep 0.1
    done
    kill -KILL "$@" 2>/dev/null || true
}

# Those of the PIDs that are not the desktop's own processes.
xs_not_desktop() {
    local pid display=" ${XS_DISPLAY_PIDS[*]} "
    for pid in "$@"; do
        [[ $display == *" $pid "* ]] || echo "$pid"
    done
}

xs_stop() {
    [[ -n $XS_TAG ]] || return 0
    # Programs first, and only once they have ended the desktop (trayer, openbox, then
    # Xvfb), so no program's last words are about a lost display.
    xs_stop_pids 5 $(xs_not_desktop "${XS_PIDS[@]}" $(xs_tagged_pids))
    # Detached children of the programs may have started meanwhile.
    xs_stop_pids 2 $(xs_not_desktop $(xs_tagged_pids))
    xs_stop_pids 5 $(printf '%s\n' "${XS_DISPLAY_PIDS[@]}" | tac)
    xs_kill_started
    if [[ -n $XS_DIR && -z ${XS_KEEP:-} ]]; then
        rm -rf "$XS_DIR"
    elif [[ -n $XS_DIR ]]; then
        xs_log "kept $XS_DIR"
    fi
    XS_TAG=
}

# xprop also succeeds when the property is missing, so look for the window it names.
xs_wm_up() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }

xs_display_up() { xdpyinfo >/dev/null 2>&1 || xdotool getdisplaygeometry >/dev/null 2>&1; }

# trayer's panel window. With no icon yet trayer may keep it unmapped (one pixel
# wide), so it is found by class, not by visibility.
xs_find_panel() {
    XS_TRAY_PANEL=$(xdotool search --classname '^panel$' 2>/dev/null | head -n1)
    [[ -n $XS_TRAY_PANEL ]]
}

# xs_private_session DIR: DIR holds everything the session writes (logs, a home, the
# XDG folders, a stand-in browser that records the addresses it is asked to open);
# the session's processes are stopped on exit.
xs_private_session() {
    XS_DIR=$1
    XS_TAG=$(basename "$XS_DIR")
    export XS_TAG XS_DIR
    trap xs_stop EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
    mkdir -p "$XS_DIR"/{log,home,config,data,cache,runtime,bin}
    chmod 0700 "$XS_DIR/runtime"
    export HOME=$XS_DIR/home
    export XDG_CONFIG_HOME=$XS_DIR/config XDG_DATA_HOME=$XS_DIR/data XDG_CACHE_HOME=$XS_DIR/cache
    # The link's own place follows the uid, not XDG_RUNTIME_DIR; sessions running side
    # by side (all as root in CI) keep their trays apart with VANTOBEL_LINK_DIR.
    export XDG_RUNTIME_DIR=$XS_DIR/runtime VANTOBEL_LINK_DIR=$XS_DIR/runtime
    unset SESSION_MANAGER XDG_SESSION_TYPE WAYLAND_DISPLAY XDG_CURRENT_DESKTOP DESKTOP_SESSION
    export LC_ALL=C.UTF-8 NO_AT_BRIDGE=1

    printf '#!/bin/sh\nprintf "%%s\\n" "$1" >>"%s/browser.log"\n' "$XS_DIR" >"$XS_DIR/bin/xdg-open"
    chmod +x "$XS_DIR/bin/xdg-open"
    ln -s xdg-open "$XS_DIR/bin/stand-in-browser"
    export BROWSER=$XS_DIR/bin/stand-in-browser DEFAULT_BROWSER=$XS_DIR/bin/stand-in-browser
    export PATH=$XS_DIR/bin:$PATH
    : >"$XS_DIR/browser.log"
}

# xs_start [WIDTHxHEIGHT]
xs_start() {
    local geometry=${1:-1280x800} attempt
    if ! command -v Xvfb openbox trayer xdotool >/dev/null; then
        xs_log "missing one of Xvfb, openbox, trayer, xdotool (scripts/install-deps.sh installs them)"
        return 1
    fi

    xs_private_session "$(mktemp -d "${TMPDIR:-/tmp}/vt-xsession.XXXXXX")"
    # Without a bus Qt uses the XEmbed tray that trayer hosts, and starts no bus of its own.
    export DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent
    export QT_QPA_PLATFORM=xcb

    # Other programs on this machine may start X servers at the same moment, so a
    # display that fails to come up whole is dropped and another one tried.
    for attempt in 1 2 3 4; do
        if xs_bring_up "$geometry"; then
            XS_DISPLAY_PIDS=("${XS_PIDS[@]}")
            export XS_TRAY_PANEL
            xs_log "display $DISPLAY ready (tray panel $XS_TRAY_PANEL, files in $XS_DIR)"
            return 0
        fi
        xs_log "display ${DISPLAY:-?} did not come up whole (attempt $attempt); trying another"
        tail -n 5 "$XS_DIR"/log/*.log >&2 2>/dev/null
        xs_kill_started
    done
    return 1
}

# Stops what this session has started so far and forgets it (between attempts).
xs_kill_started() {
    if ((${#XS_PIDS[@]})); then
        kill -TERM "${XS_PIDS[@]}" 2>/dev/null
        wait "${XS_PIDS[@]}" 2>/dev/null
    fi
    XS_PIDS=()
    XS_DISPLAY_PIDS=()
    unset DISPLAY
}

# A display number whose socket and lock are free, away from the low numbers that
# desktops and other tools take.
xs_free_display() {
    local n tries
    for tries in $(seq 1 50); do
        n=$((200 + RANDOM % 700))
        [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] && continue
        echo "$n"
        return 0
    done
    return 1
}

# xs_xvfb GEOMETRY: Xvfb on a free display. Ours only when our server still runs once
# the display answers (a server that lost the race for the number ends at once).
xs_xvfb() {
    local n
    n=$(xs_free_display) || return 1
    # -noreset: otherwise the server resets when the probe below disconnects, and
    # the next client to connect in that moment is turned away.
    Xvfb ":$n" -screen 0 "${1}x24" -nolisten tcp -noreset >>"$XS_DIR/log/Xvfb.log" 2>&1 &
    XS_XVFB_PID=$!
    XS_PIDS+=($XS_XVFB_PID)
    export DISPLAY=:$n
    xs_wait 10 "display $DISPLAY" xs_display_up && kill -0 "$XS_XVFB_PID" 2>/dev/null
}

xs_bring_up() {
    xs_xvfb "$1" || return 1
    xs_spawn openbox openbox --sm-disable
    xs_wait 10 "openbox to manage the screen" xs_wm_up || return 1
    xs_spawn trayer trayer --edge top --align right --widthtype request --height 24 --SetDockType true
    xs_wait 10 "trayer's panel" xs_find_panel || return 1
    kill -0 "$XS_XVFB_PID" 2>/dev/null
}

# The icon windows embedded in trayer's panel (the clients inside its sockets),
# optionally only those whose WM_CLASS or name contains NAME.
xs_tray_icons() {
    local name=${1:-}
    [[ -n $XS_TRAY_PANEL ]] || return 1
    xwininfo -tree -id "$XS_TRAY_PANEL" 2>/dev/null |
        awk -v name="$name" '$1 ~ /^0x/ && $0 ~ /\(".*"\)/ && (name == "" || index($0, name)) {print $1}'
}

