#!/usr/bin/env bash
# sway with swaybar as the tray host, headless, run as an unprivileged user (sway
# refuses root). The tray's icon is a StatusNotifierItem: registered with the
# watcher, with its tooltip and icon; Activate and ContextMenu, called as swaybar
# calls them, open the player and the menu; the menu's items work through the
# exported menu; a notice's pop-up shows whole on the output (sway places it).
. "$(dirname "$0")/desktop-lib.sh" || exit 1
dt_need sway sway swaybar sway swaymsg sway grim grim Xwayland xwayland xwininfo x11-utils xdotool xdotool \
    setpriv util-linux
SHOT_NAME=desktop-sway.png

# As root: hand the session to the unprivileged user, on a bus of its own, with the
# scripts and the program folder copied where that user can read them.
if [[ $(id -u) == 0 && -z ${DT_ON_BUS:-} ]]; then
    nobody=65534
    [[ -d $1 ]] || dt_skip "no program folder $1"
    stage=$(mktemp -d "${TMPDIR:-/tmp}/vt-sway-stage.XXXXXX")
    mkdir "$stage/bin" && cp -r "$DT_HERE/.." "$stage/e2e" &&
        (cd "$1" && tar -cf - .) | (cd "$stage/bin" && tar -xf -) &&
        { [[ ! -d $1/../demo-bin ]] || cp -p "$1"/../demo-bin/* "$stage/bin"/; } &&
        chown -R "$nobody:$nobody" "$stage" || {
        rm -rf "$stage"
        e2e_fail "could not lay out the unprivileged user's copy"
    }
    DT_ON_BUS=1 DT_SHOT=$stage/shot.png setpriv --reuid=$nobody --regid=$nobody --clear-groups \
        dbus-run-session -- bash "$stage/e2e/desktops/$(basename "$0")" "$stage/bin"
    status=$?
    [[ -s $stage/shot.png ]] && cp "$stage/shot.png" "$PWD/$SHOT_NAME" && e2e_note "screenshot: $PWD/$SHOT_NAME"
    rm -rf "$stage"
    exit $status
fi
dt_on_private_bus "$@"
[[ $(id -u) != 0 ]] || dt_skip "sway does not run as root, and no unprivileged user could be taken"
dt_init "$1" 120 VantobelPlayTray vantobel-vendor-service VantobelPlay

cat >"$XS_DIR/sway.conf" <<EOS
output HEADLESS-1 resolution 1280x800 position 0 0
xwayland enable
bar {
    position top
    tray_output *
    status_command while :; do echo desktop-test; sleep 600; done
}
EOS
WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 xs_spawn sway sway -c "$XS_DIR/sway.conf"
sway_sock() { compgen -G "$XDG_RUNTIME_DIR/sway-ipc.*.sock" >/dev/null; }
xs_wait 30 "sway's IPC socket" sway_sock ||
    dt_skip "sway did not start headless here: $(tail -n 3 "$XS_DIR/log/sway.log" | tr '\n' ' ')"
SWAYSOCK=$(compgen -G "$XDG_RUNTIME_DIR/sway-ipc.*.sock" | head -n1)
export SWAYSOCK
WAYLAND_DISPLAY=$(cd "$XDG_RUNTIME_DIR" && ls wayland-* 2>/dev/null | grep -v lock | head -n1)
[[ -n $WAYLAND_DISPLAY ]] || e2e_fail "sway made no Wayland display"
export WAYLAND_DISPLAY XDG_SESSION_TYPE=wayland
swaymsg exec "echo \$DISPLAY > $XS_DIR/xwayland-display" >/dev/null
e2e_eventually 15 "sway's XWayland display name" test -s "$XS_DIR/xwayland-display"
export DISPLAY=$(cat "$XS_DIR/xwayland-display")
xs_wait 30 "XWayland on $DISPLAY" xs_display_up || dt_skip "XWayland did not start under sway"
watcher() { dt_gdbus --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.NameHasOwner org.kde.StatusNotifierWatcher | grep -q true; }
e2e_eventually 20 "swaybar's StatusNotifierWatcher" watcher
e2e_note "sway: Wayland $WAYLAND_DISPLAY, XWayland $DISPLAY"

dt_notices "$XS_DIR/notices.xml" "桌面测试公告"
e2e_service "$XS_DIR/notices.xml"
db=$(dt_keep_popups swayuser)
export VANTOBEL_TRAY_ONLINE=1
fields='p1|||swayuser|||secret|||p4|||p5|||p6|||p7'
e2e_tray "/u|||E2E|||$fields"

. "$DT_HERE/sni-checks.sh"
e2e_eventually 20 "the item to register with swaybar's watcher" dt_find_item "$E2E_TRAY_PID"
e2e_note "item $DT_SNI_SERVICE$DT_SNI_PATH"
dt_check_item_looks "$db"

# The pop-up shows whole on the output; sway places it (floating, centred).
dt_wait_popup_whole
sleep 1
grim "$XS_DIR/shot.png" || e2e_fail "grim took no screenshot"
cp "$XS_DIR/shot.png" "$DT_SHOT" || e2e_fail "could not keep the screenshot"

dt_check_item_clicks "$fields"
# The tray chose XWayland for itself only: the player it started keeps no choice.
player_pid=$(for p in $(xs_tagged_pids); do [[ $(cat "/proc/$p/comm" 2>/dev/null) == VantobelPlay ]] && echo "$p"; done | head -n1)
[[ -n $player_pid ]] || e2e_fail "no running player found"
e2e_check "the tray runs on Qt's X11 platform" grep -q 'platforms/libqxcb' "/proc/$E2E_TRAY_PID/maps"
e2e_check "the started player has no platform forced on it" eval '! grep -qz "^QT_QPA_PLATFORM=" "/proc/$player_pid/environ"'
e2e_quit_tray
dt_check_offline_look "/u|||E2E|||$fields"
e2e_pass
