#!/usr/bin/env bash
# A StatusNotifierItem host: sway with swaybar, headless, run as an unprivileged user
# (sway refuses root), or Xfce's panel with its systray plugin on an X display. The
# tray's icon is an item registered with the host's watcher, with its tooltip and
# three looks; Activate and ContextMenu, called as the host calls them, open the
# player and the menu; each item of the exported menu does its work; a notice's
# pop-up shows whole on the screen. Under Xfce the tray starts before the panel, says
# there is no tray, and its icon comes to the panel when the panel does.
#   test_sni.sh BUILD_BIN sway|xfce
. "$(dirname "$0")/desktop-lib.sh" || exit 1
host=${2:?sway or xfce}

# As root: hand sway's session to nobody, on a bus of its own (the build and these
# scripts are readable by all), with a folder of its own for the screenshot.
if [[ $host == sway && $(id -u) == 0 && -z ${DT_ON_BUS:-} ]]; then
    e2e_need setpriv
    shot=$(mktemp -d "${TMPDIR:-/tmp}/vt-sway-shot.XXXXXX")
    chown nobody "$shot"
    DT_ON_BUS=1 DT_SHOT=$shot/shot.png setpriv --reuid=nobody --regid=nogroup --clear-groups \
        dbus-run-session -- bash "$0" "$@"
    status=$?
    [[ -s $shot/shot.png ]] && cp "$shot/shot.png" "$PWD/desktop-sway.png" && e2e_note "screenshot: $PWD/desktop-sway.png"
    rm -rf "$shot"
    exit $status
fi
dt_on_private_bus "$@"
if [[ $host == sway ]]; then
    e2e_need sway swaybar swaymsg grim Xwayland
    [[ $(id -u) != 0 ]] || e2e_fail "sway does not run as root, and no unprivileged user could be taken"
else
    e2e_need xfce4-panel xfconf-query xfwm4 Xvfb import
fi
DT_SHOT=${DT_SHOT:-$PWD/desktop-$host.png}
e2e_init "$1" 120 VantobelPlayTray vantobel-vendor-service VantobelPlay
e2e_serve user 桌面测试公告 /news/desktop 公告 1
db=$(e2e_user_db hostuser keep)
export VANTOBEL_TRAY_ONLINE=1
fields=$(e2e_fields hostuser)

if [[ $host == sway ]]; then
    WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 xs_spawn sway sway -c "$DT_DATA/sway.conf"
    sway_sock() { compgen -G "$XDG_RUNTIME_DIR/sway-ipc.*.sock" | head -n1; }
    xs_wait 30 "sway's IPC socket" sway_sock ||
        e2e_fail "sway did not start headless here: $(tail -n 3 "$XS_DIR/log/sway.log" | tr '\n' ' ')"
    SWAYSOCK=$(sway_sock)
    WAYLAND_DISPLAY=$(cd "$XDG_RUNTIME_DIR" && ls wayland-* 2>/dev/null | grep -v lock | head -n1)
    [[ -n $WAYLAND_DISPLAY ]] || e2e_fail "sway made no Wayland display"
    export SWAYSOCK WAYLAND_DISPLAY XDG_SESSION_TYPE=wayland
    swaymsg exec "echo \$DISPLAY > $XS_DIR/xwayland-display" >/dev/null
    e2e_eventually 15 "sway's XWayland display name" test -s "$XS_DIR/xwayland-display"
    export DISPLAY=$(cat "$XS_DIR/xwayland-display")
    e2e_eventually 30 "XWayland on $DISPLAY" xs_display_up
    e2e_eventually 20 "swaybar's StatusNotifierWatcher" dt_watcher_up
    e2e_tray "$(e2e_parent hostuser)"
else
    # The display and its window manager, as the other end-to-end tests have them.
    for attempt in 1 2 3; do
        xs_xvfb 1280x800 && break
    done
    xs_display_up || e2e_fail "no Xvfb display came up"
    dbus-update-activation-environment --all >/dev/null 2>&1
    xs_spawn xfwm4 xfwm4 --compositor=off --sm-client-disable
    e2e_eventually 20 "xfwm4 to manage the screen" xs_wm_up
    # One panel along the top edge with the systray plugin only.
    channel=$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml
    mkdir -p "$channel"
    cp "$DT_DATA/xfce4-panel.xml" "$channel/"
    # No panel yet: the tray says so and runs on.
    e2e_tray "$(e2e_parent hostuser)"
    e2e_eventually 20 "the no-tray message" dt_log_has tray 'no system tray found'
    xs_spawn panel xfce4-panel
    e2e_eventually 30 "the panel's StatusNotifierWatcher" dt_watcher_up
    e2e_eventually 20 "the tray to see the panel" dt_log_has tray 'a system tray appeared'
fi
e2e_eventually 20 "the item to register with the host's watcher" dt_find_item "$E2E_TRAY_PID"

# Normal look and tooltip with one unread notice (the one the service hands out), the
# unread look once a second unread one is there.
e2e_eventually 30 "the notice to be stored" eval '(($(e2e_rows "$db" Status=0) == 1))'
e2e_eventually 10 "the normal tooltip on the item" dt_sni_tip_has 'Brightsprout培养助手：'
e2e_check "no unread tooltip with one unread notice" eval '! dt_sni_tip_has 您有未读消息'
normal=$(dt_sni_look) || e2e_fail "the item has no icon pixels"
e2e_sql "$db" "insert into HistoryNews (TypeStr,Title,UrlStr,Brief,AddTime,SNo,PhotoPath,Status)
    values ('公告','second','http://127.0.0.1/2','b','2026-03-01 09:00:00','11260301090001111','',0)"
e2e_eventually 20 "the unread tooltip on the item" dt_sni_tip_has 您有未读消息
e2e_eventually 10 "the unread look on the item" dt_look_is_not "$normal"
unread=$(dt_sni_look)

# The pop-up shows whole on the 1280x800 output, wherever the host put it (sway: floating, centred).
popup_whole() {
    local x y w h
    read -r x y w h <<<"$(e2e_window_geometry "$(e2e_managed_windows)")"
    [[ -n $h ]] && ((w > 150 && h > 100 && x >= 0 && y >= 0 && x + w <= 1280 && y + h <= 800))
}
e2e_eventually 30 "the pop-up" e2e_one_popup
e2e_eventually 15 "the pop-up to lie whole on the output" popup_whole
# sway keeps only its own states in _NET_WM_STATE (and has no taskbar).
if [[ $host == sway ]]; then e2e_check_popup_kind "$(e2e_managed_windows)" wm-state; else
    e2e_check_popup_kind "$(e2e_managed_windows)"; fi
sleep 1
if [[ $host == sway ]]; then grim "$DT_SHOT"; else import -window root "$DT_SHOT"; fi || e2e_fail "no screenshot"

# ContextMenu opens the menu, Activate the parent player, and each exported item does its work.
e2e_check "no menu before the context request" eval '! e2e_menu_open'
dt_sni_call ContextMenu >/dev/null || e2e_fail "ContextMenu was refused"
# Asked before the player starts: on sway's headless seat, with a Wayland window
# focused, the menu on XWayland was seen to close again at once.
e2e_eventually 10 "ContextMenu to open the tray menu" e2e_menu_open
dt_sni_call Activate >/dev/null || e2e_fail "Activate was refused"
e2e_eventually 20 "Activate to start the player with /U" e2e_player_got "/U|||$fields"
e2e_eventually 15 "the started player to listen" test -S "$XDG_RUNTIME_DIR/VantobelPlay|VantobelPlayDDEForm"
items=$(dt_menu_items) || e2e_fail "the item exports no menu (Menu: $(dt_sni_prop Menu))"
quit=$(grep -o ' 退出.*' <<<"$items" | head -n1 | sed 's/^ //')
while IFS=';' read -r -u 3 label what check; do
    dt_menu_click "$label" || e2e_fail "no item '$label' to click"
    e2e_eventually 15 "the item '$label' to $what" eval "$check"
done 3<<EOF
儿歌播放器控制台;reach the player;grep -qF /PLAYSETTINGS "\$VANTOBEL_PLAYER_LOG"
Vantobel儿歌播放器;reach the player;grep -qF '/B|||' "\$VANTOBEL_PLAYER_LOG"
家务中心 (URL);open the browser;test -s "\$XS_DIR/browser.log"
升级更新;start the updater;test -s "\$VANTOBEL_UPDATER_LOG"
关于我们;show the about box;e2e_window_named '关于 .*'
系统设置;show the settings;e2e_window_named 系统设置
消息盒;show the message box;e2e_window_named 我的消息盒子
$quit;ask first;e2e_window_named '退出程序？'
EOF

if [[ $host == sway ]]; then
    # The tray chose XWayland for itself only: the player it started keeps no choice.
    player=$(for p in $(xs_tagged_pids); do [[ $(cat "/proc/$p/comm" 2>/dev/null) == VantobelPlay ]] && echo "$p"; done | head -n1)
    [[ -n $player ]] || e2e_fail "no running player found"
    e2e_check "the tray runs on Qt's X11 platform" grep -q 'platforms/libqxcb' "/proc/$E2E_TRAY_PID/maps"
    e2e_check "the started player has no platform forced on it" eval '! grep -qz "^QT_QPA_PLATFORM=" "/proc/$player/environ"'
fi
e2e_quit_tray
mv "$XS_DIR/log/tray.log" "$XS_DIR/log/tray-first.log"

# A tray started offline shows the third look.
VANTOBEL_TRAY_ONLINE=0 e2e_tray "$(e2e_parent hostuser)"
e2e_eventually 20 "the offline tray's item to register" dt_find_item "$E2E_TRAY_PID"
e2e_eventually 10 "the offline tooltip on the item" dt_sni_tip_has （离线）
e2e_eventually 10 "the offline look on the item" dt_look_is_not "$normal" "$unread"
e2e_quit_tray
(($(dt_count_in_log tray 'no system tray found') == 0)) || e2e_fail "the tray with a host said there was no tray"
e2e_pass
