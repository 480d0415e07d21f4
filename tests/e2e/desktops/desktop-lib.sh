#!/usr/bin/env bash
# Shared steps of the tests on real desktops (mutter, sway, Xfce's panel): each runs
# on a private session bus, in private HOME/XDG folders, with the helpers of
# ../e2e-lib.sh (e2e_init with E2E_DESKTOP set: no X server of its own), and reads
# the tray's StatusNotifierItem from the bus as a tray host does.
#
#   . desktop-lib.sh; dt_on_private_bus "$@"; e2e_init <build/bin> SECONDS BINARY...; ...; e2e_pass

DT_HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# The hosts' configuration files.
DT_DATA=$(cd "$DT_HERE/../../data/desktops" && pwd)
. "$DT_HERE/../e2e-lib.sh"
export E2E_DESKTOP=1

# dt_on_private_bus ARGS: runs this script again inside its own session bus.
dt_on_private_bus() {
    [[ -n ${DT_ON_BUS:-} ]] && return 0
    e2e_need dbus-run-session dbus-update-activation-environment gdbus
    DT_ON_BUS=1 exec dbus-run-session -- bash "$0" "$@"
}

dt_log_has() { grep -qF -- "$2" "$XS_DIR/log/$1.log"; }
dt_count_in_log() { grep -cF -- "$2" "$XS_DIR/log/$1.log" 2>/dev/null || true; }

# --- The StatusNotifierItem of the tray, seen from the session bus as a host sees it.

dt_gdbus() { timeout 10 gdbus call --session "$@" 2>>"$XS_DIR/log/gdbus.log"; }

dt_watcher_up() {
    dt_gdbus --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
        --method org.freedesktop.DBus.NameHasOwner org.kde.StatusNotifierWatcher | grep -q true
}

# dt_find_item PID: sets DT_SNI_SERVICE and DT_SNI_PATH to the item of that process.
dt_find_item() {
    local entry service path pid
    for entry in $(dt_gdbus --dest org.kde.StatusNotifierWatcher --object-path /StatusNotifierWatcher \
        --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierWatcher RegisteredStatusNotifierItems |
        grep -o "'[^']*'" | tr -d "'"); do
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
dt_look_is_not() {
    local now
    now=$(dt_sni_look) && ! printf '%s\n' "$@" | grep -qxF -- "$now"
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
