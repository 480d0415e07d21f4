#!/usr/bin/env bash
# Shared steps of the tests on real desktops (mutter, sway, Xfce's panel): each runs
# on a private session bus, in private HOME/XDG folders, with the helpers of
# ../e2e-lib.sh (program folder copy, vendor service, tray start, waits).
#
#   . desktop-lib.sh; dt_on_private_bus "$@"; dt_need TOOL PACKAGE ...;
#   dt_init <build/bin> SECONDS BINARY...; ...; e2e_pass
#
# Exit codes: 0 passed, 1 failed, 77 skipped (the desktop cannot start here).

DT_HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$DT_HERE/../e2e-lib.sh"

# dt_skip WHAT: the desktop cannot run on this machine; say what is missing.
dt_skip() {
    e2e_note "SKIP: $*"
    exit 77
}

# dt_need TOOL PACKAGE [TOOL PACKAGE ...]: skip unless every tool is installed.
dt_need() {
    while (($# >= 2)); do
        command -v "$1" >/dev/null || dt_skip "$1 is not installed (Debian package $2; scripts/install-deps.sh installs it)"
        shift 2
    done
}

# dt_on_private_bus ARGS: runs this script again inside its own session bus.
dt_on_private_bus() {
    [[ -n ${DT_ON_BUS:-} ]] && return 0
    dt_need dbus-run-session dbus-bin dbus-update-activation-environment dbus-bin gdbus libglib2.0-bin
    DT_ON_BUS=1 exec dbus-run-session -- bash "$0" "$@"
}

# Services the bus starts on demand (xfconfd, ...) get this session's folders and
# display, never the real home's.
dt_bus_environment() {
    dbus-update-activation-environment --all >/dev/null 2>&1 || e2e_fail "could not set the bus's activation environment"
}

# dt_init BUILD_BIN SECONDS BINARY...: private folders, a watchdog and a copy of the
# program folder, like e2e_init but without an X server of its own.
dt_init() {
    E2E_BUILD_BIN=$(cd "$1" 2>/dev/null && pwd) || dt_skip "no program folder $1"
    E2E_DEMO_BIN=${E2E_DEMO_BIN:-$(dirname "$E2E_BUILD_BIN")/demo-bin}
    local limit=$2
    shift 2
    e2e_need "$@"
    xs_private_session "${DT_DIR:-$(mktemp -d "${TMPDIR:-/tmp}/vt-desktop.XXXXXX")}"
    unset DISPLAY XAUTHORITY QT_QPA_PLATFORM
    export GSETTINGS_BACKEND=memory
    dt_bus_environment
    e2e_watchdog "$limit"

    E2E_PROG=$XS_DIR/prog
    e2e_lay_out_program
    export VANTOBEL_PLAY_HOME=$E2E_PROG
    export VANTOBEL_PLAYER_LOG=$XS_DIR/player-commands.log
    : >"$VANTOBEL_PLAYER_LOG"
    export VANTOBEL_UPDATER_LOG=$XS_DIR/updater-commands.log
    export VANTOBEL_TRAY_TICK_MS=${VANTOBEL_TRAY_TICK_MS:-5}
}

# dt_notices FILE TITLE...: one announcement per title, never closing by itself
# once dt_keep_popups has run for the user.
dt_notices() {
    local file=$1 title n=0
    shift
    {
        echo '<?xml version="1.0" encoding="utf-8"?>'
        echo '<Notices>'
        for title in "$@"; do
            n=$((n + 1))
            echo "  <Notice kind=\"user\"><Title>$title</Title><Url>/news/desktop-$n</Url><Pic></Pic>"
            echo "    <Brief>桌面测试的公告 $n。</Brief><TypeStr>公告</TypeStr><CrowdType>全部</CrowdType>"
            echo "    <Area>全国</Area><TimeAxes>2026-03-0$n 08:00:00</TimeAxes></Notice>"
        done
        echo '</Notices>'
    } >"$file"
}

# dt_keep_popups USER: a fresh database for the user whose pop-ups stay until closed.
dt_keep_popups() {
    local db
    db=$(e2e_user_db "$1")
    e2e_sql "$db" "delete from SoftSettings where FieldStr like 'PopAutoClose%'"
    echo "$db"
}

dt_log_has() { grep -qF -- "$2" "$XS_DIR/log/$1.log"; }
dt_count_in_log() { grep -cF -- "$2" "$XS_DIR/log/$1.log" 2>/dev/null || true; }

# --- The StatusNotifierItem of the tray, seen from the session bus as a host sees it.

dt_gdbus() { timeout 10 gdbus call --session "$@" 2>>"$XS_DIR/log/gdbus.log"; }

# The registered items, one "service/path" a line.
dt_sni_items() {
    dt_gdbus --dest org.kde.StatusNotifierWatcher --object-path /StatusNotifierWatcher \
        --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierWatcher RegisteredStatusNotifierItems |
        grep -o "'[^']*'" | tr -d "'"
}

# dt_find_item PID: sets DT_SNI_SERVICE and DT_SNI_PATH to the item of that process.
dt_find_item() {
    local entry service path pid
    for entry in $(dt_sni_items); do
        service=${entry%%/*}
        path=/${entry#*/}
        [[ $entry == */* ]] || path=/StatusNotifierItem
        pid=$(dt_gdbus --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
            --method org.freedesktop.DBus.GetConnectionUnixProcessID "$service" | sed -n 's/.*uint32 \([0-9]*\).*/\1/p')
        if [[ $pid == "$1" ]]; then
            DT_SNI_SERVICE=$service DT_SNI_PATH=$path
            return 0
        fi
    done
    return 1
}

dt_sni_prop() {
    dt_gdbus --dest "$DT_SNI_SERVICE" --object-path "$DT_SNI_PATH" \
        --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierItem "$1"
}
dt_sni_call() { dt_gdbus --dest "$DT_SNI_SERVICE" --object-path "$DT_SNI_PATH" --method "org.kde.StatusNotifierItem.$1" 0 0; }

# The icon's pixels as the host receives them, as a digest (empty when there are none).
dt_sni_look() {
    local pixmap
    pixmap=$(dt_sni_prop IconPixmap) || return 1
    [[ $pixmap == *"[byte"* || $pixmap == *"0x"* ]] || return 1
    md5sum <<<"$pixmap" | cut -d' ' -f1
}
dt_sni_tip_has() { dt_sni_prop ToolTip | grep -qF -- "$1"; }

# The exported menu: "id label" for every item that has a label.
dt_menu_path() {
    local menu
    menu=$(dt_sni_prop Menu | grep -o "'/[^']*'" | tr -d "'")
    [[ -n $menu && $menu != /NO_DBUSMENU ]] && echo "$menu"
}
dt_menu_items() {
    local menu
    menu=$(dt_menu_path) || return 1
    dt_gdbus --dest "$DT_SNI_SERVICE" --object-path "$menu" --method com.canonical.dbusmenu.GetLayout -- 0 -1 '@as []' |
        grep -o "([0-9]*, {[^}]*'label': <'[^']*'>" | sed -E "s/^\(([0-9]+), .*'label': <'([^']*)'>$/\1 \2/"
}

# dt_menu_click LABEL: the host's click on the exported item with this label.
dt_menu_click() {
    local id
    id=$(dt_menu_items | awk -v label="$1" '{n=$1; sub(/^[0-9]+ /, ""); if ($0 == label) print n}' | head -n1)
    [[ -n $id ]] || return 1
    dt_gdbus --dest "$DT_SNI_SERVICE" --object-path "$(dt_menu_path)" --method com.canonical.dbusmenu.Event \
        "$id" clicked '<0>' 0 >/dev/null
}

# dt_wait_popup_whole: waits for the one pop-up of the tray and for it to lie whole on
# the 1280x800 output, wherever the desktop put it.
dt_has_one_popup() { [[ $(e2e_managed_count) == 1 ]]; }
dt_popup_whole() {
    local x y w h
    read -r x y w h <<<"$(e2e_window_geometry "$DT_POPUP")"
    [[ -n $h ]] && ((w > 150 && h > 100 && x >= 0 && y >= 0 && x + w <= 1280 && y + h <= 800))
}
dt_wait_popup_whole() {
    e2e_eventually 30 "the pop-up" dt_has_one_popup
    DT_POPUP=$(e2e_managed_windows)
    e2e_eventually 15 "the pop-up to lie whole on the output" dt_popup_whole
    e2e_note "pop-up at $(e2e_window_geometry "$DT_POPUP") (x y width height)"
}
